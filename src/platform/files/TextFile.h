#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform::files {

// The folder that holds the program's executable: the occupation code file lives there.
QString programFolder();
QString inProgramFolder(const QString &fileName);
// Tests point the program's folder somewhere of their own (empty: the executable's folder again).
void setProgramFolderForTests(const QString &folder);

// Where the hand-off file goes: the program's folder, unless the workstation's administrator
// names another in the system-wide settings ([HandOff] Folder= in Talvor/talvor-search.conf of
// /etc/xdg; HKEY_LOCAL_MACHINE\Software\Talvor\talvor-search on Windows). An installed copy's
// program folder is not the clerks' to write. While a test has pointed the program's folder
// elsewhere, the machine's own settings are not read, only a file the test names here.
QString handOffFolder();
QString inHandOffFolder(const QString &fileName);
void setSiteSettingsForTests(const QString &iniFile);

// Windows-1252, the ANSI code page the site's other programs read and write. Characters it
// cannot hold become '?', as the old single-byte writer did.
QByteArray toCp1252(const QString &text);
QString fromCp1252(const QByteArray &bytes);

// Writes the file whole, atomically: readers see the old content or the new, never a part.
// No byte-order mark, no line ending added. A link standing at `path` is replaced, not written
// through. Throws platform::Failure with the system's reason.
void writeWholeFile(const QString &path, const QString &text);

// Reads a Windows-1252 text file as lines (CR LF or LF; the last line counts even without a line
// break; a line break at the very end adds no empty line). Throws platform::Failure naming the
// file when it is missing, unreadable or a symbolic link (never followed).
QStringList readLines(const QString &path);

} // namespace platform::files
