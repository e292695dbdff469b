// Dates and times through the whole engine, against Microsoft's reference pages: datetime's
// rounding to 1/300 s, smalldatetime's minute and range, text and numbers read as dates, days
// added to a datetime, and the text of every CONVERT style for datetime.

#include "EngineFixture.h"

#include <QTest>

class TestConformanceDates : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_db.reset(); }

    void rounding_data();
    void rounding();
    void reading_data();
    void reading();
    void numbersAndDays_data();
    void numbersAndDays();
    void styles_data();
    void styles();
    void otherTypes_data();
    void otherTypes();

private:
    void addCases();
    void check();
    std::unique_ptr<EngineFixture> m_db;
};

void TestConformanceDates::initTestCase()
{
    m_db = std::make_unique<EngineFixture>();
    m_db->script({
        "CREATE TABLE d (k int, dt datetime, sd smalldatetime)",
        "INSERT INTO d VALUES (1, '2019-08-23 13:39:17.090', '2019-08-23 13:39'), (2, '2001-02-03 04:05:06.007', NULL)",
    });
}

void TestConformanceDates::addCases()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
}

void TestConformanceDates::check()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(EngineFixture::asExpected(m_db->batchValues(sql), expected), expected);
}

void TestConformanceDates::rounding_data()
{
    addCases();
    // learn.microsoft.com: datetime (Transact-SQL), "Rounding of datetime fractional second precision"
    QTest::newRow(".999 is the next day") << "SELECT CAST('01/01/98 23:59:59.999' AS datetime)" << "1998-01-02 00:00:00.000";
    for (const char *ms : {"995", "996", "997", "998"})
        QTest::addRow(".%s", ms) << QStringLiteral("SELECT CAST('01/01/98 23:59:59.%1' AS datetime)").arg(ms) << "1998-01-01 23:59:59.997";
    for (const char *ms : {"992", "993", "994"})
        QTest::addRow(".%s", ms) << QStringLiteral("SELECT CAST('01/01/98 23:59:59.%1' AS datetime)").arg(ms) << "1998-01-01 23:59:59.993";
    for (const char *ms : {"990", "991"})
        QTest::addRow(".%s", ms) << QStringLiteral("SELECT CAST('01/01/98 23:59:59.%1' AS datetime)").arg(ms) << "1998-01-01 23:59:59.990";
    // The same increments of .000, .003 and .007 through every millisecond of a hundredth.
    QTest::newRow("one hundredth") << "SELECT CAST('2000-01-01T00:00:00.001' AS datetime), CAST('2000-01-01T00:00:00.002' AS datetime), "
                                      "CAST('2000-01-01T00:00:00.004' AS datetime), CAST('2000-01-01T00:00:00.005' AS datetime), "
                                      "CAST('2000-01-01T00:00:00.008' AS datetime), CAST('2000-01-01T00:00:00.009' AS datetime)"
                                   << "2000-01-01 00:00:00.000|2000-01-01 00:00:00.003|2000-01-01 00:00:00.003|"
                                      "2000-01-01 00:00:00.007|2000-01-01 00:00:00.007|2000-01-01 00:00:00.010";
    QTest::newRow("last moment of the range") << "SELECT CAST('9999-12-31 23:59:59.997' AS datetime)" << "9999-12-31 23:59:59.997";
    QTest::newRow("rounding past the range") << "SELECT CAST('9999-12-31 23:59:59.999' AS datetime)"
                                             << "Msg 242: The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.";
    QTest::newRow("before 1753") << "SELECT CAST('1752-12-31' AS datetime)"
                                 << "Msg 242: The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.";
    QTest::newRow("first day") << "SELECT CAST('1753-01-01' AS datetime)" << "1753-01-01 00:00:00.000";
    // learn.microsoft.com: datetime2 (Transact-SQL) and time: more digits are rounded to the type's scale.
    QTest::newRow("datetime2 rounds to its scale") << "SELECT CAST('2007-05-08 12:35:29.1234567' AS datetime2(3)), "
                                                      "CAST('2007-05-08 12:35:29.1235' AS datetime2(3))"
                                                   << "2007-05-08 12:35:29.123|2007-05-08 12:35:29.124";

    // learn.microsoft.com: smalldatetime (Transact-SQL), example A, and its ranges.
    QTest::newRow("smalldatetime 29 seconds down") << "SELECT CAST('2007-05-08 12:35:29' AS smalldatetime)" << "2007-05-08 12:35:00";
    QTest::newRow("smalldatetime 30 seconds up") << "SELECT CAST('2007-05-08 12:35:30' AS smalldatetime)" << "2007-05-08 12:36:00";
    QTest::newRow("smalldatetime into the next hour") << "SELECT CAST('2007-05-08 12:59:59.998' AS smalldatetime)" << "2007-05-08 13:00:00";
    QTest::newRow("smalldatetime 29.998 down") << "SELECT CAST('2007-05-08 12:35:29.998' AS smalldatetime)" << "2007-05-08 12:35:00";
    QTest::newRow("smalldatetime 29.999 up") << "SELECT CAST('2007-05-08 12:35:29.999' AS smalldatetime)" << "2007-05-08 12:36:00";
    QTest::newRow("smalldatetime into the next day") << "SELECT CAST('2007-05-09 23:59:59' AS smalldatetime)" << "2007-05-10 00:00:00";
    QTest::newRow("smalldatetime range") << "SELECT CAST('1900-01-01' AS smalldatetime), CAST('2079-06-06 23:59' AS smalldatetime)"
                                         << "1900-01-01 00:00:00|2079-06-06 23:59:00";
    QTest::newRow("smalldatetime after 2079-06-06")
        << "SELECT CAST('2079-06-07' AS smalldatetime)"
        << "Msg 242: The conversion of a varchar data type to a smalldatetime data type resulted in an out-of-range value.";
    QTest::newRow("smalldatetime before 1900")
        << "SELECT CAST('1899-12-31 23:59' AS smalldatetime)"
        << "Msg 242: The conversion of a varchar data type to a smalldatetime data type resulted in an out-of-range value.";
    QTest::newRow("smalldatetime rounded past its range")
        << "SELECT CAST('2079-06-06 23:59:30' AS smalldatetime)"
        << "Msg 242: The conversion of a varchar data type to a smalldatetime data type resulted in an out-of-range value.";
    QTest::newRow("smalldatetime from a datetime out of range")
        << "SELECT CAST(CAST('2080-01-01' AS datetime) AS smalldatetime)"
        << "Msg 242: The conversion of a datetime data type to a smalldatetime data type resulted in an out-of-range value.";
    QTest::newRow("smalldatetime from a datetime") << "SELECT CAST(dt AS smalldatetime) FROM d WHERE k = 1" << "2019-08-23 13:39:00";
    QTest::newRow("smalldatetime column") << "SELECT sd FROM d WHERE k = 1" << "2019-08-23 13:39:00";
    QTest::newRow("smalldatetime not a date") << "SELECT CAST('soon' AS smalldatetime)"
                                              << "Msg 295: Conversion failed when converting character string to smalldatetime data type.";
}

void TestConformanceDates::rounding()
{
    check();
}

void TestConformanceDates::reading_data()
{
    addCases();
    // learn.microsoft.com: datetime (Transact-SQL), "Supported string literal formats for datetime"
    QTest::newRow("numeric mdy") << "SELECT CAST('4/15/96' AS datetime), CAST('04-15-1996' AS datetime), CAST('4.15.1996' AS datetime)"
                                 << "1996-04-15 00:00:00.000|1996-04-15 00:00:00.000|1996-04-15 00:00:00.000";
    QTest::newRow("numeric with a time") << "SELECT CAST('4/15/1996 14:30:20:999' AS datetime), CAST('4/15/1996 14:30:20.9' AS datetime)"
                                         << "1996-04-15 14:30:21.000|1996-04-15 14:30:20.900";
    QTest::newRow("am and pm") << "SELECT CAST('4am' AS datetime), CAST('4 PM' AS datetime), CAST('12:30 AM' AS datetime)"
                               << "1900-01-01 04:00:00.000|1900-01-01 16:00:00.000|1900-01-01 00:30:00.000";
    QTest::newRow("time only is 1900-01-01") << "SELECT CAST('14:30' AS datetime)" << "1900-01-01 14:30:00.000";
    QTest::newRow("alphabetic") << "SELECT CAST('Apr 15 1996' AS datetime), CAST('April 15, 1996' AS datetime), CAST('15 Apr 1996' AS datetime)"
                                << "1996-04-15 00:00:00.000|1996-04-15 00:00:00.000|1996-04-15 00:00:00.000";
    QTest::newRow("alphabetic year first") << "SELECT CAST('1996 APR 15' AS datetime), CAST('1996 15 april' AS datetime)"
                                           << "1996-04-15 00:00:00.000|1996-04-15 00:00:00.000";
    QTest::newRow("alphabetic without a day") << "SELECT CAST('April 1996' AS datetime)" << "1996-04-01 00:00:00.000";
    QTest::newRow("iso 8601") << "SELECT CAST('2004-05-23T14:25:10' AS datetime), CAST('2004-05-23T14:25:10.487' AS datetime)"
                              << "2004-05-23 14:25:10.000|2004-05-23 14:25:10.487";
    QTest::newRow("unseparated") << "SELECT CAST('20040523' AS datetime), CAST('20040523 14:25:10.487' AS datetime)"
                                 << "2004-05-23 00:00:00.000|2004-05-23 14:25:10.487";
    QTest::newRow("odbc escapes") << "SELECT { ts '1998-05-02 01:23:56.123' }, { d '1990-10-02' }"
                                  << "1998-05-02 01:23:56.123|1990-10-02 00:00:00.000";
    // learn.microsoft.com: CAST and CONVERT (Transact-SQL): two-digit years end at 2049.
    QTest::newRow("two digit years") << "SELECT CAST('1/1/49' AS datetime), CAST('1/1/50' AS datetime)"
                                     << "2049-01-01 00:00:00.000|1950-01-01 00:00:00.000";
    QTest::newRow("page example, iso text") << "SELECT '2006-04-25T15:50:59.997' AS UnconvertedText, CAST('2006-04-25T15:50:59.997' AS datetime) "
                                               "AS UsingCast, CONVERT(datetime, '2006-04-25T15:50:59.997', 126) AS UsingConvertFrom_ISO8601"
                                            << "2006-04-25T15:50:59.997|2006-04-25 15:50:59.997|2006-04-25 15:50:59.997";
    QTest::newRow("input styles") << "SELECT CONVERT(datetime, '23/08/2019', 103), CONVERT(datetime, '23.08.2019', 104), "
                                     "CONVERT(datetime, '20190823', 112)"
                                  << "2019-08-23 00:00:00.000|2019-08-23 00:00:00.000|2019-08-23 00:00:00.000";
    QTest::newRow("dateformat dmy") << "SET DATEFORMAT dmy; SELECT CAST('15/04/1996' AS datetime); SET DATEFORMAT mdy"
                                    << "1996-04-15 00:00:00.000";
    // '' and blanks are the first day of 1900.
    QTest::newRow("empty text") << "SELECT CAST('' AS datetime), CAST('  ' AS smalldatetime)" << "1900-01-01 00:00:00.000|1900-01-01 00:00:00";
    QTest::newRow("empty text into a column") << "DECLARE @v TABLE (x datetime); INSERT INTO @v VALUES (''); SELECT x FROM @v"
                                              << "1900-01-01 00:00:00.000";
    QTest::newRow("not a date") << "SELECT CAST('someday' AS datetime)"
                                << "Msg 241: Conversion failed when converting date and/or time from character string.";
    QTest::newRow("impossible day") << "SELECT CAST('02/30/2020' AS datetime)"
                                    << "Msg 242: The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.";
    QTest::newRow("month 13") << "SELECT CAST('2020-13-01' AS datetime)"
                              << "Msg 242: The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.";
    QTest::newRow("nvarchar out of range") << "SELECT CAST(N'13/13/2020' AS datetime)"
                                           << "Msg 242: The conversion of a nvarchar data type to a datetime data type resulted in an out-of-range value.";
    QTest::newRow("leap day") << "SELECT CAST('2/29/2000' AS datetime), CAST('2/29/1900' AS date)" << "Msg 241";
}

void TestConformanceDates::reading()
{
    check();
}

void TestConformanceDates::numbersAndDays_data()
{
    addCases();
    // learn.microsoft.com: CAST and CONVERT (Transact-SQL): a number is days since 1900-01-01,
    // float to datetime rounds, datetime to int rounds.
    QTest::newRow("whole days") << "SELECT CAST(0 AS datetime), CAST(1 AS datetime), CAST(-1 AS datetime), CAST(43829 AS datetime)"
                                << "1900-01-01 00:00:00.000|1900-01-02 00:00:00.000|1899-12-31 00:00:00.000|2020-01-01 00:00:00.000";
    QTest::newRow("fractions of a day") << "SELECT CAST(1.5 AS datetime), CAST(2.25e0 AS datetime), CAST(-0.75 AS datetime)"
                                        << "1900-01-02 12:00:00.000|1900-01-03 06:00:00.000|1899-12-31 06:00:00.000";
    QTest::newRow("a fraction rounds to 1/300 s") << "SELECT CAST(1.0000000001e0 AS datetime), CAST(0.9999999e0 AS datetime)"
                                                  << "1900-01-02 00:00:00.000|1900-01-01 23:59:59.990";
    QTest::newRow("the range as days") << "SELECT CAST(-53690 AS datetime), CAST(2958463 AS datetime)"
                                       << "1753-01-01 00:00:00.000|9999-12-31 00:00:00.000";
    QTest::newRow("past the range as days") << "SELECT CAST(2958464 AS datetime)"
                                            << "Msg 8115: Arithmetic overflow error converting expression to data type datetime.";
    QTest::newRow("smalldatetime from days") << "SELECT CAST(1 AS smalldatetime), CAST(1.75 AS smalldatetime)"
                                             << "1900-01-02 00:00:00|1900-01-02 18:00:00";
    QTest::newRow("smalldatetime before its days") << "SELECT CAST(-1 AS smalldatetime)" << "Msg 8115";
    QTest::newRow("datetime to float") << "SELECT CAST(CAST('1900-01-02 12:00' AS datetime) AS float), CAST(dt AS float) FROM d WHERE k = 2"
                                       << "1.5|36923.1702084105";
    QTest::newRow("datetime to int rounds") << "SELECT CAST(CAST('2020-01-01 12:00' AS datetime) AS int), "
                                               "CAST(CAST('2020-01-01 11:59:59' AS datetime) AS int)"
                                            << "43830|43829";
    QTest::newRow("datetime to decimal") << "SELECT CAST(CAST('1900-01-03 06:00' AS datetime) AS decimal(5,2))" << "2.25";
    // Days added to datetime and smalldatetime, fractions included.
    QTest::newRow("plus days") << "SELECT dt + 1, dt - 1, 1 + dt FROM d WHERE k = 1"
                               << "2019-08-24 13:39:17.090|2019-08-22 13:39:17.090|2019-08-24 13:39:17.090";
    QTest::newRow("plus a fraction of a day") << "SELECT dt + 0.5, dt + 0.25e0, dt - 1.5 FROM d WHERE k = 2"
                                              << "2001-02-03 16:05:06.007|2001-02-03 10:05:06.007|2001-02-01 16:05:06.007";
    QTest::newRow("smalldatetime plus a fraction") << "SELECT sd + 0.5 FROM d WHERE k = 1" << "2019-08-24 01:39:00";
    QTest::newRow("datetime minus datetime") << "SELECT CAST('2020-01-03 06:00' AS datetime) - CAST('2020-01-01' AS datetime)"
                                             << "1900-01-03 06:00:00.000";
    QTest::newRow("plus days past the range") << "SELECT CAST('9999-12-31' AS datetime) + 1"
                                              << "Msg 8115: Arithmetic overflow error converting expression to data type datetime.";
    QTest::newRow("date takes no days") << "SELECT CAST('2020-01-01' AS date) + 1"
                                        << "Msg 206: Operand type clash: date is incompatible with int";
    QTest::newRow("datetime2 takes no days") << "SELECT CAST('2020-01-01' AS datetime2) - 1"
                                             << "Msg 206: Operand type clash: datetime2 is incompatible with int";
    // learn.microsoft.com: DATEADD, DATEDIFF (Transact-SQL)
    QTest::newRow("dateadd") << "SELECT DATEADD(day, 1, dt), DATEADD(month, 1, CAST('2019-01-31' AS datetime)), DATEADD(ms, 2, dt) FROM d WHERE k = 1"
                             << "2019-08-24 13:39:17.090|2019-02-28 00:00:00.000|2019-08-23 13:39:17.093";
    QTest::newRow("datediff") << "SELECT DATEDIFF(day, '2019-12-31 23:59', '2020-01-01 00:01'), DATEDIFF(year, '2019-12-31', '2020-01-01')"
                              << "1|1";
}

void TestConformanceDates::numbersAndDays()
{
    check();
}

void TestConformanceDates::styles_data()
{
    addCases();
    // learn.microsoft.com: CAST and CONVERT (Transact-SQL), "Date and time styles" and example J
    // (2019-08-23 13:39:17.090).
    const struct {
        int style;
        const char *text;
    } styles[] = {
        {0, "Aug 23 2019  1:39PM"},
        {1, "08/23/19"},
        {2, "19.08.23"},
        {3, "23/08/19"},
        {4, "23.08.19"},
        {5, "23-08-19"},
        {6, "23 Aug 19"},
        {7, "Aug 23, 19"},
        {8, "13:39:17"},
        {9, "Aug 23 2019  1:39:17:090PM"},
        {10, "08-23-19"},
        {11, "19/08/23"},
        {12, "190823"},
        {13, "23 Aug 2019 13:39:17:090"},
        {14, "13:39:17:090"},
        {20, "2019-08-23 13:39:17"},
        {21, "2019-08-23 13:39:17.090"},
        {22, "08/23/19  1:39:17 PM"},
        {23, "2019-08-23"},
        {24, "13:39:17"},
        {25, "2019-08-23 13:39:17.090"},
        {100, "Aug 23 2019  1:39PM"},
        {101, "08/23/2019"},
        {102, "2019.08.23"},
        {103, "23/08/2019"},
        {104, "23.08.2019"},
        {105, "23-08-2019"},
        {106, "23 Aug 2019"},
        {107, "Aug 23, 2019"},
        {108, "13:39:17"},
        {109, "Aug 23 2019  1:39:17:090PM"},
        {110, "08-23-2019"},
        {111, "2019/08/23"},
        {112, "20190823"},
        {113, "23 Aug 2019 13:39:17:090"},
        {114, "13:39:17:090"},
        {120, "2019-08-23 13:39:17"},
        {121, "2019-08-23 13:39:17.090"},
        {126, "2019-08-23T13:39:17.090"},
        {127, "2019-08-23T13:39:17.090"},
    };
    for (const auto &s : styles)
        QTest::addRow("style %d", s.style) << QStringLiteral("SELECT CONVERT(nvarchar(40), dt, %1) FROM d WHERE k = 1").arg(s.style)
                                           << QString::fromUtf8(s.text);
    // The same through smalldatetime: seconds and milliseconds show zeros.
    QTest::newRow("smalldatetime style 9") << "SELECT CONVERT(varchar(40), sd, 9) FROM d WHERE k = 1" << "Aug 23 2019  1:39:00:000PM";
    QTest::newRow("smalldatetime style 121") << "SELECT CONVERT(varchar(40), sd, 121) FROM d WHERE k = 1" << "2019-08-23 13:39:00.000";
    // Style 126 leaves out a zero millisecond; other values and the morning.
    QTest::newRow("126 without milliseconds") << "SELECT CONVERT(varchar(40), CAST('2012-11-07T18:26:20' AS datetime), 126)"
                                              << "2012-11-07T18:26:20";
    QTest::newRow("morning and midnight") << "SELECT CONVERT(varchar(40), dt, 0), CONVERT(varchar(40), dt, 22), CONVERT(varchar(40), "
                                             "CAST('2001-02-03' AS datetime), 100) FROM d WHERE k = 2"
                                          << "Feb  3 2001  4:05AM|02/03/01  4:05:06 AM|Feb  3 2001 12:00AM";
    QTest::newRow("noon") << "SELECT CONVERT(varchar(40), CAST('2001-02-03 12:00:01' AS datetime), 109)" << "Feb  3 2001 12:00:01:000PM";
    QTest::newRow("default style of cast") << "SELECT CAST(dt AS varchar(30)), CAST(dt AS nvarchar(30)) FROM d WHERE k = 1"
                                           << "Aug 23 2019  1:39PM|Aug 23 2019  1:39PM";
    QTest::newRow("short target cuts the text") << "SELECT CONVERT(varchar(10), dt, 120), CONVERT(char(8), dt, 112) FROM d WHERE k = 1"
                                                << "2019-08-23|20190823";
    QTest::newRow("null style") << "SELECT CONVERT(varchar(30), dt, NULL) FROM d WHERE k = 1" << "NULL";
    // Styles that do not exist for datetime: error 281.
    for (int style : {15, 19, 26, 99, 115, 119, 122, 128, 132, 200})
        QTest::addRow("no style %d", style) << QStringLiteral("SELECT CONVERT(varchar(30), dt, %1) FROM d").arg(style)
                                           << QStringLiteral("Msg 281: %1 is not a valid style number when converting from datetime to a "
                                                             "character string.")
                                                  .arg(style);
    QTest::newRow("no style for smalldatetime") << "SELECT CONVERT(varchar(30), sd, 16) FROM d"
                                                << "Msg 281: 16 is not a valid style number when converting from smalldatetime to a "
                                                   "character string.";
}

void TestConformanceDates::styles()
{
    check();
}

void TestConformanceDates::otherTypes_data()
{
    addCases();
    // learn.microsoft.com: datetime (Transact-SQL), "Converting other date and time types to
    // the datetime data type", and smalldatetime (Transact-SQL), "Converting smalldatetime".
    QTest::newRow("from date") << "DECLARE @date date = '12-21-16'; DECLARE @datetime datetime = @date; SELECT @datetime, @date"
                               << "2016-12-21 00:00:00.000|2016-12-21";
    QTest::newRow("from time(4)") << "DECLARE @time time(4) = '12:10:05.1237'; DECLARE @datetime datetime = @time; SELECT @datetime, @time"
                                  << "1900-01-01 12:10:05.123|12:10:05.1237";
    QTest::newRow("from smalldatetime") << "DECLARE @s smalldatetime = '12-01-16 12:32'; DECLARE @datetime datetime = @s; SELECT @datetime, @s"
                                        << "2016-12-01 12:32:00.000|2016-12-01 12:32:00";
    QTest::newRow("from datetime2(4)") << "DECLARE @d2 datetime2(4) = '1968-10-23 12:45:37.1237'; DECLARE @datetime datetime = @d2; "
                                          "SELECT @datetime, @d2"
                                       << "1968-10-23 12:45:37.123|1968-10-23 12:45:37.1237";
    QTest::newRow("smalldatetime to others") << "DECLARE @s smalldatetime = '1955-12-13 12:43:10'; SELECT @s, CAST(@s AS date), "
                                                "CAST(@s AS time(4)), CAST(@s AS datetime2(4))"
                                             << "1955-12-13 12:43:00|1955-12-13|12:43:00.0000|1955-12-13 12:43:00.0000";
    // learn.microsoft.com: datetime (Transact-SQL), "Examples" (without the page's stray blank).
    QTest::newRow("one text into each type")
        << "SELECT CAST('2007-05-08 12:35:29.1234567 +12:15' AS time(7)), CAST('2007-05-08 12:35:29.1234567 +12:15' AS date), "
           "CAST('2007-05-08 12:35:29.123' AS smalldatetime), CAST('2007-05-08 12:35:29.123' AS datetime), "
           "CAST('2007-05-08 12:35:29.1234567 +12:15' AS datetime2(7)), CAST('2007-05-08 12:35:29.1234567 +12:15' AS datetimeoffset(7))"
        << "12:35:29.1234567|2007-05-08|2007-05-08 12:35:00|2007-05-08 12:35:29.123|2007-05-08 12:35:29.1234567|"
           "2007-05-08 12:35:29.1234567 +12:15";
    QTest::newRow("datetime with a time zone text") << "SELECT CAST('2007-05-08 12:35:29.123 +12:15' AS datetime)" << "Msg 241";
    QTest::newRow("date and datetime2 read year first") << "SET DATEFORMAT dmy; SELECT CAST('2004-05-23' AS date), "
                                                           "CAST('2004-05-23' AS datetime2(0)); SET DATEFORMAT mdy"
                                                        << "2004-05-23|2004-05-23 00:00:00";
    QTest::newRow("datetime2 range") << "SELECT CAST('0001-01-01' AS datetime2(0)), CAST('9999-12-31 23:59:59.9999999' AS datetime2)"
                                     << "0001-01-01 00:00:00|9999-12-31 23:59:59.9999999";
    QTest::newRow("date to datetime comparison") << "SELECT k FROM d WHERE CAST(dt AS date) = '2019-08-23'" << "1";
}

void TestConformanceDates::otherTypes()
{
    check();
}

QTEST_GUILESS_MAIN(TestConformanceDates)
#include "tst_conformance_dates.moc"
