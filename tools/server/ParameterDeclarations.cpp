#include "ParameterDeclarations.h"

#include <cctype>

namespace server {

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> splitTopLevel(std::string_view s)
{
    std::vector<std::string_view> parts;
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '(')
            ++depth;
        else if (s[i] == ')')
            --depth;
        else if (s[i] == ',' && depth == 0) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

bool endsWithWord(std::string_view s, std::string_view word)
{
    if (s.size() < word.size())
        return false;
    const auto tail = s.substr(s.size() - word.size());
    if (!tsql::iequals(tail, word))
        return false;
    return s.size() == word.size() || std::isspace(static_cast<unsigned char>(s[s.size() - word.size() - 1])) ||
           s[s.size() - word.size() - 1] == ')';
}

std::optional<tsql::SqlType> parseType(std::string_view text)
{
    std::string_view name = text, args;
    if (const auto open = text.find('('); open != std::string_view::npos) {
        const auto close = text.rfind(')');
        if (close == std::string_view::npos || close < open)
            return std::nullopt;
        name = trim(text.substr(0, open));
        args = trim(text.substr(open + 1, close - open - 1));
    }
    // A bracketed type name ([varchar]) means the same as the bare one.
    if (name.size() > 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    const auto base = tsql::baseFromName(tsql::lower(name));
    if (!base)
        return std::nullopt;
    tsql::SqlType t(*base);
    std::vector<int> numbers;
    bool max = false;
    if (!args.empty()) {
        for (const auto part : splitTopLevel(args)) {
            const auto p = trim(part);
            if (tsql::iequals(p, "max")) {
                max = true;
                continue;
            }
            int n = 0;
            if (p.empty() || p.size() > 9)
                return std::nullopt;
            for (const char c : p) {
                if (!std::isdigit(static_cast<unsigned char>(c)))
                    return std::nullopt;
                n = n * 10 + (c - '0');
            }
            numbers.push_back(n);
        }
    }
    if (t.isDecimal()) {
        t.precision = static_cast<std::uint8_t>(numbers.empty() ? 18 : numbers[0]);
        t.scale = static_cast<std::uint8_t>(numbers.size() > 1 ? numbers[1] : 0);
    } else if (t.base == tsql::Base::Time || t.base == tsql::Base::DateTime2 || t.base == tsql::Base::DateTimeOffset) {
        t.scale = static_cast<std::uint8_t>(numbers.empty() ? 7 : numbers[0]);
    } else if (t.base == tsql::Base::Float && !numbers.empty() && numbers[0] <= 24) {
        t.base = tsql::Base::Real;
    } else if (t.isText() || t.isBinary()) {
        if (t.isLob())
            t.length = -1;
        else
            t.length = max ? -1 : numbers.empty() ? 1 : numbers[0];
    }
    return t;
}

} // namespace

std::optional<std::vector<DeclaredParameter>> parseDeclarations(std::string_view text)
{
    std::vector<DeclaredParameter> out;
    text = trim(text);
    if (text.empty())
        return out;
    for (const auto part : splitTopLevel(text)) {
        std::string_view p = trim(part);
        if (p.empty() || p.front() != '@')
            return std::nullopt;
        if (const auto eq = p.find('='); eq != std::string_view::npos)
            p = trim(p.substr(0, eq)); // a default value: the engine is told only the type
        std::size_t nameEnd = 1;
        while (nameEnd < p.size() && !std::isspace(static_cast<unsigned char>(p[nameEnd])))
            ++nameEnd;
        DeclaredParameter d;
        d.name = std::string(p.substr(0, nameEnd));
        std::string_view rest = trim(p.substr(nameEnd));
        if (rest.size() > 2 && tsql::iequals(rest.substr(0, 3), "as ") )
            rest = trim(rest.substr(3));
        for (const std::string_view word : {"OUTPUT", "OUT"}) {
            if (endsWithWord(rest, word)) {
                d.output = true;
                rest = trim(rest.substr(0, rest.size() - word.size()));
                break;
            }
        }
        for (const std::string_view word : {"READONLY"})
            if (endsWithWord(rest, word))
                return std::nullopt;
        const auto type = parseType(rest);
        if (!type)
            return std::nullopt;
        d.type = *type;
        out.push_back(std::move(d));
    }
    return out;
}

} // namespace server
