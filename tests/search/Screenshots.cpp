// Not a test: signs in to a fresh demo database the way a clerk does, walks the clerk's steps and
// saves a picture of each, for the docs:
//   search_screenshots <folder>      (run under xvfb-run for the platform's real fonts)

#include "SearchWindowFixture.h"

#include "demo/DemoDatabase.h"
#include "maintenance/frmAdmin.h"
#include "platform/data/Connection.h"
#include "platform/files/TextFile.h"
#include "platform/ui/Grid.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ProgramIcon.h"
#include "search/frmMain2.h"
#include "standins/CurrentUser.h"
#include "standins/StandIns.h"
#include "startup/Module1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {

QString firstValue(platform::Connection &connection, const QString &sql, const char *field)
{
    auto rs = connection.openRecordset(sql);
    return rs->eof() ? QString() : rs->field(QString::fromLatin1(field)).toString();
}

QWidget *recordWindow()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("PatientRecordWindow") && top->isVisible())
            return top;
    return nullptr;
}

frmMain2 *searchWindow()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<frmMain2 *>(top))
            return window;
    return nullptr;
}

void save(QWidget *widget, const QString &folder, const QString &name)
{
    QApplication::processEvents();
    QTest::qWait(300);
    if (!widget || !widget->grab().save(QDir(folder).filePath(name)))
        std::fprintf(stderr, "could not save %s\n", qPrintable(name));
    else
        std::printf("saved %s\n", qPrintable(name));
}

// The record window where it opens, over the search window, in one picture: the window system's
// own frames are not part of either.
void saveOver(QWidget *under, QWidget *over, const QString &folder, const QString &name)
{
    QApplication::processEvents();
    QTest::qWait(300);
    if (!under || !over) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(name));
        return;
    }
    QPixmap picture = under->grab();
    QPainter painter(&picture);
    const QPoint at = over->mapToGlobal(QPoint()) - under->mapToGlobal(QPoint());
    painter.drawPixmap(at, over->grab());
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.drawRect(QRect(at, over->size()).adjusted(-1, -1, 0, 0));
    painter.end();
    if (picture.save(QDir(folder).filePath(name)))
        std::printf("saved %s\n", qPrintable(name));
}

// The sign-in as a first-time clerk meets it: a wrong password first, then demo / demo.
void signIn(const QString &out)
{
    QTimer::singleShot(0, [&out] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        save(dialog, out, QStringLiteral("signin.png"));
        dialog->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("demo"));
        auto *password = dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
        password->setFocus();
        QTest::keyClicks(password, QStringLiteral("guess"));
        QTest::keyClick(password, Qt::Key_Return);
        save(dialog, out, QStringLiteral("signin-refused.png"));
        QTest::keyClicks(password, QStringLiteral("demo"));
        QTest::keyClick(password, Qt::Key_Return);
    });
    Module1::Main();
    save(searchWindow(), out, QStringLiteral("search-window.png"));
}

void walk(frmMain2 &window, platform::Connection &connection, const QString &out)
{
    save(&window, out, QStringLiteral("search-1-start.png"));

    // A patient who has been admitted, so the registration list has something to show.
    const QString hospNum = firstValue(connection,
                                       QStringLiteral("SELECT top 1 HospNum FROM Patient_Data.dbo.tbPatient"), "HospNum");
    const QString lastName = firstValue(
        connection, "SELECT LastName FROM Patient_Data.dbo.tbMaster WHERE HospNum = '" + hospNum + "'", "LastName");
    QTest::keyClicks(window.txtLastName, lastName.left(4));
    QTest::keyClick(window.txtLastName, Qt::Key_Return);
    save(&window, out, QStringLiteral("search-2-patients.png"));

    int row = 1;
    for (int r = 1; r < window.Grid1->rows(); ++r)
        if (window.Grid1->textMatrix(r, 0) == hospNum)
            row = r;
    QTest::mouseClick(window.Grid1->viewport(), Qt::LeftButton, {}, searchtest::cellCentre(window.Grid1, row, 3));
    save(&window, out, QStringLiteral("search-3-registrations.png"));

    QTest::mouseDClick(window.Grid2->viewport(), Qt::LeftButton, {}, searchtest::cellCentre(window.Grid2, 1, 3));
    saveOver(&window, recordWindow(), out, QStringLiteral("search-4-record.png"));
    QFile handOff(platform::files::inHandOffFolder(QStringLiteral("LastPatient.txt")));
    if (handOff.open(QIODevice::ReadOnly))
        std::printf("LastPatient.txt: %s\n", handOff.readAll().constData());

    const QString idNum = firstValue(
        connection, QStringLiteral("SELECT top 1 IDNum FROM Patient_Data.dbo.tbPatient WHERE HospNum <> '") + hospNum + "'",
        "IDNum");
    window.txtIDNum->clear();
    QTest::keyClicks(window.txtIDNum, idNum);
    QTest::keyClick(window.txtIDNum, Qt::Key_Return);
    save(&window, out, QStringLiteral("search-5-admission.png"));
    saveOver(&window, recordWindow(), out, QStringLiteral("search-5-admission-record.png"));

    QTest::mouseClick(window.cmdToday, Qt::LeftButton);
    save(&window, out, QStringLiteral("search-6-today.png"));
    QTest::mouseClick(window.cmdReset, Qt::LeftButton);
    save(&window, out, QStringLiteral("search-7-reset.png"));

    // The maintenance window after one upgrade of the demo database.
    QTest::mouseClick(window.cmdAdmin, Qt::LeftButton);
    frmAdmin *admin = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<frmAdmin *>(top); found && found->isVisible())
            admin = found;
    if (!admin)
        return;
    QTest::mouseClick(admin->cmdUpdate, Qt::LeftButton);
    save(admin, out, QStringLiteral("maintenance-after-upgrade.png"));
}

} // namespace

int main(int argc, char **argv)
{
    // The sign-in remembers the database in the user's settings: keep the clerk's own apart.
    QTemporaryDir home, programDir;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Talvor"));
    QCoreApplication::setApplicationName(QStringLiteral("Patient Brelmontaxis"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    // The demo where the sign-in looks for it on first use, so the sign-in shows the demo's user.
    QApplication::setWindowIcon(platform::ui::programIcon());
    demo::create(standins::clsCurrentUser::demoFolder(), demo::Options{});
    qunsetenv("TALVOR_DATABASE");
    platform::files::setProgramFolderForTests(programDir.path());
    platform::ui::MessageBox::setResponder(
        [](const platform::ui::ShownMessage &m) { std::printf("message: %s\n", qPrintable(m.text)); });
    standins::registerComponents();

    signIn(out);
    frmMain2 *window = searchWindow();
    if (!window || !Module1::sharedConnection()) {
        std::fprintf(stderr, "the sign-in did not open the search window\n");
        return 1;
    }
    walk(*window, *Module1::sharedConnection(), out);
    return 0;
}
