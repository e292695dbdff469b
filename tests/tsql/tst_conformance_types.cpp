// Where two types meet: data type precedence in UNION members, CASE branches, COALESCE,
// comparisons and arithmetic, ISNULL taking its first argument's type, the lengths of string
// results, and the queries SQL Server refuses to compile (grouping, DISTINCT and UNION ordering).

#include "EngineFixture.h"

#include <QTest>

class TestConformanceTypes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_db.reset(); }

    void precedence_data();
    void precedence();
    void resultTypes_data();
    void resultTypes();
    void validity_data();
    void validity();
    void orderByAlias();

private:
    std::unique_ptr<EngineFixture> m_db;
};

void TestConformanceTypes::initTestCase()
{
    m_db = std::make_unique<EngineFixture>();
    m_db->script({
        "CREATE TABLE t (a int, b varchar(10), c decimal(5,2), d money, e datetime, f nvarchar(5), g char(3), "
        "h varchar(3), ti tinyint, fl float)",
        "INSERT INTO t VALUES (1, 'x', 1.5, 2, '2020-01-01', N'n', 'c', NULL, 7, 0.5), "
        "(2, 'y', 2.25, 3, '2020-01-02', N'm', 'd', 'abc', 8, 1.5)",
        "CREATE TABLE u (a int, z int)",
        "INSERT INTO u VALUES (1, 10), (3, 30)",
    });
}

void TestConformanceTypes::precedence_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");

    // learn.microsoft.com: Data type precedence (Transact-SQL): the operand of lower precedence
    // is converted; text meeting a number becomes that number or fails (CAST and CONVERT,
    // "Effects of data type precedence in allowed conversions").
    QTest::newRow("page example, varchar variable") << "DECLARE @string VARCHAR(10); SET @string = 1; SELECT @string + ' is a string.' AS Result"
                                                    << "1 is a string.";
    QTest::newRow("page example, int variable")
        << "DECLARE @notastring INT; SET @notastring = '1'; SELECT @notastring + ' is not a string.' AS Result"
        << "Msg 245: Conversion failed when converting the varchar value ' is not a string.' to data type int.";
    QTest::newRow("page example, text that is a number") << "DECLARE @notastring INT; SET @notastring = '1'; SELECT @notastring + '1'"
                                                         << "2";
    QTest::newRow("text plus text joins") << "SELECT '1' + '1'" << "11";
    QTest::newRow("text with a point meets int")
        << "SELECT 1 + '1.5'" << "Msg 245: Conversion failed when converting the varchar value '1.5' to data type int.";
    QTest::newRow("text meets decimal") << "SELECT 1.5 + '1.5', $1 + '1.5', 1e0 + '1.5'" << "3.0|2.5000|2.5";
    QTest::newRow("letters meet decimal") << "SELECT 1.5 + 'abc'" << "Msg 8114: Error converting data type varchar to numeric.";
    QTest::newRow("letters meet float") << "SELECT fl + 'abc' FROM t" << "Msg 8114: Error converting data type varchar to float.";
    QTest::newRow("nvarchar letters meet int")
        << "SELECT a + N'x' FROM t" << "Msg 245: Conversion failed when converting the nvarchar value 'x' to data type int.";
    QTest::newRow("letters meet datetime") << "SELECT e + 'x' FROM t"
                                           << "Msg 241: Conversion failed when converting date and/or time from character string.";
    QTest::newRow("datetime plus days") << "SELECT e + 1, e - 1.5 FROM t WHERE a = 1" << "2020-01-02 00:00:00.000|2019-12-30 12:00:00.000";

    // Comparisons convert the lower side too.
    QTest::newRow("int equals text") << "SELECT 1 WHERE 1 = '1'" << "1";
    QTest::newRow("int equals letters")
        << "SELECT 1 WHERE 1 = 'a'" << "Msg 245: Conversion failed when converting the varchar value 'a' to data type int.";
    QTest::newRow("column equals letters")
        << "SELECT a FROM t WHERE a = 'x'" << "Msg 245: Conversion failed when converting the varchar value 'x' to data type int.";
    QTest::newRow("int in texts") << "SELECT a FROM t WHERE a IN ('2', ' 3 ')" << "2";
    QTest::newRow("decimal equals text") << "SELECT 1 WHERE 1.5 = '1.50'" << "1";
    QTest::newRow("datetime equals text") << "SELECT a FROM t WHERE e = 'Jan 2 2020'" << "2";
    QTest::newRow("datetime compared with letters")
        << "SELECT a FROM t WHERE e > 'soon'" << "Msg 241: Conversion failed when converting date and/or time from character string.";
    QTest::newRow("nvarchar equals varchar") << "SELECT a FROM t WHERE f = 'N'" << "1";
    QTest::newRow("float equals decimal") << "SELECT a FROM t WHERE fl = 1.5" << "2";

    // learn.microsoft.com: UNION (Transact-SQL): the result columns take the higher precedence.
    // The first member's row is out before the second one's conversion fails.
    QTest::newRow("union int and letters")
        << "SELECT 1 UNION ALL SELECT 'a'" << "1\nMsg 245: Conversion failed when converting the varchar value 'a' to data type int.";
    QTest::newRow("union letters and int")
        << "SELECT 'a' UNION ALL SELECT 1" << "Msg 245: Conversion failed when converting the varchar value 'a' to data type int.";
    QTest::newRow("union int and text number") << "SELECT 1 UNION ALL SELECT '2'" << "1\n2";
    QTest::newRow("union int and decimal") << "SELECT 1 UNION ALL SELECT 2.5" << "1.0\n2.5";
    QTest::newRow("union decimal and float") << "SELECT 1.5 UNION ALL SELECT 1e0" << "1.5\n1";
    QTest::newRow("union money and int") << "SELECT $1 UNION ALL SELECT 2" << "1.0000\n2.0000";
    QTest::newRow("union datetime and text") << "SELECT e FROM t WHERE a = 1 UNION ALL SELECT '2021-02-03 04:05'"
                                             << "2020-01-01 00:00:00.000\n2021-02-03 04:05:00.000";
    QTest::newRow("union datetime and letters")
        << "SELECT e FROM t UNION SELECT b FROM t" << "Msg 241: Conversion failed when converting date and/or time from character string.";
    QTest::newRow("union decimal and money column") << "SELECT c FROM t UNION ALL SELECT d FROM t"
                                                    << "1.5000\n2.2500\n2.0000\n3.0000";
    QTest::newRow("union removes equal text") << "SELECT COUNT(*) FROM (SELECT 'A' AS x UNION SELECT 'a ') AS q" << "1";

    // learn.microsoft.com: CASE (Transact-SQL), "Return types": the highest precedence of the
    // result expressions; a branch is converted only when it is chosen.
    QTest::newRow("case chooses letters for int")
        << "SELECT CASE WHEN 1 = 1 THEN 'a' ELSE 2 END" << "Msg 245: Conversion failed when converting the varchar value 'a' to data type int.";
    QTest::newRow("case letters not chosen") << "SELECT CASE WHEN 1 = 0 THEN 'a' ELSE 2 END" << "2";
    QTest::newRow("case int and decimal") << "SELECT CASE WHEN a = 1 THEN a ELSE c END FROM t" << "1.00\n2.25";
    QTest::newRow("case text and datetime") << "SELECT CASE WHEN a = 1 THEN '2021-01-01' ELSE e END FROM t"
                                            << "2021-01-01 00:00:00.000\n2020-01-02 00:00:00.000";
    QTest::newRow("simple case compares by precedence")
        << "SELECT CASE 'a' WHEN 1 THEN 'one' ELSE 'other' END"
        << "Msg 245: Conversion failed when converting the varchar value 'a' to data type int.";
    QTest::newRow("simple case with text numbers") << "SELECT CASE a WHEN '1' THEN 'one' ELSE 'other' END FROM t" << "one\nother";

    // learn.microsoft.com: COALESCE (Transact-SQL): the type of highest precedence; ISNULL
    // (Transact-SQL): the replacement takes the first argument's type, and may be truncated.
    QTest::newRow("coalesce letters then int")
        << "SELECT COALESCE(NULL, 'x', 1)" << "Msg 245: Conversion failed when converting the varchar value 'x' to data type int.";
    QTest::newRow("coalesce int first") << "SELECT COALESCE(NULL, 1, 'a')" << "1";
    QTest::newRow("coalesce text and decimal") << "SELECT COALESCE(NULL, '5', 1.5)" << "5.0";
    QTest::newRow("coalesce of untyped nulls")
        << "SELECT COALESCE(NULL, NULL)"
        << "Msg 4127: At least one of the arguments to COALESCE must be an expression that is not the NULL constant.";
    QTest::newRow("coalesce page example, third value") << "SELECT COALESCE(NULL, NULL, 'third_value', 'fourth_value')" << "third_value";
    QTest::newRow("isnull truncates to the first type") << "SELECT ISNULL(h, 'abcdef') FROM t" << "abc\nabc";
    QTest::newRow("isnull int takes decimal as int") << "SELECT ISNULL(CAST(NULL AS int), 1.9)" << "1";
    QTest::newRow("isnull int with letters")
        << "SELECT ISNULL(CAST(NULL AS int), 'x')" << "Msg 245: Conversion failed when converting the varchar value 'x' to data type int.";
    QTest::newRow("isnull varchar with a long number") << "SELECT ISNULL(h, 123456) FROM t WHERE a = 1" << "*";
    QTest::newRow("coalesce keeps the longer text") << "SELECT COALESCE(h, 'abcdef') FROM t" << "abcdef\nabc";
    QTest::newRow("nullif") << "SELECT NULLIF(a, 1), NULLIF('a', 'A') FROM t WHERE a = 1" << "NULL|NULL";
}

void TestConformanceTypes::precedence()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(EngineFixture::asExpected(m_db->batchValues(sql), expected), expected);
}

void TestConformanceTypes::resultTypes_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("types");

    // learn.microsoft.com: Precision, scale, and length (Transact-SQL): concatenation adds the
    // lengths (up to 8,000 bytes, 4,000 byte-pairs), UNION keeps the longer.
    QTest::newRow("literal lengths") << "SELECT 'abc', N'de'" << "varchar(3)|nvarchar(2)";
    QTest::newRow("concatenation adds") << "SELECT 'abc' + 'de', b + h, b + f, g + 'x' FROM t"
                                        << "varchar(5)|varchar(13)|nvarchar(15)|varchar(4)";
    QTest::newRow("concatenation stops at 8000") << "SELECT CAST('a' AS varchar(6000)) + CAST('b' AS varchar(6000))"
                                                 << "varchar(8000)";
    QTest::newRow("unicode concatenation stops at 4000") << "SELECT CAST(N'a' AS nvarchar(3000)) + CAST(N'b' AS nvarchar(3000))"
                                                         << "nvarchar(4000)";
    QTest::newRow("union keeps the longer") << "SELECT h FROM t UNION SELECT b FROM t" << "varchar(10)";
    QTest::newRow("union with nvarchar") << "SELECT b FROM t UNION ALL SELECT f FROM t" << "nvarchar(10)";
    QTest::newRow("union char and varchar") << "SELECT g FROM t UNION ALL SELECT b FROM t" << "varchar(10)";
    QTest::newRow("union tinyint and int") << "SELECT ti FROM t UNION ALL SELECT a FROM t" << "int";
    QTest::newRow("union int and money") << "SELECT a FROM t UNION ALL SELECT d FROM t" << "money";
    QTest::newRow("union decimal and float") << "SELECT c FROM t UNION ALL SELECT fl FROM t" << "float";
    QTest::newRow("union with null") << "SELECT a FROM t UNION ALL SELECT NULL" << "int";
    QTest::newRow("case longest branch") << "SELECT CASE WHEN a = 1 THEN 'abc' ELSE 'defgh' END FROM t" << "varchar(5)";
    QTest::newRow("case with null branch") << "SELECT CASE WHEN a = 1 THEN 'x' END FROM t" << "varchar(1)";
    QTest::newRow("case text and nvarchar") << "SELECT CASE WHEN a = 1 THEN b ELSE f END FROM t" << "nvarchar(10)";
    QTest::newRow("case money and decimal") << "SELECT CASE WHEN a = 1 THEN c ELSE d END FROM t" << "decimal(19,4)";
    QTest::newRow("case int and datetime") << "SELECT CASE WHEN a = 1 THEN a ELSE e END FROM t" << "datetime";
    QTest::newRow("isnull is the first type") << "SELECT ISNULL(h, 'abcdef'), ISNULL(a, 1.5), ISNULL(ti, 1000) FROM t"
                                              << "varchar(3)|int|tinyint";
    QTest::newRow("coalesce is the highest type") << "SELECT COALESCE(h, 'abcdef'), COALESCE(a, 1.5), COALESCE(ti, a) FROM t"
                                                  << "varchar(6)|decimal(11,1)|int";
    // learn.microsoft.com: CAST and CONVERT (Transact-SQL): a length left out is 30.
    QTest::newRow("default length 30") << "SELECT CAST(a AS varchar), CONVERT(nvarchar, e, 120), CAST(a AS char) FROM t"
                                       << "varchar(30)|nvarchar(30)|char(30)";
    QTest::newRow("functions keep the length") << "SELECT UPPER(b), LOWER(f) FROM t" << "varchar(10)|nvarchar(5)";
}

void TestConformanceTypes::resultTypes()
{
    QFETCH(QString, sql);
    QFETCH(QString, types);
    // decimal and numeric are one type; which name a mixed result carries is not the point.
    QCOMPARE(m_db->types(sql).replace(QLatin1String("numeric"), QLatin1String("decimal")), types);
}

void TestConformanceTypes::validity_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");

    // learn.microsoft.com: Database engine errors (the messages), SELECT - GROUP BY, SELECT -
    // ORDER BY Clause, and UNION (Transact-SQL).
    QTest::newRow("8120 select list") << "SELECT a, b, COUNT(*) FROM t GROUP BY a"
                                      << "Msg 8120: Column 't.b' is invalid in the select list because it is not contained in either an "
                                         "aggregate function or the GROUP BY clause.";
    QTest::newRow("8120 through an alias") << "SELECT x.b FROM t AS x GROUP BY x.a"
                                           << "Msg 8120: Column 'x.b' is invalid in the select list because it is not contained in either an "
                                              "aggregate function or the GROUP BY clause.";
    QTest::newRow("8120 inside an expression") << "SELECT a + c FROM t GROUP BY a"
                                               << "Msg 8120: Column 't.c' is invalid in the select list because it is not contained in either an "
                                                  "aggregate function or the GROUP BY clause.";
    QTest::newRow("8118 no group by") << "SELECT a, COUNT(*) FROM t"
                                      << "Msg 8118: Column 't.a' is invalid in the select list because it is not contained in an aggregate "
                                         "function and there is no GROUP BY clause.";
    QTest::newRow("8119 having without group by") << "SELECT COUNT(*) FROM t HAVING a > 1"
                                                  << "Msg 8119: Column 't.a' is invalid in the HAVING clause because it is not contained in an "
                                                     "aggregate function and there is no GROUP BY clause.";
    QTest::newRow("8121 having") << "SELECT a FROM t GROUP BY a HAVING c > 1"
                                 << "Msg 8121: Column 't.c' is invalid in the HAVING clause because it is not contained in either an "
                                    "aggregate function or the GROUP BY clause.";
    QTest::newRow("8127 order by") << "SELECT a FROM t GROUP BY a ORDER BY b"
                                   << "Msg 8127: Column \"t.b\" is invalid in the ORDER BY clause because it is not contained in either an "
                                      "aggregate function or the GROUP BY clause.";
    QTest::newRow("145 distinct order by") << "SELECT DISTINCT a FROM t ORDER BY b"
                                           << "Msg 145: ORDER BY items must appear in the select list if SELECT DISTINCT is specified.";
    QTest::newRow("145 distinct order by expression") << "SELECT DISTINCT a FROM t ORDER BY a + 1"
                                                      << "Msg 145: ORDER BY items must appear in the select list if SELECT DISTINCT is specified.";
    QTest::newRow("104 union order by") << "SELECT a FROM t UNION SELECT a FROM u ORDER BY z"
                                        << "Msg 104: ORDER BY items must appear in the select list if the statement contains a UNION, "
                                           "INTERSECT or EXCEPT operator.";
    QTest::newRow("104 union all order by expression") << "SELECT a FROM t UNION ALL SELECT a FROM u ORDER BY a + 1"
                                                       << "Msg 104: ORDER BY items must appear in the select list if the statement contains a "
                                                          "UNION, INTERSECT or EXCEPT operator.";
    QTest::newRow("147 aggregate in where") << "SELECT a FROM t WHERE COUNT(*) > 1"
                                            << "Msg 147: An aggregate may not appear in the WHERE clause unless it is in a subquery contained "
                                               "in a HAVING clause or a select list, and the column being aggregated is an outer reference.";
    QTest::newRow("130 aggregate of aggregate") << "SELECT SUM(COUNT(*)) FROM t"
                                                << "Msg 130: Cannot perform an aggregate function on an expression containing an aggregate or a subquery.";
    QTest::newRow("205 union widths") << "SELECT a, b FROM t UNION SELECT a FROM u"
                                      << "Msg 205: All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal number "
                                         "of expressions in their target lists.";
    QTest::newRow("108 order by position") << "SELECT a FROM t ORDER BY 2"
                                           << "Msg 108: The ORDER BY position number 2 is out of range of the number of items in the select list.";
    QTest::newRow("408 order by constant") << "SELECT a FROM t ORDER BY 'none'"
                                           << "Msg 408: A constant expression was encountered in the ORDER BY list, position 1.";
    QTest::newRow("1008 order by variable")
        << "DECLARE @v int = 1; SELECT a FROM t ORDER BY a, @v"
        << "Msg 1008: The SELECT item identified by the ORDER BY number 2 contains a variable as part of the expression identifying a "
           "column position. Variables are only allowed when ordering by an expression referencing a column name.";
    QTest::newRow("209 ambiguous") << "SELECT a FROM t JOIN u ON t.a = u.a" << "Msg 209: Ambiguous column name 'a'.";
    QTest::newRow("207 invalid column") << "SELECT nope FROM t" << "Msg 207: Invalid column name 'nope'.";
    QTest::newRow("8155 derived table without a name") << "SELECT * FROM (SELECT 1) AS x"
                                                       << "Msg 8155: No column name was specified for column 1 of 'x'.";

    // What is allowed.
    QTest::newRow("grouped expression") << "SELECT a + 1, COUNT(*) FROM t GROUP BY a ORDER BY a" << "2|1\n3|1";
    QTest::newRow("order by aggregate") << "SELECT b, COUNT(*) FROM t GROUP BY b ORDER BY COUNT(*) DESC, b" << "x|1\ny|1";
    QTest::newRow("having aggregate") << "SELECT a FROM t GROUP BY a HAVING SUM(c) > 2" << "2";
    QTest::newRow("aggregate alone") << "SELECT COUNT(*), MAX(b) FROM t HAVING COUNT(*) > 1" << "2|y";
    QTest::newRow("distinct order by its column") << "SELECT DISTINCT b FROM t ORDER BY b DESC" << "y\nx";
    QTest::newRow("union order by first name") << "SELECT a AS k FROM t UNION SELECT z FROM u ORDER BY k DESC" << "30\n10\n2\n1";
    QTest::newRow("union order by position") << "SELECT a FROM t UNION SELECT a FROM u ORDER BY 1" << "1\n2\n3";
    QTest::newRow("order by expression not selected") << "SELECT b FROM t ORDER BY a * -1" << "y\nx";
}

void TestConformanceTypes::validity()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(m_db->batchValues(sql), expected);
}

void TestConformanceTypes::orderByAlias()
{
    // learn.microsoft.com: COALESCE (Transact-SQL), example B: an alias written as a string,
    // ordered by that same string.
    EngineFixture db;
    const QString out = db.batch(
        "SET NOCOUNT ON;\n"
        "CREATE TABLE dbo.wages (emp_id tinyint identity, hourly_wage decimal NULL, salary decimal NULL, "
        "commission decimal NULL, num_sales tinyint NULL);\n"
        "INSERT dbo.wages (hourly_wage, salary, commission, num_sales) VALUES (10.00, NULL, NULL, NULL), "
        "(20.00, NULL, NULL, NULL), (30.00, NULL, NULL, NULL), (40.00, NULL, NULL, NULL), (NULL, 10000.00, NULL, NULL), "
        "(NULL, 20000.00, NULL, NULL), (NULL, 30000.00, NULL, NULL), (NULL, 40000.00, NULL, NULL), (NULL, NULL, 15000, 3), "
        "(NULL, NULL, 25000, 2), (NULL, NULL, 20000, 6), (NULL, NULL, 14000, 4);\n"
        "SELECT CAST(COALESCE(hourly_wage * 40 * 52, salary, commission * num_sales) AS money) AS 'Total Salary'\n"
        "FROM dbo.wages ORDER BY 'Total Salary';");
    QCOMPARE(out, QStringLiteral("10000.0000\n20000.0000\n20800.0000\n30000.0000\n40000.0000\n41600.0000\n45000.0000\n"
                                 "50000.0000\n56000.0000\n62400.0000\n83200.0000\n120000.0000"));
}

QTEST_GUILESS_MAIN(TestConformanceTypes)
#include "tst_conformance_types.moc"
