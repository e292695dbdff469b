#pragma once
// Tables taken from the Unicode Character Database (scripts/gen-unicode-tables writes
// UnicodeTables.cpp): sorted by the first code point, Basic Multilingual Plane only.

#include <cstdint>
#include <span>

namespace tsql::text::tables {

struct Pair {
    std::uint16_t from;
    std::uint16_t to;
};

extern const std::span<const Pair> upperCase;     // simple uppercase mapping
extern const std::span<const Pair> lowerCase;     // simple lowercase mapping
extern const std::span<const Pair> baseCharacter; // the letter an accented character is a variant of

// The mapped value of c, or c itself when the table has no row for it.
char32_t lookup(std::span<const Pair> table, char32_t c);

} // namespace tsql::text::tables
