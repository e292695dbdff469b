#include "startup/Module1.h"

#include "platform/Failure.h"
#include "platform/audit/AuditTrail.h"
#include "platform/components/Components.h"
#include "platform/data/Connection.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MessageBox.h"
#include "search/frmMain2.h"

#include <QCoreApplication>
#include <QPointer>

namespace Module1 {

namespace {

// Both are set once during start-up and kept until the program ends.
QPointer<QObject> g_currentUser;
QPointer<platform::Connection> g_sharedConnection;

const QString currentUserProgId = QStringLiteral("Talvor_User.clsCurrentUser");
// The department whose users may use this program.
const QString departmentCode = QStringLiteral("18");

// The session ends with the program; the trail says so once, however often start-up ran.
void recordSignOutAtTheEnd()
{
    static bool connected = false;
    if (connected)
        return;
    connected = true;
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] {
        platform::audit::record(platform::audit::Event::SignOut, platform::audit::Outcome::Success);
    });
}

} // namespace

QObject *currentUser()
{
    return g_currentUser;
}

platform::Connection *sharedConnection()
{
    return g_sharedConnection;
}

int Main()
{
    using namespace platform::components;
    int status = 0;
    platform::audit::setNotice([](const QString &text) { platform::ui::MessageBox::show(nullptr, text); });
    const bool ok = platform::ui::guarded(nullptr, QStringLiteral("The program could not start."), [&status] {
        g_currentUser = create(currentUserProgId);
        setMember(g_currentUser, "PasswordDeptCode", departmentCode);
        callMember(g_currentUser, "ShowMain");
        const QVariant connected = getMember(g_currentUser, "Connected");
        // A sign-in that was cancelled or refused has said all there is to say.
        if (connected.isNull() || !connected.toBool())
            return;
        auto *connection = qobject_cast<platform::Connection *>(getMember(g_currentUser, "sqlconnection").value<QObject *>());
        if (!connection)
            throw platform::Failure(QStringLiteral("The sign-in did not hand over a database connection."));
        g_sharedConnection = connection;
        recordSignOutAtTheEnd();
        auto *window = new frmMain2(connection, g_currentUser);
        setMember(window->headerControl(), "CurrentUser", QVariant::fromValue<QObject *>(g_currentUser));
        window->show();
        status = 0;
    });
    return ok ? status : 1;
}

} // namespace Module1
