#pragma once
// The built-in scalar functions, one table: a row says the name, how many arguments it takes and
// of what kind, the type of its result, and either the SQLite SQL it becomes (where SQLite does
// exactly what SQL Server does) or how the engine computes it (called from SQLite as tsql_fn).
// Adding a function is adding a row (FunctionsDate.cpp, FunctionsText.cpp, FunctionsMath.cpp,
// FunctionsSystem.cpp hold them by subject). Aggregates, window functions and the forms with
// special syntax (CAST, CASE, COALESCE, IIF, ...) are compiled in CompileFunctions.cpp.

#include "tsql/DateTime.h"
#include "tsql/Value.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tsql {

class Catalog;

namespace fn {

// What a function may ask of the session it runs in.
class Runtime {
public:
    virtual ~Runtime() = default;
    virtual const dt::Settings &dateSettings() const = 0;
    virtual std::string currentDatabase() const = 0;
    virtual Catalog &catalog() = 0;
    // @@ROWCOUNT, @@IDENTITY, SCOPE_IDENTITY(), @@ERROR, ERROR_NUMBER() and the like.
    virtual Value sessionValue(std::string_view name) = 0;
    virtual DateTime statementTime() const = 0; // GETDATE() is the same throughout a statement
    virtual DateTime statementUtcTime() const = 0;
    virtual std::size_t valueLimit() const = 0; // the largest text or binary value, in bytes
};

// One call being compiled or run.
struct Call {
    std::vector<SqlType> args; // the arguments' types, after the row's conversions
    SqlType result;
    std::string keyword;       // DATEADD(day, ...): the date part as written, lower case
};

enum Flags : unsigned {
    NullInNullOut = 1,    // any NULL argument gives NULL without calling eval
    NonDeterministic = 2, // NEWID(), RAND(): evaluated for every row
    SessionBound = 4,     // reads the session (time, user, @@ values): not a constant of the plan
};

struct Definition {
    const char *name;
    int minArgs, maxArgs; // maxArgs -1: any number
    // The kind of each argument, one letter each, the last one repeating:
    //   a any type as it is             s text (other types convert to varchar)
    //   u text, keeping nvarchar         i int (converts)      b bigint (converts)
    //   n any number (text converts to float)  d date-time (text converts to datetime)
    //   f float (converts)               k the date part keyword (DATEADD(day, ...))
    //   t date-time (text converts to datetime2)
    const char *args;
    SqlType (*result)(const Call &call);
    Value (*eval)(const std::vector<Value> &args, const Call &call, Runtime &rt);
    unsigned flags = NullInNullOut;
};

const Definition *find(std::string_view name);
const Definition &at(int index);
int indexOf(const Definition &d);

// The rows by subject, gathered by find().
const std::vector<Definition> &dateFunctions();
const std::vector<Definition> &textFunctions();
const std::vector<Definition> &mathFunctions();
const std::vector<Definition> &systemFunctions();
const std::vector<Definition> &formatFunctions();

// Helpers the rows share.
SqlType textResult(const SqlType &arg, int length); // same kind of text as arg, this long (-1 max)
Value toText(const Value &v);                       // any value as its text (NULL stays NULL)

} // namespace fn
} // namespace tsql
