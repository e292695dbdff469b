#include "tsql/WideInt.h"

namespace tsql::num {

WideInt WideInt::pow10(int n)
{
    static const auto table = [] {
        std::array<WideInt, 155> t{};
        t[0] = WideInt(1);
        for (std::size_t i = 1; i < t.size(); ++i)
            t[i] = t[i - 1] * WideInt(10);
        return t;
    }();
    return table[static_cast<std::size_t>(n)];
}

bool WideInt::isZero() const
{
    for (std::uint64_t l : m_limb)
        if (l != 0)
            return false;
    return true;
}

bool WideInt::fitsU128() const
{
    for (int i = 2; i < Limbs; ++i)
        if (m_limb[i] != 0)
            return false;
    return true;
}

int WideInt::bitLength() const
{
    for (int i = Limbs - 1; i >= 0; --i)
        if (m_limb[i] != 0)
            return i * 64 + 64 - __builtin_clzll(m_limb[i]);
    return 0;
}

int WideInt::compare(const WideInt &o) const
{
    for (int i = Limbs - 1; i >= 0; --i)
        if (m_limb[i] != o.m_limb[i])
            return m_limb[i] < o.m_limb[i] ? -1 : 1;
    return 0;
}

WideInt &WideInt::operator+=(const WideInt &o)
{
    U128 carry = 0;
    for (int i = 0; i < Limbs; ++i) {
        const U128 s = static_cast<U128>(m_limb[i]) + o.m_limb[i] + carry;
        m_limb[i] = static_cast<std::uint64_t>(s);
        carry = s >> 64;
    }
    return *this;
}

WideInt &WideInt::operator-=(const WideInt &o)
{
    std::uint64_t borrow = 0;
    for (int i = 0; i < Limbs; ++i) {
        const std::uint64_t a = m_limb[i], b = o.m_limb[i];
        const std::uint64_t d = a - b - borrow;
        borrow = (a < b || (a == b && borrow)) ? 1 : 0;
        m_limb[i] = d;
    }
    return *this;
}

WideInt operator*(const WideInt &a, const WideInt &b)
{
    WideInt r;
    for (int i = 0; i < WideInt::Limbs; ++i) {
        if (a.m_limb[i] == 0)
            continue;
        WideInt::U128 carry = 0;
        for (int j = 0; i + j < WideInt::Limbs; ++j) {
            const WideInt::U128 p = static_cast<WideInt::U128>(a.m_limb[i]) * b.m_limb[j] + r.m_limb[i + j] + carry;
            r.m_limb[i + j] = static_cast<std::uint64_t>(p);
            carry = p >> 64;
        }
    }
    return r;
}

void WideInt::divMod(const WideInt &n, const WideInt &d, WideInt &quotient, WideInt &remainder)
{
    if (n.fitsU128() && d.fitsU128()) {
        const U128 a = n.toU128(), b = d.toU128();
        quotient = WideInt(a / b);
        remainder = WideInt(a % b);
        return;
    }
    // Shift and subtract: at most 512 rounds, only for the rare operands past 128 bits.
    quotient = WideInt();
    remainder = WideInt();
    for (int bit = n.bitLength() - 1; bit >= 0; --bit) {
        for (int i = Limbs - 1; i > 0; --i)
            remainder.m_limb[i] = (remainder.m_limb[i] << 1) | (remainder.m_limb[i - 1] >> 63);
        remainder.m_limb[0] = (remainder.m_limb[0] << 1) | ((n.m_limb[bit / 64] >> (bit % 64)) & 1);
        if (remainder.compare(d) >= 0) {
            remainder -= d;
            quotient.m_limb[bit / 64] |= std::uint64_t{1} << (bit % 64);
        }
    }
}

} // namespace tsql::num
