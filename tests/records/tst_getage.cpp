#include "records/GetAge.h"

#include <QTest>

class TestGetAge : public QObject {
    Q_OBJECT
private slots:
    void age_data();
    void age();
};

void TestGetAge::age_data()
{
    QTest::addColumn<QString>("birthDate");
    QTest::addColumn<QString>("today");
    QTest::addColumn<int>("expected");

    // The year count runs on 365.25-day years, so it turns near, not on, the calendar birthday.
    QTest::newRow("day before birthday") << "03/15/1980" << "3/14/2026 10:15:00 AM" << 45;
    QTest::newRow("on birthday") << "03/15/1980" << "3/15/2026 12:00:00 AM" << 46;
    QTest::newRow("two days before birthday") << "06/01/1990" << "5/30/2026 11:59:59 PM" << 35;
    QTest::newRow("counts a day before birthday") << "06/01/1990" << "5/31/2026 1:00:00 AM" << 36;
    QTest::newRow("364 days old") << "12/04/2025" << "12/3/2026 3:00:00 PM" << 0;
    QTest::newRow("365 days old") << "12/03/2025" << "12/3/2026 3:00:00 PM" << 1;
    QTest::newRow("born today") << "12/03/2026" << "12/3/2026 11:59:59 PM" << 0;
    QTest::newRow("born tomorrow") << "12/04/2026" << "12/3/2026 9:00:00 AM" << 0;
    QTest::newRow("two days ahead") << "12/05/2026" << "12/3/2026 9:00:00 AM" << -1;
    QTest::newRow("366 days ahead") << "12/04/2027" << "12/3/2026 9:00:00 AM" << -1;
    QTest::newRow("leap day birth") << "02/29/2000" << "2/28/2026 8:00:00 AM" << 26;
    QTest::newRow("one-digit month and day") << "3/5/1980" << "3/5/2026 8:00:00 AM" << 46;
    QTest::newRow("empty birth date") << "" << "12/3/2026 9:00:00 AM" << 0;
    QTest::newRow("blank date text") << "  /  /    " << "12/3/2026 9:00:00 AM" << 0;
    QTest::newRow("masked empty") << "__/__/____" << "12/3/2026 9:00:00 AM" << 0;
    QTest::newRow("impossible day") << "02/30/1980" << "12/3/2026 9:00:00 AM" << 0;
    QTest::newRow("today not a date") << "03/15/1980" << "yesterday" << 0;
}

void TestGetAge::age()
{
    QFETCH(QString, birthDate);
    QFETCH(QString, today);
    QFETCH(int, expected);
    QCOMPARE(int(records::GetAge(birthDate, today)), expected);
}

QTEST_GUILESS_MAIN(TestGetAge)
#include "tst_getage.moc"
