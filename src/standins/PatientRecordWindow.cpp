#include "standins/PatientRecordWindow.h"

#include "platform/data/Connection.h"
#include "platform/data/SqlText.h"
#include "platform/ui/DateText.h"

#include <QDateTime>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace standins {

namespace {

// The record screen shows the age a clerk would tell the patient: whole years by birthdays.
int calendarAge(const QDate &birth, const QDate &today)
{
    int years = today.year() - birth.year();
    if (today.month() < birth.month() || (today.month() == birth.month() && today.day() < birth.day()))
        --years;
    return years;
}

QString text(const platform::Recordset &rs, const char *name)
{
    const QVariant value = rs.field(QString::fromLatin1(name));
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return platform::ui::defaultDateTimeText(value.toDateTime());
    return value.toString().trimmed();
}

QString joined(const QStringList &parts, const QString &separator)
{
    QStringList present;
    for (const QString &part : parts)
        if (!part.isEmpty())
            present << part;
    return present.join(separator);
}

struct Record {
    QString hospNum, idNum, name, sex, birthDate, address, admissionDate, kind;
};

Record readRecord(platform::Connection *connection, const QString &hospNum, const QString &idNum,
                  const QString &patientName)
{
    Record record{hospNum, idNum, patientName, {}, {}, {}, {}, {}};

    auto patient = connection->openRecordset(
        QStringLiteral("SELECT LastName, FirstName, MiddleName, Sex, CONVERT(varchar, BirthDate, 101) AS BirthDate, "
                       "HouseStreet, Barangay, ZipCode FROM Patient_Data.dbo.tbMaster WHERE HospNum = ")
        + platform::quotedText(hospNum));
    if (!patient->eof()) {
        const QString lastName = text(*patient, "LastName");
        const QString given = joined({text(*patient, "FirstName"), text(*patient, "MiddleName")},
                                     QStringLiteral(" "));
        record.name = joined({lastName, given}, QStringLiteral(", "));
        record.sex = text(*patient, "Sex");
        record.birthDate = text(*patient, "BirthDate");
        if (const auto birth = platform::ui::parseDateText(record.birthDate))
            record.birthDate += QStringLiteral(" (age %1)").arg(calendarAge(birth->date(), QDate::currentDate()));
        record.address = joined({text(*patient, "HouseStreet"), text(*patient, "Barangay"),
                                 text(*patient, "ZipCode")},
                                QStringLiteral(", "));
    } else {
        record.name = patientName;
        record.sex = QStringLiteral("(no patient with this hospital number)");
    }
    patient->close();

    // The two numbers may come from different choices; only a registration of this patient counts.
    const struct {
        const char *table;
        const char *kind;
    } tables[] = {{"tbPatient", "In-patient"}, {"tbOutPatient", "Out-patient"}};
    for (const auto &t : tables) {
        auto registration = connection->openRecordset(
            QStringLiteral("SELECT AdmDate FROM Patient_Data.dbo.%1 WHERE IDNum = %2 AND HospNum = %3")
                .arg(QString::fromLatin1(t.table), platform::quotedText(idNum), platform::quotedText(hospNum)));
        if (!registration->eof()) {
            record.admissionDate = text(*registration, "AdmDate");
            record.kind = QString::fromLatin1(t.kind);
            registration->close();
            return record;
        }
        registration->close();
    }
    record.kind = QStringLiteral("(no registration with this admission number for this patient)");
    return record;
}

class PatientRecordView : public QWidget {
public:
    PatientRecordView()
    {
        setObjectName(QStringLiteral("PatientRecordWindow"));
        setWindowTitle(QStringLiteral("Patient record"));
        setAttribute(Qt::WA_DeleteOnClose);
        auto *form = new QFormLayout(this);
        const struct {
            QLabel **label;
            const char *name;
            const char *caption;
        } rows[] = {
            {&m_hospNum, "lblHospNum", "Hospital #:"},
            {&m_idNum, "lblIDNum", "Admission #:"},
            {&m_name, "lblName", "Name:"},
            {&m_sex, "lblSex", "Sex:"},
            {&m_birthDate, "lblBirthDate", "Birth date:"},
            {&m_address, "lblAddress", "Address:"},
            {&m_admissionDate, "lblAdmDate", "Admission date:"},
            {&m_kind, "lblKind", "Registration:"},
        };
        for (const auto &row : rows) {
            *row.label = new QLabel(this);
            (*row.label)->setObjectName(QString::fromLatin1(row.name));
            (*row.label)->setTextInteractionFlags(Qt::TextSelectableByMouse);
            form->addRow(QString::fromLatin1(row.caption), *row.label);
        }
        setMinimumWidth(380);
    }

    void showRecord(const Record &record)
    {
        m_hospNum->setText(record.hospNum);
        m_idNum->setText(record.idNum);
        m_name->setText(record.name);
        m_sex->setText(record.sex);
        m_birthDate->setText(record.birthDate);
        m_address->setText(record.address);
        m_admissionDate->setText(record.admissionDate);
        m_kind->setText(record.kind);
    }

private:
    QLabel *m_hospNum = nullptr, *m_idNum = nullptr, *m_name = nullptr, *m_sex = nullptr,
           *m_birthDate = nullptr, *m_address = nullptr, *m_admissionDate = nullptr, *m_kind = nullptr;
};

} // namespace

void showPatientRecord(platform::Connection *connection, const QString &hospNum, const QString &idNum,
                       const QString &patientName)
{
    if (!connection)
        throw platform::Failure(QStringLiteral("The patient header has no database connection."));
    // Read before touching the window, so a failed read leaves the last record on show.
    const Record record = readRecord(connection, hospNum, idNum, patientName);

    static QPointer<PatientRecordView> view;
    if (!view)
        view = new PatientRecordView;
    view->showRecord(record);
    view->show();
    view->raise();
    view->activateWindow();
}

} // namespace standins
