#include "platform/components/CurrentUser.h"

#include "platform/components/SignInDialog.h"
#include "platform/data/Connection.h"
#include "platform/data/OdbcConnectionString.h"
#include "platform/security/Password.h"
#include "platform/ui/MessageBox.h"
#include "tools/demo-db/DemoDatabase.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSettings>
#include <QStandardPaths>

namespace platform::components {

namespace {

const QString lastDatabaseKey = QStringLiteral("SignIn/LastDatabase");
const QString wrongSignIn = QStringLiteral("The user name or the password is not right.");

QSettings settings()
{
    return QSettings(QStringLiteral("Talvor"), QStringLiteral("Patient Brelmontaxis"));
}

QString sqlText(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

bool demoExists(const QString &folder)
{
    return QFileInfo::exists(folder + QStringLiteral("/Patient_Data.sqlite"));
}

// Built beside the final folder and moved into place whole, so a run that is interrupted never
// leaves a half-filled demo that would be taken for a finished one.
void createDemo(const QString &folder, QWidget *progressParent)
{
    const QString partial = folder + QStringLiteral(".partial");
    QDir(partial).removeRecursively();
    if (!QDir().mkpath(partial))
        throw Failure(QStringLiteral("Cannot create the folder %1.").arg(partial));
    QProgressDialog progress(QStringLiteral("Creating the demo database..."), QString(), 0, 100,
                             progressParent);
    progress.setWindowTitle(ui::applicationTitle);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    demo::create(partial, demo::Options{}, [&progress](int percent) { progress.setValue(percent); });
    progress.setValue(100);
    QDir(folder).removeRecursively();
    if (!QDir().rename(partial, folder))
        throw Failure(QStringLiteral("Cannot move the demo database to %1.").arg(folder));
}

} // namespace

clsCurrentUser::clsCurrentUser(QObject *parent)
    : QObject(parent)
{
}

clsCurrentUser::~clsCurrentUser() = default;

QObject *clsCurrentUser::sqlconnection() const
{
    return m_connection;
}

QString clsCurrentUser::demoFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/demo");
}

QString clsCurrentUser::defaultDatabase()
{
    const QString fromEnvironment = qEnvironmentVariable("TALVOR_DATABASE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString last = settings().value(lastDatabaseKey).toString();
    if (!last.isEmpty())
        return last;
    return QDir::toNativeSeparators(demoFolder());
}

void clsCurrentUser::ShowMain()
{
    SignInDialog dialog(defaultDatabase(), maxTries,
                        [this, &dialog](const QString &database, const QString &user,
                                        const QString &password) {
                            return signIn(database, user, password, &dialog);
                        });
    dialog.exec();
}

QString clsCurrentUser::signIn(const QString &database, const QString &user, const QString &password,
                               QWidget *progressParent)
{
    if (database.isEmpty())
        return QStringLiteral("Enter the database.");
    std::unique_ptr<Connection> connection;
    QVariant userId;
    try {
        const bool embedded = isEmbeddedTarget(database);
        // SQL Server may sign in the Windows user without a name; our own user table may not.
        if (embedded && user.isEmpty())
            return QStringLiteral("Enter your user name.");
        if (embedded && QDir::cleanPath(QDir::fromNativeSeparators(database)) == QDir::cleanPath(demoFolder())
            && !demoExists(demoFolder()))
            createDemo(demoFolder(), progressParent);
        connection = openConnection(database, user, password);
        if (embedded) {
            // The embedded engine has no logins of its own: our user table is the check.
            auto rs = connection->openRecordset(
                QStringLiteral("SELECT UserID, PasswordHash, DeptCode FROM Build_File.dbo.tbTalvorUser WHERE UserID = ")
                + sqlText(user));
            if (rs->eof())
                return wrongSignIn;
            userId = rs->field(QStringLiteral("UserID"));
            const QString hash = rs->field(QStringLiteral("PasswordHash")).toString();
            const QString deptCode = rs->field(QStringLiteral("DeptCode")).toString().trimmed();
            rs->close();
            if (!security::verifyPassword(hash, password))
                return wrongSignIn;
            if (!m_deptCode.isEmpty() && deptCode != m_deptCode)
                return QStringLiteral("This user may not sign in to this program.");
        } else {
            // On SQL Server the login itself was the check.
            userId = user;
        }
    } catch (const Failure &failure) {
        // A bare word that is neither a folder nor a data source is most likely a mistyped
        // folder; the driver manager's words alone do not say that.
        if (!isEmbeddedTarget(database) && !database.contains(QLatin1Char('='))
            && failure.description().contains(QLatin1String("Data source name not found"), Qt::CaseInsensitive)) {
            const QString name = database.size() > 60 ? database.left(57) + QStringLiteral("...") : database;
            return QStringLiteral("There is no database folder or ODBC data source named \"%1\".").arg(name);
        }
        return failure.description();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
    m_connection = connection.release();
    m_connection->setParent(this);
    m_userId = userId;
    settings().setValue(lastDatabaseKey, odbcWithoutPassword(database));
    return {};
}

} // namespace platform::components
