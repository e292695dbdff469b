#include "search/frmMain2.h"

#include "platform/audit/AuditTrail.h"
#include "platform/data/Connection.h"
#include "platform/ui/DateText.h"
#include "platform/ui/EventPump.h"
#include "platform/ui/Grid.h"
#include "platform/ui/MaskedDateField.h"
#include "search/RecordsetText.h"

#include <QLineEdit>

void frmMain2::ListRegistrations()
{
    setCursor(Qt::WaitCursor);
    Grid2->setRows(1);
    const quint64 generation = Grid2->generation();
    txtIDNum->setText(QString());

    platform::Statement sql(platform::Statement::Kind::Select);
    AppendRegistrationQuery(sql, QStringLiteral("tbPatient"));
    sql += QStringLiteral(" union all ");
    AppendRegistrationQuery(sql, QStringLiteral("tbOutPatient"));
    sql += QStringLiteral(" ORDER BY  admdate desc, idnum desc ");

    platform::audit::Scope audited(platform::audit::Event::Registrations,
                                   {{QStringLiteral("hospNum"), txtHospNum->text()},
                                    {QStringLiteral("admDate"), typedDate(txtAdmDate)},
                                    {QStringLiteral("rows"), 0}});
    int shown = 0;
    auto rs = m_connection->openRecordset(sql);
    StopListing = false;
    const QString tab = QStringLiteral("\t");
    // The yield lets other events run mid-fill; a nested list or a Reset cuts the grid back, and
    // rows of ours added below their result would mix two lists.
    while (!rs->eof() && !StopListing && Grid2->generation() == generation) {
        const QString hospNum = search::fieldText(rs->field(QStringLiteral("HospNum")));
        const QString idNum = search::fieldText(rs->field(QStringLiteral("IDNum")));
        const QString admDate = search::fieldText(rs->field(QStringLiteral("admdate")));
        const QString patientName = search::fieldText(rs->field(QStringLiteral("PatientName")));
        const QString birthDate = search::fieldText(rs->field(QStringLiteral("BirthDate")));
        Grid2->addItem(hospNum + tab + idNum + tab + admDate + tab + patientName + tab + birthDate);
        audited.set(QStringLiteral("rows"), ++shown);
        rs->moveNext();
        platform::ui::doEvents();
    }
    rs->close();
    rs.reset();
    unsetCursor();
}

// One table's half of the registration query. The table is its own alias, so the filters can
// name it; values go in as typed, as everywhere in this window.
void frmMain2::AppendRegistrationQuery(platform::Statement &sql, const QString &tableName)
{
    sql += QStringLiteral("SELECT top 120 ");
    sql += tableName;
    sql += QStringLiteral(".HospNum,IDNum,LastName + ', ' + FirstName  + ' ' +  MiddleName as PatientName,admdate, ");
    sql += QStringLiteral(" CONVERT(varchar,BirthDate,101) as BirthDate ,Sex  ");
    sql += QStringLiteral("      ");
    sql += QStringLiteral(" From Patient_Data.dbo.");
    sql += tableName;
    sql += QStringLiteral(" as ");
    sql += tableName;
    sql += QStringLiteral(" left outer join ");
    sql += QStringLiteral(" Patient_Data.dbo.tbMaster MAS  on ");
    sql += tableName;
    sql += QStringLiteral(".Hospnum = Mas.HospNum where 1=1");
    const QString hospNum = txtHospNum->text();
    if (!hospNum.isEmpty()) {
        sql += QStringLiteral(" and ");
        sql += tableName;
        sql += QStringLiteral(".hospnum =  '");
        sql.addValue(hospNum, QStringLiteral("Hospital #"));
        sql += QStringLiteral("' ");
    }
    // A partly typed or impossible date adds no filter and no message.
    const QString admDate = txtAdmDate->text();
    if (admDate != platform::ui::MaskedDateField::emptyText && platform::ui::isDateText(admDate)) {
        sql += QStringLiteral(" and CONVERT(varchar,AdmDate,101)  =  '");
        sql.addValue(admDate, QStringLiteral("Admission Date"));
        sql += QStringLiteral("' ");
    }
}

void frmMain2::openRegistrationRow()
{
    const int current = Grid2->row();
    if (current < 1 || Grid2->rows() <= 1)
        return;
    txtHospNum->setText(Grid2->textMatrix(current, 0));
    txtIDNum->setText(Grid2->textMatrix(current, 1));
    SelectedPatientName = Grid2->textMatrix(current, 3);
    const auto audited = auditedOpen(QStringLiteral("grid"));
    ShowBrelmontaxis();
}
