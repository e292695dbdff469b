#pragma once

#include <QString>

#include <optional>

namespace sqlcmd {

// A line that is one of sqlcmd's own commands rather than Transact-SQL. Commands stand alone on
// their line, in any letter case; all but GO, and the old osql spellings of QUIT, EXIT and RESET,
// start with a colon.
struct Command {
    enum class Kind {
        None,    // Transact-SQL: the line goes into the batch
        Go,      // GO [count]
        Quit,    // [:]QUIT
        Exit,    // [:]EXIT[(query)]
        Reset,   // [:]RESET
        List,    // :LIST
        ListVar, // :LISTVAR
        SetVar,  // :SETVAR name [value]
        Include, // :R file
        OnError, // :ON ERROR exit|ignore
        Out,     // :OUT file|STDOUT|STDERR
        Error,   // :ERROR file|STDOUT|STDERR
        Help,    // :HELP
        Unknown, // a colon command this shell does not know, or one written wrongly
    };
    Kind kind = Kind::None;
    QString word;     // the command as written, for error messages (":SETVAR", "GO")
    QString argument; // what follows the command word, trimmed; file names unquoted
    int count = 1;    // GO's repeat count
    // EXIT: nullopt when written without parentheses, else what stands between them.
    std::optional<QString> exitQuery;
};

// `terminator` is the batch terminator (-c), GO unless changed.
Command parseCommand(const QString &line, const QString &terminator);

} // namespace sqlcmd
