#pragma once
// Typed values as the catalogue views hand them out, so that every view types a name, a flag
// or a date the same way SQL Server does (sysname, bit, datetime).

#include "tsql/Value.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tsql::sysview {

inline const SqlType kName = SqlType::nvarchar(128); // sysname
inline const SqlType kInt{Base::Int};
inline const SqlType kSmall{Base::SmallInt};
inline const SqlType kTiny{Base::TinyInt};
inline const SqlType kBit{Base::Bit};
inline const SqlType kDate{Base::DateTime};
inline const SqlType kDesc = SqlType::nvarchar(60);
inline const SqlType kVariant{Base::SqlVariant};

inline Value name(const std::string &s) { return Value::text(s, kName); }
inline Value integer(std::int64_t v, const SqlType &t = kInt) { return Value::integer(v, t); }
inline Value bit(bool v) { return Value::integer(v ? 1 : 0, kBit); }
inline Value nullOf(const SqlType &t) { return Value::null(t); }
inline Value text(const std::string &s, const SqlType &t) { return Value::text(s, t); }
inline Value optionalInt(std::optional<int> v, const SqlType &t) { return v ? integer(*v, t) : nullOf(t); }

// A date the catalogue keeps as text ("2026-12-06 09:41:22.123"); the reader makes it a datetime.
inline Value when(const std::string &s)
{
    return s.empty() ? Value::null(kDate) : Value::text(s, SqlType::varchar(23));
}

} // namespace tsql::sysview
