#include "tsql/Parser.h"

#include "tsql/Errors.h"

namespace tsql {

using namespace ast;

namespace {

template <typename T>
std::unique_ptr<T> node(int line)
{
    auto n = std::make_unique<T>();
    n->line = line;
    return n;
}

ExprPtr binary(std::string op, ExprPtr l, ExprPtr r, int line)
{
    auto b = node<Binary>(line);
    b->op = std::move(op);
    b->left = std::move(l);
    b->right = std::move(r);
    return b;
}

// Functions whose first argument is a date part written as a word: DATEADD(day, ...).
bool takesDatePart(std::string_view name)
{
    for (std::string_view n : {"dateadd", "datediff", "datediff_big", "datepart", "datename", "datetrunc"})
        if (name == n)
            return true;
    return false;
}

} // namespace

bool Parser::startsQuery() const
{
    std::size_t i = 0;
    while (peek(i).isSymbol("("))
        ++i;
    return peek(i).isWord("select") || (i == 0 && peek(0).isWord("with"));
}

ExprPtr Parser::expr(std::string &text)
{
    const std::size_t start = current().offset;
    ExprPtr e = expr();
    text = std::string(m_text.substr(start, m_t[m_pos - 1].endOffset - start));
    return e;
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
    while (current().isWord("or")) {
        const int line = advance().line;
        chain.add();
        left = binary("or", std::move(left), andExpr(), line);
    }
    return left;
}

ExprPtr Parser::andExpr()
{
    Deeper chain(*this, 0);
    ExprPtr left = notExpr();
    while (current().isWord("and")) {
        const int line = advance().line;
        chain.add();
        left = binary("and", std::move(left), notExpr(), line);
    }
    return left;
}

ExprPtr Parser::notExpr()
{
    if (current().isWord("not")) {
        const int line = advance().line;
        Deeper level(*this);
        auto u = node<Unary>(line);
        u->op = "not";
        u->operand = notExpr();
        return u;
    }
    return predicate();
}

ExprPtr Parser::predicate()
{
    const int line = current().line;
    if (current().isWord("exists")) {
        advance();
        expectSymbol("(");
        auto e = node<Exists>(line);
        e->query = query(false);
        expectSymbol(")");
        return e;
    }
    ExprPtr left = bitwise();
    static constexpr std::string_view ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (std::string_view op : ops) {
        if (!current().isSymbol(op))
            continue;
        advance();
        std::string o(op);
        if (o == "!=")
            o = "<>";
        else if (o == "!<")
            o = ">=";
        else if (o == "!>")
            o = "<=";
        if (current().isWord("any") || current().isWord("some") || current().isWord("all")) {
            auto q = node<Quantified>(line);
            q->all = advance().isWord("all");
            q->op = o;
            q->value = std::move(left);
            expectSymbol("(");
            q->query = query(false);
            expectSymbol(")");
            return q;
        }
        return binary(o, std::move(left), bitwise(), line);
    }
    bool negated = false;
    if (current().isWord("not") && (peek().isWord("like") || peek().isWord("in") || peek().isWord("between"))) {
        advance();
        negated = true;
    }
    if (acceptWord("like")) {
        auto l = node<Like>(line);
        l->negated = negated;
        l->value = std::move(left);
        l->pattern = bitwise();
        if (acceptWord("escape"))
            l->escape = bitwise();
        return l;
    }
    if (acceptWord("in")) {
        auto in = node<In>(line);
        in->negated = negated;
        in->value = std::move(left);
        expectSymbol("(");
        if (startsQuery()) {
            in->query = query(false);
        } else {
            do
                in->list.push_back(expr());
            while (acceptSymbol(","));
        }
        expectSymbol(")");
        return in;
    }
    if (acceptWord("between")) {
        auto b = node<Between>(line);
        b->negated = negated;
        b->value = std::move(left);
        b->low = bitwise();
        expectWord("and");
        b->high = bitwise();
        return b;
    }
    if (negated)
        fail();
    if (acceptWord("is")) {
        auto n = node<IsNull>(line);
        n->negated = acceptWord("not");
        expectWord("null");
        n->value = std::move(left);
        return n;
    }
    return left;
}

ExprPtr Parser::bitwise()
{
    return additive();
}

ExprPtr Parser::additive()
{
    Deeper chain(*this, 0);
    ExprPtr left = multiplicative();
    for (;;) {
        const Token &t = current();
        if (!(t.isSymbol("+") || t.isSymbol("-") || t.isSymbol("&") || t.isSymbol("|") || t.isSymbol("^")))
            break;
        advance();
        chain.add();
        left = binary(t.text, std::move(left), multiplicative(), t.line);
    }
    return left;
}

ExprPtr Parser::multiplicative()
{
    Deeper chain(*this, 0);
    ExprPtr left = unary();
    while (current().isSymbol("*") || current().isSymbol("/") || current().isSymbol("%")) {
        const Token &t = advance();
        chain.add();
        left = binary(t.text, std::move(left), unary(), t.line);
    }
    return left;
}

ExprPtr Parser::unary()
{
    if (current().isSymbol("-") || current().isSymbol("+") || current().isSymbol("~")) {
        const Token &t = advance();
        Deeper level(*this);
        auto u = node<Unary>(t.line);
        u->op = t.text;
        u->operand = unary();
        return u;
    }
    return postfix(primary());
}

ExprPtr Parser::postfix(ExprPtr e)
{
    while (current().isWord("collate")) {
        const int line = advance().line;
        auto c = node<Collate>(line);
        c->value = std::move(e);
        c->collation = name();
        e = std::move(c);
    }
    return e;
}

ExprPtr Parser::literal()
{
    const int index = m_literalIndex[m_pos];
    const Token &t = advance();
    auto l = node<Literal>(t.line);
    l->text = t.text;
    l->national = t.national;
    l->index = index;
    switch (t.kind) {
    case Token::Kind::String: l->type = Literal::Type::String; break;
    case Token::Kind::Number: l->type = Literal::Type::Number; break;
    case Token::Kind::Binary: l->type = Literal::Type::Binary; break;
    case Token::Kind::Money: l->type = Literal::Type::Money; break;
    default: failAt(t);
    }
    return l;
}

ExprPtr Parser::parenthesized()
{
    const int line = current().line;
    expectSymbol("(");
    if (startsQuery()) {
        auto s = node<Subquery>(line);
        s->query = query(false);
        expectSymbol(")");
        return s;
    }
    ExprPtr e = expr();
    expectSymbol(")");
    return e;
}

ExprPtr Parser::caseExpr()
{
    auto c = node<Case>(advance().line);
    if (!current().isWord("when"))
        c->operand = expr();
    if (!current().isWord("when"))
        fail();
    while (acceptWord("when")) {
        ExprPtr when = expr();
        expectWord("then");
        c->whens.emplace_back(std::move(when), expr());
    }
    if (acceptWord("else"))
        c->elseValue = expr();
    expectWord("end");
    return c;
}

ExprPtr Parser::castExpr()
{
    const Token &t = advance();
    auto c = node<Cast>(t.line);
    c->tryCast = t.isWord("try_cast") || t.isWord("try_convert");
    c->convert = t.isWord("convert") || t.isWord("try_convert");
    expectSymbol("(");
    if (c->convert) {
        c->type = dataType();
        expectSymbol(",");
        c->value = expr();
        if (acceptSymbol(","))
            c->style = expr();
    } else {
        c->value = expr();
        expectWord("as");
        c->type = dataType();
    }
    expectSymbol(")");
    return c;
}

std::vector<OrderItem> Parser::orderList()
{
    std::vector<OrderItem> items;
    do {
        OrderItem item;
        item.expr = expr();
        if (acceptWord("desc"))
            item.descending = true;
        else
            acceptWord("asc");
        items.push_back(std::move(item));
    } while (acceptSymbol(","));
    return items;
}

std::unique_ptr<Over> Parser::over()
{
    auto o = std::make_unique<Over>();
    expectSymbol("(");
    if (acceptWords({"partition", "by"})) {
        do
            o->partitionBy.push_back(expr());
        while (acceptSymbol(","));
    }
    if (acceptWords({"order", "by"}))
        o->orderBy = orderList();
    if (current().isWord("rows") || current().isWord("range")) {
        WindowFrame f;
        f.unit = advance().isWord("rows") ? WindowFrame::Unit::Rows : WindowFrame::Unit::Range;
        auto bound = [&](WindowFrame::Bound &b, ExprPtr &offset) {
            if (acceptWord("unbounded")) {
                b = acceptWord("preceding") ? WindowFrame::Bound::UnboundedPreceding
                                            : (expectWord("following"), WindowFrame::Bound::UnboundedFollowing);
            } else if (acceptWords({"current", "row"})) {
                b = WindowFrame::Bound::CurrentRow;
            } else {
                offset = primary();
                b = acceptWord("preceding") ? WindowFrame::Bound::Preceding
                                            : (expectWord("following"), WindowFrame::Bound::Following);
            }
        };
        if (acceptWord("between")) {
            bound(f.startBound, f.startOffset);
            expectWord("and");
            bound(f.endBound, f.endOffset);
        } else {
            bound(f.startBound, f.startOffset);
            f.endBound = WindowFrame::Bound::CurrentRow;
        }
        o->frame = std::move(f);
    }
    expectSymbol(")");
    return o;
}

ExprPtr Parser::functionCall(std::string name, int line)
{
    auto f = node<Function>(line);
    f->name = lower(name);
    expectSymbol("(");
    if (takesDatePart(f->name) && current().kind == Token::Kind::Word && peek().isSymbol(",")) {
        f->keywordArg = lower(advance().text);
        expectSymbol(",");
    }
    if (f->name == "trim" && !current().isSymbol(")")) {
        // TRIM([characters FROM] string)
        ExprPtr first = expr();
        if (acceptWord("from")) {
            f->args.push_back(expr());
            f->args.push_back(std::move(first));
        } else {
            f->args.push_back(std::move(first));
        }
    } else if (acceptSymbol("*")) {
        f->star = true;
    } else if (!current().isSymbol(")")) {
        if (acceptWord("distinct"))
            f->distinct = true;
        else
            acceptWord("all");
        do
            f->args.push_back(expr());
        while (acceptSymbol(","));
    }
    expectSymbol(")");
    if (current().isWord("within") && peek().isWord("group")) {
        advance();
        advance();
        expectSymbol("(");
        if (!acceptWords({"order", "by"}))
            fail();
        f->withinGroup = orderList();
        expectSymbol(")");
    }
    if (acceptWord("over"))
        f->over = over();
    return f;
}

ExprPtr Parser::columnOrFunction()
{
    const Token &first = current();
    // name( is a function call; schema.name( a user function, which the binder refuses by name.
    if (first.kind == Token::Kind::Word && peek().isSymbol("(")) {
        advance();
        return functionCall(first.text, first.line);
    }
    auto c = node<Column>(first.line);
    c->parts.push_back(advance().text);
    while (current().isSymbol(".")) {
        advance();
        if (current().isSymbol("*")) {
            advance();
            auto s = node<Star>(first.line);
            s->qualifier = std::move(c->parts);
            return s;
        }
        if (current().isSymbol(".")) {
            c->parts.emplace_back(); // db..table.column
            continue;
        }
        if (current().kind == Token::Kind::Word && peek().isSymbol("(")) {
            // dbo.fn(...): a function in a schema
            std::string qualified;
            for (const auto &p : c->parts)
                qualified += p + ".";
            const Token &fn = advance();
            return functionCall(qualified + fn.text, first.line);
        }
        if (!isNameToken(current()) && current().kind != Token::Kind::Word)
            fail();
        c->parts.push_back(advance().text);
    }
    if (c->parts.size() > 4)
        fail();
    return c;
}

ExprPtr Parser::primary()
{
    const Token &t = current();
    switch (t.kind) {
    case Token::Kind::String: case Token::Kind::Number: case Token::Kind::Binary: case Token::Kind::Money:
        return literal();
    case Token::Kind::Variable: {
        auto v = node<Variable>(t.line);
        v->name = advance().text;
        return v;
    }
    case Token::Kind::Symbol:
        if (t.isSymbol("("))
            return parenthesized();
        if (t.isSymbol("{") && (peek().isWord("ts") || peek().isWord("d"))) {
            // ODBC's escapes { ts '...' } and { d '...' } are datetime values.
            auto c = node<Cast>(advance().line);
            advance();
            if (current().kind != Token::Kind::String)
                fail();
            c->value = literal();
            c->type = SqlType{Base::DateTime};
            expectSymbol("}");
            return c;
        }
        fail();
    case Token::Kind::QuotedName:
        return columnOrFunction();
    case Token::Kind::Word: {
        if (t.isWord("null")) {
            auto l = node<Literal>(advance().line);
            l->type = Literal::Type::Null;
            return l;
        }
        if (t.isWord("case"))
            return caseExpr();
        if (t.isWord("cast") || t.isWord("convert") || t.isWord("try_cast") || t.isWord("try_convert")) {
            if (peek().isSymbol("("))
                return castExpr();
        }
        // Keyword functions written without parentheses.
        for (std::string_view kw : {"current_timestamp", "current_user", "session_user", "system_user", "user"}) {
            if (t.isWord(kw) && !peek().isSymbol("(")) {
                auto f = node<Function>(advance().line);
                f->name = std::string(kw);
                return f;
            }
        }
        // Reserved words that are also function names.
        for (std::string_view fn : {"left", "right", "coalesce", "nullif", "identity", "user"}) {
            if (t.isWord(fn) && peek().isSymbol("(")) {
                const Token &n = advance();
                return functionCall(n.text, n.line);
            }
        }
        if (isReserved(t.text))
            fail();
        return columnOrFunction();
    }
    case Token::Kind::End:
        break;
    }
    fail();
}

} // namespace tsql
