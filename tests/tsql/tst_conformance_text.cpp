// Text under the database's collation SQL_Latin1_General_CP1_CI_AS, through the whole engine:
// equality and ordering (case-insensitive, accent-sensitive, trailing blanks ignored), LIKE in
// its ASCII and Unicode forms, REPLACE, CHARINDEX, PATINDEX, UPPER and LOWER by code page 1252
// for varchar and by Unicode for nvarchar, LEN and DATALENGTH.

#include "EngineFixture.h"

#include <QTest>

class TestConformanceText : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_db.reset(); }

    void comparison_data();
    void comparison();
    void like_data();
    void like();
    void functions_data();
    void functions();

private:
    void addCases();
    void check();
    std::unique_ptr<EngineFixture> m_db;
};

void TestConformanceText::initTestCase()
{
    m_db = std::make_unique<EngineFixture>();
    m_db->script({
        "CREATE TABLE w (k int, v varchar(20), n nvarchar(20), c char(30), nc nchar(30))",
        "INSERT INTO w VALUES (1, 'b', N'b', 'Robert King', N'Robert King'), (2, 'A', N'Ä', NULL, NULL), "
        "(3, 'a', N'a', NULL, NULL), (4, 'é', N'É', NULL, NULL), (5, 'E', N'e', NULL, NULL), (6, 'f', N'ω', NULL, NULL), "
        "(7, 'Z', N'Ω', NULL, NULL), (8, '1', N'z', NULL, NULL)",
        "CREATE TABLE mytbl2 (c1 sysname)",
        "INSERT mytbl2 VALUES ('Discount is 10-15% off'), ('Discount is .10-.15 off')",
    });
}

void TestConformanceText::addCases()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
}

void TestConformanceText::check()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(EngineFixture::asExpected(m_db->batchValues(sql), expected), expected);
}

void TestConformanceText::comparison_data()
{
    addCases();
    // learn.microsoft.com: SQL Server Collation Name (Transact-SQL) and Collation and Unicode
    // support: CI (case-insensitive), AS (accent-sensitive); trailing blanks do not count in =
    // (SET ANSI_PADDING, "How SQL Server compares strings with trailing spaces").
    QTest::newRow("case folds") << "SELECT CASE WHEN 'abc' = 'ABC' THEN 1 ELSE 0 END, CASE WHEN N'straße' = N'STRAßE' THEN 1 ELSE 0 END"
                                << "1|1";
    QTest::newRow("accents count") << "SELECT CASE WHEN 'é' = 'e' THEN 1 ELSE 0 END, CASE WHEN N'é' = N'e' THEN 1 ELSE 0 END" << "0|0";
    QTest::newRow("accented capitals fold") << "SELECT CASE WHEN 'É' = 'é' THEN 1 ELSE 0 END, CASE WHEN 'Š' = 'š' THEN 1 ELSE 0 END, "
                                               "CASE WHEN 'Ÿ' = 'ÿ' THEN 1 ELSE 0 END"
                                            << "1|1|1";
    QTest::newRow("unicode capitals fold") << "SELECT CASE WHEN N'ω' = N'Ω' THEN 1 ELSE 0 END, CASE WHEN N'д' = N'Д' THEN 1 ELSE 0 END"
                                           << "1|1";
    QTest::newRow("trailing blanks ignored") << "SELECT CASE WHEN 'abc' = 'abc   ' THEN 1 ELSE 0 END, CASE WHEN '' = ' ' THEN 1 ELSE 0 END, "
                                                "CASE WHEN N'a ' = 'A' THEN 1 ELSE 0 END"
                                             << "1|1|1";
    QTest::newRow("leading blanks count") << "SELECT CASE WHEN ' abc' = 'abc' THEN 1 ELSE 0 END" << "0";
    QTest::newRow("less than folds case") << "SELECT CASE WHEN 'apple' < 'BANANA' THEN 1 ELSE 0 END, CASE WHEN 'Zoo' > 'apple' THEN 1 ELSE 0 END"
                                          << "1|1";
    QTest::newRow("accent after its letter") << "SELECT CASE WHEN 'resume' < 'résumé' THEN 1 ELSE 0 END, CASE WHEN 'é' < 'f' THEN 1 ELSE 0 END"
                                             << "1|1";
    QTest::newRow("a prefix sorts first") << "SELECT CASE WHEN 'ab' < 'abc' THEN 1 ELSE 0 END, CASE WHEN 'ab ' < 'abc' THEN 1 ELSE 0 END"
                                          << "1|1";
    QTest::newRow("varchar order") << "SELECT v FROM w WHERE k IN (1, 4, 6, 7, 8) ORDER BY v" << "1\nb\né\nf\nZ";
    QTest::newRow("varchar order descending") << "SELECT v FROM w WHERE k IN (1, 4, 6, 7) ORDER BY v DESC" << "Z\nf\né\nb";
    QTest::newRow("nvarchar order") << "SELECT n FROM w WHERE k IN (1, 3, 4, 8) ORDER BY n" << "a\nb\nÉ\nz";
    QTest::newRow("greek after latin") << "SELECT n FROM w WHERE k IN (6, 8) ORDER BY n" << "z\nω";
    QTest::newRow("equal rows group") << "SELECT COUNT(*) FROM w GROUP BY v HAVING COUNT(*) > 1" << "2";
    QTest::newRow("distinct folds case") << "SELECT COUNT(DISTINCT v) FROM w WHERE k IN (2, 3, 4, 5)" << "3";
    QTest::newRow("in folds case") << "SELECT k FROM w WHERE v IN ('B', 'z') ORDER BY k" << "1\n7";
    QTest::newRow("max by the collation") << "SELECT MAX(v), MIN(v) FROM w WHERE k IN (1, 2, 7)" << "Z|A";
    QTest::newRow("join folds case") << "SELECT COUNT(*) FROM w a JOIN w b ON a.v = b.n" << "6";
    QTest::newRow("nvarchar meets varchar") << "SELECT k FROM w WHERE n = 'E' ORDER BY k" << "5";
    QTest::newRow("varchar cannot hold greek") << "SELECT CAST(N'ω' AS varchar(5)), CAST(N'€Œ' AS varchar(5))" << "?|€Œ";
}

void TestConformanceText::comparison()
{
    check();
}

void TestConformanceText::like_data()
{
    addCases();
    // learn.microsoft.com: LIKE (Transact-SQL): the wildcards, the bracket examples, ESCAPE, and
    // trailing blanks (ignored in the value, significant in the pattern).
    const auto test = [](const char *value, const char *pattern) {
        return QStringLiteral("SELECT CASE WHEN %1 LIKE %2 THEN 1 ELSE 0 END").arg(QString::fromUtf8(value), QString::fromUtf8(pattern));
    };
    QTest::newRow("percent") << test("'computer science'", "'%computer%'") << "1";
    QTest::newRow("underscore") << test("'Dean'", "'_ean'") << "1";
    QTest::newRow("underscore needs one") << test("'ean'", "'_ean'") << "0";
    QTest::newRow("range") << test("'Larsen'", "'[C-P]arsen'") << "1";
    QTest::newRow("outside range") << test("'Sarsen'", "'[C-P]arsen'") << "0";
    QTest::newRow("not in set") << test("'delta'", "'de[^l]%'") << "0";
    QTest::newRow("not in set matches") << test("'dean'", "'de[^l]%'") << "1";
    QTest::newRow("bracketed percent") << test("'5%'", "'5[%]'") << "1";
    QTest::newRow("bracketed percent is literal") << test("'55'", "'5[%]'") << "0";
    QTest::newRow("bracketed underscore") << test("'_n'", "'[_]n'") << "1";
    QTest::newRow("set and range") << test("'d'", "'[a-cdf]'") << "1";
    QTest::newRow("set and range misses") << test("'e'", "'[a-cdf]'") << "0";
    QTest::newRow("leading hyphen") << test("'-'", "'[-acdf]'") << "1";
    QTest::newRow("closing bracket alone") << test("']'", "']'") << "1";
    QTest::newRow("bracket in a set") << test("'abc_de'", "'abc[_]d%'") << "1";
    QTest::newRow("set of three") << test("'abce'", "'abc[def]'") << "1";
    QTest::newRow("case folds") << test("'ABC'", "'a%'") << "1";
    QTest::newRow("accents count") << test("'é'", "'e'") << "0";
    QTest::newRow("range folds case") << test("'q'", "'[P-R]'") << "1";
    QTest::newRow("value's trailing blanks ignored") << test("'abc  '", "'abc'") << "1";
    QTest::newRow("pattern's trailing blank counts") << test("'abc'", "'abc '") << "0";
    QTest::newRow("null") << test("NULL", "'%'") << "0";
    QTest::newRow("escape") << "SELECT c1 FROM mytbl2 WHERE c1 LIKE '%10-15!% off%' ESCAPE '!'" << "Discount is 10-15% off";
    QTest::newRow("escape before a plain letter") << test("'abc'", "'a!bc' ESCAPE '!'") << "1";
    QTest::newRow("escape at the end") << test("'a!'", "'a!' ESCAPE '!'") << "0";
    QTest::newRow("not like") << "SELECT COUNT(*) FROM mytbl2 WHERE c1 NOT LIKE '%!%%' ESCAPE '!'" << "1";
    // The ASCII and Unicode forms of the page's example.
    QTest::newRow("char column") << "SELECT k FROM w WHERE c LIKE '% King'" << "1";
    QTest::newRow("nchar column") << "SELECT COUNT(*) FROM w WHERE nc LIKE '% King'" << "0";
    QTest::newRow("nchar column trimmed") << "SELECT k FROM w WHERE RTRIM(nc) LIKE '% King'" << "1";
    QTest::newRow("char pattern keeps its blanks")
        << "DECLARE @p char(20) = 'Barb'; SET @p = RTRIM(@p) + '%'; SELECT COUNT(*) WHERE 'Barber' LIKE @p" << "0";
    QTest::newRow("varchar pattern") << "DECLARE @p varchar(20) = 'Barb'; SET @p = RTRIM(@p) + '%'; SELECT COUNT(*) WHERE 'Barber' LIKE @p"
                                     << "1";
    QTest::newRow("column against a pattern") << "SELECT k FROM w WHERE v LIKE '[a-c]' ORDER BY k" << "1\n2\n3";
    // Patterns longer than 8,000 bytes, built at run time: each token but % takes one character,
    // so a pattern needing more than the value has cannot match.
    const auto many = [](const char *piece, int times) {
        return QStringLiteral("REPLICATE(CAST('%1' AS varchar(max)), %2)").arg(QString::fromUtf8(piece)).arg(times);
    };
    const QByteArray ab = many("ab", 6000).toUtf8(), anyB = many("a_", 6000).toUtf8();
    QTest::newRow("long pattern matches") << test(ab.constData(), anyB.constData()) << "1";
    QTest::newRow("long pattern, value one short")
        << test((many("ab", 6000) + " + 'a'").toUtf8().constData(), (many("a_", 6000) + " + 'a_'").toUtf8().constData()) << "0";
    QTest::newRow("long pattern longer than the value") << test("'abc'", many("_", 9000).toUtf8().constData()) << "0";
    QTest::newRow("long run of percent signs") << test("'abc'", (many("%", 9000) + " + 'abc'").toUtf8().constData()) << "1";
    QTest::newRow("long pattern of sets") << test(many("c", 2000).toUtf8().constData(), many("[abc]", 2000).toUtf8().constData())
                                          << "1";
    QTest::newRow("long pattern of sets, value short")
        << test(many("c", 1999).toUtf8().constData(), many("[abc]", 2000).toUtf8().constData()) << "0";
    QTest::newRow("long pattern of escapes")
        << test(many("%", 3000).toUtf8().constData(), (many("!%", 3000) + " ESCAPE '!'").toUtf8().constData()) << "1";
    QTest::newRow("long patindex")
        << QStringLiteral("SELECT PATINDEX('%' + %1 + '%', 'aaa' + %1), PATINDEX('%' + %1 + '%', 'aaa')").arg(many("b", 9000))
        << "4|0";
    // learn.microsoft.com: PATINDEX (Transact-SQL), examples.
    QTest::newRow("patindex") << "SELECT PATINDEX('%ter%', 'interesting data'), PATINDEX('%en_ure%', 'Please ensure the door is locked!')"
                              << "3|8";
    QTest::newRow("patindex not found") << "SELECT PATINDEX('%z%', 'abc'), PATINDEX('a%', 'Abc')" << "0|1";
}

void TestConformanceText::like()
{
    check();
}

void TestConformanceText::functions_data()
{
    addCases();
    // learn.microsoft.com: REPLACE (Transact-SQL): matching follows the input's collation.
    QTest::newRow("replace example") << "SELECT REPLACE('abcdefghicde', 'cde', 'xxx')" << "abxxxfghixxx";
    QTest::newRow("replace folds case") << "SELECT REPLACE('Abcabc', 'B', 'x'), REPLACE(N'ΑΒγ', N'β', N'-')" << "Axcaxc|Α-γ";
    QTest::newRow("replace keeps accents apart") << "SELECT REPLACE('éte', 'e', 'x')" << "étx";
    QTest::newRow("replace with empty") << "SELECT REPLACE('a b c', ' ', ''), REPLACE('abc', 'b', NULL)" << "abc|NULL";
    // learn.microsoft.com: CHARINDEX (Transact-SQL)
    QTest::newRow("charindex folds case") << "SELECT CHARINDEX('TEST', 'This is a Test'), CHARINDEX('test', 'This is a Test', 12)" << "11|0";
    QTest::newRow("charindex start") << "SELECT CHARINDEX('b', 'abcabc'), CHARINDEX('b', 'abcabc', 3), CHARINDEX('b', 'abcabc', 0)"
                                     << "2|5|2";
    QTest::newRow("charindex misses") << "SELECT CHARINDEX('z', 'abc'), CHARINDEX('', 'abc'), CHARINDEX('é', 'abe')" << "0|0|0";
    QTest::newRow("charindex null") << "SELECT CHARINDEX(NULL, 'abc'), CHARINDEX('a', NULL)" << "NULL|NULL";
    QTest::newRow("charindex unicode") << "SELECT CHARINDEX(N'Ω', N'αωβ')" << "2";
    // learn.microsoft.com: UPPER, LOWER (Transact-SQL): code page 1252's letters for varchar,
    // Unicode's for nvarchar.
    QTest::newRow("upper varchar") << "SELECT UPPER('abc šœžÿ àéîõü æøå ß')" << "ABC ŠŒŽŸ ÀÉÎÕÜ ÆØÅ ß";
    QTest::newRow("lower varchar") << "SELECT LOWER('ABC ŠŒŽŸ ÀÉÎÕÜ ÆØÅ')" << "abc šœžÿ àéîõü æøå";
    QTest::newRow("upper nvarchar") << "SELECT UPPER(N'ωσ дж ąč'), LOWER(N'ΩΣ ДЖ ĄČ')" << "ΩΣ ДЖ ĄČ|ωσ дж ąč";
    QTest::newRow("upper keeps digits and signs") << "SELECT UPPER('a1-b_2'), LOWER(N'X€Y')" << "A1-B_2|x€y";
    QTest::newRow("upper of null") << "SELECT UPPER(NULL)" << "NULL";
    // learn.microsoft.com: LEN and DATALENGTH (Transact-SQL): LEN leaves out trailing blanks;
    // DATALENGTH counts bytes, two for each nvarchar character.
    QTest::newRow("len") << "SELECT LEN('ab  '), LEN('  ab'), LEN(''), LEN(N'ab  '), LEN(NULL)" << "2|4|0|2|NULL";
    QTest::newRow("datalength varchar") << "SELECT DATALENGTH('abc'), DATALENGTH('ab  '), DATALENGTH('é€'), DATALENGTH('')" << "3|4|2|0";
    QTest::newRow("datalength nvarchar") << "SELECT DATALENGTH(N'abc'), DATALENGTH(N'ab  '), DATALENGTH(N'é€'), DATALENGTH(N'')" << "6|8|4|0";
    QTest::newRow("datalength fixed length") << "SELECT DATALENGTH(CAST('ab' AS char(5))), DATALENGTH(CAST(N'ab' AS nchar(5)))" << "5|10";
    QTest::newRow("datalength of columns") << "SELECT DATALENGTH(v), DATALENGTH(n), DATALENGTH(c), DATALENGTH(nc) FROM w WHERE k = 1"
                                           << "1|2|30|60";
    QTest::newRow("datalength outside the basic plane") << "SELECT DATALENGTH(N'😀'), LEN(N'😀')" << "4|2";
    QTest::newRow("datalength null and numbers") << "SELECT DATALENGTH(NULL), DATALENGTH(1), DATALENGTH(CAST(1 AS bigint))" << "NULL|4|8";
    // Code page 1252 as CHAR, ASCII, NCHAR and UNICODE see it.
    QTest::newRow("code page 1252") << "SELECT ASCII('A'), ASCII('€'), CHAR(128), CHAR(65), UNICODE(N'€'), NCHAR(8364)" << "65|128|€|A|8364|€";
    // learn.microsoft.com: STUFF, SUBSTRING, LEFT, RIGHT, LTRIM, RTRIM (Transact-SQL) examples.
    QTest::newRow("stuff") << "SELECT STUFF('abcdef', 2, 3, 'ijklmn')" << "aijklmnef";
    QTest::newRow("substring left right") << "SELECT SUBSTRING('abcdef', 2, 3), LEFT('abcdef', 2), RIGHT('abcdef', 2), SUBSTRING('abc', 0, 2)"
                                          << "bcd|ab|ef|a";
    QTest::newRow("trims") << "SELECT '[' + LTRIM('  a ') + ']', '[' + RTRIM(' a  ') + ']'" << "[a ]|[ a]";
    // learn.microsoft.com: QUOTENAME (Transact-SQL), examples.
    QTest::newRow("quotename") << "SELECT QUOTENAME('abc[]def'), QUOTENAME('abc', ''''), QUOTENAME('a', '('), QUOTENAME('a', 'x')"
                               << "[abc[]]def]|'abc'|(a)|NULL";
    // learn.microsoft.com: REPLICATE (Transact-SQL): a result that is not varchar(max) or
    // nvarchar(max) is cut at 8,000 bytes, which is 4,000 nvarchar characters.
    QTest::newRow("replicate cut at 8,000 bytes")
        << "SELECT LEN(REPLICATE('é', 9000)), LEN(REPLICATE(N'é', 5000)), DATALENGTH(REPLICATE(N'é', 5000)), "
           "LEN(REPLICATE(N'ab', 3000)), LEN(REPLICATE(CAST('ab' AS varchar(max)), 5000))"
        << "8000|4000|8000|4000|10000";
    QTest::newRow("replicate") << "SELECT REPLICATE('ab', 3), REPLICATE(N'Ωμ', 2), REPLICATE('ab', 0), REPLICATE('ab', -1)"
                               << "ababab|ΩμΩμ||NULL";
    QTest::newRow("plus null") << "SELECT 'a' + NULL, N'a' + 'b'" << "NULL|ab";
}

void TestConformanceText::functions()
{
    check();
}

QTEST_GUILESS_MAIN(TestConformanceText)
#include "tst_conformance_text.moc"
