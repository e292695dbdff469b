#include "standins/SignInDialog.h"

#include "platform/ui/MessageBox.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace standins {

SignInDialog::SignInDialog(const QString &database, int maxTries, Attempt attempt, QWidget *parent)
    : QDialog(parent)
    , m_attempt(std::move(attempt))
    , m_maxTries(maxTries)
    , m_database(new QLineEdit(database, this))
    , m_user(new QLineEdit(this))
    , m_password(new QLineEdit(this))
    , m_message(new QLabel(this))
{
    setObjectName(QStringLiteral("SignInDialog"));
    setWindowTitle(QStringLiteral("Sign in - ") + platform::ui::applicationTitle);
    m_database->setObjectName(QStringLiteral("txtDatabase"));
    m_database->setToolTip(QStringLiteral("A folder of the embedded database, or an ODBC connection string"));
    m_database->setMinimumWidth(360);
    m_user->setObjectName(QStringLiteral("txtUserName"));
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: #b00000"));
    m_message->hide();

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Database:"), m_database);
    form->addRow(QStringLiteral("&User name:"), m_user);
    form->addRow(QStringLiteral("&Password:"), m_password);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_ok->setDefault(true); // Enter anywhere in the dialog is OK
    connect(m_ok, &QPushButton::clicked, this, &SignInDialog::tryOnce);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_user->setFocus();
}

void SignInDialog::tryOnce()
{
    m_ok->setEnabled(false);
    setCursor(Qt::WaitCursor);
    const QString reason = m_attempt(m_database->text().trimmed(), m_user->text().trimmed(),
                                     m_password->text());
    unsetCursor();
    m_ok->setEnabled(true);
    // The password is not kept a moment longer than the attempt needs it.
    m_password->clear();
    if (reason.isEmpty()) {
        accept();
        return;
    }
    if (++m_failures >= m_maxTries) {
        reject();
        return;
    }
    m_message->setText(reason);
    m_message->show();
    m_password->setFocus();
}

} // namespace standins
