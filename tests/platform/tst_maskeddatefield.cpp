#include "platform/ui/MaskedDateField.h"

#include <QTest>

using platform::ui::MaskedDateField;

class TestMaskedDateField : public QObject {
    Q_OBJECT

private slots:
    void typing_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing") << "" << "__/__/____";
        QTest::newRow("whole date") << "07041980" << "07/04/1980";
        QTest::newRow("partial") << "0704" << "07/04/____";
        QTest::newRow("letters refused") << "0a7-04x1980" << "07/04/1980";
        QTest::newRow("slashes typed over") << "07/04/1980" << "07/04/1980";
        QTest::newRow("no more than ten") << "070419801234" << "07/04/1980";
    }
    void typing()
    {
        QFETCH(QString, keys);
        QFETCH(QString, text);
        MaskedDateField field;
        field.show();
        QVERIFY(QTest::qWaitForWindowActive(&field));
        field.setCursorPosition(0);
        QTest::keyClicks(&field, keys);
        QCOMPARE(field.text(), text);
        QCOMPARE(field.text().size(), 10);
    }

    void writing_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("text");
        QTest::newRow("a date") << "12/31/1999" << "12/31/1999";
        QTest::newRow("the empty text") << "__/__/____" << "__/__/____";
        QTest::newRow("nothing") << "" << "__/__/____";
    }
    void writing()
    {
        QFETCH(QString, written);
        QFETCH(QString, text);
        MaskedDateField field;
        field.setText(QStringLiteral("01/02/2003"));
        field.setText(written);
        QCOMPARE(field.text(), text);
    }
};

QTEST_MAIN(TestMaskedDateField)
#include "tst_maskeddatefield.moc"
