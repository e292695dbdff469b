#include "standins/SignInDialog.h"

#include "platform/ui/MessageBox.h"
#include "platform/ui/ProgramIcon.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace standins {

namespace {

const QString errorStyle = QStringLiteral("color: #b00000");

bool sameFolder(const QString &a, const QString &b)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(a.trimmed())) == QDir::cleanPath(QDir::fromNativeSeparators(b));
}

} // namespace

SignInDialog::SignInDialog(const QString &database, const QString &demoFolder, int maxTries, Attempt attempt,
                           QWidget *parent)
    : QDialog(parent)
    , m_attempt(std::move(attempt))
    , m_demoFolder(demoFolder)
    , m_maxTries(maxTries)
    , m_database(new QLineEdit(database, this))
    , m_user(new QLineEdit(this))
    , m_password(new QLineEdit(this))
    , m_demoHint(new QLabel(QStringLiteral("Demo database: user demo, password demo"), this))
    , m_message(new QLabel(this))
{
    setObjectName(QStringLiteral("SignInDialog"));
    setWindowTitle(QStringLiteral("Sign in - ") + platform::ui::applicationTitle);
    setWindowIcon(platform::ui::programIcon());
    m_database->setObjectName(QStringLiteral("txtDatabase"));
    m_database->setToolTip(QStringLiteral("A folder of the embedded database, or an ODBC connection string"));
    m_database->setMinimumWidth(360);
    // A long path or connection string is told apart by its start, not by its last characters.
    m_database->setCursorPosition(0);
    m_user->setObjectName(QStringLiteral("txtUserName"));
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_demoHint->setObjectName(QStringLiteral("lblDemoHint"));
    // Hidden, not taken out, so the dialog keeps its height while the field is edited.
    QSizePolicy keepRoom = m_demoHint->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_demoHint->setSizePolicy(keepRoom);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setWordWrap(true);
    m_message->hide();

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Database:"), m_database);
    form->addRow(QString(), m_demoHint);
    form->addRow(QStringLiteral("&User name:"), m_user);
    form->addRow(QStringLiteral("&Password:"), m_password);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_ok->setDefault(true); // Enter anywhere in the dialog is OK
    connect(m_ok, &QPushButton::clicked, this, &SignInDialog::tryOnce);
    connect(m_cancel, &QPushButton::clicked, this, &SignInDialog::reject);
    connect(m_database, &QLineEdit::textChanged, this, &SignInDialog::showDemoHint);
    showDemoHint();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_user->setFocus();
}

void SignInDialog::showDemoHint()
{
    m_demoHint->setVisible(!m_demoFolder.isEmpty() && sameFolder(m_database->text(), m_demoFolder));
}

void SignInDialog::setWaiting(bool waiting)
{
    m_waiting = waiting;
    for (QWidget *field : {static_cast<QWidget *>(m_database), static_cast<QWidget *>(m_user),
                           static_cast<QWidget *>(m_password), static_cast<QWidget *>(m_ok)})
        field->setEnabled(!waiting);
    if (waiting) {
        m_message->setStyleSheet(QString());
        m_message->setText(QStringLiteral("Connecting to the database... (Cancel stops waiting)"));
        m_message->show();
        setCursor(Qt::BusyCursor);
        m_cancel->setFocus();
    } else {
        unsetCursor();
    }
}

void SignInDialog::reject()
{
    // Closing while an attempt waits ends the wait as well; the attempt sees the dialog closed.
    if (m_waiting)
        m_cancelled = true;
    QDialog::reject();
}

void SignInDialog::tryOnce()
{
    m_cancelled = false;
    setWaiting(true);
    const QString reason = m_attempt(m_database->text().trimmed(), m_user->text().trimmed(), m_password->text());
    setWaiting(false);
    // The password is not kept a moment longer than the attempt needs it.
    m_password->clear();
    if (m_cancelled)
        return;
    if (reason.isEmpty()) {
        accept();
        return;
    }
    const int left = m_maxTries - ++m_failures;
    if (left <= 0) {
        m_message->hide();
        platform::ui::MessageBox::show(
            this, reason + QStringLiteral("\n\nThat was the last of %1 tries; the sign-in ends now.").arg(m_maxTries));
        reject();
        return;
    }
    m_message->setStyleSheet(errorStyle);
    m_message->setText(reason + QLatin1Char('\n')
                       + (left == 1 ? QStringLiteral("1 try left.") : QStringLiteral("%1 tries left.").arg(left)));
    m_message->show();
    m_password->setFocus();
}

} // namespace standins
