#pragma once
// Every call into the engine goes through callEngine, so that the program only ever sees
// DatabaseError with the engine's text and SQL Server's numbers. Code that calls the engine itself
// (the embedded connection, the demo generator) links tsql, which this header needs.

#include "platform/Failure.h"
#include "tsql/Session.h"

#include <exception>
#include <new>
#include <utility>

namespace platform {

template<typename F>
auto callEngine(F &&f) -> decltype(f())
{
    try {
        return std::forward<F>(f)();
    } catch (const tsql::Error &e) {
        throw DatabaseError(QString::fromStdString(e.what()), e.number(), e.severity(), e.state());
    } catch (const Failure &) {
        throw;
    } catch (const std::bad_alloc &) {
        throw;
    } catch (const std::exception &e) {
        throw DatabaseError(QString::fromStdString(e.what()));
    }
}

} // namespace platform
