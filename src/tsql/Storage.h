#pragma once
// How each T-SQL type is held in SQLite, so that SQLite's own comparisons, indexes, ORDER BY,
// DISTINCT, MIN and MAX work on the stored form within one type:
//   bit and the integer types          INTEGER
//   money, smallmoney                  INTEGER, the amount times 10,000
//   decimal/numeric(p <= 18)           INTEGER, the unscaled value
//   decimal/numeric(p > 18)            BLOB of 16 bytes: the unscaled value big-endian with the
//                                      sign bit flipped, so that byte order is number order
//   float, real                        REAL
//   char, varchar, nchar, nvarchar...  TEXT (UTF-8)
//   binary, varbinary, image           BLOB
//   date and time types                TEXT in the forms of dt::toStorage (sorts in time order)
//   uniqueidentifier                   TEXT, upper case
// Values of two different types meet only after the compiler converted one to the other.

#include "tsql/Value.h"

#include <sqlite3.h>

namespace tsql::storage {

void bind(sqlite3_stmt *s, int index, const Value &v);
void result(sqlite3_context *ctx, const Value &v);
// Reads a stored value as type t. A stored form that belongs to another type (a database made
// by an older engine, a value SQLite computed) is converted where that is exact.
Value read(sqlite3_value *v, const SqlType &t);
Value column(sqlite3_stmt *s, int index, const SqlType &t);
// The same into a value kept from the row before.
void columnInto(Value &out, sqlite3_stmt *s, int index, const SqlType &t);

// The 16-byte order-preserving form of a wide decimal, and back.
std::string encodeWide(Int128 unscaled);
Int128 decodeWide(const void *bytes, int size);
bool isWide(const SqlType &t); // a decimal kept as a BLOB

} // namespace tsql::storage
