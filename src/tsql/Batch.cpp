#include "tsql/Batch.h"

#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Literals.h"
#include "tsql/Parser.h"
#include "tsql/Storage.h"

namespace tsql {

using namespace ast;

namespace {

// Errors that binding a statement raises before the batch runs; the batch then runs nothing,
// as SQL Server compiles the whole batch first. A missing table is not among them: its name is
// resolved when the statement runs (an earlier statement of the batch may make it).
bool bindingError(int number)
{
    switch (number) {
    case 207: case 209: case 4104: case 8120: case 8118: case 8119: case 8121: case 8127: case 145: case 104:
    case 108: case 205: case 116: case 130: case 144: case 147: case 4145: case 402: case 206: case 529: case 257:
    case 174: case 189: case 195: case 4121: case 137: case 141: case 1033: case 4108: case 4112: case 10753:
    case 1008: case 408: case 8155: case 8156: case 8158: case 8159: case 155: case 1023: case 8133: case 10741: case 1011: case 1013:
        return true;
    default:
        return false;
    }
}

SqlType sessionVariableType(const std::string &name)
{
    static const std::pair<const char *, SqlType> types[] = {
        {"@@rowcount", SqlType{Base::Int}}, {"@@error", SqlType{Base::Int}}, {"@@identity", SqlType::decimal(38, 0)},
        {"@@trancount", SqlType{Base::Int}}, {"@@version", SqlType::nvarchar(300)},
        {"@@servername", SqlType::nvarchar(128)}, {"@@spid", SqlType{Base::SmallInt}},
        {"@@datefirst", SqlType{Base::TinyInt}}, {"@@language", SqlType::nvarchar(128)},
        {"@@max_precision", SqlType{Base::TinyInt}}, {"@@fetch_status", SqlType{Base::Int}},
        {"@@nestlevel", SqlType{Base::Int}}, {"@@options", SqlType{Base::Int}}, {"@@lock_timeout", SqlType{Base::Int}},
        {"@@textsize", SqlType{Base::Int}}, {"@@procid", SqlType{Base::Int}}, {"@@servicename", SqlType::nvarchar(128)},
        {"@@microsoftversion", SqlType{Base::Int}}, {"@@connections", SqlType{Base::Int}},
        {"@@max_connections", SqlType{Base::Int}}, {"@@langid", SqlType{Base::SmallInt}},
        {"@@tsql_identity_base", SqlType{Base::BigInt}},
    };
    for (const auto &[n, t] : types)
        if (name == n)
            return t;
    return {};
}

// A result set of a batch: an error while its rows are read ends the rows, and the batch
// reports it in its stream, as SQL Server sends an error after the rows it got to.
class GuardedRows final : public Result {
public:
    explicit GuardedRows(std::unique_ptr<Result> inner) : m_inner(std::move(inner)) {}
    bool hasRows() const override { return true; }
    const std::vector<ColumnInfo> &columns() const override { return m_inner->columns(); }
    bool next() override
    {
        if (m_error)
            return false;
        try {
            if (m_inner->next()) {
                ++m_rows;
                return true;
            }
        } catch (const Error &e) {
            m_error = e;
        } catch (const std::bad_alloc &) {
            m_error = err::outOfMemory();
        }
        return false;
    }
    const Value &value(std::size_t column) const override { return m_inner->value(column); }
    std::int64_t rowsAffected() const override { return -1; }
    std::int64_t rows() const { return m_rows; }
    const std::optional<Error> &error() const { return m_error; }

private:
    std::unique_ptr<Result> m_inner;
    std::optional<Error> m_error;
    std::int64_t m_rows = 0;
};

} // namespace

BatchRunner::BatchRunner(Engine &engine, std::string text, std::vector<Parameter> parameters, bool single)
    : m_e(engine), m_text(std::move(text)), m_single(single)
{
    m_number = m_e.newBatchNumber();
    try {
        prepare(std::move(parameters));
    } catch (const Error &e) {
        fail(e, e.line() ? e.line() : 1);
        m_ended = true;
    }
}

BatchRunner::~BatchRunner()
{
    // Table variables live as long as their batch.
    for (auto &[name, v] : m_vars) {
        if (!v.isTable)
            continue;
        try {
            m_e.settleCursors();
            sqlite::exec(m_e.connection(), "DROP TABLE IF EXISTS temp." + sqlite::quoteName(v.table));
            m_e.catalog().invalidate();
        } catch (const Error &) {
        }
    }
}

void BatchRunner::prepare(std::vector<Parameter> parameters)
{
    m_tokens = tokenize(m_text);
    for (std::size_t i = 0; i < m_tokens.size(); ++i)
        if (m_tokens[i].isLiteral())
            m_literalTokens.push_back(static_cast<int>(i));
    Parser p(m_text, m_tokens);
    m_batch = p.batch();
    if (m_single && m_batch.statements.size() > 1) {
        // One statement per call: nothing runs when a second one follows.
        const Statement &extra = *m_batch.statements[1];
        const Token *t = nullptr;
        for (const Token &tok : m_tokens)
            if (tok.offset == extra.offset)
                t = &tok;
        std::string near = t ? std::string(t->source(m_text)) : std::string();
        if (t && t->kind == Token::Kind::Word && isReserved(t->text) && !startsWithStatementWord(*t))
            throw err::make(156, near).atLine(extra.line);
        throw err::make(102, near).atLine(extra.line);
    }
    m_program = layOut(m_batch);
    for (Parameter &param : parameters) {
        LocalVariable v;
        v.type = param.type;
        v.value = param.value.isNull() ? Value::null(param.type) : conv::convert(param.value, param.type);
        m_vars[lower(param.name)] = std::move(v);
        if (param.output) {
            m_outputNames.push_back(param.name);
            m_outputs.push_back(param);
        }
    }
    if (!m_single)
        precompile();
}

bool BatchRunner::startsWithStatementWord(const Token &t)
{
    for (const char *w : {"select", "insert", "update", "delete", "truncate", "create", "drop", "alter", "set", "use",
                          "begin", "commit", "rollback"})
        if (t.isWord(w))
            return true;
    return false;
}

void BatchRunner::precompile()
{
    // Variables are known to the statements after their DECLARE, in the order of the text.
    std::map<std::string, VariableInfo> declared;
    for (const auto &[name, v] : m_vars)
        declared[name] = VariableInfo{v.type, v.isTable, v.table};
    VariableLookup lookup = [&](const std::string &name) -> std::optional<VariableInfo> {
        const std::string key = lower(name);
        if (key.rfind("@@", 0) == 0)
            return VariableInfo{sessionVariableType(key), false, {}};
        const auto it = declared.find(key);
        if (it == declared.end())
            return std::nullopt;
        return it->second;
    };
    std::function<void(const Statement &)> visit = [&](const Statement &s) {
        switch (s.kind) {
        case Statement::Kind::Declare:
            for (const VariableDef &d : s.as<Declare>().variables)
                declared[lower(d.name)] = VariableInfo{d.type, d.isTable, {}};
            return;
        case Statement::Kind::Block:
            for (const auto &c : s.as<Block>().statements)
                visit(*c);
            return;
        case Statement::Kind::If:
            visit(*s.as<If>().then);
            if (s.as<If>().otherwise)
                visit(*s.as<If>().otherwise);
            return;
        case Statement::Kind::While:
            visit(*s.as<While>().body);
            return;
        case Statement::Kind::TryCatch:
            for (const auto &c : s.as<TryCatch>().tryBlock)
                visit(*c);
            for (const auto &c : s.as<TryCatch>().catchBlock)
                visit(*c);
            return;
        case Statement::Kind::Select:
        case Statement::Kind::Insert:
        case Statement::Kind::Update:
        case Statement::Kind::Delete:
            break;
        default:
            return;
        }
        try {
            CompileState state = m_e.compileState();
            Compiler c(m_e.catalog(), m_e.currentDatabase(), lookup, {}, &state);
            switch (s.kind) {
            case Statement::Kind::Select: c.query(*s.as<SelectStatement>().query); break;
            case Statement::Kind::Insert: c.insert(s.as<Insert>(), true, 1); break;
            case Statement::Kind::Update: c.update(s.as<Update>()); break;
            case Statement::Kind::Delete: c.remove(s.as<Delete>()); break;
            default: break;
            }
        } catch (const Error &e) {
            if (bindingError(e.number()))
                throw e.line() ? e : e.atLine(s.line);
        }
    };
    for (const auto &s : m_batch.statements)
        visit(*s);
}

Value BatchRunner::sessionVariable(const std::string &name) const
{
    const SessionState &st = m_e.state();
    const SqlType t = sessionVariableType(name);
    if (name == "@@rowcount") return Value::integer(st.rowcount, t);
    if (name == "@@error") return Value::integer(st.error, t);
    if (name == "@@identity")
        return st.identity ? conv::convert(Value::integer(*st.identity), t) : Value::null(t);
    if (name == "@@trancount") return Value::integer(m_e.transactionDepth(), t);
    if (name == "@@version")
        return Value::text("Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) \n\tTALVOR embedded T-SQL engine on SQLite " +
                               std::string(sqlite3_libversion()) + " \n\tExpress Edition (64-bit) on Linux\n",
                           t);
    if (name == "@@servername") return Value::text("TALVOR", t);
    if (name == "@@spid") return Value::integer(m_e.options().spid, t);
    if (name == "@@datefirst") return Value::integer(st.dates.dateFirst, t);
    if (name == "@@language") return Value::text("us_english", t);
    if (name == "@@max_precision") return Value::integer(38, t);
    if (name == "@@fetch_status") return Value::integer(-1, t);
    if (name == "@@nestlevel") return Value::integer(0, t);
    if (name == "@@options") return Value::integer(5496, t);
    if (name == "@@lock_timeout") return Value::integer(-1, t);
    if (name == "@@textsize") return Value::integer(st.textSize, t);
    if (name == "@@procid") return Value::integer(0, t);
    if (name == "@@servicename") return Value::text("MSSQLSERVER", t);
    if (name == "@@microsoftversion") return Value::integer(0x10000000 | 1000, t);
    if (name == "@@connections" || name == "@@max_connections") return Value::integer(32767, t);
    if (name == "@@langid") return Value::integer(0, t);
    if (name == "@@tsql_identity_base") return m_identityBase ? Value::integer(*m_identityBase, t) : Value::null(t);
    return Value::null(t);
}

LocalVariable *BatchRunner::variable(const std::string &name)
{
    const auto it = m_vars.find(lower(name));
    return it == m_vars.end() ? nullptr : &it->second;
}

VariableLookup BatchRunner::variableLookup()
{
    return [this](const std::string &name) -> std::optional<VariableInfo> {
        const std::string key = lower(name);
        if (key.rfind("@@", 0) == 0) {
            const SqlType t = sessionVariableType(key);
            if (t.isNull())
                return std::nullopt;
            return VariableInfo{t, false, {}};
        }
        const auto it = m_vars.find(key);
        if (it == m_vars.end())
            return std::nullopt;
        return VariableInfo{it->second.type, it->second.isTable, it->second.table};
    };
}

Compiler BatchRunner::compiler(CompileOptions options)
{
    return Compiler(m_e.catalog(), m_e.currentDatabase(), variableLookup(), options);
}

Value BatchRunner::paramValue(const Param &p, int literalBase)
{
    switch (p.kind) {
    case Param::Kind::Literal: {
        const Token &t = m_tokens[static_cast<std::size_t>(m_literalTokens.at(static_cast<std::size_t>(p.literal + literalBase)))];
        return literalValue(literalKind(t.kind), t.text, t.national);
    }
    case Param::Kind::Variable: {
        const std::string key = lower(p.variable);
        if (key.rfind("@@", 0) == 0)
            return sessionVariable(key);
        if (const LocalVariable *v = variable(key))
            return v->value;
        throw err::make(137, p.variable);
    }
    case Param::Kind::Constant:
        break;
    }
    return p.constant;
}

void BatchRunner::bind(sqlite3_stmt *s, const std::vector<Param> &params, int literalBase)
{
    for (std::size_t i = 0; i < params.size(); ++i)
        storage::bind(s, static_cast<int>(i) + 1, paramValue(params[i], literalBase));
}

void BatchRunner::queueRows(std::unique_ptr<Result> rows)
{
    Queued q;
    q.kind = Item::Rows;
    // The program's one statement reads its rows itself and sees their errors as exceptions.
    q.rows = m_single ? std::move(rows) : std::make_unique<GuardedRows>(std::move(rows));
    m_queue.push_back(std::move(q));
}

void BatchRunner::queueDone(std::int64_t count)
{
    Queued q;
    q.kind = Item::Done;
    q.count = m_e.state().nocount ? -1 : count;
    m_queue.push_back(std::move(q));
}

void BatchRunner::queueMessage(Message m)
{
    Queued q;
    q.kind = Item::Message;
    q.message = std::move(m);
    m_queue.push_back(std::move(q));
}

Value BatchRunner::evaluate(const Expr &e)
{
    CompileState state = m_e.compileState();
    Compiler c(m_e.catalog(), m_e.currentDatabase(), variableLookup(), {}, &state);
    const QueryPlan plan = c.scalar(e);
    sqlite3_stmt *raw = sqlite::prepareCompiled(m_e.connection(), plan.sql);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> s(raw, sqlite3_finalize);
    bind(s.get(), plan.params);
    const int rc = sqlite3_step(s.get());
    if (rc != SQLITE_ROW)
        throw m_e.connection().error(sqlite3_extended_errcode(m_e.connection().handle()));
    return storage::column(s.get(), 0, plan.columns[0].type);
}

bool BatchRunner::test(const Expr &condition)
{
    CompileState state = m_e.compileState();
    Compiler c(m_e.catalog(), m_e.currentDatabase(), variableLookup(), {}, &state);
    const Bound b = c.condition(condition);
    const std::string sql = "SELECT CASE WHEN " + b.sql + " THEN 1 ELSE 0 END";
    sqlite3_stmt *raw = sqlite::prepareCompiled(m_e.connection(), sql);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> s(raw, sqlite3_finalize);
    bind(s.get(), c.params());
    const int rc = sqlite3_step(s.get());
    if (rc != SQLITE_ROW)
        throw m_e.connection().error(sqlite3_extended_errcode(m_e.connection().handle()));
    return sqlite3_column_int(s.get(), 0) != 0;
}

namespace {

// A procedure queues all its result sets at once; each one's count belongs right after it,
// ahead of the sets that follow, as SQL Server sends a DONEINPROC after each.
template <typename Queue>
void moveLastToFront(Queue &q)
{
    auto last = std::move(q.back());
    q.pop_back();
    q.push_front(std::move(last));
}

} // namespace

void BatchRunner::finishRows()
{
    if (m_item.kind != Item::Rows || !m_item.rows)
        return;
    std::unique_ptr<Result> rows = std::move(m_item.rows);
    std::int64_t count = 0;
    if (auto *g = dynamic_cast<GuardedRows *>(rows.get())) {
        while (g->next()) {
        }
        const std::optional<Error> error = g->error();
        count = g->rows();
        rows.reset();
        if (error) {
            fail(*error, m_line);
            return;
        }
        m_e.state().rowcount = count;
        queueDone(count);
        moveLastToFront(m_queue);
        return;
    }
    try {
        if (auto *c = dynamic_cast<Cursor *>(rows.get())) {
            while (c->next()) {
            }
            count = c->rowsRead();
        } else if (auto *m = dynamic_cast<MemoryResult *>(rows.get())) {
            count = static_cast<std::int64_t>(m->size());
        }
        rows.reset();
        m_e.state().rowcount = count;
        queueDone(count);
        moveLastToFront(m_queue);
    } catch (const Error &e) {
        rows.reset();
        fail(e, m_line);
    }
}

bool BatchRunner::next()
{
    finishRows();
    while (m_queue.empty() && !m_ended) {
        if (!step())
            endBatch();
    }
    if (m_queue.empty()) {
        m_item = Queued{};
        return false;
    }
    m_item = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
}

void BatchRunner::endBatch()
{
    m_ended = true;
    // Output parameters carry their variables' values out.
    for (std::size_t i = 0; i < m_outputNames.size(); ++i)
        if (const LocalVariable *v = variable(m_outputNames[i]))
            m_outputs[i].value = v->value;
}

bool BatchRunner::step()
{
    if (m_ended || m_pc >= m_program.size())
        return false;
    const Instruction &i = m_program[m_pc++];
    m_line = i.line;
    try {
        switch (i.op) {
        case Instruction::Op::Run:
            m_e.checkCancel();
            run(*i.statement);
            // @@ERROR tells of the statement before: one that ends well clears it (a result
            // set's rows that fail later set it again). RAISERROR ... WITH SETERROR sets it.
            if (i.statement->kind != Statement::Kind::Raiserror)
                m_e.state().error = 0;
            break;
        case Instruction::Op::Jump:
            m_pc = static_cast<std::size_t>(i.target);
            break;
        case Instruction::Op::JumpIfNot:
            m_e.checkCancel();
            m_e.startStatement();
            if (!test(*i.condition))
                m_pc = static_cast<std::size_t>(i.target);
            m_e.state().error = 0;
            break;
        case Instruction::Op::TryBegin:
            m_try.push_back(TryFrame{static_cast<std::size_t>(i.target)});
            break;
        case Instruction::Op::TryEnd:
            if (!m_try.empty())
                m_try.pop_back();
            m_pc = static_cast<std::size_t>(i.target);
            break;
        case Instruction::Op::CatchEnd:
            if (!m_caught.empty())
                m_caught.pop_back();
            if (m_caught.empty())
                m_e.state().caught.reset();
            else
                m_e.state().caught = m_caught.back();
            break;
        case Instruction::Op::Return: {
            const auto &r = i.statement->as<Return>();
            if (r.value) {
                const Value v = evaluate(*r.value);
                m_return = v.isNull() ? 0 : static_cast<int>(conv::convert(v, SqlType{Base::Int}).asInteger());
            }
            return false;
        }
        }
    } catch (const Error &e) {
        fail(e, i.line);
    } catch (const std::bad_alloc &) {
        fail(err::outOfMemory(), i.line);
    } catch (const std::exception &e) {
        fail(err::internal(e.what()), i.line);
    }
    return !m_ended;
}

void BatchRunner::fail(const Error &e, int line)
{
    const Error error = e.line() ? e : e.atLine(line);
    if (error.number() == 3617 && m_e.cancelRequested()) {
        // A cancel or a time limit: the statement is undone and the batch ends, no message.
        m_cancelled = true;
        m_e.clearCancel();
        m_ended = true;
        return;
    }
    m_e.state().error = error.number();
    const err::Scope scope = err::scopeOf(error.number());
    const bool severe = error.severity() > 10;
    const bool xactAbort = m_e.state().xactAbort && !m_raising;
    m_raising = false;
    const bool batchAbort = severe && (scope == err::Scope::Batch || xactAbort || error.severity() >= 20);
    if (severe && !m_try.empty() && error.severity() < 20) {
        const TryFrame frame = m_try.back();
        m_try.pop_back();
        if (batchAbort)
            m_e.doom();
        m_caught.push_back(error);
        m_e.state().caught = error;
        m_throwing = false;
        m_pc = frame.catchAt;
        return;
    }
    if (severe)
        m_anyError = true;
    Message m;
    m.number = error.number();
    m.severity = error.severity();
    m.state = error.state();
    m.line = error.line();
    m.text = error.what();
    queueMessage(std::move(m));
    if (!severe)
        return;
    if (batchAbort) {
        if (m_e.transactionDepth() > 0) {
            try {
                m_e.rollbackTransaction();
            } catch (const Error &) {
            }
        }
        m_ended = true;
    } else if (scope == err::Scope::Compile || m_single || m_throwing) {
        m_ended = true;
    }
    m_throwing = false;
}

} // namespace tsql
