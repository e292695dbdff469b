// Remote procedure calls: the system procedures drivers use for parameterized and prepared
// statements, and any other procedure by name.
#include "ParameterDeclarations.h"
#include "RequestRunner.h"
#include "ServerMessages.h"

namespace server {

namespace {

std::uint16_t procedureId(const tds::RpcCall &call)
{
    if (call.procId != 0)
        return call.procId;
    std::string name = tsql::lower(call.procName);
    for (const std::string_view prefix : {"master.dbo.", "master..", "sys.", "dbo."})
        if (name.rfind(prefix, 0) == 0)
            name.erase(0, prefix.size());
    static const std::pair<const char *, std::uint16_t> names[] = {
        {"sp_cursor", tds::procid::Cursor},
        {"sp_cursoropen", tds::procid::CursorOpen},
        {"sp_cursorprepare", tds::procid::CursorPrepare},
        {"sp_cursorexecute", tds::procid::CursorExecute},
        {"sp_cursorprepexec", tds::procid::CursorPrepExec},
        {"sp_cursorunprepare", tds::procid::CursorUnprepare},
        {"sp_cursorfetch", tds::procid::CursorFetch},
        {"sp_cursoroption", tds::procid::CursorOption},
        {"sp_cursorclose", tds::procid::CursorClose},
        {"sp_executesql", tds::procid::ExecuteSql},
        {"sp_prepare", tds::procid::Prepare},
        {"sp_execute", tds::procid::Execute},
        {"sp_prepexec", tds::procid::PrepExec},
        {"sp_prepexecrpc", tds::procid::PrepExecRpc},
        {"sp_unprepare", tds::procid::Unprepare},
    };
    for (const auto &[n, id] : names)
        if (name == n)
            return id;
    return 0;
}

std::string procedureName(std::uint16_t id)
{
    static const char *const names[] = {"",           "sp_cursor",      "sp_cursoropen",  "sp_cursorprepare",
                                        "sp_cursorexecute", "sp_cursorprepexec", "sp_cursorunprepare",
                                        "sp_cursorfetch", "sp_cursoroption", "sp_cursorclose", "sp_executesql",
                                        "sp_prepare",     "sp_execute",     "sp_prepexec",    "sp_prepexecrpc",
                                        "sp_unprepare"};
    return id < std::size(names) ? names[id] : "#" + std::to_string(id);
}

std::string textOf(const tds::RpcParameter &p)
{
    return p.value.isNull() || p.value.type() != tsql::Value::Type::Text ? std::string() : p.value.asText();
}

int intOf(const tds::RpcParameter &p)
{
    return p.value.type() == tsql::Value::Type::Integer ? static_cast<int>(p.value.asInteger()) : 0;
}

// The procedure's name as the client sent it, possibly with its schema ("dbo.FindPatient"),
// each part bracketed so that the name cannot carry a statement of its own.
std::string bracketedName(const std::string &name)
{
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = name.find('.', start);
        std::string part = name.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.size() >= 2 && part.front() == '[' && part.back() == ']')
            part = part.substr(1, part.size() - 2);
        out += "[";
        for (const char c : part) {
            out.push_back(c);
            if (c == ']')
                out.push_back(']');
        }
        out += "]";
        if (dot == std::string::npos)
            return out;
        out += ".";
        start = dot + 1;
    }
}

} // namespace

void RequestRunner::runRpc(const tds::RpcRequest &request)
{
    for (std::size_t i = 0; i < request.calls.size(); ++i) {
        runCall(request.calls[i], i + 1 == request.calls.size());
        if (m_control.attentionPending())
            break;
    }
    if (m_control.endRequest())
        m_tokens.done(tds::token::DoneProc, tds::done::Attention, 0, 0);
    send();
}

void RequestRunner::endProcedure(bool last, bool error)
{
    std::uint16_t status = last ? 0 : tds::done::More;
    if (error)
        status |= tds::done::Error;
    if (m_state.transactionCount > 0)
        status |= tds::done::InTransaction;
    // After an attention the acknowledgement is the request's last DONE; this one is not.
    if (m_control.attentionPending())
        status |= tds::done::More;
    m_tokens.done(tds::token::DoneProc, status, 0, 0);
}

void RequestRunner::runCall(const tds::RpcCall &call, bool last)
{
    const std::uint16_t id = procedureId(call);
    const auto &p = call.parameters;
    std::vector<Argument> arguments;
    auto from = [&](std::size_t first) {
        for (std::size_t i = first; i < p.size(); ++i)
            arguments.push_back({static_cast<std::uint16_t>(i), &p[i]});
    };
    Tally tally;
    switch (id) {
    case tds::procid::ExecuteSql:
        if (p.empty())
            break;
        from(2);
        executeWithParameters(call, textOf(p[0]), p.size() > 1 ? textOf(p[1]) : std::string(), arguments, -1, 0, last);
        return;
    case tds::procid::Prepare: {
        if (p.size() < 3)
            break;
        const int handle = m_state.nextHandle++;
        m_state.prepared[handle] = {textOf(p[2]), textOf(p[1])};
        logStatement("prepare", textOf(p[2]));
        m_tokens.returnStatus(0);
        m_tokens.returnValue(0, p[0].name, tsql::SqlType(tsql::Base::Int), tsql::Value::integer(handle, tsql::SqlType(tsql::Base::Int)));
        endProcedure(last, false);
        return;
    }
    case tds::procid::PrepExec: {
        if (p.size() < 3)
            break;
        const int handle = m_state.nextHandle++;
        m_state.prepared[handle] = {textOf(p[2]), textOf(p[1])};
        from(3);
        executeWithParameters(call, textOf(p[2]), textOf(p[1]), arguments, 0, handle, last);
        return;
    }
    case tds::procid::Execute: {
        if (p.empty())
            break;
        const auto it = m_state.prepared.find(intOf(p[0]));
        if (it == m_state.prepared.end()) {
            message(messages::unknownPreparedHandle(intOf(p[0])), tally);
            endProcedure(last, true);
            return;
        }
        from(1);
        const SessionState::Prepared prepared = it->second;
        executeWithParameters(call, prepared.statement, prepared.declarations, arguments, -1, 0, last);
        return;
    }
    case tds::procid::Unprepare:
        if (!p.empty())
            m_state.prepared.erase(intOf(p[0]));
        m_tokens.returnStatus(0);
        endProcedure(last, false);
        return;
    case 0:
        runProcedure(call, last);
        return;
    default:
        message(messages::cursorsNotSupported(procedureName(id)), tally);
        endProcedure(last, true);
        return;
    }
    message(messages::unknownProcedure(procedureName(id)), tally);
    endProcedure(last, true);
}

void RequestRunner::executeWithParameters(const tds::RpcCall &, const std::string &statement,
                                          const std::string &declarations, const std::vector<Argument> &arguments,
                                          int handleOrdinal, int handle, bool last)
{
    const auto declared = parseDeclarations(declarations);
    std::vector<tsql::Parameter> parameters;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const tds::RpcParameter &a = *arguments[i].parameter;
        tsql::Parameter p;
        p.name = a.name;
        if (p.name.empty() && declared && i < declared->size())
            p.name = (*declared)[i].name;
        p.type = a.type.sql;
        p.output = a.output;
        if (declared) {
            for (const DeclaredParameter &d : *declared) {
                if (tsql::iequals(d.name, p.name)) {
                    p.type = d.type;
                    p.output = a.output && d.output;
                }
            }
        }
        p.value = a.value;
        parameters.push_back(std::move(p));
    }
    logStatement("rpc", statement);
    Tally tally;
    std::unique_ptr<tsql::BatchRun> run = start(statement, parameters, tally);
    if (run) {
        const bool errorBefore = tally.anyError;
        tally = stream(*run, tds::token::DoneInProc);
        tally.anyError = tally.anyError || errorBefore;
    }
    if (tally.pendingDone)
        m_tokens.done(tds::token::DoneInProc, tally.status | tds::done::More, tally.curCmd, tally.count);
    syncEnvironment(statement, tally);
    m_tokens.returnStatus(run ? run->returnStatus() : 0);
    if (handleOrdinal >= 0)
        m_tokens.returnValue(static_cast<std::uint16_t>(handleOrdinal), "@handle", tsql::SqlType(tsql::Base::Int),
                             tsql::Value::integer(handle, tsql::SqlType(tsql::Base::Int)));
    if (run && !run->cancelled()) {
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            if (!parameters[i].output)
                continue;
            for (const tsql::Parameter &out : run->outputs()) {
                if (tsql::iequals(out.name, parameters[i].name)) {
                    m_tokens.returnValue(arguments[i].ordinal, parameters[i].name, parameters[i].type, out.value);
                    break;
                }
            }
        }
    }
    endProcedure(last, tally.anyError);
}

// Any other procedure: EXEC with the call's parameters passed through, by name where the client
// named them and by position otherwise.
void RequestRunner::runProcedure(const tds::RpcCall &call, bool last)
{
    std::string statement = "EXEC " + bracketedName(call.procName);
    std::string declarations;
    std::vector<Argument> arguments;
    for (std::size_t i = 0; i < call.parameters.size(); ++i) {
        const tds::RpcParameter &p = call.parameters[i];
        if (p.useDefault)
            continue;
        const std::string variable = "@P" + std::to_string(i + 1);
        statement += arguments.empty() ? " " : ", ";
        if (!p.name.empty())
            statement += p.name + " = ";
        statement += variable + (p.output ? " OUTPUT" : "");
        declarations += (declarations.empty() ? "" : ", ") + variable + " " + p.type.sql.display() +
                        (p.output ? " OUTPUT" : "");
        arguments.push_back({static_cast<std::uint16_t>(i), &p});
    }
    tds::RpcCall renamed = call;
    std::vector<tds::RpcParameter> copies;
    for (const Argument &a : arguments) {
        tds::RpcParameter copy = *a.parameter;
        copy.name = "@P" + std::to_string(a.ordinal + 1);
        copies.push_back(std::move(copy));
    }
    std::vector<Argument> renamedArguments;
    for (std::size_t i = 0; i < copies.size(); ++i)
        renamedArguments.push_back({arguments[i].ordinal, &copies[i]});
    executeWithParameters(renamed, statement, declarations, renamedArguments, -1, 0, last);
}

} // namespace server
