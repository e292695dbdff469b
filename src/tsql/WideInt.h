#pragma once
// Unsigned integers of 512 bits for the intermediate results of exact arithmetic: the product
// of two 38-digit numbers, or a dividend scaled up for a 38-digit quotient, needs more than the
// 128 bits a decimal is kept in. Only what the decimal code needs; nothing here allocates.

#include <array>
#include <cstdint>

namespace tsql::num {

class WideInt {
public:
    using U128 = unsigned __int128;
    static constexpr int Limbs = 8;

    constexpr WideInt() = default;
    constexpr WideInt(U128 v) : m_limb{static_cast<std::uint64_t>(v), static_cast<std::uint64_t>(v >> 64)} {}

    static WideInt pow10(int n); // n <= 154

    bool isZero() const;
    bool fitsU128() const;
    U128 toU128() const { return (static_cast<U128>(m_limb[1]) << 64) | m_limb[0]; }
    int bitLength() const;
    int compare(const WideInt &o) const;
    bool operator<(const WideInt &o) const { return compare(o) < 0; }
    bool operator==(const WideInt &o) const { return m_limb == o.m_limb; }

    WideInt &operator+=(const WideInt &o);
    WideInt &operator-=(const WideInt &o); // requires *this >= o
    // Bits past 512 are lost: callers keep their numbers below 10^154.
    friend WideInt operator*(const WideInt &a, const WideInt &b);
    static void divMod(const WideInt &n, const WideInt &d, WideInt &quotient, WideInt &remainder);

private:
    std::array<std::uint64_t, Limbs> m_limb{};
};

} // namespace tsql::num
