// The text functions, as rows of the function table.

#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Functions.h"
#include "tsql/Interrupt.h"
#include "tsql/Text.h"

namespace tsql::fn {

namespace {

bool isMax(const SqlType &t)
{
    return t.isLob();
}

SqlType intOrBig(const Call &c)
{
    return SqlType{!c.args.empty() && isMax(c.args[0]) ? Base::BigInt : Base::Int};
}

SqlType sameText(const Call &c)
{
    const SqlType &a = c.args[0];
    if (a.isText())
        return textResult(a, a.length == 0 ? 1 : a.length);
    return SqlType::varchar(8000);
}

Value text(std::string s, const Call &c)
{
    // Text a function makes is held as its result type holds text.
    if (!c.result.isUnicode())
        text::keepCodePage1252(s);
    return Value::text(std::move(s), c.result);
}

std::int64_t integer(const Value &v)
{
    return v.type() == Value::Type::Integer ? v.asInteger() : conv::convert(v, SqlType{Base::BigInt}).asInteger();
}

std::string trimChars(const std::string &s, const std::u32string &chars, bool left, bool right)
{
    std::u32string t = text::decode(s);
    std::size_t b = 0, e = t.size();
    auto in = [&](char32_t c) { return chars.find(c) != std::u32string::npos; };
    if (left)
        while (b < e && in(t[b]))
            ++b;
    if (right)
        while (e > b && in(t[e - 1]))
            --e;
    return text::encode(t.substr(b, e - b));
}

std::int64_t lengthOf(const Value &v)
{
    const std::string r = text::rtrim(v.asText());
    return static_cast<std::int64_t>(v.sqlType().isUnicode() ? text::utf16Length(r) : text::length(r));
}

} // namespace

const std::vector<Definition> &textFunctions()
{
    static const std::vector<Definition> rows = {
        {"len", 1, 1, "s", intOrBig,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             return Value::integer(lengthOf(toText(a[0])), c.result);
         }},
        {"datalength", 1, 1, "a", intOrBig,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const SqlType &t = a[0].sqlType();
             std::int64_t n = 0;
             if (t.isText())
                 n = static_cast<std::int64_t>(t.isUnicode() ? 2 * text::utf16Length(a[0].asText()) : text::length(a[0].asText()));
             else if (t.isBinary())
                 n = static_cast<std::int64_t>(a[0].asText().size());
             else
                 n = t.storageBytes();
             return Value::integer(n, c.result);
         }},
        {"ltrim", 1, 2, "u", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             if (a.size() > 1)
                 return text(trimChars(a[0].asText(), text::decode(a[1].asText()), true, false), c);
             return text(text::ltrim(a[0].asText()), c);
         }},
        {"rtrim", 1, 2, "u", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             if (a.size() > 1)
                 return text(trimChars(a[0].asText(), text::decode(a[1].asText()), false, true), c);
             return text(text::rtrim(a[0].asText()), c);
         }},
        {"trim", 1, 2, "u", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::u32string chars = a.size() > 1 ? text::decode(a[1].asText()) : std::u32string(U" ");
             return text(trimChars(a[0].asText(), chars, true, true), c);
         }},
        {"upper", 1, 1, "u", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             return text(text::upper(a[0].asText(), c.result.isUnicode()), c);
         }},
        {"lower", 1, 1, "u", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             return text(text::lower(a[0].asText(), c.result.isUnicode()), c);
         }},
        {"substring", 3, 3, "uii", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             return text(text::substring(a[0].asText(), integer(a[1]), integer(a[2])), c);
         }},
        {"left", 2, 2, "ui", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::int64_t n = integer(a[1]);
             if (n < 0)
                 throw err::make(536, "left");
             return text(text::left(a[0].asText(), static_cast<std::size_t>(n)), c);
         }},
        {"right", 2, 2, "ui", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::int64_t n = integer(a[1]);
             if (n < 0)
                 throw err::make(536, "right");
             const std::u32string t = text::decode(a[0].asText());
             const std::size_t k = std::min<std::size_t>(t.size(), static_cast<std::size_t>(n));
             return text(text::encode(t.substr(t.size() - k)), c);
         }},
        {"replace", 3, 3, "uuu",
         [](const Call &c) {
             const bool unicode = c.args[0].isUnicode() || c.args[1].isUnicode() || c.args[2].isUnicode();
             return SqlType{unicode ? Base::NVarChar : Base::VarChar, isMax(c.args[0]) ? -1 : (unicode ? 4000 : 8000)};
         },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             return text(text::replace(a[0].asText(), a[1].asText(), a[2].asText()), c);
         }},
        {"charindex", 2, 3, "uub",
         [](const Call &c) { return SqlType{isMax(c.args[1]) ? Base::BigInt : Base::Int}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::int64_t start = a.size() > 2 ? integer(a[2]) : 1;
             return Value::integer(text::charindex(a[0].asText(), a[1].asText(), start), c.result);
         }},
        {"patindex", 2, 2, "uu",
         [](const Call &c) { return SqlType{isMax(c.args[1]) ? Base::BigInt : Base::Int}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const bool unicode = a[0].sqlType().isUnicode() || a[1].sqlType().isUnicode();
             return Value::integer(text::patindex(a[0].asText(), a[1].asText(), unicode), c.result);
         }},
        {"reverse", 1, 1, "u", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             std::u32string t = text::decode(a[0].asText());
             return text(text::encode(std::u32string(t.rbegin(), t.rend())), c);
         }},
        {"replicate", 2, 2, "ub",
         [](const Call &c) { return textResult(c.args[0], isMax(c.args[0]) ? -1 : 8000); },
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const std::int64_t n = integer(a[1]);
             if (n < 0)
                 return Value::null(c.result);
             const std::string &s = a[0].asText();
             // Refused before it is built: a billion copies must not take the memory first.
             if (c.result.length == -1 && !s.empty() && static_cast<std::uint64_t>(n) > rt.valueLimit() / s.size())
                 throw err::make(7119, std::to_string(rt.valueLimit()));
             // The unit is made what the result holds once, not the hundred-megabyte result.
             std::string unit = s;
             if (!c.result.isUnicode())
                 text::keepCodePage1252(unit);
             std::string r;
             if (unit.empty())
                 return Value::text(std::move(r), c.result);
             // A sized result holds its length in characters; a max one was bounded above.
             std::uint64_t copies = static_cast<std::uint64_t>(n);
             const std::size_t chars = text::length(unit);
             const auto most = static_cast<std::uint64_t>(c.result.length);
             if (c.result.length != -1)
                 copies = std::min<std::uint64_t>(copies, (most + chars - 1) / chars);
             r.reserve(static_cast<std::size_t>(copies) * unit.size());
             for (std::uint64_t i = 0; i < copies; ++i) {
                 r += unit;
                 interrupt::poll(unit.size());
             }
             if (c.result.length != -1 && copies * chars > most)
                 r = text::left(r, static_cast<std::size_t>(most));
             return Value::text(std::move(r), c.result);
         }},
        {"space", 1, 1, "i",
         [](const Call &) { return SqlType::varchar(8000); },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::int64_t n = integer(a[0]);
             if (n < 0)
                 return Value::null(c.result);
             return Value::text(std::string(static_cast<std::size_t>(std::min<std::int64_t>(n, 8000)), ' '), c.result);
         }},
        {"stuff", 4, 4, "uiiu", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             std::u32string s = text::decode(a[0].asText());
             const std::int64_t start = integer(a[1]), len = integer(a[2]);
             if (start < 1 || start > static_cast<std::int64_t>(s.size()) || len < 0)
                 return Value::null(c.result);
             const std::u32string ins = a[3].isNull() ? std::u32string() : text::decode(a[3].asText());
             s.replace(static_cast<std::size_t>(start - 1),
                       static_cast<std::size_t>(std::min<std::int64_t>(len, static_cast<std::int64_t>(s.size()) - start + 1)), ins);
             return text(text::encode(s), c);
         },
         0},
        {"char", 1, 1, "i",
         [](const Call &) { return SqlType{Base::Char, 1}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::int64_t n = integer(a[0]);
             if (n < 0 || n > 255)
                 return Value::null(c.result);
             std::string s;
             text::append(s, text::fromCodePage1252(static_cast<unsigned char>(n)));
             return Value::text(s, c.result);
         }},
        {"nchar", 1, 1, "i",
         [](const Call &) { return SqlType{Base::NChar, 1}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::int64_t n = integer(a[0]);
             if (n < 0 || n > 0x10FFFF)
                 return Value::null(c.result);
             std::string s;
             text::append(s, static_cast<char32_t>(n));
             return Value::text(s, c.result);
         }},
        {"ascii", 1, 1, "s",
         [](const Call &) { return SqlType{Base::Int}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::u32string t = text::decode(a[0].asText());
             if (t.empty())
                 return Value::null(c.result);
             const int b = text::codePage1252Byte(t[0]);
             return Value::integer(b < 0 ? '?' : b, c.result);
         }},
        {"unicode", 1, 1, "u",
         [](const Call &) { return SqlType{Base::Int}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::u32string t = text::decode(a[0].asText());
             if (t.empty())
                 return Value::null(c.result);
             return Value::integer(static_cast<std::int64_t>(t[0]), c.result);
         }},
        {"quotename", 1, 2, "uu",
         [](const Call &) { return SqlType::nvarchar(258); },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::string &s = a[0].asText();
             if (text::length(s) > 128)
                 return Value::null(c.result);
             const char quote = a.size() > 1 && !a[1].asText().empty() ? a[1].asText()[0] : '[';
             char open = quote, close = quote;
             if (open == '[' || open == ']') {
                 open = '[';
                 close = ']';
             } else if (open == '(' || open == ')') {
                 open = '(';
                 close = ')';
             } else if (open == '<' || open == '>') {
                 open = '<';
                 close = '>';
             } else if (open == '{' || open == '}') {
                 open = '{';
                 close = '}';
             } else if (open != '\'' && open != '"' && open != '`') {
                 return Value::null(c.result);
             }
             std::string r(1, open);
             for (char ch : s) {
                 r += ch;
                 if (ch == close)
                     r += ch;
             }
             r += close;
             return Value::text(r, c.result);
         }},
        {"translate", 3, 3, "uuu", sameText,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::u32string from = text::decode(a[1].asText()), to = text::decode(a[2].asText());
             if (from.size() != to.size())
                 throw err::make(9828);
             std::u32string s = text::decode(a[0].asText());
             for (char32_t &ch : s) {
                 const auto k = from.find(ch);
                 if (k != std::u32string::npos)
                     ch = to[k];
             }
             return text(text::encode(s), c);
         }},
        {"concat", 2, 254, "a",
         [](const Call &c) {
             bool unicode = false;
             std::int64_t len = 0;
             for (const SqlType &t : c.args) {
                 unicode = unicode || t.isUnicode();
                 const int l = t.isText() ? t.length : t.isNull() ? 1 : 30;
                 len = (len == -1 || l == -1 || t.isLob()) ? -1 : len + std::max(1, l);
             }
             const std::int64_t limit = unicode ? 4000 : 8000;
             return SqlType{unicode ? Base::NVarChar : Base::VarChar,
                            static_cast<std::int32_t>(len == -1 || len > limit ? -1 : len)};
         },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             std::string r;
             for (const Value &v : a)
                 if (!v.isNull())
                     r += toText(v).asText();
             return text(std::move(r), c);
         },
         0},
        {"concat_ws", 3, 254, "a",
         [](const Call &c) {
             bool unicode = false;
             for (const SqlType &t : c.args)
                 unicode = unicode || t.isUnicode();
             return SqlType{unicode ? Base::NVarChar : Base::VarChar, -1};
         },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const std::string sep = a[0].isNull() ? std::string() : toText(a[0]).asText();
             std::string r;
             bool first = true;
             for (std::size_t i = 1; i < a.size(); ++i) {
                 if (a[i].isNull())
                     continue;
                 if (!first)
                     r += sep;
                 r += toText(a[i]).asText();
                 first = false;
             }
             return text(std::move(r), c);
         },
         0},
    };
    return rows;
}

} // namespace tsql::fn
