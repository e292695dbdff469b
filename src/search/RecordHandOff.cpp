#include "search/frmMain2.h"

#include "platform/Failure.h"
#include "platform/audit/AuditTrail.h"
#include "platform/components/Components.h"
#include "platform/files/TextFile.h"
#include "platform/ui/MessageBox.h"

#include <QLineEdit>

void frmMain2::ShowBrelmontaxis()
{
    const QString hospNum = txtHospNum->text();
    const QString idNum = txtIDNum->text();
    if (hospNum.isEmpty() || idNum.isEmpty()) {
        platform::ui::MessageBox::show(this, QStringLiteral("Select an Admission Record."));
        return;
    }
    // The file comes first: the site's other programs watch it and must see the new record
    // before the header control loads it. A failed write does not stop the open.
    WriteLastPatient();
    platform::components::setMember(ctlHeader1, "HospNum", hospNum);
    platform::components::setMember(ctlHeader1, "IDNum", idNum);
    platform::components::setMember(ctlHeader1, "PatientName", SelectedPatientName);
    platform::components::callMember(ctlHeader1, "LoadPatient");
}

void frmMain2::WriteLastPatient()
{
    QString description;
    try {
        const QString record = txtHospNum->text() + QStringLiteral("|") + txtIDNum->text()
                               + QStringLiteral("|") + SelectedPatientName;
        platform::files::writeWholeFile(platform::files::inHandOffFolder(QStringLiteral("LastPatient.txt")),
                                        record);
        return;
    } catch (const platform::Failure &failure) {
        description = failure.description();
    } catch (const std::exception &e) {
        description = QString::fromUtf8(e.what());
    }
    platform::ui::MessageBox::show(this, QStringLiteral("Cannot write to text file.") + description);
}

platform::audit::Scope frmMain2::auditedOpen(const QString &via) const
{
    platform::audit::Scope scope(platform::audit::Event::RecordOpened,
                                 {{QStringLiteral("hospNum"), txtHospNum->text()},
                                  {QStringLiteral("idNum"), txtIDNum->text()},
                                  {QStringLiteral("via"), via}});
    // ShowBrelmontaxis shows nothing without both numbers.
    if (txtHospNum->text().isEmpty() || txtIDNum->text().isEmpty())
        scope.setOutcome(platform::audit::Outcome::Refused);
    return scope;
}
