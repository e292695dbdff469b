#include "platform/data/LocalTime.h"
#include "platform/ui/ProgramIcon.h"
#include "standins/StandIns.h"
#include "startup/Module1.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <csignal>

int main(int argc, char *argv[])
{
    platform::keepLocalTimeZone();
    // A file size limit (ulimit -f) then fails the write with an error the program reports,
    // instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Talvor"));
    QCoreApplication::setApplicationName(QStringLiteral("Patient Brelmontaxis"));
    // Also for what opens without a window of the program under it (a failed start's message).
    QApplication::setWindowIcon(platform::ui::programIcon());
    standins::registerComponents();

    const int status = Module1::Main();
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool windowOpen = std::any_of(windows.cbegin(), windows.cend(),
                                        [](const QWidget *window) { return window->isVisible(); });
    // No window after start-up: the sign-in was cancelled, or start-up failed and has said so.
    if (status != 0 || !windowOpen)
        return status;
    return app.exec();
}
