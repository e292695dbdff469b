#include "platform/components/Components.h"
#include "platform/components/CurrentUser.h"
#include "platform/components/HeaderControl.h"

namespace platform::components {

void registerStandIns()
{
    registerFactory(clsCurrentUser::progId, [](QWidget *) { return new clsCurrentUser; });
    registerFactory(ctlHeader::progId, [](QWidget *parent) { return new ctlHeader(parent); });
}

} // namespace platform::components
