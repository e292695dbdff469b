#include "SearchWindowFixture.h"

#include "platform/files/TextFile.h"
#include "platform/ui/MaskedDateField.h"
#include "standins/PatientRecordWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace searchtest;
using platform::ui::Grid;

class TestRegistrations : public SearchWindowFixture {
    Q_OBJECT
private slots:
    void initTestCase() { createDatabase(); }
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void registrationQuery_data();
    void registrationQuery();
    void todayKeepsHospitalNumber();
    void doubleClickOpensRegistration();
    void doubleClickOnHeadingOnlyDoesNothing();
    void resetInsideRegistrationFill();
    void goAdmission_data();
    void goAdmission();
    void enterInAdmissionNumberRunsGoTwice();
    void handOffFile_data();
    void handOffFile();
    void handOffWriteFailureStillOpens();
    void handOffFolderOfTheWorkstation_data();
    void handOffFolderOfTheWorkstation();
    void handOffReplacesALinkInsteadOfWritingThroughIt();
    void patientRecordWindow_data();
    void patientRecordWindow();
};

void TestRegistrations::registrationQuery_data()
{
    QTest::addColumn<QString>("hospNum");
    QTest::addColumn<QString>("admDate");
    QTest::addColumn<QString>("filters");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("firstRow");

    const QDate today = QDate::currentDate();
    const QStringList all{"OP-2001", "IP-2001", "OP-2002", "IP-1002", "OP-1001", "IP-1001", "IP-9001"};
    QTest::newRow("no filter, newest first") << "" << "__/__/____" << "" << all
                                             << "H0001\tOP-2001\t" + dateTimeText(today, 10) + "\tDELA CRUZ, JUAN SANTOS\t03/15/1980";
    QTest::newRow("hospital number") << "H0001" << "__/__/____" << " and %T.hospnum =  'H0001' "
                                     << QStringList{"OP-2001", "IP-1002", "OP-1001", "IP-1001"} << "";
    QTest::newRow("admission date") << "" << "03/05/2025" << " and CONVERT(varchar,AdmDate,101)  =  '03/05/2025' "
                                    << QStringList{"OP-1001"}
                                    << "H0001\tOP-1001\t" + dateTimeText(QDate(2025, 3, 5), 14) + "\tDELA CRUZ, JUAN SANTOS\t03/15/1980";
    QTest::newRow("both") << "H0001" << todayMdy()
                          << " and %T.hospnum =  'H0001'  and CONVERT(varchar,AdmDate,101)  =  '" + todayMdy() + "' "
                          << QStringList{"OP-2001"} << "";
    QTest::newRow("impossible date left out") << "H0002" << "02/30/2026" << " and %T.hospnum =  'H0002' "
                                              << QStringList{"OP-2002"}
                                              << "H0002\tOP-2002\t" + dateTimeText(today) + "\tDELA CRUZ, MARIA LOPEZ\t";
    QTest::newRow("partly typed date left out") << "" << "03/0" << "" << all << "";
    QTest::newRow("registration without patient") << "H9999" << "__/__/____" << " and %T.hospnum =  'H9999' "
                                                  << QStringList{"IP-9001"}
                                                  << "H9999\tIP-9001\t" + dateTimeText(QDate(2024, 2, 2)) + "\t\t";
    QTest::newRow("blanks kept") << " " << "__/__/____" << " and %T.hospnum =  ' ' " << QStringList{} << "";
}

void TestRegistrations::registrationQuery()
{
    QFETCH(QString, hospNum);
    QFETCH(QString, admDate);
    QFETCH(QString, filters);
    QFETCH(QStringList, listed);
    QFETCH(QString, firstRow);

    w->txtHospNum->setText(hospNum);
    w->txtAdmDate->setText(admDate);
    w->txtIDNum->setText(QStringLiteral("left over"));
    QTest::mouseClick(w->cmdSearch2, Qt::LeftButton);

    QCOMPARE(newStatements(), QStringList{registrationStatement(filters)});
    QCOMPARE(column(w->Grid2, 1), listed);
    if (!firstRow.isEmpty())
        QCOMPARE(rowText(w->Grid2, 1), firstRow);
    QCOMPARE(w->txtIDNum->text(), QString());
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
}

void TestRegistrations::todayKeepsHospitalNumber()
{
    QCOMPARE(w->txtAdmDate->text(), todayMdy());
    QCOMPARE(column(w->Grid2, 1), (QStringList{"OP-2001", "IP-2001", "OP-2002"}));

    searchLastName(QStringLiteral("DELA"));
    QTest::mouseClick(w->Grid1->viewport(), Qt::LeftButton, {}, cellCentre(w->Grid1, 1, 0));
    QCOMPARE(w->Grid2->rows(), 5);
    newStatements();
    QTest::mouseClick(w->cmdToday, Qt::LeftButton);

    QCOMPARE(w->txtAdmDate->text(), todayMdy());
    QCOMPARE(newStatements(), QStringList{registrationStatement(
                                  " and %T.hospnum =  'H0001'  and CONVERT(varchar,AdmDate,101)  =  '" + todayMdy() + "' ")});
    QCOMPARE(column(w->Grid2, 1), QStringList{"OP-2001"});
}

void TestRegistrations::doubleClickOpensRegistration()
{
    searchLastName(QStringLiteral("DELA"));
    QTest::mouseClick(w->Grid1->viewport(), Qt::LeftButton, {}, cellCentre(w->Grid1, 1, 0));
    headerCalls.clear();
    QTest::mouseDClick(w->Grid2->viewport(), Qt::LeftButton, {}, cellCentre(w->Grid2, 2, 3));

    QCOMPARE(w->txtHospNum->text(), QStringLiteral("H0001"));
    QCOMPARE(w->txtIDNum->text(), QStringLiteral("IP-1002"));
    QCOMPARE(w->SelectedPatientName, QStringLiteral("DELA CRUZ, JUAN SANTOS"));
    QCOMPARE(handOffBytes(), QByteArray("H0001|IP-1002|DELA CRUZ, JUAN SANTOS"));
    QCOMPARE(headerCalls, openCalls("H0001", "IP-1002", "DELA CRUZ, JUAN SANTOS"));
    QVERIFY(m_messages.isEmpty());
}

void TestRegistrations::doubleClickOnHeadingOnlyDoesNothing()
{
    w->txtHospNum->setText(QStringLiteral("H0001"));
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    w->txtAdmDate->setText(QStringLiteral("01/01/1900"));
    QTest::mouseClick(w->cmdSearch2, Qt::LeftButton);
    QCOMPARE(w->Grid2->rows(), 1);
    w->txtIDNum->setText(QStringLiteral("IP-1001"));

    QTest::mouseDClick(w->Grid2->viewport(), Qt::LeftButton, {}, w->Grid2->viewport()->rect().center());

    QCOMPARE(w->txtHospNum->text(), QStringLiteral("H0001"));
    QCOMPARE(w->txtIDNum->text(), QStringLiteral("IP-1001"));
    QVERIFY(headerCalls.isEmpty());
    QVERIFY(m_messages.isEmpty());
    QVERIFY(!QFile::exists(m_programDir->filePath(QStringLiteral("LastPatient.txt"))));
}

void TestRegistrations::resetInsideRegistrationFill()
{
    bool started = false;
    const auto connection = connect(w->Grid2->model(), &QAbstractItemModel::rowsInserted, this, [&] {
        if (started)
            return;
        started = true;
        QTimer::singleShot(0, this, [this] { QTest::mouseClick(w->cmdReset, Qt::LeftButton); });
    });
    w->txtAdmDate->setText(platform::ui::MaskedDateField::emptyText);
    QTest::mouseClick(w->cmdSearch2, Qt::LeftButton);
    disconnect(connection);

    QVERIFY(started);
    // The rest of an interrupted list would show under a grid the clerk has just cleared.
    QCOMPARE(w->Grid2->rows(), 1);
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
}

void TestRegistrations::goAdmission_data()
{
    QTest::addColumn<QString>("hospBefore");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("hospAfter");
    QTest::addColumn<QByteArray>("handOff");

    const QStringList noRecord{"Select an Admission Record."};
    QTest::newRow("empty box") << "" << "" << QStringList{"Please enter the Admission Number."} << "" << QByteArray();
    // The lookup's name comes from the row found, in the lookup's own order of name parts.
    QTest::newRow("in-patient admission") << "H0001" << "IP-2001" << QStringList{} << "H0003"
                                          << QByteArray("H0003|IP-2001|DELOS SANTOS, REYES ANA");
    QTest::newRow("admission without patient") << "" << "IP-9001" << QStringList{} << "H9999"
                                               << QByteArray("H9999|IP-9001|");
    QTest::newRow("out-patient visits are not looked up") << "" << "OP-1001" << noRecord << "" << QByteArray();
    QTest::newRow("nothing found, hospital number left over") << "H0001" << "IP-0000" << noRecord << "H0001"
                                                              << QByteArray();
}

void TestRegistrations::goAdmission()
{
    QFETCH(QString, hospBefore);
    QFETCH(QString, typed);
    QFETCH(QStringList, messages);
    QFETCH(QString, hospAfter);
    QFETCH(QByteArray, handOff);

    w->txtHospNum->setText(hospBefore);
    w->txtIDNum->setText(typed);
    w->SelectedPatientName = QStringLiteral("SOMEONE PICKED EARLIER");
    QTest::mouseClick(w->cmdGoAdmission, Qt::LeftButton);

    QCOMPARE(m_messages, messages);
    QCOMPARE(w->txtHospNum->text(), hospAfter);
    QCOMPARE(w->txtIDNum->text(), typed);
    QCOMPARE(handOffBytes(), handOff);
    QCOMPARE(headerCalls.contains(QStringLiteral("LoadPatient")), !handOff.isEmpty());
    const QStringList lookups = newStatementsStartingWith(QStringLiteral("SELECT top 100"));
    if (typed.isEmpty())
        QVERIFY(lookups.isEmpty());
    else
        QCOMPARE(lookups, QStringList{QString::fromLatin1(lookupSelect) + " and pat.idnum =  '" + typed + "' "});
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
}

void TestRegistrations::enterInAdmissionNumberRunsGoTwice()
{
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    w->txtIDNum->setFocus();
    QTest::keyClick(w->txtIDNum, Qt::Key_Return);

    const QStringList once = openCalls("H0001", "IP-1001", "DELA CRUZ, SANTOS JUAN");
    QCOMPARE(headerCalls, once + once);
    QCOMPARE(newStatementsStartingWith(QStringLiteral("SELECT top 100")).size(), 2);
    QCOMPARE(handOffBytes(), QByteArray("H0001|IP-1001|DELA CRUZ, SANTOS JUAN"));
    QVERIFY(m_messages.isEmpty());
}

void TestRegistrations::handOffFile_data()
{
    QTest::addColumn<QString>("hospNum");
    QTest::addColumn<QString>("idNum");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // null: the open is refused and the earlier file stays

    QTest::newRow("three fields") << "H0001" << "IP-1001" << "DELA CRUZ, JUAN SANTOS"
                                  << QByteArray("H0001|IP-1001|DELA CRUZ, JUAN SANTOS");
    QTest::newRow("empty name ends with the bar") << "H0001" << "IP-1001" << "" << QByteArray("H0001|IP-1001|");
    QTest::newRow("blanks count as filled") << " " << "  " << " " << QByteArray(" |  | ");
    QTest::newRow("bar inside a field") << "H|1" << "IP|2" << "A|B" << QByteArray("H|1|IP|2|A|B");
    QTest::newRow("single-byte code page") << "H0005" << "IP-5" << QString::fromUtf8("PE\u00d1A, JOS\u00c9")
                                           << QByteArray("H0005|IP-5|PE\xd1" "A, JOS\xc9");
    QTest::newRow("no hospital number") << "" << "IP-1001" << "X" << QByteArray();
    QTest::newRow("no admission number") << "H0001" << "" << "X" << QByteArray();
}

void TestRegistrations::handOffFile()
{
    QFETCH(QString, hospNum);
    QFETCH(QString, idNum);
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);

    const QByteArray earlier("H9999|IP-9999|AN EARLIER RECORD, MUCH LONGER THAN ANY OF THESE\r\n");
    QFile file(m_programDir->filePath(QStringLiteral("LastPatient.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
    file.close();

    w->txtHospNum->setText(hospNum);
    w->txtIDNum->setText(idNum);
    w->SelectedPatientName = name;
    w->ShowBrelmontaxis();

    if (bytes.isNull()) {
        QCOMPARE(m_messages, QStringList{"Select an Admission Record."});
        QCOMPARE(handOffBytes(), earlier);
        QVERIFY(headerCalls.isEmpty());
        return;
    }
    QCOMPARE(handOffBytes(), bytes);
    QCOMPARE(headerCalls, openCalls(hospNum, idNum, name));
    QVERIFY(m_messages.isEmpty());
}

void TestRegistrations::handOffWriteFailureStillOpens()
{
    // A plain file where the program's folder should be: no file can be created under it, even
    // for a user whom read-only permissions would not stop.
    const QString blocker = m_programDir->filePath(QStringLiteral("not-a-folder"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    platform::files::setProgramFolderForTests(blocker);

    w->txtHospNum->setText(QStringLiteral("H0001"));
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    w->SelectedPatientName = QStringLiteral("DELA CRUZ, JUAN SANTOS");
    w->ShowBrelmontaxis();

    const QString prefix = QStringLiteral("Cannot write to text file.");
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().startsWith(prefix) && m_messages.first().size() > prefix.size()
                 && !m_messages.first().at(prefix.size()).isSpace(),
             qPrintable(m_messages.first()));
    QCOMPARE(headerCalls.last(), QStringLiteral("LoadPatient"));
}

// An installed copy's program folder is not the clerks' to write: the workstation's settings may
// name the folder the hand-off file goes to.
void TestRegistrations::handOffFolderOfTheWorkstation_data()
{
    QTest::addColumn<QString>("setting"); // "" none, "shared": a folder, "blocked": a plain file
    QTest::addColumn<QString>("writtenIn"); // "program", "shared" or "" (refused, with the message)
    QTest::newRow("no setting: the program folder") << "" << "program";
    QTest::newRow("a folder of the site") << "shared" << "shared";
    QTest::newRow("a folder that cannot be written") << "blocked" << "";
}

void TestRegistrations::handOffFolderOfTheWorkstation()
{
    QFETCH(QString, setting);
    QFETCH(QString, writtenIn);
    const QString shared = m_programDir->filePath(QStringLiteral("shared"));
    QVERIFY(QDir().mkpath(shared));
    const QString blocked = m_programDir->filePath(QStringLiteral("blocked"));
    QFile plain(blocked);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString ini = m_programDir->filePath(QStringLiteral("talvor-search.conf"));
    QFile settings(ini);
    QVERIFY(settings.open(QIODevice::WriteOnly));
    if (!setting.isEmpty())
        settings.write("[HandOff]\nFolder=" + QFile::encodeName(setting == "shared" ? shared : blocked) + "\n");
    settings.close();
    platform::files::setSiteSettingsForTests(ini);

    w->txtHospNum->setText(QStringLiteral("H0001"));
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    w->SelectedPatientName = QStringLiteral("DELA CRUZ, JUAN SANTOS");
    w->ShowBrelmontaxis();
    platform::files::setSiteSettingsForTests(QString());

    const QByteArray record("H0001|IP-1001|DELA CRUZ, JUAN SANTOS");
    const auto written = [](const QString &folder) {
        QFile file(QDir(folder).filePath(QStringLiteral("LastPatient.txt")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QCOMPARE(written(m_programDir->path()), writtenIn == "program" ? record : QByteArray());
    QCOMPARE(written(shared), writtenIn == "shared" ? record : QByteArray());
    QCOMPARE(m_messages.size(), writtenIn.isEmpty() ? 1 : 0);
    if (writtenIn.isEmpty())
        QVERIFY(m_messages.first().startsWith(QStringLiteral("Cannot write to text file.")));
    // The record opens either way.
    QCOMPARE(headerCalls, openCalls("H0001", "IP-1001", "DELA CRUZ, JUAN SANTOS"));
}

// In a folder several clerks may write, one of them could leave a link there in place of the
// file; the next clerk's open must not write through it into the file it points at.
void TestRegistrations::handOffReplacesALinkInsteadOfWritingThroughIt()
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("someone-elses-file"));
    QFile victim(target);
    QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("untouched") == 9);
    victim.close();
    const QString handOff = m_programDir->filePath(QStringLiteral("LastPatient.txt"));
    QVERIFY(QFile::link(target, handOff));

    w->txtHospNum->setText(QStringLiteral("H0001"));
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    w->SelectedPatientName = QString();
    w->ShowBrelmontaxis();

    QVERIFY(m_messages.isEmpty());
    QVERIFY(!QFileInfo(handOff).isSymLink());
    QCOMPARE(handOffBytes(), QByteArray("H0001|IP-1001|"));
    QVERIFY(victim.open(QIODevice::ReadOnly));
    QCOMPARE(victim.readAll(), QByteArray("untouched"));
}

void TestRegistrations::patientRecordWindow_data()
{
    QTest::addColumn<QString>("hospNum");
    QTest::addColumn<QString>("idNum");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("admissionDate");

    const QString noRegistration = QStringLiteral("(no registration with this admission number for this patient)");
    QTest::newRow("in-patient") << "H0001" << "IP-1001" << "DELA CRUZ, JUAN SANTOS" << "In-patient"
                                << dateTimeText(QDate(2025, 1, 10), 8, 30);
    QTest::newRow("out-patient") << "H0001" << "OP-1001" << "DELA CRUZ, JUAN SANTOS" << "Out-patient"
                                 << dateTimeText(QDate(2025, 3, 5), 14);
    QTest::newRow("numbers of two patients") << "H0002" << "IP-1001" << "DELA CRUZ, MARIA LOPEZ" << noRegistration
                                             << "";
    QTest::newRow("apostrophes are data") << "O'X" << "IP'1" << "HANDED ON" << noRegistration << "";
}

void TestRegistrations::patientRecordWindow()
{
    QFETCH(QString, hospNum);
    QFETCH(QString, idNum);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, admissionDate);

    standins::showPatientRecord(m_connection.get(), hospNum, idNum, QStringLiteral("HANDED ON"), w);

    QList<QWidget *> windows;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("PatientRecordWindow") && top->isVisible())
            windows << top;
    QCOMPARE(windows.size(), 1);
    QWidget *record = windows.first();
    QCOMPARE(record->windowTitle(), QStringLiteral("Patient record"));
    const auto label = [record](const char *name) { return record->findChild<QLabel *>(name)->text(); };
    QCOMPARE(label("lblHospNum"), hospNum);
    QCOMPARE(label("lblIDNum"), idNum);
    QCOMPARE(label("lblName"), name);
    QCOMPARE(label("lblKind"), kind);
    QCOMPARE(label("lblAdmDate"), admissionDate);
    if (hospNum == QLatin1String("H0001")) {
        // The record screen counts birthdays, not 365.25-day years.
        const QDate today = QDate::currentDate();
        const int years = today.year() - 1980 - (today < QDate(today.year(), 3, 15) ? 1 : 0);
        QCOMPARE(label("lblBirthDate"), "03/15/1980 (age " + QString::number(years) + ")");
        QCOMPARE(label("lblAddress"), QStringLiteral("12 Rizal St, San Roque, 1100"));
    }
}

QTEST_MAIN(TestRegistrations)
#include "tst_registrations.moc"
