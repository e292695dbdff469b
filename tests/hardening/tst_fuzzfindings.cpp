// Statements the fuzzer found that brought the engine down or past a sanitizer. Each runs in a
// child process, so a crash fails its row instead of the whole program.
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

void TestFuzzFindings::statementEndsNormally_data()
{
    QTest::addColumn<QByteArray>("statement");
    QTest::addColumn<bool>("mustFail");     // the statement must end with the engine's error

    // Each nesting level costs the parser several stack frames: deep enough text ran it out of stack.
    const int deep = 100000;
    QTest::newRow("nested parentheses")
        << QByteArray("SELECT ") + QByteArray(deep, '(') + "1" + QByteArray(deep, ')')
        << true;
    // A long chain of operators builds just as deep a tree, without nesting in the text.
    QByteArray chain = "SELECT 1";
    for (int i = 0; i < deep; ++i)
        chain += "+1";
    QTest::newRow("long operator chain") << chain << true;
    QByteArray subqueries = "1";
    for (int i = 0; i < 20000; ++i)
        subqueries = "(SELECT " + subqueries + ")";
    QTest::newRow("nested subqueries") << "SELECT " + subqueries << false;
    // A number far outside datetime's days was cast to a 64-bit integer: undefined behaviour,
    // and a date made up of whatever came out.
    QTest::newRow("huge number as a datetime")
        << QByteArray("INSERT INTO t VALUES (0.-' 9" + QByteArray(110, '4') + "')")
        << true;
    // A day count past 64 bits was clamped and then overflowed the day arithmetic.
    QTest::newRow("datetime plus a huge number")
        << QByteArray("SELECT CONVERT(varchar, CAST('2026-12-05' AS datetime)-05+6" + QByteArray(80, '5') + ")")
        << true;
    QTest::newRow("unclosed parentheses") << QByteArray("SELECT o(n(u(((va") + QByteArray(500, '(') << true;
}

void TestFuzzFindings::statementEndsNormally()
{
    QFETCH(QByteArray, statement);
    QFETCH(bool, mustFail);
    QTemporaryDir dir;
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        // The crash is the finding: no core file, no debugger from the test library's handler.
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        std::signal(SIGSEGV, SIG_DFL);
        std::signal(SIGBUS, SIG_DFL);
        std::signal(SIGABRT, SIG_DFL);
        try {
            auto session = tsql::Session::open(dir.path().toStdString(), "");
            session->createDatabase("Patient_Data");
            session->execute("USE Patient_Data");
            session->execute("CREATE TABLE t (d datetime NULL)");
            auto result = session->execute(std::string_view(statement.constData(), std::size_t(statement.size())));
            while (result->hasRows() && result->next()) {
            }
        } catch (const tsql::Error &) {
            _exit(0);
        }
        _exit(mustFail ? 3 : 0);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0,
             qPrintable(QStringLiteral("child ended with status %1").arg(status)));
}

QTEST_GUILESS_MAIN(TestFuzzFindings)
#include "tst_fuzzfindings.moc"
