#include "startup/Module1.h"

#include "platform/Failure.h"
#include "platform/components/Components.h"
#include "platform/data/Connection.h"
#include "platform/ui/Guard.h"
#include "search/frmMain2.h"

#include <QPointer>

namespace Module1 {

namespace {

// Both are set once during start-up and kept until the program ends.
QPointer<QObject> g_currentUser;
QPointer<platform::Connection> g_sharedConnection;

const QString currentUserProgId = QStringLiteral("Talvor_User.clsCurrentUser");
// The department whose users may use this program.
const QString departmentCode = QStringLiteral("18");

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
        auto *window = new frmMain2(connection, g_currentUser);
        setMember(window->headerControl(), "CurrentUser", QVariant::fromValue<QObject *>(g_currentUser));
        window->show();
        status = 0;
    });
    return ok ? status : 1;
}

} // namespace Module1
