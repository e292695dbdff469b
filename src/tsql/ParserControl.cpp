#include "tsql/Parser.h"

#include "tsql/Errors.h"

namespace tsql {

using namespace ast;

StatementPtr Parser::statementAt()
{
    Deeper level(*this);
    const Token &t = current();
    if (t.isSymbol(";")) {
        advance();
        return std::make_unique<Simple>(Statement::Kind::Empty);
    }
    if (t.isWord("select") || (t.isSymbol("(") && startsQuery())) {
        auto s = std::make_unique<SelectStatement>();
        s->query = query(true);
        return s;
    }
    if (t.isWord("with") && !peek().isSymbol("(")) {
        std::vector<Cte> ctes = withClause();
        if (current().isWord("select") || current().isSymbol("(")) {
            auto s = std::make_unique<SelectStatement>();
            s->query = query(true);
            s->query->with = std::move(ctes);
            return s;
        }
        if (current().isWord("insert"))
            return insert(std::move(ctes));
        if (current().isWord("update"))
            return update(std::move(ctes));
        if (current().isWord("delete"))
            return deleteStatement(std::move(ctes));
        fail();
    }
    if (t.isWord("insert"))
        return insert({});
    if (t.isWord("update"))
        return update({});
    if (t.isWord("delete"))
        return deleteStatement({});
    if (t.isWord("merge"))
        return merge();
    if (t.isWord("truncate"))
        return truncate();
    if (t.isWord("create"))
        return create();
    if (t.isWord("alter"))
        return alter();
    if (t.isWord("drop"))
        return drop();
    if (t.isWord("use"))
        return use();
    if (t.isWord("set"))
        return set();
    if (t.isWord("declare"))
        return declare();
    if (t.isWord("if"))
        return ifStatement();
    if (t.isWord("while"))
        return whileStatement();
    if (t.isWord("begin"))
        return block();
    if (t.isWord("break") || t.isWord("continue")) {
        advance();
        return std::make_unique<Simple>(t.isWord("break") ? Statement::Kind::Break : Statement::Kind::Continue);
    }
    if (t.isWord("return")) {
        advance();
        auto r = std::make_unique<Return>();
        if (!atStatementEnd())
            r->value = expr();
        return r;
    }
    if (t.isWord("goto")) {
        advance();
        auto g = std::make_unique<Goto>(Statement::Kind::Goto);
        g->label = lower(name());
        return g;
    }
    if (t.kind == Token::Kind::Word && peek().isSymbol(":") && !isReserved(t.text)) {
        auto l = std::make_unique<Goto>(Statement::Kind::Label);
        l->label = lower(advance().text);
        advance();
        return l;
    }
    if (t.isWord("print"))
        return print();
    if (t.isWord("raiserror"))
        return raiserror();
    if (t.isWord("throw"))
        return throwStatement();
    if (t.isWord("commit") || t.isWord("rollback") || t.isWord("save"))
        return transaction();
    if (t.isWord("exec") || t.isWord("execute"))
        return execute(false);
    if (t.isWord("dbcc"))
        return dbcc();
    if (t.isWord("grant") || t.isWord("deny") || t.isWord("revoke"))
        return permission(upper(t.text));
    if (t.isWord("waitfor"))
        return waitfor();
    for (std::string_view kw : {"open", "fetch", "close", "deallocate", "backup", "restore", "bulk", "checkpoint",
                                "kill", "shutdown", "reconfigure", "readtext", "writetext", "updatetext", "revert"})
        if (t.isWord(kw))
            unsupported(upper(kw));
    // A procedure named alone as the batch's first statement runs as if EXEC preceded it.
    if (m_first && isNameToken(t))
        return execute(true);
    fail();
}

std::vector<StatementPtr> Parser::statementsUntil(std::initializer_list<std::string_view> end)
{
    std::vector<StatementPtr> out;
    for (;;) {
        bool atEnd = true;
        std::size_t i = 0;
        for (std::string_view w : end)
            atEnd = atEnd && peek(i++).isWord(w);
        if (atEnd)
            return out;
        if (current().kind == Token::Kind::End)
            fail();
        if (acceptSymbol(";"))
            continue;
        out.push_back(statement());
    }
}

StatementPtr Parser::block()
{
    const Token &begin = current();
    if (peek().isWord("tran") || peek().isWord("transaction") || peek().isWord("distributed"))
        return transaction();
    if (peek().isWord("try")) {
        advance();
        advance();
        auto tc = std::make_unique<TryCatch>();
        tc->tryBlock = statementsUntil({"end", "try"});
        advance();
        advance();
        if (!acceptWords({"begin", "catch"}))
            fail();
        tc->catchBlock = statementsUntil({"end", "catch"});
        advance();
        advance();
        return tc;
    }
    if (peek().isWord("dialog") || peek().isWord("conversation"))
        unsupported("BEGIN " + upper(peek().text));
    advance();
    auto b = std::make_unique<Block>();
    b->line = begin.line;
    b->statements = statementsUntil({"end"});
    advance();
    return b;
}

StatementPtr Parser::declare()
{
    expectWord("declare");
    auto d = std::make_unique<Declare>();
    do {
        VariableDef v;
        if (current().kind != Token::Kind::Variable)
            fail();
        v.name = advance().text;
        acceptWord("as");
        if (acceptWord("table")) {
            v.isTable = true;
            expectSymbol("(");
            do {
                if (current().isSymbol(")"))
                    break;
                if (current().isWord("constraint")) {
                    advance();
                    v.tableConstraints.push_back(tableConstraint(name()));
                } else if (current().isWord("primary") || current().isWord("unique") || current().isWord("check")) {
                    v.tableConstraints.push_back(tableConstraint({}));
                } else {
                    v.tableColumns.push_back(columnDef(v.tableConstraints, false));
                }
            } while (acceptSymbol(","));
            expectSymbol(")");
        } else if (current().isWord("cursor")) {
            unsupported("CURSOR");
        } else {
            v.type = dataType();
            if (acceptSymbol("="))
                v.initial = expr();
        }
        d->variables.push_back(std::move(v));
    } while (acceptSymbol(","));
    return d;
}

StatementPtr Parser::set()
{
    expectWord("set");
    if (current().kind == Token::Kind::Variable) {
        auto s = std::make_unique<SetVariable>();
        s->variable = advance().text;
        static constexpr std::string_view ops[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
        bool found = false;
        for (std::string_view o : ops) {
            if (acceptSymbol(o)) {
                s->op = std::string(o);
                found = true;
                break;
            }
        }
        if (!found)
            fail();
        s->value = expr();
        return s;
    }
    auto s = std::make_unique<SetOption>();
    if (acceptWord("identity_insert")) {
        s->options.push_back("IDENTITY_INSERT");
        s->table = objectName();
        if (!current().isWord("on") && !current().isWord("off"))
            fail();
        s->value = upper(advance().text);
        return s;
    }
    if (acceptWords({"transaction", "isolation", "level"})) {
        s->options.push_back("TRANSACTION ISOLATION LEVEL");
        std::string level;
        while (current().kind == Token::Kind::Word && !startsStatement(current()))
            level += (level.empty() ? "" : " ") + upper(advance().text);
        if (level != "READ UNCOMMITTED" && level != "READ COMMITTED" && level != "REPEATABLE READ" &&
            level != "SNAPSHOT" && level != "SERIALIZABLE")
            fail();
        s->value = level;
        return s;
    }
    if (current().kind != Token::Kind::Word)
        fail();
    const std::string first = upper(current().text);
    // Options that take a value rather than ON/OFF.
    if (first == "DATEFORMAT" || first == "DATEFIRST" || first == "LANGUAGE" || first == "TEXTSIZE" ||
        first == "ROWCOUNT" || first == "LOCK_TIMEOUT" || first == "DEADLOCK_PRIORITY" ||
        first == "CONTEXT_INFO") {
        advance();
        s->options.push_back(first);
        if (current().kind == Token::Kind::Variable || current().kind == Token::Kind::Number ||
            current().kind == Token::Kind::String || current().isSymbol("-")) {
            s->expr = expr();
        } else if (current().isName()) {
            s->value = upper(advance().text);
        } else {
            fail();
        }
        return s;
    }
    do {
        if (current().kind != Token::Kind::Word)
            fail();
        s->options.push_back(upper(advance().text));
    } while (acceptSymbol(","));
    if (acceptWord("on"))
        s->value = "ON";
    else if (acceptWord("off"))
        s->value = "OFF";
    else
        fail();
    return s;
}

StatementPtr Parser::ifStatement()
{
    expectWord("if");
    auto s = std::make_unique<If>();
    s->condition = expr();
    while (acceptSymbol(";")) {
    }
    if (current().kind == Token::Kind::End || current().isWord("else"))
        fail();
    s->then = statement();
    while (current().isSymbol(";") && peek().isWord("else"))
        advance();
    if (acceptWord("else")) {
        while (acceptSymbol(";")) {
        }
        if (current().kind == Token::Kind::End)
            fail();
        s->otherwise = statement();
    }
    return s;
}

StatementPtr Parser::whileStatement()
{
    expectWord("while");
    auto s = std::make_unique<While>();
    s->condition = expr();
    while (acceptSymbol(";")) {
    }
    if (current().kind == Token::Kind::End)
        fail();
    s->body = statement();
    return s;
}

StatementPtr Parser::print()
{
    expectWord("print");
    auto s = std::make_unique<Print>();
    s->value = expr();
    return s;
}

StatementPtr Parser::raiserror()
{
    expectWord("raiserror");
    auto s = std::make_unique<Raiserror>();
    expectSymbol("(");
    s->message = expr();
    expectSymbol(",");
    s->severity = expr();
    expectSymbol(",");
    s->state = expr();
    while (acceptSymbol(","))
        s->args.push_back(expr());
    expectSymbol(")");
    if (acceptWord("with")) {
        do {
            const Token &o = advance();
            if (!(o.isWord("nowait") || o.isWord("log") || o.isWord("seterror")))
                failAt(o);
            s->with.push_back(upper(o.text));
        } while (acceptSymbol(","));
    }
    return s;
}

StatementPtr Parser::throwStatement()
{
    expectWord("throw");
    auto s = std::make_unique<Throw>();
    if (atStatementEnd())
        return s;
    s->number = expr();
    expectSymbol(",");
    s->message = expr();
    expectSymbol(",");
    s->state = expr();
    return s;
}

StatementPtr Parser::transaction()
{
    const Token &t = advance();
    Statement::Kind kind = t.isWord("begin")    ? Statement::Kind::BeginTran
                           : t.isWord("commit") ? Statement::Kind::CommitTran
                           : t.isWord("save")   ? Statement::Kind::SaveTran
                                                : Statement::Kind::RollbackTran;
    auto s = std::make_unique<Transaction>(kind);
    if (kind == Statement::Kind::BeginTran && acceptWord("distributed"))
        unsupported("BEGIN DISTRIBUTED TRANSACTION");
    bool word = false;
    if (acceptWord("tran") || acceptWord("transaction"))
        word = true;
    else if (kind != Statement::Kind::SaveTran && acceptWord("work"))
        return s;
    else if (kind == Statement::Kind::BeginTran || kind == Statement::Kind::SaveTran)
        fail();
    if (word || kind == Statement::Kind::SaveTran) {
        if (current().kind == Token::Kind::Variable) {
            s->nameVariable = primary();
        } else if (isNameToken(current()) && !startsStatement(current())) {
            s->name = advance().text;
            if (s->name.size() > 32)
                throw err::make(103, "transaction name", s->name.substr(0, 32), "32").atLine(t.line);
        } else if (kind == Statement::Kind::SaveTran) {
            fail();
        }
    }
    if (kind == Statement::Kind::BeginTran && acceptWords({"with", "mark"})) {
        if (current().kind == Token::Kind::String)
            advance();
    }
    return s;
}

StatementPtr Parser::execute(bool implicit)
{
    if (!implicit)
        advance(); // EXEC or EXECUTE
    auto s = std::make_unique<Execute>();
    if (!implicit && current().isSymbol("(")) {
        advance();
        s->dynamicSql = expr();
        expectSymbol(")");
        if (current().isWord("as") || current().isWord("at"))
            unsupported("EXECUTE " + upper(current().text));
        return s;
    }
    if (current().kind == Token::Kind::Variable && peek().isSymbol("=")) {
        s->returnVariable = advance().text;
        advance();
    }
    if (current().kind == Token::Kind::Variable)
        s->procedureVariable = advance().text;
    else
        s->procedure = objectName();
    if (atStatementEnd())
        return s;
    do {
        ExecArgument a;
        if (current().kind == Token::Kind::Variable && peek().isSymbol("=")) {
            a.name = advance().text;
            advance();
        }
        if (acceptWord("default")) {
        } else if (isNameToken(current()) && !startsStatement(current()) && !peek().isSymbol("(") &&
                   !peek().isSymbol(".")) {
            // A bare word passes as a string: EXEC sp_help tbMaster.
            auto l = std::make_unique<Literal>();
            l->line = current().line;
            l->type = Literal::Type::String;
            l->text = advance().text;
            a.value = std::move(l);
        } else {
            a.value = expr();
        }
        if (acceptWord("output") || acceptWord("out"))
            a.output = true;
        s->args.push_back(std::move(a));
    } while (acceptSymbol(","));
    if (acceptWord("with")) {
        if (!acceptWord("recompile"))
            fail();
    }
    return s;
}

std::vector<Parser::ParameterDef> Parser::parameterList()
{
    std::vector<ParameterDef> out;
    while (current().kind != Token::Kind::End) {
        ParameterDef d;
        if (current().kind != Token::Kind::Variable)
            fail();
        d.name = advance().text;
        acceptWord("as");
        d.type = dataType();
        if ((d.type.isText() || d.type.isBinary()) && d.type.length == 0)
            d.type.length = 1;
        if (acceptSymbol("="))
            expr(); // a default: sp_executesql's parameters take none, but clients may write them
        if (acceptWord("output") || acceptWord("out"))
            d.output = true;
        out.push_back(std::move(d));
        if (!acceptSymbol(","))
            break;
    }
    if (current().kind != Token::Kind::End)
        fail();
    return out;
}

StatementPtr Parser::dbcc()
{
    expectWord("dbcc");
    auto s = std::make_unique<Dbcc>();
    if (current().kind != Token::Kind::Word)
        fail();
    s->command = upper(advance().text);
    if (acceptSymbol("(")) {
        if (!current().isSymbol(")")) {
            do {
                if (isNameToken(current()) && (peek().isSymbol(",") || peek().isSymbol(")"))) {
                    auto l = std::make_unique<Literal>();
                    l->type = Literal::Type::String;
                    l->text = advance().text;
                    s->args.push_back(std::move(l));
                } else {
                    s->args.push_back(expr());
                }
            } while (acceptSymbol(","));
        }
        expectSymbol(")");
    }
    if (acceptWord("with")) {
        do {
            const Token &o = advance();
            if (o.kind != Token::Kind::Word)
                failAt(o);
            s->with.push_back(upper(o.text));
        } while (acceptSymbol(","));
    }
    return s;
}

StatementPtr Parser::use()
{
    expectWord("use");
    auto s = std::make_unique<Use>();
    s->database = name();
    return s;
}

StatementPtr Parser::waitfor()
{
    expectWord("waitfor");
    auto s = std::make_unique<WaitFor>();
    if (acceptWord("delay"))
        s->delay = true;
    else if (acceptWord("time"))
        s->delay = false;
    else
        fail();
    s->value = expr();
    return s;
}

StatementPtr Parser::permission(std::string verb)
{
    advance();
    auto s = std::make_unique<Login>();
    s->verb = verb;
    std::string perms;
    while (current().kind == Token::Kind::Word && !current().isWord("on") && !current().isWord("to") &&
           !current().isWord("from")) {
        perms += (perms.empty() ? "" : " ") + upper(advance().text);
        if (acceptSymbol(","))
            perms += ",";
    }
    s->action = perms;
    if (acceptWord("on")) {
        if (current().kind == Token::Kind::Word && peek().isSymbol("::")) {
            advance();
            advance();
        }
        s->object = objectName();
    }
    if (!acceptWord("to"))
        expectWord("from");
    s->other = name();
    while (acceptSymbol(","))
        name();
    acceptWords({"with", "grant", "option"});
    acceptWord("cascade");
    return s;
}

} // namespace tsql
