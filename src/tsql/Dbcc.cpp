// DBCC CHECKDB, CHECKTABLE and CHECKCATALOG: SQLite's own check of the file (with the engine's
// collation, so that indexes on text are checked in the order they were built in) and the
// engine's check of its catalogue, reported in SQL Server's words. A damaged file is reported,
// never trusted: every read that fails becomes one more error in the report.

#include "tsql/Procedures.h"

#include "tsql/CatalogCheck.h"
#include "tsql/CatalogObjects.h"
#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/SystemProcedureSupport.h"

#include <map>
#include <optional>

namespace tsql {

using namespace ast;
using sqlite::quoteName;

namespace {

struct Options {
    bool infoMessages = true;
    bool allErrors = false;
};

// One table as DBCC reports on it.
struct Subject {
    std::string name;
    std::int64_t id = 0;
    std::map<std::string, std::pair<std::string, std::int64_t>> indexes; // lower(SQLite name) -> (name, index id)
    std::int64_t rows = -1;
    std::int64_t pages = 0;
    std::vector<Error> errors;
    int allocationErrors = 0;
};

// What one database holds, read from SQLite's schema rather than the engine's catalogue, which
// may be the thing that is wrong.
class Report {
public:
    Report(BatchRunner &b, const std::string &db, const char *command, Options options)
        : m_b(b), m_c(b.engine().connection()), m_db(db), m_command(command), m_options(options)
    {
    }

    void readTables(const std::optional<std::string> &only)
    {
        std::map<std::string, std::int64_t> ids;
        try {
            sqlite::Stmt has(m_c, "SELECT 1 FROM " + quoteName(m_db) +
                                      ".sqlite_master WHERE type = 'table' AND name = '__tsql_objects'");
            if (has.step()) {
                sqlite::Stmt s(m_c, "SELECT name, object_id FROM " + quoteName(m_db) + ".__tsql_objects WHERE type = 'U'");
                while (s.step())
                    ids[lower(s.text(0))] = s.integer(1);
            }
            sqlite::Stmt s(m_c, "SELECT name FROM " + quoteName(m_db) + ".sqlite_master WHERE type = 'table' AND "
                                "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND name NOT LIKE '\\_\\_tsql\\_%' ESCAPE '\\' "
                                "ORDER BY name COLLATE NOCASE");
            while (s.step()) {
                if (only && !iequals(*only, s.text(0)))
                    continue;
                Subject t;
                t.name = s.text(0);
                const auto id = ids.find(lower(t.name));
                t.id = id != ids.end() ? id->second : sysview::stableId(m_db, t.name);
                m_tables.push_back(std::move(t));
            }
            for (Subject &t : m_tables)
                readIndexes(t);
        } catch (const Error &e) {
            m_terminated = e; // the schema itself cannot be read: nothing else can be checked
        }
    }

    bool empty() const { return m_tables.empty(); }
    const std::vector<Subject> &tables() const { return m_tables; }

    void checkCatalog(const std::optional<std::string> &only)
    {
        if (m_terminated)
            return;
        try {
            for (const catalogcheck::Finding &f : catalogcheck::check(m_c, m_db))
                if (!only || iequals(f.table, *only))
                    m_catalog.push_back(err::make(8992, std::to_string(f.message.number()), "1", f.message.what()));
        } catch (const Error &e) {
            m_terminated = e;
        }
    }

    void checkStorage(const std::optional<std::string> &only)
    {
        if (m_terminated)
            return;
        readPages();
        const std::string limit = m_options.allErrors ? "10000" : "200";
        const std::string pragma = "PRAGMA " + quoteName(m_db) + ".integrity_check" +
                                   (only ? "(" + quoteName(*only) + ")" : "(" + limit + ")");
        try {
            sqlite::Stmt s(m_c, pragma);
            for (;;) {
                bool row = false;
                try {
                    row = s.step();
                } catch (const Error &) {
                    // SQLite stops its check at damage it cannot read past; what it found so far
                    // stands, and the report says the check did not finish.
                    m_stopped = true;
                    break;
                }
                if (!row)
                    break;
                for (const std::string &line : lines(s.text(0)))
                    finding(line);
            }
        } catch (const Error &e) {
            m_terminated = e;
            return;
        }
        for (Subject &t : m_tables) {
            try {
                sqlite::Stmt count(m_c, "SELECT count(*) FROM " + quoteName(m_db) + "." + quoteName(t.name));
                if (count.step())
                    t.rows = count.integer(0);
            } catch (const Error &e) {
                unattributed(e.what(), 0, false, &t);
            }
        }
    }

    // Everything found, in the order SQL Server reports it; the number of errors.
    int emit(bool databaseHeader, bool perTable, bool summary)
    {
        int allocation = 0, consistency = 0;
        if (databaseHeader)
            info(err::make(2536, m_db));
        for (const Error &e : m_catalog) {
            sysproc::report(m_b, e);
            ++consistency;
        }
        if (m_terminated) {
            sysproc::report(m_b, *m_terminated);
            sysproc::report(m_b, err::make(8921));
            return consistency + 1;
        }
        for (const Error &e : m_loose)
            sysproc::report(m_b, e);
        if (!m_loose.empty()) {
            info(err::make(8954, {m_command, std::to_string(m_looseAllocation),
                                  std::to_string(static_cast<int>(m_loose.size()) - m_looseAllocation)}),
                 true);
            allocation += m_looseAllocation;
            consistency += static_cast<int>(m_loose.size()) - m_looseAllocation;
        }
        for (const Subject &t : m_tables) {
            if (!perTable)
                break;
            info(err::make(2536, t.name));
            for (const Error &e : t.errors)
                sysproc::report(m_b, e);
            if (t.rows >= 0)
                info(err::make(2593, std::to_string(t.rows), std::to_string(t.pages), t.name));
            if (!t.errors.empty())
                info(err::make(8990, {m_command, std::to_string(t.allocationErrors),
                                      std::to_string(static_cast<int>(t.errors.size()) - t.allocationErrors), t.name,
                                      std::to_string(t.id)}),
                     true);
            allocation += t.allocationErrors;
            consistency += static_cast<int>(t.errors.size()) - t.allocationErrors;
        }
        if (m_stopped)
            sysproc::report(m_b, err::make(8921));
        if (summary)
            info(err::make(8989, {m_command, std::to_string(allocation), std::to_string(consistency), m_db}),
                 allocation + consistency > 0);
        return allocation + consistency;
    }

    void info(const Error &e, bool aboutErrors = false)
    {
        if (m_options.infoMessages || aboutErrors)
            sysproc::report(m_b, e);
    }

private:
    static std::vector<std::string> lines(const std::string &text)
    {
        std::vector<std::string> out;
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string::npos)
                end = text.size();
            const std::string line = text.substr(pos, end - pos);
            if (!line.empty() && line != "ok" && line.rfind("*** in database", 0) != 0)
                out.push_back(line);
            pos = end + 1;
        }
        return out;
    }

    void readIndexes(Subject &t)
    {
        // The data itself is the table's first index (SQL Server's heap or clustered index); the
        // engine's indexes are numbered as sys.indexes numbers them where the catalogue can say.
        t.indexes[lower(t.name)] = {t.name, 1};
        TablePtr known;
        try {
            if (!m_b.engine().catalog().isSuspect(m_db))
                known = m_b.engine().catalog().load(m_db, t.name);
        } catch (const Error &) {
        }
        sqlite::Stmt s(m_c, "SELECT name FROM " + quoteName(m_db) + ".sqlite_master WHERE type = 'index' AND tbl_name = ?1");
        s.bind(1, t.name);
        while (s.step()) {
            const std::string stored = s.text(0);
            std::pair<std::string, std::int64_t> ix{stored.substr(stored.find('$') == std::string::npos ? 0 : stored.find('$') + 1), 0};
            if (known)
                for (const Index &i : known->indexes)
                    if (iequals(i.sqliteName, stored) || (i.sqliteName.empty() && stored.rfind("sqlite_autoindex_", 0) == 0))
                        ix = {i.name, i.id};
            t.indexes[lower(stored)] = ix;
        }
    }

    // Which table each page belongs to, and how many pages each table's data takes.
    void readPages()
    {
        try {
            sqlite::Stmt s(m_c, "SELECT name, pageno FROM dbstat(" + sqlite::quoteLiteral(m_db) + ")");
            while (s.step())
                m_pageOwner[s.integer(1)] = lower(s.text(0));
        } catch (const Error &) {
            return; // no page map: page errors stay unattributed and page counts 0
        }
        for (const auto &[page, owner] : m_pageOwner)
            for (Subject &t : m_tables)
                if (owner == lower(t.name))
                    ++t.pages;
    }

    Subject *owner(const std::string &sqliteName, std::pair<std::string, std::int64_t> *index = nullptr)
    {
        for (Subject &t : m_tables) {
            const auto it = t.indexes.find(lower(sqliteName));
            if (it != t.indexes.end()) {
                if (index)
                    *index = it->second;
                return &t;
            }
        }
        return nullptr;
    }

    static std::int64_t numberAfter(const std::string &line, const std::string &word)
    {
        const auto at = line.find(word);
        if (at == std::string::npos)
            return 0;
        return std::strtoll(line.c_str() + at + word.size(), nullptr, 10);
    }

    static std::string wordAfter(const std::string &line, const std::string &word)
    {
        const auto at = line.find(word);
        if (at == std::string::npos)
            return {};
        const std::string rest = line.substr(at + word.size());
        return rest.substr(0, rest.find(' '));
    }

    // One line of SQLite's report as the SQL Server message closest to it.
    void finding(const std::string &line)
    {
        // SQLite's last word when damage stopped its check before the end.
        if (line == sqlite3_errstr(SQLITE_CORRUPT)) {
            m_stopped = true;
            return;
        }
        const bool allocation = line.find("never used") != std::string::npos ||
                                line.find("2nd reference to page") != std::string::npos ||
                                line.find("reelist") != std::string::npos;
        std::pair<std::string, std::int64_t> index;
        if (line.rfind("row ", 0) == 0 && line.find(" missing from index ") != std::string::npos) {
            if (Subject *t = owner(wordAfter(line, " missing from index "), &index)) {
                t->errors.push_back(err::make(8951, {t->name, std::to_string(t->id), index.first, std::to_string(index.second)}));
                return;
            }
        }
        if (line.rfind("wrong # of entries in index ", 0) == 0 || line.rfind("non-unique entry in index ", 0) == 0) {
            if (Subject *t = owner(wordAfter(line, " in index "), &index)) {
                t->errors.push_back(err::make(8952, {t->name, std::to_string(t->id), index.first, std::to_string(index.second)}));
                return;
            }
        }
        if (line.rfind("NULL value in ", 0) == 0) {
            const std::string where = wordAfter(line, "NULL value in ");
            const auto dot = where.find('.');
            if (Subject *t = owner(where.substr(0, dot))) {
                t->errors.push_back(err::make(8970, {std::to_string(t->id), "1", "0", "0", "In-row data", "(1:0)", "0",
                                                     dot == std::string::npos ? where : where.substr(dot + 1)}));
                return;
            }
        }
        // A page's own damage: the table whose page it is, when the page map knows.
        std::int64_t page = numberAfter(line, "page ");
        if (!page)
            page = numberAfter(line, "Page ");
        Subject *t = nullptr;
        if (const auto it = m_pageOwner.find(page); page && it != m_pageOwner.end())
            t = owner(it->second, &index);
        unattributed(line, page, allocation, t, index.second ? index.second : 1);
    }

    void unattributed(const std::string &what, std::int64_t page, bool allocation, Subject *t = nullptr,
                      std::int64_t indexId = 0)
    {
        Error e = err::make(8939, {std::to_string(t ? t->id : 0), std::to_string(t ? indexId : 0), "0", "0",
                                   "In-row data", "(1:" + std::to_string(page) + ")", what, std::to_string(page), "0"});
        if (t) {
            t->errors.push_back(e);
            t->allocationErrors += allocation ? 1 : 0;
        } else {
            m_loose.push_back(e);
            m_looseAllocation += allocation ? 1 : 0;
        }
    }

    BatchRunner &m_b;
    sqlite::Connection &m_c;
    std::string m_db;
    const char *m_command;
    Options m_options;
    std::vector<Subject> m_tables;
    std::vector<Error> m_catalog;
    std::vector<Error> m_loose;
    int m_looseAllocation = 0;
    std::map<std::int64_t, std::string> m_pageOwner;
    std::optional<Error> m_terminated;
    bool m_stopped = false;
};

Options options(const Dbcc &s)
{
    Options o;
    for (const std::string &w : s.with) {
        if (w == "NO_INFOMSGS")
            o.infoMessages = false;
        else if (w == "ALL_ERRORMSGS")
            o.allErrors = true;
        else if (w != "TABLOCK" && w != "PHYSICAL_ONLY" && w != "DATA_PURITY" && w != "EXTENDED_LOGICAL_CHECKS")
            throw err::make(2532);
    }
    return o;
}

std::optional<std::string> argument(BatchRunner &b, const Dbcc &s, std::size_t i)
{
    if (i >= s.args.size())
        return std::nullopt;
    const Value v = b.evaluate(*s.args[i]);
    return v.isNull() ? std::nullopt : std::optional<std::string>(conv::toText(v));
}

// The database DBCC names: by name, by number, or 0 and nothing for the current one.
std::string database(BatchRunner &b, const std::optional<std::string> &given)
{
    Engine &e = b.engine();
    if (!given || *given == "0" || given->empty()) {
        if (e.currentDatabase().empty())
            throw err::make(2520, "");
        return e.currentDatabase();
    }
    for (const std::string &d : e.catalog().databases())
        if (iequals(d, *given) || std::to_string(e.catalog().databaseId(d)) == *given)
            return d;
    throw err::make(2520, *given);
}

void refuseRepair(const std::optional<std::string> &option)
{
    // Repairs need the database to itself, which an embedded file shared by its clients never is.
    if (option && upper(*option).rfind("REPAIR_", 0) == 0)
        throw err::make(7919);
    if (option && !iequals(*option, "NOINDEX"))
        throw err::make(2526);
}

} // namespace

void dbcc(BatchRunner &b, const Dbcc &s)
{
    Engine &e = b.engine();
    const Options o = options(s);
    e.settleCursors();
    if (s.command == "CHECKDB" || s.command == "CHECKCATALOG") {
        const bool full = s.command == "CHECKDB";
        const std::string db = database(b, argument(b, s, 0));
        if (full)
            refuseRepair(argument(b, s, 1));
        else if (s.args.size() > 1)
            throw err::make(2583);
        Report r(b, db, full ? "CHECKDB" : "CHECKCATALOG", o);
        r.readTables(std::nullopt);
        r.checkCatalog(std::nullopt);
        if (full)
            r.checkStorage(std::nullopt);
        const int errors = r.emit(full, full, full);
        // A database found whole again is no longer refused; one found wanting is.
        e.catalog().setSuspect(db, errors > 0 && e.catalog().isSuspect(db));
    } else if (s.command == "CHECKTABLE") {
        const std::optional<std::string> name = argument(b, s, 0);
        if (!name)
            throw err::make(2583);
        refuseRepair(argument(b, s, 1));
        const std::vector<std::string> parts = sysproc::nameParts(*name);
        std::string db = e.currentDatabase();
        if (parts.size() == 3 && !parts[0].empty())
            db = database(b, parts[0]);
        if (db.empty() || parts.size() > 3 || (parts.size() >= 2 && !parts[parts.size() - 2].empty() &&
                                                !iequals(parts[parts.size() - 2], "dbo")))
            throw err::make(2501, *name);
        Report r(b, db, "CHECKTABLE", o);
        r.readTables(parts.back());
        if (r.empty())
            throw err::make(2501, *name);
        const std::string table = r.tables().front().name;
        r.checkCatalog(table);
        r.checkStorage(table);
        r.emit(false, true, false);
    } else {
        throw err::make(2526);
    }
    if (o.infoMessages)
        sysproc::report(b, err::make(2528));
}

} // namespace tsql
