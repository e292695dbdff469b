// Exact and approximate numbers through the whole engine, against what Microsoft's reference
// pages show SQL Server returning: integer arithmetic in its own type, decimal precision and
// scale, rounding on conversion, money and float text, text types too short for a number, and
// the types SUM and AVG return.

#include "EngineFixture.h"

#include <QTest>

class TestConformanceNumbers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_db.reset(); }

    void integers_data();
    void integers();
    void resultTypes_data();
    void resultTypes();
    void decimals_data();
    void decimals();
    void rounding_data();
    void rounding();
    void moneyAndFloatText_data();
    void moneyAndFloatText();
    void textTooShort_data();
    void textTooShort();
    void aggregates_data();
    void aggregates();
    void functions_data();
    void functions();

private:
    void addCases();
    std::unique_ptr<EngineFixture> m_db;
};

void TestConformanceNumbers::initTestCase()
{
    m_db = std::make_unique<EngineFixture>();
    m_db->script({
        "CREATE TABLE nums (ti tinyint, si smallint, i int, bi bigint, d decimal(5,2), n numeric(10,5), m money, "
        "sm smallmoney, f float, r real, b bit)",
        "INSERT INTO nums VALUES (1, 1, 1, 1, 1.50, 12345.12, 3148.29, 1.5, 0.5, 0.25, 1), "
        "(2, 2, 2, 2, 2.25, 1, 1.2346, 2.25, 1.5, 0.5, 0), (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)",
        "CREATE TABLE big (i int, bi bigint)",
        "INSERT INTO big VALUES (2147483647, 9223372036854775807), (1, 1)",
    });
}

void TestConformanceNumbers::addCases()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
}

void TestConformanceNumbers::integers_data()
{
    addCases();
    // learn.microsoft.com: int, bigint, smallint, and tinyint (Transact-SQL), "Converting integer data"
    QTest::newRow("constant past int is decimal") << "SELECT 2147483647 / 2 AS Result1, 2147483649 / 2 AS Result2"
                                                  << "1073741823|1073741824.500000";
    QTest::newRow("table maxima") << "SELECT CAST(9223372036854775807 AS bigint), 2147483647, CAST(32767 AS smallint), CAST(255 AS tinyint)"
                                  << "9223372036854775807|2147483647|32767|255";

    // learn.microsoft.com: / (Division) (Transact-SQL): an integer quotient truncates its fraction
    QTest::newRow("division truncates") << "SELECT 7 / 2, -7 / 2, 7 / -2, 1 / 3" << "3|-3|-3|0";
    // learn.microsoft.com: % (Modulus) (Transact-SQL), example A; the remainder takes the dividend's sign
    QTest::newRow("modulus example") << "SELECT 38 / 5 AS Integer, 38 % 5 AS Remainder" << "7|3";
    QTest::newRow("modulus signs") << "SELECT -7 % 2, 7 % -2, -7 % -2" << "-1|1|-1";
    QTest::newRow("modulus of decimal and money") << "SELECT 10.5 % 3, CAST(10.5 AS money) % 3" << "1.5|1.5000";

    // Arithmetic overflow error 8115: the result stays in the operands' integer type.
    QTest::newRow("int overflow") << "SELECT 2147483647 + 1"
                                  << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    QTest::newRow("int overflow from a column") << "SELECT i + 1 FROM big"
                                                << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    QTest::newRow("int multiply overflow") << "SELECT 65536 * 65536"
                                           << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    QTest::newRow("int min negated") << "SELECT -CAST(-2147483648 AS int)"
                                     << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    QTest::newRow("int min divided by -1") << "SELECT CAST(-2147483648 AS int) / -1"
                                           << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    QTest::newRow("bigint overflow") << "SELECT bi + 1 FROM big"
                                     << "Msg 8115: Arithmetic overflow error converting expression to data type bigint.";
    QTest::newRow("bigint min divided by -1") << "SELECT CAST(-9223372036854775808 AS bigint) / -1"
                                              << "Msg 8115: Arithmetic overflow error converting expression to data type bigint.";
    QTest::newRow("bigint min modulo -1") << "SELECT CAST(-9223372036854775808 AS bigint) % -1"
                                          << "Msg 8115: Arithmetic overflow error converting expression to data type bigint.";
    QTest::newRow("tinyint plus tinyint stays tinyint") << "SELECT CAST(255 AS tinyint) + CAST(1 AS tinyint)"
                                                        << "Msg 8115: Arithmetic overflow error converting expression to data type tinyint.";
    QTest::newRow("tinyint below zero") << "SELECT CAST(1 AS tinyint) - CAST(2 AS tinyint)"
                                        << "Msg 8115: Arithmetic overflow error converting expression to data type tinyint.";
    QTest::newRow("smallint plus smallint") << "SELECT CAST(32767 AS smallint) + CAST(1 AS smallint)"
                                            << "Msg 8115: Arithmetic overflow error converting expression to data type smallint.";
    QTest::newRow("tinyint times smallint is smallint") << "SELECT CAST(200 AS tinyint) * CAST(200 AS smallint)"
                                                        << "Msg 8115: Arithmetic overflow error converting expression to data type smallint.";
    QTest::newRow("int with bigint is bigint") << "SELECT 2147483647 + CAST(1 AS bigint)" << "2147483648";
    QTest::newRow("smallint with int fits") << "SELECT CAST(32767 AS smallint) + 1" << "32768";

    // Divide by zero error 8134, whatever the type.
    QTest::newRow("int by zero") << "SELECT 5 / 0" << "Msg 8134: Divide by zero error encountered.";
    QTest::newRow("modulo zero") << "SELECT 5 % 0" << "Msg 8134: Divide by zero error encountered.";
    QTest::newRow("decimal by zero") << "SELECT 5.0 / 0" << "Msg 8134: Divide by zero error encountered.";
    QTest::newRow("float by zero") << "SELECT 5e0 / 0" << "Msg 8134: Divide by zero error encountered.";
    QTest::newRow("money by zero") << "SELECT $5 / 0" << "Msg 8134: Divide by zero error encountered.";

    // learn.microsoft.com: % (Modulus): integer, monetary and numeric operands only.
    QTest::newRow("modulo with float") << "SELECT 5 % 2.5e0"
                                       << "Msg 402: The data types int and float are incompatible in the modulo operator.";

    // learn.microsoft.com: & (Bitwise AND), | (Bitwise OR) and ^ (Bitwise Exclusive OR), the
    // examples' 170 and 75; NULL on either side gives NULL.
    QTest::newRow("bitwise and, or, exclusive or") << "SELECT 170 & 75, 170 | 75, 170 ^ 75" << "10|235|225";
    QTest::newRow("exclusive or of smallint and NULL")
        << "SELECT CAST(-1 AS smallint) ^ CAST(21845 AS smallint), 1 ^ NULL" << "-21846|NULL";
}

void TestConformanceNumbers::integers()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(EngineFixture::asExpected(m_db->run(sql), expected), expected);
}

void TestConformanceNumbers::resultTypes_data()
{
    addCases();
    // learn.microsoft.com: Precision, scale, and length (Transact-SQL): the types of other
    // numbers are fixed, and the higher precedence wins (Data type precedence (Transact-SQL)).
    QTest::newRow("tinyint + tinyint") << "SELECT ti + ti FROM nums" << "tinyint";
    QTest::newRow("tinyint + smallint") << "SELECT ti + si FROM nums" << "smallint";
    QTest::newRow("smallint * int") << "SELECT si * i FROM nums" << "int";
    QTest::newRow("int / bigint") << "SELECT i / bi FROM nums" << "bigint";
    QTest::newRow("int + money") << "SELECT i + m FROM nums" << "money";
    QTest::newRow("money * money") << "SELECT m * m FROM nums" << "money";
    QTest::newRow("money / money") << "SELECT m / m FROM nums" << "money";
    QTest::newRow("smallmoney + smallmoney") << "SELECT sm + sm FROM nums" << "smallmoney";
    QTest::newRow("smallmoney + money") << "SELECT sm + m FROM nums" << "money";
    QTest::newRow("money + float") << "SELECT m + f FROM nums" << "float";
    QTest::newRow("real + int") << "SELECT r + i FROM nums" << "real";
    QTest::newRow("real + float") << "SELECT r + f FROM nums" << "float";
    QTest::newRow("real + decimal") << "SELECT r + d FROM nums" << "real";
    QTest::newRow("bigint + decimal") << "SELECT bi + d FROM nums" << "decimal(22,2)";
    QTest::newRow("int + text") << "SELECT i + '1' FROM nums" << "int";
    QTest::newRow("integer literal") << "SELECT 2147483647, 2147483648" << "int|numeric(10,0)";
    QTest::newRow("decimal literals") << "SELECT 1.50, .5, 0.001" << "numeric(3,2)|numeric(1,1)|numeric(3,3)";
    QTest::newRow("float and money literals") << "SELECT 1e3, $12.5" << "float|money";

    // The table of "Precision, scale, and length", e1 = decimal(5,2), e2 = decimal(10,5); money
    // counts as decimal(19,4) and int as decimal(10,0) there.
    QTest::newRow("e1 + e2") << "SELECT d + n FROM nums" << "decimal(11,5)";
    QTest::newRow("e1 - e2") << "SELECT d - n FROM nums" << "decimal(11,5)";
    QTest::newRow("e1 * e2") << "SELECT d * n FROM nums" << "decimal(16,7)";
    QTest::newRow("e1 / e2") << "SELECT d / n FROM nums" << "decimal(21,13)";
    QTest::newRow("e1 % e2") << "SELECT d % n FROM nums" << "decimal(8,5)";
    QTest::newRow("e1 union e2") << "SELECT d FROM nums UNION SELECT n FROM nums" << "decimal(10,5)";
    QTest::newRow("decimal + money") << "SELECT d + m FROM nums" << "decimal(20,4)";
    QTest::newRow("decimal / int column") << "SELECT d / i FROM nums" << "decimal(16,13)";
    // The scale reduction past 38 digits, with the page's own examples.
    QTest::newRow("multiply rule 1") << "SELECT CAST(0.0000009000 AS decimal(30,20)) * CAST(1.0000000000 AS decimal(30,20))"
                                     << "decimal(38,17)";
    QTest::newRow("multiply rule 3") << "SELECT CAST(0.0000009000 AS decimal(30,10)) * CAST(1.0000000000 AS decimal(30,10))"
                                     << "decimal(38,6)";
    QTest::newRow("divide past 38 digits") << "SELECT CAST(1 AS decimal(38,0)) / i FROM nums" << "decimal(38,6)";
    QTest::newRow("add past 38 digits") << "SELECT CAST(1 AS decimal(38,10)) + CAST(1 AS decimal(38,10))" << "decimal(38,10)";
}

void TestConformanceNumbers::resultTypes()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    // decimal and numeric are one type; the name a literal gives it is not the point here.
    QString actual = m_db->types(sql);
    if (!expected.contains(QLatin1String("numeric")))
        actual.replace(QLatin1String("numeric"), QLatin1String("decimal"));
    QCOMPARE(actual, expected);
}

void TestConformanceNumbers::decimals_data()
{
    addCases();
    // learn.microsoft.com: Precision, scale, and length (Transact-SQL), "Examples"
    QTest::newRow("multiply keeps 17 places")
        << "SELECT CAST(0.0000009000 AS decimal(30,20)) * CAST(1.0000000000 AS decimal(30,20))" << "0.00000090000000000";
    QTest::newRow("multiply rounds to 6 places")
        << "SELECT CAST(0.0000009000 AS decimal(30,10)) * CAST(1.0000000000 AS decimal(30,10))" << "0.000001";
    // An integer constant meets a decimal as numeric(its digits, 0) (int, bigint, smallint, and
    // tinyint (Transact-SQL), the caution on constants), so the quotient has six places.
    QTest::newRow("decimal constant divided by int constant") << "SELECT 1.0 / 3, 7.0 / 2, 2.0 / 3" << "0.333333|3.500000|0.666666";
    QTest::newRow("int constant divided by decimal") << "SELECT 1 / 3.0, 10 / 4.0" << "0.333333|2.500000";
    QTest::newRow("int column divided by decimal") << "SELECT i / 3.0 FROM nums WHERE i = 1" << "0.333333";
    QTest::newRow("decimal column divided by int column") << "SELECT d / i FROM nums WHERE i = 2" << "1.1250000000000";
    QTest::newRow("decimal column divided by constant") << "SELECT d / 3 FROM nums WHERE i = 1" << "0.500000";
    QTest::newRow("constant times decimal") << "SELECT 250 * 1.5, 3 * 0.10" << "375.0|0.30";
    QTest::newRow("quotient past 38 digits") << "SELECT CAST(2 AS decimal(38,10)) / CAST(3 AS decimal(38,10))" << "0.666666";
    QTest::newRow("sum keeps the larger scale") << "SELECT 1.5 + 0.25, 1.5 - 0.25" << "1.75|1.25";
    QTest::newRow("product scale adds") << "SELECT 1.5 * 0.25" << "0.375";
    QTest::newRow("negative product") << "SELECT -1.5 * 0.25" << "-0.375";
    QTest::newRow("decimal comparison ignores scale") << "SELECT CASE WHEN 1.50 = 1.5 THEN 1 ELSE 0 END" << "1";
    QTest::newRow("38 digits") << "SELECT 99999999999999999999999999999999999999 + 0" << "99999999999999999999999999999999999999";
    QTest::newRow("past 38 digits overflows")
        << "SELECT 99999999999999999999999999999999999999 + 1"
        << "Msg 8115: Arithmetic overflow error converting expression to data type numeric.";
    QTest::newRow("more than 38 digits in a literal")
        << "SELECT 999999999999999999999999999999999999999"
        << "Msg 1007: The number '999999999999999999999999999999999999999' is out of the range for numeric representation (maximum precision 38).";

    // learn.microsoft.com: decimal and numeric (Transact-SQL), "Examples": values take the column's scale.
    QTest::newRow("columns keep their scale") << "SELECT d, n FROM nums WHERE i = 1" << "1.50|12345.12000";
    // learn.microsoft.com: money and smallmoney (Transact-SQL): four places, and the ranges.
    QTest::newRow("money four places") << "SELECT m, sm FROM nums WHERE i = 1" << "3148.2900|1.5000";
    QTest::newRow("money literal") << "SELECT $12.5, $0.00005, $-123.45, -$1" << "12.5000|0.0001|-123.4500|-1.0000";
    QTest::newRow("money range") << "SELECT CAST(922337203685477.5807 AS money), CAST(-922337203685477.5808 AS money)"
                                 << "922337203685477.5807|-922337203685477.5808";
    QTest::newRow("money past its range") << "SELECT CAST(922337203685477.5808 AS money)"
                                          << "Msg 8115: Arithmetic overflow error converting numeric to data type money.";
    QTest::newRow("smallmoney range") << "SELECT CAST(214748.3647 AS smallmoney), CAST(-214748.3648 AS smallmoney)"
                                      << "214748.3647|-214748.3648";
    QTest::newRow("smallmoney past its range") << "SELECT CAST(214748.3648 AS smallmoney)"
                                               << "Msg 8115: Arithmetic overflow error converting numeric to data type smallmoney.";
    QTest::newRow("money arithmetic") << "SELECT m + 1, m * 2, m / 3 FROM nums WHERE i = 1" << "3149.2900|6296.5800|1049.4300";
}

void TestConformanceNumbers::decimals()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(EngineFixture::asExpected(m_db->run(sql), expected), expected);
}

void TestConformanceNumbers::rounding_data()
{
    addCases();
    // learn.microsoft.com: CAST and CONVERT (Transact-SQL), "Truncating and rounding results":
    // numeric to int truncates, numeric to numeric rounds, and the page's examples.
    QTest::newRow("page example") << "SELECT CAST(10.6496 AS INT) as trunc1, CAST(-10.6496 AS INT) as trunc2, "
                                     "CAST(10.6496 AS NUMERIC) as round1, CAST(-10.6496 AS NUMERIC) as round2"
                                  << "10|-10|11|-11";
    QTest::newRow("numeric to money rounds") << "SELECT CAST(10.3496847 AS money)" << "10.3497";
    QTest::newRow("numeric to numeric half away from zero") << "SELECT CAST(1.25 AS decimal(2,1)), CAST(-1.25 AS decimal(2,1))"
                                                            << "1.3|-1.3";
    QTest::newRow("numeric to smaller scale") << "SELECT CAST(1.2345 AS decimal(5,3)), CAST(0.0005 AS decimal(4,3))" << "1.235|0.001";
    QTest::newRow("numeric rounds into overflow") << "SELECT CAST(999.5 AS decimal(3,0))"
                                                  << "Msg 8115: Arithmetic overflow error converting numeric to data type numeric.";
    QTest::newRow("int into too small a decimal") << "SELECT CAST(99999 AS decimal(4,0))"
                                                  << "Msg 8115: Arithmetic overflow error converting int to data type numeric.";
    // learn.microsoft.com: money and smallmoney (Transact-SQL), "Converting money data"
    QTest::newRow("money page example") << "SELECT CAST(sm AS varchar), CAST(m AS decimal) FROM nums WHERE i = 1" << "1.50|3148";
    QTest::newRow("money to int rounds") << "SELECT CAST(CAST(10.5 AS money) AS int), CAST(CAST(-10.5 AS money) AS int), "
                                            "CAST(CAST(10.4999 AS money) AS int)"
                                         << "11|-11|10";
    QTest::newRow("money to numeric rounds") << "SELECT CAST(CAST(2.5 AS money) AS decimal(2,0)), CAST(m AS decimal(6,1)) FROM nums WHERE i = 2"
                                             << "3|1.2";
    QTest::newRow("float to int truncates") << "SELECT CAST(10.9e0 AS int), CAST(-10.9e0 AS int), CAST(f AS int) FROM nums WHERE i = 2"
                                            << "10|-10|1";
    QTest::newRow("float to numeric rounds") << "SELECT CAST(2.5e0 AS decimal(1,0)), CAST(0.125e0 AS decimal(3,2)), CAST(r AS decimal(2,1)) FROM nums WHERE i = 2"
                                             << "3|0.13|0.5";
    QTest::newRow("float past int") << "SELECT CAST(1e10 AS int)"
                                    << "Msg 232: Arithmetic overflow error for type int, value = 10000000000.000000.";
    // Conversions into a narrower integer type: SQL Server names the value (error 220).
    QTest::newRow("int into tinyint") << "SELECT CAST(256 AS tinyint)"
                                      << "Msg 220: Arithmetic overflow error for data type tinyint, value = 256.";
    QTest::newRow("negative into tinyint") << "SELECT CAST(-1 AS tinyint)"
                                           << "Msg 220: Arithmetic overflow error for data type tinyint, value = -1.";
    QTest::newRow("int into smallint") << "SELECT CAST(i * 40000 AS smallint) FROM nums WHERE i = 1"
                                       << "Msg 220: Arithmetic overflow error for data type smallint, value = 40000.";
    QTest::newRow("decimal constant into int") << "SELECT CAST(2147483648 AS int)"
                                               << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    // Text read as a number: blanks allowed, nothing else (CAST and CONVERT, "Truncating and rounding results").
    QTest::newRow("text to int") << "SELECT CAST(' 12 ' AS int), CAST('-5' AS int), CAST('+5' AS smallint)" << "12|-5|5";
    QTest::newRow("text with a point to int") << "SELECT CAST('1.5' AS int)"
                                              << "Msg 245: Conversion failed when converting the varchar value '1.5' to data type int.";
    QTest::newRow("text to decimal rounds") << "SELECT CAST('1.255' AS decimal(3,2)), CAST('  -0.5' AS decimal(2,1))" << "1.26|-0.5";
    QTest::newRow("empty text to decimal") << "SELECT CAST('' AS decimal(5,2))"
                                           << "Msg 8114: Error converting data type varchar to numeric.";
    QTest::newRow("letters to decimal") << "SELECT CAST('abc' AS decimal(5,2))"
                                        << "Msg 8114: Error converting data type varchar to numeric.";
    QTest::newRow("empty text to int and float") << "SELECT CAST('' AS int), CAST('' AS float)" << "0|0";
    QTest::newRow("text past tinyint")
        << "SELECT CAST('300' AS tinyint)"
        << "Msg 244: The conversion of the varchar value '300' overflowed an INT1 column. Use a larger integer column.";
    QTest::newRow("text with exponent to float") << "SELECT CAST('1.5e3' AS float), CAST(' 2 ' AS real)" << "1500|2";
    QTest::newRow("text to money") << "SELECT CAST('$1,234.5' AS money), CAST('12.34567' AS money)" << "1234.5000|12.3457";
    QTest::newRow("bad text to money") << "SELECT CAST('abc' AS money)"
                                       << "Msg 235: Cannot convert a char value to money. The char value has incorrect syntax.";
}

void TestConformanceNumbers::rounding()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(EngineFixture::asExpected(m_db->run(sql), expected), expected);
}

void TestConformanceNumbers::moneyAndFloatText_data()
{
    addCases();
    // learn.microsoft.com: CAST and CONVERT (Transact-SQL), "money and smallmoney styles"
    QTest::newRow("money style 0") << "SELECT CONVERT(varchar(30), CAST(4235.9819 AS money), 0)" << "4235.98";
    QTest::newRow("money style 1") << "SELECT CONVERT(varchar(30), CAST(3510.92 AS money), 1)" << "3,510.92";
    QTest::newRow("money style 2") << "SELECT CONVERT(varchar(30), CAST(4235.9819 AS money), 2)" << "4235.9819";
    QTest::newRow("money style 126 is 2") << "SELECT CONVERT(varchar(30), CAST(4235.9819 AS money), 126)" << "4235.9819";
    QTest::newRow("other money styles are 0") << "SELECT CONVERT(varchar(30), CAST(4235.9819 AS money), 3)" << "4235.98";
    QTest::newRow("money style 1 negative millions") << "SELECT CONVERT(varchar(30), CAST(-1234567.891 AS money), 1)" << "-1,234,567.89";
    QTest::newRow("money default text") << "SELECT CAST(m AS varchar(20)), CAST(CAST(0.5 AS money) AS varchar(20)) FROM nums WHERE i = 2"
                                        << "1.23|0.50";
    QTest::newRow("smallmoney styles") << "SELECT CONVERT(varchar(30), sm, 0), CONVERT(varchar(30), sm, 2) FROM nums WHERE i = 2"
                                       << "2.25|2.2500";
    QTest::newRow("money into nvarchar") << "SELECT CONVERT(nvarchar(30), CAST(1000000 AS money), 1)" << "1,000,000.00";

    // learn.microsoft.com: CAST and CONVERT (Transact-SQL), "float and real styles"
    QTest::newRow("float style 0") << "SELECT CONVERT(varchar(30), 1234.5678e0, 0)" << "1234.57";
    QTest::newRow("float style 1") << "SELECT CONVERT(varchar(30), 1234.5678e0, 1)" << "1.2345678e+003";
    QTest::newRow("float style 2") << "SELECT CONVERT(varchar(30), 1234.5678e0, 2)" << "1.234567800000000e+003";
    QTest::newRow("float style 3") << "SELECT CONVERT(varchar(30), 1234.5678e0, 3)" << "1234.5678";
    QTest::newRow("float default scientific") << "SELECT CAST(123456789.123456789e0 AS varchar(30)), CAST(1234.123456789e0 AS nvarchar(20))"
                                              << "1.23457e+008|1234.12";
    QTest::newRow("float small and whole") << "SELECT CAST(0.1e0 AS varchar(30)), CAST(1e-5 AS varchar(30)), CAST(100000e0 AS varchar(30)), "
                                              "CAST(1000000e0 AS varchar(30))"
                                           << "0.1|1e-005|100000|1e+006";
    QTest::newRow("real into text") << "SELECT CAST(r AS varchar(20)) FROM nums WHERE i = 1" << "0.25";
    QTest::newRow("str") << "SELECT STR(123.456, 6, 2), STR(-1.5), STR(12345678901, 5)" << "123.46|        -2|*****";

    // Values as SQL Server's tools show them: decimals with their scale, float to 15 digits.
    QTest::newRow("float values") << "SELECT 1e0 / 3, 0.1e0 + 0.2e0, CAST(1e20 AS float), f FROM nums WHERE i = 1"
                                  << "0.333333333333333|0.3|1E+20|0.5";
    QTest::newRow("real values") << "SELECT CAST(1 AS real) / 3, CAST(0.1 AS real)" << "0.3333333|0.1";
}

void TestConformanceNumbers::moneyAndFloatText()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(EngineFixture::asExpected(m_db->run(sql), expected), expected);
}

void TestConformanceNumbers::textTooShort_data()
{
    addCases();
    // learn.microsoft.com: CAST and CONVERT (Transact-SQL), "Truncating and rounding results":
    // * for int, smallint and tinyint into char/varchar, an error (E) for every other pair.
    QTest::newRow("int into char") << "SELECT CAST(123 AS char(2))" << "*";
    QTest::newRow("int into varchar") << "SELECT CAST(123 AS varchar(2))" << "*";
    QTest::newRow("negative int into varchar") << "SELECT CAST(-1234 AS varchar(4))" << "*";
    QTest::newRow("smallint and tinyint into char") << "SELECT CAST(si * 100 AS char(2)), CAST(CAST(200 AS tinyint) AS char(1)) FROM nums WHERE i = 1"
                                                    << "*|*";
    QTest::newRow("int that fits") << "SELECT CAST(12345 AS varchar(5)), CAST(-1234 AS char(5))" << "12345|-1234";
    QTest::newRow("int into nchar") << "SELECT CAST(123 AS nchar(2))" << "Msg 8115";
    QTest::newRow("int into nvarchar") << "SELECT CAST(123 AS nvarchar(2))" << "Msg 8115";
    QTest::newRow("decimal into varchar") << "SELECT CAST(123.45 AS varchar(2))"
                                          << "Msg 8115: Arithmetic overflow error converting numeric to data type varchar.";
    QTest::newRow("decimal into char") << "SELECT CAST(d AS char(3)) FROM nums WHERE i = 1"
                                       << "Msg 8115: Arithmetic overflow error converting numeric to data type char.";
    QTest::newRow("money into varchar") << "SELECT CAST(m AS varchar(3)) FROM nums WHERE i = 1" << "Msg 8115";
    QTest::newRow("float into varchar") << "SELECT CAST(1.5e0 AS varchar(2))"
                                        << "Msg 232: Arithmetic overflow error for type varchar, value = 1.500000.";
    QTest::newRow("real into nvarchar") << "SELECT CAST(r AS nvarchar(2)) FROM nums WHERE i = 1" << "Msg 232";
}

void TestConformanceNumbers::textTooShort()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(EngineFixture::asExpected(m_db->run(sql), expected), expected);
}

void TestConformanceNumbers::aggregates_data()
{
    addCases();
    QTest::addColumn<QString>("type");
    // learn.microsoft.com: SUM (Transact-SQL), "Return Types"
    QTest::newRow("sum tinyint") << "SELECT SUM(ti) FROM nums" << "3" << "int";
    QTest::newRow("sum smallint") << "SELECT SUM(si) FROM nums" << "3" << "int";
    QTest::newRow("sum int") << "SELECT SUM(i) FROM nums" << "3" << "int";
    QTest::newRow("sum bigint") << "SELECT SUM(bi) FROM nums" << "3" << "bigint";
    QTest::newRow("sum decimal") << "SELECT SUM(d) FROM nums" << "3.75" << "decimal(38,2)";
    QTest::newRow("sum money") << "SELECT SUM(m) FROM nums" << "3149.5246" << "money";
    QTest::newRow("sum smallmoney") << "SELECT SUM(sm) FROM nums" << "3.7500" << "money";
    QTest::newRow("sum float") << "SELECT SUM(f) FROM nums" << "2" << "float";
    QTest::newRow("sum real") << "SELECT SUM(r) FROM nums" << "0.75" << "float";
    QTest::newRow("sum of nothing") << "SELECT SUM(i) FROM nums WHERE i > 5" << "NULL" << "int";
    QTest::newRow("sum overflows its type") << "SELECT SUM(i) FROM big"
                                            << "Msg 8115: Arithmetic overflow error converting expression to data type int." << "int";
    QTest::newRow("sum bit") << "SELECT SUM(b) FROM nums" << "Msg 8117: Operand data type bit is invalid for sum operator."
                             << "Msg 8117: Operand data type bit is invalid for sum operator.";
    QTest::newRow("sum text") << "SELECT SUM('a') FROM nums" << "Msg 8117: Operand data type varchar is invalid for sum operator."
                              << "Msg 8117: Operand data type varchar is invalid for sum operator.";
    // learn.microsoft.com: AVG (Transact-SQL), "Return types": an integer average is an integer.
    QTest::newRow("avg tinyint") << "SELECT AVG(ti) FROM nums" << "1" << "int";
    QTest::newRow("avg int") << "SELECT AVG(i) FROM nums" << "1" << "int";
    QTest::newRow("avg bigint") << "SELECT AVG(bi) FROM nums" << "1" << "bigint";
    QTest::newRow("avg decimal") << "SELECT AVG(d) FROM nums" << "1.875000" << "decimal(38,6)";
    QTest::newRow("avg wide scale") << "SELECT AVG(n) FROM nums" << "6173.060000" << "numeric(38,6)";
    QTest::newRow("avg money") << "SELECT AVG(m) FROM nums" << "1574.7623" << "money";
    QTest::newRow("avg float") << "SELECT AVG(f) FROM nums" << "1" << "float";
    QTest::newRow("avg of int sum past int") << "SELECT AVG(i) FROM big"
                                             << "Msg 8115: Arithmetic overflow error converting expression to data type int." << "int";
    QTest::newRow("avg bit") << "SELECT AVG(b) FROM nums" << "Msg 8117: Operand data type bit is invalid for avg operator."
                             << "Msg 8117: Operand data type bit is invalid for avg operator.";
    // learn.microsoft.com: COUNT (Transact-SQL) returns int, COUNT_BIG bigint; MIN and MAX keep their argument's type.
    QTest::newRow("count") << "SELECT COUNT(*), COUNT(i) FROM nums" << "3|2" << "int|int";
    QTest::newRow("min max keep type") << "SELECT MIN(d), MAX(m) FROM nums" << "1.50|3148.2900" << "decimal(5,2)|money";
}

void TestConformanceNumbers::aggregates()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QFETCH(QString, type);
    QCOMPARE(EngineFixture::asExpected(m_db->run(sql), expected), expected);
    QCOMPARE(m_db->types(sql), type);
}

void TestConformanceNumbers::functions_data()
{
    addCases();
    // learn.microsoft.com: ROUND (Transact-SQL), examples A to C: the result keeps the type.
    QTest::newRow("round approximations") << "SELECT ROUND(123.9994, 3), ROUND(123.9995, 3)" << "123.9990|124.0000";
    QTest::newRow("round to the left") << "SELECT ROUND(123.4545, 2), ROUND(123.45, -2)" << "123.4500|100.00";
    QTest::newRow("round and truncate") << "SELECT ROUND(150.75, 0), ROUND(150.75, 0, 1)" << "151.00|150.00";
    QTest::newRow("round to tens and hundreds") << "SELECT ROUND(748.58, -1), ROUND(748.58, -2)" << "750.00|700.00";
    QTest::newRow("round past the precision") << "SELECT ROUND(748.58, -3)"
                                              << "Msg 8115: Arithmetic overflow error converting expression to data type numeric.";
    QTest::newRow("round float and int") << "SELECT ROUND(2.5e0, 0), ROUND(1234, -2), ROUND(-2.5, 0)" << "3|1200|-3.0";
    // learn.microsoft.com: CEILING, FLOOR, ABS (Transact-SQL), the pages' examples.
    QTest::newRow("ceiling") << "SELECT CEILING($123.45), CEILING($-123.45), CEILING($0.0)" << "124.0000|-123.0000|0.0000";
    QTest::newRow("floor") << "SELECT FLOOR(123.45), FLOOR(-123.45), FLOOR($123.45)" << "123|-124|123.0000";
    QTest::newRow("abs") << "SELECT ABS(-1.0), ABS(0.0), ABS(1.0)" << "1.0|0.0|1.0";
    QTest::newRow("abs of the smallest int") << "DECLARE @i INT; SET @i = -2147483648; SELECT ABS(@i)"
                                             << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    // learn.microsoft.com: POWER (Transact-SQL): the result takes the base's type.
    QTest::newRow("power keeps the base type") << "SELECT POWER(CAST(2.0 AS float), -100.0), POWER(2, -100.0), POWER(2.0, -100.0), POWER(2.0, 3)"
                                               << "7.88860905221012E-31|0|0.0|8.0";
    // learn.microsoft.com: STR (Transact-SQL), examples.
    QTest::newRow("str examples") << "SELECT STR(123.45, 6, 1), STR(123.45, 2, 2), STR(FLOOR(123.45), 8, 3)" << " 123.5|**| 123.000";

    // learn.microsoft.com: CAST and CONVERT (Transact-SQL), "Truncating and rounding results":
    // a number converted to binary and back is the same number.
    QTest::newRow("decimal through varbinary") << "DECLARE @myval DECIMAL(5, 2); SET @myval = 193.57; "
                                                  "SELECT CAST(CAST(@myval AS VARBINARY(20)) AS DECIMAL(10,5)), "
                                                  "CONVERT(DECIMAL(10,5), CONVERT(VARBINARY(20), @myval))"
                                               << "193.57000|193.57000";
    QTest::newRow("negative and wide decimals through varbinary")
        << "SELECT CAST(CAST(CAST(-0.5 AS decimal(3,1)) AS varbinary(20)) AS decimal(3,1)), "
           "CAST(CAST(CAST(12345678901234567890123.45 AS decimal(38,2)) AS varbinary(20)) AS decimal(38,2))"
        << "-0.5|12345678901234567890123.45";
    QTest::newRow("money and float through varbinary")
        << "SELECT CAST(CAST($-2.5 AS varbinary(8)) AS money), CAST(CAST(CAST(3.25 AS smallmoney) AS varbinary(4)) AS smallmoney), "
           "CAST(CAST(1.5e0 AS varbinary(8)) AS float), CAST(CAST(CAST(0.25 AS real) AS varbinary(4)) AS real)"
        << "-2.5000|3.2500|1.5|0.25";
    QTest::newRow("float's bytes") << "SELECT CAST(1e0 AS varbinary(8)), CAST(CAST(1 AS int) AS varbinary(4))"
                                   << "0x3FF0000000000000|0x00000001";
}

void TestConformanceNumbers::functions()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(EngineFixture::asExpected(m_db->batchValues(sql), expected), expected);
}

QTEST_GUILESS_MAIN(TestConformanceNumbers)
#include "tst_conformance_numbers.moc"
