#pragma once
// The statements of a batch, one type per kind.

#include "tsql/Ast.h"

namespace tsql::ast {

struct Statement {
    enum class Kind {
        Select, Insert, Update, Delete, Merge, Truncate,
        CreateTable, AlterTable, DropTable, CreateIndex, DropIndex, CreateView, DropView, CreateDatabase,
        Use, SetOption, Declare, SetVariable, If, While, Block, Break, Continue, Return, Goto, Label,
        TryCatch, Print, Raiserror, Throw, BeginTran, CommitTran, RollbackTran, SaveTran, Execute, Dbcc,
        Login, WaitFor, Empty,
    };
    const Kind kind;
    int line = 1;
    std::size_t offset = 0, endOffset = 0; // the statement's text in the batch
    explicit Statement(Kind k) : kind(k) {}
    virtual ~Statement() = default;
    template <typename T> const T &as() const { return static_cast<const T &>(*this); }
    template <typename T> T &as() { return static_cast<T &>(*this); }
};
using StatementPtr = std::unique_ptr<Statement>;

struct SelectStatement : Statement {
    QueryPtr query;
    SelectStatement() : Statement(Kind::Select) {}
};

// The target of INSERT/UPDATE/DELETE: a table, a view, a table variable or (UPDATE/DELETE) an
// alias of the FROM clause.
struct Target {
    ObjectName name;
};

struct Insert : Statement {
    Target target;
    std::optional<Top> top;
    std::vector<std::string> columns;
    std::vector<std::vector<ExprPtr>> values; // VALUES (...), (...); DEFAULT is a null ExprPtr
    QueryPtr query;                           // INSERT ... SELECT
    std::unique_ptr<Statement> execute;       // INSERT ... EXEC
    bool defaultValues = false;
    std::vector<Cte> with;
    Insert() : Statement(Kind::Insert) {}
};

struct Assignment {
    std::vector<std::string> column; // qualifier parts then the column; empty for a variable
    std::string variable;            // SET @v = ..., SET @v = col = ...
    std::string op = "=";            // =, +=, -=, ...
    ExprPtr value;                   // null for DEFAULT
};

struct Update : Statement {
    Target target;
    std::optional<Top> top;
    std::vector<Assignment> sets;
    std::vector<TableRefPtr> from;
    ExprPtr where;
    std::vector<Cte> with;
    Update() : Statement(Kind::Update) {}
};

struct Delete : Statement {
    Target target;
    std::optional<Top> top;
    std::vector<TableRefPtr> from;
    ExprPtr where;
    std::vector<Cte> with;
    Delete() : Statement(Kind::Delete) {}
};

struct MergeClause {
    enum class When { Matched, NotMatchedByTarget, NotMatchedBySource };
    When when = When::Matched;
    ExprPtr condition;
    enum class Action { Update, Delete, Insert };
    Action action = Action::Update;
    std::vector<Assignment> sets;
    std::vector<std::string> columns;
    std::vector<ExprPtr> values;
};

struct Merge : Statement {
    Target target;
    std::string targetAlias;
    TableRefPtr source;
    ExprPtr on;
    std::vector<MergeClause> clauses;
    Merge() : Statement(Kind::Merge) {}
};

struct Truncate : Statement {
    ObjectName table;
    Truncate() : Statement(Kind::Truncate) {}
};

struct ColumnDef {
    std::string name;
    SqlType type;
    std::optional<bool> nullable;
    bool identity = false;
    std::int64_t seed = 1, step = 1;
    ExprPtr defaultValue;
    std::string defaultText; // the DEFAULT as written
    std::string defaultName;
    bool withValues = false; // DEFAULT ... WITH VALUES: rows already there take the default too
    ExprPtr computed; // AS expression
    std::string computedText;
    bool persisted = false;
    std::string collation;
    int line = 1;
};

struct Constraint {
    enum class Kind { PrimaryKey, Unique, Check, ForeignKey, Default };
    Kind kind = Kind::PrimaryKey;
    std::string name;
    std::vector<std::pair<std::string, bool>> columns; // with DESC
    bool clustered = false;
    ExprPtr expr; // CHECK condition; DEFAULT value
    std::string exprText; // as written
    std::string forColumn; // DEFAULT ... FOR column
    ObjectName references;
    std::vector<std::string> referencedColumns;
    std::string onDelete, onUpdate; // NO ACTION, CASCADE, SET NULL, SET DEFAULT
};

struct CreateTable : Statement {
    ObjectName table;
    std::vector<ColumnDef> columns;
    std::vector<Constraint> constraints; // table-level and column-level alike
    CreateTable() : Statement(Kind::CreateTable) {}
};

struct AlterTable : Statement {
    enum class Action { AddColumns, AddConstraints, AlterColumn, DropColumns, DropConstraints, CheckConstraints };
    ObjectName table;
    Action action = Action::AddColumns;
    std::vector<ColumnDef> columns;       // ADD / ALTER COLUMN
    std::vector<Constraint> constraints;  // ADD CONSTRAINT ...
    std::vector<std::string> names;       // DROP COLUMN a, b / DROP CONSTRAINT x
    bool ifExists = false;
    bool check = true; // WITH CHECK / NOCHECK
    AlterTable() : Statement(Kind::AlterTable) {}
};

struct DropTable : Statement {
    std::vector<ObjectName> tables;
    bool ifExists = false;
    DropTable() : Statement(Kind::DropTable) {}
};

struct CreateIndex : Statement {
    bool unique = false;
    bool clustered = false;
    std::string name;
    ObjectName table;
    std::vector<std::pair<std::string, bool>> columns; // with DESC
    std::vector<std::string> include;
    ExprPtr where;
    CreateIndex() : Statement(Kind::CreateIndex) {}
};

struct DropIndex : Statement {
    std::vector<std::pair<std::string, ObjectName>> indexes; // index, table
    bool ifExists = false;
    DropIndex() : Statement(Kind::DropIndex) {}
};

struct CreateView : Statement {
    ObjectName view;
    std::vector<std::string> columns;
    QueryPtr query;
    bool alter = false;    // ALTER VIEW
    bool orAlter = false;  // CREATE OR ALTER VIEW
    std::string text;      // the definition as written, kept for sp_helptext and sys.sql_modules
    CreateView() : Statement(Kind::CreateView) {}
};

struct DropView : Statement {
    std::vector<ObjectName> views;
    bool ifExists = false;
    DropView() : Statement(Kind::DropView) {}
};

struct CreateDatabase : Statement {
    std::string name;
    bool drop = false; // DROP DATABASE
    CreateDatabase() : Statement(Kind::CreateDatabase) {}
};

struct Use : Statement {
    std::string database;
    Use() : Statement(Kind::Use) {}
};

// SET NOCOUNT ON, SET DATEFORMAT dmy, SET IDENTITY_INSERT t ON, SET TRANSACTION ISOLATION LEVEL ...
struct SetOption : Statement {
    std::vector<std::string> options; // upper case; several for SET ANSI_NULLS, QUOTED_IDENTIFIER ON
    std::string value;                // ON, OFF, or the value (dmy, 7, READ COMMITTED, us_english)
    ObjectName table;                 // IDENTITY_INSERT
    ExprPtr expr;                     // SET DATEFIRST @n, SET ROWCOUNT @n
    SetOption() : Statement(Kind::SetOption) {}
};

struct VariableDef {
    std::string name;
    SqlType type;
    ExprPtr initial;
    std::vector<ColumnDef> tableColumns; // DECLARE @t TABLE (...)
    std::vector<Constraint> tableConstraints;
    bool isTable = false;
    bool isCursor = false;
};

struct Declare : Statement {
    std::vector<VariableDef> variables;
    Declare() : Statement(Kind::Declare) {}
};

struct SetVariable : Statement {
    std::string variable;
    std::string op = "="; // =, +=, ...
    ExprPtr value;
    SetVariable() : Statement(Kind::SetVariable) {}
};

struct If : Statement {
    ExprPtr condition;
    StatementPtr then, otherwise;
    If() : Statement(Kind::If) {}
};

struct While : Statement {
    ExprPtr condition;
    StatementPtr body;
    While() : Statement(Kind::While) {}
};

struct Block : Statement {
    std::vector<StatementPtr> statements;
    Block() : Statement(Kind::Block) {}
};

struct Simple : Statement { // BREAK, CONTINUE, empty ';'
    explicit Simple(Kind k) : Statement(k) {}
};

struct Return : Statement {
    ExprPtr value;
    Return() : Statement(Kind::Return) {}
};

struct Goto : Statement { // GOTO label; also the label itself (Kind::Label)
    std::string label;
    explicit Goto(Kind k) : Statement(k) {}
};

struct TryCatch : Statement {
    std::vector<StatementPtr> tryBlock, catchBlock;
    TryCatch() : Statement(Kind::TryCatch) {}
};

struct Print : Statement {
    ExprPtr value;
    Print() : Statement(Kind::Print) {}
};

struct Raiserror : Statement {
    ExprPtr message; // a number, a text, or a variable
    ExprPtr severity, state;
    std::vector<ExprPtr> args;
    std::vector<std::string> with; // NOWAIT, LOG, SETERROR
    Raiserror() : Statement(Kind::Raiserror) {}
};

struct Throw : Statement {
    ExprPtr number, message, state; // all null: rethrow in CATCH
    Throw() : Statement(Kind::Throw) {}
};

struct Transaction : Statement { // BEGIN/COMMIT/ROLLBACK/SAVE TRAN [name]
    std::string name;
    ExprPtr nameVariable;
    explicit Transaction(Kind k) : Statement(k) {}
};

struct ExecArgument {
    std::string name; // @param = ..., empty when positional
    ExprPtr value;    // null for DEFAULT
    bool output = false;
};

struct Execute : Statement {
    ObjectName procedure;
    std::string procedureVariable; // EXEC @name
    std::string returnVariable;    // EXEC @rc = proc
    std::vector<ExecArgument> args;
    ExprPtr dynamicSql;            // EXEC ('text' + ...)
    Execute() : Statement(Kind::Execute) {}
};

struct Dbcc : Statement {
    std::string command; // upper case
    std::vector<ExprPtr> args;
    std::vector<std::string> with;
    Dbcc() : Statement(Kind::Dbcc) {}
};

// CREATE/ALTER/DROP LOGIN, CREATE/DROP USER, ALTER ROLE ... ADD|DROP MEMBER, GRANT/DENY/REVOKE.
struct Login : Statement {
    std::string verb;    // CREATE LOGIN, ALTER LOGIN, DROP LOGIN, CREATE USER, DROP USER, ALTER ROLE, GRANT, DENY, REVOKE
    std::string name;    // login, user or role
    std::string other;   // FOR LOGIN x; ADD/DROP MEMBER x; TO principal
    std::string action;  // ADD MEMBER / DROP MEMBER; ENABLE / DISABLE; permission list for GRANT
    ExprPtr password;
    std::string defaultDatabase;
    ObjectName object;   // GRANT ... ON object
    Login() : Statement(Kind::Login) {}
};

struct WaitFor : Statement {
    bool delay = true; // DELAY or TIME
    ExprPtr value;
    WaitFor() : Statement(Kind::WaitFor) {}
};

// A whole batch as parsed: the statements in order, with their text.
struct Batch {
    std::vector<StatementPtr> statements;
};

} // namespace tsql::ast
