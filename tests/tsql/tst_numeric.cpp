// Numbers as SQL Server computes them: result types, exact decimal arithmetic, conversions,
// text in and out, the mathematical functions and SUM/AVG. Every expected answer comes from
// Microsoft's documentation or a well-known article, named above its table.
//
// An operand is written as a literal ("7", "2.0", "$12.5", "-10.6496") or as "text::type"
// ("748.58::decimal(6,2)"), which reads the text into that type as CAST does. A result reads
// "text type" (money with its four places) or "Msg N: text".

#include "tsql/Numeric.h"

#include <QTest>

#include <functional>

using namespace tsql;

namespace {

Value operand(const QString &written)
{
    const int cast = written.indexOf(QStringLiteral("::"));
    if (cast >= 0)
        return num::parse(written.left(cast).toStdString(), parseDeclared(written.mid(cast + 2).toStdString()),
                          SqlType::varchar(30));
    if (written.startsWith(QLatin1Char('-')))
        return num::negate(num::literalValue(written.mid(1).toStdString()));
    return num::literalValue(written.toStdString());
}

QString render(const Value &v)
{
    const SqlType &t = v.sqlType();
    const QString text = v.isNull() ? QStringLiteral("NULL") : QString::fromStdString(num::toText(v, t.isMoney() ? 2 : 0));
    return text + QLatin1Char(' ') + QString::fromStdString(t.display());
}

QString outcome(const std::function<QString()> &f)
{
    try {
        return f();
    } catch (const Error &e) {
        return QStringLiteral("Msg %1: %2").arg(e.number()).arg(QString::fromStdString(e.what()));
    }
}

num::Op opOf(const QString &op)
{
    switch (op.at(0).toLatin1()) {
    case '+': return num::Op::Add;
    case '-': return num::Op::Subtract;
    case '*': return num::Op::Multiply;
    case '/': return num::Op::Divide;
    default: return num::Op::Modulo;
    }
}

} // namespace

class TestNumeric : public QObject {
    Q_OBJECT

private slots:
    void resultTypes_data();
    void resultTypes();
    void arithmetic_data();
    void arithmetic();
    void conversions_data();
    void conversions();
    void textToNumber_data();
    void textToNumber();
    void literals_data();
    void literals();
    void numberToText_data();
    void numberToText();
    void tooLongForText();
    void functions_data();
    void functions();
    void str_data();
    void str();
    void aggregates_data();
    void aggregates();
    void randomSequences();
};

void TestNumeric::resultTypes_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("type");

    // learn.microsoft.com: Precision, scale, and length (Transact-SQL), the table and its examples
    QTest::newRow("product up to 32 integer digits") << "decimal(30,20)" << "*" << "decimal(30,20)" << "decimal(38,17)";
    QTest::newRow("product past 32 integer digits") << "decimal(30,10)" << "*" << "decimal(30,10)" << "decimal(38,6)";
    QTest::newRow("sum keeps the integer digits") << "decimal(38,30)" << "+" << "decimal(38,0)" << "decimal(38,0)";
    QTest::newRow("difference within 38") << "decimal(9,6)" << "-" << "decimal(7,2)" << "decimal(12,6)";
    QTest::newRow("modulo") << "decimal(5,2)" << "%" << "decimal(3,0)" << "decimal(5,2)";
    QTest::newRow("int over one-place numeric") << "int" << "/" << "numeric(2,1)" << "numeric(17,6)";
    QTest::newRow("money meets decimal") << "money" << "+" << "decimal(5,2)" << "decimal(20,4)";
    // sqlservercentral.com, "Fun with Scale and Precision": two decimal(38,10) divide into decimal(38,6)
    QTest::newRow("quotient of 38-digit decimals") << "decimal(38,10)" << "/" << "decimal(38,10)" << "decimal(38,6)";
    // "Challenging SQL Server Precision with Pi Calculations": 6167950454 / 1963319607 is numeric(21,11)
    QTest::newRow("numeric(10,0) over int") << "numeric(10,0)" << "/" << "int" << "numeric(21,11)";
    // learn.microsoft.com: Precision, scale, and length: two operands of one type keep it
    QTest::newRow("tinyint stays tinyint") << "tinyint" << "+" << "tinyint" << "tinyint";
    QTest::newRow("integer division") << "int" << "/" << "int" << "int";
    QTest::newRow("money times money") << "money" << "*" << "money" << "money";
    QTest::newRow("smallmoney stays smallmoney") << "smallmoney" << "+" << "smallmoney" << "smallmoney";
    // learn.microsoft.com: Data type precedence (Transact-SQL); / (Division)
    QTest::newRow("smallint over tinyint") << "smallint" << "*" << "tinyint" << "smallint";
    QTest::newRow("money over int") << "money" << "/" << "int" << "money";
    QTest::newRow("real over int") << "real" << "+" << "int" << "real";
    QTest::newRow("float over decimal") << "float" << "*" << "decimal(10,2)" << "float";
    QTest::newRow("float over real") << "real" << "-" << "float" << "float";
    QTest::newRow("int over bit") << "bit" << "+" << "int" << "int";
    // learn.microsoft.com: % (Modulus): integer, monetary and numeric operands only;
    // codewithsurya.in, "Msg 402 in SQL Server": the message for float
    QTest::newRow("modulo of money") << "int" << "%" << "money" << "money";
    QTest::newRow("modulo of float")
        << "float" << "%" << "int" << "Msg 402: The data types float and int are incompatible in the modulo operator.";
}

void TestNumeric::resultTypes()
{
    QFETCH(QString, a);
    QFETCH(QString, op);
    QFETCH(QString, b);
    QFETCH(QString, type);
    QCOMPARE(outcome([&] {
                 return QString::fromStdString(
                     num::arithmeticType(opOf(op), parseDeclared(a.toStdString()), parseDeclared(b.toStdString())).display());
             }),
             type);
}

void TestNumeric::arithmetic_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("result");

    // learn.microsoft.com: Precision, scale, and length (Transact-SQL), "Examples"
    QTest::newRow("product kept whole") << "0.0000009000::decimal(30,20)" << "*" << "1.0000000000::decimal(30,20)"
                                        << "0.00000090000000000 decimal(38,17)";
    QTest::newRow("product rounded to 6 places") << "0.0000009000::decimal(30,10)" << "*" << "1.0000000000::decimal(30,10)"
                                                 << "0.000001 decimal(38,6)";
    QTest::newRow("int over numeric") << "7" << "/" << "2.0" << "3.500000 numeric(17,6)";
    // sqlservercentral.com, "Fun with Scale and Precision"; stackoverflow.com/questions/423925,
    // "T-SQL Decimal Division Accuracy"; "Challenging SQL Server Precision with Pi Calculations":
    // quotients are cut, not rounded, at the result's scale
    QTest::newRow("quotient cut to 6 places") << "1.67574::decimal(38,10)" << "/" << "10000::decimal(38,10)"
                                              << "0.000167 decimal(38,6)";
    QTest::newRow("quotient cut to 14 places") << "146804871.212533::decimal(30,15)" << "/" << "12499999.9999::decimal(38,9)"
                                               << "11.74438969709659 decimal(38,14)";
    QTest::newRow("quotient cut to 8 places") << "146804871.212533::decimal(30,15)" << "/" << "12499999.9999::decimal(38,15)"
                                              << "11.74438969 decimal(38,8)";
    QTest::newRow("quotient of literals") << "6167950454" << "/" << "1963319607" << "3.14159265358 numeric(21,11)";
    // learn.microsoft.com: / (Division), the SalesQuota example (money over int)
    QTest::newRow("money over int") << "250000.00::money" << "/" << "12" << "20833.3333 money";
    // learn.microsoft.com: % (Modulus), "Simple example"
    QTest::newRow("integer quotient") << "38" << "/" << "5" << "7 int";
    QTest::newRow("remainder") << "38" << "%" << "5" << "3 int";
    // learn.microsoft.com: Precision, scale, and length: the overflow error of a result past its type
    QTest::newRow("int past its range") << "2147483647" << "+" << "1"
                                        << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    QTest::newRow("tinyint past its range") << "200::tinyint" << "+" << "100::tinyint"
                                            << "Msg 8115: Arithmetic overflow error converting expression to data type tinyint.";
    QTest::newRow("38 nines plus one") << "99999999999999999999999999999999999999" << "+" << "1"
                                       << "Msg 8115: Arithmetic overflow error converting expression to data type numeric.";
    QTest::newRow("product of 38 digits") << "99999999999999999999::decimal(20,0)" << "*" << "99999999999999999999::decimal(20,0)"
                                          << "Msg 8115: Arithmetic overflow error converting expression to data type numeric.";
    QTest::newRow("bigint quotient past its range") << "-9223372036854775808::bigint" << "/" << "-1::bigint"
                                                    << "Msg 8115: Arithmetic overflow error converting expression to data type bigint.";
    QTest::newRow("bigint remainder of that quotient") << "-9223372036854775808::bigint" << "%" << "-1::bigint"
                                                       << "Msg 8115: Arithmetic overflow error converting expression to data type bigint.";
    QTest::newRow("decimal by zero") << "1.0" << "/" << "0" << "Msg 8134: Divide by zero error encountered.";
    QTest::newRow("remainder by zero") << "5" << "%" << "0" << "Msg 8134: Divide by zero error encountered.";
    QTest::newRow("float by zero") << "1e0" << "/" << "0" << "Msg 8134: Divide by zero error encountered.";
}

void TestNumeric::arithmetic()
{
    QFETCH(QString, a);
    QFETCH(QString, op);
    QFETCH(QString, b);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] { return render(num::arithmetic(opOf(op), operand(a), operand(b))); }), result);
}

void TestNumeric::conversions_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("result");

    // learn.microsoft.com: CAST and CONVERT (Transact-SQL), "Truncating and rounding results"
    QTest::newRow("numeric to int truncates") << "10.6496" << "int" << "10 int";
    QTest::newRow("negative numeric to int truncates") << "-10.6496" << "int" << "-10 int";
    QTest::newRow("numeric to numeric rounds") << "10.6496" << "numeric" << "11 numeric(18,0)";
    QTest::newRow("negative numeric to numeric rounds") << "-10.6496" << "numeric" << "-11 numeric(18,0)";
    QTest::newRow("numeric to money rounds") << "10.3496847" << "money" << "10.3497 money";
    QTest::newRow("money to int rounds") << "$10.6" << "int" << "11 int";
    QTest::newRow("float to int truncates") << "10.9e0" << "int" << "10 int";
    QTest::newRow("half away from zero") << "1.005" << "decimal(5,2)" << "1.01 decimal(5,2)";
    // oraclejavacentral.blogspot.com, "Arithmetic overflow error converting numeric to data type numeric"
    QTest::newRow("rounded into numeric(5,2)") << "100.999" << "numeric(5,2)" << "101.00 numeric(5,2)";
    QTest::newRow("numeric(5,2) too small")
        << "1000.554" << "numeric(5,2)" << "Msg 8115: Arithmetic overflow error converting numeric to data type numeric.";
    // database.guide, "Arithmetic overflow error converting int to data type numeric"
    QTest::newRow("int too large for numeric(3,2)")
        << "15" << "numeric(3,2)" << "Msg 8115: Arithmetic overflow error converting int to data type numeric.";
    // fyicenter.com, "Overflow Errors with INT Values"
    QTest::newRow("numeric literal past int")
        << "2147483648" << "int" << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    // Microsoft's error reference: Error 220 (SQL Server 2000 documentation)
    QTest::newRow("int past smallint") << "32770" << "smallint" << "Msg 220: Arithmetic overflow error for data type smallint, value = 32770.";
    // rendc.org, "What Happens When Converting Big Values to Integers?"
    QTest::newRow("real past tinyint")
        << "12345.12::real" << "tinyint" << "Msg 232: Arithmetic overflow error for type tinyint, value = 12345.120117.";
}

void TestNumeric::conversions()
{
    QFETCH(QString, value);
    QFETCH(QString, type);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] { return render(num::convert(operand(value), parseDeclared(type.toStdString()))); }), result);
}

void TestNumeric::textToNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("result");

    // learn.microsoft.com: CAST and CONVERT (Transact-SQL): example K and "Truncating and rounding results"
    QTest::newRow("words to int") << " is not a string." << "varchar" << "int"
                                  << "Msg 245: Conversion failed when converting the varchar value ' is not a string.' to data type int.";
    QTest::newRow("fraction to int") << "12.5" << "varchar" << "int"
                                     << "Msg 245: Conversion failed when converting the varchar value '12.5' to data type int.";
    QTest::newRow("exponent to int") << "1e3" << "varchar" << "int"
                                     << "Msg 245: Conversion failed when converting the varchar value '1e3' to data type int.";
    QTest::newRow("blanks around an int") << " 12 " << "varchar" << "int" << "12 int";
    QTest::newRow("empty to int") << "" << "varchar" << "int" << "0 int";
    QTest::newRow("fraction to decimal") << "12.5" << "varchar" << "decimal(3,1)" << "12.5 decimal(3,1)";
    QTest::newRow("empty to decimal") << "" << "varchar" << "decimal(5,2)" << "Msg 8114: Error converting data type varchar to numeric.";
    QTest::newRow("exponent to decimal") << "1e3" << "varchar" << "decimal(5,0)" << "Msg 8114: Error converting data type varchar to numeric.";
    QTest::newRow("exponent to float") << "1e3" << "varchar" << "float" << "1000 float";
    // excelkingdom.blogspot.com, "SQL Arithmetic Overflow Error Converting Varchar to Data Type Numeric"
    QTest::newRow("text past decimal(5,4)") << "15000.1234" << "varchar" << "decimal(5,4)"
                                            << "Msg 8115: Arithmetic overflow error converting varchar to data type numeric.";
    // learn.microsoft.com: Behavior Changes to Database Engine Features in SQL Server 2014 (the
    // value() method's former message); Msg 248 as the catalogue words it
    QTest::newRow("nvarchar past smallint") << "100000" << "nvarchar" << "smallint"
                                            << "Msg 244: The conversion of the nvarchar value '100000' overflowed an INT2 column. Use a larger integer column.";
    QTest::newRow("varchar past int") << "99999999999" << "varchar" << "int"
                                      << "Msg 248: The conversion of the varchar value '99999999999' overflowed an int column. Use a larger integer column.";
    // sql-server-helper.com, Msg 235 and Msg 293; database.guide, "Numeric Styles Supported by CONVERT()"
    QTest::newRow("dollars with a blank") << "$ 1,000.00" << "varchar" << "money" << "1000.0000 money";
    QTest::newRow("euros") << "\xE2\x82\xAC 1,000.00" << "nvarchar" << "money" << "1000.0000 money";
    QTest::newRow("thousands separators") << "1,234.56" << "varchar" << "money" << "1234.5600 money";
    QTest::newRow("letters to money") << "ABC" << "varchar" << "money"
                                      << "Msg 235: Cannot convert a char value to money. The char value has incorrect syntax.";
    QTest::newRow("letters to smallmoney") << "ABC" << "varchar" << "smallmoney"
                                           << "Msg 293: Cannot convert a char value to smallmoney. The char value has incorrect syntax.";
}

void TestNumeric::textToNumber()
{
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QString, type);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] {
                 return render(num::parse(text.toStdString(), parseDeclared(type.toStdString()), parseDeclared(from.toStdString())));
             }),
             result);
}

void TestNumeric::literals_data()
{
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("result");

    // learn.microsoft.com: Constants (Transact-SQL); decimal and numeric ("a constant with a decimal
    // point ... the minimum precision and scale necessary": 12.345 is numeric(5,3))
    QTest::newRow("integer") << "1894" << "1894 int";
    QTest::newRow("int's largest") << "2147483647" << "2147483647 int";
    QTest::newRow("past int") << "2147483648" << "2147483648 numeric(10,0)";
    QTest::newRow("decimal") << "12.345" << "12.345 numeric(5,3)";
    QTest::newRow("trailing zero counts") << "1.50" << "1.50 numeric(3,2)";
    QTest::newRow("no integer digit") << ".5" << "0.5 numeric(1,1)";
    QTest::newRow("float") << "101.5E5" << "1.015e+007 float";
    QTest::newRow("money") << "$542023.14" << "542023.1400 money";
    QTest::newRow("money with its sign inside") << "$-23" << "-23.0000 money";
    // sqlservercentral.com, "ROUND(0.7, 0)": 0.7 is numeric(1,1)
    QTest::newRow("one place") << "0.7" << "0.7 numeric(1,1)";
    QTest::newRow("39 digits") << "999999999999999999999999999999999999999"
                               << "Msg 1007: The number '999999999999999999999999999999999999999' is out of the range for numeric representation (maximum precision 38).";
}

void TestNumeric::literals()
{
    QFETCH(QString, literal);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] { return render(operand(literal)); }), result);
}

void TestNumeric::numberToText_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("text");

    // stackoverflow.com/questions/6512046; dba.stackexchange.com/questions/294935;
    // tech-trinkets.blogspot.com: style 0 keeps 6 digits and writes a three-digit exponent
    QTest::newRow("6 digits") << "1.353954e0" << 0 << "1.35395";
    QTest::newRow("6 digits rounded") << "4.76758527755737e0" << 0 << "4.76759";
    QTest::newRow("exponent when digits are lost") << "1495591e0" << 0 << "1.49559e+006";
    QTest::newRow("exponent without trailing zeros") << "1900000.0e0" << 0 << "1.9e+006";
    // blackwasp.co.uk, "SQL Server Numeric Formatting": styles 0, 1 and 2 of 123456789.123456789
    QTest::newRow("style 0") << "123456789.123456789e0" << 0 << "1.23457e+008";
    QTest::newRow("style 1") << "123456789.123456789e0" << 1 << "1.2345679e+008";
    QTest::newRow("style 2") << "123456789.123456789e0" << 2 << "1.234567891234568e+008";
    QTest::newRow("unknown style is 0") << "123456789.123456789e0" << 7 << "1.23457e+008";
    // stackoverflow.com/questions/6512046 (answer on style 3)
    QTest::newRow("style 3") << "124.323125453e0" << 3 << "124.323125453";
    // learn.microsoft.com: CAST and CONVERT, "money and smallmoney styles"
    QTest::newRow("money style 0") << "4235.9819::money" << 0 << "4235.98";
    QTest::newRow("money style 1") << "3510.92::money" << 1 << "3,510.92";
    QTest::newRow("money style 2") << "4235.9819::money" << 2 << "4235.9819";
    // learn.microsoft.com: SUM (Transact-SQL), example B (CONVERT(varchar(20), SalesYTD, 1))
    QTest::newRow("money style 1, millions") << "1079603.50::money" << 1 << "1,079,603.50";
}

void TestNumeric::numberToText()
{
    QFETCH(QString, value);
    QFETCH(int, style);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(num::toText(operand(value), style)), text);
}

void TestNumeric::tooLongForText()
{
    // learn.microsoft.com: CAST and CONVERT, "Truncating and rounding results" ('*' or an error)
    QVERIFY(num::tooLongGivesStar(SqlType(Base::SmallInt), SqlType(Base::Char, 1)));
    QVERIFY(!num::tooLongGivesStar(SqlType(Base::Int), SqlType(Base::NVarChar, 1)));
    QVERIFY(!num::tooLongGivesStar(SqlType::decimal(5, 2), SqlType(Base::VarChar, 2)));
    // relationaldatabaseadministrator.blogspot.com, "Convert FLOAT to VARCHAR"
    const Error e = num::textOverflow(operand("1.123456789e0"), SqlType(Base::VarChar, 4));
    QCOMPARE(e.number(), 232);
    QCOMPARE(QString::fromStdString(e.what()), QStringLiteral("Arithmetic overflow error for type varchar, value = 1.123457."));
}

void TestNumeric::functions_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("result");

    // learn.microsoft.com: ROUND (Transact-SQL)
    QTest::newRow("round past all digits") << "round" << "748.58" << "-4" << "0.00 numeric(5,2)";
    QTest::newRow("round to tens") << "round" << "748.58" << "-1" << "750.00 numeric(5,2)";
    QTest::newRow("round to hundreds") << "round" << "748.58" << "-2" << "700.00 numeric(5,2)";
    QTest::newRow("round past the precision") << "round" << "748.58" << "-3"
                                              << "Msg 8115: Arithmetic overflow error converting expression to data type numeric.";
    QTest::newRow("round with room") << "round" << "748.58::decimal(6,2)" << "-3" << "1000.00 decimal(6,2)";
    QTest::newRow("round down") << "round" << "123.9994" << "3" << "123.9990 numeric(7,4)";
    QTest::newRow("round up") << "round" << "123.9995" << "3" << "124.0000 numeric(7,4)";
    QTest::newRow("round to places") << "round" << "123.4545" << "2" << "123.4500 numeric(7,4)";
    QTest::newRow("round left of the point") << "round" << "123.45" << "-2" << "100.00 numeric(5,2)";
    QTest::newRow("round to whole") << "round" << "150.75" << "0" << "151.00 numeric(5,2)";
    QTest::newRow("truncate to whole") << "truncate" << "150.75" << "0" << "150.00 numeric(5,2)";
    // sqlservercentral.com, "ROUND(0.7, 0)"
    QTest::newRow("round out of numeric(1,1)") << "round" << "0.7" << "0"
                                               << "Msg 8115: Arithmetic overflow error converting expression to data type numeric.";
    // learn.microsoft.com: FLOOR (Transact-SQL), CEILING (Transact-SQL)
    QTest::newRow("floor") << "floor" << "123.45" << "" << "123 numeric(5,0)";
    QTest::newRow("floor of a negative") << "floor" << "-123.45" << "" << "-124 numeric(5,0)";
    QTest::newRow("floor of money") << "floor" << "$123.45" << "" << "123.0000 money";
    QTest::newRow("ceiling of money") << "ceiling" << "$123.45" << "" << "124.0000 money";
    QTest::newRow("ceiling of negative money") << "ceiling" << "$-123.45" << "" << "-123.0000 money";
    QTest::newRow("ceiling of zero") << "ceiling" << "$0.0" << "" << "0.0000 money";
    // learn.microsoft.com: ABS (Transact-SQL)
    QTest::newRow("abs") << "abs" << "-1.0" << "" << "1.0 numeric(2,1)";
    QTest::newRow("abs of zero") << "abs" << "0.0" << "" << "0.0 numeric(1,1)";
    QTest::newRow("abs of int's smallest") << "abs" << "-2147483648::int" << ""
                                           << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    // learn.microsoft.com: SIGN (Transact-SQL)
    QTest::newRow("sign negative") << "sign" << "-125" << "" << "-1 int";
    QTest::newRow("sign zero") << "sign" << "0" << "" << "0 int";
    QTest::newRow("sign positive") << "sign" << "564" << "" << "1 int";
    QTest::newRow("sign of real") << "sign" << "-1::real" << "" << "-1 float";
    // learn.microsoft.com: POWER (Transact-SQL)
    QTest::newRow("cube of float") << "power" << "2::float" << "3" << "8 float";
    QTest::newRow("cube of 2.5") << "power" << "2.5::float" << "3" << "15.625 float";
    QTest::newRow("int keeps int") << "power" << "2" << "-100.0" << "0 int";
    QTest::newRow("decimal keeps its scale") << "power" << "2.0" << "-100.0" << "0.0 numeric(38,1)";
    QTest::newRow("two places") << "power" << "2.00" << "-100.0" << "0.00 numeric(38,2)";
    QTest::newRow("cube of 2.0") << "power" << "2.0" << "3" << "8.0 numeric(38,1)";
    QTest::newRow("square root as int") << "power" << "2" << "0.5" << "1 int";
    QTest::newRow("square root as decimal") << "power" << "2.0" << "0.5" << "1.4 numeric(38,1)";
}

void TestNumeric::functions()
{
    QFETCH(QString, function);
    QFETCH(QString, value);
    QFETCH(QString, argument);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] {
                 const Value v = operand(value);
                 if (function == QLatin1String("round") || function == QLatin1String("truncate"))
                     return render(num::round(v, argument.toInt(), function == QLatin1String("truncate")));
                 if (function == QLatin1String("floor"))
                     return render(num::floor(v));
                 if (function == QLatin1String("ceiling"))
                     return render(num::ceiling(v));
                 if (function == QLatin1String("abs"))
                     return render(num::abs(v));
                 if (function == QLatin1String("sign"))
                     return render(num::sign(v));
                 return render(num::power(v, operand(argument)));
             }),
             result);
}

void TestNumeric::str_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");

    // learn.microsoft.com: STR (Transact-SQL)
    QTest::newRow("rounded to one place") << 123.45 << 6 << 1 << " 123.5";
    QTest::newRow("too long") << 123.45 << 2 << 2 << "**";
    QTest::newRow("integer part too long") << 1223.0 << 2 << 0 << "**";
    QTest::newRow("right-justified") << 12.0 << 10 << 0 << "        12";
    QTest::newRow("places added") << 123.0 << 8 << 3 << " 123.000";
}

void TestNumeric::str()
{
    QFETCH(double, value);
    QFETCH(int, length);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(num::str(value, length, decimals).value_or("NULL")), text);
}

void TestNumeric::aggregates_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("result");

    // learn.microsoft.com: SUM (Transact-SQL) and AVG (Transact-SQL), "Return types"; AVG of a
    // decimal is the sum, decimal(38,s), divided as by a decimal(10,0) (SQL Server 2008's page)
    QTest::newRow("sum of tinyint is int") << "sum" << "tinyint" << QStringList{"200", "100"} << "300 int";
    QTest::newRow("sum of decimal") << "sum" << "decimal(5,2)" << QStringList{"1.25", "2.50"} << "3.75 decimal(38,2)";
    QTest::newRow("sum of money") << "sum" << "smallmoney" << QStringList{"1.5", "2.25"} << "3.7500 money";
    QTest::newRow("sum of real is float") << "sum" << "real" << QStringList{"1.5", "2.25"} << "3.75 float";
    QTest::newRow("avg of int is int") << "avg" << "int" << QStringList{"1", "2"} << "1 int";
    QTest::newRow("avg of decimal has 6 places") << "avg" << "decimal(5,2)" << QStringList{"1.00", "2.00", "2.00"}
                                                 << "1.666666 decimal(38,6)";
    QTest::newRow("avg keeps more places") << "avg" << "decimal(10,8)" << QStringList{"1", "2"} << "1.50000000 decimal(38,8)";
    QTest::newRow("nothing to add") << "avg" << "int" << QStringList{} << "NULL int";
    // database.guide, "Arithmetic overflow error converting expression to data type int"
    QTest::newRow("sum past int") << "sum" << "int" << QStringList{"1300000000", "1200000000", "800500000"}
                                  << "Msg 8115: Arithmetic overflow error converting expression to data type int.";
    QTest::newRow("sum of bit") << "sum" << "bit" << QStringList{"1"} << "Msg 8117: Operand data type bit is invalid for sum operator.";
}

void TestNumeric::aggregates()
{
    QFETCH(QString, function);
    QFETCH(QString, type);
    QFETCH(QStringList, values);
    QFETCH(QString, result);
    QCOMPARE(outcome([&] {
                 num::Accumulator total(parseDeclared(type.toStdString()), function == QLatin1String("avg"));
                 for (const QString &v : values)
                     total.add(operand(v + QStringLiteral("::") + type));
                 total.add(Value::null(parseDeclared(type.toStdString())));
                 return render(total.result());
             }),
             result);
}

void TestNumeric::randomSequences()
{
    // learn.microsoft.com: RAND (Transact-SQL): one seed, one sequence, whatever came before.
    num::RandomSequence first, second;
    second.next();
    const double a[] = {first.seed(100), first.next(), first.next()};
    const double b[] = {second.seed(100), second.next(), second.next()};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(a[i], b[i]);
        QVERIFY(a[i] >= 0 && a[i] < 1);
    }
    QVERIFY(a[0] != a[1]);
}

QTEST_APPLESS_MAIN(TestNumeric)
#include "tst_numeric.moc"
