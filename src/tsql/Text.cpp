#include "tsql/Text.h"

#include "tsql/Errors.h"
#include "tsql/TextInternal.h"
#include "tsql/UnicodeTables.h"

#include <algorithm>
#include <array>
#include <limits>

namespace tsql::text {

using detail::next;

namespace tables {

char32_t lookup(std::span<const Pair> table, char32_t c)
{
    if (c > 0xFFFF)
        return c;
    const auto it = std::lower_bound(table.begin(), table.end(), c,
                                     [](const Pair &p, char32_t v) { return p.from < v; });
    return it != table.end() && it->from == c ? it->to : c;
}

} // namespace tables

namespace detail {

char32_t upperOf(char32_t c)
{
    if (c < 0x80)
        return c >= 'a' && c <= 'z' ? c - 32 : c;
    return tables::lookup(tables::upperCase, c);
}

char32_t lowerOf(char32_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    return tables::lookup(tables::lowerCase, c);
}

} // namespace detail

namespace {

// Bytes 0x80-0x9F of Windows-1252. The five bytes the code page leaves unassigned map to the
// C1 controls of the same value, as Windows' own conversion does, so every byte round-trips.
constexpr std::array<char16_t, 32> cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Windows-1252's own case pairs: the Latin-1 letters plus š/Š, œ/Œ, ž/Ž and ÿ/Ÿ; ß, µ and ƒ
// have no partner in the code page and stay as they are.
char32_t upper1252(char32_t c)
{
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 32;
    switch (c) {
    case 0x0161: return 0x0160;
    case 0x0153: return 0x0152;
    case 0x017E: return 0x017D;
    case 0x00FF: return 0x0178;
    default: return c;
    }
}

char32_t lower1252(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    switch (c) {
    case 0x0160: return 0x0161;
    case 0x0152: return 0x0153;
    case 0x017D: return 0x017E;
    case 0x0178: return 0x00FF;
    default: return c;
    }
}

template <typename Map>
std::string mapCase(std::string_view s, Map map)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();)
        append(out, map(next(s, i)));
    return out;
}

} // namespace

std::u32string decode(std::string_view utf8)
{
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();)
        out.push_back(next(utf8, i));
    return out;
}

std::string encode(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text)
        append(out, c);
    return out;
}

void append(std::string &utf8, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = detail::replacementCharacter;
    if (c < 0x80) {
        utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
        utf8 += static_cast<char>(0xC0 | (c >> 6));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        utf8 += static_cast<char>(0xE0 | (c >> 12));
        utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        utf8 += static_cast<char>(0xF0 | (c >> 18));
        utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t length(std::string_view utf8)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size(); ++n)
        next(utf8, i);
    return n;
}

std::size_t utf16Length(std::string_view utf8)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size();)
        n += next(utf8, i) > 0xFFFF ? 2 : 1;
    return n;
}

std::string left(std::string_view utf8, std::size_t n)
{
    std::size_t i = 0;
    for (std::size_t k = 0; k < n && i < utf8.size(); ++k)
        next(utf8, i);
    return std::string(utf8.substr(0, i));
}

std::string substring(std::string_view utf8, std::int64_t start, std::int64_t count)
{
    if (count < 0)
        throw err::make(537);
    // A start before the first character still counts the positions before it: SUBSTRING('abc',
    // -1, 3) covers positions -1, 0 and 1 and so returns 'a'.
    constexpr auto maxPosition = std::numeric_limits<std::int64_t>::max();
    const std::int64_t end = start > maxPosition - count ? maxPosition : start + count; // exclusive
    const std::int64_t first = std::max<std::int64_t>(start, 1);
    if (end <= first)
        return {};
    std::size_t i = 0;
    for (std::int64_t pos = 1; pos < first && i < utf8.size(); ++pos)
        next(utf8, i);
    const std::size_t from = i;
    for (std::int64_t pos = first; pos < end && i < utf8.size(); ++pos)
        next(utf8, i);
    return std::string(utf8.substr(from, i - from));
}

std::string rtrim(std::string_view s)
{
    const auto end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(s.substr(0, end + 1));
}

std::string ltrim(std::string_view s)
{
    const auto begin = s.find_first_not_of(' ');
    return begin == std::string_view::npos ? std::string() : std::string(s.substr(begin));
}

bool inCodePage1252(char32_t c)
{
    return codePage1252Byte(c) >= 0;
}

int codePage1252Byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (std::size_t k = 0; k < cp1252High.size(); ++k)
        if (cp1252High[k] == c)
            return static_cast<int>(0x80 + k);
    return -1;
}

char32_t fromCodePage1252(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0x9F ? cp1252High[byte - 0x80] : byte;
}

std::string toCodePage1252(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = next(utf8, i);
        if (inCodePage1252(c)) {
            append(out, c);
            continue;
        }
        // Windows converts with its best-fit table, which mostly drops the accent the code page
        // lacks (Ā -> A, ł -> l); the letter an accented character sorts with is that letter.
        const char32_t base = tables::lookup(tables::baseCharacter, c);
        append(out, base != c && base < 0x80 ? base : U'?');
    }
    return out;
}

void keepCodePage1252(std::string &utf8)
{
    for (std::size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            ++i;
            continue;
        }
        if (!inCodePage1252(next(utf8, i))) {
            utf8 = toCodePage1252(utf8);
            return;
        }
    }
}

std::string upper(std::string_view utf8, bool unicode)
{
    if (isAscii(utf8)) {
        std::string out(utf8);
        for (char &c : out)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        return out;
    }
    return unicode ? mapCase(utf8, detail::upperOf) : mapCase(utf8, upper1252);
}

std::string lower(std::string_view utf8, bool unicode)
{
    if (isAscii(utf8)) {
        std::string out(utf8);
        for (char &c : out)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        return out;
    }
    return unicode ? mapCase(utf8, detail::lowerOf) : mapCase(utf8, lower1252);
}

} // namespace tsql::text
