#include "platform/files/TextFile.h"

#include "platform/Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace platform::files {

namespace {
// Code points of bytes 0x80 to 0x9F; the five bytes Windows leaves undefined map to themselves.
constexpr std::array<char16_t, 32> high = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
} // namespace

namespace {
QString &programFolderOverride()
{
    static QString folder;
    return folder;
}

QString &siteSettingsOverride()
{
    static QString file;
    return file;
}

const QString handOffFolderKey = QStringLiteral("HandOff/Folder");
} // namespace

QString programFolder()
{
    const QString &overridden = programFolderOverride();
    return overridden.isEmpty() ? QCoreApplication::applicationDirPath() : overridden;
}

void setProgramFolderForTests(const QString &folder)
{
    programFolderOverride() = folder;
}

QString inProgramFolder(const QString &fileName)
{
    return QDir(programFolder()).filePath(fileName);
}

QString handOffFolder()
{
    QString folder;
    if (!siteSettingsOverride().isEmpty())
        folder = QSettings(siteSettingsOverride(), QSettings::IniFormat).value(handOffFolderKey).toString();
    else if (programFolderOverride().isEmpty())
        folder = QSettings(QSettings::SystemScope, QStringLiteral("Talvor"), QStringLiteral("talvor-search"))
                     .value(handOffFolderKey)
                     .toString();
    return folder.isEmpty() ? programFolder() : folder;
}

QString inHandOffFolder(const QString &fileName)
{
    return QDir(handOffFolder()).filePath(fileName);
}

void setSiteSettingsForTests(const QString &iniFile)
{
    siteSettingsOverride() = iniFile;
}

QByteArray toCp1252(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(char(c));
            continue;
        }
        char byte = '?';
        for (std::size_t k = 0; k < high.size(); ++k)
            if (high[k] == c) {
                byte = char(0x80 + k);
                break;
            }
        // A character outside the Basic Multilingual Plane is one '?', not two.
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        out.append(byte);
    }
    return out;
}

QString fromCp1252(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out.append(QChar(b >= 0x80 && b < 0xA0 ? high[b - 0x80] : char16_t(b)));
    }
    return out;
}

void writeWholeFile(const QString &path, const QString &text)
{
    // Written beside the file and renamed over it. The rename replaces whatever stands at `path`
    // and follows no link, so in a folder that several users may write, one of them cannot make
    // another's program write a file of his through a link put in its place.
    const QFileInfo target(path);
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.") + target.fileName()
                             + QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        throw Failure(temporary.errorString());
    const QByteArray bytes = toCp1252(text);
    if (temporary.write(bytes) != bytes.size() || !temporary.flush())
        throw Failure(temporary.errorString());
    // The file keeps the permissions it had; a new one may be read by everyone, as files the
    // program wrote always could.
    const bool replacing = target.exists() && !target.isSymLink();
    temporary.setPermissions(replacing ? target.permissions()
                                       : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                             | QFileDevice::WriteUser | QFileDevice::ReadGroup
                                             | QFileDevice::ReadOther);
    temporary.close();
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(temporary.fileName().toStdU16String()),
                            std::filesystem::path(path.toStdU16String()), error);
    if (error)
        throw Failure(QString::fromLocal8Bit(error.message().c_str()));
    temporary.setAutoRemove(false);
}

QStringList readLines(const QString &path)
{
    const auto cannotRead = [&path](const QString &reason) {
        return Failure(QStringLiteral("Cannot read the file %1: %2").arg(QDir::toNativeSeparators(path), reason));
    };
    // The file may stand in a folder others can write. A link left there in its place could
    // make a program run by an administrator read a file only he may read, so none is followed.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        throw cannotRead(error == ELOOP ? QStringLiteral("it is a link to another file, and links are not followed.")
                                        : QString::fromLocal8Bit(std::strerror(error)));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw cannotRead(file.errorString());
    }
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw cannotRead(file.errorString());
    QStringList lines;
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        qsizetype stop = end;
        if (stop > start && all.at(stop - 1) == '\r')
            --stop;
        lines.append(fromCp1252(all.mid(start, stop - start)));
        start = end + 1;
    }
    return lines;
}

} // namespace platform::files
