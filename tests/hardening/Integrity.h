#pragma once
// SQLite's own check of a database file, with the engine's collation registered so that its
// indexes can be checked too: "ok", or what is wrong.

#include "tsql/Extension.h"

#include <QString>
#include <sqlite3.h>

inline QString integrity(const QString &file)
{
    sqlite3 *db = nullptr;
    QString out = QStringLiteral("cannot open");
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        tsql::registerStandalone(db);
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK
            && sqlite3_step(st) == SQLITE_ROW)
            out = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        else
            out = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}
