// The session around the statements: opening folders, one statement per call, batches, the
// trace file, cursors left open across writes, bulk loading, and surviving a killed process.

#include "EngineFixture.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void openingFolders();
    void oneStatementPerCall_data();
    void oneStatementPerCall();
    void batches_data();
    void batches();
    void traceLines();
    void cursorSurvivesWrites();
    void transactions_data();
    void transactions();
    void bulkInserter();
    void killedDuringRebuild_data();
    void killedDuringRebuild();
};

void TestSession::openingFolders()
{
    EngineFixture db;
    db.loadHospital();
    db.close();
    try {
        tsql::Session::open(db.folder().toStdString(), "Reports");
        QFAIL("a missing starting database opened");
    } catch (const tsql::Error &e) {
        QCOMPARE(e.number(), 4060);
        QCOMPARE(QString::fromStdString(e.what()), QStringLiteral("Cannot open database \"Reports\" requested by the login. The login failed."));
    }
    // Database names are found whatever their case; the name keeps the case it was created with.
    db.reopen("patient_data");
    QCOMPARE(db.session().currentDatabase(), std::string("Patient_Data"));
    QCOMPARE(db.run("SELECT count(*) FROM tbMaster"), QStringLiteral("5"));
    QCOMPARE(db.run("SELECT count(*) FROM BUILD_FILE.DBO.TBCOCIVILSTATUS"), QStringLiteral("3"));
    db.reopen(QString());
    QCOMPARE(db.run("SELECT count(*) FROM tbMaster"), QStringLiteral("Msg 208: Invalid object name 'tbMaster'."));
}

void TestSession::oneStatementPerCall_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("two statements") << "DELETE FROM tbOutPatient; DELETE FROM tbPatient" << "Msg 102: Incorrect syntax near 'DELETE'.";
    QTest::newRow("without separator") << "DELETE FROM tbOutPatient SELECT 1" << "Msg 102: Incorrect syntax near 'SELECT'.";
    QTest::newRow("trailing separators and comments") << "DELETE FROM tbOutPatient ; ; -- done\n/* really */" << "(2 rows)";
    QTest::newRow("only a comment") << "-- nothing" << "(-1 rows)";
}

void TestSession::oneStatementPerCall()
{
    QFETCH(QString, sql);
    QFETCH(QString, outcome);
    EngineFixture db;
    db.loadHospital();
    QCOMPARE(db.run(sql), outcome);
    const bool ran = !outcome.startsWith("Msg") && outcome != "(-1 rows)";
    QCOMPARE(db.run("SELECT count(*) FROM tbOutPatient"), ran ? QStringLiteral("0") : QStringLiteral("2"));
    QCOMPARE(db.run("SELECT count(*) FROM tbPatient"), QStringLiteral("3"));
}

// learn.microsoft.com: Batches of SQL Statements; TRY...CATCH (Transact-SQL): a syntax error
// anywhere stops the whole batch before it runs; statements end where the grammar says.
void TestSession::batches_data()
{
    QTest::addColumn<QString>("batch");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("separators") << "USE Build_File; SELECT 1;\nSELECT 'a;b' USE Patient_Data"
                                << "Changed database context to 'Build_File'.\n1\n(1 rows)\na;b\n(1 rows)\n"
                                   "Changed database context to 'Patient_Data'.";
    QTest::newRow("no separators") << "SELECT 1 SELECT 2" << "1\n(1 rows)\n2\n(1 rows)";
    QTest::newRow("a syntax error stops everything") << "DELETE FROM tbOutPatient SELECT 1 SELECT FROM x SELECT 3"
                                                     << "Msg 156: Incorrect syntax near the keyword 'FROM'.";
    QTest::newRow("unclosed quote") << "DELETE FROM tbOutPatient SELECT 'open" << "Msg 105: Unclosed quotation mark after the character string 'open'.";
    QTest::newRow("empty") << "  -- nothing\n" << "";
}

void TestSession::batches()
{
    QFETCH(QString, batch);
    QFETCH(QString, outcome);
    EngineFixture db;
    db.loadHospital();
    QCOMPARE(db.batch(batch), outcome);
    // The DELETE at the start of two of the batches must not have run.
    QCOMPARE(db.run("SELECT count(*) FROM tbOutPatient"), QStringLiteral("2"));
}

void TestSession::traceLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("trace.jsonl");
    qputenv("TALVOR_SQL_TRACE", path.toLocal8Bit());
    {
        EngineFixture db;
        db.loadHospital();
        QFile::remove(path);
        db.run("Use Build_File");
        db.run(" SELECT \"x\"\t FROM tbcocivilstatus where CivilStatus = 'O''Neil'");
        db.run("SELECT count(*) FROM tbcocivilstatus  ");
    }
    qunsetenv("TALVOR_SQL_TRACE");
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // three lines and the empty text after the last line break
    QJsonObject use = QJsonDocument::fromJson(lines[0]).object();
    QJsonObject failed = QJsonDocument::fromJson(lines[1]).object();
    QJsonObject count = QJsonDocument::fromJson(lines[2]).object();
    QCOMPARE(use.value("database").toString(), QStringLiteral("Patient_Data"));
    QCOMPARE(use.value("ok").toBool(), true);
    QCOMPARE(failed.value("database").toString(), QStringLiteral("Build_File"));
    QCOMPARE(failed.value("statement").toString(), QStringLiteral(" SELECT \"x\"\t FROM tbcocivilstatus where CivilStatus = 'O''Neil'"));
    QCOMPARE(failed.value("ok").toBool(), false);
    QCOMPARE(failed.value("error").toString(), QStringLiteral("Invalid column name 'x'."));
    QCOMPARE(count.value("statement").toString(), QStringLiteral("SELECT count(*) FROM tbcocivilstatus  "));
    QVERIFY(count.contains("rows"));
    QVERIFY(!count.value("time").toString().isEmpty());
}

// A window may run a second statement while the rows of the first are still being read.
void TestSession::cursorSurvivesWrites()
{
    EngineFixture db;
    db.loadHospital();
    auto cursor = db.session().execute("SELECT HospNum FROM tbMaster ORDER BY HospNum");
    QVERIFY(cursor->next());
    QCOMPARE(QString::fromStdString(cursor->value(0).asText()), QStringLiteral("H001"));
    QCOMPARE(db.run("DELETE FROM tbMaster WHERE HospNum = 'H005'"), QStringLiteral("(1 rows)"));
    QCOMPARE(db.run("ALTER TABLE tbMaster ALTER COLUMN HouseStreet varchar(200)"), QStringLiteral("(-1 rows)"));
    QCOMPARE(db.run("ALTER TABLE tbMaster ALTER COLUMN Sex char(2)"), QStringLiteral("(-1 rows)"));
    QCOMPARE(db.run("DROP TABLE tbMaster"), QStringLiteral("(-1 rows)"));
    QStringList rest;
    while (cursor->next())
        rest << QString::fromStdString(cursor->value(0).asText());
    QCOMPARE(rest, (QStringList{"H002", "H003", "H004", "H005"}));
}

void TestSession::transactions_data()
{
    // Statements in order; the last column is what tbOutPatient holds afterwards (2 rows at the
    // start), read in the same session or, with `reopen`, after the session was closed.
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QStringList>("outcomes");
    QTest::addColumn<bool>("reopen");
    QTest::addColumn<QString>("rows");
    QTest::newRow("commit keeps")
        << QStringList{"BEGIN TRANSACTION", "DELETE FROM tbOutPatient", "COMMIT TRANSACTION"}
        << QStringList{"(-1 rows)", "(2 rows)", "(-1 rows)"} << true << "0";
    QTest::newRow("rollback undoes data and layout")
        << QStringList{"BEGIN TRAN", "DELETE FROM tbOutPatient", "DROP TABLE tbPatient",
                       "SELECT * INTO tbPatient FROM tbOutPatient WHERE 1=0", "ROLLBACK"}
        << QStringList{"(-1 rows)", "(2 rows)", "(-1 rows)", "(0 rows)", "(-1 rows)"} << false << "2";
    QTest::newRow("only the outermost commit ends it")
        << QStringList{"BEGIN TRAN", "BEGIN TRANSACTION", "DELETE FROM tbOutPatient", "COMMIT", "ROLLBACK WORK"}
        << QStringList{"(-1 rows)", "(-1 rows)", "(2 rows)", "(-1 rows)", "(-1 rows)"} << false << "2";
    QTest::newRow("a failed statement leaves the transaction open")
        << QStringList{"BEGIN TRAN", "DELETE FROM tbOutPatient", "DROP TABLE tbNothing", "COMMIT TRAN"}
        << QStringList{"(-1 rows)", "(2 rows)",
                       "Msg 3701: Cannot drop the table 'tbNothing', because it does not exist or you do not have permission.",
                       "(-1 rows)"}
        << true << "0";
    QTest::newRow("closing with one open rolls back")
        << QStringList{"BEGIN TRAN", "DELETE FROM tbOutPatient"} << QStringList{"(-1 rows)", "(2 rows)"} << true << "2";
    QTest::newRow("nothing to end")
        << QStringList{"COMMIT", "ROLLBACK TRANSACTION", "BEGIN TRAN", "ROLLBACK", "ROLLBACK"}
        << QStringList{"Msg 3902: The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.",
                       "Msg 3903: The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.",
                       "(-1 rows)", "(-1 rows)",
                       "Msg 3903: The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."}
        << false << "2";
    // learn.microsoft.com: SAVE TRANSACTION (Transact-SQL): a rollback to a savepoint keeps the
    // transaction and what came before the savepoint.
    QTest::newRow("savepoints")
        << QStringList{"BEGIN TRAN upgrade", "SAVE TRAN here", "DELETE FROM tbOutPatient", "ROLLBACK TRAN here",
                       "COMMIT TRAN upgrade", "SAVE TRAN later"}
        << QStringList{"(-1 rows)", "(-1 rows)", "(2 rows)", "(-1 rows)", "(-1 rows)",
                       "Msg 628: Cannot issue SAVE TRANSACTION when there is no active transaction."}
        << true << "2";
}

void TestSession::transactions()
{
    QFETCH(QStringList, statements);
    QFETCH(QStringList, outcomes);
    QFETCH(bool, reopen);
    QFETCH(QString, rows);
    EngineFixture db;
    db.loadHospital();
    QStringList got;
    for (const QString &sql : statements)
        got << db.run(sql);
    QCOMPARE(got, outcomes);
    if (reopen)
        db.reopen();
    QCOMPARE(db.run("SELECT count(*) FROM tbOutPatient"), rows);
    QCOMPARE(db.run("SELECT count(*) FROM tbPatient"), QStringLiteral("3"));
}

void TestSession::bulkInserter()
{
    EngineFixture db;
    db.script({"CREATE TABLE tbLog (ID int IDENTITY(5, 2) NOT NULL, Name varchar(5), At datetime, N smallint)"});
    using tsql::Value;
    {
        tsql::BulkInserter bulk(db.session(), "patient_data", "TBLOG", {"Name", "At", "N"});
        bulk.add({Value::text("a"), Value::dateTime({2026, 12, 5, 8, 30, 0, 0}), Value::integer(1)});
        bulk.add({Value::text("b"), Value::text("12/06/2026"), Value()});
        bulk.commit();
    }
    {
        tsql::BulkInserter bulk(db.session(), "Patient_Data", "tbLog", {"Name", "At", "N"});
        bulk.add({Value::text("c"), Value(), Value()});
        // Destroyed without commit: nothing of it stays.
    }
    {
        tsql::BulkInserter bulk(db.session(), "Patient_Data", "tbLog", {"Name", "At", "N"});
        try {
            bulk.add({Value::text("toolong"), Value(), Value()});
            QFAIL("a value too long went in");
        } catch (const tsql::Error &e) {
            QCOMPARE(e.number(), 2628);
        }
    }
    QCOMPARE(db.run("INSERT INTO tbLog (Name) VALUES ('d')"), QStringLiteral("(1 rows)"));
    QCOMPARE(db.run("SELECT ID, Name, At, N FROM tbLog ORDER BY ID"),
             QStringLiteral("5|a|2026-12-05 08:30:00.000|1\n7|b|2026-12-06 00:00:00.000|NULL\n9|d|NULL|NULL"));
}

void TestSession::killedDuringRebuild_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::newRow("at once") << 0;
    QTest::newRow("early") << 30;
    QTest::newRow("later") << 150;
    QTest::newRow("late") << 400;
}

// A process killed in the middle of a table rebuild leaves the table wholly before or wholly
// after the change, never between, and the database readable.
void TestSession::killedDuringRebuild()
{
    QFETCH(int, delayMs);
    constexpr int rows = 60000;
    EngineFixture db;
    db.script({"CREATE TABLE tbBig (HospNum varchar(10) NOT NULL, Education smallint NULL, Note varchar(40) NULL)",
               "CREATE INDEX ixBig ON tbBig (HospNum)"});
    {
        tsql::BulkInserter bulk(db.session(), "Patient_Data", "tbBig", {"HospNum", "Education", "Note"});
        for (int i = 0; i < rows; ++i)
            bulk.add({tsql::Value::text("H" + std::to_string(i)), tsql::Value::integer(i % 7),
                      tsql::Value::text("note number " + std::to_string(i))});
        bulk.commit();
    }
    const std::string folder = db.folder().toStdString();
    db.close();
    int ready[2];
    QVERIFY(pipe(ready) == 0);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        close(ready[0]);
        try {
            auto s = tsql::Session::open(folder, "Patient_Data");
            (void)!write(ready[1], "x", 1);
            s->execute("alter table patient_data.dbo.tbBig  alter column Education varchar(250) null ");
            s->execute("alter table patient_data.dbo.tbBig  alter column Note varchar(20) null ");
        } catch (...) {
        }
        _exit(0);
    }
    close(ready[1]);
    char c = 0;
    QCOMPARE(read(ready[0], &c, 1), ssize_t(1));
    close(ready[0]);
    QTest::qSleep(delayMs);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    db.reopen();
    const QString type = db.run("SELECT DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'tbBig' AND COLUMN_NAME = 'Education'");
    QVERIFY2(type == "smallint" || type == "varchar", qPrintable(type));
    QCOMPARE(db.run("SELECT count(*), count(Education), count(Note) FROM tbBig"), QStringLiteral("%1|%1|%1").arg(rows));
    QCOMPARE(db.run("SELECT count(*) FROM tbBig WHERE Education = 3"), QString::number(rows / 7));
    QCOMPARE(db.run("SELECT Note FROM tbBig WHERE HospNum = 'H59999'"), QStringLiteral("note number 59999"));
    QCOMPARE(db.run("CREATE INDEX ixBig ON tbBig (Note)").left(8), QStringLiteral("Msg 1913"));
    QCOMPARE(db.run("SELECT count(*) FROM INFORMATION_SCHEMA.TABLES"), QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
