// TOP ... ORDER BY over a LIKE prefix runs one of two plans, chosen by how many rows the prefix
// holds; whichever runs, the rows are those of the whole sorted result cut after TOP.

#include "EngineFixture.h"

#include <QTest>

class TestOrderedWalk : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sameRowsEitherWay_data();
    void sameRowsEitherWay();

private:
    EngineFixture m_db;
};

void TestOrderedWalk::initTestCase()
{
    // Names sorted by (LastName, FirstName) with an index for each way in; "Maria" is half the
    // table (the walk), "Santiño" one row in seven (either), "Zeta..." each a name of its own.
    m_db.script({QStringLiteral("CREATE TABLE tbNames (Id int PRIMARY KEY, LastName varchar(30), FirstName varchar(30))"),
                 QStringLiteral("CREATE INDEX IX_tbNames_Name ON tbNames (LastName, FirstName)"),
                 QStringLiteral("CREATE INDEX IX_tbNames_FirstName ON tbNames (FirstName)")});
    const QString fill = QStringLiteral(
        "DECLARE @i int = 0; WHILE @i < 3000 BEGIN "
        "INSERT INTO tbNames VALUES (@i, 'L' + CAST(@i % 89 AS varchar(10)) + '-' + CAST(@i AS varchar(10)), "
        "CASE WHEN @i % 2 = 0 THEN 'Maria' WHEN @i % 7 = 1 THEN 'Santiño' WHEN @i % 7 = 3 THEN 'santino' "
        "ELSE 'Zeta' + CAST(@i AS varchar(10)) END); SET @i = @i + 1; END");
    QVERIFY(!m_db.batch(fill).contains(QStringLiteral("Msg")));
}

void TestOrderedWalk::sameRowsEitherWay_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("top");

    QTest::newRow("half the table") << "Mar%" << 10;
    QTest::newRow("half the table, large top") << "maria%" << 400;
    QTest::newRow("accented prefix") << "Santiñ%" << 20;
    QTest::newRow("accent variant not matched") << "Santino%" << 20;
    QTest::newRow("one name") << "Zeta1234%" << 5;
    QTest::newRow("none") << "Q%" << 5;
    QTest::newRow("everything") << "%" << 15;
}

void TestOrderedWalk::sameRowsEitherWay()
{
    QFETCH(QString, pattern);
    QFETCH(int, top);
    const QString where = QStringLiteral(" FROM tbNames WHERE FirstName LIKE '%1' ORDER BY LastName, FirstName").arg(pattern);
    const QStringList expected =
        m_db.run(QStringLiteral("SELECT Id, LastName, FirstName") + where).split(QLatin1Char('\n')).mid(0, top);
    // Twice: the second run takes the plan its shape kept.
    for (int run = 0; run < 2; ++run)
        QCOMPARE(m_db.run(QStringLiteral("SELECT TOP %1 Id, LastName, FirstName").arg(top) + where).split(QLatin1Char('\n')),
                 expected);
}

QTEST_GUILESS_MAIN(TestOrderedWalk)
#include "tst_ordered_walk.moc"
