#pragma once
// The search window. Controls carry the names the site's clerks and the old code know them by;
// each control's objectName is the same text.

#include <QMap>
#include <QPointer>
#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class frmAdmin;

namespace platform {
class Connection;
class Statement;
}
namespace platform::audit {
class Scope;
}
namespace platform::ui {
class Grid;
class MaskedDateField;
} // namespace platform::ui

class frmMain2 : public QWidget {
    Q_OBJECT
public:
    // Creating the window runs its load steps: column set-up, the header control's Connection,
    // UserID and InitHeader, show, today's date, ListRegistrations, focus in txtLastName.
    // `connection` and `currentUser` live as long as the program.
    frmMain2(platform::Connection *connection, QObject *currentUser, QWidget *parent = nullptr);
    ~frmMain2() override;

    // Opens the registration whose numbers stand in txtHospNum and txtIDNum.
    void ShowBrelmontaxis();

    QObject *headerControl() const { return ctlHeader1; }

    // Window-level state shared by the searches and the hand-off.
    QString SelectedPatientName;
    bool StopListing = false;

    // Frame "Search Method 1"
    QGroupBox *Frame2 = nullptr;
    QMap<int, QLabel *> Lable1; // the label array, by index
    QLineEdit *txtHospNum = nullptr;
    QPushButton *cmdSearchPatient = nullptr;
    QLineEdit *txtLastName = nullptr;
    platform::ui::MaskedDateField *txtBirthDate = nullptr;
    QLineEdit *txtBirthDate2 = nullptr;
    QLineEdit *txtMiddleName = nullptr;
    QLineEdit *txtFirstName = nullptr;
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmdReset = nullptr;
    QLabel *Label1 = nullptr;
    platform::ui::Grid *Grid1 = nullptr;
    QLabel *lblWarning = nullptr;
    // Frame "Registration"
    QGroupBox *Frame3 = nullptr;
    QLabel *Label2 = nullptr;
    platform::ui::MaskedDateField *txtAdmDate = nullptr;
    QPushButton *cmdSearch2 = nullptr;
    QPushButton *cmdToday = nullptr;
    platform::ui::Grid *Grid2 = nullptr;
    // Frame "Search Method 2"
    QGroupBox *Frame1 = nullptr;
    QLineEdit *txtIDNum = nullptr;
    QPushButton *cmdGoAdmission = nullptr;
    // On the window
    QPlainTextEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr;
    QWidget *ctlHeader1 = nullptr;
    QPushButton *cmdAdmin = nullptr;

    // Procedures (each runs inside the failure guard when an event starts it).
    void SearchPatients();
    void BuildPatientQuery(platform::Statement &sql);
    void ListRegistrations();
    void AppendRegistrationQuery(platform::Statement &sql, const QString &tableName);
    void LookUpAdmission();
    void WriteLastPatient();

    // Event actions, as the event table names them.
    void load();
    void pickPatient();          // Grid1 click, or any key down in Grid1
    void openRegistrationRow();  // Grid2 double click
    void goAdmission();          // cmdGoAdmission click, Enter in txtIDNum
    void reset();                // cmdReset click
    void today();                // cmdToday click
    void checkBirthDate();       // txtBirthDate focus lost
    void showAdmin();            // cmdAdmin click

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout();
    void wireEvents();
    // Runs one event action inside the failure guard.
    void run(const QString &whatFailed, void (frmMain2::*action)());
    // The audit record of the open about to run, made when the returned scope ends.
    platform::audit::Scope auditedOpen(const QString &via) const;
    // A date field's text as typed; empty when it shows only the mask.
    static QString typedDate(const platform::ui::MaskedDateField *field);

    platform::Connection *m_connection;
    QObject *m_currentUser;
    QPointer<frmAdmin> m_admin;
};
