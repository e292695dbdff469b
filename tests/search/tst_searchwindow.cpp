#include "SearchTestDatabase.h"

#include "platform/components/Components.h"
#include "platform/components/PatientRecordWindow.h"
#include "platform/data/Connection.h"
#include "platform/files/TextFile.h"
#include "platform/ui/DateText.h"
#include "platform/ui/Grid.h"
#include "platform/ui/MaskedDateField.h"
#include "platform/ui/MessageBox.h"
#include "search/frmMain2.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <memory>

using platform::ui::Grid;

namespace {

QStringList headerCalls;

// Stands in for the site's header control and records what the window tells it, in order.
class RecordingHeader : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QObject *Connection READ Connection WRITE setConnection)
    Q_PROPERTY(QVariant UserID READ UserID WRITE setUserID)
    Q_PROPERTY(QObject *CurrentUser READ CurrentUser WRITE setCurrentUser)
    Q_PROPERTY(QString HospNum READ HospNum WRITE setHospNum)
    Q_PROPERTY(QString IDNum READ IDNum WRITE setIDNum)
    Q_PROPERTY(QString PatientName READ PatientName WRITE setPatientName)
public:
    using QWidget::QWidget;
    QObject *Connection() const { return nullptr; }
    void setConnection(QObject *) { headerCalls << QStringLiteral("Connection"); }
    QVariant UserID() const { return {}; }
    void setUserID(const QVariant &) { headerCalls << QStringLiteral("UserID"); }
    QObject *CurrentUser() const { return nullptr; }
    void setCurrentUser(QObject *) { headerCalls << QStringLiteral("CurrentUser"); }
    QString HospNum() const { return {}; }
    void setHospNum(const QString &v) { headerCalls << QStringLiteral("HospNum=") + v; }
    QString IDNum() const { return {}; }
    void setIDNum(const QString &v) { headerCalls << QStringLiteral("IDNum=") + v; }
    QString PatientName() const { return {}; }
    void setPatientName(const QString &v) { headerCalls << QStringLiteral("PatientName=") + v; }
    Q_INVOKABLE void InitHeader() { headerCalls << QStringLiteral("InitHeader"); }
    Q_INVOKABLE void LoadPatient() { headerCalls << QStringLiteral("LoadPatient"); }
};

class TestUser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariant UserID READ UserID)
public:
    QVariant UserID() const { return QStringLiteral("clerk1"); }
};

const char patientSelect[] =
    "SELECT top 120 HospNum,HospNum,LastName + ', ' + FirstName  + ' ' +  MiddleName as PatientName,  "
    "CONVERT(varchar,BirthDate,101) as BirthDate ,Sex,HouseStreet,Barangay,ZipCode         "
    "From Patient_Data.dbo.tbMaster       where 1=1";
const char patientOrder[] = " ORDER BY  lastname,firstname asc ";

// %T stands for the registration table of each half.
const char registrationSelect[] =
    "SELECT top 120 %T.HospNum,IDNum,LastName + ', ' + FirstName  + ' ' +  MiddleName as PatientName,admdate,  "
    "CONVERT(varchar,BirthDate,101) as BirthDate ,Sex         From Patient_Data.dbo.%T as %T left outer join  "
    "Patient_Data.dbo.tbMaster MAS  on %T.Hospnum = Mas.HospNum where 1=1";

const char lookupSelect[] =
    "SELECT top 100 pat.HospNum,IDNum,LastName + ', ' + MiddleName + ' ' + FirstName as PatientName,  "
    "CONVERT(varchar,BirthDate,101) as BirthDate,Sex     From Patient_Data.dbo.tbpatient PAT left outer join  "
    "Patient_Data.dbo.tbMaster MAS  on  PAT.Hospnum = Mas.HospNum where 1=1";

QString registrationStatement(const QString &filters)
{
    QString sql;
    for (const QString table : {QStringLiteral("tbPatient"), QStringLiteral("tbOutPatient")}) {
        if (!sql.isEmpty())
            sql += QStringLiteral(" union all ");
        sql += QString::fromLatin1(registrationSelect).replace(QLatin1String("%T"), table)
               + QString(filters).replace(QLatin1String("%T"), table);
    }
    return sql + QStringLiteral(" ORDER BY  admdate desc, idnum desc ");
}

QString todayMdy()
{
    return QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"));
}

QString ageText(const QDate &birth)
{
    return QString::number(int(std::floor((birth.daysTo(QDate::currentDate()) + 1) / 365.25)));
}

QString dateTimeText(const QDate &date, int hour = 0, int minute = 0)
{
    return platform::ui::defaultDateTimeText(QDateTime(date, QTime(hour, minute)));
}

QStringList column(const Grid *grid, int col)
{
    QStringList cells;
    for (int r = 1; r < grid->rows(); ++r)
        cells << grid->textMatrix(r, col);
    return cells;
}

QString rowText(const Grid *grid, int row)
{
    QStringList cells;
    for (int c = 0; c < grid->cols(); ++c)
        cells << grid->textMatrix(row, c);
    return cells.join(QLatin1Char('\t'));
}

QPoint cellCentre(Grid *grid, int row, int col)
{
    const QModelIndex index = grid->model()->index(row - 1, col);
    grid->scrollTo(index);
    return grid->visualRect(index).center();
}

} // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void patientQuery_data();
    void patientQuery();
    void inputCheck_data();
    void inputCheck();
    void patientRows_data();
    void patientRows();
    void listStopsAt120();
    void pick_data();
    void pick();
    void registrationQuery_data();
    void registrationQuery();
    void todayKeepsHospitalNumber();
    void doubleClickOpensRegistration();
    void doubleClickOnHeadingOnlyDoesNothing();
    void goAdmission_data();
    void goAdmission();
    void enterInAdmissionNumberRunsGoTwice();
    void openNeedsBothNumbers_data();
    void openNeedsBothNumbers();
    void handOffFile_data();
    void handOffFile();
    void handOffWriteFailureStillOpens();
    void failuresGoThroughGuard_data();
    void failuresGoThroughGuard();
    void secondSearchInsideFill();
    void pickInsideFillResumesIt();
    void resetInsideRegistrationFill();
    void patientRecordWindow_data();
    void patientRecordWindow();

private:
    QStringList newStatements();
    QStringList newStatementsStartingWith(const QString &prefix);
    QByteArray handOffBytes() const;
    void searchLastName(const QString &lastName);

    QTemporaryDir m_databaseDir, m_traceDir;
    std::unique_ptr<QTemporaryDir> m_programDir;
    QString m_tracePath;
    qint64 m_traceOffset = 0;
    std::unique_ptr<platform::Connection> m_connection;
    TestUser m_user;
    frmMain2 *w = nullptr;
    QStringList m_messages;
};

void TestSearchWindow::initTestCase()
{
    QVERIFY(m_databaseDir.isValid() && m_traceDir.isValid());
    searchtest::createDatabase(m_databaseDir.path(), QDate::currentDate());
    // The engine writes every statement it receives here, exactly as received.
    m_tracePath = m_traceDir.filePath(QStringLiteral("trace.jsonl"));
    qputenv("TALVOR_SQL_TRACE", QFile::encodeName(m_tracePath));
    m_connection = platform::openConnection(m_databaseDir.path());
    platform::components::registerFactory(QStringLiteral("prjPatientBrelmontaxis.ctlHeader"),
                                          [](QWidget *parent) { return new RecordingHeader(parent); });
    platform::ui::MessageBox::setResponder(
        [this](const platform::ui::ShownMessage &message) { m_messages << message.text; });
}

void TestSearchWindow::init()
{
    m_programDir = std::make_unique<QTemporaryDir>();
    platform::files::setProgramFolderForTests(m_programDir->path());
    w = new frmMain2(m_connection.get(), &m_user);
    newStatements();
    headerCalls.clear();
    m_messages.clear();
}

void TestSearchWindow::cleanup()
{
    delete w;
    w = nullptr;
}

QStringList TestSearchWindow::newStatements()
{
    QFile trace(m_tracePath);
    if (!trace.open(QIODevice::ReadOnly))
        return {};
    trace.seek(m_traceOffset);
    QStringList statements;
    while (!trace.atEnd()) {
        const QByteArray line = trace.readLine().trimmed();
        if (!line.isEmpty())
            statements << QJsonDocument::fromJson(line).object().value(QStringLiteral("statement")).toString();
    }
    m_traceOffset = trace.pos();
    return statements;
}

QStringList TestSearchWindow::newStatementsStartingWith(const QString &prefix)
{
    QStringList matching;
    for (const QString &s : newStatements())
        if (s.startsWith(prefix))
            matching << s;
    return matching;
}

QByteArray TestSearchWindow::handOffBytes() const
{
    QFile file(m_programDir->filePath(QStringLiteral("LastPatient.txt")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestSearchWindow::searchLastName(const QString &lastName)
{
    w->txtLastName->setText(lastName);
    QTest::keyClick(w->txtLastName, Qt::Key_Return);
}

void TestSearchWindow::patientQuery_data()
{
    QTest::addColumn<QString>("hospNum");
    QTest::addColumn<QString>("lastName");
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<QString>("middleName");
    QTest::addColumn<QString>("birthDate");
    QTest::addColumn<QString>("conditions");
    QTest::addColumn<QStringList>("listed");

    const QString noBirth = platform::ui::MaskedDateField::emptyText;
    QTest::newRow("last name") << "" << "DELA" << "" << "" << noBirth
                               << " and lastname like 'DELA%' " << QStringList{"H0001", "H0002"};
    QTest::newRow("hospital number and last name")
        << "H0001" << "DE" << "" << "" << noBirth << " and lastname like 'DE%'  and hospnum =  'H0001' "
        << QStringList{"H0001"};
    QTest::newRow("hospital number does not switch names off")
        << "H0001" << "GAR" << "" << "" << noBirth << " and lastname like 'GAR%'  and hospnum =  'H0001' "
        << QStringList{};
    QTest::newRow("every field")
        << "H0001" << "DELA" << "JU" << "SA" << "03/15/1980"
        << " and lastname like 'DELA%'  and hospnum =  'H0001'  and firstname like  'JU%'  and  middlename like  "
           "'SA%'  and birthdate =  '03/15/1980' "
        << QStringList{"H0001"};
    QTest::newRow("first and middle name") << "" << "" << "MA" << "LO" << noBirth
                                           << " and firstname like  'MA%'  and  middlename like  'LO%' "
                                           << QStringList{"H0002"};
    QTest::newRow("birth date alone") << "" << "" << "" << "" << "07/04/1980"
                                      << " and birthdate =  '07/04/1980' " << QStringList{"H0003"};
    QTest::newRow("impossible birth date") << "" << "DELO" << "" << "" << "02/30/1980"
                                           << " and lastname like 'DELO%' " << QStringList{"H0003"};
    QTest::newRow("partly typed birth date") << "" << "GA" << "" << "" << "07/0"
                                             << " and lastname like 'GA%' " << QStringList{"H0004"};
    QTest::newRow("blanks and case kept") << " h0004" << "ga" << "" << "" << noBirth
                                          << " and lastname like 'ga%'  and hospnum =  ' h0004' " << QStringList{};
}

void TestSearchWindow::patientQuery()
{
    QFETCH(QString, hospNum);
    QFETCH(QString, lastName);
    QFETCH(QString, firstName);
    QFETCH(QString, middleName);
    QFETCH(QString, birthDate);
    QFETCH(QString, conditions);
    QFETCH(QStringList, listed);

    w->txtHospNum->setText(hospNum);
    w->txtLastName->setText(lastName);
    w->txtFirstName->setText(firstName);
    w->txtMiddleName->setText(middleName);
    w->txtBirthDate->setText(birthDate);
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    QTest::mouseClick(w->cmdSearch, Qt::LeftButton);

    QCOMPARE(newStatementsStartingWith(QStringLiteral("SELECT top 120 HospNum")),
             QStringList{QString::fromLatin1(patientSelect) + conditions + QString::fromLatin1(patientOrder)});
    QCOMPARE(column(w->Grid1, 0), listed);
    QCOMPARE(w->txtIDNum->text(), QString());
    QCOMPARE(w->txtAdmDate->text(), platform::ui::MaskedDateField::emptyText);
    QCOMPARE(w->txtHospNum->text(), hospNum);
    QVERIFY(m_messages.isEmpty());
}

void TestSearchWindow::inputCheck_data()
{
    QTest::addColumn<QString>("hospNum");
    QTest::addColumn<QString>("lastName");
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<QString>("middleName");
    QTest::addColumn<QString>("birthDate");
    QTest::addColumn<bool>("searches");
    QTest::addColumn<QString>("label");

    const QString warning = QStringLiteral("Enter name with more than 1 characters.");
    const QString noBirth = platform::ui::MaskedDateField::emptyText;
    QTest::newRow("nothing filled") << "" << "" << "" << "" << noBirth << false << warning;
    QTest::newRow("one letter in each name") << "" << "D" << "J" << "S" << noBirth << false << warning;
    QTest::newRow("partly typed birth date") << "" << "D" << "" << "" << "07/04/19" << false << warning;
    QTest::newRow("two letters of a first name") << "" << "" << "JU" << "" << noBirth << true << "";
    QTest::newRow("two letters of a middle name") << "" << "" << "" << "SA" << noBirth << true << "";
    QTest::newRow("birth date alone") << "" << "" << "" << "" << "07/04/1980" << true << "";
    // The hospital number skips the check and leaves the label as it was.
    QTest::newRow("hospital number alone") << "H0001" << "" << "" << "" << noBirth << true << "-";
}

void TestSearchWindow::inputCheck()
{
    QFETCH(QString, hospNum);
    QFETCH(QString, lastName);
    QFETCH(QString, firstName);
    QFETCH(QString, middleName);
    QFETCH(QString, birthDate);
    QFETCH(bool, searches);
    QFETCH(QString, label);

    const QString admDate = w->txtAdmDate->text();
    w->txtHospNum->setText(hospNum);
    w->txtLastName->setText(lastName);
    w->txtFirstName->setText(firstName);
    w->txtMiddleName->setText(middleName);
    w->txtBirthDate->setText(birthDate);
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    QTest::mouseClick(w->cmdSearch, Qt::LeftButton);

    QCOMPARE(w->lblWarning->text(), label);
    QCOMPARE(newStatementsStartingWith(QStringLiteral("SELECT top 120 HospNum")).size(), searches ? 1 : 0);
    if (!searches) {
        QCOMPARE(w->txtAdmDate->text(), admDate);
        QCOMPARE(w->txtIDNum->text(), QStringLiteral("IP-1001"));
    }
}

void TestSearchWindow::patientRows_data()
{
    QTest::addColumn<QString>("lastName");
    QTest::addColumn<QStringList>("rows");

    const QString juan = QStringLiteral("03/15/1980 (") + ageText(QDate(1980, 3, 15)) + ")";
    QTest::newRow("full rows in name order")
        << "DELA"
        << QStringList{"H0001\tH0001\tH0001\tDELA CRUZ, JUAN SANTOS\t" + juan + "\t12 Rizal St San Roque 1100",
                       // No birth date gives age 0; no address leaves the two blanks.
                       "H0002\tH0002\tH0002\tDELA CRUZ, MARIA LOPEZ\t (0)\t  "};
    QTest::newRow("one address part missing")
        << "DELOS"
        << QStringList{"H0003\tH0003\tH0003\tDELOS SANTOS, ANA REYES\t07/04/1980 (" + ageText(QDate(1980, 7, 4))
                       + ")\t5 Mabini  1200"};
    QTest::newRow("no middle name gives no name")
        << "GARCIA"
        << QStringList{"H0004\tH0004\tH0004\t\t01/02/1975 (" + ageText(QDate(1975, 1, 2)) + ")\t1 Luna Poblacion 1300"};
    QTest::newRow("no match") << "ZZ" << QStringList{};
}

void TestSearchWindow::patientRows()
{
    QFETCH(QString, lastName);
    QFETCH(QStringList, rows);

    searchLastName(lastName);
    QStringList shown;
    for (int r = 1; r < w->Grid1->rows(); ++r)
        shown << rowText(w->Grid1, r);
    QCOMPARE(shown, rows);
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
}

void TestSearchWindow::listStopsAt120()
{
    searchLastName(QStringLiteral("CAPTEST"));
    QCOMPARE(w->Grid1->rows(), 121);
    QStringList expected;
    for (int i = 0; i < 120; ++i)
        expected << QStringLiteral("CAPTEST, F%1 X").arg(i, 3, 10, QLatin1Char('0'));
    QCOMPARE(column(w->Grid1, 3), expected);
}

void TestSearchWindow::pick_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("hospNum");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("registrations");

    const QStringList juan{"OP-2001", "IP-1002", "OP-1001", "IP-1001"};
    QTest::newRow("second patient") << 2 << QList<int>{} << "H0002" << "DELA CRUZ, MARIA LOPEZ"
                                    << QStringList{"OP-2002"};
    QTest::newRow("first patient, newest first") << 1 << QList<int>{} << "H0001" << "DELA CRUZ, JUAN SANTOS" << juan;
    // A key picks the row current when it goes down, before an arrow moves the selection.
    QTest::newRow("arrow down picks the row it leaves")
        << 1 << QList<int>{Qt::Key_Down} << "H0001" << "DELA CRUZ, JUAN SANTOS" << juan;
    QTest::newRow("any key picks") << 2 << QList<int>{Qt::Key_Up, Qt::Key_A} << "H0001" << "DELA CRUZ, JUAN SANTOS"
                                   << juan;
}

void TestSearchWindow::pick()
{
    QFETCH(int, row);
    QFETCH(QList<int>, keys);
    QFETCH(QString, hospNum);
    QFETCH(QString, name);
    QFETCH(QStringList, registrations);

    searchLastName(QStringLiteral("DELA"));
    QTest::mouseClick(w->Grid1->viewport(), Qt::LeftButton, {}, cellCentre(w->Grid1, row, 3));
    for (int key : keys)
        QTest::keyClick(w->Grid1, Qt::Key(key));

    QCOMPARE(w->txtHospNum->text(), hospNum);
    QCOMPARE(w->SelectedPatientName, name);
    QCOMPARE(column(w->Grid2, 1), registrations);
    // The search emptied the admission date, so the pick lists every date.
    const QStringList lists = newStatementsStartingWith(QStringLiteral("SELECT top 120 tbPatient"));
    QVERIFY(!lists.isEmpty());
    QCOMPARE(lists.last(), registrationStatement(" and %T.hospnum =  '" + hospNum + "' "));
}

void TestSearchWindow::registrationQuery_data()
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

void TestSearchWindow::registrationQuery()
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

void TestSearchWindow::todayKeepsHospitalNumber()
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

void TestSearchWindow::doubleClickOpensRegistration()
{
    searchLastName(QStringLiteral("DELA"));
    QTest::mouseClick(w->Grid1->viewport(), Qt::LeftButton, {}, cellCentre(w->Grid1, 1, 0));
    headerCalls.clear();
    QTest::mouseDClick(w->Grid2->viewport(), Qt::LeftButton, {}, cellCentre(w->Grid2, 2, 3));

    QCOMPARE(w->txtHospNum->text(), QStringLiteral("H0001"));
    QCOMPARE(w->txtIDNum->text(), QStringLiteral("IP-1002"));
    QCOMPARE(w->SelectedPatientName, QStringLiteral("DELA CRUZ, JUAN SANTOS"));
    QCOMPARE(handOffBytes(), QByteArray("H0001|IP-1002|DELA CRUZ, JUAN SANTOS"));
    QCOMPARE(headerCalls, (QStringList{"HospNum=H0001", "IDNum=IP-1002", "PatientName=DELA CRUZ, JUAN SANTOS",
                                       "LoadPatient"}));
    QVERIFY(m_messages.isEmpty());
}

void TestSearchWindow::doubleClickOnHeadingOnlyDoesNothing()
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

void TestSearchWindow::goAdmission_data()
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

void TestSearchWindow::goAdmission()
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

void TestSearchWindow::enterInAdmissionNumberRunsGoTwice()
{
    w->txtIDNum->setText(QStringLiteral("IP-1001"));
    w->txtIDNum->setFocus();
    QTest::keyClick(w->txtIDNum, Qt::Key_Return);

    const QStringList once{"HospNum=H0001", "IDNum=IP-1001", "PatientName=DELA CRUZ, SANTOS JUAN", "LoadPatient"};
    QCOMPARE(headerCalls, once + once);
    QCOMPARE(newStatementsStartingWith(QStringLiteral("SELECT top 100")).size(), 2);
    QCOMPARE(handOffBytes(), QByteArray("H0001|IP-1001|DELA CRUZ, SANTOS JUAN"));
    QVERIFY(m_messages.isEmpty());
}

void TestSearchWindow::openNeedsBothNumbers_data()
{
    QTest::addColumn<QString>("hospNum");
    QTest::addColumn<QString>("idNum");
    QTest::newRow("no hospital number") << "" << "IP-1001";
    QTest::newRow("no admission number") << "H0001" << "";
}

void TestSearchWindow::openNeedsBothNumbers()
{
    QFETCH(QString, hospNum);
    QFETCH(QString, idNum);
    w->txtHospNum->setText(hospNum);
    w->txtIDNum->setText(idNum);
    w->ShowBrelmontaxis();
    QCOMPARE(m_messages, QStringList{"Select an Admission Record."});
    QVERIFY(headerCalls.isEmpty());
    QVERIFY(!QFile::exists(m_programDir->filePath(QStringLiteral("LastPatient.txt"))));
}

void TestSearchWindow::handOffFile_data()
{
    QTest::addColumn<QString>("hospNum");
    QTest::addColumn<QString>("idNum");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("three fields") << "H0001" << "IP-1001" << "DELA CRUZ, JUAN SANTOS"
                                  << QByteArray("H0001|IP-1001|DELA CRUZ, JUAN SANTOS");
    QTest::newRow("empty name ends with the bar") << "H0001" << "IP-1001" << "" << QByteArray("H0001|IP-1001|");
    QTest::newRow("blanks count as filled") << " " << "  " << " " << QByteArray(" |  | ");
    QTest::newRow("bar inside a field") << "H|1" << "IP|2" << "A|B" << QByteArray("H|1|IP|2|A|B");
    QTest::newRow("single-byte code page") << "H0005" << "IP-5" << QString::fromUtf8("PE\u00d1A, JOS\u00c9")
                                           << QByteArray("H0005|IP-5|PE\xd1" "A, JOS\xc9");
}

void TestSearchWindow::handOffFile()
{
    QFETCH(QString, hospNum);
    QFETCH(QString, idNum);
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);

    QFile earlier(m_programDir->filePath(QStringLiteral("LastPatient.txt")));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("H9999|IP-9999|AN EARLIER RECORD, MUCH LONGER THAN ANY OF THESE\r\n");
    earlier.close();

    w->txtHospNum->setText(hospNum);
    w->txtIDNum->setText(idNum);
    w->SelectedPatientName = name;
    w->ShowBrelmontaxis();

    QCOMPARE(handOffBytes(), bytes);
    QCOMPARE(headerCalls, (QStringList{"HospNum=" + hospNum, "IDNum=" + idNum, "PatientName=" + name, "LoadPatient"}));
    QVERIFY(m_messages.isEmpty());
}

void TestSearchWindow::handOffWriteFailureStillOpens()
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

void TestSearchWindow::failuresGoThroughGuard_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("button");
    QTest::newRow("patient search") << "txtLastName" << "cmdSearch";
    QTest::newRow("registration list") << "txtHospNum" << "cmdSearch2";
    QTest::newRow("admission lookup") << "txtIDNum" << "cmdGoAdmission";
}

void TestSearchWindow::failuresGoThroughGuard()
{
    QFETCH(QString, box);
    QFETCH(QString, button);

    w->findChild<QLineEdit *>(box)->setText(QStringLiteral("O'NEIL"));
    QTest::mouseClick(w->findChild<QPushButton *>(button), Qt::LeftButton);

    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(headerCalls.isEmpty());

    // The window goes on working.
    w->findChild<QLineEdit *>(box)->clear();
    searchLastName(QStringLiteral("DELA"));
    QCOMPARE(w->Grid1->rows(), 3);
}

void TestSearchWindow::secondSearchInsideFill()
{
    bool started = false;
    const auto connection = connect(w->Grid1->model(), &QAbstractItemModel::rowsInserted, this, [&] {
        if (started)
            return;
        started = true;
        // Runs in the yield after the first row, as a clerk's second Enter would.
        QTimer::singleShot(0, this, [this] { searchLastName(QStringLiteral("DELA")); });
    });
    searchLastName(QStringLiteral("CAPTEST"));
    disconnect(connection);

    QVERIFY(started);
    QCOMPARE(newStatementsStartingWith(QStringLiteral("SELECT top 120 HospNum")).size(), 2);
    QCOMPARE(column(w->Grid1, 0), (QStringList{"H0001", "H0002"}));
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
}

void TestSearchWindow::pickInsideFillResumesIt()
{
    int inserted = 0;
    const auto connection = connect(w->Grid1->model(), &QAbstractItemModel::rowsInserted, this, [&] {
        if (++inserted == 3)
            QTimer::singleShot(0, this, [this] {
                QTest::mouseClick(w->Grid1->viewport(), Qt::LeftButton, {}, cellCentre(w->Grid1, 2, 0));
            });
    });
    searchLastName(QStringLiteral("CAPTEST"));
    disconnect(connection);

    QCOMPARE(w->txtHospNum->text(), QStringLiteral("C0001"));
    QCOMPARE(w->SelectedPatientName, QStringLiteral("CAPTEST, F001 X"));
    // The registration list lowered StopListing, so the patient list went on to its end.
    QCOMPARE(w->Grid1->rows(), 121);
    QCOMPARE(w->Grid2->rows(), 1);
}

void TestSearchWindow::resetInsideRegistrationFill()
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

void TestSearchWindow::patientRecordWindow_data()
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

void TestSearchWindow::patientRecordWindow()
{
    QFETCH(QString, hospNum);
    QFETCH(QString, idNum);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, admissionDate);

    platform::components::showPatientRecord(m_connection.get(), hospNum, idNum, QStringLiteral("HANDED ON"));

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
        QCOMPARE(label("lblBirthDate"), "03/15/1980 (age " + ageText(QDate(1980, 3, 15)) + ")");
        QCOMPARE(label("lblAddress"), QStringLiteral("12 Rizal St, San Roque, 1100"));
    }
}

QTEST_MAIN(TestSearchWindow)
#include "tst_searchwindow.moc"
