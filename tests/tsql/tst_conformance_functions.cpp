// The built-in functions an administrator reaches for, against what Microsoft's reference pages
// show SQL Server returning: dates, text, numbers, logic and conversion, metadata and FORMAT.

#include "EngineFixture.h"

#include <QTest>

class TestConformanceFunctions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_db.reset(); }

    void dates_data();
    void dates() { check(); }
    void text_data();
    void text() { check(); }
    void numbers_data();
    void numbers() { check(); }
    void logic_data();
    void logic() { check(); }
    void metadata_data();
    void metadata() { check(); }
    void formatDates_data();
    void formatDates() { check(); }
    void formatNumbers_data();
    void formatNumbers() { check(); }
    void resultTypes_data();
    void resultTypes();

private:
    static void addCases();
    void check();
    std::unique_ptr<EngineFixture> m_db;
};

void TestConformanceFunctions::initTestCase()
{
    m_db = std::make_unique<EngineFixture>();
    m_db->script({
        "CREATE TABLE emp (id int PRIMARY KEY, name varchar(20), title nvarchar(10), pay decimal(7,2))",
        "CREATE TABLE idt (id int IDENTITY(10, 5), v int)",
        "INSERT INTO idt (v) VALUES (1), (2)",
    });
}

void TestConformanceFunctions::addCases()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
}

void TestConformanceFunctions::check()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    const QString actual = sql.contains(QLatin1Char(';')) ? m_db->batchValues(sql) : m_db->run(sql);
    QCOMPARE(EngineFixture::asExpected(actual, expected), expected);
}

void TestConformanceFunctions::dates_data()
{
    addCases();
    // learn.microsoft.com: DATEADD (Transact-SQL), "datepart argument", "date argument"
    QTest::newRow("month end clamps") << "SELECT DATEADD(month, 1, '20060830'), DATEADD(month, 1, '20060831')"
                                      << "2006-09-30 00:00:00.000|2006-09-30 00:00:00.000";
    QTest::newRow("abbreviations") << "SELECT DATEADD(yy, 1, '20200229'), DATEADD(qq, 1, '20200115'), DATEADD(dd, -1, '20200301')"
                                   << "2021-02-28 00:00:00.000|2020-04-15 00:00:00.000|2020-02-29 00:00:00.000";
    QTest::newRow("date stays date") << "SELECT DATEADD(day, 1, CAST('2006-12-31' AS date))" << "2007-01-01";
    QTest::newRow("past the calendar") << "SELECT DATEADD(year, 9000, CAST('2020-01-01' AS datetime))"
                                       << "Msg 517: Adding a value to a 'datetime' column caused an overflow.";
    QTest::newRow("nanosecond on datetime") << "SELECT DATEADD(nanosecond, 1, CAST('2020-01-01' AS datetime))" << "Msg 9810";
    QTest::newRow("unknown part") << "SELECT DATEADD(fortnight, 1, '20200101')"
                                  << "Msg 155: 'fortnight' is not a recognized dateadd option.";
    // learn.microsoft.com: DATEDIFF (Transact-SQL): it counts the boundaries crossed.
    QTest::newRow("every boundary crossed once")
        << "SELECT DATEDIFF(year, '2005-12-31 23:59:59.9999999', '2006-01-01 00:00:00.0000000'), "
           "DATEDIFF(quarter, '2005-12-31 23:59:59.9999999', '2006-01-01 00:00:00.0000000'), "
           "DATEDIFF(month, '2005-12-31 23:59:59.9999999', '2006-01-01 00:00:00.0000000'), "
           "DATEDIFF(day, '2005-12-31 23:59:59.9999999', '2006-01-01 00:00:00.0000000'), "
           "DATEDIFF(hour, '2005-12-31 23:59:59.9999999', '2006-01-01 00:00:00.0000000'), "
           "DATEDIFF(second, '2005-12-31 23:59:59.9999999', '2006-01-01 00:00:00.0000000'), "
           "DATEDIFF(millisecond, '2005-12-31 23:59:59.9999999', '2006-01-01 00:00:00.0000000')"
        << "1|1|1|1|1|1|1";
    QTest::newRow("a year less a day is zero years") << "SELECT DATEDIFF(year, '2005-01-01', '2005-12-31'), DATEDIFF(day, '2005-01-02', '2005-01-01')"
                                                     << "0|-1";
    QTest::newRow("weeks begin on sunday") << "SELECT DATEDIFF(week, '2026-12-05', '2026-12-06'), DATEDIFF(week, '2026-12-06', '2026-12-12')"
                                           << "1|0";
    QTest::newRow("week ignores datefirst") << "SET DATEFIRST 1; SELECT DATEDIFF(week, '2026-12-05', '2026-12-06'); SET DATEFIRST 7" << "1";
    QTest::newRow("overflow") << "SELECT DATEDIFF(millisecond, '19000101', '20260101')"
                              << "Msg 535: The datediff function resulted in an overflow. The number of dateparts separating two "
                                 "date/time instances is too large. Try to use datediff with a less precise datepart.";
    QTest::newRow("datediff_big") << "SELECT DATEDIFF_BIG(millisecond, '19000101', '20260101')" << "3976214400000";
    // learn.microsoft.com: DATEPART (Transact-SQL); DATENAME (Transact-SQL), the example's table
    QTest::newRow("datepart of zero") << "SELECT DATEPART(year, 0), DATEPART(month, 0), DATEPART(day, 0)" << "1900|1|1";
    QTest::newRow("datepart of a time") << "SELECT DATEPART(year, CAST('12:10:30.123' AS time))"
                                        << "Msg 9810";
    QTest::newRow("datepart parts") << "SELECT DATEPART(dayofyear, '2007-10-30'), DATEPART(week, '2007-10-30'), DATEPART(weekday, '2007-10-30'), "
                                       "DATEPART(iso_week, '2005-01-01'), DATEPART(quarter, '2007-10-30')"
                                    << "303|44|3|53|4";
    QTest::newRow("datepart of a datetimeoffset") << "SELECT DATEPART(millisecond, CAST('2007-10-30 12:15:32.1234567 +05:10' AS datetimeoffset)), "
                                                     "DATEPART(microsecond, CAST('2007-10-30 12:15:32.1234567 +05:10' AS datetimeoffset)), "
                                                     "DATEPART(tzoffset, CAST('2007-10-30 12:15:32.1234567 +05:10' AS datetimeoffset))"
                                                  << "123|123456|310";
    QTest::newRow("datename") << "SELECT DATENAME(month, '2007-10-30'), DATENAME(weekday, '2007-10-30'), DATENAME(dy, '2007-10-30'), "
                                 "DATENAME(year, '2007-10-30')"
                              << "October|Tuesday|303|2007";
    QTest::newRow("weekday follows datefirst") << "SET DATEFIRST 1; SELECT DATEPART(dw, '2026-12-06'); SET DATEFIRST 7; "
                                                  "SELECT DATEPART(dw, '2026-12-06')"
                                               << "7\n1";
    // learn.microsoft.com: EOMONTH (Transact-SQL), examples
    QTest::newRow("eomonth") << "DECLARE @date datetime = '12/1/2011'; SELECT EOMONTH(@date), EOMONTH(@date, 1), EOMONTH(@date, -1)"
                             << "2011-12-31|2012-01-31|2011-11-30";
    // learn.microsoft.com: ISDATE (Transact-SQL)
    QTest::newRow("isdate") << "SELECT ISDATE('2009-05-12 10:19:41.177'), ISDATE('abc'), ISDATE(NULL), ISDATE('2009-02-30')" << "1|0|0|0";
    // learn.microsoft.com: DATEFROMPARTS, DATETIMEFROMPARTS (Transact-SQL)
    QTest::newRow("datefromparts") << "SELECT DATEFROMPARTS(2010, 12, 31), DATEFROMPARTS(NULL, 1, 1)" << "2010-12-31|NULL";
    QTest::newRow("datefromparts out of range") << "SELECT DATEFROMPARTS(2010, 13, 1)"
                                                << "Msg 289: Cannot construct data type date, some of the arguments have values which are not valid.";
    QTest::newRow("datetimefromparts") << "SELECT DATETIMEFROMPARTS(2010, 12, 31, 23, 59, 59, 0)" << "2010-12-31 23:59:59.000";
    QTest::newRow("datetimefromparts arity") << "SELECT DATETIMEFROMPARTS(2010, 12, 31, 23, 59, 59)"
                                             << "Msg 174: The datetimefromparts function requires 7 argument(s).";
    // learn.microsoft.com: CURRENT_TIMESTAMP (Transact-SQL): the same value as GETDATE()
    QTest::newRow("current_timestamp is getdate") << "SELECT CASE WHEN CURRENT_TIMESTAMP = GETDATE() THEN 1 ELSE 0 END" << "1";
    QTest::newRow("utc functions agree") << "SELECT CASE WHEN ABS(DATEDIFF(hour, GETUTCDATE(), SYSUTCDATETIME())) < 1 THEN 1 ELSE 0 END"
                                                      << "1";
}

void TestConformanceFunctions::text_data()
{
    addCases();
    // learn.microsoft.com: CONCAT, CONCAT_WS (Transact-SQL)
    QTest::newRow("concat skips nulls") << "SELECT CONCAT('a', NULL, 1, 2.5)" << "a12.5";
    QTest::newRow("concat arity") << "SELECT CONCAT('a')" << "Msg 189: The concat function requires 2 to 254 arguments.";
    QTest::newRow("concat_ws") << "SELECT CONCAT_WS(',', 'a', NULL, 'b'), CONCAT_WS(',', NULL, NULL)" << "a,b|";
    // learn.microsoft.com: REPLICATE, SPACE, REVERSE (Transact-SQL)
    QTest::newRow("replicate") << "SELECT REPLICATE('0', 4) + '1', REPLICATE('ab', 0), REPLICATE('a', -1)" << "00001||NULL";
    QTest::newRow("space") << "SELECT DATALENGTH(SPACE(3)), SPACE(-1)" << "3|NULL";
    QTest::newRow("reverse") << "SELECT REVERSE('abc'), REVERSE(N'Ábc')" << "cba|cbÁ";
    // learn.microsoft.com: PATINDEX (Transact-SQL), examples A and C
    QTest::newRow("patindex") << "SELECT PATINDEX('%ter%', 'interesting data'), PATINDEX('%en_ure%', 'Please ensure the door is locked!')"
                              << "3|8";
    QTest::newRow("patindex not found") << "SELECT PATINDEX('%[0-9]%', 'abc'), PATINDEX('%[0-9]%', 'ab1c')" << "0|3";
    // learn.microsoft.com: STUFF (Transact-SQL)
    QTest::newRow("stuff") << "SELECT STUFF('abcdef', 2, 3, 'ijklmn')" << "aijklmnef";
    QTest::newRow("stuff outside the text") << "SELECT STUFF('abc', 5, 1, 'x'), STUFF('abc', 0, 1, 'x'), STUFF('abc', 2, 0, 'x')"
                                            << "NULL|NULL|axbc";
    // learn.microsoft.com: CHAR, NCHAR, ASCII, UNICODE (Transact-SQL)
    QTest::newRow("char") << "SELECT CHAR(65), CHAR(256), CHAR(-1)" << "A|NULL|NULL";
    QTest::newRow("nchar and unicode") << "SELECT NCHAR(8364), UNICODE(N'€uro'), ASCII('Abc'), ASCII('')" << "€|8364|65|NULL";
    // learn.microsoft.com: STR (Transact-SQL), examples
    QTest::newRow("str") << "SELECT STR(123.45, 6, 1), STR(123.45, 2, 2), STR(3.147)" << " 123.5|**|         3";
    // learn.microsoft.com: QUOTENAME (Transact-SQL)
    QTest::newRow("quotename") << "SELECT QUOTENAME('abc[]def'), QUOTENAME('abc', ''''), QUOTENAME('abc', '('), QUOTENAME('abc', 'x')"
                               << "[abc[]]def]|'abc'|(abc)|NULL";
    // learn.microsoft.com: TRIM (Transact-SQL), examples A and B
    QTest::newRow("trim") << "SELECT TRIM('     test    ') + '|', TRIM('.,! ' FROM '     #     test    .')" << "test||#     test";
    // learn.microsoft.com: TRANSLATE (Transact-SQL)
    QTest::newRow("translate") << "SELECT TRANSLATE('2*[3+4]/{7-2}', '[]{}', '()()')" << "2*(3+4)/(7-2)";
    QTest::newRow("translate lengths differ") << "SELECT TRANSLATE('abc', 'ab', 'x')"
                                              << "Msg 9828: The second and third arguments of the TRANSLATE built-in function must "
                                                 "contain an equal number of characters.";
    // learn.microsoft.com: CHARINDEX (Transact-SQL), examples
    QTest::newRow("charindex") << "SELECT CHARINDEX('is', 'This is a string'), CHARINDEX('is', 'This is a string', 4), "
                                  "CHARINDEX('at', 'This is a string'), CHARINDEX('IS', 'This is a string', 0)"
                               << "3|6|0|3";
    QTest::newRow("charindex past the end") << "SELECT CHARINDEX('is', 'This is', 20), CHARINDEX(NULL, 'a')" << "0|NULL";
}

void TestConformanceFunctions::numbers_data()
{
    addCases();
    // learn.microsoft.com: POWER (Transact-SQL), examples B and C
    QTest::newRow("power") << "SELECT POWER(2, 10), POWER(2, -100.0), POWER(2.0, -100.0), POWER(2.0, 3)" << "1024|0|0.0|8.0";
    // learn.microsoft.com: SQRT, SQUARE, SIGN, EXP, LOG, LOG10, PI (Transact-SQL)
    QTest::newRow("sqrt square") << "SELECT SQRT(16), SQUARE(3), SQUARE(1.5)" << "4|9|2.25";
    QTest::newRow("sqrt of a negative") << "SELECT SQRT(-1)" << "Msg 3623: An invalid floating point operation occurred.";
    QTest::newRow("sign keeps the type") << "SELECT SIGN(-5), SIGN(0.0), SIGN(CAST(2.5 AS float)), SIGN(CAST(-3 AS money))" << "-1|0.0|1|-1.0000";
    QTest::newRow("exp and log") << "SELECT EXP(0), LOG(EXP(10.0)), LOG(8, 2), LOG10(1000)" << "1|10|3|3";
    QTest::newRow("log of zero") << "SELECT LOG(0)" << "Msg 3623: An invalid floating point operation occurred.";
    QTest::newRow("pi") << "SELECT PI()" << "3.14159265358979";
    // learn.microsoft.com: RAND (Transact-SQL): the same seed gives the same value.
    QTest::newRow("rand with a seed repeats") << "DECLARE @a float = RAND(5), @b float = RAND(5); SELECT CASE WHEN @a = @b THEN 1 ELSE 0 END"
                                              << "1";
    QTest::newRow("rand between 0 and 1") << "SELECT CASE WHEN RAND() >= 0 AND RAND() < 1 THEN 1 ELSE 0 END" << "1";
    QTest::newRow("abs overflow") << "SELECT ABS(CAST(-2147483648 AS int))"
                                  << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
}

void TestConformanceFunctions::logic_data()
{
    addCases();
    // learn.microsoft.com: IIF (Transact-SQL)
    QTest::newRow("iif") << "SELECT IIF(1 > 0, 'yes', 'no'), IIF(NULL > 0, 1, 2)" << "yes|2";
    QTest::newRow("iif of two null constants") << "SELECT IIF(1 = 1, NULL, NULL)"
                                               << "Msg 8133: At least one of the result expressions in a CASE specification must be "
                                                  "an expression other than the NULL constant.";
    // learn.microsoft.com: NULLIF (Transact-SQL); CHOOSE (Transact-SQL)
    QTest::newRow("nullif") << "SELECT NULLIF(1, 1), NULLIF(1, 2), NULLIF('a', 'A')" << "NULL|1|NULL";
    QTest::newRow("choose") << "SELECT CHOOSE(3, 'Manager', 'Director', 'Developer', 'Tester'), CHOOSE(0, 'a'), CHOOSE(5, 'a')"
                            << "Developer|NULL|NULL";
    QTest::newRow("choose truncates its index") << "SELECT CHOOSE(2.9, 'a', 'b', 'c')" << "b";
    // learn.microsoft.com: TRY_CAST, TRY_CONVERT (Transact-SQL)
    QTest::newRow("try_cast") << "SELECT TRY_CAST('abc' AS int), TRY_CAST('12' AS int), TRY_CAST('12.5' AS decimal(4,1))" << "NULL|12|12.5";
    QTest::newRow("try_cast of a forbidden conversion") << "SELECT TRY_CAST(CAST('2020-01-01' AS date) AS int)"
                                                        << "Msg 529: Explicit conversion from data type date to int is not allowed.";
    QTest::newRow("try_convert") << "SELECT TRY_CONVERT(datetime2, '12/31/2010'), TRY_CONVERT(int, 'x'), TRY_CONVERT(date, '2010-02-30')"
                                 << "2010-12-31 00:00:00.0000000|NULL|NULL";
    QTest::newRow("try_convert with a style") << "SELECT TRY_CONVERT(date, '31/12/2010', 103), TRY_CONVERT(date, '31/12/2010', 101)"
                                              << "2010-12-31|NULL";
    QTest::newRow("try_convert overflow is null") << "SELECT TRY_CONVERT(tinyint, 300), TRY_CAST(1e10 AS int)" << "NULL|NULL";
    // learn.microsoft.com: COALESCE (Transact-SQL)
}

void TestConformanceFunctions::metadata_data()
{
    addCases();
    // learn.microsoft.com: DB_NAME, DB_ID (Transact-SQL)
    QTest::newRow("db_name") << "SELECT DB_NAME(), DB_NAME(DB_ID('Build_File')), DB_ID('nosuch')" << "Patient_Data|Build_File|NULL";
    // learn.microsoft.com: OBJECT_ID, OBJECT_NAME (Transact-SQL)
    QTest::newRow("object_id") << "SELECT CASE WHEN OBJECT_ID('emp') IS NULL THEN 0 ELSE 1 END, OBJECT_ID('nosuch'), "
                                  "CASE WHEN OBJECT_ID('dbo.emp', 'U') = OBJECT_ID('emp') THEN 1 ELSE 0 END, OBJECT_ID('emp', 'V')"
                               << "1|NULL|1|NULL";
    QTest::newRow("object_id across databases") << "SELECT OBJECT_ID('Build_File.dbo.emp')" << "NULL";
    QTest::newRow("object_name") << "SELECT OBJECT_NAME(OBJECT_ID('emp')), OBJECT_NAME(-12345)" << "emp|NULL";
    // learn.microsoft.com: COL_LENGTH, COL_NAME (Transact-SQL)
    QTest::newRow("col_length") << "SELECT COL_LENGTH('emp', 'name'), COL_LENGTH('emp', 'title'), COL_LENGTH('emp', 'id'), "
                                   "COL_LENGTH('emp', 'nope')"
                                << "20|20|4|NULL";
    QTest::newRow("col_name") << "SELECT COL_NAME(OBJECT_ID('emp'), 2), COL_NAME(OBJECT_ID('emp'), 9)" << "name|NULL";
    // learn.microsoft.com: SCHEMA_NAME, TYPE_NAME (Transact-SQL)
    QTest::newRow("schema_name") << "SELECT SCHEMA_NAME(), SCHEMA_NAME(1)" << "dbo|dbo";
    QTest::newRow("type_name") << "SELECT TYPE_NAME(56), TYPE_NAME(167), TYPE_NAME(231), TYPE_NAME(61), TYPE_NAME(9999)"
                               << "int|varchar|nvarchar|datetime|NULL";
    // learn.microsoft.com: IDENT_CURRENT, IDENT_SEED, IDENT_INCR (Transact-SQL)
    QTest::newRow("identity") << "SELECT IDENT_CURRENT('idt'), IDENT_SEED('idt'), IDENT_INCR('idt'), IDENT_SEED('emp')" << "15|10|5|NULL";
    // learn.microsoft.com: NEWID (Transact-SQL)
    QTest::newRow("newid") << "SELECT LEN(CAST(NEWID() AS varchar(36))), CASE WHEN NEWID() = NEWID() THEN 1 ELSE 0 END" << "36|0";
    // A call SQL Server does not know, or with the wrong number of arguments.
    QTest::newRow("wrong argument count") << "SELECT LEFT('a')" << "Msg 174: The left function requires 2 argument(s).";
    QTest::newRow("unknown function") << "SELECT nosuchfn(1)" << "Msg 195: 'nosuchfn' is not a recognized built-in function name.";
}

void TestConformanceFunctions::formatDates_data()
{
    addCases();
    // learn.microsoft.com: FORMAT (Transact-SQL), "Simple FORMAT example", "FORMAT with custom formatting strings";
    // .NET's standard and custom date and time format strings, en-US
    const QString dt = QStringLiteral("CAST('2020-11-22 14:05:09.123' AS datetime)");
    QTest::newRow("d and D") << "DECLARE @d date = '11/22/2020'; SELECT FORMAT(@d, 'd', 'en-US'), FORMAT(@d, 'D', 'en-US')"
                             << "11/22/2020|Sunday, November 22, 2020";
    QTest::newRow("custom day first") << "DECLARE @d date = '11/22/2020'; SELECT FORMAT(@d, 'dd/MM/yyyy', 'en-US')" << "22/11/2020";
    QTest::newRow("t and T") << QStringLiteral("SELECT FORMAT(%1, 't'), FORMAT(%1, 'T')").arg(dt) << "2:05 PM|2:05:09 PM";
    QTest::newRow("g and G") << QStringLiteral("SELECT FORMAT(%1, 'g'), FORMAT(%1, 'G')").arg(dt) << "11/22/2020 2:05 PM|11/22/2020 2:05:09 PM";
    QTest::newRow("f and F") << QStringLiteral("SELECT FORMAT(%1, 'f'), FORMAT(%1, 'F')").arg(dt)
                             << "Sunday, November 22, 2020 2:05 PM|Sunday, November 22, 2020 2:05:09 PM";
    QTest::newRow("M and Y") << QStringLiteral("SELECT FORMAT(%1, 'M'), FORMAT(%1, 'Y')").arg(dt) << "November 22|November 2020";
    QTest::newRow("o s u") << QStringLiteral("SELECT FORMAT(%1, 'o'), FORMAT(%1, 's'), FORMAT(%1, 'u')").arg(dt)
                           << "2020-11-22T14:05:09.1230000|2020-11-22T14:05:09|2020-11-22 14:05:09Z";
    QTest::newRow("custom full") << QStringLiteral("SELECT FORMAT(%1, 'yyyy-MM-dd HH:mm:ss.fff tt')").arg(dt) << "2020-11-22 14:05:09.123 PM";
    QTest::newRow("names") << QStringLiteral("SELECT FORMAT(%1, 'dddd'), FORMAT(%1, 'MMMM'), FORMAT(%1, 'ddd, MMM d')").arg(dt)
                           << "Sunday|November|Sun, Nov 22";
    QTest::newRow("twelve hours, short fields") << QStringLiteral("SELECT FORMAT(%1, 'hh:mm tt'), FORMAT(%1, 'h:m:s'), FORMAT(%1, 'yy')").arg(dt)
                                                << "02:05 PM|2:5:9|20";
    QTest::newRow("midnight") << "DECLARE @d datetime = '2016-07-31'; SELECT FORMAT(@d, 'dddd, MMMM dd, yyyy hh:mm:ss tt', 'en-US')"
                              << "Sunday, July 31, 2016 12:00:00 AM";
    QTest::newRow("quoted and escaped literals") << QStringLiteral("SELECT FORMAT(%1, '''Day'' d \\o\\f MMMM')").arg(dt) << "Day 22 of November";
    QTest::newRow("datetime2 fractions") << "SELECT FORMAT(CAST('2014-01-01 01:01:01.1234567' AS datetime2), 'HH:mm:ss.fffffff FFF')"
                                         << "01:01:01.1234567 123";
    // A time is a duration: separators must be escaped or the format is not valid.
    QTest::newRow("time escaped") << "SELECT FORMAT(CAST('07:35' AS time), N'hh\\:mm'), FORMAT(CAST('07:35' AS time), N'hh\\.mm')"
                                  << "07:35|07.35";
    QTest::newRow("time not escaped is null") << "SELECT FORMAT(CAST('07:35' AS time), N'hh.mm')" << "NULL";
    QTest::newRow("null value") << "SELECT FORMAT(CAST(NULL AS datetime), 'd')" << "NULL";
}

void TestConformanceFunctions::formatNumbers_data()
{
    addCases();
    // learn.microsoft.com: FORMAT (Transact-SQL), "FORMAT with numeric types";
    // .NET's standard and custom numeric format strings, en-US
    QTest::newRow("N") << "SELECT FORMAT(1234.5678, 'N'), FORMAT(1234.5678, 'N0'), FORMAT(1, 'N1'), FORMAT(-1234.5, 'N3')"
                       << "1,234.57|1,235|1.0|-1,234.500";
    QTest::newRow("C") << "SELECT FORMAT(1234.56, 'C', 'en-us'), FORMAT(-123.456, 'C3', 'en-US'), FORMAT(40, 'c')" << "$1,234.56|($123.456)|$40.00";
    QTest::newRow("P") << "SELECT FORMAT(1, 'P'), FORMAT(.375, 'P'), FORMAT(0.12345, 'P1')" << "100.00 %|37.50 %|12.3 %";
    QTest::newRow("D and X") << "SELECT FORMAT(1234, 'D'), FORMAT(-1234, 'D6'), FORMAT(255, 'X'), FORMAT(255, 'x4')" << "1234|-001234|FF|00ff";
    QTest::newRow("F and E") << "SELECT FORMAT(1234.5678, 'F2'), FORMAT(1234.5678, 'E'), FORMAT(1234.5678, 'e2')"
                             << "1234.57|1.234568E+003|1.23e+003";
    QTest::newRow("G") << "SELECT FORMAT(1234.5678, 'G'), FORMAT(CAST(0.5 AS float), 'G'), FORMAT(123456789, 'G')" << "1234.5678|0.5|123456789";
    QTest::newRow("away from zero") << "SELECT FORMAT(2.5, 'N0'), FORMAT(0.125, 'N2'), FORMAT(-2.5, 'F0')" << "3|0.13|-3";
    QTest::newRow("custom groups") << "SELECT FORMAT(1234.567, '#,##0.00'), FORMAT(1234567, '#,#'), FORMAT(12, '0000')"
                                   << "1,234.57|1,234,567|0012";
    QTest::newRow("custom optional digits") << "SELECT FORMAT(1.5, '0.###'), FORMAT(0.0, '#.##'), FORMAT(123456789, '###-##-####')"
                                            << "1.5||123-45-6789";
    QTest::newRow("custom percent and sections") << "SELECT FORMAT(0.256, '0.0%'), FORMAT(-5, '0;(0)'), FORMAT(0, '0;(0);zero')"
                                                 << "25.6%|(5)|zero";
    QTest::newRow("money and integers") << "SELECT FORMAT(CAST(1234.5 AS money), 'C'), FORMAT(CAST(7 AS tinyint), '00')" << "$1,234.50|07";
    QTest::newRow("not a valid format is null") << "SELECT FORMAT(1, 'Z'), FORMAT(1, 'X')" << "NULL|1";
    QTest::newRow("text is not formatted") << "SELECT FORMAT('abc', 'N')"
                                           << "Msg 8116: Argument data type varchar is invalid for argument 1 of format function.";
    QTest::newRow("culture not valid") << "SELECT FORMAT(1, 'N', 'not a culture')" << "Msg 9818";
}

void TestConformanceFunctions::resultTypes_data()
{
    addCases();
    // learn.microsoft.com: each function's "Return types"
    QTest::newRow("dates") << "SELECT CURRENT_TIMESTAMP, SYSDATETIME(), GETUTCDATE(), SYSUTCDATETIME(), EOMONTH('2020-01-01'), "
                              "DATEDIFF_BIG(day, 0, 1), DATENAME(month, 0)"
                           << "datetime|datetime2(7)|datetime|datetime2(7)|date|bigint|nvarchar(30)";
    QTest::newRow("format") << "SELECT FORMAT(1, 'N')" << "nvarchar(4000)";
    QTest::newRow("metadata") << "SELECT OBJECT_NAME(1), DB_ID(), IDENT_CURRENT('idt'), COL_LENGTH('emp', 'id')"
                              << "nvarchar(128)|int|decimal(38,0)|smallint";
    QTest::newRow("logic") << "SELECT IIF(1 = 1, 1, 2.5), CHOOSE(1, 1, 2.5), NEWID()" << "decimal(11,1)|decimal(11,1)|uniqueidentifier";
}

void TestConformanceFunctions::resultTypes()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(m_db->types(sql), expected);
}

QTEST_GUILESS_MAIN(TestConformanceFunctions)
#include "tst_conformance_functions.moc"
