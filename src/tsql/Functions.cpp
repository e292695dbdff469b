#include "tsql/Functions.h"

#include "tsql/Convert.h"
#include "tsql/Errors.h"

#include <map>

namespace tsql::fn {

namespace {

struct Registry {
    std::vector<const Definition *> all;
    std::map<std::string, int> byName;

    Registry()
    {
        for (const auto *table : {&dateFunctions(), &textFunctions(), &mathFunctions(), &systemFunctions(), &formatFunctions()}) {
            for (const Definition &d : *table) {
                byName.emplace(d.name, static_cast<int>(all.size()));
                all.push_back(&d);
            }
        }
    }
};

const Registry &registry()
{
    static const Registry r;
    return r;
}

} // namespace

const Definition *find(std::string_view name)
{
    const auto &r = registry();
    const auto it = r.byName.find(lower(name));
    return it == r.byName.end() ? nullptr : r.all[static_cast<std::size_t>(it->second)];
}

const Definition &at(int index)
{
    const auto &r = registry();
    if (index < 0 || static_cast<std::size_t>(index) >= r.all.size())
        throw err::internal("unknown function number");
    return *r.all[static_cast<std::size_t>(index)];
}

int indexOf(const Definition &d)
{
    const auto &r = registry();
    return r.byName.at(d.name);
}

SqlType textResult(const SqlType &arg, int length)
{
    const bool unicode = arg.isUnicode();
    if (length != -1) {
        const int limit = unicode ? 4000 : 8000;
        if (length > limit)
            length = limit;
        if (length < 1)
            length = 1;
    }
    return {unicode ? Base::NVarChar : Base::VarChar, length};
}

Value toText(const Value &v)
{
    if (v.isNull())
        return v;
    if (v.type() == Value::Type::Text)
        return v;
    return conv::convert(v, SqlType::nvarchar(-1));
}

} // namespace tsql::fn
