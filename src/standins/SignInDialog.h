#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace standins {

// The modal sign-in: database, user name, password. Each OK is one attempt; a refused attempt is
// explained in the dialog and the user may try again, up to `maxTries` refusals.
class SignInDialog : public QDialog {
    Q_OBJECT
public:
    // Returns an empty text when the attempt succeeded, else the reason to show.
    using Attempt = std::function<QString(const QString &database, const QString &user,
                                          const QString &password)>;

    SignInDialog(const QString &database, int maxTries, Attempt attempt, QWidget *parent = nullptr);

    int failures() const { return m_failures; }

private:
    void tryOnce();

    Attempt m_attempt;
    int m_maxTries;
    int m_failures = 0;
    QLineEdit *m_database;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QLabel *m_message;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace standins
