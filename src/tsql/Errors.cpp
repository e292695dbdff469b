#include "tsql/Errors.h"

#include <algorithm>
#include <array>

namespace tsql::err {

namespace {

struct Message {
    int number;
    int severity;
    int state;
    const char *text; // %s takes the next argument
    Scope scope = Scope::Statement;
};

// Sorted by number. Texts as SQL Server words them (sys.messages, English).
constexpr Message messages[] = {
    {17, 16, 1, "SQL Server does not exist or access denied."},
    {102, 15, 1, "Incorrect syntax near '%s'.", Scope::Compile},
    {103, 15, 4, "The %s that starts with '%s' is too long. Maximum length is %s.", Scope::Compile},
    {104, 16, 1, "ORDER BY items must appear in the select list if the statement contains a UNION, INTERSECT or EXCEPT operator.", Scope::Compile},
    {105, 15, 1, "Unclosed quotation mark after the character string '%s'.", Scope::Compile},
    {107, 16, 1, "The column prefix '%s' does not match with a table name or alias name used in the query.", Scope::Compile},
    {108, 16, 1, "The ORDER BY position number %s is out of range of the number of items in the select list.", Scope::Compile},
    {109, 15, 1, "There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement.", Scope::Compile},
    {110, 15, 1, "There are fewer columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement.", Scope::Compile},
    {113, 15, 1, "Missing end comment mark '*/'.", Scope::Compile},
    {116, 16, 1, "Only one expression can be specified in the select list when the subquery is not introduced with EXISTS.", Scope::Compile},
    {120, 15, 1, "The select list for the INSERT statement contains fewer items than the insert list. The number of SELECT values must match the number of INSERT columns.", Scope::Compile},
    {121, 15, 1, "The select list for the INSERT statement contains more items than the insert list. The number of SELECT values must match the number of INSERT columns.", Scope::Compile},
    {130, 16, 1, "Cannot perform an aggregate function on an expression containing an aggregate or a subquery.", Scope::Compile},
    {131, 15, 2, "The size (%s) given to the %s '%s' exceeds the maximum allowed for any data type (%s).", Scope::Compile},
    {132, 15, 1, "The label '%s' has already been declared. Label names must be unique within a query batch or stored procedure.", Scope::Compile},
    {133, 15, 1, "A GOTO statement references the label '%s' but the label has not been declared.", Scope::Compile},
    {134, 15, 1, "The variable name '%s' has already been declared. Variable names must be unique within a query batch or stored procedure.", Scope::Compile},
    {135, 15, 1, "Cannot use a %s statement outside the scope of a WHILE statement.", Scope::Compile},
    {137, 15, 2, "Must declare the scalar variable \"%s\".", Scope::Compile},
    {141, 15, 1, "A SELECT statement that assigns a value to a variable must not be combined with data-retrieval operations.", Scope::Compile},
    {144, 15, 1, "Cannot use an aggregate or a subquery in an expression used for the group by list of a GROUP BY clause.", Scope::Compile},
    {145, 15, 1, "ORDER BY items must appear in the select list if SELECT DISTINCT is specified.", Scope::Compile},
    {147, 15, 1, "An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a HAVING clause or a select list, and the column being aggregated is an outer reference.", Scope::Compile},
    {155, 15, 1, "'%s' is not a recognized %s option.", Scope::Compile},
    {156, 15, 1, "Incorrect syntax near the keyword '%s'.", Scope::Compile},
    {157, 15, 1, "An aggregate may not appear in the set list of an UPDATE statement.", Scope::Compile},
    {168, 15, 1, "The floating point value '%s' is out of the range of computer representation (8 bytes).", Scope::Compile},
    {174, 15, 1, "The %s function requires %s argument(s).", Scope::Compile},
    {189, 15, 1, "The %s function requires %s to %s arguments.", Scope::Compile},
    {191, 15, 1, "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries.", Scope::Compile},
    {195, 15, 5, "'%s' is not a recognized SET option.", Scope::Compile},
    {195, 15, 10, "'%s' is not a recognized built-in function name.", Scope::Compile},
    {201, 16, 4, "Procedure or function '%s' expects parameter '%s', which was not supplied."},
    {205, 16, 1, "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal number of expressions in their target lists.", Scope::Compile},
    {206, 16, 2, "Operand type clash: %s is incompatible with %s", Scope::Compile},
    {207, 16, 1, "Invalid column name '%s'.", Scope::Compile},
    {208, 16, 1, "Invalid object name '%s'.", Scope::Compile},
    {209, 16, 1, "Ambiguous column name '%s'.", Scope::Compile},
    {211, 23, 8, "Possible schema corruption. Run DBCC CHECKCATALOG.", Scope::Batch},
    {213, 16, 1, "Column name or number of supplied values does not match table definition.", Scope::Compile},
    {214, 16, 2, "Procedure expects parameter '%s' of type '%s'."},
    {220, 16, 1, "Arithmetic overflow error for data type %s, value = %s."},
    {226, 16, 6, "%s statement not allowed within multi-statement transaction."},
    {229, 14, 5, "The %s permission was denied on the object '%s', database '%s', schema 'dbo'."},
    {232, 16, 3, "Arithmetic overflow error for type %s, value = %s."},
    {235, 16, 0, "Cannot convert a char value to money. The char value has incorrect syntax.", Scope::Batch},
    {240, 16, 1, "Types don't match between the anchor and the recursive part in column \"%s\" of recursive query \"%s\".", Scope::Compile},
    {241, 16, 1, "Conversion failed when converting date and/or time from character string.", Scope::Batch},
    {242, 16, 3, "The conversion of a %s data type to a %s data type resulted in an out-of-range value.", Scope::Batch},
    {244, 16, 1, "The conversion of the %s value '%s' overflowed an %s column. Use a larger integer column.", Scope::Batch},
    {245, 16, 1, "Conversion failed when converting the %s value '%s' to data type %s.", Scope::Batch},
    {248, 16, 1, "The conversion of the %s value '%s' overflowed an %s column. Use a larger integer column.", Scope::Batch},
    {252, 16, 1, "Recursive common table expression '%s' does not contain a top-level UNION ALL operator.", Scope::Compile},
    {257, 16, 3, "Implicit conversion from data type %s to %s is not allowed. Use the CONVERT function to run this query.", Scope::Compile},
    {262, 14, 1, "%s permission denied in database '%s'."},
    {263, 16, 1, "Must specify table to select from.", Scope::Compile},
    {264, 16, 1, "The column name '%s' is specified more than once in the SET clause or column list of an INSERT. A column cannot be assigned more than one value in the same clause. Modify the clause to make sure that a column is updated only once. If this statement updates or inserts columns into a view, column aliasing can conceal these changes.", Scope::Compile},
    {271, 16, 1, "The column \"%s\" cannot be modified because it is either a computed column or is the result of a UNION operator.", Scope::Compile},
    {281, 16, 1, "%s is not a valid style number when converting from %s to a character string.", Scope::Batch},
    {289, 16, 1, "Cannot construct data type %s, some of the arguments have values which are not valid.", Scope::Batch},
    {293, 16, 0, "Cannot convert a char value to smallmoney. The char value has incorrect syntax.", Scope::Batch},
    {295, 16, 3, "Conversion failed when converting character string to smalldatetime data type.", Scope::Batch},
    {296, 16, 3, "The conversion of char data type to smalldatetime data type resulted in an out-of-range value.", Scope::Batch},
    {402, 16, 1, "The data types %s and %s are incompatible in the %s operator.", Scope::Compile},
    {403, 16, 1, "Invalid operator for data type. Operator equals %s, type equals %s.", Scope::Compile},
    {408, 16, 1, "A constant expression was encountered in the ORDER BY list, position %s.", Scope::Compile},
    {447, 16, 1, "Expression type %s is invalid for COLLATE clause.", Scope::Compile},
    {448, 16, 1, "Invalid collation '%s'.", Scope::Compile},
    {506, 16, 1, "The invalid escape character \"%s\" was specified in a LIKE predicate."},
    {512, 16, 1, "Subquery returned more than 1 value. This is not permitted when the subquery follows =, !=, <, <= , >, >= or when the subquery is used as an expression."},
    {515, 16, 2, "Cannot insert the value NULL into column '%s', table '%s'; column does not allow nulls. %s fails."},
    {517, 16, 1, "Adding a value to a '%s' column caused an overflow."},
    {529, 16, 2, "Explicit conversion from data type %s to %s is not allowed.", Scope::Compile},
    {530, 16, 1, "The statement terminated. The maximum recursion %s has been exhausted before statement completion."},
    {535, 16, 0, "The datediff function resulted in an overflow. The number of dateparts separating two date/time instances is too large. Try to use datediff with a less precise datepart."},
    {536, 16, 1, "Invalid length parameter passed to the %s function."},
    {537, 16, 3, "Invalid length parameter passed to the LEFT or SUBSTRING function."},
    {544, 16, 1, "Cannot insert explicit value for identity column in table '%s' when IDENTITY_INSERT is set to OFF."},
    {545, 16, 1, "Explicit value must be specified for identity column in table '%s' either when IDENTITY_INSERT is set to ON or when a replication user is inserting into a NOT FOR REPLICATION identity column."},
    {547, 16, 0, "The %s statement conflicted with the %s constraint \"%s\". The conflict occurred in database \"%s\", table \"%s\"%s."},
    {628, 16, 0, "Cannot issue SAVE TRANSACTION when there is no active transaction."},
    {701, 17, 123, "There is insufficient system memory in resource pool 'default' to run this query.", Scope::Batch},
    {823, 24, 2, "The operating system returned an error to SQL Server during a read or write of the database.", Scope::Batch},
    {824, 24, 2, "SQL Server detected a logical consistency-based I/O error.", Scope::Batch},
    {911, 16, 1, "Database '%s' does not exist. Make sure that the name is entered correctly.", Scope::Compile},
    {916, 14, 1, "The server principal \"%s\" is not able to access the database \"%s\" under the current security context."},
    {1001, 15, 1, "Line %s: Length or precision specification %s is invalid.", Scope::Compile},
    {1002, 15, 1, "Line %s: Specified scale %s is invalid.", Scope::Compile},
    {1006, 15, 1, "Percent values must be between 0 and 100."},
    {1007, 15, 1, "The number '%s' is out of the range for numeric representation (maximum precision 38).", Scope::Compile},
    {1008, 15, 1, "The SELECT item identified by the ORDER BY number %s contains a variable as part of the expression identifying a column position. Variables are only allowed when ordering by an expression referencing a column name.", Scope::Compile},
    {1011, 16, 1, "The correlation name '%s' is specified multiple times in a FROM clause.", Scope::Compile},
    {1013, 16, 1, "The objects \"%s\" and \"%s\" in the FROM clause have the same exposed names. Use correlation names to distinguish them.", Scope::Compile},
    {1014, 15, 1, "A TOP or FETCH clause contains an invalid value."},
    {1023, 15, 1, "Invalid parameter %s specified for %s.", Scope::Compile},
    {1033, 15, 1, "The ORDER BY clause is invalid in views, inline functions, derived tables, subqueries, and common table expressions, unless TOP, OFFSET or FOR XML is also specified.", Scope::Compile},
    {1038, 15, 5, "An object or column name is missing or empty. For SELECT INTO statements, verify each column has a name. For other statements, look for empty alias names. Aliases defined as \"\" or [] are not allowed. Change the alias to a valid name.", Scope::Compile},
    {1060, 15, 1, "The number of rows in the TOP clause must be an integer.", Scope::Compile},
    {1062, 15, 1, "The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY clause.", Scope::Compile},
    {1087, 15, 2, "Must declare the table variable \"%s\".", Scope::Compile},
    {1088, 16, 12, "Cannot find the object \"%s\" because it does not exist or you do not have permissions."},
    {1105, 17, 2, "Could not allocate space for object in database because the filegroup is full.", Scope::Batch},
    {1222, 16, 51, "Lock request time out period exceeded."},
    {1223, 16, 1, "Cannot release the application lock (Database Principal: '%s', Resource: '%s') because it is not currently held."},
    {1505, 16, 1, "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object name '%s' and the index name '%s'. The duplicate key value is (%s)."},
    {1750, 16, 0, "Could not create constraint or index. See previous errors."},
    {1767, 16, 0, "Foreign key '%s' references invalid table '%s'."},
    {1769, 16, 1, "Foreign key '%s' references invalid column '%s' in referencing table '%s'."},
    {1776, 16, 0, "There are no primary or candidate keys in the referenced table '%s' that match the referencing column list in the foreign key '%s'."},
    {1779, 16, 0, "Table '%s' already has a primary key defined on it."},
    {1781, 16, 1, "Column already has a DEFAULT bound to it."},
    {1801, 16, 3, "Database '%s' already exists. Choose a different database name."},
    {1911, 16, 1, "Column name '%s' does not exist in the target table or view."},
    {1913, 16, 1, "The operation failed because an index or statistics with name '%s' already exists on table '%s'."},
    {2501, 16, 45, "Cannot find a table or object with the name '%s'. Check the system catalog."},
    {2520, 16, 11, "Could not find database '%s'. The database either does not exist, or was dropped before a statement tried to use it. Verify if the database exists by querying the sys.databases catalog view."},
    {2526, 16, 3, "Incorrect DBCC statement. Check the documentation for the correct DBCC syntax and options."},
    {2528, 10, 1, "DBCC execution completed. If DBCC printed error messages, contact your system administrator."},
    {2532, 16, 1, "One or more WITH options specified are not valid for this command."},
    {2536, 10, 1, "DBCC results for '%s'."},
    {2571, 14, 3, "User '%s' does not have permission to run DBCC %s."},
    {2583, 16, 1, "An incorrect number of parameters was given to the DBCC statement."},
    {2593, 10, 1, "There are %s rows in %s pages for object \"%s\"."},
    {2601, 14, 1, "Cannot insert duplicate key row in object '%s' with unique index '%s'. The duplicate key value is (%s)."},
    {2627, 14, 1, "Violation of %s constraint '%s'. Cannot insert duplicate key in object '%s'. The duplicate key value is (%s)."},
    {2628, 16, 1, "String or binary data would be truncated in table '%s', column '%s'. Truncated value: '%s'."},
    {2702, 16, 2, "Database '%s' does not exist."},
    {2705, 16, 4, "Column names in each table must be unique. Column name '%s' in table '%s' is specified more than once."},
    {2714, 16, 6, "There is already an object named '%s' in the database."},
    {2715, 16, 6, "Column, parameter, or variable #%s: Cannot find data type %s.", Scope::Compile},
    {2732, 16, 1, "Error: '%s' is not a supported language."},
    {2741, 16, 1, "SET DATEFORMAT date order is invalid."},
    {2742, 16, 1, "SET DATEFIRST value is out of range."},
    {2744, 16, 2, "Multiple identity columns specified for table '%s'. Only one identity column per table is allowed."},
    {2749, 16, 2, "Identity column '%s' must be of data type int, bigint, smallint, tinyint, or decimal or numeric with a scale of 0, and constrained to be nonnullable."},
    {2750, 16, 1, "Column or parameter #%s: Specified column precision %s is greater than the maximum precision of %s.", Scope::Compile},
    {2751, 16, 1, "Column or parameter #%s: Specified column scale %s is greater than the specified precision of %s.", Scope::Compile},
    {2754, 16, 1, "Error severity levels greater than 18 can only be specified by members of the sysadmin role, using the WITH LOG option."},
    {2760, 16, 1, "The specified schema name \"%s\" either does not exist or you do not have permission to use it."},
    {2812, 16, 62, "Could not find stored procedure '%s'."},
    {3617, 25, 1, "The query was cancelled.", Scope::Batch},
    {3623, 16, 1, "An invalid floating point operation occurred."},
    {3701, 11, 5, "Cannot drop the %s '%s', because it does not exist or you do not have permission."},
    {3705, 16, 1, "Cannot use DROP TABLE with '%s' because '%s' is a view. Use DROP VIEW."},
    {3706, 16, 1, "Cannot use DROP VIEW with '%s' because '%s' is a table. Use DROP TABLE."},
    {3723, 16, 4, "An explicit DROP INDEX is not allowed on index '%s'. It is being used for %s constraint enforcement."},
    {3726, 16, 1, "Could not drop object '%s' because it is referenced by a FOREIGN KEY constraint."},
    {3727, 16, 0, "Could not drop constraint. See previous errors."},
    {3728, 16, 1, "'%s' is not a constraint."},
    {3729, 16, 1, "Cannot DROP VIEW '%s' because it is being referenced by object '%s'."},
    {3852, 10, 1, "Row (%s) in sys.%s%s does not have a matching row (%s) in sys.%s%s."},
    {3853, 10, 1, "Attribute (%s) of row (%s) in sys.%s%s does not have a matching row (%s) in sys.%s%s."},
    {3854, 10, 1, "Attribute (%s) of row (%s) in sys.%s%s has a matching row (%s) in sys.%s%s that is invalid."},
    {3855, 10, 1, "Attribute (%s) exists without a row (%s) in sys.%s%s."},
    {3858, 10, 1, "The attribute (%s) of row (%s) in sys.%s%s has an invalid value."},
    {3902, 16, 1, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."},
    {3903, 16, 1, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."},
    {3906, 16, 1, "Failed to update database \"%s\" because the database is read-only."},
    {3930, 16, 1, "The current transaction cannot be committed and cannot support operations that write into the log file. Roll back the transaction."},
    {3931, 16, 1, "The current transaction cannot be committed and cannot be rolled back to a savepoint. Roll back the entire transaction."},
    {4060, 11, 1, "Cannot open database \"%s\" requested by the login. The login failed."},
    {4103, 15, 1, "\"%s\": Temporary views are not allowed.", Scope::Compile},
    {4104, 16, 1, "The multi-part identifier \"%s\" could not be bound.", Scope::Compile},
    {4108, 15, 1, "Windowed functions can only appear in the SELECT or ORDER BY clauses.", Scope::Compile},
    {4112, 15, 1, "The function '%s' must have an OVER clause with ORDER BY.", Scope::Compile},
    {4121, 16, 1, "Cannot find either column \"%s\" or the user-defined function or aggregate \"%s\", or the name is ambiguous.", Scope::Compile},
    {4127, 16, 1, "At least one of the arguments to COALESCE must be an expression that is not the NULL constant.", Scope::Compile},
    {4145, 15, 1, "An expression of non-boolean type specified in a context where a condition is expected.", Scope::Compile},
    {4406, 16, 1, "Update or insert of view or function '%s' failed because it contains a derived or constant field.", Scope::Compile},
    {4506, 16, 1, "Column names in each view or function must be unique. Column name '%s' in view or function '%s' is specified more than once."},
    {4511, 16, 1, "Create View or Function failed because no column name was specified for column %s."},
    {4701, 16, 1, "Cannot find the object \"%s\" because it does not exist or you do not have permissions."},
    {4712, 16, 1, "Cannot truncate table '%s' because it is being referenced by a FOREIGN KEY constraint."},
    {4901, 16, 1, "ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT definition specified, or the column being added is an identity or timestamp column, or alternatively if none of the previous conditions are satisfied the table must be empty to allow addition of this column. Column '%s' cannot be added to non-empty table '%s' because it does not satisfy these conditions."},
    {4902, 16, 1, "Cannot find the object \"%s\" because it does not exist or you do not have permissions."},
    {4917, 16, 0, "Constraint '%s' does not exist."},
    {4922, 16, 9, "ALTER TABLE %s %s failed because one or more objects access this column."},
    {4923, 16, 0, "ALTER TABLE DROP COLUMN failed because '%s' is the only data column in table '%s'. A table must have at least one data column."},
    {4924, 16, 1, "ALTER TABLE %s failed because column '%s' does not exist in table '%s'."},
    {4928, 16, 1, "Cannot alter column '%s' because it is '%s'."},
    {5074, 16, 1, "The %s '%s' is dependent on column '%s'."},
    {5120, 16, 101, "Unable to open the physical file \"%s\". Operating system error 5: \"5(Access is denied.)\"."},
    {5123, 16, 1, "CREATE FILE encountered operating system error %s while attempting to open or create the physical file '%s'."},
    {7119, 16, 1, "Attempting to grow LOB beyond maximum allowed size of %s bytes."},
    {7919, 16, 1, "Repair statement not processed. Database needs to be in single user mode."},
    {8101, 16, 1, "An explicit value for the identity column in table '%s' can only be specified when a column list is used and IDENTITY_INSERT is ON."},
    {8102, 16, 1, "Cannot update identity column '%s'."},
    {8106, 16, 1, "Table '%s' does not have the identity property. Cannot perform SET operation."},
    {8107, 16, 1, "IDENTITY_INSERT is already ON for table '%s'. Cannot perform SET operation for table '%s'."},
    {8110, 16, 0, "Cannot add multiple PRIMARY KEY constraints to table '%s'."},
    {8111, 16, 1, "Cannot define PRIMARY KEY constraint on nullable column in table '%s'."},
    {8114, 16, 5, "Error converting data type %s to %s.", Scope::Batch},
    {8115, 16, 2, "Arithmetic overflow error converting %s to data type %s."},
    {8116, 16, 1, "Argument data type %s is invalid for argument %s of %s function.", Scope::Compile},
    {8117, 16, 1, "Operand data type %s is invalid for %s operator.", Scope::Compile},
    {8118, 16, 1, "Column '%s' is invalid in the select list because it is not contained in an aggregate function and there is no GROUP BY clause.", Scope::Compile},
    {8119, 16, 1, "Column '%s' is invalid in the HAVING clause because it is not contained in an aggregate function and there is no GROUP BY clause.", Scope::Compile},
    {8120, 16, 1, "Column '%s' is invalid in the select list because it is not contained in either an aggregate function or the GROUP BY clause.", Scope::Compile},
    {8121, 16, 1, "Column '%s' is invalid in the HAVING clause because it is not contained in either an aggregate function or the GROUP BY clause.", Scope::Compile},
    {8127, 16, 1, "Column \"%s\" is invalid in the ORDER BY clause because it is not contained in either an aggregate function or the GROUP BY clause.", Scope::Compile},
    {8133, 16, 1, "At least one of the result expressions in a CASE specification must be an expression other than the NULL constant.", Scope::Compile},
    {8134, 16, 1, "Divide by zero error encountered."},
    {8144, 16, 2, "Procedure or function %s has too many arguments specified."},
    {8145, 16, 2, "%s is not a parameter for procedure %s."},
    {8152, 16, 14, "String or binary data would be truncated."},
    {8154, 16, 1, "The table '%s' is ambiguous.", Scope::Compile},
    {8155, 16, 2, "No column name was specified for column %s of '%s'.", Scope::Compile},
    {8156, 16, 1, "The column '%s' was specified multiple times for '%s'.", Scope::Compile},
    {8158, 16, 1, "'%s' has more columns than were specified in the column list.", Scope::Compile},
    {8159, 16, 1, "'%s' has fewer columns than were specified in the column list.", Scope::Compile},
    {8169, 16, 2, "Conversion failed when converting from a character string to uniqueidentifier.", Scope::Batch},
    {8178, 16, 1, "The parameterized query '%s' expects the parameter '%s', which was not supplied."},
    {8632, 17, 2, "Internal error: An expression services limit has been reached. Please look for potentially complex expressions in your query, and try to simplify them.", Scope::Compile},
    {8921, 16, 1, "Check terminated. A failure was detected while collecting facts. Possibly tempdb out of space or a system table is inconsistent. Check previous errors."},
    {8939, 16, 98, "Table error: Object ID %s, index ID %s, partition ID %s, alloc unit ID %s (type %s), page %s. Test (%s) failed. Values are %s and %s."},
    {8951, 16, 1, "Table error: table '%s' (ID %s). Data row does not have a matching index row in the index '%s' (ID %s). Possible missing or invalid keys for the index row matching:"},
    {8952, 16, 1, "Table error: table '%s' (ID %s). Index row in index '%s' (ID %s) does not match any data row. Possible extra or invalid keys for:"},
    {8954, 10, 1, "%s found %s allocation errors and %s consistency errors not associated with any single object."},
    {8970, 16, 1, "Row error: Object ID %s, index ID %s, partition ID %s, alloc unit ID %s (type %s), page ID %s, row ID %s. Column '%s' was created NOT NULL, but is NULL in the row."},
    {8989, 10, 1, "%s found %s allocation errors and %s consistency errors in database '%s'."},
    {8990, 10, 1, "%s found %s allocation errors and %s consistency errors in table '%s' (object ID %s)."},
    {8992, 16, 1, "Check Catalog Msg %s, State %s: %s"},
    {9806, 16, 1, "The datepart %s is not supported by date function %s.", Scope::Compile},
    {9808, 16, 1, "This session's YDM date format is not supported when converting from this character string format to date, time, datetime2 or datetimeoffset. Change the session's date format or provide a style to the explicit conversion.", Scope::Batch},
    {9809, 16, 1, "The style %s is not supported for conversions from %s to %s.", Scope::Compile},
    {9810, 16, 1, "The datepart %s is not supported by date function %s for data type %s.", Scope::Compile},
    {9814, 16, 1, "The date provided is before the start of the Hijri calendar which in Microsoft's 'Kuwaiti Algorithm' is July 15th, 622 C.E. (Julian calendar) or July 18th, 622 C.E (proleptic Gregorian calendar).", Scope::Batch},
    {9818, 16, 1, "The culture parameter '%s' provided in the function call is not supported."},
    {9828, 16, 1, "The second and third arguments of the TRANSLATE built-in function must contain an equal number of characters."},
    {10704, 15, 1, "To rethrow an error, a THROW statement must be used inside a CATCH block. Insert the THROW statement inside a CATCH block, or add error parameters to the THROW statement."},
    {10709, 15, 1, "The number of columns for each row in a table value constructor must be the same.", Scope::Compile},
    {10741, 15, 1, "A TOP can not be used in the same query or sub-query as a OFFSET.", Scope::Compile},
    {10742, 15, 1, "The offset specified in a OFFSET clause may not be negative."},
    {10743, 15, 1, "The number of rows provided for a OFFSET clause must be an integer.", Scope::Compile},
    {10753, 15, 1, "The function '%s' must have an OVER clause.", Scope::Compile},
    {15007, 16, 1, "'%s' is not a valid login or you do not have permission."},
    {15009, 16, 1, "The object '%s' does not exist in database '%s' or is invalid for this operation."},
    {15023, 16, 1, "User, group, or role '%s' already exists in the current database."},
    {15025, 16, 2, "The server principal '%s' already exists."},
    {15063, 16, 1, "The login already has an account under a different user name."},
    {15151, 16, 1, "Cannot %s the %s '%s', because it does not exist or you do not have permission."},
    {15247, 16, 1, "User does not have permission to perform this action."},
    {15248, 11, 1, "Either the parameter @objname is ambiguous or the claimed @objtype (%s) is wrong."},
    {15250, 16, 1, "The database name component of the object qualifier must be the name of the current database."},
    {15335, 11, 1, "Error: The new name '%s' is already in use as a object name and would cause a duplicate that is not permitted."},
    {15469, 10, 1, "No constraints are defined on object '%s', or you do not have permissions."},
    {15470, 10, 1, "No foreign keys reference table '%s', or you do not have permissions on referencing tables."},
    {15472, 10, 1, "The object '%s' does not have any indexes, or you do not have permissions."},
    {15477, 10, 1, "Caution: Changing any part of an object name could break scripts and stored procedures."},
    {18456, 14, 1, "Login failed for user '%s'."},
    {35100, 16, 10, "Error number %s in the THROW statement is outside the valid range. Specify an error number in the valid range of 50000 to 2147483647."},
    {40517, 16, 1, "Keyword or statement option '%s' is not supported in this version of SQL Server.", Scope::Compile},
    {50000, 16, 1, "%s"},
};

// By number, then state: a few numbers have a text per state (195 for functions and for SET).
constexpr bool sorted()
{
    for (std::size_t i = 1; i < std::size(messages); ++i)
        if (messages[i - 1].number > messages[i].number ||
            (messages[i - 1].number == messages[i].number && messages[i - 1].state >= messages[i].state))
            return false;
    return true;
}
static_assert(sorted(), "the catalogue is looked up by binary search");

const Message *find(int number)
{
    const auto it = std::lower_bound(std::begin(messages), std::end(messages), number,
                                     [](const Message &m, int n) { return m.number < n; });
    return it != std::end(messages) && it->number == number ? it : nullptr;
}

std::string fill(const char *text, std::initializer_list<std::string_view> args)
{
    std::string out;
    auto next = args.begin();
    for (const char *p = text; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            if (next != args.end())
                out += *next++;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

} // namespace

Error make(int number, std::initializer_list<std::string_view> args)
{
    return makeWithState(number, -1, args);
}

Error makeWithState(int number, int state, std::initializer_list<std::string_view> args)
{
    // Where a number has a text per state, the last (highest state) is the usual one.
    const Message *m = find(number);
    for (const Message *x = m; m && x != std::end(messages) && x->number == number; ++x)
        if (state < 0 || x->state == state)
            m = x;
    if (!m)
        return internal("message " + std::to_string(number) + " is missing from the catalogue");
    return Error(number, m->severity, m->state, fill(m->text, args));
}

Error withState(const Error &e, int state)
{
    return Error(e.number(), e.severity(), state, e.what(), e.line());
}

Scope scopeOf(int number)
{
    const Message *m = find(number);
    return m ? m->scope : Scope::Statement;
}

Error internal(std::string_view what)
{
    return Error(50000, 16, 1, "The embedded database engine failed: " + std::string(what) + ".");
}

Error outOfMemory()
{
    return make(701);
}

} // namespace tsql::err
