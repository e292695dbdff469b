// FORMAT(value, format [, culture]): .NET's standard and custom format strings for numbers,
// dates and times, in the en-US culture only. A format .NET would refuse gives NULL, as SQL
// Server returns it; a well-formed culture other than en-US gives NULL too (this engine knows
// no other culture's names and patterns), a malformed one error 9818.

#include "tsql/Errors.h"
#include "tsql/FormatText.h"
#include "tsql/Functions.h"
#include "tsql/Text.h"

#include <cctype>
#include <optional>

namespace tsql::fn {

namespace {

// en-US in any case, or its neutral "en"; anything shaped like a culture name is one this engine
// does not carry; anything else is not a culture at all.
std::optional<bool> knownCulture(std::string name)
{
    name = lower(text::rtrim(name));
    if (name == "en-us" || name == "en")
        return true;
    std::size_t i = 0;
    while (i < name.size() && std::isalpha(static_cast<unsigned char>(name[i])))
        ++i;
    if (i < 2 || i > 3)
        return std::nullopt;
    while (i < name.size()) {
        if (name[i] != '-')
            return std::nullopt;
        std::size_t j = ++i;
        while (j < name.size() && std::isalnum(static_cast<unsigned char>(name[j])))
            ++j;
        if (j - i < 2 || j - i > 8)
            return std::nullopt;
        i = j;
    }
    return false;
}

SqlType formatResult(const Call &c)
{
    const SqlType &t = c.args[0];
    const bool supported = t.isNumeric() || t.base == Base::Date || t.base == Base::Time || t.base == Base::DateTime ||
                           t.base == Base::SmallDateTime || t.base == Base::DateTime2 || t.base == Base::DateTimeOffset;
    if (!supported)
        throw err::make(8116, t.name(), "1", "format");
    return SqlType::nvarchar(4000);
}

Value format(const std::vector<Value> &a, const Call &c, Runtime &)
{
    if (a.size() > 2) {
        const std::optional<bool> culture = knownCulture(a[2].asText());
        if (!culture)
            throw err::make(9818, text::rtrim(a[2].asText()));
        if (!*culture)
            return Value::null(c.result);
    }
    const std::string f = a[1].asText();
    try {
        const Value &v = a[0];
        std::string s;
        switch (v.sqlType().base) {
        case Base::Time: s = fmt::formatTime(v.asDateTime(), f); break;
        case Base::Date: case Base::DateTime: case Base::SmallDateTime: case Base::DateTime2:
            s = fmt::formatDate(v.asDateTime(), f, false);
            break;
        case Base::DateTimeOffset: s = fmt::formatDate(v.asDateTime(), f, true); break;
        default: s = fmt::formatNumber(v, f); break;
        }
        return Value::text(std::move(s), c.result);
    } catch (const fmt::Invalid &) {
        return Value::null(c.result);
    }
}

} // namespace

const std::vector<Definition> &formatFunctions()
{
    static const std::vector<Definition> rows = {
        {"format", 2, 3, "auu", formatResult, format},
    };
    return rows;
}

} // namespace tsql::fn
