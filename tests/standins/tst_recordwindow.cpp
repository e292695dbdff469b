// The header stand-in's record window beside the search window, driven the way a clerk drives it:
// keys go through the window system to whichever window has the keyboard.

#include "../search/SearchWindowFixture.h"

#include "maintenance/frmAdmin.h"
#include "platform/ui/ProgramIcon.h"
#include "standins/StandIns.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace searchtest;

namespace {

QWidget *recordWindow()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("PatientRecordWindow") && top->isVisible())
            return top;
    return nullptr;
}

// One stroke of a key: its press and its release each go to the window that has the keyboard at
// that moment, as the window system sends them.
void strokeAtFocusWindow(Qt::Key key)
{
    QTest::keyPress(QGuiApplication::focusWindow(), key);
    QApplication::processEvents();
    QTest::keyRelease(QGuiApplication::focusWindow(), key);
    QApplication::processEvents();
}

} // namespace

class TestRecordWindow : public SearchWindowFixture {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        createDatabase();
        // The program's own header, record window and all, in place of the recording one.
        standins::registerComponents();
    }
    void init()
    {
        openWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    void cleanup() { closeWindow(); }

    void oneEnterInTheAdmissionNumberOpensTheRecordTwice()
    {
        w->txtIDNum->setFocus();
        QTest::keyClicks(w->txtIDNum, QStringLiteral("IP-1001"));
        QCOMPARE(QGuiApplication::focusWindow(), w->windowHandle());

        strokeAtFocusWindow(Qt::Key_Return);

        // The key's release still reached the field, though the record window opened between.
        QCOMPARE(newStatementsStartingWith(QStringLiteral("SELECT top 100")).size(), 2);
        QWidget *record = recordWindow();
        QVERIFY(record);
        QCOMPARE(record->findChild<QLabel *>(QStringLiteral("lblIDNum"))->text(), QStringLiteral("IP-1001"));
        QCOMPARE(QApplication::activeWindow(), static_cast<QWidget *>(w));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->txtIDNum));
        QVERIFY(m_messages.isEmpty());
    }

    void theRecordWindowOpensOverTheSearchWindow()
    {
        w->move(140, 90);
        w->txtIDNum->setText(QStringLiteral("IP-2001"));
        QTest::mouseClick(w->cmdGoAdmission, Qt::LeftButton);
        QWidget *record = recordWindow();
        QVERIFY(record);
        const QPoint offset = record->frameGeometry().center() - w->frameGeometry().center();
        // Within the few pixels the window frame and rounding make.
        QVERIFY2(offset.manhattanLength() <= 6, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
        // One record window per search window: the next open updates it where the clerk left it.
        record->move(record->pos() + QPoint(30, 20));
        const QPoint moved = record->pos();
        w->txtIDNum->setText(QStringLiteral("IP-1001"));
        QTest::mouseClick(w->cmdGoAdmission, Qt::LeftButton);
        QCOMPARE(recordWindow(), record);
        QCOMPARE(record->pos(), moved);
        QCOMPARE(record->findChild<QLabel *>(QStringLiteral("lblIDNum"))->text(), QStringLiteral("IP-1001"));
    }

    void everyWindowCarriesTheProgramsIcon()
    {
        w->txtIDNum->setText(QStringLiteral("IP-1001"));
        QTest::mouseClick(w->cmdGoAdmission, Qt::LeftButton);
        QTest::mouseClick(w->cmdAdmin, Qt::LeftButton);
        const QImage programs = platform::ui::programIcon().pixmap(32).toImage();
        QVERIFY(!programs.isNull());
        QStringList windows;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->isVisible()) {
                windows << top->objectName();
                QVERIFY2(top->windowIcon().pixmap(32).toImage() == programs, qPrintable(top->objectName()));
            }
        windows.sort();
        QCOMPARE(windows, (QStringList{"PatientRecordWindow", "frmAdmin", "frmMain2"}));
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<frmAdmin *>(top))
                top->close();
    }

    // Last, because it runs the application's own event loop until the program would end.
    void theProgramEndsWithItsLastWindowNotWithTheRecordWindow()
    {
        w->txtIDNum->setText(QStringLiteral("IP-1001"));
        QTest::mouseClick(w->cmdGoAdmission, Qt::LeftButton);
        QVERIFY(recordWindow());
        QTest::mouseClick(w->cmdAdmin, Qt::LeftButton);
        QPointer<frmAdmin> admin;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *found = qobject_cast<frmAdmin *>(top); found && found->isVisible())
                admin = found;
        QVERIFY(admin);

        bool runningWithMaintenanceOpen = false; // and the record window beside it
        QTimer::singleShot(0, w, [this] { w->close(); });
        QTimer::singleShot(200, qApp, [&] {
            runningWithMaintenanceOpen = recordWindow() != nullptr;
            if (admin)
                admin->close();
        });
        // A program that outlives its windows would still be running when this fires.
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        // The record window was still open when the last of the program's windows closed.
        QVERIFY(runningWithMaintenanceOpen);
    }
};

QTEST_MAIN(TestRecordWindow)
#include "tst_recordwindow.moc"
