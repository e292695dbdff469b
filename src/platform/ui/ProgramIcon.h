#pragma once

#include <QIcon>

namespace platform::ui {

// The program's own icon, in every size the window system may ask for; each window carries it
// so the clerk tells the program's windows apart from the rest on the task bar.
QIcon programIcon();

} // namespace platform::ui
