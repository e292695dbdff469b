// Not a test: signs in to a fresh demo database the way a clerk does and saves pictures of the
// sign-in and of the search window, for the docs:
//   window_screenshots <folder>      (run under xvfb-run for the platform's real fonts)

#include "DemoDatabase.h"
#include "platform/components/Components.h"
#include "search/frmMain2.h"
#include "startup/Module1.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {

void save(QWidget *widget, const QString &folder, const QString &name)
{
    QApplication::processEvents();
    QTest::qWait(300);
    if (!widget || !widget->grab().save(QDir(folder).filePath(name)))
        std::fprintf(stderr, "could not save %s\n", qPrintable(name));
    else
        std::printf("saved %s\n", qPrintable(name));
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home, database;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Talvor"));
    QCoreApplication::setApplicationName(QStringLiteral("Patient Brelmontaxis"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    demo::Options options;
    options.patients = 800;
    demo::create(database.path(), options);
    qputenv("TALVOR_DATABASE", database.path().toUtf8());
    platform::components::registerStandIns();

    QTimer::singleShot(0, [&out] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        dialog->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("demo"));
        auto *password = dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
        password->setFocus();
        QTest::keyClicks(password, QStringLiteral("demo"));
        save(dialog, out, QStringLiteral("signin.png"));
        QTest::keyClick(password, Qt::Key_Return);
    });
    const int status = Module1::Main();
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<frmMain2 *>(top))
            save(window, out, QStringLiteral("search-window.png"));
    return status;
}
