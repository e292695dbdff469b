#pragma once
// What the catalogue views and the system procedures say about a type, in SQL Server's numbers:
// type ids, lengths, precisions and scales as sys.columns, INFORMATION_SCHEMA.COLUMNS,
// sp_columns and sp_help show them. One place, so that the views and the procedures agree.

#include "tsql/Types.h"

#include <optional>
#include <utility>
#include <vector>

namespace tsql::sysview {

inline constexpr const char *kCollation = "SQL_Latin1_General_CP1_CI_AS";

// The built-in types as sys.types lists them, each at its widest (varchar(8000), decimal(38,38)).
const std::vector<std::pair<const char *, SqlType>> &builtinTypes();

// system_type_id (= user_type_id for the built-in types).
int typeId(const SqlType &t);

// sys.columns.precision and .scale: digits of a number, digits of a date and time's text
// (datetime 23 and 3), 0 for everything else.
int precision(const SqlType &t);
int scale(const SqlType &t);

// INFORMATION_SCHEMA.COLUMNS: NULL where the type has no such property.
std::optional<int> numericPrecision(const SqlType &t);
std::optional<int> numericPrecisionRadix(const SqlType &t);
std::optional<int> numericScale(const SqlType &t);
std::optional<int> datetimePrecision(const SqlType &t);
// Characters (or bytes, with `octets`) of a text or binary type; -1 for (max).
std::optional<int> characterLength(const SqlType &t, bool octets);

// ODBC's description of a column as sp_columns gives it (ODBC 2 codes, SQL Server's own
// TYPE_NAME, with " identity" appended by the caller for an identity column).
struct OdbcColumn {
    int dataType = 0;
    std::optional<int> precision;
    std::optional<int> length;
    std::optional<int> scale;
    std::optional<int> radix;
    int sqlDataType = 0;
    std::optional<int> datetimeSub;
    std::optional<int> octetLength;
    int ssDataType = 0;
};
OdbcColumn odbcColumn(const SqlType &t, bool nullable);

} // namespace tsql::sysview
