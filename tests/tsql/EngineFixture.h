#pragma once
// A fresh embedded database folder per test, with a small hospital schema, and a way to run a
// statement and read back what came out as one comparable text.

#include "tsql/Session.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class EngineFixture {
public:
    EngineFixture();

    tsql::Session &session() { return *m_session; }
    QString folder() const { return m_dir.path(); }
    void reopen(const QString &database = QStringLiteral("Patient_Data"));
    void close() { m_session.reset(); }

    // Rows as "a|b" lines joined by "\n" (NULL as NULL, values as SQL Server's tools show them:
    // datetime as yyyy-mm-dd hh:mm:ss.fff, float to 15 digits, decimals with their scale),
    // "(N rows)" for a statement without rows, or "Msg N: text" for a failure.
    QString run(const QString &sql);
    // A whole batch as SQL Server runs it: each result set's rows, "(N rows)" after each
    // statement that counts, "Msg N: text" for an error, the text of PRINT and other messages.
    QString batch(const QString &text);
    // The types of a statement's result columns as SQL Server names them ("decimal(38,6)|int"),
    // or "Msg N: text" when it fails to compile.
    QString types(const QString &sql);
    // A batch's output without its "(N rows)" lines, for tests about values alone.
    QString batchValues(const QString &text);
    // Runs every statement; fails the test on the first error.
    void script(const QStringList &statements);
    // The hospital tables the program's statements name, with a handful of awkward rows.
    void loadHospital();

    static QString render(tsql::Result &r);
    // An expected "Msg N" without its text asks only for the error's number (where SQL Server's
    // exact wording is not documented): the actual outcome cut to what the expectation states.
    static QString asExpected(const QString &actual, const QString &expected);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<tsql::Session> m_session;
};
