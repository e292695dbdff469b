#include "Generator.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <string_view>

namespace fuzzgen {

namespace {

constexpr int MaxDepth = 6;

constexpr std::array<std::string_view, 40> Literals = {
    "0", "1", "-1", "2", "255", "256", "32767", "-32768", "2147483647", "-2147483648", "2147483648",
    "9223372036854775807", "-9223372036854775808", "9223372036854775808", "0.5", "-0.005", "1.005",
    "99999999999999999999999999999999999999", "0.00000000000000000000000000000000000001", "1e308", "-1.79E+308",
    "2.2250738585072014E-308", "$922337203685477.5807", "$-214748.3648", "0x", "0x00FF", "NULL", "''", "' '",
    "'a'", "N'Ωμέγα'", "'%a%a%a%b'", "'[^a-z]%_'", "'1900-01-01'", "'9999-12-31 23:59:59.997'",
    "'2079-06-06 23:59:29.998'", "'2020-40-01'", "'29 Feb 2001'", "'23:59:59.9999999'", "'6F9619FF-8B86-D011-B42D-00C04FC964FF'"};

constexpr std::array<std::string_view, 10> Columns = {
    "HospNum", "LastName", "FirstName", "MiddleName", "BirthDate", "Sex", "ZipCode", "Occupation",
    "HouseStreet", "Barangay"};

constexpr std::array<std::string_view, 28> Types = {
    "int", "bigint", "smallint", "tinyint", "bit", "decimal(38,10)", "decimal(5,2)", "numeric(1,0)",
    "decimal(38,38)", "money", "smallmoney", "float", "real", "varchar(1)", "varchar(30)", "varchar(max)",
    "nvarchar(4)", "nvarchar(max)", "char(1)", "datetime", "smalldatetime", "date", "time(7)", "datetime2(7)",
    "datetimeoffset", "varbinary(max)", "binary(2)", "uniqueidentifier"};

constexpr std::array<std::string_view, 19> Binary = {
    "+", "-", "*", "/", "%", "&", "|", "^", "+", "*", "/", "+", "%", "-", "*", "+", "/", "-", "+"};

constexpr std::array<std::string_view, 8> Comparisons = {"=", "<>", "<", ">", "<=", ">=", "!=", "="};

struct Function {
    std::string_view name;
    int minArgs, maxArgs;
};

constexpr std::array<Function, 60> Functions = {{
    {"LEN", 1, 1}, {"DATALENGTH", 1, 1}, {"UPPER", 1, 1}, {"LOWER", 1, 1}, {"LTRIM", 1, 1}, {"RTRIM", 1, 1},
    {"TRIM", 1, 1}, {"REVERSE", 1, 1}, {"REPLICATE", 2, 2}, {"REPLACE", 3, 3}, {"STUFF", 4, 4},
    {"SUBSTRING", 3, 3}, {"LEFT", 2, 2}, {"RIGHT", 2, 2}, {"CHARINDEX", 2, 3}, {"PATINDEX", 2, 2},
    {"SPACE", 1, 1}, {"CHAR", 1, 1}, {"NCHAR", 1, 1}, {"ASCII", 1, 1}, {"UNICODE", 1, 1}, {"STR", 1, 3},
    {"CONCAT", 2, 4}, {"CONCAT_WS", 3, 4}, {"QUOTENAME", 1, 2}, {"TRANSLATE", 3, 3}, {"FORMAT", 2, 2},
    {"ABS", 1, 1}, {"SIGN", 1, 1}, {"CEILING", 1, 1}, {"FLOOR", 1, 1}, {"ROUND", 2, 3}, {"POWER", 2, 2},
    {"SQRT", 1, 1}, {"SQUARE", 1, 1}, {"EXP", 1, 1}, {"LOG", 1, 2}, {"LOG10", 1, 1}, {"PI", 0, 0},
    {"ISNULL", 2, 2}, {"COALESCE", 2, 4}, {"NULLIF", 2, 2}, {"IIF", 3, 3}, {"CHOOSE", 2, 4},
    {"ISNUMERIC", 1, 1}, {"ISDATE", 1, 1}, {"GETDATE", 0, 0}, {"SYSDATETIME", 0, 0}, {"EOMONTH", 1, 2},
    {"DATEFROMPARTS", 3, 3}, {"DATETIMEFROMPARTS", 7, 7}, {"YEAR", 1, 1}, {"MONTH", 1, 1}, {"DAY", 1, 1},
    {"TRY_CAST", -1, -1}, {"TRY_CONVERT", -1, -1}, {"CAST", -1, -1}, {"CONVERT", -1, -1},
    {"DATEADD", -2, -2}, {"DATEDIFF", -2, -2},
}};

constexpr std::array<std::string_view, 12> DateParts = {"year", "quarter", "month", "dayofyear", "day", "week",
                                                        "weekday", "hour", "minute", "second", "millisecond",
                                                        "nanosecond"};

class Builder {
public:
    Builder(const std::uint8_t *data, std::size_t size) : m_in(data, size) {}

    std::string statement()
    {
        switch (m_in.ConsumeIntegralInRange(0, 6)) {
        case 0: return "SELECT " + expression(0) + ", " + expression(0);
        case 1: return "SELECT " + expression(0) + " FROM tbMaster WHERE " + condition(0) + " ORDER BY 1";
        case 2: return "SELECT CASE WHEN " + expression(0) + " LIKE " + expression(0) + " THEN 1 ELSE 0 END";
        case 3: return "INSERT INTO tbLog (Done, Note) VALUES (" + expression(0) + ", " + expression(0) + ")";
        case 4: return "UPDATE tbLog SET Note = " + expression(0) + " WHERE " + condition(0);
        case 5: return "SELECT " + expression(0) + " UNION ALL SELECT " + expression(0);
        default:
            return "SELECT COUNT(*), MAX(" + expression(0) + "), SUM(" + expression(0) + ") FROM tbMaster GROUP BY Sex";
        }
    }

private:
    std::string raw()
    {
        std::string s = m_in.ConsumeRandomLengthString(40);
        std::string out = "'";
        for (char c : s) {
            out.push_back(c);
            if (c == '\'')
                out.push_back('\'');
        }
        return out + "'";
    }

    std::string condition(int depth)
    {
        if (depth >= MaxDepth || m_in.remaining_bytes() == 0)
            return "1 = 1";
        switch (m_in.ConsumeIntegralInRange(0, 5)) {
        case 0: return expression(depth + 1) + " " + std::string(m_in.PickValueInArray(Comparisons)) + " " + expression(depth + 1);
        case 1: return expression(depth + 1) + " LIKE " + expression(depth + 1);
        case 2: return expression(depth + 1) + " IS NULL";
        case 3: return "(" + condition(depth + 1) + (m_in.ConsumeBool() ? " AND " : " OR ") + condition(depth + 1) + ")";
        case 4: return expression(depth + 1) + " IN (" + expression(depth + 1) + ", " + expression(depth + 1) + ")";
        default: return "NOT " + condition(depth + 1);
        }
    }

    std::string call(const Function &f, int depth)
    {
        const std::string name(f.name);
        if (f.minArgs == -1) {
            if (name == "CAST" || name == "TRY_CAST")
                return name + "(" + expression(depth + 1) + " AS " + std::string(m_in.PickValueInArray(Types)) + ")";
            std::string s = name + "(" + std::string(m_in.PickValueInArray(Types)) + ", " + expression(depth + 1);
            if (m_in.ConsumeBool())
                s += ", " + std::to_string(m_in.ConsumeIntegralInRange(-1, 140));
            return s + ")";
        }
        if (f.minArgs == -2)
            return name + "(" + std::string(m_in.PickValueInArray(DateParts)) + ", " + expression(depth + 1) + ", " +
                   expression(depth + 1) + ")";
        const int n = m_in.ConsumeIntegralInRange(f.minArgs, f.maxArgs);
        std::string s = name + "(";
        for (int i = 0; i < n; ++i)
            s += (i ? ", " : "") + expression(depth + 1);
        return s + ")";
    }

    std::string expression(int depth)
    {
        if (depth >= MaxDepth || m_in.remaining_bytes() == 0)
            return std::string(m_in.PickValueInArray(Literals));
        switch (m_in.ConsumeIntegralInRange(0, 11)) {
        case 0:
        case 1: return std::string(m_in.PickValueInArray(Literals));
        case 2: return raw();
        case 3: return std::string(m_in.PickValueInArray(Columns));
        case 4: return "(" + expression(depth + 1) + " " + std::string(m_in.PickValueInArray(Binary)) + " " + expression(depth + 1) + ")";
        case 5: return (m_in.ConsumeBool() ? "-" : "~") + expression(depth + 1);
        case 6:
        case 7: return call(m_in.PickValueInArray(Functions), depth);
        case 8: return "CASE WHEN " + condition(depth + 1) + " THEN " + expression(depth + 1) + " ELSE " + expression(depth + 1) + " END";
        case 9: return "(SELECT TOP 1 " + expression(depth + 1) + " FROM tbMaster WHERE " + condition(depth + 1) + ")";
        // Up to 65,536 copies: large values, but not ones whose plain copying in every row
        // outlasts the per-input limit under the sanitizers (a million copies of 38 bytes in
        // five rows took 8 s), which says nothing about the engine.
        case 10: return "REPLICATE(CAST(" + expression(depth + 1) + " AS varchar(max)), " +
                        std::to_string(m_in.ConsumeIntegralInRange(0, 1 << 16)) + ")";
        default: return "N" + raw();
        }
    }

    FuzzedDataProvider m_in;
};

} // namespace

std::string statement(const std::uint8_t *data, std::size_t size)
{
    return Builder(data, size).statement();
}

} // namespace fuzzgen
