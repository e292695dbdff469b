#include "ColdStart.h"

#include "Figures.h"

#include "platform/ui/Grid.h"
#include "search/frmMain2.h"
#include "standins/StandIns.h"
#include "startup/Module1.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace bench {

namespace {

const char startVariable[] = "TALVOR_BENCH_STARTED_NS";

// CLOCK_MONOTONIC is the same clock in every process, so the parent's reading taken just before
// the child starts measures the child's whole start, loading its libraries included.
qint64 monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

class StartWatcher : public QObject {
public:
    explicit StartWatcher(qint64 started) : m_started(started) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        if (auto *dialog = qobject_cast<QDialog *>(watched); dialog && watched->objectName() == QLatin1String("SignInDialog")
                                                               && m_signInShown < 0) {
            m_signInShown = monotonicNs();
            QObject::connect(dialog, &QDialog::accepted, this, [this] { m_accepted = monotonicNs(); });
            // Typed after the dialog has painted once, as a clerk would.
            QTimer::singleShot(0, dialog, [dialog] {
                dialog->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("demo"));
                dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(QStringLiteral("demo"));
                dialog->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
            });
        }
        return false;
    }

    // The window shows itself first and then lists today's registrations, both inside start-up.
    void startedUp()
    {
        m_windowShown = monotonicNs();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *window = qobject_cast<frmMain2 *>(w))
                m_rows = window->Grid2->rows() - 1;
    }

    void report() const
    {
        if (m_signInShown < 0 || m_accepted < 0 || m_windowShown < 0) {
            std::printf("cold_start failed\n");
            return;
        }
        std::printf("signin_shown_ms=%.1f search_window_ms=%.1f rows=%d\n", (m_signInShown - m_started) / 1e6,
                    (m_windowShown - m_accepted) / 1e6, m_rows);
    }

private:
    qint64 m_started;
    qint64 m_signInShown = -1, m_accepted = -1, m_windowShown = -1;
    int m_rows = 0;
};

} // namespace

int coldStartChild(const QString &folder)
{
    const qint64 started = qEnvironmentVariableIntValue(startVariable) ? qEnvironmentVariable(startVariable).toLongLong()
                                                                       : monotonicNs();
    qputenv("TALVOR_DATABASE", folder.toLocal8Bit());
    int argc = 1;
    char name[] = "talvor-bench";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    StartWatcher watcher(started);
    app.installEventFilter(&watcher);
    standins::registerComponents();
    const int status = Module1::Main();
    watcher.startedUp();
    watcher.report();
    std::fflush(stdout);
    return status;
}

bool benchColdStart(const QString &folder, int runs)
{
    std::vector<double> signIn, window;
    int rows = -1;
    // The program remembers the last database in its settings; the clerk's own stay untouched.
    QTemporaryDir home;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QString::fromLatin1(startVariable), QString::number(monotonicNs()));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--cold-start"), folder});
        if (!child.waitForFinished(120'000)) {
            child.kill();
            printNote(QStringLiteral("cold start did not finish"));
            return false;
        }
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        const auto m = QRegularExpression(QStringLiteral("signin_shown_ms=([0-9.]+) search_window_ms=([0-9.]+) rows=(\\d+)"))
                           .match(out);
        if (!m.hasMatch()) {
            printNote(QStringLiteral("cold start failed: ") + out.trimmed() + QLatin1Char(' ')
                      + QString::fromLocal8Bit(child.readAllStandardError()).trimmed().left(300));
            return false;
        }
        signIn.push_back(m.captured(1).toDouble());
        window.push_back(m.captured(2).toDouble());
        rows = m.captured(3).toInt();
        if (i == 0)
            printNote(QStringLiteral("cold_start: first run: sign-in shown after %1 ms, search window after %2 ms")
                          .arg(signIn.back(), 0, 'f', 1).arg(window.back(), 0, 'f', 1));
    }
    printCase(QStringLiteral("cold_start_signin_shown"), summarize(signIn));
    printCase(QStringLiteral("cold_start_search_window"), summarize(window));
    printNote(QStringLiteral("cold_start_search_window: today's list shows %1 rows").arg(rows));
    return true;
}

} // namespace bench
