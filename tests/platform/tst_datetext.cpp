#include "platform/ui/DateText.h"

#include <QTest>

using platform::ui::defaultDateTimeText;

// A date-time's default text on a Windows workstation: the short date, with the year in four
// digits, and the long time (with seconds); en-US shows "12/6/2026 4:58:43 PM", de-DE
// "06.12.2026 16:58:43". A value at exactly midnight shows the date alone.
class TestDateText : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void defaultText_data()
    {
        QTest::addColumn<QLocale>("workstation");
        QTest::addColumn<QDateTime>("value");
        QTest::addColumn<QString>("text");

        const QLocale enUS(QLocale::English, QLocale::UnitedStates);
        const QLocale deDE(QLocale::German, QLocale::Germany);
        const QDateTime afternoon(QDate(2026, 12, 6), QTime(16, 58, 43));
        const QDateTime morning(QDate(2026, 1, 2), QTime(9, 5, 7));
        const QDateTime midnight(QDate(2026, 12, 6), QTime(0, 0));
        QTest::newRow("en-US afternoon") << enUS << afternoon << "12/6/2026 4:58:43 PM";
        QTest::newRow("en-US morning") << enUS << morning << "1/2/2026 9:05:07 AM";
        QTest::newRow("en-US midnight") << enUS << midnight << "12/6/2026";
        QTest::newRow("en-US one second past midnight")
            << enUS << QDateTime(QDate(2026, 12, 6), QTime(0, 0, 1)) << "12/6/2026 12:00:01 AM";
        QTest::newRow("de-DE afternoon") << deDE << afternoon << "06.12.2026 16:58:43";
        QTest::newRow("de-DE morning") << deDE << morning << "02.01.2026 09:05:07";
        QTest::newRow("de-DE midnight") << deDE << midnight << "06.12.2026";
        // A workstation without a locale writes as en-US does.
        QTest::newRow("C afternoon") << QLocale::c() << afternoon << "12/6/2026 4:58:43 PM";
        QTest::newRow("C midnight") << QLocale::c() << midnight << "12/6/2026";
    }
    void defaultText()
    {
        QFETCH(QLocale, workstation);
        QFETCH(QDateTime, value);
        QFETCH(QString, text);
        QLocale::setDefault(workstation);
        QCOMPARE(defaultDateTimeText(value), text);
    }
};

QTEST_GUILESS_MAIN(TestDateText)
#include "tst_datetext.moc"
