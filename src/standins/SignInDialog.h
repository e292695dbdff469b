#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace standins {

// The modal sign-in: database, user name, password. Each OK is one attempt; a refused attempt is
// explained in the dialog with the tries left, and the last refusal says that the sign-in ends
// before it does. While an attempt waits for a database the dialog shows it, keeps painting and
// takes Cancel.
class SignInDialog : public QDialog {
    Q_OBJECT
public:
    // Returns an empty text when the attempt succeeded, else the reason to show. It may let
    // events run while it waits; it ends its wait when the dialog is closed meanwhile.
    using Attempt = std::function<QString(const QString &database, const QString &user,
                                          const QString &password)>;

    // `demoFolder`: the demo database, whose sign-in the dialog tells a first-time user.
    SignInDialog(const QString &database, const QString &demoFolder, int maxTries, Attempt attempt,
                 QWidget *parent = nullptr);

    int failures() const { return m_failures; }

public slots:
    void reject() override;

private:
    void tryOnce();
    void setWaiting(bool waiting);
    void showDemoHint();

    Attempt m_attempt;
    QString m_demoFolder;
    int m_maxTries;
    int m_failures = 0;
    bool m_waiting = false;
    bool m_cancelled = false;
    QLineEdit *m_database;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QLabel *m_demoHint;
    QLabel *m_message;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace standins
