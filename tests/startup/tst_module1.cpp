#include "../search/SearchTestDatabase.h"

#include "platform/components/Components.h"
#include "platform/data/Connection.h"
#include "platform/files/TextFile.h"
#include "platform/ui/MessageBox.h"
#include "search/frmMain2.h"
#include "startup/Module1.h"

#include <QTemporaryDir>
#include <QTest>

namespace components = platform::components;

namespace {

// What the program did to the two components, in order.
QStringList g_calls;
QVariant g_connected;
QObject *g_handedOver = nullptr;

class RecordingUser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString PasswordDeptCode READ deptCode WRITE setDeptCode)
    Q_PROPERTY(QVariant Connected READ connected)
    Q_PROPERTY(QObject *sqlconnection READ sqlconnection)
    Q_PROPERTY(QVariant UserID READ userId)
public:
    QString deptCode() const { return m_deptCode; }
    void setDeptCode(const QString &code) { m_deptCode = code; g_calls << "PasswordDeptCode=" + code; }
    QVariant connected() const { return g_connected; }
    QObject *sqlconnection() const { return g_handedOver; }
    QVariant userId() const { return 42; }
    Q_INVOKABLE void ShowMain() { g_calls << "ShowMain(" + m_deptCode + ")"; }

private:
    QString m_deptCode;
};

// Lacks Connected: start-up must stop and say which member is missing.
class IncompleteUser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString PasswordDeptCode MEMBER m_deptCode)
public:
    Q_INVOKABLE void ShowMain() {}

private:
    QString m_deptCode;
};

class RecordingHeader : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QObject *Connection READ none WRITE setConnection)
    Q_PROPERTY(QVariant UserID READ userId WRITE setUserId)
    Q_PROPERTY(QObject *CurrentUser READ none WRITE setCurrentUser)
public:
    using QWidget::QWidget;
    QObject *none() const { return nullptr; }
    QVariant userId() const { return {}; }
    void setConnection(QObject *c) { g_calls << (c == g_handedOver ? "Connection" : "Connection(other)"); }
    void setUserId(const QVariant &id) { g_calls << "UserID=" + id.toString(); }
    void setCurrentUser(QObject *u) { g_calls << (qobject_cast<RecordingUser *>(u) ? "CurrentUser" : "CurrentUser(other)"); }
    Q_INVOKABLE void InitHeader() { g_calls << "InitHeader"; }
};

QList<frmMain2 *> searchWindows()
{
    QList<frmMain2 *> found;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<frmMain2 *>(top))
            found << window;
    return found;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_database, m_programFolder;
    std::unique_ptr<platform::Connection> m_connection;
    QObject m_notAConnection;
    QStringList m_messages;

private slots:
    void initTestCase()
    {
        searchtest::createDatabase(m_database.path(), QDate::currentDate());
        platform::files::setProgramFolderForTests(m_programFolder.path());
        platform::ui::MessageBox::setResponder([this](const platform::ui::ShownMessage &m) { m_messages << m.text; });
        m_connection = platform::openConnection(m_database.path());
    }

    void init()
    {
        g_calls.clear();
        g_connected = QVariant();
        g_handedOver = m_connection.get();
        m_messages.clear();
        components::registerFactory(QStringLiteral("Talvor_User.clsCurrentUser"), [](QWidget *) { return new RecordingUser; });
        components::registerFactory(QStringLiteral("prjPatientBrelmontaxis.ctlHeader"),
                                    [](QWidget *parent) { return new RecordingHeader(parent); });
    }

    void cleanup()
    {
        qDeleteAll(searchWindows());
        // The program keeps its current-user object to the end; each test here is a program run.
        delete Module1::currentUser();
    }

    void signedInOpensTheWindowOnce()
    {
        g_connected = true;
        QCOMPARE(Module1::Main(), 0);
        QCOMPARE(searchWindows().size(), 1);
        QVERIFY(searchWindows().first()->isVisible());
        QCOMPARE(g_calls, (QStringList{"PasswordDeptCode=18", "ShowMain(18)", "Connection", "UserID=42",
                                       "InitHeader", "CurrentUser"}));
        QCOMPARE(Module1::sharedConnection(), m_connection.get());
        QVERIFY(qobject_cast<RecordingUser *>(Module1::currentUser()));
        QVERIFY(m_messages.isEmpty());
    }

    void noSignInNoWindow_data()
    {
        QTest::addColumn<QVariant>("connected");
        QTest::newRow("cancelled") << QVariant(false);
        QTest::newRow("empty") << QVariant();
        QTest::newRow("empty text") << QVariant(QString());
    }
    void noSignInNoWindow()
    {
        QFETCH(QVariant, connected);
        g_connected = connected;
        QCOMPARE(Module1::Main(), 0);
        QVERIFY(searchWindows().isEmpty());
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(g_calls, (QStringList{"PasswordDeptCode=18", "ShowMain(18)"}));
    }

    void startUpFailuresEndTheProgram_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("mentioned");
        QTest::newRow("no component") << "no component" << "Talvor_User.clsCurrentUser";
        QTest::newRow("missing member") << "missing member" << "Connected";
        QTest::newRow("no connection handed over") << "not a connection" << "connection";
        QTest::newRow("header without its members") << "bare header" << "Connection";
    }
    void startUpFailuresEndTheProgram()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, mentioned);
        g_connected = true;
        if (scenario == "no component")
            components::registerFactory(QStringLiteral("Talvor_User.clsCurrentUser"), {});
        if (scenario == "missing member")
            components::registerFactory(QStringLiteral("Talvor_User.clsCurrentUser"),
                                        [](QWidget *) { return new IncompleteUser; });
        if (scenario == "not a connection")
            g_handedOver = &m_notAConnection;
        if (scenario == "bare header")
            components::registerFactory(QStringLiteral("prjPatientBrelmontaxis.ctlHeader"),
                                        [](QWidget *parent) { return new QWidget(parent); });
        QVERIFY(Module1::Main() != 0);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains(mentioned, Qt::CaseInsensitive), qPrintable(m_messages.first()));
        QVERIFY(searchWindows().isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_module1.moc"
