#include "standins/StandIns.h"

#include "platform/components/Components.h"
#include "standins/CurrentUser.h"
#include "standins/HeaderControl.h"

namespace standins {

void registerComponents()
{
    using platform::components::registerFactory;
    registerFactory(clsCurrentUser::progId, [](QWidget *) { return new clsCurrentUser; });
    registerFactory(ctlHeader::progId, [](QWidget *parent) { return new ctlHeader(parent); });
}

} // namespace standins
