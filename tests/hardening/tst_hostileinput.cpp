// Whatever a clerk types or pastes into a field of the search window, the search either runs or
// stops with one message; the window keeps working and the database stays whole.
#include "../search/SearchWindowFixture.h"

#include "platform/files/TextFile.h"
#include "platform/ui/MaskedDateField.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

#include "tsql/Extension.h"

#include <sqlite3.h>

using namespace searchtest;

namespace {

// "ok" from SQLite's own check (with the engine's collation), then each table's row count.
QString databaseState(const QString &folder)
{
    QStringList state;
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.sqlite")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        sqlite3 *db = nullptr;
        const QByteArray path = QDir(folder).filePath(file).toUtf8();
        if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return QStringLiteral("cannot open ") + file;
        }
        tsql::registerStandalone(db);
        auto scalarList = [db](const char *sql) {
            QStringList out;
            sqlite3_stmt *st = nullptr;
            if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK)
                while (sqlite3_step(st) == SQLITE_ROW)
                    out << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
            sqlite3_finalize(st);
            return out;
        };
        state << file + QLatin1Char(':') + scalarList("PRAGMA integrity_check").join(QLatin1Char(','));
        for (const QString &table : scalarList("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")) {
            const QByteArray count = "SELECT count(*) FROM \"" + table.toUtf8() + "\"";
            state << table + QLatin1Char('=') + scalarList(count.constData()).value(0);
        }
        sqlite3_close(db);
    }
    return state.join(QLatin1Char(' '));
}

// Key presses carrying any text, which QTest::keyClicks cannot do beyond ASCII.
void typeText(QWidget *target, const QString &text)
{
    for (const uint codePoint : text.toUcs4()) {
        const QString one = QString::fromUcs4(reinterpret_cast<const char32_t *>(&codePoint), 1);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, one);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, one);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    }
}

} // namespace

class TestHostileInput : public SearchWindowFixture {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        createDatabase();
        m_before = databaseState(m_databaseDir.path());
        QVERIFY(m_before.contains(QLatin1String(":ok")));
    }
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void typedText_data();
    void typedText();
    void injection_data();
    void injection();
    void dateFields_data();
    void dateFields();
    void handOffName_data();
    void handOffName();
    void handOffFolderIsAFile();
    void handOffOverAPlantedLink_data();
    void handOffOverAPlantedLink();
    void handOffOnAFullDisk();

private:
    void checkGoesOn();
    QString m_before;
};

void TestHostileInput::typedText_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");

    const QList<QPair<const char *, QString>> texts = {
        {"apostrophe", QStringLiteral("O'Brien")},
        {"apostrophes only", QStringLiteral("''''")},
        {"statement after a quote", QStringLiteral("x'; DELETE FROM Patient_Data.dbo.tbMaster --")},
        {"always true", QStringLiteral("' OR '1'='1")},
        {"wildcards", QStringLiteral("%_%")},
        {"brackets", QStringLiteral("[a-z]]")},
        {"open bracket", QStringLiteral("[")},
        {"10,000 characters", QString(10000, QLatin1Char('A'))},
        {"10,000 apostrophes", QString(10000, QLatin1Char('\''))},
        {"control characters", QStringLiteral("a\tb\x01\x1f\x7f") + QChar(0) + QStringLiteral("c\r\nd")},
        {"right to left", QStringLiteral("\u202eنور\u05d0\u200f")},
        {"astral", QStringLiteral("\U0001F600\U00010348")},
        {"lone surrogate", QString(QChar(0xD800))},
        {"comment opener", QStringLiteral("/* -- ")},
    };
    const QList<QPair<const char *, const char *>> fields = {
        {"txtLastName", "cmdSearch"},     {"txtFirstName", "cmdSearch"}, {"txtMiddleName", "cmdSearch"},
        {"txtHospNum", "cmdSearch"},      {"txtHospNum", "cmdSearch2"},  {"txtIDNum", "cmdGoAdmission"},
        {"txtBirthDate2", "cmdSearch"},
    };
    for (const auto &[field, button] : fields)
        for (const auto &[name, text] : texts)
            QTest::addRow("%s %s %s", field, button, name) << QString::fromLatin1(field) << QString::fromLatin1(button)
                                                           << text;
}

void TestHostileInput::typedText()
{
    QFETCH(QString, field);
    QFETCH(QString, button);
    QFETCH(QString, text);

    auto *edit = w->findChild<QLineEdit *>(field);
    auto *push = w->findChild<QPushButton *>(button);
    QVERIFY(edit && push);
    if (field != QLatin1String("txtLastName"))
        w->txtLastName->setText(QStringLiteral("DELA"));
    edit->setText(text);
    QTest::mouseClick(push, Qt::LeftButton);
    QVERIFY2(m_messages.size() <= 1, qPrintable(m_messages.join(QLatin1String(" | "))));
    checkGoesOn();
}

// Values crafted to make a statement do more than it was built for. One whose apostrophe would
// end its literal is refused with one message naming its field, before anything is sent; one
// without stays inside its literal and finds nothing. Either way no statement leaves its shape, the grids show only
// patients, and the database is unchanged.
void TestHostileInput::injection_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");

    const QList<QPair<const char *, QString>> texts = {
        {"union with SQLite's schema",
         QStringLiteral("x' union select name, name, sql, '1', '1', '1', '1', '1' from sqlite_master --")},
        {"comment made by the translation",
         QStringLiteral("x' OR - -1 = 1 OR 'a\n0))) UNION ALL SELECT name, name, sql, 1, 1, 1, 1, 1 "
                        "FROM Build_File.sqlite_master --")},
        {"the sign-in table", QStringLiteral("x' union all select UserName, UserName, PasswordHash, '', '', '', '', '' "
                                             "from Build_File.dbo.tbTalvorUser --")},
        {"database files", QStringLiteral("x' union all select file, file, name, '', '', '', '', '' "
                                          "from pragma_database_list --")},
        {"second statement", QStringLiteral("'; DROP TABLE Patient_Data.dbo.tbMaster; --")},
        {"update after a quote", QStringLiteral("x'; update Patient_Data.dbo.tbMaster set LastName = 'X' --")},
        // Paired apostrophes are one apostrophe inside the literal: sent, and nothing matches.
        {"paired apostrophes", QStringLiteral("N'' or 1=1 --")},
        {"typographic apostrophe", QStringLiteral("x\u2019 or 1=1 --")},
        {"modifier letter apostrophe", QStringLiteral("x\u02bc union select 1 --")},
        {"comment without a quote", QStringLiteral("x%-- \n or 1=1")},
    };
    const QList<std::tuple<const char *, const char *, const char *>> fields = {
        {"txtLastName", "cmdSearch", "Last Name"},   {"txtFirstName", "cmdSearch", "First Name"},
        {"txtMiddleName", "cmdSearch", "Middle Name"}, {"txtHospNum", "cmdSearch", "Hospital #"},
        {"txtHospNum", "cmdSearch2", "Hospital #"},  {"txtIDNum", "cmdGoAdmission", "Admission #"},
    };
    for (const auto &[field, button, caption] : fields)
        for (const auto &[name, text] : texts)
            QTest::addRow("%s %s %s", field, button, name)
                << QString::fromLatin1(field) << QString::fromLatin1(button) << QString::fromLatin1(caption) << text;
}

void TestHostileInput::injection()
{
    QFETCH(QString, field);
    QFETCH(QString, button);
    QFETCH(QString, caption);
    QFETCH(QString, text);

    auto *edit = w->findChild<QLineEdit *>(field);
    auto *push = w->findChild<QPushButton *>(button);
    QVERIFY(edit && push);
    newStatements();
    edit->setText(text);
    QTest::mouseClick(push, Qt::LeftButton);

    const QStringList sent = newStatements();
    // The program's own shapes: the patient search, the registration list, the admission look-up.
    for (const QString &statement : sent) {
        QVERIFY2(statement.startsWith(QLatin1String("SELECT top 120 HospNum,HospNum,"))
                     || statement.startsWith(QLatin1String("SELECT top 120 tbPatient.HospNum,"))
                     || statement.startsWith(QLatin1String("SELECT top 100 pat.HospNum,")),
                 qPrintable(statement));
        QVERIFY2(!statement.contains(QLatin1String("sqlite_master"), Qt::CaseInsensitive)
                     || statement.count(QLatin1Char('\'')) % 2 == 0,
                 qPrintable(statement));
    }
    if (text.count(QLatin1Char('\'')) % 2 == 1) {
        QVERIFY2(sent.filter(text).isEmpty(), qPrintable(sent.join(QLatin1String(" | "))));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains(QStringLiteral("The %1 holds an apostrophe").arg(caption)),
                 qPrintable(m_messages.first()));
    } else {
        QVERIFY2(m_messages.size() <= 1, qPrintable(m_messages.join(QLatin1String(" | "))));
        QVERIFY(!sent.filter(text).isEmpty() || text.contains(QLatin1Char('\n')));
    }
    // Only patients: every hospital number shown is one of the demo's ("H" and four digits).
    static const QRegularExpression patient(QStringLiteral("^H\\d{4}$"));
    for (platform::ui::Grid *grid : {w->Grid1, w->Grid2})
        for (const QString &hospNum : column(grid, 0))
            QVERIFY2(hospNum.isEmpty() || patient.match(hospNum).hasMatch(), qPrintable(hospNum));
    checkGoesOn();
}

void TestHostileInput::dateFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("keys");

    const QStringList keys = {QStringLiteral("'%_[]'"), QStringLiteral("99/99/9999"), QStringLiteral("02/30/2024"),
                              QStringLiteral("00/00/0000"), QStringLiteral("\U0001F600\u202e1"),
                              QString(300, QLatin1Char('1')), QStringLiteral("12/31/9999"), QStringLiteral("01/01/1753")};
    int i = 0;
    for (const QString &k : keys) {
        QTest::addRow("birth date %d", i) << "txtBirthDate" << "cmdSearch" << k;
        QTest::addRow("admission date %d", i++) << "txtAdmDate" << "cmdSearch2" << k;
    }
}

void TestHostileInput::dateFields()
{
    QFETCH(QString, field);
    QFETCH(QString, button);
    QFETCH(QString, keys);

    auto *date = w->findChild<platform::ui::MaskedDateField *>(field);
    auto *push = w->findChild<QPushButton *>(button);
    QVERIFY(date && push);
    date->setFocus();
    QTest::keyClick(date, Qt::Key_Home);
    typeText(date, keys);
    // Leaving the birth date searches on its own: that and the click are two actions.
    push->setFocus();
    QVERIFY2(m_messages.size() <= 1, qPrintable(m_messages.join(QLatin1String(" | "))));
    m_messages.clear();
    QTest::mouseClick(push, Qt::LeftButton);
    QVERIFY2(m_messages.size() <= 1, qPrintable(m_messages.join(QLatin1String(" | "))));
    checkGoesOn();
}

void TestHostileInput::handOffName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Windows-1252") << QStringLiteral("NU\u00d1EZ, \u20ac") << QByteArray("NU\xd1" "EZ, \x80");
    QTest::newRow("Arabic and Hebrew") << QStringLiteral("\u0646\u05d0 X") << QByteArray("?? X");
    QTest::newRow("astral") << QStringLiteral("A\U0001F600B") << QByteArray("A?B");
    QTest::newRow("lone surrogate") << QString(QChar(0xDC00)) << QByteArray("?");
}

// Names the other programs' code page cannot hold still reach the hand-off file, as '?'.
void TestHostileInput::handOffName()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    w->txtHospNum->setText(QStringLiteral("H0001"));
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    w->SelectedPatientName = name;
    w->WriteLastPatient();
    QCOMPARE(m_messages, QStringList());
    QCOMPARE(handOffBytes(), QByteArray("H0001|IP-1001|") + bytes);
}

// A program folder that cannot take the file: one message, the last hand-off stays, and the
// window goes on.
void TestHostileInput::handOffFolderIsAFile()
{
    w->txtHospNum->setText(QStringLiteral("H0001"));
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    w->SelectedPatientName = QStringLiteral("DELA CRUZ, JUAN SANTOS");
    w->WriteLastPatient();
    const QByteArray before = handOffBytes();
    QVERIFY(!before.isEmpty());

    const QString notAFolder = m_programDir->filePath(QStringLiteral("LastPatient.txt"));
    platform::files::setProgramFolderForTests(notAFolder);
    w->SelectedPatientName = QStringLiteral("GARCIA, PEDRO");
    w->WriteLastPatient();
    platform::files::setProgramFolderForTests(m_programDir->path());
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().startsWith(QLatin1String("Cannot write to text file.")));
    QCOMPARE(handOffBytes(), before);
    checkGoesOn();
}

void TestHostileInput::handOffOverAPlantedLink_data()
{
    QTest::addColumn<QString>("pointsAt");
    QTest::newRow("another file") << "file";
    QTest::newRow("a file not there yet") << "missing";
    QTest::newRow("a folder") << "folder";
}

// A link a clerk left in the shared folder in place of the hand-off file: it is replaced by the
// file, and what it pointed at stays as it was.
void TestHostileInput::handOffOverAPlantedLink()
{
    QFETCH(QString, pointsAt);
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("target"));
    if (pointsAt == QLatin1String("file")) {
        QFile victim(target);
        QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("untouched") == 9);
    } else if (pointsAt == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(target));
    }
    const QString handOff = m_programDir->filePath(QStringLiteral("LastPatient.txt"));
    QVERIFY(QFile::link(target, handOff));

    w->txtHospNum->setText(QStringLiteral("H0001"));
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    w->SelectedPatientName = QStringLiteral("GARCIA, PEDRO");
    w->WriteLastPatient();

    QCOMPARE(m_messages, QStringList());
    QVERIFY(!QFileInfo(handOff).isSymLink());
    QCOMPARE(handOffBytes(), QByteArray("H0001|IP-1001|GARCIA, PEDRO"));
    if (pointsAt == QLatin1String("file")) {
        QFile victim(target);
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("untouched"));
    } else if (pointsAt == QLatin1String("folder")) {
        QVERIFY(QDir(target).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    } else {
        QVERIFY(!QFileInfo::exists(target));
    }
}

// A disk that cannot take the new file: a file size limit fails the write (EFBIG) the way a full
// disk does (ENOSPC). One message, the last hand-off whole, no half-written file left behind.
void TestHostileInput::handOffOnAFullDisk()
{
    // As the program's start does; otherwise the limit ends the process.
    std::signal(SIGXFSZ, SIG_IGN);
    w->txtHospNum->setText(QStringLiteral("H0001"));
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    w->SelectedPatientName = QStringLiteral("DELA CRUZ, JUAN SANTOS");
    w->WriteLastPatient();
    const QByteArray before = handOffBytes();
    QVERIFY(!before.isEmpty());

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 8;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    w->SelectedPatientName = QStringLiteral("GARCIA, PEDRO");
    w->WriteLastPatient();
    setrlimit(RLIMIT_FSIZE, &saved);

    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().startsWith(QLatin1String("Cannot write to text file.")), qPrintable(m_messages.first()));
    QCOMPARE(handOffBytes(), before);
    const QStringList leftOver = QDir(m_programDir->path()).entryList({QStringLiteral("*LastPatient*")},
                                                                      QDir::Files | QDir::Hidden);
    QCOMPARE(leftOver, QStringList{QStringLiteral("LastPatient.txt")});
    checkGoesOn();
}

// After the hostile search, an ordinary one still lists its patients and nothing was changed.
void TestHostileInput::checkGoesOn()
{
    m_messages.clear();
    QMetaObject::invokeMethod(w->cmdReset, "click");
    searchLastName(QStringLiteral("DELA"));
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(QLatin1String(" | "))));
    QVERIFY(column(w->Grid1, 0).contains(QStringLiteral("H0001")));
    QCOMPARE(databaseState(m_databaseDir.path()), m_before);
}

QTEST_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
