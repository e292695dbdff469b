// What the disk can do to the databases under a running engine: files damaged, cut short or
// taken away, a folder that is not one, a writer killed half way. The engine must answer each
// with its own error, keep serving what is still there, and leave nothing half written.
#include "Integrity.h"
#include "tsql/Session.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs one statement; "" when it succeeds, otherwise what the caller would be shown.
QString attempt(tsql::Session &session, const char *sql)
{
    try {
        auto r = session.execute(sql);
        while (r->hasRows() && r->next()) {
        }
        return {};
    } catch (const tsql::Error &e) {
        return QString::fromStdString(e.what());
    }
}

qint64 count(tsql::Session &session, const char *sql)
{
    auto r = session.execute(sql);
    return r->next() ? r->value(0).asInteger() : -1;
}

std::unique_ptr<tsql::Session> makeSite(const QString &folder)
{
    auto s = tsql::Session::open(folder.toStdString(), "");
    s->createDatabase("Patient_Data");
    s->createDatabase("Build_File");
    s->execute("USE Patient_Data");
    s->execute("CREATE TABLE tbMaster (HospNum varchar(10) NOT NULL PRIMARY KEY, LastName varchar(50) NULL)");
    s->execute("INSERT INTO tbMaster VALUES ('H0001', 'DELA CRUZ'), ('H0002', 'GARCIA')");
    s->execute("CREATE TABLE Build_File.dbo.tbcoOccupation (OccupationID int NOT NULL, Occupation varchar(50) NULL)");
    s->execute("INSERT INTO Build_File.dbo.tbcoOccupation VALUES (1, 'Clerk')");
    return s;
}

// Runs `body` as a user who may not write where the test made its files: this user, or "nobody"
// in a child process when the test runs as root (root writes through any permission). Returns
// the lines `body` returned.
QStringList asUnprivileged(const std::function<QStringList()> &body)
{
    if (geteuid() != 0)
        return body();
    int out[2];
    if (pipe(out) != 0)
        return {QStringLiteral("pipe failed")};
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(out[0]);
        QByteArray text;
        if (setgid(65534) != 0 || setuid(65534) != 0)
            text = "cannot become nobody";
        else
            text = body().join(QLatin1Char('\n')).toUtf8();
        const char *p = text.constData();
        for (qsizetype left = text.size(); left > 0;) {
            const ssize_t n = ::write(out[1], p, static_cast<size_t>(left));
            if (n <= 0)
                break;
            p += n;
            left -= n;
        }
        _exit(0);
    }
    ::close(out[1]);
    QByteArray text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return QString::fromUtf8(text).split(QLatin1Char('\n'));
}

} // namespace

class TestStorageFaults : public QObject {
    Q_OBJECT
private slots:
    void damagedFileAtOpen_data();
    void damagedFileAtOpen();
    void fileDamagedWhileOpen_data();
    void fileDamagedWhileOpen();
    void folderIsAFile();
    void readOnly_data();
    void readOnly();
    void strayFileIsSkipped_data();
    void strayFileIsSkipped();
    void readOnlyFolderFollowsAWriter();
    void killedWriterLeavesAWholeDatabase();
};

void TestStorageFaults::damagedFileAtOpen_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("not a database\r\n");
    QTest::newRow("header only") << QByteArray("SQLite format 3\0", 16) + QByteArray(84, '\xff');
    QTest::newRow("zeros") << QByteArray(8192, '\0');
    QTest::newRow("random page") << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\x5a');
}

// A damaged database file fails its statements with the engine's error; the other database of
// the folder goes on working.
void TestStorageFaults::damagedFileAtOpen()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    makeSite(dir.path()).reset();
    QFile file(dir.filePath(QStringLiteral("Patient_Data.sqlite")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();

    std::unique_ptr<tsql::Session> s;
    try {
        s = tsql::Session::open(dir.path().toStdString(), "Build_File");
    } catch (const tsql::Error &) {
        return; // refusing the whole folder is an answer too, as long as it is the engine's
    }
    attempt(*s, "SELECT * FROM Patient_Data.dbo.tbMaster");
    attempt(*s, "INSERT INTO Patient_Data.dbo.tbMaster VALUES ('H0003', 'X')");
    QCOMPARE(attempt(*s, "SELECT * FROM Build_File.dbo.tbcoOccupation"), QString());
}

void TestStorageFaults::fileDamagedWhileOpen_data()
{
    QTest::addColumn<int>("keep"); // bytes left; -1 removes the file
    QTest::newRow("removed") << -1;
    QTest::newRow("emptied") << 0;
    QTest::newRow("cut inside the header") << 50;
    QTest::newRow("cut to one page") << 4096;
}

void TestStorageFaults::fileDamagedWhileOpen()
{
    QFETCH(int, keep);
    QTemporaryDir dir;
    auto s = makeSite(dir.path());
    const QString path = dir.filePath(QStringLiteral("Patient_Data.sqlite"));
    if (keep < 0)
        QVERIFY(QFile::remove(path));
    else
        QVERIFY(::truncate(QFile::encodeName(path).constData(), keep) == 0);

    for (const char *sql : {"SELECT * FROM tbMaster", "INSERT INTO tbMaster VALUES ('H0003', 'X')",
                            "UPDATE tbMaster SET LastName = 'Y'", "SELECT COUNT(*) FROM tbMaster"})
        attempt(*s, sql);
    QCOMPARE(attempt(*s, "SELECT * FROM Build_File.dbo.tbcoOccupation"), QString());
    QCOMPARE(attempt(*s, "INSERT INTO Build_File.dbo.tbcoOccupation VALUES (2, 'Nurse')"), QString());
    QCOMPARE(count(*s, "SELECT COUNT(*) FROM Build_File.dbo.tbcoOccupation"), 2);
}

void TestStorageFaults::folderIsAFile()
{
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath(QStringLiteral("Data"));
    QFile file(notAFolder);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    try {
        auto s = tsql::Session::open(notAFolder.toStdString(), "");
        QVERIFY(!attempt(*s, "CREATE DATABASE Patient_Data").isEmpty());
    } catch (const tsql::Error &) {
    }
}

void TestStorageFaults::readOnly_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<QStringList>("outcomes");
    const QString refused = QStringLiteral("Failed to update database \"Patient_Data\" because the database is read-only.");
    // A read-only database is still searched; its changes are refused, each with one message.
    const QStringList readable = {QStringLiteral("opened"), QStringLiteral("2"), refused, refused, refused,
                                  QStringLiteral("Failed to update database \"Build_File\" because the database is read-only."),
                                  QStringLiteral("1")};
    QTest::newRow("read-only folder") << 0555 << 0644 << readable;
    QTest::newRow("read-only files") << 0777 << 0444 << readable;
    QTest::newRow("unreadable file") << 0755 << 0 << QStringList{QStringLiteral("Unable to open the physical file")};
}

void TestStorageFaults::readOnly()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(QStringList, outcomes);
    QTemporaryDir dir;
    makeSite(dir.path()).reset();
    const QString file = dir.filePath(QStringLiteral("Patient_Data.sqlite"));
    for (const QString &name : {file, dir.filePath(QStringLiteral("Build_File.sqlite"))})
        QVERIFY(::chmod(QFile::encodeName(name).constData(), static_cast<mode_t>(fileMode)) == 0);
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), static_cast<mode_t>(folderMode)) == 0);

    const QStringList got = asUnprivileged([&dir] {
        QStringList lines;
        std::unique_ptr<tsql::Session> s;
        try {
            s = tsql::Session::open(dir.path().toStdString(), "Patient_Data");
        } catch (const tsql::Error &e) {
            return QStringList{QString::fromStdString(e.what()).section(QLatin1Char('"'), 0, 0).trimmed()};
        }
        lines << QStringLiteral("opened") << QString::number(count(*s, "SELECT COUNT(*) FROM tbMaster"));
        for (const char *sql : {"DELETE FROM tbMaster", "UPDATE tbMaster SET LastName = 'X'",
                                "CREATE INDEX ixName ON tbMaster (LastName)", "DROP TABLE Build_File.dbo.tbcoOccupation"})
            lines << attempt(*s, sql);
        lines << QString::number(count(*s, "SELECT COUNT(*) FROM Build_File.dbo.tbcoOccupation"));
        return lines;
    });
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0700) == 0);
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0600) == 0);
    QCOMPARE(got, outcomes);
    // Nothing was written beside the files, and they are whole.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("Build_File.sqlite"), QStringLiteral("Patient_Data.sqlite")}));
    QCOMPARE(integrity(file), QStringLiteral("ok"));
    auto s = tsql::Session::open(dir.path().toStdString(), "Patient_Data");
    QCOMPARE(count(*s, "SELECT COUNT(*) FROM tbMaster"), 2);
}

void TestStorageFaults::strayFileIsSkipped_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("link"); // the file is a link to a file elsewhere holding the bytes
    QTest::newRow("a note") << "Zzz" << QByteArray("not a database\r\n") << false;
    QTest::newRow("a picture") << "Scan" << QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(500, '\x01') << false;
    QTest::newRow("one byte") << "A" << QByteArray("x") << false;
    QTest::newRow("a database's own name") << "Build_File" << QByteArray(4096, '\0') << false;
    QTest::newRow("a link to an empty file") << "Other" << QByteArray() << true;
}

// A file in the folder that is not a database is left out with one warning naming it; only
// statements that name it fail, as for a database that is not there.
void TestStorageFaults::strayFileIsSkipped()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, link);
    QTemporaryDir dir, elsewhere;
    makeSite(dir.path()).reset();
    const QString inFolder = dir.filePath(name + QStringLiteral(".sqlite"));
    QFile stray(link ? elsewhere.filePath(QStringLiteral("target")) : inFolder);
    QVERIFY(stray.open(QIODevice::WriteOnly | QIODevice::Truncate) && stray.write(bytes) == bytes.size());
    stray.close();
    if (link)
        QVERIFY(QFile::link(stray.fileName(), inFolder));

    auto s = tsql::Session::open(dir.path().toStdString(), "Patient_Data");
    const std::vector<std::string> warnings = s->openWarnings();
    QCOMPARE(warnings.size(), std::size_t(1));
    QVERIFY2(QString::fromStdString(warnings.front()).contains(name + QStringLiteral(".sqlite")),
             warnings.front().c_str());
    QCOMPARE(count(*s, "SELECT COUNT(*) FROM tbMaster"), 2);
    // learn.microsoft.com: Database engine events and errors, 911 and 208: USE names the missing
    // database, a three-part name is an object that cannot be found.
    QCOMPARE(attempt(*s, qPrintable(QStringLiteral("USE %1").arg(name))),
             QStringLiteral("Database '%1' does not exist. Make sure that the name is entered correctly.").arg(name));
    QCOMPARE(attempt(*s, qPrintable(QStringLiteral("SELECT * FROM %1.dbo.tbcoOccupation").arg(name))),
             QStringLiteral("Invalid object name '%1.dbo.tbcoOccupation'.").arg(name));
    QCOMPARE(stray.size(), bytes.size());
}

// A reader without write access to the folder, and a writer who changes the database while the
// reader has it open: the reader's next statement sees the change whole, never the old rows.
void TestStorageFaults::readOnlyFolderFollowsAWriter()
{
    if (geteuid() != 0)
        QSKIP("needs root to read as another user");
    QTemporaryDir dir;
    makeSite(dir.path()).reset();
    for (const char *file : {"Patient_Data.sqlite", "Build_File.sqlite"})
        QVERIFY(::chmod(QFile::encodeName(dir.filePath(QLatin1String(file))).constData(), 0644) == 0);
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);

    int toChild[2], toParent[2];
    QVERIFY(pipe(toChild) == 0 && pipe(toParent) == 0);
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(toChild[1]);
        ::close(toParent[0]);
        const auto say = [&](const std::string &line) {
            const std::string text = line + "\n";
            (void)!::write(toParent[1], text.data(), text.size());
        };
        try {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                throw std::runtime_error("cannot become nobody");
            auto s = tsql::Session::open(dir.path().toStdString(), "Patient_Data");
            say(std::to_string(count(*s, "SELECT COUNT(*) FROM tbMaster")));
            char go = 0;
            (void)!::read(toChild[0], &go, 1);
            say(std::to_string(count(*s, "SELECT COUNT(*) FROM tbMaster")));
        } catch (const std::exception &e) {
            say(e.what());
        }
        _exit(0);
    }
    ::close(toChild[0]);
    ::close(toParent[1]);
    const auto hear = [&] {
        QByteArray line;
        char c = 0;
        while (::read(toParent[0], &c, 1) == 1 && c != '\n')
            line.append(c);
        return QString::fromUtf8(line);
    };
    const QString before = hear();
    {
        auto writer = tsql::Session::open(dir.path().toStdString(), "Patient_Data");
        writer->execute("INSERT INTO tbMaster VALUES ('H0003', 'SANTOS')");
        QVERIFY(::write(toChild[1], "g", 1) == 1);
        const QString after = hear();
        QCOMPARE(before, QStringLiteral("2"));
        QCOMPARE(after, QStringLiteral("3"));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ::close(toChild[1]);
    ::close(toParent[0]);
}

// A writer killed in the middle of a long run of changes: the database opens again whole, with
// each statement either in or out, and takes new work.
void TestStorageFaults::killedWriterLeavesAWholeDatabase()
{
    QTemporaryDir dir;
    makeSite(dir.path()).reset();
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        auto s = tsql::Session::open(dir.path().toStdString(), "Patient_Data");
        s->execute("CREATE TABLE tbWork (n int NOT NULL, Filler varchar(200) NULL)");
        for (int i = 0;; ++i) {
            s->execute("INSERT INTO tbWork (n, Filler) SELECT " + std::to_string(i) + ", '" + std::string(200, 'x')
                       + "' FROM tbMaster");
            s->execute("UPDATE tbMaster SET LastName = LastName");
        }
    }
    QTest::qWait(700);
    ::kill(child, SIGKILL);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));

    auto s = tsql::Session::open(dir.path().toStdString(), "Patient_Data");
    QCOMPARE(attempt(*s, "INSERT INTO tbMaster VALUES ('H0003', 'REYES')"), QString());
    QCOMPARE(count(*s, "SELECT COUNT(*) FROM tbMaster"), 3);
    const QString work = attempt(*s, "SELECT COUNT(*) FROM tbWork");
    if (work.isEmpty()) // every insert adds both patients at once, or none
        QCOMPARE(count(*s, "SELECT COUNT(*) FROM tbWork") % 2, 0);
    s.reset();
    QCOMPARE(integrity(dir.filePath(QStringLiteral("Patient_Data.sqlite"))), QStringLiteral("ok"));
}

QTEST_GUILESS_MAIN(TestStorageFaults)
#include "tst_storagefaults.moc"
