#pragma once
// SQL Server's messages for the failures the engine reports, so every place that raises one
// words it the same way.

#include "tsql/Session.h"

#include <string>

namespace tsql::err {

inline Error invalidObject(const std::string &n) { return Error(208, 16, 1, "Invalid object name '" + n + "'."); }
inline Error invalidColumn(const std::string &n) { return Error(207, 16, 1, "Invalid column name '" + n + "'."); }
inline Error ambiguousColumn(const std::string &n) { return Error(209, 16, 1, "Ambiguous column name '" + n + "'."); }
inline Error syntax(const std::string &near) { return Error(102, 15, 1, "Incorrect syntax near '" + near + "'."); }
inline Error syntaxKeyword(const std::string &kw) { return Error(156, 15, 1, "Incorrect syntax near the keyword '" + kw + "'."); }
inline Error unclosedQuote(const std::string &rest)
{
    return Error(105, 15, 1, "Unclosed quotation mark after the character string '" + rest + "'.");
}
inline Error cannotDrop(const std::string &n)
{
    return Error(3701, 11, 5, "Cannot drop the table '" + n + "', because it does not exist or you do not have permission.");
}
inline Error cannotFind(const std::string &n)
{
    return Error(4701, 16, 1, "Cannot find the object \"" + n + "\" because it does not exist or you do not have permissions.");
}
inline Error alreadyExists(const std::string &n) { return Error(2714, 16, 6, "There is already an object named '" + n + "' in the database."); }
inline Error duplicateColumn(const std::string &c, const std::string &t)
{
    return Error(2705, 16, 4, "Column names in each table must be unique. Column name '" + c + "' in table '" + t + "' is specified more than once.");
}
inline Error alterMissingColumn(const std::string &c, const std::string &t)
{
    return Error(4924, 16, 1, "ALTER TABLE ALTER COLUMN failed because column '" + c + "' does not exist in table '" + t + "'.");
}
inline Error multipleIdentity(const std::string &t)
{
    return Error(2744, 16, 2, "Multiple identity columns specified for table '" + t + "'. Only one identity column per table is allowed.");
}
inline Error truncated(const std::string &t, const std::string &c, const std::string &v)
{
    return Error(2628, 16, 1, "String or binary data would be truncated in table '" + t + "', column '" + c + "'. Truncated value: '" + v + "'.");
}
inline Error nestedTooDeeply()
{
    return Error(191, 15, 1, "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries.");
}
inline Error badDate() { return Error(241, 16, 1, "Conversion failed when converting date and/or time from character string."); }
inline Error dateOutOfRange()
{
    return Error(242, 16, 3, "The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.");
}
inline Error badConversion(const std::string &from, const std::string &v, const std::string &to)
{
    return Error(245, 16, 1, "Conversion failed when converting the " + from + " value '" + v + "' to data type " + to + ".");
}
inline Error conversionOverflow(const std::string &from, const std::string &v, const std::string &to)
{
    return Error(248, 16, 1, "The conversion of the " + from + " value '" + v + "' overflowed an " + to + " column.");
}
inline Error floatConversion(const std::string &from) { return Error(8114, 16, 5, "Error converting data type " + from + " to float."); }
inline Error overflowValue(const std::string &type, const std::string &v)
{
    return Error(220, 16, 1, "Arithmetic overflow error for data type " + type + ", value = " + v + ".");
}
inline Error overflow(const std::string &type)
{
    return Error(8115, 16, 2, "Arithmetic overflow error converting expression to data type " + type + ".");
}
inline Error divideByZero() { return Error(8134, 16, 1, "Divide by zero error encountered."); }
inline Error primaryKey(const std::string &k, const std::string &t, const std::string &v)
{
    return Error(2627, 14, 1, "Violation of PRIMARY KEY constraint '" + k + "'. Cannot insert duplicate key in object '" + t + "'. The duplicate key value is (" + v + ").");
}
inline Error uniqueIndex(const std::string &t, const std::string &i, const std::string &v)
{
    return Error(2601, 14, 1, "Cannot insert duplicate key row in object '" + t + "' with unique index '" + i + "'. The duplicate key value is (" + v + ").");
}
inline Error notNull(const std::string &c, const std::string &t, const std::string &op)
{
    return Error(515, 16, 2, "Cannot insert the value NULL into column '" + c + "', table '" + t + "'; column does not allow nulls. " + op + " fails.");
}
inline Error valueCount() { return Error(213, 16, 1, "Column name or number of supplied values does not match table definition."); }
inline Error moreColumns()
{
    return Error(109, 15, 1, "There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement.");
}
inline Error fewerColumns()
{
    return Error(110, 15, 1, "There are fewer columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement.");
}
inline Error selectFewer()
{
    return Error(120, 15, 1, "The select list for the INSERT statement contains fewer items than the insert list. The number of SELECT values must match the number of INSERT columns.");
}
inline Error selectMore()
{
    return Error(121, 15, 1, "The select list for the INSERT statement contains more items than the insert list. The number of SELECT values must match the number of INSERT columns.");
}
inline Error identityWithoutList(const std::string &t)
{
    return Error(8101, 16, 1, "An explicit value for the identity column in table '" + t + "' can only be specified when a column list is used and IDENTITY_INSERT is ON.");
}
inline Error identityInsertOff(const std::string &t)
{
    return Error(544, 16, 1, "Cannot insert explicit value for identity column in table '" + t + "' when IDENTITY_INSERT is set to OFF.");
}
inline Error identityUpdate(const std::string &c) { return Error(8102, 16, 1, "Cannot update identity column '" + c + "'."); }
inline Error databaseMissing(const std::string &d)
{
    return Error(911, 16, 1, "Database '" + d + "' does not exist. Make sure that the name is entered correctly.");
}
inline Error cannotOpen(const std::string &d)
{
    return Error(4060, 11, 1, "Cannot open database \"" + d + "\" requested by the login. The login failed.");
}
inline Error noIdentity(const std::string &t)
{
    return Error(8106, 16, 1, "Table '" + t + "' does not have the identity property. Cannot perform SET operation.");
}
inline Error readOnlyDatabase(const std::string &db)
{
    if (db.empty())
        return Error(3906, 16, 1, "Failed to update the database because the database is read-only.");
    return Error(3906, 16, 1, "Failed to update database \"" + db + "\" because the database is read-only.");
}
inline Error noBeginTransaction(const std::string &request)
{
    return Error(request == "COMMIT" ? 3902 : 3903, 16, 1,
                 "The " + request + " TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}
inline Error unsupported(const std::string &what) { return Error(40517, 16, 1, "Keyword or statement option '" + what + "' is not supported in this version of SQL Server."); }

} // namespace tsql::err
