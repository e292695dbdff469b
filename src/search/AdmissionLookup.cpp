#include "search/frmMain2.h"

#include "platform/audit/AuditTrail.h"
#include "platform/data/Connection.h"
#include "platform/ui/MessageBox.h"
#include "search/RecordsetText.h"

#include <QLineEdit>

void frmMain2::goAdmission()
{
    if (txtIDNum->text().isEmpty()) {
        platform::ui::MessageBox::show(this, QStringLiteral("Please enter the Admission Number."));
        return;
    }
    LookUpAdmission();
}

void frmMain2::LookUpAdmission()
{
    setCursor(Qt::WaitCursor);

    platform::Statement sql(platform::Statement::Kind::Select);
    sql += QStringLiteral("SELECT top 100 pat.HospNum,IDNum,LastName + ', ' + MiddleName + ' ' + FirstName as PatientName, ");
    sql += QStringLiteral(" CONVERT(varchar,BirthDate,101) as BirthDate,Sex  ");
    sql += QStringLiteral("  ");
    sql += QStringLiteral(" From Patient_Data.dbo.tbpatient PAT left outer join ");
    sql += QStringLiteral(" Patient_Data.dbo.tbMaster MAS  on  PAT.Hospnum = Mas.HospNum where 1=1");
    if (!txtIDNum->text().isEmpty()) {
        sql += QStringLiteral(" and pat.idnum =  '");
        sql.addValue(txtIDNum->text(), QStringLiteral("Admission #"));
        sql += QStringLiteral("' ");
    }

    auto rs = m_connection->openRecordset(sql);
    const bool found = !rs->eof();
    if (found) {
        txtHospNum->setText(search::fieldText(rs->field(QStringLiteral("HospNum"))));
        txtIDNum->setText(search::fieldText(rs->field(QStringLiteral("IDNum"))));
        // The name from the same row, so the hand-off never pairs this admission with the name
        // of a patient picked earlier.
        SelectedPatientName = search::fieldText(rs->field(QStringLiteral("PatientName")));
        rs->close();
    }
    rs.reset();

    // Opening with a hospital number left over from an earlier pick would hand on a pair of
    // numbers that do not belong together, so nothing found opens nothing.
    if (found) {
        const auto audited = auditedOpen(QStringLiteral("admissionNumber"));
        ShowBrelmontaxis();
    } else {
        platform::audit::record(platform::audit::Event::RecordOpened, platform::audit::Outcome::NotFound,
                                {{QStringLiteral("hospNum"), QString()}, {QStringLiteral("idNum"), txtIDNum->text()},
                                 {QStringLiteral("via"), QStringLiteral("admissionNumber")}});
        platform::ui::MessageBox::show(this, QStringLiteral("Select an Admission Record."));
    }
    unsetCursor();
}
