// The statements of a batch other than the schema's: queries, data changes, variables, SET
// options, PRINT, RAISERROR and THROW, transactions, USE, EXECUTE, WAITFOR.

#include "tsql/Batch.h"

#include "tsql/Convert.h"
#include "tsql/Ddl.h"
#include "tsql/Errors.h"
#include "tsql/Numeric.h"
#include "tsql/Procedures.h"
#include "tsql/Security.h"
#include "tsql/Storage.h"
#include "tsql/Text.h"

#include <chrono>
#include <thread>

namespace tsql {

using namespace ast;

namespace {

struct Finalize {
    void operator()(sqlite3_stmt *s) const { sqlite3_finalize(s); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, Finalize>;

// SQLite names the columns of a refused key; SQL Server names the key and the value it held.
std::vector<std::string> refusedColumns(const std::string &message)
{
    std::vector<std::string> keys;
    const auto colon = message.find(": ");
    if (colon == std::string::npos)
        return keys;
    const std::string rest = message.substr(colon + 2);
    std::size_t pos = 0;
    while (pos < rest.size()) {
        std::size_t comma = rest.find(", ", pos);
        if (comma == std::string::npos)
            comma = rest.size();
        const std::string item = rest.substr(pos, comma - pos);
        const auto dot = item.find('.');
        keys.push_back(dot == std::string::npos ? item : item.substr(dot + 1));
        pos = comma + 2;
    }
    return keys;
}

} // namespace

void BatchRunner::run(const Statement &s)
{
    m_e.startStatement();
    // The program's one statement is traced exactly as it came, and so is a batch of one
    // statement (the program through talvor-server); a longer batch's statements as written.
    const bool whole = m_single || (m_batch.statements.size() == 1 && m_batch.statements.front().get() == &s);
    const std::string_view text = whole ? std::string_view(m_text)
                                           : std::string_view(m_text).substr(s.offset, s.endOffset - s.offset);
    const std::string database = m_e.currentDatabase(); // the trace names where the statement started
    const std::size_t queued = m_queue.size();
    // What a schema change, a procedure or a rolled-back table can alter: the queries compiled
    // so far may no longer mean what they did.
    struct Reshape {
        Engine &e;
        bool on;
        ~Reshape()
        {
            if (on)
                e.forgetStatements();
        }
    } reshape{m_e, reshapesQueries(s)};
    try {
        security::checkStatement(*this, s);
        switch (s.kind) {
        case Statement::Kind::Select: select(s.as<SelectStatement>()); break;
        case Statement::Kind::Insert:
        case Statement::Kind::Update:
        case Statement::Kind::Delete: write(s); break;
        case Statement::Kind::SetOption: setOption(s.as<SetOption>()); break;
        case Statement::Kind::Declare: declare(s.as<Declare>()); break;
        case Statement::Kind::SetVariable: setVariable(s.as<SetVariable>()); break;
        case Statement::Kind::Print: print(s.as<Print>()); break;
        case Statement::Kind::Raiserror: raiserror(s.as<Raiserror>()); break;
        case Statement::Kind::Throw: throwStatement(s.as<Throw>()); break;
        case Statement::Kind::BeginTran:
        case Statement::Kind::CommitTran:
        case Statement::Kind::RollbackTran:
        case Statement::Kind::SaveTran: transaction(s.as<Transaction>()); break;
        case Statement::Kind::Use: use(s.as<Use>()); break;
        case Statement::Kind::Execute: execute(s.as<Execute>()); break;
        case Statement::Kind::WaitFor: waitfor(s.as<WaitFor>()); break;
        case Statement::Kind::Dbcc: dbcc(*this, s.as<Dbcc>()); break;
        case Statement::Kind::Login: security::run(*this, s.as<Login>()); break;
        case Statement::Kind::Merge: throw err::make(40517, "MERGE").atLine(s.line);
        case Statement::Kind::Empty: break;
        default: ddl::run(*this, s); break;
        }
    } catch (const Error &e) {
        m_e.trace(database, text, false, e.what(), 0);
        throw;
    }
    std::int64_t rows = -1;
    for (std::size_t k = queued; k < m_queue.size(); ++k)
        if (m_queue[k].kind == Item::Done)
            rows = m_queue[k].count;
    m_e.trace(database, text, true, {}, rows);
}

void BatchRunner::select(const SelectStatement &s)
{
    if (s.query->first().into && s.query->body->kind == QueryBody::Kind::Block) {
        ddl::selectInto(*this, s);
        return;
    }
    StatementCache *cache = m_e.statementCache();
    int literalBase = 0;
    const std::string shape = cache ? queryShape(s, literalBase) : std::string();
    if (!shape.empty()) {
        CachedQueryPtr hit = cache->find(shape, m_e.catalog().generation());
        if (hit && !hit->inUse) {
            if (sqlite3_stmt_status(hit->stmt, SQLITE_STMTSTATUS_REPREPARE, 0) == hit->reprepares) {
                queueCached(hit, literalBase);
                return;
            }
            // Another connection changed a schema under it: what this session read is stale.
            m_e.catalog().invalidate();
        }
    }
    CompileState state = m_e.compileState();
    Compiler c(m_e.catalog(), m_e.currentDatabase(), variableLookup(), {}, &state);
    const QueryPlan plan = c.query(*s.query);
    StmtPtr stmt(sqlite::prepareCompiled(m_e.connection(), plan.sql));
    if (plan.assignTo.empty()) {
        QueryPlan kept = plan;
        for (Param &p : kept.params)
            if (p.kind == Param::Kind::Literal)
                p.literal -= literalBase;
        auto entry = std::make_shared<CachedQuery>(std::move(kept), stmt.release());
        entry->walk = orderedWalk(m_e.connection(), entry->plan.sql);
        if (!shape.empty() && state.liveVariables.empty())
            cache->insert(shape, entry, m_e.catalog().generation());
        queueCached(entry, literalBase);
        return;
    }
    bind(stmt.get(), plan.params);
    // SELECT @v = ...: every row assigns, the last one stays, and each row reads the value the
    // row before it left (SELECT @total = @total + n).
    m_e.setLiveVariables([this](const std::string &name) {
        const LocalVariable *v = variable(lower(name));
        if (!v)
            throw err::make(137, name);
        return v->value;
    });
    struct Forget {
        Engine &e;
        ~Forget() { e.setLiveVariables({}); }
    } forget{m_e};
    std::int64_t rows = 0;
    for (;;) {
        const int rc = sqlite3_step(stmt.get());
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throw m_e.connection().error(sqlite3_extended_errcode(m_e.connection().handle()));
        ++rows;
        for (std::size_t i = 0; i < plan.assignTo.size(); ++i)
            assign(plan.assignTo[i], plan.assignOps[i], storage::column(stmt.get(), static_cast<int>(i), plan.columns[i].type));
        if (m_e.state().rowcountLimit > 0 && rows >= m_e.state().rowcountLimit)
            break;
    }
    m_e.state().rowcount = rows;
    queueDone(rows);
}

void BatchRunner::queueCached(const CachedQueryPtr &q, int literalBase)
{
    sqlite3_stmt *stmt = q->walk && prefersWalk(*q, literalBase) ? q->walk->walk : q->stmt;
    try {
        bind(stmt, q->plan.params, literalBase);
    } catch (...) {
        sqlite3_clear_bindings(stmt);
        throw;
    }
    q->inUse = true;
    auto cursor = std::make_unique<Cursor>(&m_e, stmt, q->plan.columns, false);
    cursor->borrow(q);
    if (m_e.state().rowcountLimit > 0)
        cursor->limit(m_e.state().rowcountLimit);
    queueRows(std::move(cursor));
}

bool BatchRunner::prefersWalk(const CachedQuery &q, int literalBase)
{
    const OrderedWalk &w = *q.walk;
    std::int64_t top = 100;
    try {
        const Value pattern = paramValue(q.plan.params.at(static_cast<std::size_t>(w.patternParam)), literalBase);
        const Value topValue = paramValue(q.plan.params.at(static_cast<std::size_t>(w.topParam)), literalBase);
        if (!topValue.isNull())
            top = conv::convert(topValue, SqlType{Base::BigInt}).asInteger();
        storage::bind(w.probe, 1, pattern);
    } catch (const Error &) {
        return false; // the query itself reports what is wrong with its values
    }
    const std::int64_t threshold = walkThreshold(w, top);
    sqlite3_bind_int64(w.probe, 2, threshold);
    const bool many = sqlite3_step(w.probe) == SQLITE_ROW && sqlite3_column_int64(w.probe, 0) >= threshold;
    sqlite3_reset(w.probe);
    sqlite3_clear_bindings(w.probe);
    return many;
}

void BatchRunner::write(const Statement &s)
{
    m_e.settleCursors();
    CompileState state = m_e.compileState();
    Compiler c(m_e.catalog(), m_e.currentDatabase(), variableLookup(), {}, &state);
    const SessionState &st = m_e.state();
    Compiler::WritePlan plan;
    switch (s.kind) {
    case Statement::Kind::Insert: {
        const auto &ins = s.as<Insert>();
        bool identityOn = false;
        if (st.identityInsert) {
            TablePtr t = c.targetTable(ins.target.name, 208);
            identityOn = iequals(st.identityInsert->first, t->database) && iequals(st.identityInsert->second, t->name);
        }
        plan = c.insert(ins, identityOn, 0);
        break;
    }
    case Statement::Kind::Update: plan = c.update(s.as<Update>()); break;
    default: plan = c.remove(s.as<Delete>()); break;
    }
    const Table &t = *plan.table;
    m_e.refuseReadOnly(t.database);
    const bool numbered = plan.identity && !plan.explicitIdentity && s.kind == Statement::Kind::Insert;
    if (numbered)
        m_identityBase = m_e.identityNext(t);
    const sqlite::FailureContext ctx{t.fullName(), plan.operation};
    std::int64_t changes = 0;
    Engine::StatementScope scope(m_e);
    try {
        for (const std::string &sql : plan.sql) {
            StmtPtr stmt(sqlite::prepareCompiled(m_e.connection(), sql));
            bind(stmt.get(), plan.params);
            for (;;) {
                const int rc = sqlite3_step(stmt.get());
                if (rc == SQLITE_DONE)
                    break;
                if (rc == SQLITE_ROW) {
                    // UPDATE ... SET @v = ...: the variables take the values of the last row.
                    for (std::size_t i = 0; i < plan.returnVariables.size(); ++i)
                        assign(plan.returnVariables[i], plan.returnOps[i],
                               storage::column(stmt.get(), static_cast<int>(i), plan.returnTypes[i]));
                    continue;
                }
                const int code = sqlite3_extended_errcode(m_e.connection().handle());
                const std::string message = sqlite3_errmsg(m_e.connection().handle());
                Error e = m_e.connection().error(code, ctx);
                if ((code == SQLITE_CONSTRAINT_PRIMARYKEY || code == SQLITE_CONSTRAINT_UNIQUE) && e.number() == 2627)
                    e = ddl::duplicateKey(*this, t, refusedColumns(message), plan, code == SQLITE_CONSTRAINT_PRIMARYKEY);
                throw e;
            }
            changes = sqlite3_changes64(m_e.connection().handle());
        }
    } catch (const Error &) {
        // The numbers the rows would have taken are gone, as in SQL Server.
        if (numbered)
            m_e.identityTaken(t, *m_identityBase + t.identity->step * (std::max<std::int64_t>(plan.identityRows, 1) - 1));
        m_identityBase.reset();
        throw;
    }
    if (plan.identity && s.kind == Statement::Kind::Insert && changes > 0) {
        std::int64_t last = 0;
        if (numbered) {
            last = *m_identityBase + t.identity->step * (changes - 1);
        } else {
            // An explicit value beyond the current one moves the numbering on.
            sqlite::Stmt m(m_e.connection(), "SELECT " + std::string(t.identity->step > 0 ? "max(" : "min(") +
                                                 sqlite::quoteName(t.identity->column) + ") FROM " + t.sqlName());
            m.step();
            last = m.integer(0);
            if (t.identity->last && (t.identity->step > 0 ? *t.identity->last > last : *t.identity->last < last))
                last = *t.identity->last;
        }
        m_e.catalog().setIdentityLast(t.database, t.name, last);
        m_e.identityTaken(t, last);
        m_e.state().identity = last;
        m_e.state().scopeIdentity = last;
    }
    m_identityBase.reset();
    scope.commit();
    m_e.state().rowcount = changes;
    queueDone(changes);
}

void BatchRunner::assign(const std::string &name, const std::string &op, const Value &v)
{
    LocalVariable *var = variable(name);
    if (!var || var->isTable)
        throw err::make(137, name);
    Value value = v;
    if (op != "=") {
        const std::string o = op.substr(0, 1);
        if (o == "+" && var->type.isText()) {
            value = var->value.isNull() || v.isNull() ? Value::null(var->type)
                                                      : Value::text(var->value.asText() + conv::toText(v), var->type);
        } else if (o == "&" || o == "|" || o == "^") {
            if (var->value.isNull() || v.isNull()) {
                value = Value::null(var->type);
            } else {
                const std::int64_t a = conv::convert(var->value, SqlType{Base::BigInt}).asInteger();
                const std::int64_t b = conv::convert(v, SqlType{Base::BigInt}).asInteger();
                value = Value::integer(o == "&" ? (a & b) : o == "|" ? (a | b) : (a ^ b));
            }
        } else {
            const num::Op nop = o == "+" ? num::Op::Add : o == "-" ? num::Op::Subtract : o == "*" ? num::Op::Multiply
                                : o == "/" ? num::Op::Divide : num::Op::Modulo;
            value = num::arithmetic(nop, var->value, v.type() == Value::Type::Text ? conv::convert(v, var->type) : v);
        }
    }
    if (!value.isNull() && !(value.sqlType() == var->type))
        conv::check(value.sqlType(), var->type, false);
    var->value = value.isNull() ? Value::null(var->type) : conv::convert(value, var->type, dt::DefaultStyle, m_e.dateSettings());
}

void BatchRunner::declare(const Declare &s)
{
    for (const VariableDef &d : s.variables) {
        const std::string key = lower(d.name);
        if (m_vars.count(key))
            throw err::make(134, d.name).atLine(s.line);
        LocalVariable v;
        if (d.isTable) {
            v.isTable = true;
            v.table = m_e.tableVariableName(d.name, m_number);
            ddl::createTableVariable(*this, d, v.table);
            m_vars[key] = std::move(v);
            continue;
        }
        v.type = d.type;
        if ((v.type.isText() || v.type.isBinary()) && v.type.length == 0)
            v.type.length = 1;
        v.value = Value::null(v.type);
        m_vars[key] = v;
        if (d.initial)
            assign(d.name, "=", evaluate(*d.initial));
    }
}

void BatchRunner::setVariable(const SetVariable &s)
{
    if (!variable(s.variable))
        throw err::make(137, s.variable).atLine(s.line);
    const Value v = evaluate(*s.value);
    assign(s.variable, s.op, v);
    m_e.state().rowcount = 1;
}

void BatchRunner::print(const Print &s)
{
    const Value v = evaluate(*s.value);
    if (!v.isNull() && !v.sqlType().isText())
        conv::check(v.sqlType(), SqlType::nvarchar(4000), false);
    Message m;
    m.severity = 0;
    m.line = s.line;
    m.text = v.isNull() ? std::string() : conv::toText(v);
    if (text::length(m.text) > 8000)
        m.text = text::left(m.text, 8000);
    queueMessage(std::move(m));
    m_e.state().rowcount = 0;
}

void BatchRunner::setOption(const SetOption &s)
{
    SessionState &st = m_e.state();
    const bool on = s.value == "ON";
    for (const std::string &o : s.options) {
        if (o == "NOCOUNT") {
            st.nocount = on;
        } else if (o == "XACT_ABORT") {
            st.xactAbort = on;
        } else if (o == "ANSI_WARNINGS") {
            st.ansiWarnings = on;
        } else if (o == "IMPLICIT_TRANSACTIONS") {
            st.implicitTransactions = on;
        } else if (o == "IDENTITY_INSERT") {
            Compiler c = compiler();
            TablePtr t = c.targetTable(s.table, 208);
            if (!t->identity)
                throw err::make(8106, t->name).atLine(s.line);
            const auto &cur = st.identityInsert;
            const bool same = cur && iequals(cur->first, t->database) && iequals(cur->second, t->name);
            if (!on) {
                if (same)
                    st.identityInsert.reset();
            } else {
                if (cur && !same)
                    throw err::make(8107, cur->first + ".dbo." + cur->second, t->name).atLine(s.line);
                st.identityInsert = std::make_pair(t->database, t->name);
            }
        } else if (o == "DATEFORMAT") {
            std::string f = s.value;
            if (s.expr)
                f = conv::toText(evaluate(*s.expr));
            if (!dt::isDateFormat(f))
                throw err::make(2741).atLine(s.line);
            st.dates.dateFormat = lower(f);
        } else if (o == "DATEFIRST") {
            const std::int64_t n = s.expr ? conv::convert(evaluate(*s.expr), SqlType{Base::Int}).asInteger()
                                          : std::atoll(s.value.c_str());
            if (n < 1 || n > 7)
                throw err::make(2742).atLine(s.line);
            st.dates.dateFirst = static_cast<int>(n);
        } else if (o == "LANGUAGE") {
            std::string l = s.value;
            if (s.expr)
                l = conv::toText(evaluate(*s.expr));
            if (!iequals(l, "us_english") && !iequals(l, "english"))
                throw err::make(2732, l).atLine(s.line);
        } else if (o == "ROWCOUNT") {
            const std::int64_t n = s.expr ? conv::convert(evaluate(*s.expr), SqlType{Base::BigInt}).asInteger()
                                          : std::atoll(s.value.c_str());
            st.rowcountLimit = n < 0 ? 0 : n;
        } else if (o == "TEXTSIZE") {
            const std::int64_t n = s.expr ? conv::convert(evaluate(*s.expr), SqlType{Base::BigInt}).asInteger() : 0;
            st.textSize = n <= 0 ? 2147483647 : n;
        } else if (o == "ANSI_NULLS" || o == "QUOTED_IDENTIFIER" || o == "ARITHABORT" || o == "ANSI_PADDING" ||
                   o == "ANSI_NULL_DFLT_ON" || o == "ANSI_NULL_DFLT_OFF" || o == "CONCAT_NULL_YIELDS_NULL" ||
                   o == "NUMERIC_ROUNDABORT" || o == "CURSOR_CLOSE_ON_COMMIT" || o == "ANSI_DEFAULTS" ||
                   o == "ARITHIGNORE" || o == "NOEXEC" || o == "PARSEONLY" || o == "FMTONLY" ||
                   o == "STATISTICS" || o == "TRANSACTION ISOLATION LEVEL" || o == "LOCK_TIMEOUT" ||
                   o == "DEADLOCK_PRIORITY" || o == "NO_BROWSETABLE" || o == "FORCEPLAN" || o == "CONTEXT_INFO" ||
                   o == "SHOWPLAN_ALL" || o == "SHOWPLAN_TEXT" || o == "SHOWPLAN_XML" || o == "XACT_ABORT" ||
                   o == "IO" || o == "TIME" || o == "PROFILE" || o == "XML") {
            // Accepted as SQL Server accepts them; they change nothing the engine answers.
        } else {
            throw err::makeWithState(195, 5, {o}).atLine(s.line);
        }
    }
}

void BatchRunner::transaction(const Transaction &s)
{
    std::string name = s.name;
    if (s.nameVariable)
        name = conv::toText(evaluate(*s.nameVariable));
    switch (s.kind) {
    case Statement::Kind::BeginTran: m_e.beginTransaction(); break;
    case Statement::Kind::CommitTran: m_e.commitTransaction(); break;
    case Statement::Kind::SaveTran: m_e.saveTransaction(name); break;
    default: m_e.rollbackTransaction(name); break;
    }
}

void BatchRunner::use(const Use &s)
{
    auto d = m_e.catalog().findDatabase(s.database);
    if (!d || *d == "temp")
        throw err::make(911, s.database).atLine(s.line);
    m_e.setCurrent(*d);
    Message m;
    m.number = 5701;
    m.severity = 0;
    m.state = 1;
    m.line = s.line;
    m.text = "Changed database context to '" + *d + "'.";
    queueMessage(std::move(m));
}

std::string BatchRunner::formatMessage(const std::string &format, const std::vector<Value> &args)
{
    // RAISERROR's printf: %d %i %u %s %x %X %o with flags, width and precision; %% is '%'.
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        std::string flags;
        while (j < format.size() && std::string("-+ #0").find(format[j]) != std::string::npos)
            flags += format[j++];
        std::string width;
        while (j < format.size() && (std::isdigit(static_cast<unsigned char>(format[j])) || format[j] == '*'))
            width += format[j++];
        std::string precision;
        if (j < format.size() && format[j] == '.') {
            ++j;
            while (j < format.size() && (std::isdigit(static_cast<unsigned char>(format[j])) || format[j] == '*'))
                precision += format[j++];
        }
        if (j < format.size() && (format[j] == 'h' || format[j] == 'l' || format[j] == 'I'))
            ++j;
        if (j >= format.size()) {
            out += format.substr(i);
            break;
        }
        const char type = format[j];
        std::string conversion = "%" + flags + width + (precision.empty() ? "" : "." + precision);
        std::string piece;
        if (next >= args.size()) {
            piece = "(null)";
        } else {
            const Value &a = args[next++];
            char buf[512];
            if (type == 's') {
                const std::string s = a.isNull() ? "(null)" : conv::toText(a);
                std::snprintf(buf, sizeof buf, (conversion + "s").c_str(), s.c_str());
                piece = buf;
            } else if (std::string("diuxXo").find(type) != std::string::npos) {
                const long long n = a.isNull() ? 0 : conv::convert(a, SqlType{Base::BigInt}).asInteger();
                std::snprintf(buf, sizeof buf, (conversion + "ll" + type).c_str(), n);
                piece = a.isNull() ? "(null)" : buf;
            } else {
                piece = format.substr(i, j - i + 1);
            }
        }
        out += piece;
        i = j;
    }
    return out;
}

void BatchRunner::raiserror(const Raiserror &s)
{
    const Value msg = evaluate(*s.message);
    std::int64_t severity = conv::convert(evaluate(*s.severity), SqlType{Base::Int}).asInteger();
    std::int64_t state = conv::convert(evaluate(*s.state), SqlType{Base::Int}).asInteger();
    if (severity > 18 && std::find(s.with.begin(), s.with.end(), "LOG") == s.with.end())
        throw err::make(2754).atLine(s.line);
    severity = std::clamp<std::int64_t>(severity, 0, 25);
    state = std::clamp<std::int64_t>(state, 0, 255);
    std::vector<Value> args;
    for (const auto &a : s.args)
        args.push_back(evaluate(*a));
    int number = 50000;
    std::string text;
    if (msg.sqlType().isNumeric()) {
        number = static_cast<int>(conv::convert(msg, SqlType{Base::Int}).asInteger());
        text = "Error " + std::to_string(number) + ", severity " + std::to_string(severity) + ", state " +
               std::to_string(state) + " was raised, but no message with that error number was found in sys.messages. "
               "If error is larger than 50000, make sure the user-defined message is added using sp_addmessage.";
        number = 18054;
        severity = std::max<std::int64_t>(severity, 16);
    } else {
        text = formatMessage(msg.isNull() ? std::string() : conv::toText(msg), args);
    }
    if (std::find(s.with.begin(), s.with.end(), "SETERROR") != s.with.end() || severity > 10)
        m_e.state().error = number;
    const Error e(number, static_cast<int>(severity), static_cast<int>(state), text, s.line);
    if (severity <= 10) {
        Message m;
        m.number = number;
        m.severity = static_cast<int>(severity);
        m.state = static_cast<int>(state);
        m.line = s.line;
        m.text = text;
        queueMessage(std::move(m));
        return;
    }
    m_raising = true;
    throw e;
}

void BatchRunner::throwStatement(const Throw &s)
{
    if (!s.number) {
        if (m_caught.empty())
            throw err::make(10704).atLine(s.line);
        m_throwing = true;
        throw m_caught.back();
    }
    const std::int64_t number = conv::convert(evaluate(*s.number), SqlType{Base::Int}).asInteger();
    const Value message = evaluate(*s.message);
    const std::int64_t state = conv::convert(evaluate(*s.state), SqlType{Base::TinyInt}).asInteger();
    if (number < 50000)
        throw err::make(35100, std::to_string(number)).atLine(s.line);
    m_throwing = true;
    throw Error(static_cast<int>(number), 16, static_cast<int>(state), message.isNull() ? std::string() : conv::toText(message),
                s.line);
}

void BatchRunner::waitfor(const WaitFor &s)
{
    const Value v = evaluate(*s.value);
    const DateTime t = conv::convert(v, SqlType{Base::DateTime}, dt::DefaultStyle, m_e.dateSettings()).asDateTime();
    std::int64_t ms = ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
    if (!s.delay) {
        const DateTime now = dt::now();
        const std::int64_t nowMs = ((now.hour * 60 + now.minute) * 60 + now.second) * 1000 + now.millisecond;
        ms = ms >= nowMs ? ms - nowMs : ms + 86400000 - nowMs;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        m_e.checkCancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void BatchRunner::execute(const Execute &s)
{
    runProcedure(*this, s);
}

} // namespace tsql
