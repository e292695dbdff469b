// The statement cache must be invisible: every statement gives the same rows, column types and
// errors with it as without it, also when a later statement of the same shape differs in its
// literals, the schema changed in between, or an earlier result of that shape is still open.

#include "EngineFixture.h"

#include <QFile>
#include <QTest>

namespace {

// The fixture's session reads the switch when it opens.
std::unique_ptr<EngineFixture> hospital(bool cached)
{
    qputenv("TALVOR_STATEMENT_CACHE", cached ? "1" : "0");
    auto db = std::make_unique<EngineFixture>();
    db->loadHospital();
    qunsetenv("TALVOR_STATEMENT_CACHE");
    return db;
}

QString unescape(const QString &line)
{
    QString out;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != QLatin1Char('\\') || i + 1 == line.size()) {
            out += line[i];
            continue;
        }
        const QChar c = line[++i];
        out += c == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : c == QLatin1Char('t') ? QChar(QLatin1Char('\t')) : c;
    }
    return out;
}

// Each statement twice (the second run is the cached one), its output and its column types.
QStringList transcript(EngineFixture &db, const QStringList &statements)
{
    QStringList out;
    for (const QString &s : statements)
        for (int run = 0; run < 2; ++run)
            out << s + QStringLiteral("\n=> ") + db.batch(s) + QStringLiteral("\n:: ") + db.types(s);
    return out;
}

} // namespace

class TestStatementCache : public QObject {
    Q_OBJECT

private slots:
    void suites();
    void sequences_data();
    void sequences();
    void openResultOfSameShape();
};

// Every statement of the query and conformance suites, in one session each way.
void TestStatementCache::suites()
{
    QFile file(QStringLiteral(TALVOR_CACHE_CASES));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList statements;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            statements << unescape(QString::fromUtf8(line));
    QVERIFY(statements.size() > 300);
    const QStringList without = transcript(*hospital(false), statements);
    const QStringList with = transcript(*hospital(true), statements);
    QCOMPARE(with.size(), without.size());
    for (qsizetype i = 0; i < with.size(); ++i)
        QCOMPARE(with[i], without[i]);
}

void TestStatementCache::sequences_data()
{
    QTest::addColumn<QStringList>("statements");

    // Same tokens, literals of another type: the plan must not be shared.
    QTest::newRow("string lengths") << QStringList{QStringLiteral("SELECT 'ab' + LastName FROM tbMaster WHERE HospNum = 'H001'"),
                                                   QStringLiteral("SELECT 'abcdefgh' + LastName FROM tbMaster WHERE HospNum = 'H002'")};
    QTest::newRow("unicode literal") << QStringList{QStringLiteral("SELECT 'x' + FirstName FROM tbMaster ORDER BY HospNum"),
                                                    QStringLiteral("SELECT N'x' + FirstName FROM tbMaster ORDER BY HospNum")};
    QTest::newRow("number precision") << QStringList{QStringLiteral("SELECT 1.5 * 2, 7 / 2"), QStringLiteral("SELECT 12.25 * 2, 7.0 / 2"),
                                                     QStringLiteral("SELECT 1 + 2.5"), QStringLiteral("SELECT 100000 + 2.5"),
                                                     QStringLiteral("SELECT 2147483648 + 1"), QStringLiteral("SELECT 2147483647 + 1")};
    QTest::newRow("convert styles") << QStringList{QStringLiteral("SELECT CONVERT(varchar, BirthDate, 101) FROM tbMaster ORDER BY HospNum"),
                                                   QStringLiteral("SELECT CONVERT(varchar, BirthDate, 103) FROM tbMaster ORDER BY HospNum"),
                                                   QStringLiteral("SELECT CONVERT(varchar, BirthDate, 112) FROM tbMaster ORDER BY HospNum")};
    QTest::newRow("order by position") << QStringList{QStringLiteral("SELECT HospNum, LastName FROM tbMaster ORDER BY 1"),
                                                      QStringLiteral("SELECT HospNum, LastName FROM tbMaster ORDER BY 2")};
    // Strings whose value the compiler reads: an ORDER BY 'name' and a select list matched
    // against its GROUP BY (the second statement is Msg 8120 on SQL Server).
    QTest::newRow("order by a name in quotes") << QStringList{
        QStringLiteral("SELECT HospNum AS a, LastName AS b FROM tbMaster ORDER BY 'b'"),
        QStringLiteral("SELECT HospNum AS a, LastName AS b FROM tbMaster ORDER BY 'c'"),
        QStringLiteral("SELECT HospNum AS a, LastName AS b FROM tbMaster ORDER BY 'a'")};
    QTest::newRow("select list against its group by") << QStringList{
        QStringLiteral("SELECT 'a' + LastName, COUNT(*) FROM tbMaster GROUP BY 'a' + LastName ORDER BY 1"),
        QStringLiteral("SELECT 'b' + LastName, COUNT(*) FROM tbMaster GROUP BY 'a' + LastName ORDER BY 1")};
    QTest::newRow("top") << QStringList{QStringLiteral("SELECT TOP 1 HospNum FROM tbMaster ORDER BY HospNum"),
                                        QStringLiteral("SELECT TOP 3 HospNum FROM tbMaster ORDER BY HospNum")};
    QTest::newRow("like prefixes") << QStringList{QStringLiteral("SELECT HospNum FROM tbMaster WHERE LastName LIKE 'DEL%' ORDER BY HospNum"),
                                                  QStringLiteral("SELECT HospNum FROM tbMaster WHERE LastName LIKE 'S%' ORDER BY HospNum"),
                                                  QStringLiteral("SELECT HospNum FROM tbMaster WHERE LastName LIKE '%' ORDER BY HospNum")};

    // The schema changes between two runs of one shape.
    QTest::newRow("column type changes") << QStringList{
        QStringLiteral("SELECT ReferredFrom + 'x' FROM tbPatient ORDER BY IDNum"),
        QStringLiteral("ALTER TABLE tbPatient ALTER COLUMN ReferredFrom varchar(250)"),
        QStringLiteral("SELECT ReferredFrom + 'x' FROM tbPatient ORDER BY IDNum")};
    QTest::newRow("table dropped and made again") << QStringList{
        QStringLiteral("CREATE TABLE tbScratch (a int)"), QStringLiteral("INSERT INTO tbScratch VALUES (7)"),
        QStringLiteral("SELECT a / 2 FROM tbScratch"), QStringLiteral("DROP TABLE tbScratch"),
        QStringLiteral("SELECT a / 2 FROM tbScratch"), QStringLiteral("CREATE TABLE tbScratch (a decimal(5,1))"),
        QStringLiteral("INSERT INTO tbScratch VALUES (7)"), QStringLiteral("SELECT a / 2 FROM tbScratch")};
    QTest::newRow("column renamed") << QStringList{
        QStringLiteral("CREATE TABLE tbScratch (a int, b int)"), QStringLiteral("SELECT a FROM tbScratch"),
        QStringLiteral("EXEC sp_rename 'tbScratch.a', 'c', 'COLUMN'"), QStringLiteral("SELECT a FROM tbScratch"),
        QStringLiteral("EXEC sp_rename 'tbScratch.b', 'a', 'COLUMN'"), QStringLiteral("SELECT a FROM tbScratch")};
    QTest::newRow("rolled back table") << QStringList{
        QStringLiteral("BEGIN TRANSACTION; CREATE TABLE tbScratch (a int); SELECT a FROM tbScratch; ROLLBACK"),
        QStringLiteral("SELECT a FROM tbScratch")};
    QTest::newRow("temporary table") << QStringList{
        QStringLiteral("CREATE TABLE #t (a int); INSERT INTO #t VALUES (5); SELECT a + 1 FROM #t; DROP TABLE #t"),
        QStringLiteral("CREATE TABLE #t (a varchar(5)); INSERT INTO #t VALUES ('5'); SELECT a + 1 FROM #t; DROP TABLE #t")};

    // What the session brings to the compiler.
    QTest::newRow("variable types") << QStringList{
        QStringLiteral("DECLARE @v varchar(3) = 'abc'; SELECT @v + LastName FROM tbMaster WHERE HospNum = 'H001'"),
        QStringLiteral("DECLARE @v int = 4; SELECT @v + LastName FROM tbMaster WHERE HospNum = 'H001'"),
        QStringLiteral("DECLARE @v decimal(5,2) = 4; SELECT @v + 1")};
    QTest::newRow("current database") << QStringList{
        QStringLiteral("SELECT count(*) FROM tbMaster"), QStringLiteral("USE Build_File"),
        QStringLiteral("SELECT count(*) FROM tbMaster"), QStringLiteral("USE Patient_Data"),
        QStringLiteral("SELECT count(*) FROM tbMaster")};
    QTest::newRow("same shape in one batch") << QStringList{
        QStringLiteral("SELECT HospNum FROM tbMaster WHERE HospNum = 'H001'; SELECT HospNum FROM tbMaster WHERE HospNum = 'H002'")};
    QTest::newRow("set rowcount") << QStringList{
        QStringLiteral("SET ROWCOUNT 2; SELECT HospNum FROM tbMaster ORDER BY HospNum; SET ROWCOUNT 0"),
        QStringLiteral("SELECT HospNum FROM tbMaster ORDER BY HospNum")};
}

void TestStatementCache::sequences()
{
    QFETCH(QStringList, statements);
    const QStringList without = transcript(*hospital(false), statements);
    const QStringList with = transcript(*hospital(true), statements);
    QCOMPARE(with, without);
}

// A result still being read when its shape runs again: both read their own rows.
void TestStatementCache::openResultOfSameShape()
{
    const auto read = [](bool cached) {
        auto db = hospital(cached);
        const QString shape = QStringLiteral("SELECT HospNum FROM tbMaster WHERE HospNum >= '%1' ORDER BY HospNum");
        auto first = db->session().execute(shape.arg(QStringLiteral("H001")).toStdString());
        QStringList rows;
        first->next();
        rows << QString::fromStdString(first->value(0).asText());
        auto second = db->session().execute(shape.arg(QStringLiteral("H004")).toStdString());
        rows << EngineFixture::render(*second) << EngineFixture::render(*first);
        return rows;
    };
    QCOMPARE(read(true), read(false));
    QCOMPARE(read(false).size(), 3);
}

QTEST_GUILESS_MAIN(TestStatementCache)
#include "tst_statement_cache.moc"
