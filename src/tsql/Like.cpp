// LIKE, PATINDEX, CHARINDEX and REPLACE by the collation. A LIKE pattern becomes a list of
// tokens read by a nondeterministic automaton kept as a bit set, 64 pattern positions a word:
// each character of the value costs O(|pattern| / 64), nothing recurses, and memory grows
// with the pattern only. '%a%a%a%b' against a long run of a's is as cheap as any other.

#include "tsql/Text.h"

#include "tsql/Interrupt.h"
#include "tsql/TextInternal.h"

#include <functional>
#include <utility>
#include <unordered_map>

namespace tsql::text {

using detail::Key;
using detail::keyOf;
using detail::next;

namespace {

struct KeyHash {
    std::size_t operator()(const Key &k) const
    {
        return std::hash<std::uint64_t>()((std::uint64_t(k.primary) << 32) | k.secondary);
    }
};

// One bracket expression: [abc], [a-f], [^...]. Ranges compare whole keys, so [a-c] holds
// 'B' and 'á' (which sorts between a and b) but not 'ç' (after c).
struct CharSet {
    bool negated = false;
    std::vector<std::pair<Key, Key>> ranges; // a single character is a range of one

    bool contains(const Key &k) const
    {
        bool in = false;
        for (const auto &[lo, hi] : ranges)
            if (!(k < lo) && !(hi < k)) {
                in = true;
                break;
            }
        return in != negated;
    }
};

struct Token {
    enum Kind : std::uint8_t { Literal, AnyOne, Set, Percent } kind;
    Key key{};
    std::uint32_t set = 0;
};

using Bits = std::vector<std::uint64_t>;

// What a pattern remembers of the positions each character met matches: 32 MiB at most.
constexpr std::size_t kCachedWordsMost = std::size_t{4} << 20;

class Pattern {
public:
    Pattern(std::string_view text, std::optional<char32_t> escape);

    bool valid() const { return m_valid; }
    bool leadingPercent() const { return !m_tokens.empty() && m_tokens.front().kind == Token::Percent; }
    bool onlyPercents() const { return m_tokens.size() == 1 && leadingPercent(); }
    // The tokens from the first one that is not '%' to the end, read backwards: PATINDEX runs
    // the value backwards through it to learn where the earliest match starts.
    Pattern reversedTail() const;

    // The automaton's position set before any character: start, and past a leading '%'.
    Bits start() const;
    bool accepts(const Bits &state) const { return bit(state, m_tokens.size()); }
    bool acceptsEverythingAfter(const Bits &state) const
    {
        return accepts(state) && !m_tokens.empty() && m_tokens.back().kind == Token::Percent;
    }
    // Reads one character; false when no position is left alive.
    bool step(Bits &state, char32_t c);

private:
    Pattern() = default;
    void finish();
    const Bits &matching(char32_t c);
    void fill(Bits &b, const Key &k) const;
    static bool bit(const Bits &b, std::size_t i) { return (b[i / 64] >> (i % 64)) & 1; }
    static void set(Bits &b, std::size_t i) { b[i / 64] |= std::uint64_t(1) << (i % 64); }
    void closeOverPercents(Bits &state) const;

    std::vector<Token> m_tokens;
    std::vector<CharSet> m_sets;
    bool m_valid = true;
    std::size_t m_words = 0;
    Bits m_percent; // positions whose token is '%'
    Bits m_any;     // positions whose token is '_'
    std::vector<Bits> m_ascii;
    std::unordered_map<Key, Bits, KeyHash> m_other;
    Bits m_scratch;
    Bits m_computed; // matching()'s answer once the memory for remembering is used up
    std::size_t m_cachedWords = 0;
};

Pattern::Pattern(std::string_view text, std::optional<char32_t> escape)
{
    auto literal = [this](char32_t c) { m_tokens.push_back({Token::Literal, keyOf(c), 0}); };
    for (std::size_t i = 0; i < text.size() && m_valid;) {
        interrupt::poll(1);
        const char32_t c = next(text, i);
        if (escape && c == *escape) {
            // An escape at the very end leaves the pattern invalid, and it then matches nothing.
            if (i >= text.size())
                m_valid = false;
            else
                literal(next(text, i));
        } else if (c == U'%') {
            if (m_tokens.empty() || m_tokens.back().kind != Token::Percent)
                m_tokens.push_back({Token::Percent, {}, 0});
        } else if (c == U'_') {
            m_tokens.push_back({Token::AnyOne, {}, 0});
        } else if (c == U'[') {
            CharSet set;
            bool closed = false;
            bool first = true;
            std::optional<Key> pending; // the last single character, which a '-' may turn into a range start
            while (i < text.size()) {
                char32_t d = next(text, i);
                bool escaped = false;
                if (escape && d == *escape && i < text.size()) {
                    d = next(text, i);
                    escaped = true;
                }
                if (!escaped && d == U']') {
                    closed = true;
                    break;
                }
                if (!escaped && first && d == U'^') {
                    set.negated = true;
                    first = false;
                    continue;
                }
                first = false;
                // 'x-y' is a range unless the '-' is the first or the last thing in the brackets.
                if (!escaped && d == U'-' && pending && i < text.size()) {
                    std::size_t peek = i;
                    char32_t hi = next(text, peek);
                    bool hiEscaped = false;
                    if (escape && hi == *escape && peek < text.size()) {
                        hi = next(text, peek);
                        hiEscaped = true;
                    }
                    if (hiEscaped || hi != U']') {
                        set.ranges.back().second = keyOf(hi);
                        pending.reset();
                        i = peek;
                        continue;
                    }
                }
                const Key k = keyOf(d);
                set.ranges.push_back({k, k});
                pending = k;
            }
            // An unclosed bracket makes the whole pattern invalid: nothing matches it.
            if (!closed)
                m_valid = false;
            m_tokens.push_back({Token::Set, {}, static_cast<std::uint32_t>(m_sets.size())});
            m_sets.push_back(std::move(set));
        } else {
            literal(c);
        }
    }
    finish();
}

void Pattern::finish()
{
    m_words = m_tokens.size() / 64 + 1;
    m_percent.assign(m_words, 0);
    m_any.assign(m_words, 0);
    for (std::size_t i = 0; i < m_tokens.size(); ++i) {
        if (m_tokens[i].kind == Token::Percent)
            set(m_percent, i);
        else if (m_tokens[i].kind == Token::AnyOne)
            set(m_any, i);
    }
    m_ascii.assign(128, Bits());
    m_scratch.assign(m_words, 0);
}

Pattern Pattern::reversedTail() const
{
    Pattern r;
    r.m_valid = m_valid;
    r.m_sets = m_sets;
    for (auto it = m_tokens.rbegin(); it != m_tokens.rend(); ++it)
        r.m_tokens.push_back(*it);
    if (!r.m_tokens.empty() && r.m_tokens.back().kind == Token::Percent)
        r.m_tokens.pop_back();
    r.finish();
    return r;
}

Bits Pattern::start() const
{
    Bits b(m_words, 0);
    set(b, 0);
    closeOverPercents(b);
    return b;
}

void Pattern::closeOverPercents(Bits &state) const
{
    // '%' may match nothing: a live position before a '%' is also live after it. Runs of '%'
    // were merged, so one shift reaches every such position.
    std::uint64_t carry = 0;
    for (std::size_t w = 0; w < m_words; ++w) {
        const std::uint64_t p = state[w] & m_percent[w];
        state[w] |= (p << 1) | carry;
        carry = p >> 63;
    }
}

const Bits &Pattern::matching(char32_t c)
{
    Bits *slot = nullptr;
    if (c < 128) {
        slot = &m_ascii[c];
        if (!slot->empty())
            return *slot;
    }
    const Key k = keyOf(c);
    if (!slot) {
        if (auto it = m_other.find(k); it != m_other.end())
            return it->second;
    }
    if (m_cachedWords + m_words > kCachedWordsMost) {
        // Bounded memory whatever the pattern and the value hold: past the budget a
        // character's positions are worked out again each time it comes.
        fill(m_computed, k);
        return m_computed;
    }
    if (!slot)
        slot = &m_other[k];
    m_cachedWords += m_words;
    fill(*slot, k);
    return *slot;
}

void Pattern::fill(Bits &b, const Key &k) const
{
    b = m_any;
    for (std::size_t i = 0; i < m_tokens.size(); ++i) {
        const Token &t = m_tokens[i];
        if ((t.kind == Token::Literal && t.key == k) || (t.kind == Token::Set && m_sets[t.set].contains(k)))
            set(b, i);
    }
    interrupt::poll(m_tokens.size());
}

bool Pattern::step(Bits &state, char32_t c)
{
    const Bits &match = matching(c);
    interrupt::poll(m_words);
    std::uint64_t carry = 0;
    std::uint64_t alive = 0;
    for (std::size_t w = 0; w < m_words; ++w) {
        // A position moves past a token that takes this character and stays on a '%'.
        const std::uint64_t moved = state[w] & match[w];
        const std::uint64_t next = (moved << 1) | carry | (state[w] & m_percent[w]);
        carry = moved >> 63;
        m_scratch[w] = next;
        alive |= next;
    }
    state.swap(m_scratch);
    closeOverPercents(state);
    return alive != 0;
}

// How many characters a match takes at least: one for each token but '%'. Counted without
// compiling, and only up to `most`.
std::size_t fixedCharacters(std::string_view text, std::optional<char32_t> escape, std::size_t most)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size() && count <= most;) {
        const char32_t c = next(text, i);
        if (c == U'%' && !(escape && c == *escape))
            continue;
        ++count;
        if (escape && c == *escape) {
            if (i < text.size())
                next(text, i);
        } else if (c == U'[') {
            while (i < text.size()) {
                const char32_t d = next(text, i);
                if (escape && d == *escape && i < text.size())
                    next(text, i);
                else if (d == U']')
                    break;
            }
        }
    }
    return count;
}

// A pattern needing more characters than the value has cannot match, and a pattern of millions
// of characters would take memory in proportion to compile. Patterns of ordinary length are
// compiled straight away.
bool tooLongFor(std::string_view value, std::string_view pattern, std::optional<char32_t> escape)
{
    constexpr std::size_t kOrdinary = 8000;
    if (pattern.size() <= kOrdinary || pattern.size() <= value.size() / 4)
        return false;
    const std::size_t available = length(value);
    return fixedCharacters(pattern, escape, available) > available;
}

// The end of the value that LIKE must reach: varchar's trailing blanks may be left over,
// nvarchar's may not.
std::size_t significantEnd(std::string_view value, bool unicode)
{
    if (unicode)
        return value.size();
    std::size_t end = value.size();
    while (end > 0 && value[end - 1] == ' ')
        --end;
    return end;
}

// The last pattern used, compiled: a query calls LIKE once a row with the same pattern.
Pattern &compiled(std::string_view pattern, std::optional<char32_t> escape)
{
    thread_local std::string lastText;
    thread_local std::optional<char32_t> lastEscape;
    thread_local std::optional<Pattern> last;
    if (!last || lastText != pattern || lastEscape != escape) {
        last.reset();
        last.emplace(pattern, escape);
        lastText.assign(pattern);
        lastEscape = escape;
    }
    return *last;
}

// The key sequence of s and, for each character, its byte offset (one more for the end).
void keysOf(std::string_view s, std::vector<Key> &keys, std::vector<std::size_t> *offsets)
{
    for (std::size_t i = 0; i < s.size();) {
        if (offsets)
            offsets->push_back(i);
        keys.push_back(keyOf(next(s, i)));
    }
    if (offsets)
        offsets->push_back(s.size());
}

// Knuth-Morris-Pratt over collation keys, which compare by equality alone: linear whatever
// the needle.
std::vector<std::size_t> failureTable(const std::vector<Key> &needle)
{
    std::vector<std::size_t> f(needle.size(), 0);
    for (std::size_t i = 1, k = 0; i < needle.size(); ++i) {
        while (k > 0 && !(needle[i] == needle[k]))
            k = f[k - 1];
        if (needle[i] == needle[k])
            ++k;
        f[i] = k;
    }
    return f;
}

} // namespace

bool like(std::string_view value, std::string_view pattern, std::optional<char32_t> escape, bool unicode)
{
    if (tooLongFor(value, pattern, escape))
        return false;
    Pattern &p = compiled(pattern, escape);
    if (!p.valid())
        return false;
    const std::size_t end = significantEnd(value, unicode);
    Bits state = p.start();
    std::size_t i = 0;
    while (i < end) {
        if (p.acceptsEverythingAfter(state))
            return true;
        if (!p.step(state, next(value, i)))
            return false;
    }
    if (p.accepts(state))
        return true;
    // Trailing blanks: the match may end before any of them.
    while (i < value.size()) {
        if (!p.step(state, next(value, i)))
            return false;
        if (p.accepts(state))
            return true;
    }
    return false;
}

std::int64_t patindex(std::string_view pattern, std::string_view value, bool unicode)
{
    if (tooLongFor(value, pattern, std::nullopt))
        return 0;
    const Pattern &whole = compiled(pattern, std::nullopt);
    if (!whole.valid())
        return 0;
    if (!whole.leadingPercent())
        return like(value, pattern, std::nullopt, unicode) ? 1 : 0;
    if (whole.onlyPercents())
        return value.empty() ? 0 : 1;
    // Run the value backwards through the reversed pattern: a match is found at every
    // position from which the rest of the value matches, and the last one found is the
    // earliest.
    Pattern tail = whole.reversedTail();
    std::vector<Key> unused;
    std::vector<std::size_t> offsets;
    keysOf(value, unused, &offsets);
    const std::size_t count = offsets.size() - 1;
    const std::size_t end = significantEnd(value, unicode);
    const Bits initial = tail.start();
    Bits state = initial;
    std::int64_t found = 0;
    for (std::size_t k = count; k-- > 0;) {
        if (offsets[k + 1] >= end) {
            // Still among trailing blanks: a match may also end here.
            for (std::size_t w = 0; w < state.size(); ++w)
                state[w] |= initial[w];
        }
        std::size_t at = offsets[k];
        tail.step(state, next(value, at));
        if (tail.accepts(state))
            found = static_cast<std::int64_t>(k) + 1;
    }
    return found;
}

std::int64_t charindex(std::string_view needle, std::string_view haystack, std::int64_t start)
{
    std::vector<Key> want;
    keysOf(needle, want, nullptr);
    if (want.empty())
        return 0;
    const auto fail = failureTable(want);
    std::int64_t position = 0;
    std::size_t matched = 0;
    for (std::size_t i = 0; i < haystack.size();) {
        interrupt::poll(1);
        ++position;
        const Key k = keyOf(next(haystack, i));
        if (position < start)
            continue;
        while (matched > 0 && !(k == want[matched]))
            matched = fail[matched - 1];
        if (k == want[matched])
            ++matched;
        if (matched == want.size())
            return position - static_cast<std::int64_t>(want.size()) + 1;
    }
    return 0;
}

std::string replace(std::string_view s, std::string_view from, std::string_view to)
{
    std::vector<Key> want;
    keysOf(from, want, nullptr);
    if (want.empty())
        return std::string(s);
    const auto fail = failureTable(want);
    std::vector<Key> keys;
    std::vector<std::size_t> offsets;
    keysOf(s, keys, &offsets);
    std::string out;
    out.reserve(s.size());
    std::size_t copied = 0; // byte offset up to which s is in out
    std::size_t matched = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        interrupt::poll(1);
        while (matched > 0 && !(keys[i] == want[matched]))
            matched = fail[matched - 1];
        if (keys[i] == want[matched])
            ++matched;
        if (matched == want.size()) {
            // Occurrences do not overlap: the search starts again after this one.
            const std::size_t first = i + 1 - want.size();
            out.append(s.substr(copied, offsets[first] - copied));
            out.append(to);
            copied = offsets[i + 1];
            matched = 0;
        }
    }
    out.append(s.substr(copied));
    return out;
}

} // namespace tsql::text
