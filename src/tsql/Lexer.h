#pragma once
// Splits T-SQL text into tokens. The whole text is tokenized before anything is parsed, as SQL
// Server does, so an unclosed quotation mark anywhere is reported before any syntax error. The
// same lexer serves the engine and the data layer's check that a typed value stayed inside its
// literal, so both read a statement the same way.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tsql {

struct Token {
    enum class Kind {
        Word,       // a name or keyword, also #temp and ##temp names
        QuotedName, // [name] or "name"
        String,     // 'text' or N'text'
        Number,     // 12, 1.5, .5, 1e3
        Binary,     // 0x1F
        Money,      // $12.50
        Variable,   // @name, @@name
        Symbol,     // operators and punctuation
        End,
    };
    Kind kind = Kind::End;
    std::string text;   // the value: a name without brackets, a string without quotes
    std::size_t offset = 0;
    std::size_t endOffset = 0;
    int line = 1; // 1-based line of the token's first character
    bool national = false; // N'...'

    bool isWord(std::string_view w) const; // an unquoted word, case-insensitive
    bool isSymbol(std::string_view s) const { return kind == Kind::Symbol && text == s; }
    bool isName() const { return kind == Kind::Word || kind == Kind::QuotedName; }
    bool isLiteral() const
    {
        return kind == Kind::String || kind == Kind::Number || kind == Kind::Binary || kind == Kind::Money;
    }
    std::string_view source(std::string_view text) const { return text.substr(offset, endOffset - offset); }
};

// Throws the syntax errors SQL Server raises while reading text: 105 (unclosed quotation mark),
// 113 (unclosed comment), 103 (a name over 128 characters).
std::vector<Token> tokenize(std::string_view text);

// True for words SQL Server reserves; a reserved word where a name should stand is reported
// with error 156 instead of 102.
bool isReserved(std::string_view word);

} // namespace tsql
