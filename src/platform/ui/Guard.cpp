#include "platform/ui/Guard.h"

#include "platform/Failure.h"
#include "platform/ui/MessageBox.h"

#include <QWidget>
#include <exception>

namespace platform::ui {

bool guarded(QWidget *window, const QString &whatFailed, const std::function<void()> &handler)
{
    QString description;
    try {
        handler();
        return true;
    } catch (const Failure &f) {
        description = f.description();
    } catch (const std::exception &e) {
        description = QString::fromUtf8(e.what());
    } catch (...) {
        description = QStringLiteral("An unknown error occurred.");
    }
    if (window)
        window->unsetCursor();
    MessageBox::show(window, description.isEmpty() ? whatFailed : whatFailed + "\n\n" + description);
    return false;
}

} // namespace platform::ui
