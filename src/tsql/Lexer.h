#pragma once
// Splits T-SQL text into tokens. The whole text is tokenized before anything is parsed, as SQL
// Server does, so an unclosed quotation mark anywhere is reported before any syntax error.

#include <string>
#include <string_view>
#include <vector>

namespace tsql {

struct Token {
    enum class Kind { Word, QuotedName, String, Number, Symbol, Variable, End };
    Kind kind = Kind::End;
    std::string text;   // the value: a name without brackets, a string without quotes
    std::string source; // the token as written, for error messages
    std::size_t offset = 0;
    std::size_t endOffset = 0;
    bool national = false; // N'...'

    bool isWord(std::string_view w) const; // an unquoted word, case-insensitive
    bool isSymbol(std::string_view s) const { return kind == Kind::Symbol && text == s; }
    bool isName() const { return kind == Kind::Word || kind == Kind::QuotedName; }
};

std::vector<Token> tokenize(std::string_view text);

// True for words SQL Server reserves; those are reported with error 156 instead of 102.
bool isReserved(std::string_view word);

} // namespace tsql
