#include "tsql/Procedures.h"

#include "tsql/Batch.h"
#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Parser.h"
#include "tsql/SystemProcedures.h"

namespace tsql {

using namespace ast;

namespace {

// Runs a batch of its own on the same session (dynamic SQL, sp_executesql) and passes what it
// produces on, its result sets read into memory: they belong to the outer batch's stream.
void nested(BatchRunner &b, const std::string &text, std::vector<Parameter> parameters,
            std::vector<Parameter> *outputs)
{
    BatchRunner inner(b.engine(), text, std::move(parameters), false);
    while (inner.next()) {
        switch (inner.item()) {
        case BatchRun::Item::Rows: {
            Result &r = inner.rows();
            std::vector<std::vector<Value>> rows;
            while (r.next()) {
                std::vector<Value> row;
                for (std::size_t i = 0; i < r.columns().size(); ++i)
                    row.push_back(r.value(i));
                rows.push_back(std::move(row));
            }
            b.queueRows(std::make_unique<MemoryResult>(r.columns(), std::move(rows)));
            break;
        }
        case BatchRun::Item::Done:
            // The outer batch counts the rows of the result sets it passes on itself.
            if (inner.count() >= 0 || b.engine().state().nocount)
                b.queueDone(inner.count());
            break;
        case BatchRun::Item::Message: {
            Message m = inner.message();
            b.queueMessage(std::move(m));
            break;
        }
        }
    }
    if (outputs)
        *outputs = inner.outputs();
}

Value argumentValue(BatchRunner &b, const ExecArgument &a)
{
    return a.value ? b.evaluate(*a.value) : Value::null();
}

void executeSql(BatchRunner &b, const Execute &s)
{
    if (s.args.empty())
        throw err::make(201, "sp_executesql", "@statement").atLine(s.line);
    const Value statement = argumentValue(b, s.args[0]);
    if (statement.isNull())
        return;
    if (!statement.sqlType().isUnicode() && statement.sqlType().base != Base::NText)
        throw err::make(214, "@statement", "ntext/nchar/nvarchar").atLine(s.line);
    std::vector<Parser::ParameterDef> defs;
    if (s.args.size() > 1) {
        const Value list = argumentValue(b, s.args[1]);
        if (!list.isNull()) {
            const std::string text = conv::toText(list);
            const std::vector<Token> tokens = tokenize(text);
            Parser p(text, tokens);
            defs = p.parameterList();
        }
    }
    std::vector<Parameter> params;
    std::vector<std::pair<std::string, std::string>> outputsTo; // parameter, outer variable
    for (const auto &d : defs) {
        Parameter p;
        p.name = d.name;
        p.type = d.type;
        p.value = Value::null(d.type);
        p.output = d.output;
        params.push_back(std::move(p));
    }
    // The values: by position after the statement and the list, or by name.
    std::size_t position = 0;
    for (std::size_t i = 2; i < s.args.size(); ++i) {
        const ExecArgument &a = s.args[i];
        std::size_t index = position;
        if (!a.name.empty()) {
            index = params.size();
            for (std::size_t k = 0; k < params.size(); ++k)
                if (iequals(params[k].name, a.name))
                    index = k;
            if (index == params.size())
                throw err::make(8145, a.name, "sp_executesql").atLine(s.line);
        } else {
            ++position;
        }
        if (index >= params.size())
            throw err::make(8144, "sp_executesql").atLine(s.line);
        const Value v = argumentValue(b, a);
        params[index].value = v.isNull() ? Value::null(params[index].type) : conv::convert(v, params[index].type);
        if (a.output && a.value && a.value->kind == Expr::Kind::Variable)
            outputsTo.emplace_back(params[index].name, a.value->as<Variable>().name);
    }
    std::vector<Parameter> outputs;
    nested(b, conv::toText(statement), std::move(params), &outputs);
    for (const auto &[param, variable] : outputsTo)
        for (const Parameter &o : outputs)
            if (iequals(o.name, param))
                b.assign(variable, "=", o.value);
}

} // namespace

void runProcedure(BatchRunner &b, const Execute &s)
{
    if (s.dynamicSql) {
        const Value text = b.evaluate(*s.dynamicSql);
        if (!text.isNull())
            nested(b, conv::toText(text), {}, nullptr);
        return;
    }
    std::string name = s.procedure.name;
    if (!s.procedureVariable.empty()) {
        LocalVariable *v = b.variable(s.procedureVariable);
        if (!v)
            throw err::make(137, s.procedureVariable).atLine(s.line);
        name = conv::toText(v->value);
    }
    int status = 0;
    if (iequals(name, "sp_executesql")) {
        executeSql(b, s);
    } else {
        std::vector<Value> args;
        std::vector<std::string> argNames;
        for (const ExecArgument &a : s.args) {
            args.push_back(argumentValue(b, a));
            argNames.push_back(a.name);
        }
        if (!runSystemProcedure(b, lower(name), args, argNames, status))
            throw err::make(2812, s.procedure.written.empty() ? name : s.procedure.written).atLine(s.line);
    }
    if (!s.returnVariable.empty())
        b.assign(s.returnVariable, "=", Value::integer(status, SqlType{Base::Int}));
}

} // namespace tsql
