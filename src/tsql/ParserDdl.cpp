#include "tsql/Parser.h"

#include "tsql/Errors.h"

namespace tsql {

using namespace ast;

void Parser::skipStorageOptions()
{
    for (;;) {
        if (current().isWord("on") && (peek().isName() || peek().kind == Token::Kind::String)) {
            advance();
            advance();
            if (acceptSymbol("(")) { // ON scheme (column)
                name();
                expectSymbol(")");
            }
        } else if ((current().isWord("textimage_on") || current().isWord("filestream_on")) && peek().isName()) {
            advance();
            advance();
        } else if (current().isWord("with") && peek().isSymbol("(")) {
            advance();
            advance();
            int depth = 1;
            while (depth > 0 && current().kind != Token::Kind::End) {
                if (current().isSymbol("("))
                    ++depth;
                else if (current().isSymbol(")"))
                    --depth;
                advance();
            }
        } else {
            return;
        }
    }
}

std::vector<std::pair<std::string, bool>> Parser::indexColumns()
{
    std::vector<std::pair<std::string, bool>> cols;
    expectSymbol("(");
    do {
        std::string c = name();
        bool desc = false;
        if (acceptWord("desc"))
            desc = true;
        else
            acceptWord("asc");
        cols.emplace_back(std::move(c), desc);
    } while (acceptSymbol(","));
    expectSymbol(")");
    return cols;
}

Constraint Parser::tableConstraint(std::string constraintName)
{
    Constraint c;
    c.name = std::move(constraintName);
    if (acceptWords({"primary", "key"}) || (current().isWord("unique") && (advance(), true))) {
        const bool pk = m_t[m_pos - 1].isWord("key");
        c.kind = pk ? Constraint::Kind::PrimaryKey : Constraint::Kind::Unique;
        c.clustered = pk;
        if (acceptWord("clustered"))
            c.clustered = true;
        else if (acceptWord("nonclustered"))
            c.clustered = false;
        c.columns = indexColumns();
        skipStorageOptions();
        return c;
    }
    if (acceptWord("check")) {
        acceptWords({"not", "for", "replication"});
        c.kind = Constraint::Kind::Check;
        expectSymbol("(");
        c.expr = expr(c.exprText);
        expectSymbol(")");
        return c;
    }
    if (acceptWords({"foreign", "key"})) {
        c.kind = Constraint::Kind::ForeignKey;
        c.columns = indexColumns();
        expectWord("references");
        c.references = objectName();
        if (current().isSymbol("(")) {
            for (auto &[col, desc] : indexColumns())
                c.referencedColumns.push_back(col);
        }
        for (;;) {
            if (acceptWords({"on", "delete"}) || acceptWords({"on", "update"})) {
                const bool del = m_t[m_pos - 1].isWord("delete");
                std::string action;
                if (acceptWords({"no", "action"}))
                    action = "NO ACTION";
                else if (acceptWord("cascade"))
                    action = "CASCADE";
                else if (acceptWords({"set", "null"}))
                    action = "SET NULL";
                else if (acceptWords({"set", "default"}))
                    action = "SET DEFAULT";
                else
                    fail();
                (del ? c.onDelete : c.onUpdate) = action;
            } else if (acceptWords({"not", "for", "replication"})) {
            } else {
                break;
            }
        }
        return c;
    }
    if (acceptWord("default")) {
        c.kind = Constraint::Kind::Default;
        c.expr = expr(c.exprText);
        expectWord("for");
        c.forColumn = name();
        acceptWords({"with", "values"});
        return c;
    }
    fail();
}

ColumnDef Parser::columnDef(std::vector<Constraint> &constraints, bool forAlter)
{
    ColumnDef d;
    d.line = current().line;
    d.name = name();
    if (!forAlter && acceptWord("as")) {
        d.computed = expr(d.computedText);
        d.persisted = acceptWord("persisted");
        return d;
    }
    d.type = dataType();
    for (;;) {
        std::string constraintName;
        if (acceptWord("constraint"))
            constraintName = name();
        if (acceptWord("null")) {
            d.nullable = true;
        } else if (current().isWord("not") && peek().isWord("null")) {
            advance();
            advance();
            d.nullable = false;
        } else if (acceptWord("collate")) {
            d.collation = name();
        } else if (forAlter) {
            if (!constraintName.empty())
                fail();
            break;
        } else if (acceptWord("identity")) {
            d.identity = true;
            if (acceptSymbol("(")) {
                d.seed = signedInteger();
                expectSymbol(",");
                d.step = signedInteger();
                expectSymbol(")");
            }
            acceptWords({"not", "for", "replication"});
        } else if (current().isWord("primary") || current().isWord("unique")) {
            Constraint c;
            c.name = constraintName;
            const bool pk = acceptWords({"primary", "key"});
            if (!pk)
                expectWord("unique");
            c.kind = pk ? Constraint::Kind::PrimaryKey : Constraint::Kind::Unique;
            c.clustered = pk;
            if (acceptWord("clustered"))
                c.clustered = true;
            else if (acceptWord("nonclustered"))
                c.clustered = false;
            c.columns.emplace_back(d.name, false);
            skipStorageOptions();
            constraints.push_back(std::move(c));
        } else if (acceptWord("default")) {
            d.defaultName = constraintName;
            d.defaultValue = expr(d.defaultText);
            d.withValues = acceptWords({"with", "values"});
        } else if (current().isWord("check")) {
            advance();
            Constraint c;
            c.name = constraintName;
            c.kind = Constraint::Kind::Check;
            c.forColumn = d.name;
            expectSymbol("(");
            c.expr = expr(c.exprText);
            expectSymbol(")");
            constraints.push_back(std::move(c));
        } else if (current().isWord("references") || (current().isWord("foreign") && peek().isWord("key"))) {
            acceptWords({"foreign", "key"});
            expectWord("references");
            Constraint c;
            c.name = constraintName;
            c.kind = Constraint::Kind::ForeignKey;
            c.columns.emplace_back(d.name, false);
            c.references = objectName();
            if (current().isSymbol("("))
                for (auto &[col, desc] : indexColumns())
                    c.referencedColumns.push_back(col);
            while (acceptWords({"on", "delete"}) || acceptWords({"on", "update"})) {
                const bool del = m_t[m_pos - 1].isWord("delete");
                std::string action = acceptWord("cascade") ? "CASCADE"
                                     : acceptWords({"no", "action"}) ? "NO ACTION"
                                     : acceptWords({"set", "null"}) ? "SET NULL"
                                     : acceptWords({"set", "default"}) ? "SET DEFAULT" : "";
                if (action.empty())
                    fail();
                (del ? c.onDelete : c.onUpdate) = action;
            }
            constraints.push_back(std::move(c));
        } else if (acceptWord("rowguidcol") || acceptWord("sparse")) {
        } else {
            if (!constraintName.empty())
                fail();
            break;
        }
    }
    return d;
}

StatementPtr Parser::createTable()
{
    auto s = std::make_unique<CreateTable>();
    s->table = objectName();
    expectSymbol("(");
    do {
        if (current().isSymbol(")"))
            break; // SQL Server accepts a comma before the closing parenthesis
        std::string constraintName;
        if (current().isWord("constraint")) {
            advance();
            constraintName = name();
            s->constraints.push_back(tableConstraint(constraintName));
            continue;
        }
        if (current().isWord("primary") || current().isWord("unique") || current().isWord("check") ||
            current().isWord("foreign")) {
            s->constraints.push_back(tableConstraint({}));
            continue;
        }
        if (current().isWord("index"))
            unsupported("INDEX in CREATE TABLE");
        s->columns.push_back(columnDef(s->constraints, false));
    } while (acceptSymbol(","));
    expectSymbol(")");
    skipStorageOptions();
    return s;
}

StatementPtr Parser::createIndex(bool unique, bool clustered)
{
    auto s = std::make_unique<CreateIndex>();
    s->unique = unique;
    s->clustered = clustered;
    expectWord("index");
    s->name = name();
    expectWord("on");
    s->table = objectName();
    s->columns = indexColumns();
    if (acceptWord("include")) {
        for (auto &[col, desc] : indexColumns())
            s->include.push_back(col);
    }
    if (acceptWord("where"))
        s->where = expr();
    skipStorageOptions();
    return s;
}

StatementPtr Parser::createView(bool alter, bool orAlter)
{
    auto s = std::make_unique<CreateView>();
    s->alter = alter;
    s->orAlter = orAlter;
    s->view = objectName();
    if (acceptSymbol("(")) {
        do
            s->columns.push_back(name());
        while (acceptSymbol(","));
        expectSymbol(")");
    }
    if (current().isWord("with") && !peek().isSymbol("(")) {
        advance();
        do
            name(); // SCHEMABINDING, VIEW_METADATA, ENCRYPTION: nothing here depends on them
        while (acceptSymbol(","));
    }
    expectWord("as");
    const std::size_t start = current().offset;
    s->query = query(false);
    if (acceptWords({"with", "check"}))
        expectWord("option");
    s->text = std::string(m_text.substr(start, m_t[m_pos - 1].endOffset - start));
    return s;
}

StatementPtr Parser::create()
{
    expectWord("create");
    if (acceptWord("table"))
        return createTable();
    if (acceptWord("view"))
        return createView(false, false);
    if (acceptWords({"or", "alter"})) {
        expectWord("view");
        return createView(false, true);
    }
    if (acceptWord("database")) {
        auto s = std::make_unique<CreateDatabase>();
        s->name = name();
        return s;
    }
    if (acceptWord("login"))
        return login("CREATE LOGIN");
    if (acceptWord("user"))
        return login("CREATE USER");
    if (acceptWord("role"))
        return login("CREATE ROLE");
    const bool unique = acceptWord("unique");
    bool clustered = false;
    if (acceptWord("clustered"))
        clustered = true;
    else
        acceptWord("nonclustered");
    if (current().isWord("index"))
        return createIndex(unique, clustered);
    for (std::string_view kw : {"procedure", "proc", "function", "trigger", "schema", "synonym", "type",
                                "sequence", "statistics"})
        if (current().isWord(kw))
            unsupported("CREATE " + upper(kw));
    fail();
}

StatementPtr Parser::alter()
{
    expectWord("alter");
    if (acceptWord("view"))
        return createView(true, false);
    if (acceptWord("login"))
        return login("ALTER LOGIN");
    if (acceptWord("role"))
        return login("ALTER ROLE");
    if (acceptWord("database"))
        unsupported("ALTER DATABASE");
    expectWord("table");
    auto s = std::make_unique<AlterTable>();
    s->table = objectName();
    if (acceptWord("with")) {
        if (acceptWord("nocheck"))
            s->check = false;
        else
            expectWord("check");
    }
    if (acceptWord("add")) {
        std::vector<Constraint> constraints;
        bool anyColumn = false;
        do {
            if (current().isWord("constraint")) {
                advance();
                constraints.push_back(tableConstraint(name()));
            } else if (current().isWord("primary") || current().isWord("unique") || current().isWord("check") ||
                       current().isWord("foreign")) {
                constraints.push_back(tableConstraint({}));
            } else {
                s->columns.push_back(columnDef(constraints, false));
                anyColumn = true;
            }
        } while (acceptSymbol(","));
        s->action = anyColumn ? AlterTable::Action::AddColumns : AlterTable::Action::AddConstraints;
        s->constraints = std::move(constraints);
        return s;
    }
    if (acceptWord("alter")) {
        expectWord("column");
        s->action = AlterTable::Action::AlterColumn;
        std::vector<Constraint> none;
        s->columns.push_back(columnDef(none, true));
        return s;
    }
    if (acceptWord("drop")) {
        if (acceptWord("column")) {
            s->action = AlterTable::Action::DropColumns;
            s->ifExists = acceptWords({"if", "exists"});
            do
                s->names.push_back(name());
            while (acceptSymbol(","));
            return s;
        }
        acceptWord("constraint");
        s->action = AlterTable::Action::DropConstraints;
        s->ifExists = acceptWords({"if", "exists"});
        do {
            acceptWord("constraint");
            s->names.push_back(name());
        } while (acceptSymbol(","));
        return s;
    }
    if (current().isWord("check") || current().isWord("nocheck")) {
        s->check = advance().isWord("check");
        expectWord("constraint");
        s->action = AlterTable::Action::CheckConstraints;
        if (acceptWord("all"))
            s->names.push_back("ALL");
        else
            do
                s->names.push_back(name());
            while (acceptSymbol(","));
        return s;
    }
    fail();
}

StatementPtr Parser::drop()
{
    expectWord("drop");
    if (acceptWord("table")) {
        auto s = std::make_unique<DropTable>();
        s->ifExists = acceptWords({"if", "exists"});
        do
            s->tables.push_back(objectName());
        while (acceptSymbol(","));
        return s;
    }
    if (acceptWord("view")) {
        auto s = std::make_unique<DropView>();
        s->ifExists = acceptWords({"if", "exists"});
        do
            s->views.push_back(objectName());
        while (acceptSymbol(","));
        return s;
    }
    if (acceptWord("index")) {
        auto s = std::make_unique<DropIndex>();
        s->ifExists = acceptWords({"if", "exists"});
        do {
            ObjectName first = objectName();
            if (acceptWord("on")) {
                s->indexes.emplace_back(first.name, objectName());
            } else {
                // DROP INDEX table.index
                if (first.schema.empty())
                    fail();
                ObjectName table;
                table.name = first.schema;
                table.database = first.database;
                table.written = first.schema;
                s->indexes.emplace_back(first.name, table);
            }
        } while (acceptSymbol(","));
        return s;
    }
    if (acceptWord("database")) {
        auto s = std::make_unique<CreateDatabase>();
        s->drop = true;
        s->name = name();
        return s;
    }
    if (acceptWord("login"))
        return login("DROP LOGIN");
    if (acceptWord("user"))
        return login("DROP USER");
    if (acceptWord("role"))
        return login("DROP ROLE");
    for (std::string_view kw : {"procedure", "proc", "function", "trigger", "schema", "synonym", "type", "sequence"})
        if (current().isWord(kw))
            unsupported("DROP " + upper(kw));
    fail();
}

StatementPtr Parser::login(std::string verb)
{
    auto s = std::make_unique<Login>();
    s->verb = std::move(verb);
    s->name = name();
    if (s->verb == "CREATE LOGIN" || s->verb == "ALTER LOGIN") {
        if (s->verb == "ALTER LOGIN" && (current().isWord("enable") || current().isWord("disable"))) {
            s->action = upper(advance().text);
            return s;
        }
        expectWord("with");
        do {
            if (acceptWord("password")) {
                expectSymbol("=");
                if (current().kind != Token::Kind::String)
                    fail();
                s->password = primary();
                while (current().isWord("must_change") || current().isWord("hashed"))
                    advance();
            } else if (acceptWord("default_database")) {
                expectSymbol("=");
                s->defaultDatabase = name();
            } else if (current().isWord("default_language") || current().isWord("check_policy") ||
                       current().isWord("check_expiration") || current().isWord("name")) {
                advance();
                expectSymbol("=");
                advance();
            } else {
                fail();
            }
        } while (acceptSymbol(","));
        return s;
    }
    if (s->verb == "CREATE USER") {
        if (acceptWord("for") || acceptWord("from")) {
            expectWord("login");
            s->other = name();
        } else if (acceptWords({"without", "login"})) {
        }
        if (acceptWord("with")) {
            expectWord("default_schema");
            expectSymbol("=");
            name();
        }
        return s;
    }
    if (s->verb == "ALTER ROLE") {
        if (acceptWord("add"))
            s->action = "ADD MEMBER";
        else if (acceptWord("drop"))
            s->action = "DROP MEMBER";
        else
            fail();
        expectWord("member");
        s->other = name();
        return s;
    }
    return s;
}

} // namespace tsql
