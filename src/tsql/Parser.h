#pragma once
// Recursive-descent parser for the statements the engine accepts. Anything else is refused with
// SQL Server's syntax errors rather than guessed at.

#include "tsql/Ast.h"
#include "tsql/Lexer.h"

#include <memory>
#include <vector>

namespace tsql {

class Parser {
public:
    explicit Parser(const std::vector<Token> &tokens) : m_t(tokens) {}

    // Parses one statement starting at the current token; leaves the position after it.
    std::unique_ptr<ast::Statement> statement();
    // Skips ';' separators; true when nothing but the end remains.
    bool atEnd();
    std::size_t position() const { return m_pos; }
    const Token &current() const { return m_t[m_pos]; }
    [[noreturn]] void fail() const; // a syntax error at the current token

private:
    const Token &peek(std::size_t ahead = 0) const;
    const Token &advance();
    bool acceptWord(std::string_view w);
    bool acceptSymbol(std::string_view s);
    void expectWord(std::string_view w);
    void expectSymbol(std::string_view s);
    std::string name();                 // one identifier
    ast::ObjectName objectName();
    SqlType typeSpec();
    bool startsClause() const;          // a word that ends an expression list or select item

    std::unique_ptr<ast::Select> select();
    ast::SelectCore selectCore();
    ast::TableRef tableRef();
    std::unique_ptr<ast::Statement> insert();
    std::unique_ptr<ast::Statement> update();
    std::unique_ptr<ast::Statement> deleteStatement();
    std::unique_ptr<ast::Statement> create();
    std::unique_ptr<ast::Statement> drop();
    std::unique_ptr<ast::Statement> alter();
    std::unique_ptr<ast::Statement> set();
    ast::ColumnDef columnDef(bool forAlterColumn);

    ast::ExprPtr expr();
    ast::ExprPtr orExpr();
    ast::ExprPtr andExpr();
    ast::ExprPtr notExpr();
    ast::ExprPtr predicate();
    ast::ExprPtr additive();
    ast::ExprPtr multiplicative();
    ast::ExprPtr unary();
    ast::ExprPtr primary();

    // Every level of an expression tree costs stack in the parser, the compiler and the tree's
    // destructor; past this depth the statement is refused instead of running out of stack.
    static constexpr std::size_t maxExpressionDepth = 1000;
    class Deeper {
    public:
        explicit Deeper(Parser &p, std::size_t levels = 1);
        ~Deeper() { m_p.m_depth -= m_levels; }
        void add();
    private:
        Parser &m_p;
        std::size_t m_levels;
    };

    const std::vector<Token> &m_t;
    std::size_t m_pos = 0;
    std::size_t m_depth = 0;
};

} // namespace tsql
