#include "platform/data/EmbeddedConnection.h"
#include "tsql/Session.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using platform::DatabaseError;
using platform::EmbeddedConnection;

class TestEmbeddedConnection : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void valuesAreTyped_data();
    void valuesAreTyped();
    void fieldByNameIsCaseInsensitiveAndTakesTheFirst();
    void cursorWalksEveryRowOnce();
    void emptyResultIsAtEof();
    void misuseThrowsAdoTexts_data();
    void misuseThrowsAdoTexts();
    void executeReportsRowsAffected_data();
    void executeReportsRowsAffected();
    void engineErrorsKeepTheirTextAndNumbers_data();
    void engineErrorsKeepTheirTextAndNumbers();
    void useChangesTheCurrentDatabase();
    void runBatch();
    void openRefusesFoldersWithoutTheDatabase_data();
    void openRefusesFoldersWithoutTheDatabase();
    void embeddedTargets_data();
    void embeddedTargets();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<EmbeddedConnection> m_conn;
};

void TestEmbeddedConnection::initTestCase()
{
    QVERIFY(m_dir.isValid());
    auto session = tsql::Session::open(m_dir.path().toStdString(), "");
    session->createDatabase("Patient_Data");
    session->createDatabase("Build_File");
    session->execute("USE Patient_Data");
    session->execute("CREATE TABLE people (HospNum varchar(10) NOT NULL PRIMARY KEY, LastName varchar(30) NULL, "
                     "BirthDate datetime NULL, Visits int NULL, Weight float NULL)");
    tsql::BulkInserter rows(*session, "Patient_Data", "people",
                            {"HospNum", "LastName", "BirthDate", "Visits", "Weight"});
    rows.add({tsql::Value::text("0001"), tsql::Value::text("Peña"),
              tsql::Value::dateTime({1987, 2, 28, 13, 45, 10, 123}), tsql::Value::integer(3),
              tsql::Value::real(61.5)});
    rows.add({tsql::Value::text("0002"), tsql::Value::text("O'Brien"), tsql::Value(),
              tsql::Value::integer(0), tsql::Value()});
    rows.add({tsql::Value::text("0003"), tsql::Value(), tsql::Value::dateTime({2001, 12, 31}),
              tsql::Value(), tsql::Value()});
    rows.commit();
}

void TestEmbeddedConnection::init()
{
    m_conn = EmbeddedConnection::open(m_dir.path());
}

void TestEmbeddedConnection::valuesAreTyped_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("int as qlonglong") << "SELECT Visits AS v FROM people WHERE HospNum = '0001'"
                                      << QVariant::fromValue<qlonglong>(3);
    QTest::newRow("varchar as UTF-8 text") << "SELECT LastName AS v FROM people WHERE HospNum = '0001'"
                                           << QVariant(QStringLiteral("Peña"));
    QTest::newRow("datetime to the millisecond, local")
        << "SELECT BirthDate AS v FROM people WHERE HospNum = '0001'"
        << QVariant(QDateTime(QDate(1987, 2, 28), QTime(13, 45, 10, 123), Qt::LocalTime));
    QTest::newRow("float as double") << "SELECT Weight AS v FROM people WHERE HospNum = '0001'"
                                     << QVariant(61.5);
    QTest::newRow("NULL datetime") << "SELECT BirthDate AS v FROM people WHERE HospNum = '0002'" << QVariant();
    QTest::newRow("NULL text") << "SELECT LastName AS v FROM people WHERE HospNum = '0003'" << QVariant();
    QTest::newRow("style 101 text") << "SELECT CONVERT(varchar,BirthDate,101) AS v FROM people WHERE HospNum = '0003'"
                                    << QVariant(QStringLiteral("12/31/2001"));
    QTest::newRow("NULL in concatenation") << "SELECT LastName + ', ' + HospNum AS v FROM people WHERE HospNum = '0003'"
                                           << QVariant();
}

void TestEmbeddedConnection::valuesAreTyped()
{
    QFETCH(QString, sql);
    QFETCH(QVariant, expected);
    auto rs = m_conn->openRecordset(sql);
    QVERIFY(rs->isResultSet());
    QVERIFY(!rs->eof());
    const QVariant v = rs->field(QStringLiteral("v"));
    QCOMPARE(v.isNull(), expected.isNull());
    if (!expected.isNull()) {
        QCOMPARE(v.typeId(), expected.typeId());
        QCOMPARE(v, expected);
    }
    if (v.typeId() == QMetaType::QDateTime)
        QCOMPARE(v.toDateTime().timeSpec(), Qt::LocalTime);
}

void TestEmbeddedConnection::fieldByNameIsCaseInsensitiveAndTakesTheFirst()
{
    // The patient search selects HospNum twice; a lookup by name must give the first.
    auto rs = m_conn->openRecordset(QStringLiteral(
        "SELECT LastName AS hospnum, HospNum FROM people WHERE HospNum = '0002'"));
    QCOMPARE(rs->field(QStringLiteral("HOSPNUM")).toString(), QStringLiteral("O'Brien"));
    QCOMPARE(rs->fieldCount(), 2);
    QCOMPARE(rs->fieldName(1), QStringLiteral("HospNum"));
    QCOMPARE(rs->value(1).toString(), QStringLiteral("0002"));
}

void TestEmbeddedConnection::cursorWalksEveryRowOnce()
{
    auto rs = m_conn->openRecordset(QStringLiteral("SELECT HospNum FROM people ORDER BY HospNum DESC"));
    QStringList seen;
    while (!rs->eof()) {
        seen << rs->field(QStringLiteral("hospnum")).toString();
        rs->moveNext();
    }
    QCOMPARE(seen, (QStringList{"0003", "0002", "0001"}));
    rs->close();
    rs->close(); // idempotent
}

void TestEmbeddedConnection::emptyResultIsAtEof()
{
    auto rs = m_conn->openRecordset(QStringLiteral("SELECT * FROM people WHERE 1=0"));
    QVERIFY(rs->isResultSet());
    QVERIFY(rs->eof());
    QCOMPARE(rs->fieldCount(), 5);
}

void TestEmbeddedConnection::misuseThrowsAdoTexts_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("action"); // 0 unknown field, 1 field at eof, 2 field after close, 3 moveNext at eof
    QTest::addColumn<QString>("text");

    const QString notFound = "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    const QString noRecord = "Either BOF or EOF is True, or the current record has been deleted. "
                             "Requested operation requires a current record.";
    QTest::newRow("unknown field") << "SELECT HospNum FROM people" << 0 << notFound;
    QTest::newRow("field at eof") << "SELECT HospNum FROM people WHERE 1=0" << 1 << noRecord;
    QTest::newRow("field after close") << "SELECT HospNum FROM people" << 2
                                       << "Operation is not allowed when the object is closed.";
    QTest::newRow("moveNext at eof") << "SELECT HospNum FROM people WHERE 1=0" << 3 << noRecord;
    QTest::newRow("field of a statement without rows") << "UPDATE people SET Visits = Visits WHERE 1=0" << 1
                                                       << "Operation is not allowed when the object is closed.";
}

void TestEmbeddedConnection::misuseThrowsAdoTexts()
{
    QFETCH(QString, sql);
    QFETCH(int, action);
    QFETCH(QString, text);
    auto rs = m_conn->openRecordset(sql);
    try {
        switch (action) {
        case 0: rs->field(QStringLiteral("NoSuchColumn")); break;
        case 1: rs->field(QStringLiteral("HospNum")); break;
        case 2: rs->close(); rs->field(QStringLiteral("HospNum")); break;
        case 3: rs->moveNext(); break;
        }
        QFAIL("no error");
    } catch (const DatabaseError &e) {
        QCOMPARE(e.description(), text);
    }
}

void TestEmbeddedConnection::executeReportsRowsAffected_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<qint64>("affected"); // of the last statement

    QTest::newRow("insert") << QStringList{"INSERT INTO people (HospNum, LastName) VALUES ('0009', 'Uy')"} << qint64(1);
    QTest::newRow("update of two") << QStringList{"UPDATE people SET Visits = Visits WHERE HospNum IN ('0001', '0002')"}
                                   << qint64(2);
    QTest::newRow("delete of none") << QStringList{"DELETE FROM people WHERE HospNum = 'none'"} << qint64(0);
    QTest::newRow("DDL reports none") << QStringList{"CREATE TABLE scratch (a int NULL)", "DROP TABLE scratch"}
                                      << qint64(-1);
    QTest::newRow("a query reports none") << QStringList{"SELECT * FROM people"} << qint64(-1);
}

void TestEmbeddedConnection::executeReportsRowsAffected()
{
    QFETCH(QStringList, statements);
    QFETCH(qint64, affected);
    qint64 last = -2;
    for (const QString &s : statements)
        last = m_conn->execute(s);
    QCOMPARE(last, affected);
    m_conn->execute(QStringLiteral("DELETE FROM people WHERE HospNum = '0009'"));
}

void TestEmbeddedConnection::engineErrorsKeepTheirTextAndNumbers_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("severity");
    QTest::addColumn<QString>("text");

    QTest::newRow("invalid object") << "SELECT * FROM Patient_Data.dbo.nosuch" << 208 << 16
                                    << "Invalid object name 'Patient_Data.dbo.nosuch'.";
    QTest::newRow("invalid column") << "SELECT NoSuch FROM people" << 207 << 16 << "Invalid column name 'NoSuch'.";
    // 0: any number or severity the engine chooses, as long as it is SQL Server's kind of error.
    QTest::newRow("second statement refused") << "SELECT 1 SELECT 2" << 0 << 0 << QString();
    QTest::newRow("apostrophe in a value") << "SELECT * FROM people WHERE LastName = 'O'Brien'" << 0 << 0 << QString();
}

void TestEmbeddedConnection::engineErrorsKeepTheirTextAndNumbers()
{
    QFETCH(QString, sql);
    QFETCH(int, number);
    QFETCH(int, severity);
    QFETCH(QString, text);
    try {
        m_conn->openRecordset(sql);
        QFAIL("no error");
    } catch (const DatabaseError &e) {
        if (number != 0)
            QCOMPARE(e.number(), number);
        else
            QVERIFY(e.number() != 0);
        if (severity != 0)
            QCOMPARE(e.severity(), severity);
        else
            QVERIFY(e.severity() > 10);
        if (!text.isEmpty())
            QCOMPARE(e.description(), text);
        QVERIFY(!e.description().startsWith(QLatin1Char('[')));
    }
    // The connection stays usable after a failure.
    QCOMPARE(m_conn->openRecordset(QStringLiteral("SELECT COUNT(*) AS n FROM people"))->field("n").toLongLong(), 3);
}

void TestEmbeddedConnection::useChangesTheCurrentDatabase()
{
    QCOMPARE(m_conn->currentDatabase().toLower(), QStringLiteral("patient_data"));
    m_conn->execute(QStringLiteral("USE Build_File"));
    QCOMPARE(m_conn->currentDatabase().toLower(), QStringLiteral("build_file"));
    QVERIFY(m_conn->openRecordset(QStringLiteral("SELECT * FROM Patient_Data.dbo.people"))->isResultSet());
    QCOMPARE(m_conn->displayName(), QDir::toNativeSeparators(m_dir.path()));
}

void TestEmbeddedConnection::runBatch()
{
    // Every result set, count and message of a batch arrives, in order.
    struct Collect final : platform::BatchSink {
        QStringList items;
        void rows(platform::Recordset &rs) override
        {
            for (; !rs.eof(); rs.moveNext())
                items << rs.value(0).toString();
        }
        void done(qint64 n) override { items << QStringLiteral("(%1)").arg(n); }
        void message(const platform::DatabaseMessage &m) override { items << QString::number(m.number) + QLatin1Char(' ') + m.text; }
    };
    Collect all;
    m_conn->runBatch(QStringLiteral("SELECT 1;\nSELECT 'a;b'\nPRINT 'done'\nSELECT 1/0"), all);
    QCOMPARE(all.items, (QStringList{"1", "(1)", "a;b", "(1)", "0 done", "8134 Divide by zero error encountered."}));
    Collect broken;
    m_conn->runBatch(QStringLiteral("SELECT 1 SELECT 'unclosed"), broken);
    QCOMPARE(broken.items.size(), 1);
    QVERIFY(broken.items.front().startsWith(QStringLiteral("105 ")));
}

void TestEmbeddedConnection::openRefusesFoldersWithoutTheDatabase_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("missing folder") << m_dir.filePath(QStringLiteral("no/such/folder"));
    QTest::newRow("folder without Patient_Data") << m_dir.filePath(QStringLiteral("empty"));
}

void TestEmbeddedConnection::openRefusesFoldersWithoutTheDatabase()
{
    QFETCH(QString, folder);
    QDir().mkpath(m_dir.filePath(QStringLiteral("empty")));
    try {
        platform::openConnection(folder);
        QFAIL("no error");
    } catch (const DatabaseError &e) {
        QVERIFY2(e.description().contains(QDir::toNativeSeparators(folder)), qPrintable(e.description()));
    }
}

void TestEmbeddedConnection::embeddedTargets_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("embedded");
    QTest::newRow("existing folder") << m_dir.path() << true;
    QTest::newRow("bare existing folder name") << QStringLiteral(".") << true;
    QTest::newRow("folder to be") << QStringLiteral("/tmp/not/there/yet") << true;
    QTest::newRow("windows path") << QStringLiteral("C:\\Talvor\\Data") << true;
    QTest::newRow("connection string") << QStringLiteral("Driver=FreeTDS;Server=db1;Database=Patient_Data") << false;
    QTest::newRow("connection string with a path") << QStringLiteral("Driver=SQLite3;Database=/tmp/x.db") << false;
    QTest::newRow("DSN") << QStringLiteral("HospitalDSN") << false;
}

void TestEmbeddedConnection::embeddedTargets()
{
    QFETCH(QString, target);
    QFETCH(bool, embedded);
    QCOMPARE(platform::isEmbeddedTarget(target), embedded);
}

QTEST_GUILESS_MAIN(TestEmbeddedConnection)
#include "tst_embeddedconnection.moc"
