#include "tsql/Parser.h"

#include "tsql/Errors.h"

namespace tsql {

using namespace ast;

Target Parser::target()
{
    Target t;
    if (current().kind == Token::Kind::Variable) {
        t.name.name = advance().text;
        t.name.written = t.name.name;
        return t;
    }
    t.name = objectName();
    tableHints();
    return t;
}

StatementPtr Parser::insert(std::vector<Cte> with)
{
    auto s = std::make_unique<Insert>();
    s->with = std::move(with);
    expectWord("insert");
    s->top = top(true);
    acceptWord("into");
    s->target = target();
    if (current().isSymbol("(") && !startsQuery()) {
        advance();
        do
            s->columns.push_back(name());
        while (acceptSymbol(","));
        expectSymbol(")");
    }
    if (current().isWord("output"))
        unsupported("OUTPUT");
    if (acceptWord("values")) {
        do {
            expectSymbol("(");
            std::vector<ExprPtr> row;
            do {
                if (acceptWord("default"))
                    row.emplace_back();
                else
                    row.push_back(expr());
            } while (acceptSymbol(","));
            expectSymbol(")");
            s->values.push_back(std::move(row));
        } while (acceptSymbol(","));
    } else if (acceptWords({"default", "values"})) {
        s->defaultValues = true;
    } else if (current().isWord("exec") || current().isWord("execute")) {
        s->execute = execute(false);
    } else if (startsQuery()) {
        s->query = query(false);
    } else {
        fail();
    }
    return s;
}

Assignment Parser::assignment()
{
    Assignment a;
    static constexpr std::string_view ops[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
    auto op = [&]() -> std::string {
        for (std::string_view o : ops)
            if (acceptSymbol(o))
                return std::string(o);
        fail();
    };
    if (current().kind == Token::Kind::Variable) {
        a.variable = advance().text;
        a.op = op();
        // SET @v = column = expression: the variable takes the column's new value.
        if (isNameToken(current()) && peek().isSymbol("=")) {
            a.column.push_back(advance().text);
            advance();
        }
    } else {
        a.column.push_back(name());
        while (acceptSymbol("."))
            a.column.push_back(name());
        if (a.column.size() > 4)
            fail();
        a.op = op();
    }
    if (acceptWord("default")) {
        if (a.op != "=")
            fail();
        return a;
    }
    a.value = expr();
    return a;
}

StatementPtr Parser::update(std::vector<Cte> with)
{
    auto s = std::make_unique<Update>();
    s->with = std::move(with);
    expectWord("update");
    s->top = top(true);
    s->target = target();
    expectWord("set");
    do
        s->sets.push_back(assignment());
    while (acceptSymbol(","));
    if (current().isWord("output"))
        unsupported("OUTPUT");
    if (acceptWord("from"))
        s->from = fromList();
    if (acceptWord("where")) {
        if (current().isWord("current") && peek().isWord("of"))
            unsupported("WHERE CURRENT OF");
        s->where = expr();
    }
    if (current().isWord("option") && peek().isSymbol("("))
        fail();
    return s;
}

StatementPtr Parser::deleteStatement(std::vector<Cte> with)
{
    auto s = std::make_unique<Delete>();
    s->with = std::move(with);
    expectWord("delete");
    s->top = top(true);
    acceptWord("from");
    s->target = target();
    if (current().isWord("output"))
        unsupported("OUTPUT");
    if (acceptWord("from"))
        s->from = fromList();
    if (acceptWord("where")) {
        if (current().isWord("current") && peek().isWord("of"))
            unsupported("WHERE CURRENT OF");
        s->where = expr();
    }
    return s;
}

StatementPtr Parser::truncate()
{
    expectWord("truncate");
    expectWord("table");
    auto s = std::make_unique<Truncate>();
    s->table = objectName();
    return s;
}

StatementPtr Parser::merge()
{
    unsupported("MERGE");
}

} // namespace tsql
