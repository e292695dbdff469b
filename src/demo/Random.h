#pragma once
// The generator's own random source. The standard distributions give different numbers on
// different standard libraries, so a seed would not give the same demo database everywhere.

#include <cstddef>
#include <cstdint>

namespace demo {

class Random {
public:
    // One independent stream per (seed, item, purpose): a table can be generated on its own and
    // still agree with the tables generated before it about the same patient or admission.
    Random(std::uint64_t seed, std::uint64_t item, std::uint64_t purpose)
        : m_state(mix(seed ^ mix(item * 0x9e3779b97f4a7c15ULL + purpose)))
    {
    }

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        return mix(z);
    }

    // In [0, n); the modulo's bias is far below anything a demo could show, and it needs no
    // 128-bit arithmetic, which not every compiler has.
    std::uint64_t below(std::uint64_t n) { return next() % n; }

    // Uniform in [low, high].
    int between(int low, int high)
    {
        return low + static_cast<int>(below(static_cast<std::uint64_t>(high - low + 1)));
    }

    bool perMille(int chance) { return below(1000) < static_cast<std::uint64_t>(chance); }

    template<typename T, std::size_t N>
    const T &pick(const T (&items)[N])
    {
        return items[below(N)];
    }

private:
    static std::uint64_t mix(std::uint64_t z)
    {
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    std::uint64_t m_state;
};

} // namespace demo
