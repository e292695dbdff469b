#include "platform/ui/ProgramIcon.h"

namespace platform::ui {

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/talvor/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace platform::ui
