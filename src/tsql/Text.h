#pragma once
// Text as SQL Server's default collation SQL_Latin1_General_CP1_CI_AS treats it: UTF-8 in
// memory and in SQLite; varchar holds what code page 1252 can hold, nvarchar any Unicode.
// Comparison ignores case and trailing blanks and tells accents apart; case mapping follows
// Windows-1252 for varchar and Unicode for nvarchar. LIKE, PATINDEX, CHARINDEX and REPLACE
// compare by the collation. Nothing here recurses over the text or takes more than polynomial
// time, whatever the pattern.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tsql::text {

// UTF-8. Invalid bytes read as U+FFFD; nothing here throws on bad input.
std::u32string decode(std::string_view utf8);
std::string encode(std::u32string_view text);
void append(std::string &utf8, char32_t c);
std::size_t length(std::string_view utf8);       // code points
std::size_t utf16Length(std::string_view utf8);  // UTF-16 code units (nvarchar's length)
std::string left(std::string_view utf8, std::size_t n);              // first n code points
// SUBSTRING's rules: 1-based; a start <= 0 still counts the positions before the first
// character; a negative count throws Msg 537.
std::string substring(std::string_view utf8, std::int64_t start, std::int64_t count);
std::string rtrim(std::string_view s);  // trailing blanks (U+0020)
std::string ltrim(std::string_view s);

// Code page 1252: what a varchar can hold. toCodePage1252 turns what it cannot hold into the
// plain letter when the character is an accented Latin letter (Ā -> A, ł -> l, like Windows'
// best-fit conversion SQL Server uses when nvarchar becomes varchar) and into '?' otherwise.
bool inCodePage1252(char32_t c);
std::string toCodePage1252(std::string_view utf8);
void keepCodePage1252(std::string &utf8); // the same, in place: no copy when it already fits
int codePage1252Byte(char32_t c); // -1 when not representable
char32_t fromCodePage1252(unsigned char byte);

// Case mapping: `unicode` for nchar/nvarchar (Unicode simple case mapping), else Windows-1252's
// (e.g. 'š' <-> 'Š', 'ÿ' <-> 'Ÿ', no 'ß' upper case).
std::string upper(std::string_view utf8, bool unicode);
std::string lower(std::string_view utf8, bool unicode);

// The collation: < 0, 0, > 0. Case-insensitive, accent-sensitive, trailing blanks ignored.
int compare(std::string_view a, std::string_view b);
bool equal(std::string_view a, std::string_view b);
// Bounds [lower, upper) in the collation holding every text that starts with `prefix`
// (literal characters only); false when the prefix gives no useful range.
bool prefixRange(std::string_view prefix, std::string &lower, std::string &upper);

// LIKE with %, _, [abc], [a-f], [^...] and an optional escape character, case-insensitive by
// the collation; ranges in brackets follow the collation's order. Trailing blanks of a
// varchar value may be left unmatched; with `unicode` (an nchar/nvarchar operand) they count.
// An unclosed '[' or an escape at the end of the pattern matches nothing. Time
// O(|value| * |pattern| / 64), memory O(|pattern|), no recursion.
bool like(std::string_view value, std::string_view pattern, std::optional<char32_t> escape = std::nullopt,
          bool unicode = false);
// PATINDEX: 1-based position of the first match of the pattern ('%...%' as SQL Server requires
// it), 0 when none.
std::int64_t patindex(std::string_view pattern, std::string_view value, bool unicode = false);
// CHARINDEX: 1-based position of `needle` in `haystack` at or after `start`, by the collation;
// 0 when not found.
std::int64_t charindex(std::string_view needle, std::string_view haystack, std::int64_t start = 1);
// REPLACE by the collation (case-insensitive match).
std::string replace(std::string_view s, std::string_view from, std::string_view to);

} // namespace tsql::text
