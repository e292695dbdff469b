#include "tsql/Parser.h"

#include "tsql/Errors.h"

namespace tsql {

using namespace ast;

Parser::Deeper::Deeper(Parser &p, std::size_t levels) : m_p(p), m_levels(0)
{
    for (std::size_t i = 0; i < levels; ++i)
        add();
}

void Parser::Deeper::add()
{
    if (m_p.m_depth >= maxExpressionDepth)
        throw err::nestedTooDeeply();
    ++m_p.m_depth;
    ++m_levels;
}

const Token &Parser::peek(std::size_t ahead) const
{
    const std::size_t i = std::min(m_pos + ahead, m_t.size() - 1);
    return m_t[i];
}

const Token &Parser::advance()
{
    const Token &t = m_t[m_pos];
    if (m_pos + 1 < m_t.size())
        ++m_pos;
    return t;
}

void Parser::fail() const
{
    // At the end of the text SQL Server names the last token it read.
    const Token &t = (current().kind == Token::Kind::End && m_pos > 0) ? m_t[m_pos - 1] : current();
    if (t.kind == Token::Kind::Word && isReserved(t.text))
        throw err::syntaxKeyword(t.source);
    if (t.kind == Token::Kind::String)
        throw err::syntax(t.text);
    throw err::syntax(t.kind == Token::Kind::QuotedName ? t.text : t.source);
}

bool Parser::acceptWord(std::string_view w)
{
    if (current().isWord(w)) {
        advance();
        return true;
    }
    return false;
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

bool Parser::atEnd()
{
    while (acceptSymbol(";")) {
    }
    return current().kind == Token::Kind::End;
}

std::string Parser::name()
{
    const Token &t = current();
    if (t.kind == Token::Kind::QuotedName || (t.kind == Token::Kind::Word && !isReserved(t.text))) {
        advance();
        return t.text;
    }
    fail();
}

ObjectName Parser::objectName()
{
    const std::size_t start = current().offset;
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
    if (parts.size() > 3)
        fail();
    ObjectName n;
    n.name = parts.back();
    if (parts.size() >= 2)
        n.schema = parts[parts.size() - 2];
    if (parts.size() == 3)
        n.database = parts[0];
    (void)start;
    for (std::size_t i = 0; i < parts.size(); ++i)
        n.written += (i ? "." : "") + parts[i];
    return n;
}

SqlType Parser::typeSpec()
{
    const Token &t = current();
    if (!t.isName())
        fail();
    const auto base = baseFromName(t.text);
    if (!base)
        throw Error(2715, 16, 6, "Column, parameter, or variable #1: Cannot find data type " + t.text + ".");
    advance();
    SqlType type;
    type.base = *base;
    if (type.base == Base::Decimal) {
        type.precision = 18;
        type.scale = 0;
    }
    if (acceptSymbol("(")) {
        if (current().isWord("max")) {
            advance();
            type.length = -1;
        } else {
            if (current().kind != Token::Kind::Number)
                fail();
            const std::string size = advance().text;
            if (size.size() > 4 || std::stoi(size) > 8000)
                throw Error(131, 15, 2, "The size (" + size + ") given to the type '" + type.name() +
                                            "' exceeds the maximum allowed for any data type (8000).");
            const int a = std::stoi(size);
            if (type.base == Base::Decimal) {
                type.precision = a;
                if (acceptSymbol(",")) {
                    if (current().kind != Token::Kind::Number)
                        fail();
                    type.scale = std::stoi(advance().text);
                }
            } else {
                type.length = a;
            }
        }
        expectSymbol(")");
    }
    return type;
}

bool Parser::startsClause() const
{
    const Token &t = current();
    return t.kind == Token::Kind::End || t.isSymbol(";") || t.isSymbol(")") || t.isSymbol(",") ||
           (t.kind == Token::Kind::Word && isReserved(t.text));
}

std::unique_ptr<Statement> Parser::statement()
{
    const Token &t = current();
    if (t.isWord("select") || t.isSymbol("(")) {
        auto s = std::make_unique<Statement>(Statement::Kind::Select);
        s->select = select();
        return s;
    }
    if (t.isWord("insert"))
        return insert();
    if (t.isWord("update"))
        return update();
    if (t.isWord("delete"))
        return deleteStatement();
    if (t.isWord("truncate")) {
        advance();
        expectWord("table");
        auto s = std::make_unique<Statement>(Statement::Kind::Truncate);
        s->table = objectName();
        return s;
    }
    if (t.isWord("create"))
        return create();
    if (t.isWord("drop"))
        return drop();
    if (t.isWord("alter"))
        return alter();
    if (t.isWord("set"))
        return set();
    if (t.isWord("begin") && (peek(1).isWord("tran") || peek(1).isWord("transaction"))) {
        advance();
        advance();
        return std::make_unique<Statement>(Statement::Kind::BeginTransaction);
    }
    if (t.isWord("commit") || t.isWord("rollback")) {
        // Named transactions and savepoints are not taken: the name would be a promise the
        // engine does not keep.
        auto s = std::make_unique<Statement>(t.isWord("commit") ? Statement::Kind::CommitTransaction
                                                                : Statement::Kind::RollbackTransaction);
        advance();
        if (!acceptWord("tran") && !acceptWord("transaction"))
            acceptWord("work");
        return s;
    }
    if (t.isWord("use")) {
        advance();
        auto s = std::make_unique<Statement>(Statement::Kind::Use);
        s->name = name();
        return s;
    }
    fail();
}

std::unique_ptr<Select> Parser::select()
{
    auto s = std::make_unique<Select>();
    bool parenthesised = false;
    if (acceptSymbol("("))
        parenthesised = true;
    s->members.push_back(selectCore());
    if (parenthesised)
        expectSymbol(")");
    while (current().isWord("union")) {
        advance();
        if (!acceptWord("all"))
            fail(); // only UNION ALL is supported
        const bool p = acceptSymbol("(");
        s->members.push_back(selectCore());
        if (p)
            expectSymbol(")");
    }
    if (acceptWord("order")) {
        expectWord("by");
        do {
            OrderItem item;
            item.expr = expr();
            if (acceptWord("desc"))
                item.descending = true;
            else
                acceptWord("asc");
            s->orderBy.push_back(std::move(item));
        } while (acceptSymbol(","));
    }
    return s;
}

SelectCore Parser::selectCore()
{
    expectWord("select");
    SelectCore c;
    if (acceptWord("distinct"))
        c.distinct = true;
    else
        acceptWord("all");
    if (acceptWord("top")) {
        if (acceptSymbol("(")) {
            c.top = expr();
            expectSymbol(")");
        } else {
            if (current().kind != Token::Kind::Number)
                fail();
            c.top = primary();
        }
        if (current().isWord("percent") || current().isWord("with"))
            fail();
    }
    do {
        SelectItem item;
        if (current().isSymbol("*")) {
            advance();
            item.expr = std::make_unique<Expr>(Expr::Kind::Star);
        } else {
            item.expr = expr();
            if (acceptWord("as")) {
                if (current().kind == Token::Kind::String)
                    item.alias = advance().text;
                else
                    item.alias = name();
            } else if (current().kind == Token::Kind::QuotedName ||
                       (current().kind == Token::Kind::Word && !isReserved(current().text))) {
                item.alias = advance().text;
            } else if (current().kind == Token::Kind::String) {
                item.alias = advance().text;
            }
        }
        c.items.push_back(std::move(item));
    } while (acceptSymbol(","));
    if (acceptWord("into"))
        c.into = objectName();
    if (acceptWord("from")) {
        c.from = tableRef();
        for (;;) {
            Join j;
            if (acceptSymbol(",")) {
                j.type = Join::Type::Inner;
                j.table = tableRef();
                c.joins.push_back(std::move(j));
                continue;
            }
            if (current().isWord("cross")) {
                advance();
                expectWord("join");
                j.table = tableRef();
                c.joins.push_back(std::move(j));
                continue;
            }
            if (current().isWord("left")) {
                advance();
                acceptWord("outer");
                j.type = Join::Type::Left;
            } else if (current().isWord("inner")) {
                advance();
                j.type = Join::Type::Inner;
            } else if (current().isWord("join")) {
                j.type = Join::Type::Inner;
            } else {
                break;
            }
            expectWord("join");
            j.table = tableRef();
            expectWord("on");
            j.on = expr();
            c.joins.push_back(std::move(j));
        }
    }
    if (acceptWord("where"))
        c.where = expr();
    if (acceptWord("group")) {
        expectWord("by");
        do
            c.groupBy.push_back(expr());
        while (acceptSymbol(","));
    }
    if (acceptWord("having"))
        c.having = expr();
    return c;
}

TableRef Parser::tableRef()
{
    TableRef r;
    r.name = objectName();
    if (acceptWord("as"))
        r.alias = name();
    else if (current().kind == Token::Kind::QuotedName ||
             (current().kind == Token::Kind::Word && !isReserved(current().text)))
        r.alias = advance().text;
    if (current().isWord("with")) // table hints such as WITH (NOLOCK) change nothing here
    {
        advance();
        expectSymbol("(");
        while (!current().isSymbol(")") && current().kind != Token::Kind::End)
            advance();
        expectSymbol(")");
    }
    return r;
}

std::unique_ptr<Statement> Parser::insert()
{
    expectWord("insert");
    acceptWord("into");
    auto s = std::make_unique<Statement>(Statement::Kind::Insert);
    s->table = objectName();
    if (current().isSymbol("(") && !(peek(1).isWord("select"))) {
        advance();
        do
            s->columns.push_back(name());
        while (acceptSymbol(","));
        expectSymbol(")");
    }
    if (acceptWord("values")) {
        do {
            expectSymbol("(");
            std::vector<ExprPtr> row;
            do
                row.push_back(expr());
            while (acceptSymbol(","));
            expectSymbol(")");
            s->rows.push_back(std::move(row));
        } while (acceptSymbol(","));
    } else if (current().isWord("select") || current().isSymbol("(")) {
        s->select = select();
    } else {
        fail();
    }
    return s;
}

std::unique_ptr<Statement> Parser::update()
{
    expectWord("update");
    auto s = std::make_unique<Statement>(Statement::Kind::Update);
    s->table = objectName();
    expectWord("set");
    do {
        std::string col = name();
        while (acceptSymbol(".")) // t.col = ...
            col = name();
        expectSymbol("=");
        s->sets.emplace_back(col, expr());
    } while (acceptSymbol(","));
    if (acceptWord("where"))
        s->where = expr();
    return s;
}

std::unique_ptr<Statement> Parser::deleteStatement()
{
    expectWord("delete");
    acceptWord("from");
    auto s = std::make_unique<Statement>(Statement::Kind::Delete);
    s->table = objectName();
    if (acceptWord("where"))
        s->where = expr();
    return s;
}

ColumnDef Parser::columnDef(bool forAlterColumn)
{
    ColumnDef d;
    d.name = name();
    d.type = typeSpec();
    for (;;) {
        if (acceptWord("null")) {
            d.nullable = true;
        } else if (current().isWord("not") && peek(1).isWord("null")) {
            advance();
            advance();
            d.nullable = false;
        } else if (forAlterColumn) {
            break;
        } else if (acceptWord("identity")) {
            d.identity = true;
            if (acceptSymbol("(")) {
                auto signedNumber = [&]() {
                    const bool neg = acceptSymbol("-");
                    if (current().kind != Token::Kind::Number)
                        fail();
                    const std::int64_t v = std::stoll(advance().text);
                    return neg ? -v : v;
                };
                d.seed = signedNumber();
                expectSymbol(",");
                d.step = signedNumber();
                expectSymbol(")");
            }
        } else if (acceptWord("constraint")) {
            name();
        } else if (acceptWord("primary")) {
            expectWord("key");
            if (!acceptWord("clustered"))
                acceptWord("nonclustered");
            d.primaryKey = true;
        } else if (acceptWord("default")) {
            d.defaultValue = primary();
        } else {
            break;
        }
    }
    return d;
}

std::unique_ptr<Statement> Parser::create()
{
    expectWord("create");
    if (acceptWord("table")) {
        auto s = std::make_unique<Statement>(Statement::Kind::CreateTable);
        s->table = objectName();
        expectSymbol("(");
        do {
            if (current().isSymbol(")"))
                break; // a trailing comma before the closing parenthesis is accepted by SQL Server
            if (acceptWord("constraint"))
                s->constraintName = name();
            if (acceptWord("primary")) {
                expectWord("key");
                if (!acceptWord("clustered"))
                    acceptWord("nonclustered");
                expectSymbol("(");
                do {
                    s->primaryKey.push_back(name());
                    if (!acceptWord("asc"))
                        acceptWord("desc");
                } while (acceptSymbol(","));
                expectSymbol(")");
                continue;
            }
            s->defs.push_back(columnDef(false));
        } while (acceptSymbol(","));
        expectSymbol(")");
        return s;
    }
    auto s = std::make_unique<Statement>(Statement::Kind::CreateIndex);
    if (acceptWord("unique"))
        s->unique = true;
    if (!acceptWord("clustered"))
        acceptWord("nonclustered");
    expectWord("index");
    s->name = name();
    expectWord("on");
    s->table = objectName();
    expectSymbol("(");
    do {
        s->columns.push_back(name());
        bool desc = false;
        if (acceptWord("desc"))
            desc = true;
        else
            acceptWord("asc");
        s->descending.push_back(desc);
    } while (acceptSymbol(","));
    expectSymbol(")");
    return s;
}

std::unique_ptr<Statement> Parser::drop()
{
    expectWord("drop");
    if (acceptWord("table")) {
        auto s = std::make_unique<Statement>(Statement::Kind::DropTable);
        do
            s->tables.push_back(objectName());
        while (acceptSymbol(","));
        s->table = s->tables.front();
        return s;
    }
    expectWord("index");
    auto s = std::make_unique<Statement>(Statement::Kind::DropIndex);
    ObjectName first = objectName();
    if (acceptWord("on")) {
        s->name = first.name;
        s->table = objectName();
    } else {
        // DROP INDEX table.index
        if (first.schema.empty())
            fail();
        s->name = first.name;
        s->table.name = first.schema;
        s->table.database = first.database;
        s->table.written = first.schema;
    }
    return s;
}

std::unique_ptr<Statement> Parser::alter()
{
    expectWord("alter");
    expectWord("table");
    ObjectName table = objectName();
    if (acceptWord("add")) {
        auto s = std::make_unique<Statement>(Statement::Kind::AlterAdd);
        s->table = std::move(table);
        do
            s->defs.push_back(columnDef(false));
        while (acceptSymbol(","));
        return s;
    }
    if (acceptWord("alter")) {
        expectWord("column");
        auto s = std::make_unique<Statement>(Statement::Kind::AlterColumn);
        s->table = std::move(table);
        s->defs.push_back(columnDef(true));
        return s;
    }
    fail();
}

std::unique_ptr<Statement> Parser::set()
{
    expectWord("set");
    if (acceptWord("identity_insert")) {
        auto s = std::make_unique<Statement>(Statement::Kind::IdentityInsert);
        s->table = objectName();
        if (acceptWord("on"))
            s->on = true;
        else
            expectWord("off");
        return s;
    }
    // Session options that change nothing the engine does.
    if (current().isWord("nocount") || current().isWord("ansi_nulls") || current().isWord("quoted_identifier")) {
        auto s = std::make_unique<Statement>(Statement::Kind::SetOption);
        s->name = advance().text;
        if (acceptWord("on"))
            s->on = true;
        else
            expectWord("off");
        return s;
    }
    fail();
}

ExprPtr Parser::expr()
{
    Deeper level(*this);
    return orExpr();
}

ExprPtr Parser::orExpr()
{
    Deeper chain(*this, 0);
    ExprPtr left = andExpr();
    while (acceptWord("or")) {
        chain.add();
        auto e = std::make_unique<Expr>(Expr::Kind::Binary);
        e->text = "or";
        e->args.push_back(std::move(left));
        e->args.push_back(andExpr());
        left = std::move(e);
    }
    return left;
}

ExprPtr Parser::andExpr()
{
    Deeper chain(*this, 0);
    ExprPtr left = notExpr();
    while (acceptWord("and")) {
        chain.add();
        auto e = std::make_unique<Expr>(Expr::Kind::Binary);
        e->text = "and";
        e->args.push_back(std::move(left));
        e->args.push_back(notExpr());
        left = std::move(e);
    }
    return left;
}

ExprPtr Parser::notExpr()
{
    if (acceptWord("not")) {
        Deeper level(*this);
        auto e = std::make_unique<Expr>(Expr::Kind::Unary);
        e->text = "not";
        e->args.push_back(notExpr());
        return e;
    }
    return predicate();
}

ExprPtr Parser::predicate()
{
    ExprPtr left = additive();
    static const char *ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char *op : ops) {
        if (current().isSymbol(op)) {
            advance();
            auto e = std::make_unique<Expr>(Expr::Kind::Binary);
            e->text = op;
            if (e->text == "!=")
                e->text = "<>";
            else if (e->text == "!<")
                e->text = ">=";
            else if (e->text == "!>")
                e->text = "<=";
            e->args.push_back(std::move(left));
            e->args.push_back(additive());
            return e;
        }
    }
    bool negated = false;
    if (current().isWord("not") &&
        (peek(1).isWord("like") || peek(1).isWord("in") || peek(1).isWord("between"))) {
        advance();
        negated = true;
    }
    if (acceptWord("like")) {
        auto e = std::make_unique<Expr>(Expr::Kind::Like);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->args.push_back(additive());
        if (acceptWord("escape"))
            e->args.push_back(additive());
        return e;
    }
    if (acceptWord("in")) {
        auto e = std::make_unique<Expr>(Expr::Kind::In);
        e->negated = negated;
        e->args.push_back(std::move(left));
        expectSymbol("(");
        if (current().isWord("select"))
            fail(); // subqueries are not supported
        do
            e->args.push_back(expr());
        while (acceptSymbol(","));
        expectSymbol(")");
        return e;
    }
    if (acceptWord("between")) {
        auto e = std::make_unique<Expr>(Expr::Kind::Between);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->args.push_back(additive());
        expectWord("and");
        e->args.push_back(additive());
        return e;
    }
    if (negated)
        fail();
    if (acceptWord("is")) {
        auto e = std::make_unique<Expr>(Expr::Kind::IsNull);
        e->negated = acceptWord("not");
        expectWord("null");
        e->args.push_back(std::move(left));
        return e;
    }
    return left;
}

ExprPtr Parser::additive()
{
    Deeper chain(*this, 0);
    ExprPtr left = multiplicative();
    while (current().isSymbol("+") || current().isSymbol("-")) {
        chain.add();
        auto e = std::make_unique<Expr>(Expr::Kind::Binary);
        e->text = advance().text;
        e->args.push_back(std::move(left));
        e->args.push_back(multiplicative());
        left = std::move(e);
    }
    return left;
}

ExprPtr Parser::multiplicative()
{
    Deeper chain(*this, 0);
    ExprPtr left = unary();
    while (current().isSymbol("*") || current().isSymbol("/") || current().isSymbol("%")) {
        chain.add();
        auto e = std::make_unique<Expr>(Expr::Kind::Binary);
        e->text = advance().text;
        e->args.push_back(std::move(left));
        e->args.push_back(unary());
        left = std::move(e);
    }
    return left;
}

ExprPtr Parser::unary()
{
    if (current().isSymbol("-") || current().isSymbol("+")) {
        const std::string op = advance().text;
        Deeper level(*this);
        ExprPtr operand = unary();
        if (op == "+")
            return operand;
        if (operand->kind == Expr::Kind::Number) {
            operand->text = "-" + operand->text;
            return operand;
        }
        auto e = std::make_unique<Expr>(Expr::Kind::Unary);
        e->text = "-";
        e->args.push_back(std::move(operand));
        return e;
    }
    return primary();
}

ExprPtr Parser::primary()
{
    const Token &t = current();
    switch (t.kind) {
    case Token::Kind::String: {
        advance();
        auto e = std::make_unique<Expr>(Expr::Kind::String);
        e->text = t.text;
        return e;
    }
    case Token::Kind::Number: {
        advance();
        auto e = std::make_unique<Expr>(Expr::Kind::Number);
        e->text = t.text;
        return e;
    }
    case Token::Kind::Symbol:
        if (t.isSymbol("(")) {
            advance();
            if (current().isWord("select"))
                fail(); // subqueries are not supported
            ExprPtr e = expr();
            expectSymbol(")");
            return e;
        }
        fail();
    case Token::Kind::Word:
        if (t.isWord("null")) {
            advance();
            return std::make_unique<Expr>(Expr::Kind::Null);
        }
        if (t.isWord("convert") || t.isWord("cast") || t.isWord("try_convert")) {
            const bool isCast = t.isWord("cast");
            advance();
            expectSymbol("(");
            auto e = std::make_unique<Expr>(Expr::Kind::Convert);
            if (isCast) {
                e->args.push_back(expr());
                expectWord("as");
                e->type = typeSpec();
            } else {
                e->type = typeSpec();
                expectSymbol(",");
                e->args.push_back(expr());
                if (acceptSymbol(",")) {
                    if (current().kind != Token::Kind::Number)
                        fail();
                    e->style = std::stoi(advance().text);
                }
            }
            expectSymbol(")");
            return e;
        }
        if (t.isWord("case")) {
            advance();
            auto e = std::make_unique<Expr>(Expr::Kind::Case);
            if (!current().isWord("when")) {
                e->text = "simple";
                e->args.push_back(expr());
            }
            while (acceptWord("when")) {
                e->args.push_back(expr());
                expectWord("then");
                e->args.push_back(expr());
            }
            if (acceptWord("else"))
                e->elseExpr = expr();
            expectWord("end");
            return e;
        }
        if (isReserved(t.text) && !t.isWord("left") && !t.isWord("right"))
            fail();
        [[fallthrough]];
    case Token::Kind::QuotedName: {
        if (t.kind == Token::Kind::Word && peek(1).isSymbol("(")) {
            advance();
            advance();
            auto e = std::make_unique<Expr>(Expr::Kind::Function);
            e->text = lower(t.text);
            if (acceptSymbol("*")) {
                e->starArg = true;
            } else if (!current().isSymbol(")")) {
                if (acceptWord("distinct"))
                    e->negated = true; // COUNT(DISTINCT x)
                do
                    e->args.push_back(expr());
                while (acceptSymbol(","));
            }
            expectSymbol(")");
            return e;
        }
        auto e = std::make_unique<Expr>(Expr::Kind::Column);
        e->parts.push_back(advance().text);
        while (current().isSymbol(".")) {
            advance();
            if (current().isSymbol("*")) {
                advance();
                e->kind = Expr::Kind::Star;
                return e;
            }
            e->parts.push_back(name());
        }
        if (e->parts.size() > 4)
            fail();
        return e;
    }
    case Token::Kind::Variable:
        throw Error(137, 15, 2, "Must declare the scalar variable \"" + t.text + "\".");
    case Token::Kind::End:
        break;
    }
    fail();
}

} // namespace tsql
