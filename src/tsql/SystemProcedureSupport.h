#pragma once
// What the system procedures and DBCC share: their arguments by position or by @name, result
// sets made in memory, and SQL Server's informational messages put into the batch's stream.

#include "tsql/Batch.h"
#include "tsql/Cursor.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace tsql::sysproc {

// A procedure's arguments matched to its parameters, as SQL Server matches them: positional
// ones first, then @name = value in any order.
class Arguments {
public:
    Arguments(const std::string &procedure, std::initializer_list<const char *> parameters,
              const std::vector<Value> &values, const std::vector<std::string> &names);
    // The argument's text; nullopt when it was not given, given as DEFAULT or NULL.
    std::optional<std::string> text(std::size_t parameter) const;
    // The text of an argument the procedure cannot do without (201 when missing).
    std::string required(std::size_t parameter) const;

private:
    std::string m_procedure;
    std::vector<const char *> m_parameters;
    std::vector<Value> m_values;
};

ColumnInfo column(const char *name, const SqlType &type, bool nullable = true);

class ResultBuilder {
public:
    void add(const char *name, const SqlType &type, bool nullable = true) { m_columns.push_back(column(name, type, nullable)); }
    void row(std::vector<Value> values) { m_rows.push_back(std::move(values)); }
    bool empty() const { return m_rows.empty(); }
    void queue(BatchRunner &b) { b.queueRows(std::make_unique<MemoryResult>(std::move(m_columns), std::move(m_rows))); }

private:
    std::vector<ColumnInfo> m_columns;
    std::vector<std::vector<Value>> m_rows;
};

// An informational message or a non-fatal error from the catalogue, reported where the
// statement stands and letting it go on.
void report(BatchRunner &b, const Error &e);

// A name as a procedure's argument or DBCC gives it: 'table', 'dbo.table', '[db].dbo.[table]'.
std::vector<std::string> nameParts(const std::string &s);

// The table or view such a name points at in the current database; nullptr when there is
// none. A name in another database is refused (15250): these procedures look in the current one.
TablePtr findObject(Engine &e, const std::string &name);

} // namespace tsql::sysproc
