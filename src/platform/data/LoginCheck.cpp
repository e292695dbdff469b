#include "platform/data/LoginCheck.h"

#include "platform/data/OdbcConnection.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <optional>
#include <vector>

namespace platform {

struct LoginCheck::Outcome {
    QString target, user, password;
    std::optional<DatabaseError> refusal;
};

namespace {

// Checks given up on while their driver still waits. Their threads must end before the program
// does: a thread still inside the driver while the libraries unload would take the exit down.
QMutex abandonedLock;
std::vector<QThread *> abandoned;

void waitForAbandoned()
{
    const QMutexLocker lock(&abandonedLock);
    for (QThread *thread : abandoned) {
        thread->wait();
        delete thread;
    }
    abandoned.clear();
}

} // namespace

LoginCheck::LoginCheck(const QString &target, const QString &user, const QString &password, QObject *parent)
    : QObject(parent)
    , m_outcome(std::make_shared<Outcome>(Outcome{target, user, password, std::nullopt}))
{
    m_thread = QThread::create([outcome = m_outcome] {
        try {
            openOdbcConnection(outcome->target, outcome->user, outcome->password);
        } catch (const DatabaseError &e) {
            outcome->refusal = e;
        } catch (const std::exception &e) {
            outcome->refusal = DatabaseError(QString::fromUtf8(e.what()));
        }
        // Not kept a moment longer than the attempt needs it.
        outcome->password.fill(QLatin1Char(' '));
        outcome->password.clear();
    });
    connect(m_thread, &QThread::finished, this, &LoginCheck::finished);
    m_thread->start();
}

LoginCheck::~LoginCheck()
{
    if (m_thread->isFinished()) {
        m_thread->wait();
        delete m_thread;
        return;
    }
    disconnect(m_thread, nullptr, this, nullptr);
    const QMutexLocker lock(&abandonedLock);
    if (abandoned.empty())
        qAddPostRoutine(waitForAbandoned);
    abandoned.push_back(m_thread);
}

bool LoginCheck::isFinished() const
{
    return m_thread->isFinished();
}

const DatabaseError *LoginCheck::refusal() const
{
    if (!m_thread->isFinished() || !m_outcome->refusal)
        return nullptr;
    return &*m_outcome->refusal;
}

} // namespace platform
