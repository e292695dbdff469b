#pragma once
// The catalogue of SQL Server messages the engine raises: every error is made here, by its
// number, with SQL Server's wording, severity and state, so that no two places word one message
// differently. Errors.cpp holds the table.

#include "tsql/Error.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace tsql::err {

// What an error stops when it happens while a batch runs (after Erland Sommarskog's
// classification of SQL Server's behaviour, with SQL Server's own documentation where it says).
enum class Scope {
    Statement, // the statement is undone; the batch goes on
    Batch,     // the batch stops and an open transaction is rolled back
    Compile,   // the batch stops; an open transaction stays open (name resolution at run time)
};

// Builds the message with this number; each %s of its text takes the next argument.
Error make(int number, std::initializer_list<std::string_view> args = {});

template <typename... Args>
Error make(int number, const Args &...args)
{
    auto text = [](const auto &a) -> std::string {
        using T = std::decay_t<decltype(a)>;
        if constexpr (std::is_arithmetic_v<T>)
            return std::to_string(a);
        else
            return std::string(a);
    };
    const std::string parts[] = {text(args)...};
    if constexpr (sizeof...(Args) == 1)
        return make(number, {std::string_view(parts[0])});
    else if constexpr (sizeof...(Args) == 2)
        return make(number, {std::string_view(parts[0]), std::string_view(parts[1])});
    else if constexpr (sizeof...(Args) == 3)
        return make(number, {std::string_view(parts[0]), std::string_view(parts[1]), std::string_view(parts[2])});
    else if constexpr (sizeof...(Args) == 4)
        return make(number, {std::string_view(parts[0]), std::string_view(parts[1]), std::string_view(parts[2]),
                             std::string_view(parts[3])});
    else
        static_assert(sizeof...(Args) <= 4, "at most four arguments");
}

// The text SQL Server raises with this state, where one number has a text per state.
Error makeWithState(int number, int state, std::initializer_list<std::string_view> args = {});

// The same message with another state than the catalogue's, where SQL Server raises one
// number from several places.
Error withState(const Error &e, int state);

Scope scopeOf(int number);

// A failure of the engine itself, not of the statement: reported with the engine's own words
// and never dressed up as one of SQL Server's messages.
Error internal(std::string_view what);
// Memory ran out (std::bad_alloc anywhere in a statement): SQL Server's 701.
Error outOfMemory();

} // namespace tsql::err
