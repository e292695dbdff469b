// Walks the clerk's steps on a fresh demo database and saves a picture of each, for the docs:
//   search_screenshots <folder>      (run under xvfb-run for the platform's real fonts)

#include "DemoDatabase.h"
#include "platform/components/Components.h"
#include "platform/data/Connection.h"
#include "platform/files/TextFile.h"
#include "platform/ui/Grid.h"
#include "platform/ui/MessageBox.h"
#include "search/frmMain2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

class DemoUser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariant UserID READ UserID)
public:
    QVariant UserID() const { return QStringLiteral("demo"); }
};

QString firstValue(platform::Connection &connection, const QString &sql, const char *field)
{
    auto rs = connection.openRecordset(sql);
    return rs->eof() ? QString() : rs->field(QString::fromLatin1(field)).toString();
}

QPoint cellCentre(platform::ui::Grid *grid, int row, int col)
{
    const QModelIndex index = grid->model()->index(row - 1, col);
    grid->scrollTo(index);
    return grid->visualRect(index).center();
}

QWidget *recordWindow()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("PatientRecordWindow") && top->isVisible())
            return top;
    return nullptr;
}

void save(QWidget *widget, const QString &folder, const QString &name)
{
    QApplication::processEvents();
    QTest::qWait(200);
    if (!widget || !widget->grab().save(QDir(folder).filePath(name)))
        std::fprintf(stderr, "could not save %s\n", qPrintable(name));
    else
        std::printf("saved %s\n", qPrintable(name));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QTemporaryDir databaseDir, programDir;
    demo::create(databaseDir.path(), demo::Options{});
    platform::files::setProgramFolderForTests(programDir.path());
    platform::ui::MessageBox::setResponder(
        [](const platform::ui::ShownMessage &m) { std::printf("message: %s\n", qPrintable(m.text)); });
    platform::components::registerStandIns();
    auto connection = platform::openConnection(databaseDir.path());
    DemoUser user;

    frmMain2 window(connection.get(), &user);
    save(&window, out, QStringLiteral("search-1-start.png"));

    // A patient who has been admitted, so the registration list has something to show.
    const QString hospNum = firstValue(*connection,
                                       QStringLiteral("SELECT top 1 HospNum FROM Patient_Data.dbo.tbPatient"), "HospNum");
    const QString lastName = firstValue(
        *connection, "SELECT LastName FROM Patient_Data.dbo.tbMaster WHERE HospNum = '" + hospNum + "'", "LastName");
    QTest::keyClicks(window.txtLastName, lastName.left(4));
    QTest::keyClick(window.txtLastName, Qt::Key_Return);
    save(&window, out, QStringLiteral("search-2-patients.png"));

    int row = 1;
    for (int r = 1; r < window.Grid1->rows(); ++r)
        if (window.Grid1->textMatrix(r, 0) == hospNum)
            row = r;
    QTest::mouseClick(window.Grid1->viewport(), Qt::LeftButton, {}, cellCentre(window.Grid1, row, 3));
    save(&window, out, QStringLiteral("search-3-registrations.png"));

    QTest::mouseDClick(window.Grid2->viewport(), Qt::LeftButton, {}, cellCentre(window.Grid2, 1, 3));
    save(recordWindow(), out, QStringLiteral("search-4-record.png"));
    QFile handOff(platform::files::inProgramFolder(QStringLiteral("LastPatient.txt")));
    if (handOff.open(QIODevice::ReadOnly))
        std::printf("LastPatient.txt: %s\n", handOff.readAll().constData());

    const QString idNum = firstValue(
        *connection, QStringLiteral("SELECT top 1 IDNum FROM Patient_Data.dbo.tbPatient WHERE HospNum <> '") + hospNum + "'",
        "IDNum");
    window.txtIDNum->clear();
    QTest::keyClicks(window.txtIDNum, idNum);
    QTest::keyClick(window.txtIDNum, Qt::Key_Return);
    save(&window, out, QStringLiteral("search-5-admission.png"));
    save(recordWindow(), out, QStringLiteral("search-5-admission-record.png"));

    QTest::mouseClick(window.cmdToday, Qt::LeftButton);
    save(&window, out, QStringLiteral("search-6-today.png"));
    QTest::mouseClick(window.cmdReset, Qt::LeftButton);
    save(&window, out, QStringLiteral("search-7-reset.png"));
    return 0;
}

#include "SearchScreenshots.moc"
