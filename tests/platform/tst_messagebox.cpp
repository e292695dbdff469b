#include "platform/ui/MessageBox.h"
#include "platform/ui/ProgramIcon.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using platform::ui::MessageBox;

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    // A short message must not make a box so narrow that the title bar cuts its caption; the
    // caption is measured in a bold face, which title bars commonly use.
    void wideEnoughForTheWholeCaption_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("short message") << "Select an Admission Record.";
        QTest::newRow("one word") << "x";
        QTest::newRow("a long description")
            << QStringLiteral("The patient search could not finish.\n\n") + QString(300, QLatin1Char('w'));
    }
    void wideEnoughForTheWholeCaption()
    {
        QFETCH(QString, text);
        const std::unique_ptr<QMessageBox> box = MessageBox::build(nullptr, text);
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        QFont bold = box->font();
        bold.setBold(true);
        QCOMPARE(box->windowTitle(), platform::ui::applicationTitle);
        QVERIFY2(box->width() >= QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + 100,
                 qPrintable(QString::number(box->width())));
        // Still a plain message: the text, OK only, no icon, the program's own window icon.
        QCOMPARE(box->text(), text);
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->windowIcon().pixmap(32).toImage(), platform::ui::programIcon().pixmap(32).toImage());
    }
};

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
