// SQL_Latin1_General_CP1_CI_AS as the engine orders text. Each character has a primary weight
// (its base letter, digit or symbol, whatever the case) and a secondary one (its accent).
// Texts compare by their primaries first; only when those are all equal does the first
// differing accent decide, so a < á < b and 'ab' < 'ác' < 'ad'. Symbols sort before digits,
// digits before letters, Latin letters before other scripts; hyphen and apostrophe are
// ordinary symbols, as in the SQL collation's order for varchar.

#include "tsql/Text.h"

#include "tsql/TextInternal.h"
#include "tsql/UnicodeTables.h"

#include <algorithm>
#include <array>

namespace tsql::text {

using detail::Key;
using detail::keyOf;
using detail::next;

namespace {

constexpr std::uint32_t controls = 1u << 24;
constexpr std::uint32_t symbols = 2u << 24;
constexpr std::uint32_t digits = 3u << 24;
constexpr std::uint32_t latinLetters = 4u << 24;
constexpr std::uint32_t otherLetters = 5u << 24;
constexpr std::uint32_t classMask = 0xFFu << 24;

constexpr std::uint32_t asciiPrimary(unsigned c)
{
    if (c < 0x20 || c == 0x7F)
        return controls | c;
    if (c >= '0' && c <= '9')
        return digits | ((c - '0' + 1) << 16);
    if (c >= 'a' && c <= 'z')
        return latinLetters | ((c - 'a' + 1) << 16);
    if (c >= 'A' && c <= 'Z')
        return latinLetters | ((c - 'A' + 1) << 16);
    return symbols | c;
}

constexpr auto asciiPrimaries = [] {
    std::array<std::uint32_t, 128> t{};
    for (unsigned c = 0; c < 128; ++c)
        t[c] = asciiPrimary(c);
    return t;
}();

// Punctuation, currency, arrows, spacing accents and the like: they sort among the ASCII
// symbols, before any digit or letter.
bool isSymbol(char32_t c)
{
    return (c >= 0xA0 && c <= 0xBF) || c == 0xD7 || c == 0xF7 || (c >= 0x2B0 && c <= 0x36F)
        || (c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFE10 && c <= 0xFE6F)
        || (c >= 0xFF01 && c <= 0xFF0F) || c == 0xFFFD;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// The code point in [from, to] with no accent whose primary is the smallest above p, or 0.
char32_t smallestAbove(std::uint32_t p, char32_t from, char32_t to)
{
    char32_t best = 0;
    std::uint32_t bestPrimary = 0;
    for (char32_t c = from; c <= to; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const Key k = keyOf(c);
        if (k.secondary == 0 && k.primary > p && (best == 0 || k.primary < bestPrimary)) {
            best = c;
            bestPrimary = k.primary;
        }
    }
    return best;
}

// A character whose primary comes right after p (or close after it), or 0 when none is known.
char32_t successor(std::uint32_t p)
{
    const std::uint32_t cls = p & classMask;
    const std::uint32_t rank = (p >> 16) & 0xFF;
    if (cls == digits)
        return rank < 10 ? U'0' + rank : U'a';
    if (cls == latinLetters) {
        if (rank < 26)
            return U'a' + rank;
        // After z come the other scripts; the first of them is found once.
        static const char32_t firstOther = smallestAbove(p, 0x80, 0xFFFF);
        return firstOther;
    }
    const char32_t c = p & 0xFFFFFF;
    const char32_t from = c > 0x200 ? c - 0x100 : 0x20;
    if (const char32_t near = smallestAbove(p, from, std::min<char32_t>(c + 0x200, 0xFFFF)))
        return near;
    if (cls == controls)
        return U' ';
    if (cls == symbols)
        return U'0';
    return 0;
}

} // namespace

namespace detail {

Key keyOf(char32_t c)
{
    if (c < 0x80)
        return {asciiPrimaries[c], 0};
    const char32_t base = tables::lookup(tables::baseCharacter, c);
    // Upper and lower case of an accented letter share one accent weight.
    const std::uint32_t secondary = base != c ? lowerOf(c) : 0;
    if (base < 0x80)
        return {asciiPrimaries[base], secondary};
    if (base <= 0x9F)
        return {controls | base, secondary};
    if (isSymbol(base))
        return {symbols | base, secondary};
    return {otherLetters | lowerOf(upperOf(base)), secondary};
}

} // namespace detail

int compare(std::string_view a, std::string_view b)
{
    a = trimmed(a);
    b = trimmed(b);
    // Names are mostly plain ASCII: compare them byte by byte through the weight table, and
    // decode only from the first byte that is not ASCII.
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if ((x | y) & 0x80)
            break;
        if (x != y && asciiPrimaries[x] != asciiPrimaries[y])
            return asciiPrimaries[x] < asciiPrimaries[y] ? -1 : 1;
    }
    if (i == n)
        return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;

    std::size_t ia = i, ib = i;
    int accents = 0;
    while (ia < a.size() && ib < b.size()) {
        const char32_t ca = next(a, ia);
        const char32_t cb = next(b, ib);
        if (ca == cb)
            continue;
        const Key ka = keyOf(ca), kb = keyOf(cb);
        if (ka.primary != kb.primary)
            return ka.primary < kb.primary ? -1 : 1;
        if (accents == 0 && ka.secondary != kb.secondary)
            accents = ka.secondary < kb.secondary ? -1 : 1;
    }
    // Every character has a primary weight, so the longer text is the greater one whatever
    // the accents before.
    if (ia < a.size())
        return 1;
    if (ib < b.size())
        return -1;
    return accents;
}

bool equal(std::string_view a, std::string_view b)
{
    return compare(a, b) == 0;
}

bool prefixRange(std::string_view prefix, std::string &lower, std::string &upper)
{
    // A text that starts with the prefix (character by character under the collation) has the
    // prefix's primaries first, so it is at least the prefix and below the prefix with its last
    // primary raised. Accent variants of the prefix fall inside too ('Santinoa' lies between
    // 'Santiño' and 'Santiñp'); LIKE itself drops them.
    prefix = trimmed(prefix);
    if (prefix.empty())
        return false;
    std::size_t last = 0;
    for (std::size_t i = 0; i < prefix.size();) {
        last = i;
        next(prefix, i);
    }
    std::size_t end = last;
    const char32_t raised = successor(keyOf(next(prefix, end)).primary);
    if (raised == 0)
        return false;
    lower.assign(prefix);
    upper.assign(prefix.substr(0, last));
    append(upper, raised);
    return true;
}

} // namespace tsql::text
