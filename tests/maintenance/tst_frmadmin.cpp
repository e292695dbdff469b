// The maintenance window's layout and its two text procedures; no database involved.

#include "maintenance/frmAdmin.h"
#include "platform/ui/Twips.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using platform::ui::twipsRect;

class FrmAdminTest : public QObject {
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void windowAndTabOrder();
    void replaceString_data();
    void replaceString();
    void getWord_data();
    void getWord();
};

void FrmAdminTest::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("cmdUpdate") << "cmdUpdate" << "Update Database" << twipsRect(5520, 120, 2655, 495);
    QTest::newRow("cmdClearOccupation") << "cmdClearOccupation" << "Clear Occupation Codes"
                                        << twipsRect(5520, 960, 2655, 495);
    QTest::newRow("cmdUploadOccupation") << "cmdUploadOccupation" << "Upload Occupation Codes"
                                         << twipsRect(5520, 1560, 2655, 495);
    QTest::newRow("txtExistingColumns") << "txtExistingColumns" << QString()
                                        << twipsRect(120, 120, 5325, 6735);
}

void FrmAdminTest::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    frmAdmin window(nullptr);
    QWidget *control = window.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    if (auto *button = qobject_cast<QPushButton *>(control)) {
        QCOMPARE(button->text(), caption);
    } else {
        auto *log = qobject_cast<QPlainTextEdit *>(control);
        QVERIFY(log);
        QVERIFY(log->toPlainText().isEmpty());
        QCOMPARE(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
}

void FrmAdminTest::windowAndTabOrder()
{
    frmAdmin window(nullptr);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QStringLiteral("Form1"));
    QCOMPARE(window.size(), twipsRect(0, 0, 8400, 7005).size());
    QVERIFY(window.isWindow());

    const QStringList expected = {"cmdUpdate", "txtExistingColumns", "cmdUploadOccupation",
                                  "cmdClearOccupation"};
    window.cmdUpdate->setFocus();
    QTRY_VERIFY(window.cmdUpdate->hasFocus());
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(visited, expected);
}

void FrmAdminTest::replaceString_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("with");
    QTest::addColumn<QString>("expected");
    QTest::newRow("every apostrophe") << "O'Neil's 'best'" << "'" << "" << "ONeils best";
    QTest::newRow("only apostrophes") << "'''" << "'" << "" << "";
    QTest::newRow("nothing to replace") << "Nurse" << "'" << "" << "Nurse";
    QTest::newRow("empty source") << "" << "'" << "" << "";
    QTest::newRow("either letter case") << "Banana BANANA" << "a" << "o" << "Bonono BoNoNo";
    QTest::newRow("rest keeps its case") << "Mixed CASE text" << "CASE" << "x" << "Mixed x text";
    QTest::newRow("longer replacement") << "a-b-c" << "-" << " + " << "a + b + c";
    // The search starts again at the front, so pieces joined by a removal are found too.
    QTest::newRow("joined pieces") << "aabb" << "ab" << "" << "";
    QTest::newRow("replacement holds the text") << "a.b" << "." << ".." << "a..b";
    QTest::newRow("empty text to find") << "abc" << "" << "x" << "abc";
}

void FrmAdminTest::replaceString()
{
    QFETCH(QString, source);
    QFETCH(QString, what);
    QFETCH(QString, with);
    QFETCH(QString, expected);
    frmAdmin::ReplaceString(source, what, with);
    QCOMPARE(source, expected);
}

void FrmAdminTest::getWord_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("rest");
    QTest::newRow("first of several") << "one two three" << " " << "one" << "two three";
    QTest::newRow("no separator") << "single" << "," << "single" << "";
    QTest::newRow("separator first") << ",tail" << "," << "" << "tail";
    QTest::newRow("separator last") << "head," << "," << "head" << "";
    QTest::newRow("longer separator") << "a::b::c" << "::" << "a" << "b::c";
    QTest::newRow("case counts") << "aXbxc" << "x" << "aXb" << "c";
    QTest::newRow("empty group") << "" << "," << "" << "";
}

void FrmAdminTest::getWord()
{
    QFETCH(QString, group);
    QFETCH(QString, separator);
    QFETCH(QString, word);
    QFETCH(QString, rest);
    QCOMPARE(frmAdmin::GetWord(group, separator), word);
    QCOMPARE(group, rest);
}

QTEST_MAIN(FrmAdminTest)
#include "tst_frmadmin.moc"
