#include "standins/PatientRecordWindow.h"

#include "platform/data/Connection.h"
#include "platform/data/SqlText.h"
#include "platform/ui/DateText.h"
#include "platform/ui/ProgramIcon.h"

#include <QApplication>
#include <QDateTime>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
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
    Q_OBJECT
public:
    // A window of its own over `owner`, which it never outlives.
    explicit PatientRecordView(QWidget *owner)
        : QWidget(owner, Qt::Window)
    {
        setObjectName(QStringLiteral("PatientRecordWindow"));
        setWindowTitle(QStringLiteral("Patient record"));
        setWindowIcon(platform::ui::programIcon());
        setAttribute(Qt::WA_DeleteOnClose);
        // The search window keeps the keyboard: the release of the Enter that opened this record
        // still belongs to the admission number field there.
        setAttribute(Qt::WA_ShowWithoutActivating);
        // Only the program's own windows keep it running; this one merely shows what they opened.
        setAttribute(Qt::WA_QuitOnClose, false);
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
                       const QString &patientName, QWidget *over)
{
    if (!connection)
        throw platform::Failure(QStringLiteral("The patient header has no database connection."));
    // Read before touching the window, so a failed read leaves the last record on show.
    const Record record = readRecord(connection, hospNum, idNum, patientName);

    QWidget *owner = over ? over->window() : nullptr;
    PatientRecordView *view = owner ? owner->findChild<PatientRecordView *>(QString(), Qt::FindDirectChildrenOnly)
                                    : nullptr;
    if (!view)
        view = new PatientRecordView(owner);
    view->showRecord(record);
    if (!view->isVisible()) {
        view->adjustSize();
        // Where the clerk is looking: over the middle of the window that opened it. Once shown,
        // it stays where the clerk puts it.
        if (owner)
            view->move(owner->frameGeometry().center() - view->rect().center());
        QWidget *typingIn = QApplication::activeWindow();
        view->show();
        // Some window systems activate every window they show, whatever it asks for; the
        // keyboard goes back to the window the clerk was typing in.
        if (typingIn && typingIn != view && typingIn->isVisible())
            typingIn->activateWindow();
    }
    view->raise();
}

} // namespace standins

#include "PatientRecordWindow.moc"
