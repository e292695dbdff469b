#include "tsql/Lexer.h"

#include "tsql/Errors.h"
#include "tsql/Types.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tsql {

bool Token::isWord(std::string_view w) const
{
    return kind == Kind::Word && iequals(text, w);
}

bool isReserved(std::string_view word)
{
    static const std::array<const char *, 92> words = {
        "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "BEGIN", "BETWEEN", "BY", "CASCADE", "CASE",
        "CHECK", "COLUMN", "COMMIT", "CONSTRAINT", "CONVERT", "CREATE", "CROSS", "CURRENT", "DATABASE",
        "DECLARE", "DEFAULT", "DELETE", "DESC", "DISTINCT", "DROP", "ELSE", "END", "ESCAPE", "EXCEPT",
        "EXEC", "EXECUTE", "EXISTS", "FOREIGN", "FROM", "FULL", "FUNCTION", "GO", "GOTO", "GRANT",
        "GROUP", "HAVING", "IDENTITY", "IDENTITY_INSERT", "IF", "IN", "INDEX", "INNER", "INSERT",
        "INTERSECT", "INTO", "IS", "JOIN", "KEY", "LEFT", "LIKE", "NOT", "NULL", "OF", "OFF", "ON",
        "OR", "ORDER", "OUTER", "PERCENT", "PRIMARY", "PROC", "PROCEDURE", "REFERENCES", "RETURN",
        "RIGHT", "ROLLBACK", "SELECT", "SET", "TABLE", "THEN", "TO", "TOP", "TRAN", "TRANSACTION",
        "TRUNCATE", "UNION", "UNIQUE", "UPDATE", "USE", "VALUES", "VIEW", "WHEN", "WHERE", "WHILE", "WITH",
    };
    return std::any_of(words.begin(), words.end(), [&](const char *w) { return iequals(w, word); });
}

std::vector<Token> tokenize(std::string_view s)
{
    std::vector<Token> out;
    std::size_t i = 0;
    const std::size_t n = s.size();
    auto push = [&](Token::Kind k, std::string text, std::size_t start) {
        Token t;
        t.kind = k;
        t.text = std::move(text);
        t.source = std::string(s.substr(start, i - start));
        t.offset = start;
        t.endOffset = i;
        out.push_back(std::move(t));
    };
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            // Block comments nest in T-SQL.
            int depth = 0;
            const std::size_t start = i;
            while (i < n) {
                if (s[i] == '/' && i + 1 < n && s[i + 1] == '*') {
                    ++depth;
                    i += 2;
                } else if (s[i] == '*' && i + 1 < n && s[i + 1] == '/') {
                    i += 2;
                    if (--depth == 0)
                        break;
                } else {
                    ++i;
                }
            }
            if (depth > 0)
                throw Error(113, 15, 1, "Missing end comment mark '*/'.");
            (void)start;
            continue;
        }
        const std::size_t start = i;
        const bool national = (c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'';
        if (c == '\'' || national) {
            if (national)
                ++i;
            ++i;
            std::string value;
            bool closed = false;
            while (i < n) {
                if (s[i] == '\'') {
                    if (i + 1 < n && s[i + 1] == '\'') {
                        value += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += s[i++];
            }
            if (!closed)
                throw err::unclosedQuote(std::string(s.substr(start + (national ? 2 : 1))));
            push(Token::Kind::String, std::move(value), start);
            out.back().national = national;
            continue;
        }
        if (c == '[' || c == '"') {
            const char close = c == '[' ? ']' : '"';
            ++i;
            std::string value;
            bool closed = false;
            while (i < n) {
                if (s[i] == close) {
                    if (i + 1 < n && s[i + 1] == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += s[i++];
            }
            if (!closed) {
                if (c == '[')
                    throw Error(105, 15, 1, "Unclosed quotation mark after the character string '" +
                                                std::string(s.substr(start + 1)) + "'.");
                throw err::unclosedQuote(std::string(s.substr(start + 1)));
            }
            push(Token::Kind::QuotedName, std::move(value), start);
            continue;
        }
        if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            while (i < n && std::isdigit(static_cast<unsigned char>(s[i])))
                ++i;
            if (i < n && s[i] == '.') {
                ++i;
                while (i < n && std::isdigit(static_cast<unsigned char>(s[i])))
                    ++i;
            }
            if (i < n && (s[i] == 'e' || s[i] == 'E')) {
                std::size_t j = i + 1;
                if (j < n && (s[j] == '+' || s[j] == '-'))
                    ++j;
                if (j < n && std::isdigit(static_cast<unsigned char>(s[j]))) {
                    i = j;
                    while (i < n && std::isdigit(static_cast<unsigned char>(s[i])))
                        ++i;
                }
            }
            push(Token::Kind::Number, std::string(s.substr(start, i - start)), start);
            continue;
        }
        // Temporary tables (#name) are not supported: '#' stays a symbol and fails to parse.
        if (std::isalpha(c) || c == '_' || c >= 0x80 || c == '@') {
            const bool variable = c == '@';
            ++i;
            while (i < n) {
                const unsigned char d = static_cast<unsigned char>(s[i]);
                if (std::isalnum(d) || d == '_' || d == '#' || d == '@' || d == '$' || d >= 0x80)
                    ++i;
                else
                    break;
            }
            push(variable ? Token::Kind::Variable : Token::Kind::Word, std::string(s.substr(start, i - start)), start);
            continue;
        }
        static const char *two[] = {"<>", "!=", "<=", ">=", "!<", "!>"};
        bool matched = false;
        if (i + 1 < n) {
            for (const char *t : two) {
                if (s[i] == t[0] && s[i + 1] == t[1]) {
                    i += 2;
                    push(Token::Kind::Symbol, t, start);
                    matched = true;
                    break;
                }
            }
        }
        if (matched)
            continue;
        ++i;
        push(Token::Kind::Symbol, std::string(1, static_cast<char>(c)), start);
    }
    Token end;
    end.kind = Token::Kind::End;
    end.offset = end.endOffset = n;
    out.push_back(end);
    return out;
}

} // namespace tsql
