#include "tsql/Literals.h"

#include "tsql/Convert.h"
#include "tsql/Numeric.h"
#include "tsql/Text.h"

namespace tsql {

LiteralKind literalKind(Token::Kind k)
{
    switch (k) {
    case Token::Kind::String: return LiteralKind::String;
    case Token::Kind::Number: return LiteralKind::Number;
    case Token::Kind::Binary: return LiteralKind::Binary;
    case Token::Kind::Money: return LiteralKind::Money;
    default: return LiteralKind::Null;
    }
}

SqlType literalType(LiteralKind kind, const std::string &text, bool national)
{
    switch (kind) {
    case LiteralKind::String: {
        // A literal is as long as its text; past the longest non-max length it is (max).
        const auto len = static_cast<std::int32_t>(national ? text::utf16Length(text) : text::length(text));
        const std::int32_t limit = national ? 4000 : 8000;
        return {national ? Base::NVarChar : Base::VarChar, len > limit ? -1 : std::max(1, len)};
    }
    case LiteralKind::Number:
        return num::literalType(text);
    case LiteralKind::Money:
        return {Base::Money};
    case LiteralKind::Binary: {
        const auto len = static_cast<std::int32_t>((text.size() + 1) / 2);
        return {Base::VarBinary, len > 8000 ? -1 : std::max(1, len)};
    }
    case LiteralKind::Null:
        break;
    }
    return {};
}

Value literalValue(LiteralKind kind, const std::string &text, bool national)
{
    const SqlType t = literalType(kind, text, national);
    switch (kind) {
    case LiteralKind::String:
        // A varchar literal holds what code page 1252 can hold, as SQL Server reads it.
        return Value::text(national ? text : text::toCodePage1252(text), t);
    case LiteralKind::Number:
        return num::literalValue(text);
    case LiteralKind::Money:
        return conv::convert(Value::text(text, SqlType::varchar(-1)), t);
    case LiteralKind::Binary: {
        std::string bytes;
        const std::string digits = text.size() % 2 ? "0" + text : text;
        for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
            bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
        return Value::binary(std::move(bytes), t);
    }
    case LiteralKind::Null:
        break;
    }
    return Value::null();
}

} // namespace tsql
