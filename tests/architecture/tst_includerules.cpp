// The include arrows of the README's map, checked by reading the sources: an include that points
// the wrong way still compiles, so nothing else would notice it.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The C++ standard library, with the C headers it carries.
const QSet<QString> standardHeaders = {
    "algorithm", "any", "array", "atomic", "barrier", "bit", "bitset", "cassert", "cctype", "cerrno",
    "cfenv", "cfloat", "charconv", "chrono", "cinttypes", "climits", "clocale", "cmath", "codecvt",
    "compare", "complex", "concepts", "condition_variable", "coroutine", "csetjmp", "csignal",
    "cstdarg", "cstddef", "cstdint", "cstdio", "cstdlib", "cstring", "ctime", "cuchar", "cwchar",
    "cwctype", "deque", "exception", "execution", "filesystem", "format", "forward_list", "fstream",
    "functional", "future", "initializer_list", "iomanip", "ios", "iosfwd", "iostream", "istream",
    "iterator", "latch", "limits", "list", "locale", "map", "memory", "memory_resource", "mutex",
    "new", "numbers", "numeric", "optional", "ostream", "queue", "random", "ranges", "ratio", "regex",
    "scoped_allocator", "semaphore", "set", "shared_mutex", "source_location", "span", "sstream",
    "stack", "stdexcept", "stop_token", "streambuf", "string", "string_view", "syncstream",
    "system_error", "thread", "tuple", "type_traits", "typeindex", "typeinfo", "unordered_map",
    "unordered_set", "utility", "valarray", "variant", "vector", "version", "assert.h", "ctype.h",
    "errno.h", "float.h", "inttypes.h", "limits.h", "locale.h", "math.h", "setjmp.h", "signal.h",
    "stdarg.h", "stddef.h", "stdint.h", "stdio.h", "stdlib.h", "string.h", "time.h", "uchar.h",
    "wchar.h", "wctype.h"};

// The operating system's own C interface (files, processes, the terminal, sockets).
bool isSystemHeader(const QString &name)
{
    static const QSet<QString> names = {"unistd.h", "fcntl.h", "termios.h", "dirent.h", "poll.h", "pthread.h",
                                        "netdb.h", "windows.h", "io.h"};
    return names.contains(name) || name.startsWith(QLatin1String("sys/")) || name.startsWith(QLatin1String("netinet/"))
        || name.startsWith(QLatin1String("arpa/"));
}

QString externalClass(const QString &name)
{
    if (standardHeaders.contains(name))
        return QStringLiteral("<std>");
    if (name == QLatin1String("sqlite3.h") || name == QLatin1String("sqlite3ext.h"))
        return QStringLiteral("<sqlite>");
    if (isSystemHeader(name))
        return QStringLiteral("<system>");
    if (name.startsWith(QLatin1String("openssl/")))
        return QStringLiteral("<openssl>");
    if (name == QLatin1String("sodium.h"))
        return QStringLiteral("<sodium>");
    if (name.startsWith(QLatin1Char('Q')))
        return QStringLiteral("<qt>");
    return QStringLiteral("<other:%1>").arg(name);
}

bool isFile(const QDir &root, const QString &relative)
{
    return QFileInfo(root.filePath(relative)).isFile();
}

// What an include reaches, as a path from the source root, or a class of outside header. Inside
// src/ an include must be written from src/, so a bare sibling name does not resolve there;
// elsewhere a file's own folder comes first, as the compiler looks. Empty for files the build
// generates.
QString reached(const QDir &root, const QString &file, const QString &written, bool angled)
{
    if (written.endsWith(QLatin1String(".moc")) || written.startsWith(QLatin1String("moc_"))
        || written.startsWith(QLatin1String("ui_")))
        return {};
    QStringList candidates;
    if (!angled && !file.startsWith(QLatin1String("src/")))
        candidates << QDir::cleanPath(QFileInfo(file).path() + QLatin1Char('/') + written);
    candidates << QStringLiteral("src/") + written;
    if (!angled)
        candidates << QDir::cleanPath(written);
    for (const QString &candidate : candidates)
        if (!candidate.startsWith(QLatin1String("..")) && isFile(root, candidate))
            return candidate;
    return angled ? externalClass(written) : QStringLiteral("unresolved:") + written;
}

bool startsWithAny(const QString &target, const QStringList &prefixes, const QString &ownFolder)
{
    for (const QString &prefix : prefixes) {
        const QString expanded = prefix == QLatin1String("./") ? ownFolder + QLatin1Char('/') : prefix;
        if (target.startsWith(expanded))
            return true;
    }
    return false;
}

struct Checked {
    int includes = 0;
    QStringList violations;
};

Checked check(const QDir &root, const QStringList &from, const QStringList &allowed, const QStringList &forbidden)
{
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*([<\"])([^>\"]+)[>\"]"),
                                            QRegularExpression::MultilineOption);
    Checked checked;
    for (const QString &folder : from) {
        QDirIterator it(root.filePath(folder), {"*.h", "*.hpp", "*.c", "*.cpp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = root.relativeFilePath(it.next());
            QFile source(root.filePath(file));
            if (!source.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(source.readAll());
            for (auto m = include.globalMatch(text); m.hasNext();) {
                const auto match = m.next();
                const QString written = match.captured(2).trimmed();
                const QString target = reached(root, file, written, match.captured(1) == QLatin1String("<"));
                if (target.isEmpty())
                    continue;
                ++checked.includes;
                const QString ownFolder = QFileInfo(file).path();
                if (startsWithAny(target, forbidden, ownFolder)
                    || (!allowed.isEmpty() && !startsWithAny(target, allowed, ownFolder))) {
                    const int line = text.left(match.capturedStart()).count(QLatin1Char('\n')) + 1;
                    checked.violations << QStringLiteral("%1:%2 includes %3").arg(file).arg(line).arg(target);
                }
            }
        }
    }
    return checked;
}

void addRules()
{
    QTest::addColumn<QStringList>("from");
    QTest::addColumn<QStringList>("allowed");
    QTest::addColumn<QStringList>("forbidden");
    // One include that breaks the rule, and the file it reaches, for the check that it can fail.
    QTest::addColumn<QString>("brokenFile");
    QTest::addColumn<QString>("brokenInclude");
    QTest::addColumn<QString>("brokenTarget");

    QTest::newRow("tsql: only tsql, the standard library, SQLite and libsodium")
        << QStringList{"src/tsql/"} << QStringList{"src/tsql/", "<std>", "<sqlite>", "<system>", "<sodium>"}
        << QStringList{}
        << "src/tsql/Engine.cpp" << "#include <QString>" << "";
    QTest::newRow("tds: only tds, the engine's types, the standard library and TLS")
        << QStringList{"src/tds/"} << QStringList{"src/tds/", "src/tsql/", "<std>", "<system>", "<openssl>"}
        << QStringList{} << "src/tds/Packet.cpp" << "#include <QByteArray>" << "";
    QTest::newRow("nothing but tds and the server includes tds")
        << QStringList{"src/tsql/", "src/platform/", "src/search/", "src/maintenance/", "src/startup/",
                       "src/standins/", "src/demo/", "src/records/"}
        << QStringList{} << QStringList{"src/tds/"}
        << "src/platform/data/Connection.cpp" << "#include \"tds/Packet.h\"" << "src/tds/Packet.h";
    QTest::newRow("platform: no stand-in, demo, record, window, start-up or tool")
        << QStringList{"src/platform/"} << QStringList{}
        << QStringList{"src/standins/", "src/demo/", "src/records/", "src/search/", "src/maintenance/",
                       "src/startup/", "tools/"}
        << "src/platform/components/Components.cpp" << "#include \"standins/CurrentUser.h\""
        << "src/standins/CurrentUser.h";
    QTest::newRow("stand-ins, demo, records: no window, start-up or tool")
        << QStringList{"src/standins/", "src/demo/", "src/records/"} << QStringList{}
        << QStringList{"src/search/", "src/maintenance/", "src/startup/", "tools/"}
        << "src/records/GetAge.cpp" << "#include \"search/frmMain2.h\"" << "src/search/frmMain2.h";
    QTest::newRow("windows and start-up: the engine only through platform")
        << QStringList{"src/search/", "src/maintenance/", "src/startup/", "src/standins/", "src/records/"}
        << QStringList{} << QStringList{"src/tsql/"}
        << "src/search/PatientSearch.cpp" << "#include \"tsql/Session.h\"" << "src/tsql/Session.h";
    QTest::newRow("search and maintenance: no start-up")
        << QStringList{"src/search/", "src/maintenance/"} << QStringList{} << QStringList{"src/startup/"}
        << "src/search/PatientSearch.cpp" << "#include \"startup/Module1.h\"" << "src/startup/Module1.h";
    QTest::newRow("maintenance: not the search window that opens it")
        << QStringList{"src/maintenance/"} << QStringList{} << QStringList{"src/search/"}
        << "src/maintenance/frmAdmin.cpp" << "#include \"search/frmMain2.h\"" << "src/search/frmMain2.h";
    QTest::newRow("src: every include written from src/")
        << QStringList{"src/"} << QStringList{} << QStringList{"unresolved:"}
        << "src/demo/Generator.cpp" << "#include \"Schema.h\"" << "src/demo/Schema.h";
    QTest::newRow("tools: a front end includes its own folder and the libraries")
        << QStringList{"tools/"} << QStringList{"./", "src/", "<std>", "<qt>", "<system>", "<sodium>"} << QStringList{}
        << "tools/sqlcmd/main.cpp" << "#include \"../demo-db/Helper.h\"" << "tools/demo-db/Helper.h";
    QTest::newRow("nothing outside tools includes from tools")
        << QStringList{"src/", "tests/", "bench/"} << QStringList{} << QStringList{"tools/"}
        << "tests/search/Screenshots.cpp" << "#include \"../../tools/sqlcmd/Shell.h\""
        << "tools/sqlcmd/Shell.h";
}

bool writeFile(const QDir &root, const QString &relative, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(root.filePath(relative)).path());
    QFile file(root.filePath(relative));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestIncludeRules : public QObject {
    Q_OBJECT

private slots:
    void theTreeKeepsTheRule_data() { addRules(); }
    void theTreeKeepsTheRule()
    {
        QFETCH(QStringList, from);
        QFETCH(QStringList, allowed);
        QFETCH(QStringList, forbidden);
        const Checked checked = check(QDir(QStringLiteral(TALVOR_SOURCE_DIR)), from, allowed, forbidden);
        // A walk that found nothing would pass any rule.
        QVERIFY(checked.includes > 0);
        QVERIFY2(checked.violations.isEmpty(), qPrintable(checked.violations.join(QLatin1Char('\n'))));
    }

    void aBrokenRuleIsSeen_data() { addRules(); }
    void aBrokenRuleIsSeen()
    {
        QFETCH(QStringList, from);
        QFETCH(QStringList, allowed);
        QFETCH(QStringList, forbidden);
        QFETCH(QString, brokenFile);
        QFETCH(QString, brokenInclude);
        QFETCH(QString, brokenTarget);
        QTemporaryDir tree;
        const QDir root(tree.path());
        QVERIFY(writeFile(root, brokenFile, brokenInclude.toUtf8() + "\n"));
        if (!brokenTarget.isEmpty())
            QVERIFY(writeFile(root, brokenTarget, "#pragma once\n"));
        const Checked checked = check(root, from, allowed, forbidden);
        QCOMPARE(checked.violations.size(), 1);
        QVERIFY2(checked.violations.first().startsWith(brokenFile + QStringLiteral(":1 ")),
                 qPrintable(checked.violations.first()));
    }
};

QTEST_GUILESS_MAIN(TestIncludeRules)
#include "tst_includerules.moc"
