// Files that hold patients' records or the statements that name them are their user's alone,
// whatever umask the user runs with: a shared workstation's other accounts cannot read them.
#include "demo/DemoDatabase.h"
#include "tsql/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

int modeOf(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

} // namespace

class TestFileModes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_umask = ::umask(022); }
    void cleanupTestCase() { ::umask(m_umask); }

    void modes_data();
    void modes();

private:
    mode_t m_umask = 022;
};

void TestFileModes::modes_data()
{
    QTest::addColumn<QString>("made");
    QTest::newRow("a database the engine creates, with its log") << "database";
    QTest::newRow("the statement trace") << "trace";
    QTest::newRow("the demo database's folder") << "demo";
}

void TestFileModes::modes()
{
    QFETCH(QString, made);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QMap<QString, int> expected;
    std::unique_ptr<tsql::Session> session; // open until the modes are read: its log files with it
    if (made == QLatin1String("demo")) {
        const QString folder = dir.filePath(QStringLiteral("site/demo"));
        demo::create(folder, demo::Options{20, 1});
        expected[folder] = 0700;
        for (const QString &file : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            expected[QDir(folder).filePath(file)] = 0600;
        QVERIFY(expected.contains(QDir(folder).filePath(QStringLiteral("Patient_Data.sqlite"))));
    } else {
        const QString trace = dir.filePath(QStringLiteral("trace.log"));
        if (made == QLatin1String("trace"))
            qputenv("TALVOR_SQL_TRACE", QFile::encodeName(trace));
        session = tsql::Session::open(QFile::encodeName(dir.path()).toStdString(), std::string());
        qunsetenv("TALVOR_SQL_TRACE");
        session->createDatabase("Records");
        session->execute("CREATE TABLE Records.dbo.t (name varchar(20))");
        session->execute("INSERT INTO Records.dbo.t VALUES ('DELA CRUZ')");
        if (made == QLatin1String("trace")) {
            expected[trace] = 0600;
        } else {
            for (const QString &file : QDir(dir.path()).entryList({QStringLiteral("Records.sqlite*")}, QDir::Files))
                expected[dir.filePath(file)] = 0600;
            QVERIFY(expected.contains(dir.filePath(QStringLiteral("Records.sqlite-wal"))));
        }
    }
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(modeOf(it.key()) == it.value(),
                 qPrintable(QStringLiteral("%1: %2").arg(it.key()).arg(modeOf(it.key()), 0, 8)));
}

QTEST_GUILESS_MAIN(TestFileModes)
#include "tst_filemodes.moc"
