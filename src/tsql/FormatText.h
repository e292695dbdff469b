#pragma once
// FORMAT's two halves: .NET's format strings for date-times and for numbers, en-US. A format
// .NET would refuse throws Invalid (FORMAT answers NULL).

#include "tsql/DateTime.h"
#include "tsql/Value.h"

#include <string>
#include <string_view>

namespace tsql::fmt {

struct Invalid {};

std::string formatDate(DateTime d, std::string_view format, bool hasOffset); // date, datetime, datetimeoffset...
std::string formatTime(const DateTime &d, std::string_view format);         // time, as a .NET TimeSpan
std::string formatNumber(const Value &v, std::string_view format);

// Shared by both: v as at least `width` digits; a quoted or escaped literal at f[i].
std::string padded(long long v, int width);
bool literal(std::string_view f, std::size_t &i, std::string &out);

} // namespace tsql::fmt
