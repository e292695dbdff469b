#include "../search/SearchTestDatabase.h"

#include "platform/components/Components.h"
#include "standins/CurrentUser.h"
#include "platform/data/Connection.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using standins::clsCurrentUser;

namespace {

// Runs `step` on the sign-in dialog once it is up, while ShowMain waits in its own event loop.
void whenDialogShows(const std::function<void(QWidget *dialog)> &step)
{
    QTimer::singleShot(0, [step] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        // A step that fails must not leave the test waiting on the dialog for ever.
        QTimer::singleShot(30000, dialog, &QWidget::close);
        step(dialog);
    });
}

void attempt(QWidget *dialog, const QString &user, const QString &password)
{
    auto *userName = dialog->findChild<QLineEdit *>(QStringLiteral("txtUserName"));
    auto *passwordField = dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
    userName->setText(user);
    passwordField->setFocus();
    QTest::keyClicks(passwordField, password);
    QTest::keyClick(passwordField, Qt::Key_Return); // Enter is OK
}

QSettings settings()
{
    return QSettings(QStringLiteral("Talvor"), QStringLiteral("Patient Brelmontaxis"));
}

} // namespace

class TestSignIn : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_database;
    qint64 m_users = 0;

private slots:
    void initTestCase()
    {
        searchtest::createDatabase(m_database.path(), QDate::currentDate());
        auto connection = platform::openConnection(m_database.path());
        m_users = connection->openRecordset(QStringLiteral("SELECT COUNT(*) AS n FROM Build_File.dbo.tbTalvorUser"))
                      ->field(QStringLiteral("n")).toLongLong();
    }

    void init()
    {
        qputenv("TALVOR_DATABASE", m_database.path().toUtf8());
        settings().clear();
    }

    void checkOfTheUser_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("right") << "demo" << "demo" << "";
        QTest::newRow("wrong password") << "demo" << "Demo" << "The user name or the password is not right.";
        QTest::newRow("unknown user") << "nobody" << "demo" << "The user name or the password is not right.";
        QTest::newRow("apostrophe") << "o'neil" << "x" << "The user name or the password is not right.";
        QTest::newRow("no user name") << "" << "demo" << "Enter your user name.";
        QTest::newRow("other department") << "nurse" << "secret" << "This user may not sign in to this program.";
    }
    void checkOfTheUser()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, refusal);
        clsCurrentUser component;
        component.setPasswordDeptCode(QStringLiteral("18"));
        QCOMPARE(component.signIn(m_database.path(), user, password), refusal);
        QCOMPARE(component.Connected(), refusal.isEmpty());
        QCOMPARE(qobject_cast<platform::Connection *>(component.sqlconnection()) != nullptr, refusal.isEmpty());
        if (refusal.isEmpty())
            QCOMPARE(component.UserID().toString(), QStringLiteral("demo"));
    }

    void aMistypedFolderIsExplained()
    {
        clsCurrentUser component;
        QCOMPARE(component.signIn(QStringLiteral("demo"), QStringLiteral("demo"), QStringLiteral("demo")),
                 QStringLiteral("There is no database folder or ODBC data source named \"demo\"."));
        QVERIFY(!component.Connected());
    }

    void aDatabaseThatCannotOpenIsExplained()
    {
        clsCurrentUser component;
        const QString reason = component.signIn(m_database.path() + QStringLiteral("/missing"),
                                                QStringLiteral("demo"), QStringLiteral("demo"));
        QVERIFY(!reason.isEmpty());
        QVERIFY(!component.Connected());
    }

    void whereTheSignInStarts()
    {
        QCOMPARE(clsCurrentUser::defaultDatabase(), m_database.path());
        qunsetenv("TALVOR_DATABASE");
        QCOMPARE(QDir::fromNativeSeparators(clsCurrentUser::defaultDatabase()), clsCurrentUser::demoFolder());
        settings().setValue(QStringLiteral("SignIn/LastDatabase"), QStringLiteral("/srv/talvor"));
        QCOMPARE(clsCurrentUser::defaultDatabase(), QStringLiteral("/srv/talvor"));
    }

    void threeRefusalsEndTheSignIn()
    {
        clsCurrentUser component;
        component.setPasswordDeptCode(QStringLiteral("18"));
        int triesSeen = 0;
        whenDialogShows([&](QWidget *dialog) {
            QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txtDatabase"))->text(), m_database.path());
            QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->echoMode(), QLineEdit::Password);
            QTRY_VERIFY(QApplication::focusWidget()
                        && QApplication::focusWidget()->objectName() == QLatin1String("txtUserName"));
            for (int i = 0; i < 3 && dialog->isVisible(); ++i, ++triesSeen) {
                attempt(dialog, QStringLiteral("demo"), QStringLiteral("wrong"));
                if (dialog->isVisible())
                    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->text(), QString());
            }
        });
        component.ShowMain();
        QCOMPARE(triesSeen, 3);
        QVERIFY(!component.Connected());
        QVERIFY(!settings().contains(QStringLiteral("SignIn/LastDatabase")));
    }

    void cancel()
    {
        clsCurrentUser component;
        whenDialogShows([](QWidget *dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        });
        component.ShowMain();
        QVERIFY(!component.Connected());
    }

    void secondTrySignsInAndRemembersOnlyTheDatabase()
    {
        clsCurrentUser component;
        component.setPasswordDeptCode(QStringLiteral("18"));
        whenDialogShows([](QWidget *dialog) {
            attempt(dialog, QStringLiteral("demo"), QStringLiteral("nope"));
            QVERIFY(dialog->isVisible());
            attempt(dialog, QStringLiteral("demo"), QStringLiteral("demo"));
        });
        component.ShowMain();
        QVERIFY(component.Connected());
        QCOMPARE(settings().allKeys(), QStringList{QStringLiteral("SignIn/LastDatabase")});
        QCOMPARE(settings().value(QStringLiteral("SignIn/LastDatabase")).toString(), m_database.path());
    }

    // Whatever is typed or pasted into a field of the sign-in, the attempt is refused with one
    // reason in the dialog, which keeps its size and lets the user try again.
    void hostileInput_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        const QList<QPair<const char *, QString>> texts = {
            {"apostrophes", QStringLiteral("o'neil''")},
            {"statement after a quote", QStringLiteral("x'; DELETE FROM Build_File.dbo.tbTalvorUser --")},
            {"always true", QStringLiteral("' OR '1'='1")},
            {"wildcards", QStringLiteral("%_%")},
            {"brackets", QStringLiteral("[d]emo]")},
            {"10,000 characters", QString(10000, QLatin1Char('d'))},
            {"control characters", QStringLiteral("de\tmo\x01\x7f") + QChar(0) + QStringLiteral("\r\n")},
            {"right to left", QStringLiteral("\u202e\u0646\u05d0omed")},
            {"astral", QStringLiteral("\U0001F600demo")},
            {"lone surrogate", QString(QChar(0xD800))},
        };
        for (const char *field : {"txtDatabase", "txtUserName", "txtPassword"})
            for (const auto &[name, text] : texts)
                QTest::addRow("%s %s", field, name) << QString::fromLatin1(field) << text;
    }
    void hostileInput()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        clsCurrentUser component;
        component.setPasswordDeptCode(QStringLiteral("18"));
        QString reason;
        QSize sizeBefore, sizeAfter;
        whenDialogShows([&](QWidget *dialog) {
            sizeBefore = dialog->size();
            auto *edit = dialog->findChild<QLineEdit *>(field);
            dialog->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("demo"));
            dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(QStringLiteral("demo"));
            edit->setText(text);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            QApplication::processEvents();
            sizeAfter = dialog->size();
            reason = dialog->findChild<QLabel *>(QStringLiteral("lblMessage"))->text();
            // The next try still works.
            dialog->findChild<QLineEdit *>(QStringLiteral("txtDatabase"))->setText(m_database.path());
            attempt(dialog, QStringLiteral("demo"), QStringLiteral("demo"));
        });
        component.ShowMain();
        QVERIFY2(!reason.isEmpty(), "the attempt was not refused");
        QVERIFY2(sizeAfter.width() <= qMax(sizeBefore.width(), 640) && sizeAfter.height() <= 480,
                 qPrintable(QStringLiteral("%1x%2").arg(sizeAfter.width()).arg(sizeAfter.height())));
        QVERIFY(component.Connected());
        // The user table is as it was.
        auto *connection = qobject_cast<platform::Connection *>(component.sqlconnection());
        QVERIFY(connection);
        QCOMPARE(connection->openRecordset(QStringLiteral("SELECT COUNT(*) AS n FROM Build_File.dbo.tbTalvorUser"))
                     ->field(QStringLiteral("n")).toLongLong(),
                 m_users);
    }

    void theDemoIsMadeOnFirstUse()
    {
        qunsetenv("TALVOR_DATABASE");
        const QString demo = clsCurrentUser::demoFolder();
        QDir(demo).removeRecursively();
        clsCurrentUser component;
        component.setPasswordDeptCode(QStringLiteral("18"));
        QCOMPARE(component.signIn(QDir::toNativeSeparators(demo), QStringLiteral("demo"), QStringLiteral("demo")),
                 QString());
        QVERIFY(component.Connected());
        // Nothing of the build is left beside the finished database.
        QCOMPARE(QDir(demo).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
};

int main(int argc, char **argv)
{
    // The sign-in remembers things in the user's settings and data folders: keep ours apart.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Talvor"));
    QCoreApplication::setApplicationName(QStringLiteral("Patient Brelmontaxis"));
    TestSignIn test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_signin.moc"
