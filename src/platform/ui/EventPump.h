#pragma once

#include <QCoreApplication>

namespace platform::ui {

// Lets the window system run pending events (painting, clicks, keys) between the rows of a fill
// or the statements of a maintenance run. The re-entry this allows is deliberate.
inline void doEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace platform::ui
