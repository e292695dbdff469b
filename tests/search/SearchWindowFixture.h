#pragma once
// The search window on a small database of its own, with the engine's statement trace, a header
// control that records what it is told, and message boxes answered by the test.

#include "platform/data/Connection.h"
#include "platform/ui/Grid.h"
#include "search/frmMain2.h"

#include <QDate>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QWidget>
#include <memory>

namespace searchtest {

extern QStringList headerCalls;

// Stands in for the site's header control and records what the window tells it, in order.
class RecordingHeader : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QObject *Connection READ none WRITE setConnection)
    Q_PROPERTY(QVariant UserID READ value WRITE setUserID)
    Q_PROPERTY(QString HospNum READ text WRITE setHospNum)
    Q_PROPERTY(QString IDNum READ text WRITE setIDNum)
    Q_PROPERTY(QString PatientName READ text WRITE setPatientName)
public:
    using QWidget::QWidget;
    QObject *none() const { return nullptr; }
    QVariant value() const { return {}; }
    QString text() const { return {}; }
    void setConnection(QObject *) { headerCalls << QStringLiteral("Connection"); }
    void setUserID(const QVariant &) { headerCalls << QStringLiteral("UserID"); }
    void setHospNum(const QString &v) { headerCalls << QStringLiteral("HospNum=") + v; }
    void setIDNum(const QString &v) { headerCalls << QStringLiteral("IDNum=") + v; }
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

inline constexpr char patientSelect[] =
    "SELECT top 120 HospNum,HospNum,LastName + ', ' + FirstName  + ' ' +  MiddleName as PatientName,  "
    "CONVERT(varchar,BirthDate,101) as BirthDate ,Sex,HouseStreet,Barangay,ZipCode         "
    "From Patient_Data.dbo.tbMaster       where 1=1";
inline constexpr char patientOrder[] = " ORDER BY  lastname,firstname asc ";

// %T stands for the registration table of each half.
inline constexpr char registrationSelect[] =
    "SELECT top 120 %T.HospNum,IDNum,LastName + ', ' + FirstName  + ' ' +  MiddleName as PatientName,admdate,  "
    "CONVERT(varchar,BirthDate,101) as BirthDate ,Sex         From Patient_Data.dbo.%T as %T left outer join  "
    "Patient_Data.dbo.tbMaster MAS  on %T.Hospnum = Mas.HospNum where 1=1";

inline constexpr char lookupSelect[] =
    "SELECT top 100 pat.HospNum,IDNum,LastName + ', ' + MiddleName + ' ' + FirstName as PatientName,  "
    "CONVERT(varchar,BirthDate,101) as BirthDate,Sex     From Patient_Data.dbo.tbpatient PAT left outer join  "
    "Patient_Data.dbo.tbMaster MAS  on  PAT.Hospnum = Mas.HospNum where 1=1";

// The header calls of one open, in their order.
QStringList openCalls(const QString &hospNum, const QString &idNum, const QString &name);
QString registrationStatement(const QString &filters);
QString todayMdy();
QString ageText(const QDate &birth);
QString dateTimeText(const QDate &date, int hour = 0, int minute = 0);
QStringList column(const platform::ui::Grid *grid, int col);
QString rowText(const platform::ui::Grid *grid, int row);
QPoint cellCentre(platform::ui::Grid *grid, int row, int col);

class SearchWindowFixture : public QObject {
    Q_OBJECT
protected:
    void createDatabase();  // from initTestCase
    void openWindow();      // from init
    void closeWindow();     // from cleanup

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

} // namespace searchtest
