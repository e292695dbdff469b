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
    // SQL Server's reserved keywords (Reserved Keywords (Transact-SQL)), upper case and sorted.
    static constexpr std::string_view words[] = {
        "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUTHORIZATION", "BACKUP", "BEGIN", "BETWEEN",
        "BREAK", "BROWSE", "BULK", "BY", "CASCADE", "CASE", "CHECK", "CHECKPOINT", "CLOSE", "CLUSTERED",
        "COALESCE", "COLLATE", "COLUMN", "COMMIT", "COMPUTE", "CONSTRAINT", "CONTAINS", "CONTAINSTABLE",
        "CONTINUE", "CONVERT", "CREATE", "CROSS", "CURRENT", "CURRENT_DATE", "CURRENT_TIME",
        "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATABASE", "DBCC", "DEALLOCATE", "DECLARE",
        "DEFAULT", "DELETE", "DENY", "DESC", "DISK", "DISTINCT", "DISTRIBUTED", "DOUBLE", "DROP", "DUMP",
        "ELSE", "END", "ERRLVL", "ESCAPE", "EXCEPT", "EXEC", "EXECUTE", "EXISTS", "EXIT", "EXTERNAL",
        "FETCH", "FILE", "FILLFACTOR", "FOR", "FOREIGN", "FREETEXT", "FREETEXTTABLE", "FROM", "FULL",
        "FUNCTION", "GOTO", "GRANT", "GROUP", "HAVING", "HOLDLOCK", "IDENTITY", "IDENTITYCOL",
        "IDENTITY_INSERT", "IF", "IN", "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY",
        "KILL", "LEFT", "LIKE", "LINENO", "LOAD", "MERGE", "NATIONAL", "NOCHECK", "NONCLUSTERED", "NOT",
        "NULL", "NULLIF", "OF", "OFF", "OFFSETS", "ON", "OPEN", "OPENDATASOURCE", "OPENQUERY", "OPENROWSET",
        "OPENXML", "OPTION", "OR", "ORDER", "OUTER", "OVER", "PERCENT", "PIVOT", "PLAN", "PRECISION",
        "PRIMARY", "PRINT", "PROC", "PROCEDURE", "PUBLIC", "RAISERROR", "READ", "READTEXT", "RECONFIGURE",
        "REFERENCES", "REPLICATION", "RESTORE", "RESTRICT", "RETURN", "REVERT", "REVOKE", "RIGHT",
        "ROLLBACK", "ROWCOUNT", "ROWGUIDCOL", "RULE", "SAVE", "SCHEMA", "SECURITYAUDIT", "SELECT",
        "SEMANTICKEYPHRASETABLE", "SEMANTICSIMILARITYDETAILSTABLE", "SEMANTICSIMILARITYTABLE",
        "SESSION_USER", "SET", "SETUSER", "SHUTDOWN", "SOME", "STATISTICS", "SYSTEM_USER", "TABLE",
        "TABLESAMPLE", "TEXTSIZE", "THEN", "TO", "TOP", "TRAN", "TRANSACTION", "TRIGGER", "TRUNCATE",
        "TRY_CONVERT", "TSEQUAL", "UNION", "UNIQUE", "UNPIVOT", "UPDATE", "UPDATETEXT", "USE", "USER",
        "VALUES", "VARYING", "VIEW", "WAITFOR", "WHEN", "WHERE", "WHILE", "WITH", "WRITETEXT",
    };
    static_assert(std::is_sorted(std::begin(words), std::end(words)));
    if (word.size() > 30)
        return false;
    const std::string up = upper(word);
    return std::binary_search(std::begin(words), std::end(words), std::string_view(up));
}

namespace {

constexpr std::size_t maxNameLength = 128;

bool nameStart(unsigned char c)
{
    return std::isalpha(c) || c == '_' || c >= 0x80 || c == '#';
}

bool namePart(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c == '#' || c == '@' || c == '$' || c >= 0x80;
}

std::size_t utf8Count(std::string_view s)
{
    std::size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

class Lexer {
public:
    explicit Lexer(std::string_view s) : m_s(s) {}

    std::vector<Token> run()
    {
        std::vector<Token> out;
        out.reserve(m_s.size() / 4 + 2);
        while (skipSpaceAndComments()) {
            const std::size_t start = m_i;
            const int line = m_line;
            Token t = next();
            t.offset = start;
            t.endOffset = m_i;
            t.line = line;
            out.push_back(std::move(t));
        }
        Token end;
        end.offset = end.endOffset = m_s.size();
        end.line = m_line;
        out.push_back(std::move(end));
        return out;
    }

private:
    char at(std::size_t i) const { return i < m_s.size() ? m_s[i] : '\0'; }

    void advance(std::size_t n = 1)
    {
        for (std::size_t k = 0; k < n && m_i < m_s.size(); ++k)
            if (m_s[m_i++] == '\n')
                ++m_line;
    }

    // False at the end of the text.
    bool skipSpaceAndComments()
    {
        for (;;) {
            if (m_i >= m_s.size())
                return false;
            const unsigned char c = static_cast<unsigned char>(m_s[m_i]);
            if (std::isspace(c) || c == 0) {
                advance();
            } else if (c == '-' && at(m_i + 1) == '-') {
                while (m_i < m_s.size() && m_s[m_i] != '\n')
                    ++m_i;
            } else if (c == '/' && at(m_i + 1) == '*') {
                // Block comments nest in T-SQL.
                int depth = 0;
                while (m_i < m_s.size()) {
                    if (m_s[m_i] == '/' && at(m_i + 1) == '*') {
                        ++depth;
                        advance(2);
                    } else if (m_s[m_i] == '*' && at(m_i + 1) == '/') {
                        advance(2);
                        if (--depth == 0)
                            break;
                    } else {
                        advance();
                    }
                }
                if (depth > 0)
                    throw err::make(113).atLine(m_line);
            } else {
                return true;
            }
        }
    }

    // Reads up to the closing quote; a doubled quote stands for one.
    std::string quoted(char close, std::size_t start, std::size_t bodyStart)
    {
        std::string value;
        for (;;) {
            if (m_i >= m_s.size())
                throw err::make(105, m_s.substr(bodyStart)).atLine(lineOf(start));
            const char c = m_s[m_i];
            if (c == close) {
                if (at(m_i + 1) == close) {
                    value += close;
                    advance(2);
                    continue;
                }
                advance();
                return value;
            }
            value += c;
            advance();
        }
    }

    int lineOf(std::size_t offset) const
    {
        return 1 + static_cast<int>(std::count(m_s.begin(), m_s.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
    }

    void digits()
    {
        while (std::isdigit(static_cast<unsigned char>(at(m_i))))
            ++m_i;
    }

    Token next()
    {
        Token t;
        const std::size_t start = m_i;
        const unsigned char c = static_cast<unsigned char>(m_s[m_i]);
        const bool national = (c == 'N' || c == 'n') && at(m_i + 1) == '\'';
        if (c == '\'' || national) {
            advance(national ? 2 : 1);
            t.kind = Token::Kind::String;
            t.national = national;
            t.text = quoted('\'', start, m_i);
            return t;
        }
        if (c == '[' || c == '"') {
            advance();
            t.kind = Token::Kind::QuotedName;
            t.text = quoted(c == '[' ? ']' : '"', start, m_i);
            checkLength(t.text, start);
            return t;
        }
        if (c == '0' && (at(m_i + 1) == 'x' || at(m_i + 1) == 'X')) {
            m_i += 2;
            while (std::isxdigit(static_cast<unsigned char>(at(m_i))))
                ++m_i;
            t.kind = Token::Kind::Binary;
            t.text = std::string(m_s.substr(start + 2, m_i - start - 2));
            return t;
        }
        // A money constant may carry its sign after the currency sign: $-123.45.
        const std::size_t moneySign = c == '$' && (at(m_i + 1) == '-' || at(m_i + 1) == '+') ? 1 : 0;
        if (std::isdigit(c) || (c == '.' && std::isdigit(static_cast<unsigned char>(at(m_i + 1)))) ||
            (c == '$' && (std::isdigit(static_cast<unsigned char>(at(m_i + 1 + moneySign))) || at(m_i + 1 + moneySign) == '.'))) {
            const bool money = c == '$';
            if (money)
                m_i += 1 + moneySign;
            digits();
            if (at(m_i) == '.') {
                ++m_i;
                digits();
            }
            if (!money && (at(m_i) == 'e' || at(m_i) == 'E')) {
                std::size_t j = m_i + 1;
                if (at(j) == '+' || at(j) == '-')
                    ++j;
                m_i = j;
                digits();
            }
            t.kind = money ? Token::Kind::Money : Token::Kind::Number;
            t.text = std::string(m_s.substr(money ? start + 1 : start, m_i - (money ? start + 1 : start)));
            return t;
        }
        if (c == '@' || nameStart(c)) {
            ++m_i;
            if (c == '@' && at(m_i) == '@')
                ++m_i;
            while (m_i < m_s.size() && namePart(static_cast<unsigned char>(m_s[m_i])))
                ++m_i;
            t.kind = c == '@' ? Token::Kind::Variable : Token::Kind::Word;
            t.text = std::string(m_s.substr(start, m_i - start));
            checkLength(t.text, start);
            return t;
        }
        static constexpr std::string_view two[] = {"<>", "!=", "<=", ">=", "!<", "!>", "+=", "-=", "*=", "/=",
                                                   "%=", "&=", "|=", "^=", "::"};
        for (std::string_view op : two) {
            if (m_s.substr(m_i, 2) == op) {
                m_i += 2;
                t.kind = Token::Kind::Symbol;
                t.text = std::string(op);
                return t;
            }
        }
        // One character, or one whole UTF-8 sequence for a character no token starts with.
        std::size_t len = 1;
        while (m_i + len < m_s.size() && (static_cast<unsigned char>(m_s[m_i + len]) & 0xC0) == 0x80)
            ++len;
        m_i += len;
        t.kind = Token::Kind::Symbol;
        t.text = std::string(m_s.substr(start, len));
        return t;
    }

    void checkLength(const std::string &name, std::size_t start)
    {
        if (utf8Count(name) > maxNameLength)
            throw err::make(103, "identifier", name.substr(0, 128), std::to_string(maxNameLength)).atLine(lineOf(start));
    }

    std::string_view m_s;
    std::size_t m_i = 0;
    int m_line = 1;
};

} // namespace

std::vector<Token> tokenize(std::string_view text)
{
    return Lexer(text).run();
}

} // namespace tsql
