#pragma once

#include <QByteArray>
#include <QString>

namespace platform::audit {

// Appends `line` to the file at `path`, whole or not at all: a write the disk or a size limit cut
// short is taken back. A missing file is created readable and writable by its owner only; an
// existing one keeps the permissions the site gave it. Another process appending at the same
// moment waits for the line to be done. Returns an empty text, or why the line is not there.
QString appendWholeLine(const QString &path, const QByteArray &line);

} // namespace platform::audit
