#pragma once
// What a literal of the text is: its type and its value. One function for the compiler (which
// types the statement) and the executor (which reads the values from the tokens), so both agree.

#include "tsql/Lexer.h"
#include "tsql/Value.h"

namespace tsql {

enum class LiteralKind { String, Number, Binary, Money, Null };

SqlType literalType(LiteralKind kind, const std::string &text, bool national);
Value literalValue(LiteralKind kind, const std::string &text, bool national);
LiteralKind literalKind(Token::Kind k);

} // namespace tsql
