#pragma once

#include "platform/Failure.h"

#include <QObject>
#include <QString>
#include <memory>

class QThread;

namespace platform {

// Tries an ODBC login on a thread of its own and closes it again, so that the window asking for
// it stays responsive, and can give up, while a server that does not answer holds the driver for
// up to its login timeout. A connection belongs to the thread that opened it, so the caller opens
// its own once the check has passed.
class LoginCheck : public QObject {
    Q_OBJECT
public:
    LoginCheck(const QString &target, const QString &user, const QString &password, QObject *parent = nullptr);
    // A check still waiting for its server is left to end by itself; the program waits for it
    // only when it ends.
    ~LoginCheck() override;
    Q_DISABLE_COPY_MOVE(LoginCheck)

    bool isFinished() const;
    // Once finished: the driver's refusal, or null when the login worked.
    const DatabaseError *refusal() const;

signals:
    void finished();

private:
    struct Outcome;
    std::shared_ptr<Outcome> m_outcome;
    QThread *m_thread;
};

} // namespace platform
