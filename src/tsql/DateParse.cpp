// Text to a date-time value, as CAST, CONVERT and implicit conversion read it.
//
// datetime and smalldatetime keep SQL Server's older reader: a numeric date whose year comes
// first takes its month and day in the order DATEFORMAT gives them ('2004-05-23' is the 5th of
// month 23 under dmy), an impossible date is out of range (242) rather than no date, and at
// most three fractional digits are read. date, time, datetime2 and datetimeoffset share the newer
// reader: a four-digit year first is always year-month-day, an impossible date is no date (241),
// seven fractional digits, an offset is read (and dropped by the types without one).

#include "tsql/DateTime.h"

#include "tsql/DateCalendar.h"
#include "tsql/Errors.h"

#include <vector>

namespace tsql::dt {

using namespace cal;

namespace {

struct Token {
    enum Kind { Number, Word, Sep, Space } kind;
    std::string_view text;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
// ASCII letters, and the bytes of UTF-8 sequences: the Arabic month names of style 130.
bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
}

bool tokenize(std::string_view s, std::vector<Token> &out)
{
    // The longest date and time SQL Server reads ("December 6, 2026 11:59:59.9999999 PM +05:30")
    // is some twenty pieces; a text of millions of pieces is refused before they are all stored.
    constexpr std::size_t kMostTokens = 64;
    std::size_t i = 0;
    while (i < s.size()) {
        if (out.size() == kMostTokens)
            return false;
        const std::size_t start = i;
        Token::Kind kind;
        if (isDigit(s[i])) {
            kind = Token::Number;
            while (i < s.size() && isDigit(s[i]))
                ++i;
        } else if (isLetter(s[i])) {
            kind = Token::Word;
            while (i < s.size() && isLetter(s[i]))
                ++i;
        } else if (isBlank(s[i])) {
            kind = Token::Space;
            while (i < s.size() && isBlank(s[i]))
                ++i;
        } else if (std::string_view("/-.:,+").find(s[i]) != std::string_view::npos) {
            kind = Token::Sep;
            ++i;
        } else {
            return false;
        }
        out.push_back({kind, s.substr(start, i - start)});
    }
    return true;
}

enum class Failure { None, Syntax, Range, Ydm };

struct Parsed {
    bool hasDate = false, hasTime = false, hasOffset = false;
    bool hijri = false;
    int year = 1900, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    std::int64_t ticks = 0;
    int offsetMinutes = 0;
};

// The order of numeric dates a CONVERT style implies; empty for the session's DATEFORMAT.
std::string_view styleOrder(int style)
{
    switch (style) {
    case 1: case 101: case 10: case 110: case 22: return "mdy";
    case 3: case 103: case 4: case 104: case 5: case 105: case 131: return "dmy";
    case 2: case 102: case 11: case 111: return "ymd";
    case 20: case 120: case 21: case 121: case 23: case 25: case 126: case 127: return "ymd";
    default: return {};
    }
}

// Styles whose dates are ISO's year-month-day even for the older reader.
bool isIsoStyle(int style)
{
    return style == 20 || style == 120 || style == 21 || style == 121 || style == 23 || style == 25 ||
           style == 126 || style == 127;
}

int twoDigitYear(int y) { return y <= 49 ? 2000 + y : 1900 + y; }

int value(std::string_view digits)
{
    int v = 0;
    for (char c : digits)
        v = v * 10 + (c - '0');
    return v;
}

class Reader {
public:
    Reader(const std::vector<Token> &tokens, const SqlType &t, int style, const Settings &settings)
        : m_tokens(tokens), m_legacy(isLegacy(t)), m_style(style)
    {
        const std::string_view order = styleOrder(style);
        m_order = order.empty() ? lower(settings.dateFormat) : std::string(order);
        if (!isDateFormat(m_order))
            m_order = "mdy";
    }

    Failure read(Parsed &p)
    {
        skipSpace();
        if (atEnd())
            return Failure::None;
        Failure f = Failure::None;
        if (startsTime(m_i)) {
            // A time may come first: '14:30 2004-05-23'.
            if ((f = readTime(p)) != Failure::None)
                return f;
            skipSpace();
            if (!atEnd() && !startsOffset() && (f = readDate(p)) != Failure::None)
                return f;
        } else {
            if ((f = readDate(p)) != Failure::None)
                return f;
            if (isWord(m_i, "t")) {
                if (!m_isoDate)
                    return Failure::Syntax;
                ++m_i;
                if (!startsTime(m_i) || (f = readTime(p)) != Failure::None)
                    return f == Failure::None ? Failure::Syntax : f;
            } else {
                skipSpace();
                if (startsTime(m_i) && (f = readTime(p)) != Failure::None)
                    return f;
            }
        }
        if (p.hasTime && startsOffset() && (f = readOffset(p)) != Failure::None)
            return f;
        skipSpace();
        return atEnd() ? Failure::None : Failure::Syntax;
    }

private:
    bool atEnd() const { return m_i >= m_tokens.size(); }
    bool is(std::size_t i, Token::Kind kind) const { return i < m_tokens.size() && m_tokens[i].kind == kind; }
    bool isSep(std::size_t i, char c) const { return is(i, Token::Sep) && m_tokens[i].text[0] == c; }
    bool isWord(std::size_t i, std::string_view w) const { return is(i, Token::Word) && iequals(m_tokens[i].text, w); }
    bool isMeridiem(std::size_t i) const { return isWord(i, "am") || isWord(i, "pm"); }
    void skipSpace()
    {
        while (is(m_i, Token::Space))
            ++m_i;
    }

    // '14:30', '4 PM', '4am'.
    bool startsTime(std::size_t i) const
    {
        return is(i, Token::Number) &&
               (isSep(i + 1, ':') || isMeridiem(i + 1) || (is(i + 1, Token::Space) && isMeridiem(i + 2)));
    }

    bool startsOffset()
    {
        std::size_t i = m_i;
        while (is(i, Token::Space))
            ++i;
        return isWord(i, "z") || isSep(i, '+') || (isSep(i, '-') && is(i + 1, Token::Number));
    }

    Failure readTime(Parsed &p)
    {
        auto number = [&](int maxDigits, int &out) {
            if (!is(m_i, Token::Number) || m_tokens[m_i].text.size() > static_cast<std::size_t>(maxDigits))
                return false;
            out = value(m_tokens[m_i++].text);
            return true;
        };
        if (!number(2, p.hour))
            return Failure::Syntax;
        if (isSep(m_i, ':')) {
            ++m_i;
            if (!number(2, p.minute))
                return Failure::Syntax;
            if (isSep(m_i, ':') && is(m_i + 1, Token::Number)) {
                ++m_i;
                if (!number(2, p.second))
                    return Failure::Syntax;
                const bool colon = isSep(m_i, ':');
                if ((colon || isSep(m_i, '.')) && is(m_i + 1, Token::Number)) {
                    const std::string_view digits = m_tokens[m_i + 1].text;
                    m_i += 2;
                    // After a colon the digits are thousandths: 12:30:20:1 is 20.001 seconds.
                    if (colon) {
                        if (digits.size() > 3)
                            return Failure::Syntax;
                        p.ticks = value(digits) * std::int64_t{10'000};
                    } else {
                        if (digits.size() > (m_legacy ? 3u : 7u))
                            return Failure::Syntax;
                        p.ticks = value(digits);
                        for (std::size_t n = digits.size(); n < 7; ++n)
                            p.ticks *= 10;
                    }
                }
            }
        }
        std::size_t next = m_i;
        if (is(next, Token::Space))
            ++next;
        if (isMeridiem(next)) {
            const bool pm = isWord(next, "pm");
            m_i = next + 1;
            // 12 AM is midnight; AM after 13..23 and PM after 0 are no times.
            if (p.hour > 12 || (pm && p.hour == 0))
                return Failure::Syntax;
            if (p.hour == 12)
                p.hour = 0;
            if (pm)
                p.hour += 12;
        }
        if (p.hour > 23 || p.minute > 59 || p.second > 59)
            return Failure::Syntax;
        p.hasTime = true;
        return Failure::None;
    }

    Failure readOffset(Parsed &p)
    {
        skipSpace();
        const bool zulu = isWord(m_i, "z");
        // The older types take an offset only where XML's dates carry one: Z after ISO's T, or style 127.
        if (m_legacy && !(m_style == 127 || (zulu && m_isoDate && m_sawT)))
            return Failure::Syntax;
        p.hasOffset = true;
        if (zulu) {
            ++m_i;
            return Failure::None;
        }
        const int sign = isSep(m_i, '-') ? -1 : 1;
        ++m_i;
        if (!is(m_i, Token::Number) || m_tokens[m_i].text.size() > 2 || !isSep(m_i + 1, ':') ||
            !is(m_i + 2, Token::Number) || m_tokens[m_i + 2].text.size() > 2)
            return Failure::Syntax;
        const int hours = value(m_tokens[m_i].text);
        const int minutes = value(m_tokens[m_i + 2].text);
        m_i += 3;
        if (minutes > 59 || hours * 60 + minutes > 14 * 60)
            return Failure::Syntax;
        p.offsetMinutes = sign * (hours * 60 + minutes);
        return Failure::None;
    }

    Failure readDate(Parsed &p)
    {
        p.hasDate = true;
        p.hijri = m_style == 130 || m_style == 131;
        if (is(m_i, Token::Number) && (isSep(m_i + 1, '/') || isSep(m_i + 1, '-') || isSep(m_i + 1, '.')) &&
            is(m_i + 2, Token::Number))
            return readNumericDate(p);
        if (is(m_i, Token::Word) || (is(m_i, Token::Number) && monthFollows()))
            return readAlphabeticDate(p);
        if (is(m_i, Token::Number))
            return readUnseparatedDate(p);
        return Failure::Syntax;
    }

    bool monthFollows() const
    {
        for (std::size_t i = m_i; i < m_tokens.size(); ++i) {
            if (m_tokens[i].kind == Token::Word)
                return !isWord(i, "t") && !isMeridiem(i);
            if (m_tokens[i].kind == Token::Sep && m_tokens[i].text[0] != ',')
                return false;
        }
        return false;
    }

    // n/n/n with one separator, in DATEFORMAT's (or the style's) order.
    Failure readNumericDate(Parsed &p)
    {
        const char sep = m_tokens[m_i + 1].text[0];
        if (!isSep(m_i + 3, sep) || !is(m_i + 4, Token::Number))
            return Failure::Syntax;
        const std::string_view parts[] = {m_tokens[m_i].text, m_tokens[m_i + 2].text, m_tokens[m_i + 4].text};
        m_i += 5;
        int yearAt = -1;
        for (int k = 0; k < 3; ++k) {
            if (parts[k].size() > 4)
                return Failure::Syntax;
            if (parts[k].size() > 2) {
                if (yearAt >= 0)
                    return Failure::Syntax;
                yearAt = k;
            }
        }
        m_isoDate = yearAt == 0 && sep == '-' && parts[1].size() == 2 && parts[2].size() == 2;
        m_sawT = isWord(m_i, "t");
        const bool monthFirst = m_order.find('m') < m_order.find('d');
        int y = 0, m = 0, d = 0;
        if (yearAt < 0) {
            if (!m_legacy && m_order == "ydm")
                return Failure::Ydm;
            y = static_cast<int>(m_order.find('y'));
            m = static_cast<int>(m_order.find('m'));
            d = static_cast<int>(m_order.find('d'));
        } else if (yearAt == 0 && (!m_legacy || m_sawT || isIsoStyle(m_style))) {
            y = 0, m = 1, d = 2;
        } else {
            y = yearAt;
            const int first = yearAt == 0 ? 1 : 0;
            const int second = yearAt == 2 ? 1 : 2;
            m = monthFirst ? first : second;
            d = monthFirst ? second : first;
        }
        if (parts[m].size() > 2 || parts[d].size() > 2)
            return Failure::Syntax;
        p.year = parts[y].size() > 2 ? value(parts[y]) : twoDigitYear(value(parts[y]));
        p.month = value(parts[m]);
        p.day = value(parts[d]);
        return Failure::None;
    }

    // 'Apr 15 1996', '15 April, 1996', '1996 APR 15', 'April 1996': DATEFORMAT plays no part.
    Failure readAlphabeticDate(Parsed &p)
    {
        std::vector<std::string_view> numbers;
        int month = 0;
        while (!atEnd()) {
            if (is(m_i, Token::Space) || isSep(m_i, ',')) {
                ++m_i;
                continue;
            }
            if (is(m_i, Token::Word)) {
                if (month != 0 || isMeridiem(m_i) || isWord(m_i, "t") || isWord(m_i, "z"))
                    break;
                if ((month = monthWord()) == 0)
                    return Failure::Syntax;
                continue;
            }
            if (!is(m_i, Token::Number) || startsTime(m_i))
                break;
            numbers.push_back(m_tokens[m_i++].text);
        }
        // Leave the blank before a time for the caller.
        while (m_i > 0 && is(m_i - 1, Token::Space))
            --m_i;
        if (month == 0 || numbers.empty() || numbers.size() > 2)
            return Failure::Syntax;
        std::string_view day, year;
        if (numbers.size() == 1) {
            year = numbers[0];
        } else if (numbers[0].size() > 2 && numbers[1].size() > 2) {
            return Failure::Syntax;
        } else if (numbers[0].size() > 2) {
            year = numbers[0], day = numbers[1];
        } else {
            day = numbers[0], year = numbers[1];
        }
        if (year.size() > 4 || day.size() > 2 || (day.empty() && year.size() <= 2))
            return Failure::Syntax;
        p.year = year.size() > 2 ? value(year) : twoDigitYear(value(year));
        p.month = month;
        p.day = day.empty() ? 1 : value(day);
        return Failure::None;
    }

    // A month's name at the cursor, consumed; 0 when the word is no month. Style 130 names the
    // Hijri months in Arabic, some of them two words.
    int monthWord()
    {
        const std::string_view word = m_tokens[m_i].text;
        if (m_style != 130) {
            ++m_i;
            return monthFromName(word);
        }
        if (is(m_i + 1, Token::Space) && is(m_i + 2, Token::Word)) {
            const std::string_view last = m_tokens[m_i + 2].text;
            const std::string both(word.data(), static_cast<std::size_t>(last.data() + last.size() - word.data()));
            if (const int m = hijriMonthFromName(both)) {
                m_i += 3;
                return m;
            }
        }
        ++m_i;
        return hijriMonthFromName(word);
    }

    // yyyymmdd, yymmdd, or a year alone.
    Failure readUnseparatedDate(Parsed &p)
    {
        const std::string_view s = m_tokens[m_i++].text;
        switch (s.size()) {
        case 8:
            p.year = value(s.substr(0, 4));
            p.month = value(s.substr(4, 2));
            p.day = value(s.substr(6, 2));
            m_isoDate = true;
            break;
        case 6:
            p.year = twoDigitYear(value(s.substr(0, 2)));
            p.month = value(s.substr(2, 2));
            p.day = value(s.substr(4, 2));
            break;
        case 4:
            p.year = value(s);
            break;
        default:
            return Failure::Syntax;
        }
        m_sawT = isWord(m_i, "t");
        return Failure::None;
    }

    const std::vector<Token> &m_tokens;
    std::size_t m_i = 0;
    bool m_legacy;
    int m_style;
    std::string m_order;
    bool m_isoDate = false; // a date that may be followed by ISO's T
    bool m_sawT = false;
};

// The value the parts describe, as a value of t; the failure otherwise.
Failure build(Parsed p, const SqlType &t, DateTime &out)
{
    if (p.hijri && p.hasDate) {
        const std::optional<std::int64_t> day = fromHijri(p.year, p.month, p.day);
        if (!day)
            return Failure::Range;
        civil(*day, p.year, p.month, p.day);
    }
    if (!validDate(p.year, p.month, p.day))
        return Failure::Range;
    DateTime v;
    v.year = p.year;
    v.month = p.month;
    v.day = p.day;
    v.hour = p.hour;
    v.minute = p.minute;
    v.second = p.second;
    v.setTicks(p.ticks);
    v.offsetMinutes = p.hasOffset ? p.offsetMinutes : 0;
    const std::optional<DateTime> r = fit(v, t);
    if (!r)
        return Failure::Range;
    out = *r;
    return Failure::None;
}

} // namespace

DateTime parse(std::string_view text, const SqlType &t, int style, const Settings &settings, const SqlType &textType)
{
    if (!t.isDateTime())
        throw err::internal(t.name() + " is not a date-time type");
    std::vector<Token> tokens;
    Parsed p;
    Failure f = tokenize(text, tokens) ? Reader(tokens, t, style, settings).read(p) : Failure::Syntax;
    DateTime v;
    // The newer types read an impossible date as no date; overflow by rounding is out of range.
    bool impossible = f == Failure::None && !p.hijri && !validDate(p.year, p.month, p.day);
    if (f == Failure::None)
        f = build(p, t, v);
    switch (f) {
    case Failure::None: return v;
    case Failure::Ydm: throw err::make(9808);
    case Failure::Syntax: throw err::make(t.base == Base::SmallDateTime ? 295 : 241);
    case Failure::Range: break;
    }
    if (!isLegacy(t) && (impossible || p.hijri))
        throw err::make(241);
    throw err::make(242, textType.name(), t.name());
}

std::optional<DateTime> tryParse(std::string_view text, const SqlType &t, int style, const Settings &settings)
{
    try {
        return parse(text, t, style, settings);
    } catch (const Error &) {
        return std::nullopt;
    }
}

} // namespace tsql::dt
