#pragma once
// The program's own current-user component: the sign-in, the signed-in user and the connection
// the rest of the program works on. Reached by member name only, so a site's component can
// stand in its place.

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

class QWidget;

namespace platform {
class Connection;
}

namespace standins {

class clsCurrentUser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString PasswordDeptCode READ PasswordDeptCode WRITE setPasswordDeptCode)
    Q_PROPERTY(bool Connected READ Connected)
    Q_PROPERTY(QObject *sqlconnection READ sqlconnection)
    Q_PROPERTY(QVariant UserID READ UserID)

public:
    static inline const QString progId = QStringLiteral("Talvor_User.clsCurrentUser");
    static constexpr int maxTries = 3;

    explicit clsCurrentUser(QObject *parent = nullptr);
    ~clsCurrentUser() override;

    QString PasswordDeptCode() const { return m_deptCode; }
    void setPasswordDeptCode(const QString &code) { m_deptCode = code; }
    bool Connected() const { return m_connection != nullptr; }
    QObject *sqlconnection() const;
    QVariant UserID() const { return m_userId; }

    // Shows the modal sign-in and returns when it is over, signed in or not.
    Q_INVOKABLE void ShowMain();

    // One sign-in attempt. Returns an empty text when the user is signed in, else what to tell
    // the user. The password is used for this check only. `progressParent` is the sign-in
    // dialog: progress is shown over it, and closing it ends a wait for a server.
    QString signIn(const QString &database, const QString &user, const QString &password,
                   QWidget *progressParent = nullptr);

    // Where the sign-in starts: TALVOR_DATABASE, else the last database used, else the demo.
    static QString defaultDatabase();
    static QString demoFolder();

    // Tests see the wait before each answer of the embedded sign-in instead of sitting it out.
    static void setWaitForTests(std::function<void(int milliseconds)> wait);

private:
    QString m_deptCode;
    QVariant m_userId;
    platform::Connection *m_connection = nullptr;
};

} // namespace standins
