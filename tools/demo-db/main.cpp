// talvor-demo-db FOLDER [--patients N] [--seed S]: creates the demo databases for the embedded
// engine, as a site has them before the maintenance upgrade.

#include "demo/DemoDatabase.h"

#include "platform/Failure.h"
#include "tsql/Session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <stdexcept>

namespace {

int usage()
{
    std::fputs("Usage: talvor-demo-db FOLDER [--patients N] [--seed S]\n"
               "Creates the Patient_Data and Build_File databases in FOLDER (default 5000 patients,\n"
               "seed 1) with the sign-in user demo / demo, also a login (db_owner) for talvor-server.\n",
               stderr);
    return 2;
}

bool readNumber(const QStringList &args, int &i, qulonglong max, qulonglong &out)
{
    if (i + 1 >= args.size())
        return false;
    bool ok = false;
    out = args.at(++i).toULongLong(&ok);
    return ok && out <= max;
}

// The same demo / demo as a login, so that talvor-server serves the folder as it is.
void createDemoLogin(const QString &folder)
{
    auto session = tsql::Session::open(folder.toStdString(), "Patient_Data");
    auto run = session->run("CREATE LOGIN demo WITH PASSWORD = 'demo';\n"
                            "CREATE USER demo FOR LOGIN demo; ALTER ROLE db_owner ADD MEMBER demo;\n"
                            "USE Build_File; CREATE USER demo FOR LOGIN demo; ALTER ROLE db_owner ADD MEMBER demo;");
    while (run->next())
        if (run->item() == tsql::BatchRun::Item::Message && run->message().isError())
            throw std::runtime_error(run->message().text);
}

} // namespace

int main(int argc, char *argv[])
{
    // A file size limit (ulimit -f) then fails the write with an error the program reports,
    // instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString folder;
    demo::Options options;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        qulonglong n = 0;
        if (a == QLatin1String("--patients")) {
            if (!readNumber(args, i, 100'000'000, n))
                return usage();
            options.patients = static_cast<int>(n);
        } else if (a == QLatin1String("--seed")) {
            if (!readNumber(args, i, 0xffffffffULL, n))
                return usage();
            options.seed = static_cast<unsigned>(n);
        } else if (a == QLatin1String("-h") || a == QLatin1String("--help") || a.startsWith(QLatin1Char('-'))
                   || !folder.isEmpty()) {
            return usage();
        } else {
            folder = a;
        }
    }
    if (folder.isEmpty())
        return usage();

    QElapsedTimer timer;
    timer.start();
    try {
        demo::create(folder, options, [](int percent) {
            std::fprintf(stderr, "\rCreating the demo database: %3d%%", percent);
            std::fflush(stderr);
        });
        createDemoLogin(folder);
    } catch (const platform::Failure &f) {
        std::fprintf(stderr, "\n%s\n", f.description().toLocal8Bit().constData());
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "\n%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "\nDone: %d patients in %s (%.1f s). Sign in as demo / demo.\n",
                 options.patients, folder.toLocal8Bit().constData(), timer.elapsed() / 1000.0);
    return 0;
}
