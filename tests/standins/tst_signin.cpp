#include "../search/SearchTestDatabase.h"

#include "platform/components/Components.h"
#include "platform/Failure.h"
#include "platform/data/Connection.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ProgramIcon.h"
#include "standins/CurrentUser.h"
#include "standins/SignInDialog.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

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

class PaintCounter : public QObject {
public:
    explicit PaintCounter(std::function<void()> onPaint) : m_onPaint(std::move(onPaint)) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_onPaint();
        return false;
    }

private:
    std::function<void()> m_onPaint;
};

} // namespace

class TestSignIn : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_database;
    qint64 m_users = 0;
    QStringList m_messages;
    QList<int> m_waits;

    static QString messageIn(QWidget *dialog)
    {
        auto *label = dialog->findChild<QLabel *>(QStringLiteral("lblMessage"));
        return label->isVisible() ? label->text() : QString();
    }

private slots:
    void initTestCase()
    {
        platform::ui::MessageBox::setResponder(
            [this](const platform::ui::ShownMessage &message) { m_messages << message.text; });
        clsCurrentUser::setWaitForTests([this](int milliseconds) { m_waits << milliseconds; });
        searchtest::createDatabase(m_database.path(), QDate::currentDate());
        auto connection = platform::openConnection(m_database.path());
        m_users = connection->openRecordset(QStringLiteral("SELECT COUNT(*) AS n FROM Build_File.dbo.tbTalvorUser"))
                      ->field(QStringLiteral("n")).toLongLong();
    }

    void init()
    {
        qputenv("TALVOR_DATABASE", m_database.path().toUtf8());
        settings().clear();
        m_messages.clear();
        m_waits.clear();
        // Each test starts with no failed tries on record.
        try {
            platform::openConnection(m_database.path())
                ->execute(QStringLiteral("DELETE FROM Build_File.dbo.tbTalvorSignInFailure"));
        } catch (const platform::Failure &) {
        }
    }

    void failedTriesWaitLongerAndOutliveTheProgram_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("tries"); // one letter a try: w a wrong password, r the right one
        QTest::addColumn<QList<int>>("waits"); // seconds before each answer
        QTest::newRow("three free, then doubling") << "demo" << "wwwwww" << QList<int>{0, 0, 0, 1, 2, 4};
        QTest::newRow("at most thirty seconds") << "demo" << "wwwwwwwwwww" << QList<int>{0, 0, 0, 1, 2, 4, 8, 16, 30, 30, 30};
        QTest::newRow("the right password waits too, then starts anew")
            << "demo" << "wwwwrww" << QList<int>{0, 0, 0, 1, 2, 0, 0};
        QTest::newRow("letter case is one user") << "DEMO" << "wwwww" << QList<int>{0, 0, 0, 1, 2};
        QTest::newRow("a name nobody has") << "nobody" << "wwwww" << QList<int>{0, 0, 0, 1, 2};
    }
    // Each try is a program started anew: the count lives in the database, not in the program.
    void failedTriesWaitLongerAndOutliveTheProgram()
    {
        QFETCH(QString, user);
        QFETCH(QString, tries);
        QFETCH(QList<int>, waits);
        for (const QChar t : tries) {
            clsCurrentUser component;
            component.setPasswordDeptCode(QStringLiteral("18"));
            const bool right = t == QLatin1Char('r');
            QCOMPARE(component.signIn(m_database.path(), user, right ? QStringLiteral("demo") : QStringLiteral("nope")),
                     right ? QString() : QStringLiteral("The user name or the password is not right."));
        }
        QList<int> expected;
        for (int seconds : waits)
            expected << seconds * 1000;
        QCOMPARE(m_waits, expected);
    }

    // A name nobody has is refused no faster than a known name with a wrong password (it was
    // six times faster, which told the names apart).
    void unknownNamesTakeAsLongAsKnownOnes()
    {
        QList<qint64> known, unknown;
        for (int i = 0; i < 5; ++i) {
            for (const bool isKnown : {true, false}) {
                clsCurrentUser component;
                QElapsedTimer timer;
                timer.start();
                component.signIn(m_database.path(), isKnown ? QStringLiteral("demo") : QStringLiteral("nobody%1").arg(i),
                                 QStringLiteral("nope"));
                (isKnown ? known : unknown) << timer.nsecsElapsed();
            }
        }
        std::sort(known.begin(), known.end());
        std::sort(unknown.begin(), unknown.end());
        QVERIFY2(unknown.at(2) * 2 > known.at(2) && known.at(2) * 2 > unknown.at(2),
                 qPrintable(QStringLiteral("median known %1 ms, unknown %2 ms").arg(known.at(2) / 1e6).arg(unknown.at(2) / 1e6)));
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

    // A stray file in the database folder does not stop the sign-in; the user hears of it once.
    void aStrayFileIsReportedAndSkipped()
    {
        const QString stray = QDir(m_database.path()).filePath(QStringLiteral("Zzz.sqlite"));
        QFile file(stray);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("notes\n") > 0);
        file.close();
        clsCurrentUser component;
        component.setPasswordDeptCode(QStringLiteral("18"));
        const QString reason = component.signIn(m_database.path(), QStringLiteral("demo"), QStringLiteral("demo"));
        QFile::remove(stray);
        QCOMPARE(reason, QString());
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains(QLatin1String("Zzz.sqlite")), qPrintable(m_messages.first()));
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
        const QString refused = QStringLiteral("The user name or the password is not right.");
        QStringList shown;
        whenDialogShows([&](QWidget *dialog) {
            QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txtDatabase"))->text(), m_database.path());
            QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->echoMode(), QLineEdit::Password);
            QTRY_VERIFY(QApplication::focusWidget()
                        && QApplication::focusWidget()->objectName() == QLatin1String("txtUserName"));
            for (int i = 0; i < 3 && dialog->isVisible(); ++i) {
                attempt(dialog, QStringLiteral("demo"), QStringLiteral("wrong"));
                shown << messageIn(dialog);
                if (dialog->isVisible())
                    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->text(), QString());
            }
        });
        component.ShowMain();
        // Each refusal says how many tries remain; the last one says the sign-in ends, before it does.
        QCOMPARE(shown, (QStringList{refused + "\n2 tries left.", refused + "\n1 try left.", QString()}));
        QCOMPARE(m_messages, QStringList{refused + "\n\nThat was the last of 3 tries; the sign-in ends now."});
        QVERIFY(!component.Connected());
        QVERIFY(!settings().contains(QStringLiteral("SignIn/LastDatabase")));
    }

    // Each field is announced by its caption; the window carries the program's icon.
    void fieldsAreNamedAndTheIconIsTheProgramsOwn()
    {
        clsCurrentUser component;
        QMap<QString, QString> names;
        QImage icon;
        whenDialogShows([&](QWidget *dialog) {
            for (const char *field : {"txtDatabase", "txtUserName", "txtPassword"})
                names[field] = QAccessible::queryAccessibleInterface(dialog->findChild<QLineEdit *>(field))
                                   ->text(QAccessible::Name);
            icon = dialog->windowIcon().pixmap(32).toImage();
            dialog->close();
        });
        component.ShowMain();
        QCOMPARE(names.value("txtDatabase"), QStringLiteral("Database:"));
        QCOMPARE(names.value("txtUserName"), QStringLiteral("User name:"));
        QCOMPARE(names.value("txtPassword"), QStringLiteral("Password:"));
        QCOMPARE(icon, platform::ui::programIcon().pixmap(32).toImage());
    }

    void theDatabaseFieldShowsItsStart()
    {
        const QString deep = m_database.path() + QStringLiteral("/a-folder-name-long-enough-to-overflow-the-field")
                             + QStringLiteral("/and-another-one-after-it/and-a-third/demo");
        qputenv("TALVOR_DATABASE", deep.toUtf8());
        clsCurrentUser component;
        whenDialogShows([&](QWidget *dialog) {
            auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("txtDatabase"));
            QCOMPARE(field->text(), deep);
            QVERIFY(field->fontMetrics().horizontalAdvance(deep) > field->width());
            QCOMPARE(field->cursorPosition(), 0);
            dialog->close();
        });
        component.ShowMain();
    }

    void theDemoSignInIsShownForTheDemoFolder_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<bool>("shown");
        QTest::newRow("demo folder") << QDir::toNativeSeparators(clsCurrentUser::demoFolder()) << true;
        QTest::newRow("demo folder with a trailing slash") << clsCurrentUser::demoFolder() + "/" << true;
        QTest::newRow("another folder") << m_database.path() << false;
        QTest::newRow("a connection string") << "Driver=FreeTDS;Server=db1" << false;
    }
    void theDemoSignInIsShownForTheDemoFolder()
    {
        QFETCH(QString, database);
        QFETCH(bool, shown);
        qputenv("TALVOR_DATABASE", database.toUtf8());
        clsCurrentUser component;
        whenDialogShows([&](QWidget *dialog) {
            auto *hint = dialog->findChild<QLabel *>(QStringLiteral("lblDemoHint"));
            QCOMPARE(hint->isVisible(), shown);
            QCOMPARE(hint->text(), QStringLiteral("Demo database: user demo, password demo"));
            // It follows what the field names.
            auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("txtDatabase"));
            field->setText(shown ? m_database.path() : clsCurrentUser::demoFolder());
            QCOMPARE(hint->isVisible(), !shown);
            dialog->close();
        });
        component.ShowMain();
    }

    // The server takes the connection and never answers, so only the driver's login timeout
    // would end the attempt; the dialog must show that it waits, keep running its events, and
    // close at once on Cancel.
    void aServerThatDoesNotAnswerCanBeCancelled()
    {
        QFile odbcinst(QStringLiteral("/etc/odbcinst.ini"));
        if (!odbcinst.open(QIODevice::ReadOnly) || !odbcinst.readAll().contains("[FreeTDS]"))
            QSKIP("The FreeTDS ODBC driver (tdsodbc) is not registered");
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        qputenv("TALVOR_DATABASE", QStringLiteral("Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=Patient_Data;"
                                                  "TDS_Version=7.4").arg(silent.serverPort()).toUtf8());
        clsCurrentUser component;
        QString waitingText;
        bool fieldsLocked = false;
        int ticks = 0, paints = 0;
        QElapsedTimer sinceCancel;
        whenDialogShows([&](QWidget *dialog) {
            QTimer ticker;
            connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
            PaintCounter counter([&paints] { ++paints; });
            auto *message = dialog->findChild<QLabel *>(QStringLiteral("lblMessage"));
            message->installEventFilter(&counter);
            QTimer::singleShot(600, dialog, [&] {
                waitingText = messageIn(dialog);
                fieldsLocked = !dialog->findChild<QPushButton *>(QStringLiteral("cmdOK"))->isEnabled()
                               && !dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->isEnabled();
                sinceCancel.start();
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
            });
            ticker.start(20);
            attempt(dialog, QStringLiteral("clerk"), QStringLiteral("secret"));
            message->removeEventFilter(&counter);
        });
        component.ShowMain();
        const qint64 closedAfter = sinceCancel.elapsed();
        // Let the driver's wait end now rather than at the login timeout.
        while (QTcpSocket *socket = silent.nextPendingConnection())
            socket->abort();
        silent.close();

        QVERIFY2(waitingText.startsWith(QStringLiteral("Connecting to the database")), qPrintable(waitingText));
        QVERIFY(fieldsLocked);
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QVERIFY(paints > 0);
        QVERIFY2(closedAfter < 1000, qPrintable(QString::number(closedAfter)));
        QVERIFY(!component.Connected());
        QVERIFY(m_messages.isEmpty());
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
        const mode_t savedUmask = ::umask(022);
        clsCurrentUser component;
        component.setPasswordDeptCode(QStringLiteral("18"));
        QCOMPARE(component.signIn(QDir::toNativeSeparators(demo), QStringLiteral("demo"), QStringLiteral("demo")),
                 QString());
        QVERIFY(component.Connected());
        // Nothing of the build is left beside the finished database.
        QCOMPARE(QDir(demo).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        ::umask(savedUmask);
        // Patients' records and the name of the database are the user's alone, whatever the umask.
        const auto mode = [](const QString &path) {
            struct stat st {};
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
        };
        QCOMPARE(mode(demo), 0700);
        QCOMPARE(mode(QDir(demo).filePath(QStringLiteral("Patient_Data.sqlite"))), 0600);
        QCOMPARE(mode(settings().fileName()), 0600);
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
