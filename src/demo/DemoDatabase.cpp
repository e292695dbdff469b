#include "demo/DemoDatabase.h"

#include "demo/Generator.h"
#include "demo/Population.h"

#include "platform/Failure.h"
#include "platform/data/EngineCall.h"
#include "tsql/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace demo {

namespace {

const char *const databases[] = {"Build_File", "Patient_Data"};

bool holdsDatabase(const QDir &folder)
{
    for (const QString &f : folder.entryList(QDir::Files)) {
        for (const char *db : databases) {
            if (f.compare(QString::fromLatin1(db) + QStringLiteral(".sqlite"), Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

} // namespace

void create(const QString &folder, const Options &options,
            const std::function<void(int percent)> &progress)
{
    const QString shown = QDir::toNativeSeparators(folder);
    if (options.patients < 0)
        throw platform::Failure(QStringLiteral("The number of patients cannot be negative."));
    const bool existed = QFileInfo::exists(folder);
    if (!QDir().mkpath(folder))
        throw platform::Failure(QStringLiteral("The folder '%1' could not be created.").arg(shown));
    // Patients' records: a folder made here is its user's alone, whatever the umask.
    if (!existed)
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QDir target(folder);
    if (holdsDatabase(target))
        throw platform::Failure(
            QStringLiteral("The folder '%1' already holds a database; choose an empty folder.").arg(shown));

    QTemporaryDir work(target.filePath(QStringLiteral(".demo-db-XXXXXX")));
    if (!work.isValid())
        throw platform::Failure(QStringLiteral("The folder '%1' is not writable.").arg(shown));

    platform::callEngine([&] {
        auto session = tsql::Session::open(QFile::encodeName(work.path()).toStdString(), std::string());
        const Population population(options.seed, options.patients, QDate::currentDate());
        Generator(*session, population, progress).run();
    });

    // Patient_Data goes last: its presence is what marks the folder as a finished database.
    for (const char *db : databases) {
        const QString name = QString::fromLatin1(db) + QStringLiteral(".sqlite");
        if (!QFile::rename(QDir(work.path()).filePath(name), target.filePath(name)))
            throw platform::Failure(QStringLiteral("The database %1 could not be moved into '%2'.")
                                        .arg(QString::fromLatin1(db), shown));
    }
}

bool isCreated(const QString &folder)
{
    return QFileInfo::exists(QDir(folder).filePath(QStringLiteral("Patient_Data.sqlite")));
}

} // namespace demo
