#pragma once
// The databases the server tests are served from: a real engine folder with Patient_Data holding
// EveryType (one column of each type, a row of values and a row of NULLs), Numbers (many rows, to
// be cancelled while they stream) and tbLog, owned by the login clerk / Secret-1; and sessions
// that count themselves, so that a test can see a connection's session closed.

#include "tsql/Session.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <string>

namespace testdb {

constexpr int NumbersRows = 200000;

// The names of EveryType's columns in order.
QStringList everyTypeColumns();

// Creates the databases in `folder` (an empty folder).
void create(const std::string &folder);

// A session on `folder` that adds itself to openSessions() while it lives.
std::unique_ptr<tsql::Session> open(const std::string &folder, const std::string &database,
                                    const tsql::SessionOptions &options);
int openSessions();

} // namespace testdb
