#include "tsql/SystemProcedureSupport.h"

#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Lexer.h"

namespace tsql::sysproc {

Arguments::Arguments(const std::string &procedure, std::initializer_list<const char *> parameters,
                     const std::vector<Value> &values, const std::vector<std::string> &names)
    : m_procedure(procedure), m_parameters(parameters), m_values(m_parameters.size())
{
    std::size_t position = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::size_t at = position;
        if (i < names.size() && !names[i].empty()) {
            at = m_parameters.size();
            for (std::size_t k = 0; k < m_parameters.size(); ++k)
                if (iequals(m_parameters[k], names[i]))
                    at = k;
            if (at == m_parameters.size())
                throw err::make(8145, names[i], procedure);
        } else {
            ++position;
        }
        if (at >= m_parameters.size())
            throw err::make(8144, procedure);
        m_values[at] = values[i];
    }
}

std::optional<std::string> Arguments::text(std::size_t parameter) const
{
    if (parameter >= m_values.size() || m_values[parameter].isNull())
        return std::nullopt;
    return conv::toText(m_values[parameter]);
}

std::string Arguments::required(std::size_t parameter) const
{
    if (auto t = text(parameter))
        return *t;
    throw err::make(201, m_procedure, m_parameters[parameter]);
}

ColumnInfo column(const char *name, const SqlType &type, bool nullable)
{
    ColumnInfo c;
    c.name = name;
    c.type = type;
    c.nullable = nullable;
    return c;
}

void report(BatchRunner &b, const Error &e)
{
    Message m;
    m.number = e.number();
    m.severity = e.severity();
    m.state = e.state();
    m.line = b.statementLine();
    m.text = e.what();
    b.queueMessage(std::move(m));
}

std::vector<std::string> nameParts(const std::string &s)
{
    std::vector<std::string> parts{std::string()};
    try {
        for (const Token &t : tokenize(s)) {
            if (t.kind == Token::Kind::End)
                break;
            if (t.isSymbol("."))
                parts.emplace_back();
            else
                parts.back() += t.text;
        }
    } catch (const Error &) {
        return {s}; // not a name SQL would read: looked up as written, and not found
    }
    return parts;
}

TablePtr findObject(Engine &e, const std::string &name)
{
    const std::vector<std::string> parts = nameParts(name);
    if (parts.empty() || parts.size() > 3 || parts.back().empty())
        return nullptr;
    if (parts.size() == 3 && !parts[0].empty() && !iequals(parts[0], e.currentDatabase()))
        throw err::make(15250);
    if (parts.size() >= 2 && !parts[parts.size() - 2].empty() && !iequals(parts[parts.size() - 2], "dbo"))
        return nullptr;
    if (e.currentDatabase().empty())
        return nullptr;
    return e.catalog().load(e.currentDatabase(), parts.back());
}

} // namespace tsql::sysproc
