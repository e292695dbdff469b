#include "tsql/Parser.h"

#include "tsql/Errors.h"

#include <charconv>

namespace tsql {

using namespace ast;

Parser::Parser(std::string_view text, const std::vector<Token> &tokens)
    : m_text(text), m_t(tokens), m_literalIndex(literalIndexes(tokens))
{
}

std::vector<int> Parser::literalIndexes(const std::vector<Token> &tokens)
{
    std::vector<int> out(tokens.size(), -1);
    int n = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i)
        if (tokens[i].isLiteral())
            out[i] = n++;
    return out;
}

Parser::Deeper::Deeper(Parser &p, int levels) : m_p(p), m_levels(0)
{
    for (int i = 0; i < levels; ++i)
        add();
}

void Parser::Deeper::add()
{
    if (m_p.m_depth >= maxDepth)
        throw err::make(191).atLine(m_p.current().line);
    ++m_p.m_depth;
    ++m_levels;
}

const Token &Parser::peek(std::size_t ahead) const
{
    return m_t[std::min(m_pos + ahead, m_t.size() - 1)];
}

const Token &Parser::advance()
{
    const Token &t = m_t[m_pos];
    if (m_pos + 1 < m_t.size())
        ++m_pos;
    return t;
}

bool Parser::acceptWord(std::string_view w)
{
    if (current().isWord(w)) {
        advance();
        return true;
    }
    return false;
}

bool Parser::acceptWords(std::initializer_list<std::string_view> words)
{
    std::size_t i = 0;
    for (std::string_view w : words)
        if (!peek(i++).isWord(w))
            return false;
    for (std::size_t k = 0; k < words.size(); ++k)
        advance();
    return true;
}

bool Parser::acceptSymbol(std::string_view s)
{
    if (current().isSymbol(s)) {
        advance();
        return true;
    }
    return false;
}

void Parser::expectWord(std::string_view w)
{
    if (!acceptWord(w))
        fail();
}

void Parser::expectSymbol(std::string_view s)
{
    if (!acceptSymbol(s))
        fail();
}

void Parser::failAt(const Token &at) const
{
    // At the end of the text SQL Server names the last token it read.
    const Token &t = (at.kind == Token::Kind::End && m_pos > 0) ? m_t[m_pos - 1] : at;
    std::string near;
    switch (t.kind) {
    case Token::Kind::String:
    case Token::Kind::QuotedName:
        near = t.text;
        break;
    case Token::Kind::Word:
        if (isReserved(t.text))
            throw err::make(156, source(t)).atLine(t.line);
        near = std::string(source(t));
        break;
    case Token::Kind::End:
        near = "";
        break;
    default:
        near = std::string(source(t));
    }
    throw err::make(102, near).atLine(t.line);
}

void Parser::fail() const
{
    failAt(current());
}

void Parser::unsupported(std::string_view what) const
{
    throw err::make(40517, what).atLine(current().line);
}

bool Parser::isNameToken(const Token &t) const
{
    return t.kind == Token::Kind::QuotedName || (t.kind == Token::Kind::Word && !isReserved(t.text));
}

std::string Parser::name()
{
    const Token &t = current();
    if (!isNameToken(t))
        fail();
    advance();
    return t.text;
}

ObjectName Parser::objectName()
{
    std::vector<std::string> parts;
    parts.push_back(name());
    while (current().isSymbol(".")) {
        advance();
        if (current().isSymbol(".")) {
            parts.emplace_back(); // db..table: the default schema
            continue;
        }
        parts.push_back(name());
    }
    if (parts.size() > 4)
        fail();
    ObjectName n;
    n.name = parts.back();
    if (parts.size() >= 2)
        n.schema = parts[parts.size() - 2];
    if (parts.size() >= 3)
        n.database = parts[parts.size() - 3];
    // Messages name the object as the parts were written, without brackets.
    for (std::size_t i = 0; i < parts.size(); ++i)
        n.written += (i ? "." : "") + parts[i];
    return n;
}

std::int64_t Parser::signedInteger()
{
    const bool negative = acceptSymbol("-");
    if (!negative)
        acceptSymbol("+");
    if (current().kind != Token::Kind::Number)
        fail();
    const std::string &s = current().text;
    std::int64_t v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size())
        fail();
    advance();
    return negative ? -v : v;
}

SqlType Parser::dataType()
{
    const Token &t = current();
    if (!t.isName())
        fail();
    // Two-word names: double precision, char varying, national character varying ...
    std::string written = t.text;
    advance();
    for (std::string_view more : {"precision", "varying", "character", "char", "text"}) {
        const std::string candidate = written + " " + std::string(more);
        if (current().kind == Token::Kind::Word && iequals(current().text, more) && baseFromName(candidate)) {
            written = candidate;
            advance();
        }
    }
    if (iequals(written, "national") || iequals(written, "national char") || iequals(written, "char") ||
        iequals(written, "national character")) {
        if (acceptWord("varying"))
            written += " varying";
    }
    const auto base = baseFromName(written);
    if (!base)
        throw err::make(2715, "1", written).atLine(t.line);
    SqlType type = parseDeclared(written);
    auto number = [&]() {
        if (current().kind != Token::Kind::Number)
            fail();
        const std::string size = advance().text;
        if (size.size() > 9 || size.find_first_not_of("0123456789") != std::string::npos)
            fail();
        return std::stoi(size);
    };
    if (acceptSymbol("(")) {
        switch (type.base) {
        case Base::Char: case Base::VarChar: case Base::NChar: case Base::NVarChar: case Base::Binary:
        case Base::VarBinary: {
            if (acceptWord("max")) {
                if (type.base == Base::Char || type.base == Base::NChar || type.base == Base::Binary)
                    fail();
                type.length = -1;
                break;
            }
            const int n = number();
            const bool unicode = type.base == Base::NChar || type.base == Base::NVarChar;
            const int limit = unicode ? 4000 : 8000;
            if (n > limit)
                throw err::make(131, std::to_string(n), "type", type.name(), std::to_string(limit)).atLine(t.line);
            if (n == 0)
                throw err::make(1001, std::to_string(t.line), "0").atLine(t.line);
            type.length = n;
            break;
        }
        case Base::Decimal: case Base::Numeric: {
            const int p = number();
            int s = 0;
            if (acceptSymbol(","))
                s = number();
            if (p < 1)
                throw err::make(1001, std::to_string(t.line), std::to_string(p)).atLine(t.line);
            if (p > 38)
                throw err::make(2750, "1", std::to_string(p), "38").atLine(t.line);
            if (s > p)
                throw err::make(2751, "1", std::to_string(s), std::to_string(p)).atLine(t.line);
            type.precision = static_cast<std::uint8_t>(p);
            type.scale = static_cast<std::uint8_t>(s);
            break;
        }
        case Base::Time: case Base::DateTime2: case Base::DateTimeOffset: {
            const int s = number();
            if (s > 7)
                throw err::make(1002, std::to_string(t.line), std::to_string(s)).atLine(t.line);
            type.scale = static_cast<std::uint8_t>(s);
            break;
        }
        case Base::Float: case Base::Real: {
            const int n = number();
            if (n < 1 || n > 53)
                throw err::make(2750, "1", std::to_string(n), "53").atLine(t.line);
            type.base = n <= 24 ? Base::Real : Base::Float;
            break;
        }
        default:
            fail();
        }
        expectSymbol(")");
    } else if ((type.base == Base::Char || type.base == Base::VarChar || type.base == Base::NChar ||
                type.base == Base::NVarChar || type.base == Base::Binary || type.base == Base::VarBinary) &&
               !iequals(written, "sysname")) {
        // Without a length a declared type is one long; CAST and CONVERT make it 30 (the caller).
        type.length = 0;
    }
    return type;
}

std::string Parser::optionalAlias()
{
    if (acceptWord("as")) {
        if (current().kind == Token::Kind::String)
            return advance().text;
        return name();
    }
    if (isNameToken(current()) && !startsStatement(current()))
        return advance().text;
    return {};
}

bool Parser::startsStatement(const Token &t) const
{
    if (t.kind != Token::Kind::Word)
        return false;
    static constexpr std::string_view starts[] = {
        "select", "insert", "update", "delete", "merge", "truncate", "create", "alter", "drop", "use",
        "set", "declare", "if", "while", "begin", "break", "continue", "return", "goto", "print",
        "raiserror", "throw", "commit", "rollback", "save", "exec", "execute", "dbcc", "with", "grant",
        "deny", "revoke", "waitfor", "else", "end",
    };
    for (std::string_view w : starts)
        if (iequals(t.text, w))
            return true;
    return false;
}

bool Parser::atStatementEnd() const
{
    const Token &t = current();
    return t.kind == Token::Kind::End || t.isSymbol(";") || startsStatement(t);
}

Batch Parser::batch()
{
    Batch b;
    while (current().kind != Token::Kind::End) {
        if (acceptSymbol(";"))
            continue;
        b.statements.push_back(statement());
        m_first = false;
    }
    return b;
}

StatementPtr Parser::statement()
{
    const Token &start = current();
    StatementPtr s = statementAt();
    s->line = start.line;
    s->offset = start.offset;
    s->endOffset = m_pos > 0 ? m_t[m_pos - 1].endOffset : start.offset;
    // The next statement must start here: a word the grammar cannot continue with is an error,
    // never the start of a statement made of what was left over.
    const Token &next = current();
    if (next.kind != Token::Kind::End && !next.isSymbol(";") && !startsStatement(next) &&
        !(next.kind == Token::Kind::Word && peek().isSymbol(":")) && !next.isSymbol("("))
        fail();
    return s;
}

} // namespace tsql
