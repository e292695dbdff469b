#include "tsql/Parser.h"

#include "tsql/Errors.h"

namespace tsql {

using namespace ast;

std::vector<Cte> Parser::withClause()
{
    expectWord("with");
    std::vector<Cte> ctes;
    do {
        Cte c;
        c.line = current().line;
        c.name = name();
        if (acceptSymbol("(")) {
            do
                c.columns.push_back(name());
            while (acceptSymbol(","));
            expectSymbol(")");
        }
        expectWord("as");
        expectSymbol("(");
        c.query = query(false);
        expectSymbol(")");
        ctes.push_back(std::move(c));
    } while (acceptSymbol(","));
    return ctes;
}

QueryPtr Parser::query(bool allowInto)
{
    Deeper level(*this);
    auto q = std::make_unique<Query>();
    q->line = current().line;
    if (current().isWord("with"))
        q->with = withClause();
    q->body = queryTerm(0);
    if (!allowInto && q->body->kind == QueryBody::Kind::Block && q->body->block->into)
        fail();
    if (acceptWords({"order", "by"}))
        q->orderBy = orderList();
    if (current().isWord("offset")) {
        advance();
        q->offset = expr();
        if (!acceptWord("rows"))
            expectWord("row");
        if (acceptWord("fetch")) {
            if (!acceptWord("next"))
                expectWord("first");
            q->fetch = expr();
            if (!acceptWord("rows"))
                expectWord("row");
            expectWord("only");
        }
    }
    if (current().isWord("for") && (peek().isWord("xml") || peek().isWord("json") || peek().isWord("browse")))
        unsupported("FOR " + upper(peek().text));
    if (current().isWord("option") && peek().isSymbol("(")) {
        advance();
        advance();
        do {
            const Token &opt = advance();
            if (opt.kind != Token::Kind::Word)
                failAt(opt);
            std::string optName = upper(opt.text);
            ExprPtr value;
            if (current().kind == Token::Kind::Number)
                value = primary();
            else
                while (current().kind == Token::Kind::Word)
                    optName += " " + upper(advance().text);
            q->options.emplace_back(optName, std::move(value));
        } while (acceptSymbol(","));
        expectSymbol(")");
    }
    return q;
}

// UNION, UNION ALL and EXCEPT at level 0; INTERSECT binds tighter, at level 1.
QueryBodyPtr Parser::queryTerm(int level)
{
    QueryBodyPtr left = level == 0 ? queryTerm(1) : queryPrimary();
    for (;;) {
        QueryBody::Op op;
        if (level == 0 && current().isWord("union")) {
            advance();
            op = acceptWord("all") ? QueryBody::Op::UnionAll : QueryBody::Op::Union;
        } else if (level == 0 && current().isWord("except")) {
            advance();
            op = QueryBody::Op::Except;
        } else if (level == 1 && current().isWord("intersect")) {
            advance();
            op = QueryBody::Op::Intersect;
        } else {
            return left;
        }
        Deeper deeper(*this);
        auto b = std::make_unique<QueryBody>();
        b->kind = QueryBody::Kind::SetOp;
        b->op = op;
        b->left = std::move(left);
        b->right = level == 0 ? queryTerm(1) : queryPrimary();
        left = std::move(b);
    }
}

QueryBodyPtr Parser::queryPrimary()
{
    auto b = std::make_unique<QueryBody>();
    if (current().isSymbol("(")) {
        advance();
        b->kind = QueryBody::Kind::Parenthesized;
        b->parenthesized = query(false);
        expectSymbol(")");
        return b;
    }
    b->kind = QueryBody::Kind::Block;
    b->block = queryBlock();
    return b;
}

std::optional<Top> Parser::top(bool requireParentheses)
{
    if (!acceptWord("top"))
        return std::nullopt;
    Top t;
    if (current().isSymbol("(")) {
        advance();
        t.count = expr();
        expectSymbol(")");
    } else {
        if (requireParentheses || (current().kind != Token::Kind::Number && current().kind != Token::Kind::Variable))
            fail();
        t.count = primary();
    }
    if (acceptWord("percent"))
        t.percent = true;
    if (current().isWord("with") && peek().isWord("ties")) {
        advance();
        advance();
        t.withTies = true;
    }
    return t;
}

SelectItem Parser::selectItem()
{
    SelectItem item;
    const Token &t = current();
    if (t.isSymbol("*")) {
        advance();
        item.expr = std::make_unique<Star>();
        item.expr->line = t.line;
        return item;
    }
    // @v = expr, @v += expr: an assignment; alias = expr: a name for the column.
    if (t.kind == Token::Kind::Variable) {
        const Token &op = peek();
        static constexpr std::string_view ops[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
        for (std::string_view o : ops) {
            if (op.isSymbol(o)) {
                item.assignVariable = advance().text;
                item.assignOp = advance().text;
                item.expr = expr();
                return item;
            }
        }
    }
    if ((isNameToken(t) || t.kind == Token::Kind::String) && peek().isSymbol("=")) {
        item.alias = advance().text;
        advance();
        item.expr = expr();
        return item;
    }
    item.expr = expr();
    if (acceptWord("as")) {
        if (current().kind == Token::Kind::String)
            item.alias = advance().text;
        else
            item.alias = name();
    } else if (current().kind == Token::Kind::String || (isNameToken(current()) && !startsStatement(current()))) {
        item.alias = advance().text;
    }
    return item;
}

std::unique_ptr<QueryBlock> Parser::queryBlock()
{
    auto s = std::make_unique<QueryBlock>();
    s->line = current().line;
    expectWord("select");
    if (acceptWord("distinct"))
        s->distinct = true;
    else
        acceptWord("all");
    s->top = top(false);
    do
        s->items.push_back(selectItem());
    while (acceptSymbol(","));
    if (acceptWord("into"))
        s->into = objectName();
    if (acceptWord("from"))
        s->from = fromList();
    if (acceptWord("where"))
        s->where = expr();
    if (acceptWords({"group", "by"}))
        s->groupBy = groupBy();
    if (acceptWord("having"))
        s->having = expr();
    return s;
}

GroupBy Parser::groupBy()
{
    GroupBy g;
    if (acceptWord("all"))
        unsupported("GROUP BY ALL");
    auto list = [&](std::vector<ExprPtr> &into) {
        expectSymbol("(");
        if (!current().isSymbol(")")) {
            do
                into.push_back(expr());
            while (acceptSymbol(","));
        }
        expectSymbol(")");
    };
    if (current().isWord("rollup") && peek().isSymbol("(")) {
        advance();
        g.kind = GroupBy::Kind::Rollup;
        list(g.items);
    } else if (current().isWord("cube") && peek().isSymbol("(")) {
        advance();
        g.kind = GroupBy::Kind::Cube;
        list(g.items);
    } else if (current().isWord("grouping") && peek().isWord("sets")) {
        advance();
        advance();
        g.kind = GroupBy::Kind::GroupingSets;
        expectSymbol("(");
        do {
            std::vector<ExprPtr> set;
            if (current().isSymbol("("))
                list(set);
            else
                set.push_back(expr());
            g.sets.push_back(std::move(set));
        } while (acceptSymbol(","));
        expectSymbol(")");
    } else {
        do
            g.items.push_back(expr());
        while (acceptSymbol(","));
        if (current().isWord("with") && (peek().isWord("rollup") || peek().isWord("cube"))) {
            advance();
            g.kind = advance().isWord("rollup") ? GroupBy::Kind::Rollup : GroupBy::Kind::Cube;
        }
    }
    return g;
}

std::vector<TableRefPtr> Parser::fromList()
{
    std::vector<TableRefPtr> refs;
    do
        refs.push_back(tableRef());
    while (acceptSymbol(","));
    return refs;
}

TableRefPtr Parser::tableRef()
{
    Deeper level(*this);
    return joins(tablePrimary(), false);
}

std::optional<Join::Type> Parser::joinType()
{
    if (acceptWords({"cross", "join"}))
        return Join::Type::Cross;
    if (acceptWords({"cross", "apply"}))
        return Join::Type::CrossApply;
    if (acceptWords({"outer", "apply"}))
        return Join::Type::OuterApply;
    if (current().isWord("inner") || current().isWord("join")) {
        acceptWord("inner");
        expectWord("join");
        return Join::Type::Inner;
    }
    if (current().isWord("left") || current().isWord("right") || current().isWord("full")) {
        const Token &t = advance();
        acceptWord("outer");
        expectWord("join");
        return t.isWord("left") ? Join::Type::Left : t.isWord("right") ? Join::Type::Right : Join::Type::Full;
    }
    return std::nullopt;
}

// Joins bind left to right; a join whose ON has not come yet takes the joins written before
// that ON as its right side (a JOIN b JOIN c ON ... ON ...).
TableRefPtr Parser::joins(TableRefPtr left, bool nested)
{
    for (;;) {
        const int line = current().line;
        if (nested && current().isWord("on"))
            return left;
        const auto type = joinType();
        if (!type)
            return left;
        Deeper deeper(*this);
        auto j = std::make_unique<Join>();
        j->line = line;
        j->type = *type;
        j->left = std::move(left);
        j->right = tablePrimary();
        const bool needsOn = *type != Join::Type::Cross && *type != Join::Type::CrossApply &&
                             *type != Join::Type::OuterApply;
        if (needsOn) {
            if (!current().isWord("on"))
                j->right = joins(std::move(j->right), true);
            expectWord("on");
            j->on = expr();
        }
        left = std::move(j);
    }
}

void Parser::tableHints()
{
    // WITH (NOLOCK), (NOLOCK): locking hints change nothing in the embedded engine.
    if (current().isWord("with") && peek().isSymbol("(")) {
        advance();
    } else if (!(current().isSymbol("(") && peek().kind == Token::Kind::Word &&
                 (peek().isWord("nolock") || peek().isWord("readuncommitted") || peek().isWord("holdlock") ||
                  peek().isWord("updlock") || peek().isWord("rowlock") || peek().isWord("tablock")))) {
        return;
    }
    expectSymbol("(");
    int depth = 1;
    while (depth > 0 && current().kind != Token::Kind::End) {
        if (current().isSymbol("("))
            ++depth;
        else if (current().isSymbol(")"))
            --depth;
        advance();
    }
}

TableRefPtr Parser::tablePrimary()
{
    const Token &t = current();
    if (t.isSymbol("(")) {
        if (startsQuery()) {
            advance();
            auto d = std::make_unique<DerivedTable>();
            d->line = t.line;
            d->query = query(false);
            expectSymbol(")");
            d->alias = optionalAlias();
            if (d->alias.empty())
                fail();
            if (acceptSymbol("(")) {
                do
                    d->columnAliases.push_back(name());
                while (acceptSymbol(","));
                expectSymbol(")");
            }
            return d;
        }
        if (peek().isWord("values")) {
            advance();
            advance();
            auto v = std::make_unique<ValuesTable>();
            v->line = t.line;
            do {
                expectSymbol("(");
                std::vector<ExprPtr> row;
                do
                    row.push_back(expr());
                while (acceptSymbol(","));
                expectSymbol(")");
                v->rows.push_back(std::move(row));
            } while (acceptSymbol(","));
            expectSymbol(")");
            v->alias = optionalAlias();
            if (v->alias.empty())
                fail();
            if (acceptSymbol("(")) {
                do
                    v->columnAliases.push_back(name());
                while (acceptSymbol(","));
                expectSymbol(")");
            }
            return v;
        }
        advance();
        TableRefPtr inner = tableRef();
        expectSymbol(")");
        return inner;
    }
    if (t.kind == Token::Kind::Variable) {
        auto n = std::make_unique<NamedTable>();
        n->line = t.line;
        n->name.name = advance().text;
        n->name.written = n->name.name;
        n->alias = optionalAlias();
        return n;
    }
    if (t.kind == Token::Kind::Word && peek().isSymbol("(") && !isReserved(t.text)) {
        auto f = std::make_unique<FunctionTable>();
        f->line = t.line;
        advance();
        ExprPtr call = functionCall(t.text, t.line);
        f->call.reset(static_cast<Function *>(call.release()));
        f->alias = optionalAlias();
        if (acceptSymbol("(")) {
            do
                f->columnAliases.push_back(name());
            while (acceptSymbol(","));
            expectSymbol(")");
        }
        return f;
    }
    if (t.isWord("openjson") || t.isWord("openrowset") || t.isWord("openquery") || t.isWord("openxml"))
        unsupported(upper(t.text));
    auto n = std::make_unique<NamedTable>();
    n->line = t.line;
    n->name = objectName();
    if (current().isWord("pivot") || current().isWord("unpivot"))
        unsupported(upper(current().text));
    n->alias = optionalAlias();
    if (current().isWord("tablesample"))
        unsupported("TABLESAMPLE");
    tableHints();
    return n;
}

} // namespace tsql
