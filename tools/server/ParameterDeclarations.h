#pragma once
// The parameter list sp_executesql and sp_prepare receive as text
// ("@id int, @name varchar(30), @total decimal(10,2) OUTPUT"): names, declared types, and
// which are output parameters.

#include "tsql/Types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace server {

struct DeclaredParameter {
    std::string name; // with its @
    tsql::SqlType type;
    bool output = false;
};

// nullopt when the text is not a parameter list; the engine then reports the statement's own
// errors about the parameters it cannot find.
std::optional<std::vector<DeclaredParameter>> parseDeclarations(std::string_view text);

} // namespace server
