// A day at the desk in a few minutes: searches, registration lists and record opens in turn on
// the demo database, watching resident memory. Fails when memory at the end has grown more than
// 10% past what it was after the first 100 steps.
//   talvor_soak [steps]   (default 10000)
#include "../search/SearchWindowFixture.h"

#include "demo/DemoDatabase.h"
#include "platform/data/Connection.h"
#include "platform/files/TextFile.h"
#include "platform/ui/Grid.h"
#include "platform/ui/MessageBox.h"
#include "search/frmMain2.h"
#include "standins/StandIns.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <unistd.h>

namespace {

class SoakUser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariant UserID READ UserID)
public:
    QVariant UserID() const { return QStringLiteral("demo"); }
};

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

void closeRecordWindows()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("PatientRecordWindow") && top->isVisible())
            top->close();
}

} // namespace

int main(int argc, char **argv)
{
    // Ten thousand made-up accesses are not for the machine's log; the trail's work stays in.
    if (qEnvironmentVariableIsEmpty("TALVOR_AUDIT_FILE"))
        qputenv("TALVOR_AUDIT_FILE", "/dev/null");
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir databaseDir, programDir;
    std::printf("creating the demo database...\n");
    demo::create(databaseDir.path(), demo::Options{});
    platform::files::setProgramFolderForTests(programDir.path());
    int messages = 0;
    platform::ui::MessageBox::setResponder([&messages](const platform::ui::ShownMessage &m) {
        if (messages++ < 5)
            std::printf("message: %s\n", qPrintable(m.text));
    });
    standins::registerComponents();
    auto connection = platform::openConnection(databaseDir.path());
    SoakUser user;
    frmMain2 window(connection.get(), &user);
    window.show();

    // Name beginnings that find patients: the first three letters of some of the demo names.
    QStringList prefixes;
    {
        auto names = connection->openRecordset(QStringLiteral("SELECT top 300 LastName FROM Patient_Data.dbo.tbMaster"));
        for (; !names->eof(); names->moveNext()) {
            const QString prefix = names->field(QStringLiteral("LastName")).toString().left(3);
            if (prefix.size() == 3 && !prefix.contains(QLatin1Char('\'')) && !prefixes.contains(prefix))
                prefixes << prefix;
        }
    }
    if (prefixes.isEmpty()) {
        std::printf("the demo database holds no names\n");
        return 1;
    }
    long after100 = 0;
    int searches = 0, lists = 0, opens = 0;
    QElapsedTimer clock;
    clock.start();
    for (int step = 0; step < steps; ++step) {
        switch (step % 3) {
        case 0:
            // As a clerk does between patients: the open left the last one's number behind.
            window.cmdReset->click();
            window.txtLastName->setText(prefixes[(step / 3) % prefixes.size()]);
            QTest::keyClick(window.txtLastName, Qt::Key_Return);
            ++searches;
            if (std::getenv("SOAK_TRACE"))
                std::printf("step %d search %s: %d rows, visible %d\n", step, qPrintable(window.txtLastName->text()), window.Grid1->rows() - 1, int(window.isVisible()));
            break;
        case 1:
            if (window.Grid1->rows() > 1) {
                const int row = 1 + (step / 3) % (window.Grid1->rows() - 1);
                QTest::mouseClick(window.Grid1->viewport(), Qt::LeftButton, {}, searchtest::cellCentre(window.Grid1, row, 3));
                ++lists;
            }
            break;
        case 2:
            if (window.Grid2->rows() > 1) {
                QTest::mouseDClick(window.Grid2->viewport(), Qt::LeftButton, {}, searchtest::cellCentre(window.Grid2, 1, 3));
                closeRecordWindows();
                ++opens;
            }
            break;
        }
        QApplication::processEvents();
        if (step + 1 == 100)
            after100 = residentKiB();
        if ((step + 1) % 1000 == 0)
            std::printf("%6d steps  %5lld s  %ld KiB\n", step + 1, clock.elapsed() / 1000, residentKiB());
        std::fflush(stdout);
    }
    const long atEnd = residentKiB();
    const double growth = after100 > 0 ? 100.0 * double(atEnd - after100) / double(after100) : 0.0;
    std::printf("searches %d, lists %d, opens %d, messages %d in %lld s\n", searches, lists, opens, messages,
                clock.elapsed() / 1000);
    std::printf("resident after 100 steps: %ld KiB, at the end: %ld KiB (%+.1f%%)\n", after100, atEnd, growth);
    return growth <= 10.0 ? 0 : 1;
}

#include "Soak.moc"
