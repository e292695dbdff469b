#pragma once
// What Text.cpp, Collation.cpp and Like.cpp share and nothing else needs: reading one code
// point of UTF-8 and the collation's weights of one character.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tsql::text::detail {

constexpr char32_t replacementCharacter = 0xFFFD;

// The code point at s[i], advancing i past it. A byte that does not start a well-formed
// sequence (stray continuation, overlong form, surrogate, past U+10FFFF, cut short) reads as
// U+FFFD and advances one byte, so every loop over a string ends.
inline char32_t next(std::string_view s, std::size_t &i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra;
    char32_t c;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1, c = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2, c = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3, c = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return replacementCharacter;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return replacementCharacter;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return replacementCharacter;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return replacementCharacter;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return c;
}

// A character's place in SQL_Latin1_General_CP1_CI_AS: `primary` orders base letters, digits
// and symbols and is the same for upper and lower case; `secondary` tells accented forms
// apart (0 for the plain letter) and decides only between texts whose primaries are all equal.
struct Key {
    std::uint32_t primary;
    std::uint32_t secondary;
    bool operator==(const Key &) const = default;
    auto operator<=>(const Key &) const = default;
};

Key keyOf(char32_t c);

// Unicode's simple case mappings (Basic Multilingual Plane).
char32_t upperOf(char32_t c);
char32_t lowerOf(char32_t c);

} // namespace tsql::text::detail
