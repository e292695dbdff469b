#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace platform::ui {

// Runs one event handler. A failure stops it at the failing step (what it already changed
// stays), restores the window's default pointer and shows one message: `whatFailed` (e.g. "The
// patient search could not finish.") and below it the provider's own description. Returns false
// when the handler failed. The program goes on either way.
bool guarded(QWidget *window, const QString &whatFailed, const std::function<void()> &handler);

} // namespace platform::ui
