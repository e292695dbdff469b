// talvor-bench [--folder DIR] [--patients N] [--runs R] [--skip-update]: times the search window's
// searches, its load step, opening the database and Update Database on a demo database of N
// patients (made once with talvor-demo-db and kept in DIR), against hand-written SQLite SQL on
// the same file. One line per case; the README's "Performance" section says how to read them.

#include "Cases.h"
#include "ColdStart.h"
#include "Diagnosis.h"
#include "Figures.h"
#include "Floor.h"
#include "QuietComponents.h"
#include "ServerLoad.h"
#include "Upgrade.h"

#include "platform/components/Components.h"
#include "platform/data/Connection.h"
#include "platform/data/LocalTime.h"
#include "platform/files/TextFile.h"
#include "platform/ui/EventPump.h"
#include "platform/ui/Grid.h"
#include "platform/ui/MessageBox.h"
#include "search/frmMain2.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <string_view>
#include <memory>

namespace {

struct Options {
    QString folder;
    int patients = 1'000'000;
    int runs = 25;
    bool update = true;
    bool explain = false;
    bool serverLoad = true;
    bench::LoadOptions load;
};

int usage()
{
    std::fputs("Usage: talvor-bench [--folder DIR] [--patients N] [--runs R] [--skip-update] [--skip-load] [--explain]\n"
               "                    [--clerks N] [--load-seconds S] [--think-ms T]\n"
               "Makes a demo database of N patients in DIR once (default 1000000, next to the build's bin\n"
               "folder), then prints one line per case. --patients 2000 --runs 3 checks the harness quickly;\n"
               "--explain adds the SQLite SQL the engine made of each statement and SQLite's plan for it.\n"
               "--clerks, --load-seconds and --think-ms shape the load on talvor-server (default 50 clerks\n"
               "for 60 s, pausing about 1000 ms between searches; then again without pauses).\n",
               stderr);
    return 2;
}

double elapsedMs(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

bool hasDatabase(const QString &folder)
{
    return QFileInfo::exists(QDir(folder).filePath(QStringLiteral("Patient_Data.sqlite")))
           && QFileInfo::exists(QDir(folder).filePath(QStringLiteral("Build_File.sqlite")));
}

// The generator runs as its own process, so its memory does not count as the program's.
bool makeDatabase(const Options &options)
{
    const QString generator = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("talvor-demo-db"));
    QDir().mkpath(options.folder);
    bench::printNote(QStringLiteral("generating %1 patients in %2 (once; kept for later runs)")
                         .arg(options.patients).arg(options.folder));
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(generator, {options.folder, QStringLiteral("--patients"), QString::number(options.patients)});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        bench::printNote(QStringLiteral("talvor-demo-db failed: ") + process.errorString());
        return false;
    }
    bench::printNote(QStringLiteral("generated in %1 s").arg(timer.elapsed() / 1000.0, 0, 'f', 1));
    return true;
}

// What the generator made, so the figures can be read against the intended hospital.
bool describeDatabase(bench::Floor &floor, const Options &options, const QDate &today)
{
    const long long patients = floor.count("SELECT count(*) FROM tbMaster");
    if (patients != options.patients) {
        bench::printNote(QStringLiteral("%1 holds %2 patients, not %3: remove it or pass another --folder")
                             .arg(options.folder).arg(patients).arg(options.patients));
        return false;
    }
    const std::string from = bench::storageText(today), to = bench::storageText(today.addDays(1));
    long long registrations = 0, todays = 0;
    double days = 1;
    QStringList parts{QStringLiteral("patients=%1").arg(patients)};
    for (const char *table : {"tbPatient", "tbOutPatient"}) {
        const std::string t = table;
        const long long rows = floor.count("SELECT count(*) FROM " + t);
        const long long now = floor.count("SELECT count(*) FROM " + t + " WHERE AdmDate >= ?1 AND AdmDate < ?2", {from, to});
        const auto span = floor.scalar("SELECT julianday(max(AdmDate)) - julianday(min(AdmDate)) FROM " + t +
                                       " WHERE AdmDate < ?1", {from});
        days = std::max(days, span ? std::stod(*span) : 1.0);
        registrations += rows;
        todays += now;
        parts << QStringLiteral("%1=%2 (today %3)").arg(QString::fromLatin1(table)).arg(rows).arg(now);
    }
    parts << QStringLiteral("registrations_per_day=%1 over %2 days").arg((registrations - todays) / days, 0, 'f', 0).arg(days, 0, 'f', 0);
    bench::printNote(QStringLiteral("database: ") + parts.join(QStringLiteral(", ")));
    if (todays == 0)
        bench::printNote(QStringLiteral("no registration today: the database was made on another day, so today's "
                                        "list is empty; remove the folder to make it again"));
    return true;
}

// Where the time goes: the window's statement alone on the same connection, and its plan.
struct Diagnostics {
    const bench::SearchCase *capture; // the same case on a window whose engine writes a trace
    bench::TraceReader *trace;
    platform::Connection *connection;
    QString folder;
    bool explain;
};

void diagnose(const bench::SearchCase &c, const Diagnostics &d, int runs)
{
    d.trace->newStatements();
    d.capture->engine();
    const QStringList statements = d.trace->newStatements();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(bench::runStatements(*d.connection, statements));
    bench::printNote(QStringLiteral("%1: engine_only_ms=%2 (the same statements without the grid)")
                         .arg(c.name).arg(bench::summarize(ms).median, 0, 'f', 2));
    if (!d.explain)
        return;
    for (const QString &statement : statements) {
        bench::printNote(QStringLiteral("%1: statement: %2").arg(c.name, statement));
        const bench::Plan plan = bench::explain(d.folder, statement);
        bench::printNote(QStringLiteral("%1: sqlite: %2").arg(c.name, plan.sql));
        bench::printNote(QStringLiteral("%1: generated_sql_ms=%2 (that SQL straight on SQLite)")
                             .arg(c.name).arg(plan.generatedMs, 0, 'f', 2));
        for (const QString &step : plan.steps)
            bench::printNote(QStringLiteral("%1: plan: %2").arg(c.name, step));
    }
}

bool runSearchCase(const bench::SearchCase &c, bench::Floor &floor, int runs, const Diagnostics &diagnostics)
{
    try {
        const int shown = c.engine(); // warm-up, and the rows the window shows
        std::string best;
        double bestMs = 0;
        int floorRows = 0;
        for (const std::string &sql : c.floor.candidates) {
            std::vector<double> tries;
            for (int i = 0; i < 3; ++i) {
                QElapsedTimer t;
                t.start();
                floorRows = floor.fetch(sql, c.floor.parameters);
                tries.push_back(elapsedMs(t));
            }
            const double ms = bench::summarize(tries).median;
            if (best.empty() || ms < bestMs) {
                best = sql;
                bestMs = ms;
            }
        }
        std::vector<double> engine, base;
        // Alternating the two keeps a burst of load on the machine from favouring either.
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            c.engine();
            engine.push_back(elapsedMs(t));
            t.restart();
            floor.fetch(best, c.floor.parameters);
            base.push_back(elapsedMs(t));
        }
        bench::printCase(c.name, bench::summarize(engine), bench::summarize(base));
        bench::printNote(QStringLiteral("%1: rows=%2").arg(c.name).arg(shown));
        diagnose(c, diagnostics, runs);
        if (shown != floorRows)
            bench::printNote(QStringLiteral("%1: the window showed %2 rows, the floor fetched %3")
                                 .arg(c.name).arg(shown).arg(floorRows));
        return true;
    } catch (const platform::Failure &f) {
        bench::printNote(c.name + QStringLiteral(" failed: ") + f.description());
    } catch (const std::exception &e) {
        bench::printNote(c.name + QStringLiteral(" failed: ") + QString::fromUtf8(e.what()));
    }
    return false;
}

template <typename Step>
bool timeRuns(const QString &name, int runs, Step step)
{
    try {
        std::vector<double> ms;
        for (int i = 0; i <= runs; ++i) {
            const double one = step();
            if (i == 0)
                bench::printNote(QStringLiteral("%1: first run %2 ms").arg(name).arg(one, 0, 'f', 1));
            else
                ms.push_back(one);
        }
        bench::printCase(name, bench::summarize(ms));
        return true;
    } catch (const platform::Failure &f) {
        bench::printNote(name + QStringLiteral(" failed: ") + f.description());
    } catch (const std::exception &e) {
        bench::printNote(name + QStringLiteral(" failed: ") + QString::fromUtf8(e.what()));
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    platform::keepLocalTimeZone(); // as the program's own start does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The child that benchColdStart times: the program's own start, nothing else first.
    if (argc == 3 && std::string_view(argv[1]) == "--cold-start")
        return bench::coldStartChild(QString::fromLocal8Bit(argv[2]));
    // The measured searches are not accesses for the machine's log; writing the trail stays in
    // the figures.
    if (qEnvironmentVariableIsEmpty("TALVOR_AUDIT_FILE"))
        qputenv("TALVOR_AUDIT_FILE", "/dev/null");
    QApplication app(argc, argv);

    Options options;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        bool ok = true;
        if (a == QLatin1String("--folder") && i + 1 < args.size())
            options.folder = args.at(++i);
        else if (a == QLatin1String("--patients") && i + 1 < args.size())
            options.patients = args.at(++i).toInt(&ok);
        else if (a == QLatin1String("--runs") && i + 1 < args.size())
            options.runs = args.at(++i).toInt(&ok);
        else if (a == QLatin1String("--skip-update"))
            options.update = false;
        else if (a == QLatin1String("--explain"))
            options.explain = true;
        else if (a == QLatin1String("--skip-load"))
            options.serverLoad = false;
        else if (a == QLatin1String("--clerks") && i + 1 < args.size())
            options.load.clerks = args.at(++i).toInt(&ok);
        else if (a == QLatin1String("--load-seconds") && i + 1 < args.size())
            options.load.seconds = args.at(++i).toInt(&ok);
        else if (a == QLatin1String("--think-ms") && i + 1 < args.size())
            options.load.thinkMs = args.at(++i).toInt(&ok);
        else
            return usage();
        if (!ok || options.patients < 1 || options.runs < 1 || options.load.clerks < 1 || options.load.seconds < 1
            || options.load.thinkMs < 0)
            return usage();
    }
    if (options.folder.isEmpty())
        options.folder = QDir(QCoreApplication::applicationDirPath())
                             .absoluteFilePath(options.patients == 1'000'000 ? QStringLiteral("../bench-db")
                                                                            : QStringLiteral("../bench-db-%1").arg(options.patients));
    options.folder = QDir::cleanPath(QDir(options.folder).absolutePath());

    if (!hasDatabase(options.folder) && !makeDatabase(options))
        return 1;
    bench::printNote(QStringLiteral("machine: %1 cores, load average %2; runs per case %3")
                         .arg(QThread::idealThreadCount()).arg(bench::loadAverage()).arg(options.runs));

    const QDate today = QDate::currentDate();
    bool ok = true;
    bench::Samples samples;
    {
        bench::Floor floor(options.folder.toStdString());
        if (!describeDatabase(floor, options, today))
            return 1;
        samples = bench::pickSamples(floor);
    }
    bench::printNote(QStringLiteral("samples: common prefix %1 (%2 patients), rare prefix %3 (%4), patient %5 %6, %7, "
                                    "born %8, admission %9")
                         .arg(samples.commonPrefix).arg(samples.commonCount).arg(samples.rarePrefix)
                         .arg(samples.rareCount).arg(samples.hospNum, samples.lastName, samples.firstName,
                                                     samples.birthDate.toString(QStringLiteral("MM/dd/yyyy")),
                                                     samples.admission));
    if (!samples.accentedFirstName.isEmpty())
        bench::printNote(QStringLiteral("samples: first name with a letter outside ASCII %1 (%2 patients)")
                             .arg(samples.accentedFirstName).arg(samples.accentedCount));

    ok = timeRuns(QStringLiteral("open_database"), options.runs, [&] {
             QElapsedTimer t;
             t.start();
             auto connection = platform::openConnection(options.folder);
             const double ms = elapsedMs(t);
             connection.reset();
             return ms;
         }) && ok;

    ok = bench::benchColdStart(options.folder, std::min(options.runs, 5)) && ok;

    QTemporaryDir programFolder;
    platform::files::setProgramFolderForTests(programFolder.path());
    platform::components::registerFactory(QStringLiteral("prjPatientBrelmontaxis.ctlHeader"),
                                          [](QWidget *parent) { return new bench::QuietHeader(parent); });
    QStringList messages;
    platform::ui::MessageBox::setResponder([&](const platform::ui::ShownMessage &m) { messages << m.text; });
    bench::BenchUser user;
    {
        // A second connection writes the trace from which each case's statements are read back;
        // the timed one writes none.
        QTemporaryDir traceFolder;
        const QString tracePath = traceFolder.filePath(QStringLiteral("trace.jsonl"));
        qputenv("TALVOR_SQL_TRACE", QFile::encodeName(tracePath));
        std::unique_ptr<platform::Connection> traced = platform::openConnection(options.folder);
        qputenv("TALVOR_SQL_TRACE", QByteArray());
        std::unique_ptr<platform::Connection> connection = platform::openConnection(options.folder);
        int todayRows = 0;
        ok = timeRuns(QStringLiteral("load_step"), options.runs, [&] {
                 QElapsedTimer t;
                 t.start();
                 auto window = std::make_unique<frmMain2>(connection.get(), &user);
                 const double ms = elapsedMs(t);
                 todayRows = window->Grid2->rows() - 1;
                 window.reset();
                 QCoreApplication::processEvents();
                 return ms;
             }) && ok;
        bench::printNote(QStringLiteral("load_step: today's list shows %1 rows").arg(todayRows));
        if (!messages.isEmpty())
            bench::printNote(QStringLiteral("load_step: message: ") + messages.join(QStringLiteral(" | ")));

        bench::Floor floor(options.folder.toStdString());
        frmMain2 window(connection.get(), &user);
        frmMain2 tracedWindow(traced.get(), &user);
        bench::TraceReader trace(tracePath);
        const std::vector<bench::SearchCase> cases = bench::searchCases(&window, samples);
        const std::vector<bench::SearchCase> tracedCases = bench::searchCases(&tracedWindow, samples);
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const Diagnostics diagnostics{&tracedCases[i], &trace, connection.get(), options.folder, options.explain};
            ok = runSearchCase(cases[i], floor, options.runs, diagnostics) && ok;
        }

        // The grid and the event pump alone, as the patient search fills them: what any search of
        // 120 patients costs whatever the database does.
        const QString row = QStringLiteral("1000001\t1000001\t1000001\tDELA CRUZ, JUAN SANTOS\t03/15/1980 (45)\t"
                                           "12 Rizal St San Roque 1100");
        ok = timeRuns(QStringLiteral("grid_fill_120_rows"), options.runs, [&] {
                 QElapsedTimer t;
                 t.start();
                 window.Grid1->setRows(1);
                 for (int i = 0; i < 120; ++i) {
                     window.Grid1->addItem(row);
                     platform::ui::doEvents();
                 }
                 return elapsedMs(t);
             }) && ok;
        // The same fill with the grid painted at most once per frame (16 ms) instead of after
        // every row; the events still run after every row.
        ok = timeRuns(QStringLiteral("grid_fill_120_rows_frame_paced"), options.runs, [&] {
                 QElapsedTimer t, frame;
                 t.start();
                 frame.start();
                 window.Grid1->setRows(1);
                 window.Grid1->setUpdatesEnabled(false);
                 for (int i = 0; i < 120; ++i) {
                     window.Grid1->addItem(row);
                     const bool paint = frame.elapsed() >= 16;
                     if (paint) {
                         window.Grid1->setUpdatesEnabled(true);
                         frame.restart();
                     }
                     platform::ui::doEvents();
                     if (paint)
                         window.Grid1->setUpdatesEnabled(false);
                 }
                 window.Grid1->setUpdatesEnabled(true);
                 platform::ui::doEvents();
                 return elapsedMs(t);
             }) && ok;
    }
    platform::ui::MessageBox::setResponder({});

    if (options.serverLoad)
        ok = bench::benchServerLoad(options.folder, samples, options.load) && ok;

    if (options.update) {
        const QString scratch = options.folder + QStringLiteral("-update");
        ok = bench::benchUpgrade(options.folder, scratch) && ok;
    }
    bench::printNote(QStringLiteral("load average at the end: ") + bench::loadAverage());
    std::printf("peak_rss_mb=%ld\n", bench::peakRssMb());
    return ok ? 0 : 1;
}
