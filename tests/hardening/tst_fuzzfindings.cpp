// Statements that once brought the engine down, hung it or ran it out of memory: found by the
// fuzzer or by hand. Each runs in a child process, so a crash or a hang fails its row instead of
// the whole program; the child reports how the statement ended.
#include "tsql/Session.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

class TestFuzzFindings : public QObject {
    Q_OBJECT
private slots:
    void statementEndsNormally_data();
    void statementEndsNormally();
};

namespace {

// How a statement ended: "rows" or "Msg N".
constexpr int AnyError = -1;

QByteArray repeated(const QByteArray &piece, int times)
{
    QByteArray out;
    out.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

} // namespace

void TestFuzzFindings::statementEndsNormally_data()
{
    QTest::addColumn<QByteArray>("statement");
    QTest::addColumn<int>("error"); // 0: ends with its rows; AnyError: any of the engine's errors
    QTest::addColumn<int>("milliseconds"); // the statement's time limit, 0 for none

    // Each nesting level costs the parser several stack frames: deep enough text ran it out of stack.
    const int deep = 100000;
    QTest::newRow("nested parentheses")
        << QByteArray("SELECT ") + QByteArray(deep, '(') + "1" + QByteArray(deep, ')') << AnyError << 0;
    // A long chain of operators builds just as deep a tree, without nesting in the text.
    QTest::newRow("long operator chain") << "SELECT 1" + repeated("+1", deep) << AnyError << 0;
    QByteArray subqueries = "1";
    for (int i = 0; i < 20000; ++i)
        subqueries = "(SELECT " + subqueries + ")";
    // learn.microsoft.com, MSSQLSERVER_191: "Some part of your SQL statement is nested too deeply."
    QTest::newRow("nested subqueries") << "SELECT " + subqueries << 191 << 0;
    // A number far outside datetime's days was cast to a 64-bit integer: undefined behaviour,
    // and a date made up of whatever came out.
    QTest::newRow("huge number as a datetime")
        << QByteArray("INSERT INTO t VALUES (0.-' 9" + QByteArray(110, '4') + "')") << AnyError << 0;
    // A day count past 64 bits was clamped and then overflowed the day arithmetic.
    QTest::newRow("datetime plus a huge number")
        << QByteArray("SELECT CONVERT(varchar, CAST('2026-12-05' AS datetime)-05+6" + QByteArray(80, '5') + ")")
        << AnyError << 0;
    QTest::newRow("unclosed parentheses") << QByteArray("SELECT o(n(u(((va") + QByteArray(500, '(') << AnyError << 0;

    // learn.microsoft.com, MSSQLSERVER_8115: the one quotient and remainder of bigint and int
    // that does not fit (a hardware trap in C).
    QTest::newRow("bigint min / -1") << QByteArray("SELECT CAST(-9223372036854775808 AS bigint) / -1") << 8115 << 0;
    QTest::newRow("bigint min % -1") << QByteArray("SELECT CAST(-9223372036854775808 AS bigint) % -1") << 8115 << 0;
    QTest::newRow("int min / -1") << QByteArray("SELECT CAST(-2147483648 AS int) / -1") << 8115 << 0;
    QTest::newRow("smallint min / -1") << QByteArray("SELECT CAST(-32768 AS smallint) / CAST(-1 AS smallint)") << 8115 << 0;
    // A text never checked became a date-time with month 40, and formatting it read past the
    // month names. CASE makes the text a datetime (precedence): 242, out of range.
    QTest::newRow("month 40 through CASE")
        << QByteArray("SELECT CONVERT(varchar(60), CASE WHEN 1=0 THEN getdate() ELSE '2020-40-01 00:00:00.000' END)")
        << 242 << 0;
    QTest::newRow("month 40 through COALESCE")
        << QByteArray("SELECT CONVERT(varchar(60), COALESCE(NULL, getdate(), '2020-40-01'), 109)") << 0 << 0;
    QTest::newRow("month 40 through UNION")
        << QByteArray("SELECT CONVERT(varchar(60), d, 113) FROM (SELECT getdate() AS d UNION ALL SELECT '2020-40-01') x")
        << 242 << 0;
    QTest::newRow("day 0 through ISNULL")
        << QByteArray("SELECT DATENAME(month, ISNULL(CAST(NULL AS datetime), '2020-01-00'))") << 242 << 0;
    // The recursive LIKE matcher ran 100,000 characters deep and out of stack.
    const QByteArray longText = "replace(replicate(cast('a' as varchar(max)), 100000), 'a', '%a')";
    QTest::newRow("100,000-character LIKE")
        << "SELECT CASE WHEN " + longText + " LIKE " + longText + " THEN 1 ELSE 0 END" << 0 << 0;
    // Exponential backtracking: 60 characters took over a minute.
    QTest::newRow("LIKE with many %")
        << QByteArray("SELECT CASE WHEN replicate('a', 60) LIKE '%a%a%a%a%a%a%a%a%b' THEN 1 ELSE 0 END") << 0 << 0;
    QTest::newRow("LIKE with many % and _")
        << QByteArray("SELECT CASE WHEN replicate(cast('ab' as varchar(max)), 5000) LIKE '%_a%_b%_a%_b%_a%_b%_c' "
                      "THEN 1 ELSE 0 END") << 0 << 0;
    // A value the engine would need gigabytes for is refused before it is built (the engine's
    // bound, with SQL Server's words for growing a large value past its maximum).
    QTest::newRow("a billion characters")
        << QByteArray("SELECT LEN(REPLICATE(CAST('abcdefghij' AS varchar(max)), 100000000))") << 7119 << 0;
    QTest::newRow("doubling by concatenation")
        << QByteArray("SELECT LEN(" + repeated("REPLICATE(", 3) + "CAST('x' AS varchar(max)), 10000), 10000), 10000))")
        << 7119 << 0;
    // Exclusive or was written with both operands twice, so each ^ in a chain doubled the SQL.
    QTest::newRow("chain of exclusive ors") << "SELECT 1" + repeated("^1", 200) << 191 << 0;
    // A simple CASE repeats its operand in every WHEN: nested, the SQL grew by a factor at each
    // level (learn.microsoft.com, MSSQLSERVER_8632: an expression services limit).
    QByteArray cases = "1";
    for (int i = 0; i < 40; ++i)
        cases = "CASE " + cases + " WHEN 1 THEN 1 WHEN 2 THEN 2 END";
    QTest::newRow("nested simple CASE") << "SELECT " + cases << 8632 << 0;
    // A 140 MB pattern compiled to 16 bytes a character before the value was looked at. It needs
    // more characters than the value has, so it cannot match, whatever it holds.
    QTest::newRow("140 MB LIKE pattern")
        << QByteArray("SELECT CASE WHEN 'short value' LIKE REPLICATE(CAST('%ab' AS varchar(max)), 50000000) THEN 1 ELSE 0 END")
        << 0 << 0;
    // A 55 MB text read as a date was cut into a piece for every character (24 bytes each).
    QTest::newRow("55 MB text as a datetime")
        << QByteArray("SELECT CAST(REPLICATE(CAST('-0.005' AS varchar(max)), 9000000) AS datetime)") << 241 << 0;
    // SQLite copies a scalar subquery's result at each level: three levels over a 224 MB text
    // held 2.4 GB. SQLite's heap has a ceiling; past it the statement fails, the program goes on.
    QTest::newRow("224 MB text through nested subqueries")
        << QByteArray("SELECT (SELECT TOP 1 SQRT((SELECT TOP 1 (SELECT TOP 1 REPLICATE(CAST(REPLICATE(CAST('1900-01-01' "
                      "AS varchar(max)), 8448) AS varchar(max)), 2653) FROM (VALUES (1), (2)) a (n) WHERE 0 IN (0, 0)) "
                      "FROM (VALUES (1), (2)) b (n))) FROM (VALUES (1), (2)) c (n))")
        << 701 << 0;
    // One call matching two 20-million-character texts takes hours; SQLite's progress handler
    // never runs inside it, so the call itself must notice the statement's time is up.
    QTest::newRow("time limit inside one LIKE")
        << QByteArray("SELECT CASE WHEN REPLICATE(CAST('a' AS varchar(max)), 20000000) "
                      "LIKE REPLICATE(CAST('%a' AS varchar(max)), 10000000) + 'b' THEN 1 ELSE 0 END")
        << 3617 << 500;
}

void TestFuzzFindings::statementEndsNormally()
{
    QFETCH(QByteArray, statement);
    QFETCH(int, error);
    QFETCH(int, milliseconds);
    QTemporaryDir dir;
    int pipeFds[2];
    QVERIFY(pipe(pipeFds) == 0);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        close(pipeFds[0]);
        // The crash is the finding: no core file, no debugger from the test library's handler. A
        // statement that still runs after a minute is a hang; 2 GB of memory is a runaway.
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
#ifndef __SANITIZE_ADDRESS__
        const rlimit memory{rlim_t{2} << 30, rlim_t{2} << 30};
        setrlimit(RLIMIT_AS, &memory);
#else
        // AddressSanitizer maps terabytes of shadow memory up front, so no address-space bound;
        // and its stack frames are several times larger, so the stack a release build's
        // nesting bound is measured against is given in proportion.
        const rlimit stack{rlim_t{64} << 20, rlim_t{64} << 20};
        setrlimit(RLIMIT_STACK, &stack);
#endif
        std::signal(SIGSEGV, SIG_DFL);
        std::signal(SIGBUS, SIG_DFL);
        std::signal(SIGABRT, SIG_DFL);
        alarm(60);
        std::string outcome = "rows";
        try {
            auto session = tsql::Session::open(dir.path().toStdString(), "");
            session->createDatabase("Patient_Data");
            session->execute("USE Patient_Data");
            session->execute("CREATE TABLE t (d datetime NULL)");
            session->setTimeout(milliseconds);
            auto result = session->execute(std::string_view(statement.constData(), std::size_t(statement.size())));
            while (result->hasRows() && result->next()) {
            }
        } catch (const tsql::Error &e) {
            outcome = "Msg " + std::to_string(e.number());
        }
        if (write(pipeFds[1], outcome.data(), outcome.size()) < 0)
            _exit(2);
        _exit(0);
    }
    close(pipeFds[1]);
    QByteArray outcome;
    char buffer[64];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        outcome.append(buffer, n);
    close(pipeFds[0]);
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0,
             qPrintable(QStringLiteral("child ended with status %1 (signal %2)").arg(status).arg(WIFSIGNALED(status) ? WTERMSIG(status) : 0)));
    if (error == AnyError)
        QVERIFY2(outcome.startsWith("Msg "), outcome.constData());
    else
        QCOMPARE(outcome, error == 0 ? QByteArray("rows") : "Msg " + QByteArray::number(error));
}

QTEST_GUILESS_MAIN(TestFuzzFindings)
#include "tst_fuzzfindings.moc"
