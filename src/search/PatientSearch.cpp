#include "search/frmMain2.h"

#include "platform/audit/AuditTrail.h"
#include "platform/data/Connection.h"
#include "platform/ui/DateText.h"
#include "platform/ui/EventPump.h"
#include "platform/ui/Grid.h"
#include "platform/ui/MaskedDateField.h"
#include "records/GetAge.h"
#include "search/RecordsetText.h"

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

namespace {

// A name needs this many characters before it is worth a search of the whole master table.
constexpr int minimumNameLength = 2;

// GetAge reads "now" the way the old general date-time conversion wrote it.
QString nowText()
{
    return QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("M/d/yyyy h:mm:ss AP"));
}

} // namespace

void frmMain2::SearchPatients()
{
    if (txtHospNum->text().isEmpty()) {
        const bool birthDateGiven = platform::ui::isDateText(txtBirthDate->text());
        const bool nameGiven = txtLastName->text().size() >= minimumNameLength
                               || txtFirstName->text().size() >= minimumNameLength
                               || txtMiddleName->text().size() >= minimumNameLength;
        if (!birthDateGiven && !nameGiven) {
            lblWarning->setText(QStringLiteral("Enter name with more than 1 characters."));
            return;
        }
        lblWarning->setText(QString());
    }

    // A later pick then lists every registration of the patient, not only one day's.
    txtAdmDate->setText(platform::ui::MaskedDateField::emptyText);
    setCursor(Qt::WaitCursor);
    Grid1->setRows(1);
    const quint64 generation = Grid1->generation();
    txtIDNum->setText(QString());

    platform::Statement sql(platform::Statement::Kind::Select);
    BuildPatientQuery(sql);
    sql += QStringLiteral(" ORDER BY  lastname,firstname asc ");

    // Made before the statement is sent, so a search the database refuses is recorded as well.
    platform::audit::Scope audited(platform::audit::Event::Search,
                                   {{QStringLiteral("hospNum"), txtHospNum->text()},
                                    {QStringLiteral("lastName"), txtLastName->text()},
                                    {QStringLiteral("firstName"), txtFirstName->text()},
                                    {QStringLiteral("middleName"), txtMiddleName->text()},
                                    {QStringLiteral("birthDate"), typedDate(txtBirthDate)},
                                    {QStringLiteral("patients"), 0}});
    int shown = 0;
    auto rs = m_connection->openRecordset(sql);
    StopListing = false;
    const QString tab = QStringLiteral("\t");
    // The yield lets a pick, a Reset or a second search run mid-fill; once the grid has been cut
    // back under us, our remaining rows belong to a list that is no longer shown.
    while (!rs->eof() && !StopListing && Grid1->generation() == generation) {
        const QString hospNum = search::fieldText(rs->field(QStringLiteral("HospNum")));
        const QString birthDate = search::fieldText(rs->field(QStringLiteral("BirthDate")));
        const QString birthCell = birthDate + QStringLiteral(" (")
                                  + QString::number(records::GetAge(birthDate, nowText()))
                                  + QStringLiteral(")");
        const QString addressCell = search::fieldText(rs->field(QStringLiteral("HouseStreet"))) + QStringLiteral(" ")
                                    + search::fieldText(rs->field(QStringLiteral("Barangay"))) + QStringLiteral(" ")
                                    + search::fieldText(rs->field(QStringLiteral("ZipCode")));
        Grid1->addItem(hospNum + tab + hospNum + tab + hospNum + tab
                       + search::fieldText(rs->field(QStringLiteral("PatientName"))) + tab + birthCell + tab
                       + addressCell);
        audited.set(QStringLiteral("patients"), ++shown);
        rs->moveNext();
        platform::ui::doEvents();
    }
    rs->close();
    rs.reset();
    unsetCursor();
}

// Values go in exactly as typed: the site's screens have always searched this way, and an
// apostrophe that breaks the statement is reported by the window's failure guard.
void frmMain2::BuildPatientQuery(platform::Statement &sql)
{
    sql += QStringLiteral("SELECT top 120 HospNum,HospNum,LastName + ', ' + FirstName  + ' ' +  MiddleName as PatientName, ");
    sql += QStringLiteral(" CONVERT(varchar,BirthDate,101) as BirthDate ,Sex,HouseStreet,Barangay,ZipCode  ");
    sql += QStringLiteral("      ");
    sql += QStringLiteral(" From Patient_Data.dbo.tbMaster  ");
    sql += QStringLiteral("     where 1=1");
    // Values go in as typed; each is remembered by its field, so the data layer can refuse one
    // that would leave its literal before anything is sent.
    if (!txtLastName->text().isEmpty()) {
        sql += QStringLiteral(" and lastname like '");
        sql.addValue(txtLastName->text(), QStringLiteral("Last Name"));
        sql += QStringLiteral("%' ");
    }
    if (!txtHospNum->text().isEmpty()) {
        sql += QStringLiteral(" and hospnum =  '");
        sql.addValue(txtHospNum->text(), QStringLiteral("Hospital #"));
        sql += QStringLiteral("' ");
    }
    if (!txtFirstName->text().isEmpty()) {
        sql += QStringLiteral(" and firstname like  '");
        sql.addValue(txtFirstName->text(), QStringLiteral("First Name"));
        sql += QStringLiteral("%' ");
    }
    if (!txtMiddleName->text().isEmpty()) {
        sql += QStringLiteral(" and  middlename like  '");
        sql.addValue(txtMiddleName->text(), QStringLiteral("Middle Name"));
        sql += QStringLiteral("%' ");
    }
    if (const auto birthDate = platform::ui::parseDateText(txtBirthDate->text())) {
        sql += QStringLiteral(" and birthdate =  '");
        sql.addValue(platform::ui::formatMdy(birthDate->date()), QStringLiteral("Birthdate"));
        sql += QStringLiteral("' ");
    }
}

void frmMain2::pickPatient()
{
    // Raised first, so a fill this click interrupts ends when it resumes.
    StopListing = true;
    const int current = Grid1->row();
    if (current >= 1 && Grid1->rows() > 1) {
        txtHospNum->setText(Grid1->textMatrix(current, 0));
        SelectedPatientName = Grid1->textMatrix(current, 3);
        ListRegistrations();
    }
}
