#pragma once
// One batch running: parsed whole before any of it runs, laid out as a program, and run one
// statement at a time as the caller asks for the next item. Errors follow SQL Server's scopes:
// a statement-terminating error ends the statement and the batch goes on, a batch-aborting one
// ends the batch and rolls back an open transaction, TRY ... CATCH takes either, and
// XACT_ABORT makes every error batch-aborting.

#include "tsql/Engine.h"
#include "tsql/Lexer.h"
#include "tsql/Program.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>

namespace tsql {

struct LocalVariable {
    SqlType type;
    Value value;
    bool isTable = false;
    std::string table; // a table variable's table in the temporary database
};

class BatchRunner final : public BatchRun {
public:
    // `single`: the program's connection, which takes exactly one statement per call.
    BatchRunner(Engine &engine, std::string text, std::vector<Parameter> parameters, bool single);
    ~BatchRunner() override;

    bool next() override;
    Item item() const override { return m_item.kind; }
    Result &rows() override { return *m_item.rows; }
    std::int64_t count() const override { return m_item.count; }
    const Message &message() const override { return m_item.message; }
    bool anyError() const override { return m_anyError; }
    bool cancelled() const override { return m_cancelled; }
    int returnStatus() const override { return m_return; }
    const std::vector<Parameter> &outputs() const override { return m_outputs; }

    // The first result of a single statement, for Session::execute.
    std::unique_ptr<Result> takeRows() { return std::move(m_item.rows); }

    // ---- for the statements (Statements.cpp, Ddl.cpp, Procedures.cpp) ----
    Engine &engine() { return m_e; }
    void queueRows(std::unique_ptr<Result> rows);
    void queueDone(std::int64_t count);
    void queueMessage(Message m);
    Compiler compiler(CompileOptions options = {});
    VariableLookup variableLookup();
    // Binds a plan's parameters: the statement's literals, the batch's variables, constants.
    // `literalBase`: the batch's number of the first literal, for a plan kept by the cache.
    void bind(sqlite3_stmt *s, const std::vector<Param> &params, int literalBase = 0);
    Value paramValue(const Param &p, int literalBase = 0);
    Value evaluate(const ast::Expr &e);               // SELECT <e> on its own
    bool test(const ast::Expr &condition);            // IF and WHILE
    void assign(const std::string &name, const std::string &op, const Value &v);
    LocalVariable *variable(const std::string &name);
    int batchNumber() const { return m_number; }
    int statementLine() const { return m_line; }

private:
    struct Queued {
        Item kind = Item::Done;
        std::unique_ptr<Result> rows;
        std::int64_t count = -1;
        Message message;
    };

    static bool startsWithStatementWord(const Token &t);
    void prepare(std::vector<Parameter> parameters);
    void precompile();
    bool step(); // runs one instruction; false at the end
    void run(const ast::Statement &s);
    void finishRows();
    void fail(const Error &e, int line);
    void endBatch();
    Value sessionVariable(const std::string &name) const;
    // QueryShape.cpp: the cache's key for a query, or "" for one it must not keep; sets the
    // batch's number of the statement's first literal.
    std::string queryShape(const ast::SelectStatement &s, int &literalBase) const;
    static bool reshapesQueries(const ast::Statement &s);

    // Statements.cpp
    void select(const ast::SelectStatement &s);
    void queueCached(const CachedQueryPtr &q, int literalBase);
    bool prefersWalk(const CachedQuery &q, int literalBase);
    void write(const ast::Statement &s);
    void setOption(const ast::SetOption &s);
    void declare(const ast::Declare &s);
    void setVariable(const ast::SetVariable &s);
    void print(const ast::Print &s);
    void raiserror(const ast::Raiserror &s);
    void throwStatement(const ast::Throw &s);
    void transaction(const ast::Transaction &s);
    void use(const ast::Use &s);
    void execute(const ast::Execute &s);
    void waitfor(const ast::WaitFor &s);
    std::string formatMessage(const std::string &format, const std::vector<Value> &args);

    Engine &m_e;
    std::string m_text;
    std::vector<Token> m_tokens;
    std::vector<int> m_literalTokens; // literal ordinal -> token index
    ast::Batch m_batch;
    std::vector<Instruction> m_program;
    std::map<std::string, LocalVariable> m_vars; // by lower-case name
    std::deque<Queued> m_queue;
    Queued m_item;
    std::size_t m_pc = 0;
    bool m_single;
    bool m_ended = false;
    bool m_anyError = false;
    bool m_cancelled = false;
    int m_return = 0;
    int m_number = 0;
    int m_line = 1;
    std::vector<Parameter> m_outputs;
    std::vector<std::string> m_outputNames;
    struct TryFrame {
        std::size_t catchAt;
    };
    std::vector<TryFrame> m_try;
    std::vector<Error> m_caught; // the errors the CATCH blocks being run are handling
    bool m_throwing = false;     // THROW ends the batch unless caught, leaving the transaction
    bool m_raising = false;      // RAISERROR's error: XACT_ABORT does not make it end the batch
    std::optional<std::int64_t> m_identityBase;
    std::map<const ast::Statement *, std::string> m_deferred; // statements whose names resolve when they run
};

} // namespace tsql
