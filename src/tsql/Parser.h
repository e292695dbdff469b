#pragma once
// Recursive-descent parser of whole T-SQL batches. A statement ends where the grammar says it
// does (T-SQL needs no ';'); anything that cannot start the next statement is a syntax error
// and, as in SQL Server, nothing in the batch runs. Anything the engine does not take is
// refused with SQL Server's syntax errors rather than guessed at.
//
// The work is split by what is parsed: ParserCore.cpp (tokens, names, types), ParserExpr.cpp
// (expressions), ParserQuery.cpp (SELECT and FROM), ParserDml.cpp (INSERT, UPDATE, DELETE),
// ParserDdl.cpp (CREATE, ALTER, DROP), ParserControl.cpp (the batch language).

#include "tsql/AstStatements.h"
#include "tsql/Lexer.h"

#include <string_view>
#include <vector>

namespace tsql {

class Parser {
public:
    Parser(std::string_view text, const std::vector<Token> &tokens);

    // The whole batch. Throws the first syntax error, with its line.
    ast::Batch batch();
    // Parses statements until the text ends; used by batch().
    ast::StatementPtr statement();

    // A parameter list as sp_executesql takes it: "@a int, @b varchar(10) OUTPUT".
    struct ParameterDef {
        std::string name;
        SqlType type;
        bool output = false;
    };
    std::vector<ParameterDef> parameterList();

    // Literals are numbered in the order their tokens stand in the text, so a statement's
    // values can be read from its tokens alone (the statement cache does that).
    static std::vector<int> literalIndexes(const std::vector<Token> &tokens);

private:
    friend class ParserTest;

    // ---- tokens (ParserCore.cpp) ----
    const Token &current() const { return m_t[m_pos]; }
    const Token &peek(std::size_t ahead = 1) const;
    const Token &advance();
    bool acceptWord(std::string_view w);
    bool acceptWords(std::initializer_list<std::string_view> words); // all in a row, or none taken
    bool acceptSymbol(std::string_view s);
    void expectWord(std::string_view w);
    void expectSymbol(std::string_view s);
    bool atStatementEnd() const; // ';', END, the end of the text, or a word that starts a statement
    bool startsStatement(const Token &t) const;
    [[noreturn]] void fail() const;                    // a syntax error at the current token
    [[noreturn]] void failAt(const Token &t) const;
    [[noreturn]] void unsupported(std::string_view what) const;
    std::string_view source(const Token &t) const { return t.source(m_text); }

    std::string name(); // one identifier (not a reserved word unless quoted)
    bool isNameToken(const Token &t) const;
    ast::ObjectName objectName();
    SqlType dataType();
    std::int64_t signedInteger();
    std::string optionalAlias(); // [AS] alias after a table or select item; "" when none
    // An expression and its text as written.
    ast::ExprPtr expr(std::string &text);

    // ---- expressions (ParserExpr.cpp) ----
    ast::ExprPtr expr();
    ast::ExprPtr orExpr();
    ast::ExprPtr andExpr();
    ast::ExprPtr notExpr();
    ast::ExprPtr predicate();
    ast::ExprPtr bitwise();
    ast::ExprPtr additive();
    ast::ExprPtr multiplicative();
    ast::ExprPtr unary();
    ast::ExprPtr postfix(ast::ExprPtr e);
    ast::ExprPtr primary();
    ast::ExprPtr literal();
    ast::ExprPtr parenthesized();
    ast::ExprPtr caseExpr();
    ast::ExprPtr castExpr();
    ast::ExprPtr functionCall(std::string name, int line);
    ast::ExprPtr columnOrFunction();
    std::unique_ptr<ast::Over> over();
    std::vector<ast::OrderItem> orderList();
    bool startsQuery() const; // SELECT or WITH, or '(' followed by one

    // ---- queries (ParserQuery.cpp) ----
    ast::QueryPtr query(bool allowInto = true);
    ast::QueryBodyPtr queryTerm(int level);
    ast::QueryBodyPtr queryPrimary();
    std::unique_ptr<ast::QueryBlock> queryBlock();
    std::vector<ast::Cte> withClause();
    ast::SelectItem selectItem();
    std::optional<ast::Top> top(bool requireParentheses);
    std::vector<ast::TableRefPtr> fromList();
    ast::TableRefPtr tableRef();
    ast::TableRefPtr tablePrimary();
    ast::TableRefPtr joins(ast::TableRefPtr left, bool nested);
    std::optional<ast::Join::Type> joinType();
    void tableHints();
    ast::GroupBy groupBy();

    // ---- data changes (ParserDml.cpp) ----
    ast::StatementPtr insert(std::vector<ast::Cte> with);
    ast::StatementPtr update(std::vector<ast::Cte> with);
    ast::StatementPtr deleteStatement(std::vector<ast::Cte> with);
    ast::StatementPtr truncate();
    ast::StatementPtr merge();
    ast::Assignment assignment();
    ast::Target target();

    // ---- schema (ParserDdl.cpp) ----
    ast::StatementPtr create();
    ast::StatementPtr alter();
    ast::StatementPtr drop();
    ast::StatementPtr createTable();
    ast::StatementPtr createIndex(bool unique, bool clustered);
    ast::StatementPtr createView(bool alter, bool orAlter);
    ast::StatementPtr login(std::string verb);
    ast::ColumnDef columnDef(std::vector<ast::Constraint> &constraints, bool forAlter);
    ast::Constraint tableConstraint(std::string name);
    std::vector<std::pair<std::string, bool>> indexColumns();
    void skipStorageOptions(); // ON [PRIMARY], WITH (...), TEXTIMAGE_ON ...

    // ---- the batch language (ParserControl.cpp) ----
    ast::StatementPtr statementAt(); // one statement, starting at the current token
    ast::StatementPtr block();       // BEGIN ... END, BEGIN TRY ... END CATCH, BEGIN TRAN
    ast::StatementPtr declare();
    ast::StatementPtr set();
    ast::StatementPtr ifStatement();
    ast::StatementPtr whileStatement();
    ast::StatementPtr print();
    ast::StatementPtr raiserror();
    ast::StatementPtr throwStatement();
    ast::StatementPtr transaction();
    ast::StatementPtr execute(bool implicit);
    ast::StatementPtr dbcc();
    ast::StatementPtr use();
    ast::StatementPtr waitfor();
    ast::StatementPtr permission(std::string verb);
    std::vector<ast::StatementPtr> statementsUntil(std::initializer_list<std::string_view> end);

    // Every level of nesting costs stack in the parser, the binder and the tree's destructor;
    // past this depth the statement is refused instead of running out of stack.
    static constexpr int maxDepth = 1000;
    class Deeper {
    public:
        explicit Deeper(Parser &p, int levels = 1);
        ~Deeper() { m_p.m_depth -= m_levels; }
        void add();
    private:
        Parser &m_p;
        int m_levels;
    };

    std::string_view m_text;
    const std::vector<Token> &m_t;
    std::size_t m_pos = 0;
    int m_depth = 0;
    std::vector<int> m_literalIndex;
    bool m_first = true; // at the batch's first statement (where EXEC may be left out)
};

} // namespace tsql
