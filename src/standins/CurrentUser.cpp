#include "standins/CurrentUser.h"

#include "demo/DemoDatabase.h"
#include "platform/audit/AuditTrail.h"
#include "platform/data/Connection.h"
#include "platform/data/LoginCheck.h"
#include "platform/data/OdbcConnectionString.h"
#include "platform/data/SqlText.h"
#include "platform/security/Password.h"
#include "platform/ui/MessageBox.h"
#include "standins/SignInDialog.h"
#include "standins/SignInFailures.h"

#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProgressDialog>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>

namespace standins {

namespace {

const QString lastDatabaseKey = QStringLiteral("SignIn/LastDatabase");
const QString wrongSignIn = QStringLiteral("The user name or the password is not right.");

QSettings settings()
{
    return QSettings(QStringLiteral("Talvor"), QStringLiteral("Patient Brelmontaxis"));
}

void createDemo(const QString &folder, QWidget *progressParent)
{
    QProgressDialog progress(QStringLiteral("Creating the demo database..."), QString(), 0, 100,
                             progressParent);
    progress.setWindowTitle(platform::ui::applicationTitle);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    demo::create(folder, demo::Options{}, [&progress](int percent) { progress.setValue(percent); });
    progress.setValue(100);
}

// A server that does not answer holds the driver for up to its login timeout. The first login
// runs on a thread of its own while the sign-in keeps painting; closing the sign-in ends the
// wait (false). A refusal is thrown as the driver gave it.
bool loginAnswered(const QString &database, const QString &user, const QString &password, QWidget *dialog)
{
    platform::LoginCheck check(database, user, password);
    QEventLoop wait;
    QObject::connect(&check, &platform::LoginCheck::finished, &wait, &QEventLoop::quit);
    if (auto *signIn = qobject_cast<QDialog *>(dialog))
        QObject::connect(signIn, &QDialog::finished, &wait, &QEventLoop::quit);
    if (!check.isFinished())
        wait.exec();
    if (!check.isFinished())
        return false;
    if (const platform::DatabaseError *refusal = check.refusal())
        throw *refusal;
    return true;
}

std::function<void(int)> &waitOverride()
{
    static std::function<void(int)> wait;
    return wait;
}

// The answer waits without freezing the sign-in, which keeps painting meanwhile.
void waitBeforeAnswer(int milliseconds)
{
    if (waitOverride()) {
        waitOverride()(milliseconds);
        return;
    }
    if (milliseconds <= 0)
        return;
    QEventLoop wait;
    QTimer::singleShot(milliseconds, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

// A hash with the cost settings of real ones, of a password nobody types: made once, on the
// first try, whichever name that try gives.
const QString &dummyHash()
{
    static const QString hash = platform::security::hashPassword(QUuid::createUuid().toString());
    return hash;
}

} // namespace

void clsCurrentUser::setWaitForTests(std::function<void(int milliseconds)> wait)
{
    waitOverride() = std::move(wait);
}

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
    SignInDialog dialog(defaultDatabase(), QDir::toNativeSeparators(demoFolder()), maxTries,
                        [this, &dialog](const QString &database, const QString &user,
                                        const QString &password) {
                            const QString reason = signIn(database, user, password, &dialog);
                            platform::audit::recordSignIn(user, platform::odbcWithoutPassword(database), reason);
                            return reason;
                        });
    dialog.exec();
}

QString clsCurrentUser::signIn(const QString &database, const QString &user, const QString &password,
                               QWidget *progressParent)
{
    if (database.isEmpty())
        return QStringLiteral("Enter the database.");
    std::unique_ptr<platform::Connection> connection;
    QVariant userId;
    try {
        const bool embedded = platform::isEmbeddedTarget(database);
        // SQL Server may sign in the Windows user without a name; our own user table may not.
        if (embedded && user.isEmpty())
            return QStringLiteral("Enter your user name.");
        if (embedded && QDir::cleanPath(QDir::fromNativeSeparators(database)) == QDir::cleanPath(demoFolder())
            && !demo::isCreated(demoFolder()))
            createDemo(demoFolder(), progressParent);
        if (!embedded && !loginAnswered(database, user, password, progressParent))
            return QStringLiteral("The sign-in was cancelled.");
        connection = platform::openConnection(database, user, password);
        if (embedded) {
            // The embedded engine has no logins of its own: our user table is the check.
            SignInFailures failures(connection.get());
            waitBeforeAnswer(SignInFailures::waitMilliseconds(failures.count(user)));
            auto rs = connection->openRecordset(
                QStringLiteral("SELECT UserID, PasswordHash, DeptCode FROM Build_File.dbo.tbTalvorUser WHERE UserID = ")
                + platform::quotedText(user));
            const bool known = !rs->eof();
            if (known)
                userId = rs->field(QStringLiteral("UserID"));
            // A name nobody has costs the same hash check as a known one, so the time of the
            // answer does not tell which names exist.
            const QString hash = known ? rs->field(QStringLiteral("PasswordHash")).toString() : dummyHash();
            const QString deptCode = known ? rs->field(QStringLiteral("DeptCode")).toString().trimmed() : QString();
            rs->close();
            if (!platform::security::verifyPassword(hash, password) || !known) {
                failures.failed(user);
                return wrongSignIn;
            }
            failures.succeeded(user);
            if (!m_deptCode.isEmpty() && deptCode != m_deptCode)
                return QStringLiteral("This user may not sign in to this program.");
        } else {
            // On SQL Server the login itself was the check.
            userId = user;
        }
    } catch (const platform::Failure &failure) {
        // A bare word that is neither a folder nor a data source is most likely a mistyped
        // folder; the driver manager's words alone do not say that.
        if (!platform::isEmbeddedTarget(database) && !database.contains(QLatin1Char('='))
            && failure.description().contains(QLatin1String("Data source name not found"), Qt::CaseInsensitive)) {
            const QString name = database.size() > 60 ? database.left(57) + QStringLiteral("...") : database;
            return QStringLiteral("There is no database folder or ODBC data source named \"%1\".").arg(name);
        }
        return failure.description();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
    // A stray file in the database folder is left out; the user hears of it once, here.
    if (const QStringList warnings = connection->openWarnings(); !warnings.isEmpty())
        platform::ui::MessageBox::show(progressParent, warnings.join(QLatin1Char('\n')));
    m_connection = connection.release();
    m_connection->setParent(this);
    m_userId = userId;
    QSettings remembered = settings();
    remembered.setValue(lastDatabaseKey, platform::odbcWithoutPassword(database));
    remembered.sync();
    // It names the database and its server: the user's alone, whatever the umask. Later saves
    // keep the mode the file has.
    QFile::setPermissions(remembered.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return {};
}

} // namespace standins
