// Batches as SQL Server runs them: parsed whole before anything runs, errors that end only their
// statement and errors that end the batch (and its transaction), XACT_ABORT, TRY/CATCH, @@ERROR,
// UPDATE and DELETE with a FROM clause, and IDENTITY values consumed when they are taken.

#include "EngineFixture.h"

#include <QRegularExpression>
#include <QTest>

class TestConformanceBatches : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_db.reset(); }

    void batches_data();
    void batches();
    void identity_data();
    void identity();

private:
    void addCases();
    // Runs the script's batches (split at lines that hold only GO) one after another: rows as
    // "a|b", "(N rows)" after a statement that counts, PRINT text, errors as "Msg N, Line L: text".
    QString runScript(const QString &script);
    std::unique_ptr<EngineFixture> m_db;
};

void TestConformanceBatches::init()
{
    m_db = std::make_unique<EngineFixture>();
    m_db->script({
        "CREATE TABLE t (id int PRIMARY KEY, c varchar(3) NOT NULL)",
        "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c')",
        "CREATE TABLE u (id int, v varchar(3))",
        "INSERT INTO u VALUES (2, 'x'), (3, 'y'), (9, 'z')",
    });
}

QString TestConformanceBatches::runScript(const QString &script)
{
    QStringList out;
    const QStringList batches = script.split(QRegularExpression("\\n[ \\t]*GO[ \\t]*(\\n|$)", QRegularExpression::CaseInsensitiveOption));
    for (const QString &text : batches) {
        auto run = m_db->session().run(text.toStdString());
        while (run->next()) {
            switch (run->item()) {
            case tsql::BatchRun::Item::Rows: {
                const QString rows = EngineFixture::render(run->rows());
                if (!rows.isEmpty())
                    out << rows;
                break;
            }
            case tsql::BatchRun::Item::Done:
                if (run->count() >= 0)
                    out << QStringLiteral("(%1 rows)").arg(run->count());
                break;
            case tsql::BatchRun::Item::Message: {
                const tsql::Message &m = run->message();
                out << (m.isError() ? QStringLiteral("Msg %1, Line %2: %3").arg(m.number).arg(m.line).arg(QString::fromStdString(m.text))
                                    : QString::fromStdString(m.text));
                break;
            }
            }
        }
    }
    return out.join('\n');
}

void TestConformanceBatches::addCases()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("expected");
}

void TestConformanceBatches::batches_data()
{
    addCases();
    // learn.microsoft.com: Batches of SQL Statements / Statements (Transact-SQL): a batch is
    // compiled whole; a syntax error anywhere means none of it runs, and the error names its line.
    QTest::newRow("syntax error at the end") << "PRINT 'a'\nSELECT 1\nSELECT * FROM t WHERE"
                                             << "Msg 156, Line 3: Incorrect syntax near the keyword 'WHERE'.";
    QTest::newRow("syntax error in the middle") << "INSERT INTO t VALUES (4, 'd')\nSELECT FROM t\nPRINT 'b'\nGO\nSELECT COUNT(*) FROM t"
                                                << "Msg 156, Line 2: Incorrect syntax near the keyword 'FROM'.\n3\n(1 rows)";
    QTest::newRow("unknown column stops the batch") << "PRINT 'a'\nSELECT nope FROM t"
                                                    << "Msg 207, Line 2: Invalid column name 'nope'.";
    QTest::newRow("grouping error stops the batch") << "PRINT 'a'\n\nSELECT id, COUNT(*) FROM t"
                                                    << "Msg 8118, Line 3: Column 't.id' is invalid in the select list because it is not "
                                                       "contained in an aggregate function and there is no GROUP BY clause.";
    // A table that does not exist yet is looked up when its statement runs.
    QTest::newRow("missing table found at run time") << "PRINT 'a'\nSELECT * FROM missing\nPRINT 'b'"
                                                     << "a\nMsg 208, Line 2: Invalid object name 'missing'.";
    QTest::newRow("table made earlier in the batch") << "CREATE TABLE n (k int)\nINSERT INTO n VALUES (5)\nSELECT k FROM n"
                                                     << "(1 rows)\n5\n(1 rows)";

    // Errors that end their statement only: the batch goes on (Database engine error severities;
    // the messages as SQL Server words them).
    QTest::newRow("duplicate key") << "INSERT INTO t VALUES (1, 'z')\nPRINT 'goes on'\nSELECT COUNT(*) FROM t"
                                   << "Msg 2627, Line 1: Violation of PRIMARY KEY constraint 'PK_t'. Cannot insert duplicate key in object "
                                      "'dbo.t'. The duplicate key value is (1).\ngoes on\n3\n(1 rows)";
    QTest::newRow("null into not null") << "INSERT INTO t VALUES (4, NULL)\nPRINT 'goes on'"
                                        << "Msg 515, Line 1: Cannot insert the value NULL into column 'c', table 'Patient_Data.dbo.t'; "
                                           "column does not allow nulls. INSERT fails.\ngoes on";
    QTest::newRow("text too long") << "INSERT INTO t VALUES (4, 'abcd')\nPRINT 'goes on'"
                                   << "Msg 2628, Line 1: String or binary data would be truncated in table 'Patient_Data.dbo.t', column 'c'. "
                                      "Truncated value: 'abc'.\ngoes on";
    QTest::newRow("update too long") << "UPDATE t SET c = c + 'xyz' WHERE id = 1\nSELECT c FROM t WHERE id = 1"
                                     << "Msg 2628, Line 1: String or binary data would be truncated in table 'Patient_Data.dbo.t', column 'c'. "
                                        "Truncated value: 'axy'.\na\n(1 rows)";
    QTest::newRow("divide by zero") << "SELECT 1 / 0\nPRINT 'goes on'" << "Msg 8134, Line 1: Divide by zero error encountered.\ngoes on";
    QTest::newRow("overflow") << "SELECT 2147483647 + 1\nPRINT 'goes on'"
                              << "Msg 8115, Line 1: Arithmetic overflow error converting expression to data type int.\ngoes on";
    QTest::newRow("failed statement undone alone")
        << "BEGIN TRANSACTION\nINSERT INTO t VALUES (4, 'd')\nINSERT INTO t VALUES (5, 'e'), (1, 'z')\nSELECT @@TRANCOUNT\n"
           "COMMIT\nSELECT COUNT(*) FROM t"
        << "(1 rows)\nMsg 2627, Line 3: Violation of PRIMARY KEY constraint 'PK_t'. Cannot insert duplicate key in object 'dbo.t'. "
           "The duplicate key value is (1).\n1\n(1 rows)\n4\n(1 rows)";
    QTest::newRow("divide by zero keeps the transaction")
        << "BEGIN TRAN\nINSERT INTO t VALUES (4, 'd')\nSELECT 1 / 0\nSELECT @@TRANCOUNT\nROLLBACK\nSELECT COUNT(*) FROM t"
        << "(1 rows)\nMsg 8134, Line 3: Divide by zero error encountered.\n1\n(1 rows)\n3\n(1 rows)";

    // Conversion errors end the batch and roll back its transaction.
    QTest::newRow("conversion ends the batch")
        << "PRINT 'a'\nSELECT CAST('x' AS int)\nPRINT 'not reached'\nGO\nPRINT 'next batch'"
        << "a\nMsg 245, Line 2: Conversion failed when converting the varchar value 'x' to data type int.\nnext batch";
    QTest::newRow("conversion rolls back")
        << "BEGIN TRANSACTION\nINSERT INTO t VALUES (4, 'd')\nSELECT id FROM t WHERE c = 1\nCOMMIT\nGO\n"
           "SELECT @@TRANCOUNT, COUNT(*) FROM t"
        << "(1 rows)\nMsg 245, Line 3: Conversion failed when converting the varchar value 'a' to data type int.\n0|3\n(1 rows)";
    QTest::newRow("date conversion ends the batch")
        << "SELECT CAST('2020-02-30' AS datetime)\nPRINT 'not reached'"
        << "Msg 242, Line 1: The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.";
    QTest::newRow("date text ends the batch")
        << "DECLARE @d datetime\nSET @d = 'someday'\nPRINT 'not reached'"
        << "Msg 241, Line 2: Conversion failed when converting date and/or time from character string.";
    QTest::newRow("numeric text ends the batch") << "SELECT CAST('1x' AS decimal(5,2))\nPRINT 'not reached'"
                                                 << "Msg 8114, Line 1: Error converting data type varchar to numeric.";

    // learn.microsoft.com: SET XACT_ABORT (Transact-SQL), the page's example.
    QTest::newRow("xact_abort page example")
        << "CREATE TABLE t1 (a INT NOT NULL PRIMARY KEY);\nCREATE TABLE t2 (a INT NOT NULL REFERENCES t1(a));\nGO\n"
           "SET NOCOUNT ON\nINSERT INTO t1 VALUES (1);\nINSERT INTO t1 VALUES (3);\nINSERT INTO t1 VALUES (4);\nINSERT INTO t1 VALUES (6);\nGO\n"
           "SET XACT_ABORT OFF;\nGO\nBEGIN TRANSACTION;\nINSERT INTO t2 VALUES (1);\nINSERT INTO t2 VALUES (2); -- Foreign key error.\n"
           "INSERT INTO t2 VALUES (3);\nCOMMIT TRANSACTION;\nGO\nSET XACT_ABORT ON;\nGO\nBEGIN TRANSACTION;\nINSERT INTO t2 VALUES (4);\n"
           "INSERT INTO t2 VALUES (5); -- Foreign key error.\nINSERT INTO t2 VALUES (6);\nCOMMIT TRANSACTION;\nGO\nSELECT * FROM t2;"
        << "Msg 547, Line 3\nMsg 547, Line 3\n1\n3";
    QTest::newRow("xact_abort ends the batch") << "SET XACT_ABORT ON\nSELECT 1 / 0\nPRINT 'not reached'\nGO\nSET XACT_ABORT OFF\nPRINT 'next'"
                                               << "Msg 8134, Line 2: Divide by zero error encountered.\nnext";
    QTest::newRow("xact_abort rolls back a duplicate")
        << "SET XACT_ABORT ON\nBEGIN TRAN\nINSERT INTO t VALUES (4, 'd')\nINSERT INTO t VALUES (1, 'z')\nCOMMIT\nGO\n"
           "SET XACT_ABORT OFF\nSELECT @@TRANCOUNT, COUNT(*) FROM t"
        << "(1 rows)\nMsg 2627, Line 4\n0|3\n(1 rows)";
    // learn.microsoft.com: SET XACT_ABORT: THROW honors it, RAISERROR does not.
    QTest::newRow("raiserror ignores xact_abort")
        << "SET XACT_ABORT ON\nBEGIN TRAN\nRAISERROR('custom %d', 16, 1, 5)\nSELECT @@TRANCOUNT\nROLLBACK\nSET XACT_ABORT OFF"
        << "Msg 50000, Line 3: custom 5\n1\n(1 rows)";
    QTest::newRow("throw ends the batch") << "BEGIN TRAN\nTHROW 50001, 'thrown', 1\nPRINT 'not reached'\nGO\nSELECT @@TRANCOUNT\nROLLBACK"
                                          << "Msg 50001, Line 2: thrown\n1\n(1 rows)";
    QTest::newRow("throw with xact_abort rolls back")
        << "SET XACT_ABORT ON\nBEGIN TRAN\nTHROW 50001, 'thrown', 1\nGO\nSELECT @@TRANCOUNT\nSET XACT_ABORT OFF"
        << "Msg 50001, Line 3: thrown\n0\n(1 rows)";

    // learn.microsoft.com: TRY...CATCH (Transact-SQL), ERROR_NUMBER and friends.
    QTest::newRow("catch divide by zero")
        << "BEGIN TRY\n  SELECT 1 / 0\nEND TRY\nBEGIN CATCH\n  SELECT ERROR_NUMBER(), ERROR_MESSAGE(), ERROR_LINE(), ERROR_SEVERITY()\n"
           "END CATCH\nPRINT 'after'"
        << "8134|Divide by zero error encountered.|2|16\n(1 rows)\nafter";
    QTest::newRow("catch a batch-ending error")
        << "BEGIN TRY\n  SELECT CAST('x' AS int)\n  PRINT 'not reached'\nEND TRY\nBEGIN CATCH\n  PRINT ERROR_NUMBER()\nEND CATCH\nPRINT 'after'"
        << "245\nafter";
    QTest::newRow("raiserror into catch")
        << "BEGIN TRY\n  RAISERROR('oops %s', 16, 2, 'here')\nEND TRY\nBEGIN CATCH\n  SELECT ERROR_NUMBER(), ERROR_MESSAGE(), ERROR_STATE()\nEND CATCH"
        << "50000|oops here|2\n(1 rows)";
    QTest::newRow("raiserror below 11 is a message") << "RAISERROR('note', 10, 1)\nPRINT 'after'" << "note\nafter";
    QTest::newRow("no error, no catch") << "BEGIN TRY\n  PRINT 'fine'\nEND TRY\nBEGIN CATCH\n  PRINT 'caught'\nEND CATCH" << "fine";

    // learn.microsoft.com: @@ERROR (Transact-SQL): it tells of the statement just before, and
    // every statement clears or sets it.
    QTest::newRow("error number after an error") << "SELECT 1 / 0\nSELECT @@ERROR"
                                                 << "Msg 8134, Line 1: Divide by zero error encountered.\n8134\n(1 rows)";
    QTest::newRow("error cleared by a good statement") << "SELECT 1 / 0\nPRINT 'x'\nSELECT @@ERROR"
                                                       << "Msg 8134, Line 1: Divide by zero error encountered.\nx\n0\n(1 rows)";
    QTest::newRow("error kept into the next batch") << "INSERT INTO t VALUES (1, 'z')\nGO\nSELECT @@ERROR"
                                                    << "Msg 2627, Line 1\n2627\n(1 rows)";
    QTest::newRow("error cleared after a catch") << "BEGIN TRY\n  SELECT 1 / 0\nEND TRY\nBEGIN CATCH\n  PRINT @@ERROR\nEND CATCH\n"
                                                    "PRINT 'after'\nGO\nSELECT @@ERROR"
                                                 << "8134\nafter\n0\n(1 rows)";
    QTest::newRow("if clears the error") << "SELECT 1 / 0\nIF @@ERROR <> 0 PRINT @@ERROR"
                                         << "Msg 8134, Line 1: Divide by zero error encountered.\n0";
    QTest::newRow("rowcount") << "UPDATE t SET c = 'z' WHERE id > 1\nSELECT @@ROWCOUNT" << "(2 rows)\n2\n(1 rows)";

    // UPDATE and DELETE with a FROM clause change only the rows that FROM produces
    // (learn.microsoft.com: UPDATE (Transact-SQL), DELETE (Transact-SQL)).
    QTest::newRow("update from the same table") << "update t set c='x' from t where id=1\nSELECT id, c FROM t"
                                                << "(1 rows)\n1|x\n2|b\n3|c\n(3 rows)";
    QTest::newRow("update from a join") << "UPDATE t SET c = u.v FROM t JOIN u ON t.id = u.id\nSELECT id, c FROM t"
                                        << "(2 rows)\n1|a\n2|x\n3|y\n(3 rows)";
    QTest::newRow("update an alias") << "UPDATE x SET c = 'q' FROM t AS x WHERE x.id = 3\nSELECT c FROM t WHERE id = 3" << "(1 rows)\nq\n(1 rows)";
    QTest::newRow("delete through a join") << "delete t from t join u on t.id = u.id\nSELECT id FROM t" << "(2 rows)\n1\n(1 rows)";
    QTest::newRow("delete from with where") << "DELETE FROM t FROM t JOIN u ON t.id = u.id WHERE u.v = 'y'\nSELECT id FROM t"
                                            << "(1 rows)\n1\n2\n(2 rows)";
    QTest::newRow("delete an alias") << "DELETE x FROM t AS x WHERE x.id < 3\nSELECT id FROM t" << "(2 rows)\n3\n(1 rows)";
}

void TestConformanceBatches::batches()
{
    QFETCH(QString, script);
    QFETCH(QString, expected);
    const QStringList want = expected.split('\n');
    QStringList got = runScript(script).split('\n');
    // An expected error line without its text asks only for the number and line.
    for (qsizetype k = 0; k < got.size() && k < want.size(); ++k)
        if (QRegularExpression("^Msg \\d+, Line \\d+$").match(want[k]).hasMatch() && got[k].startsWith(QLatin1String("Msg ")))
            got[k] = got[k].section(QLatin1Char(':'), 0, 0);
    QCOMPARE(got.join('\n'), expected);
}

void TestConformanceBatches::identity_data()
{
    addCases();
    // learn.microsoft.com: CREATE TABLE (Transact-SQL) IDENTITY (Property): values are not
    // reused; an insert that fails or is rolled back leaves a gap.
    const QString create = "CREATE TABLE idt (id int IDENTITY(1,1) PRIMARY KEY, v varchar(5) NOT NULL)\nGO\n";
    QTest::newRow("rolled back insert leaves a gap")
        << create + "INSERT INTO idt (v) VALUES ('a')\nBEGIN TRAN\nINSERT INTO idt (v) VALUES ('b')\nROLLBACK\n"
                    "INSERT INTO idt (v) VALUES ('c')\nSELECT id, v FROM idt"
        << "(1 rows)\n(1 rows)\n(1 rows)\n1|a\n3|c\n(2 rows)";
    QTest::newRow("truncated text consumes a value")
        << create + "INSERT INTO idt (v) VALUES ('a')\nINSERT INTO idt (v) VALUES ('toolong')\nINSERT INTO idt (v) VALUES ('d')\n"
                    "SELECT id, v FROM idt"
        << "(1 rows)\nMsg 2628, Line 2\n(1 rows)\n1|a\n3|d\n(2 rows)";
    QTest::newRow("null consumes a value")
        << create + "INSERT INTO idt (v) VALUES (NULL)\nINSERT INTO idt (v) VALUES ('e')\nSELECT id FROM idt"
        << "Msg 515, Line 1\n(1 rows)\n2\n(1 rows)";
    QTest::newRow("rolled back batch leaves a gap")
        << create + "BEGIN TRAN\nINSERT INTO idt (v) VALUES ('a'), ('b')\nSELECT CAST('x' AS int)\nGO\n"
                    "INSERT INTO idt (v) VALUES ('c')\nSELECT id, v FROM idt"
        << "(2 rows)\nMsg 245, Line 3\n(1 rows)\n3|c\n(1 rows)";
    QTest::newRow("seed and increment")
        << "CREATE TABLE s (id int IDENTITY(100, 10), v int)\nGO\nINSERT INTO s (v) VALUES (1), (2), (3)\nSELECT id FROM s ORDER BY id"
        << "(3 rows)\n100\n110\n120\n(3 rows)";
    QTest::newRow("scope_identity and @@identity")
        << create + "INSERT INTO idt (v) VALUES ('a'), ('b')\nSELECT SCOPE_IDENTITY(), @@IDENTITY, IDENT_CURRENT('idt')"
        << "(2 rows)\n2|2|2\n(1 rows)";
    QTest::newRow("explicit value refused")
        << create + "INSERT INTO idt (id, v) VALUES (7, 'a')"
        << "Msg 544, Line 1: Cannot insert explicit value for identity column in table 'idt' when IDENTITY_INSERT is set to OFF.";
    QTest::newRow("identity_insert moves the next value")
        << create + "SET IDENTITY_INSERT idt ON\nINSERT INTO idt (id, v) VALUES (7, 'a')\nSET IDENTITY_INSERT idt OFF\n"
                    "INSERT INTO idt (v) VALUES ('b')\nSELECT id FROM idt"
        << "(1 rows)\n(1 rows)\n7\n8\n(2 rows)";
    QTest::newRow("delete keeps counting")
        << create + "INSERT INTO idt (v) VALUES ('a'), ('b')\nDELETE FROM idt\nINSERT INTO idt (v) VALUES ('c')\nSELECT id FROM idt"
        << "(2 rows)\n(2 rows)\n(1 rows)\n3\n(1 rows)";
    QTest::newRow("truncate starts again")
        << create + "INSERT INTO idt (v) VALUES ('a'), ('b')\nTRUNCATE TABLE idt\nINSERT INTO idt (v) VALUES ('c')\nSELECT id FROM idt"
        << "(2 rows)\n(1 rows)\n1\n(1 rows)";
    QTest::newRow("update of identity refused")
        << create + "INSERT INTO idt (v) VALUES ('a')\nGO\nUPDATE idt SET id = 5"
        << "(1 rows)\nMsg 8102, Line 1: Cannot update identity column 'id'.";
}

void TestConformanceBatches::identity()
{
    batches();
}

QTEST_GUILESS_MAIN(TestConformanceBatches)
#include "tst_conformance_batches.moc"
