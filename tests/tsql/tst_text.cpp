// Text as SQL Server's default collation SQL_Latin1_General_CP1_CI_AS treats it: UTF-8,
// code page 1252, case mapping, comparison, prefix ranges for index searches, LIKE, PATINDEX,
// CHARINDEX, REPLACE and SUBSTRING. Expected values come from Microsoft's reference pages
// named above each group.

#include "tsql/Error.h"
#include "tsql/Text.h"

#include <QTest>

namespace text = tsql::text;

namespace {

std::string utf8(const QString &s)
{
    return s.toStdString();
}

QString fromUtf8(const std::string &s)
{
    return QString::fromStdString(s);
}

int sign(int v)
{
    return (v > 0) - (v < 0);
}

} // namespace

class TestText : public QObject {
    Q_OBJECT

private slots:
    void decoding_data();
    void decoding();
    void substring_data();
    void substring();
    void codePage1252_data();
    void codePage1252();
    void toCodePage1252_data();
    void toCodePage1252();
    void caseMapping_data();
    void caseMapping();
    void comparison_data();
    void comparison();
    void prefixRange_data();
    void prefixRange();
    void like_data();
    void like();
    void patindex_data();
    void patindex();
    void charindex_data();
    void charindex();
    void replace_data();
    void replace();
};

// The Unicode Standard, chapter 3, "U+FFFD Substitution of Maximal Subparts": each byte that
// cannot start or continue a well-formed sequence becomes one U+FFFD. learn.microsoft.com:
// "Collation and Unicode support": without a supplementary-character (_SC) collation, nvarchar
// counts a character outside the Basic Multilingual Plane as two.
void TestText::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("decoded");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("utf16Length");
    const QString bad(QChar(0xFFFD));
    QTest::newRow("ascii") << QByteArray("Smith") << "Smith" << 5 << 5;
    QTest::newRow("latin") << QByteArray("Mu\xC3\xB1oz") << "Muñoz" << 5 << 5;
    QTest::newRow("outside the BMP") << QByteArray("\xF0\x9F\x98\x80") << QString::fromUtf8("\xF0\x9F\x98\x80") << 1 << 2;
    QTest::newRow("stray byte") << QByteArray("a\xFF" "b") << "a" + bad + "b" << 3 << 3;
    QTest::newRow("lone continuation") << QByteArray("\x80" "a") << bad + "a" << 2 << 2;
    QTest::newRow("overlong") << QByteArray("\xE0\x80\x80") << bad + bad + bad << 3 << 3;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << bad + bad + bad << 3 << 3;
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << bad + bad + bad + bad << 4 << 4;
    QTest::newRow("lead byte at the end") << QByteArray("ab\xC3") << "ab" + bad << 3 << 3;
}

void TestText::decoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, decoded);
    QFETCH(int, length);
    QFETCH(int, utf16Length);
    const std::string_view in(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const std::u32string code = text::decode(in);
    QCOMPARE(fromUtf8(text::encode(code)), decoded);
    QCOMPARE(text::length(in), std::size_t(length));
    QCOMPARE(text::utf16Length(in), std::size_t(utf16Length));
}

// learn.microsoft.com: SUBSTRING (Transact-SQL), "start" and "length": a start below 1
// returns start + length - 1 characters from the first; a negative length is an error.
void TestText::substring_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<qlonglong>("start");
    QTest::addColumn<qlonglong>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("second to fourth") << "abcdef" << 2LL << 3LL << "bcd";
    QTest::newRow("initial") << "Barley" << 1LL << 1LL << "B";
    QTest::newRow("start 0") << "abcdef" << 0LL << 3LL << "ab";
    QTest::newRow("start -1") << "abcdef" << -1LL << 3LL << "a";
    QTest::newRow("before the text entirely") << "abcdef" << -5LL << 3LL << "";
    QTest::newRow("past the end") << "abcdef" << 7LL << 2LL << "";
    QTest::newRow("longer than the rest") << "abcdef" << 4LL << 100LL << "def";
    QTest::newRow("huge length") << "abcdef" << 2LL << 9223372036854775807LL << "bcdef";
    QTest::newRow("zero length") << "abcdef" << 2LL << 0LL << "";
    QTest::newRow("characters, not bytes") << "Muñoz" << 3LL << 2LL << "ño";
    QTest::newRow("negative length") << "abcdef" << 1LL << -1LL << "Msg 537";
}

void TestText::substring()
{
    QFETCH(QString, value);
    QFETCH(qlonglong, start);
    QFETCH(qlonglong, count);
    QFETCH(QString, expected);
    QString got;
    try {
        got = fromUtf8(text::substring(utf8(value), start, count));
    } catch (const tsql::Error &e) {
        got = QStringLiteral("Msg %1").arg(e.number());
        QCOMPARE(QString::fromStdString(e.what()),
                 QStringLiteral("Invalid length parameter passed to the LEFT or SUBSTRING function."));
    }
    QCOMPARE(got, expected);
}

// learn.microsoft.com: "Code Page 1252 (Windows Latin 1)"; 0x80-0x9F hold the characters
// Windows added to ISO 8859-1.
void TestText::codePage1252_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("character");
    const char *high[] = {"€", "", "‚", "ƒ", "„", "…", "†", "‡", "ˆ", "‰", "Š", "‹", "Œ", "", "Ž", "",
                          "", "‘", "’", "“", "”", "•", "–", "—", "˜", "™", "š", "›", "œ", "", "ž", "Ÿ"};
    for (int b = 0x80; b <= 0x9F; ++b)
        if (*high[b - 0x80])
            QTest::addRow("0x%X", b) << b << QString::fromUtf8(high[b - 0x80]);
    QTest::newRow("A") << 0x41 << "A";
    QTest::newRow("nbsp") << 0xA0 << QString(QChar(0xA0));
    QTest::newRow("é") << 0xE9 << "é";
    QTest::newRow("ÿ") << 0xFF << "ÿ";
}

void TestText::codePage1252()
{
    QFETCH(int, byte);
    QFETCH(QString, character);
    const char32_t c = character.toUcs4().at(0);
    QCOMPARE(int(text::fromCodePage1252(static_cast<unsigned char>(byte))), int(c));
    QCOMPARE(text::codePage1252Byte(c), byte);
    QVERIFY(text::inCodePage1252(c));
}

// dba.stackexchange.com, "Automatic translation when converting Unicode to non-Unicode"
// (Solomon Rutzky): nvarchar becomes varchar through Windows' best-fit table for code page
// 1252, which drops accents the code page lacks; what has no fit becomes '?'.
void TestText::toCodePage1252_data()
{
    QTest::addColumn<QString>("unicode");
    QTest::addColumn<QString>("varchar");
    QTest::newRow("held as is") << "Œuvre – “naïve” €5" << "Œuvre – “naïve” €5";
    QTest::newRow("accent the code page lacks") << "Ātā" << "Ata";
    QTest::newRow("stroke") << "łódź" << "lódz";
    QTest::newRow("no fit") << "漢字" << "??";
}

void TestText::toCodePage1252()
{
    QFETCH(QString, unicode);
    QFETCH(QString, varchar);
    QCOMPARE(fromUtf8(text::toCodePage1252(utf8(unicode))), varchar);
    QVERIFY(!text::inCodePage1252(U'Ω'));
    QCOMPARE(text::codePage1252Byte(U'漢'), -1);
}

// learn.microsoft.com: UPPER (Transact-SQL), LOWER (Transact-SQL); varchar maps by the code
// page (Windows-1252 pairs š/Š, œ/Œ, ž/Ž, ÿ/Ÿ; ß and µ have no capital there), nvarchar by
// Unicode's case mapping.
void TestText::caseMapping_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("unicode");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower");
    QTest::newRow("ascii") << "McDonald-Smith 42" << false << "MCDONALD-SMITH 42" << "mcdonald-smith 42";
    QTest::newRow("latin-1") << "Àéîõü Þórr" << false << "ÀÉÎÕÜ ÞÓRR" << "àéîõü þórr";
    QTest::newRow("1252 extras") << "šŠœŒžŽÿŸ" << false << "ŠŠŒŒŽŽŸŸ" << "ššœœžžÿÿ";
    QTest::newRow("no capital in 1252") << "straße µ ƒ" << false << "STRAßE µ ƒ" << "straße µ ƒ";
    QTest::newRow("× and ÷ are not letters") << "×÷" << false << "×÷" << "×÷";
    QTest::newRow("greek") << "Ωμέγα σς" << true << "ΩΜΈΓΑ ΣΣ" << "ωμέγα σς";
    QTest::newRow("cyrillic") << "Привет" << true << "ПРИВЕТ" << "привет";
    QTest::newRow("latin extended") << "Łódź Čapek Őrs" << true << "ŁÓDŹ ČAPEK ŐRS" << "łódź čapek őrs";
    QTest::newRow("ß stays in nvarchar") << "ß" << true << "ß" << "ß";
}

void TestText::caseMapping()
{
    QFETCH(QString, value);
    QFETCH(bool, unicode);
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    QCOMPARE(fromUtf8(text::upper(utf8(value), unicode)), upper);
    QCOMPARE(fromUtf8(text::lower(utf8(value), unicode)), lower);
}

// learn.microsoft.com: "Collation and Unicode support" (_CI: 'ABC' = 'abc'; _AS: 'a' <> 'á'),
// "SQL Server Collation Name" (SQL_Latin1_General_CP1: dictionary order), "How SQL Server
// compares strings with trailing spaces" (KB 316626: 'abc' = 'abc '). Windows' NLS
// documentation, "string sort": hyphen and apostrophe sort with the other symbols, before
// digits and letters (co-op < co_op < coat). dba.stackexchange.com 335859: varchar 'ß' <> 'ss'
// under SQL_Latin1_General_CP1_CI_AS.
void TestText::comparison_data()
{
    const int unequal = 2; // the pages say only that the two differ
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    QTest::newRow("case") << "SMITH" << "smith" << 0;
    QTest::newRow("accented case") << "MUÑOZ" << "muñoz" << 0;
    QTest::newRow("É = é") << "É" << "é" << 0;
    QTest::newRow("trailing blanks") << "abc" << "abc   " << 0;
    QTest::newRow("blank against empty") << "" << "   " << 0;
    QTest::newRow("leading blank counts") << " abc" << "abc" << -1;
    QTest::newRow("accent sensitive") << "e" << "é" << -1;
    QTest::newRow("ñ after n") << "Munoz" << "Muñoz" << -1;
    QTest::newRow("a < á") << "a" << "á" << -1;
    QTest::newRow("á < b") << "á" << "b" << -1;
    QTest::newRow("letters before accents") << "ác" << "ad" << -1;
    QTest::newRow("accent decides a tie") << "ab" << "áb" << -1;
    QTest::newRow("length before accents") << "áb" << "abc" << -1;
    QTest::newRow("dictionary, not binary") << "Zeta" << "alpha" << 1;
    QTest::newRow("digits before letters") << "9" << "a" << -1;
    QTest::newRow("hyphen before letters") << "co-op" << "coat" << -1;
    QTest::newRow("hyphen before underscore") << "co-op" << "co_op" << -1;
    QTest::newRow("underscore before letters") << "co_op" << "coat" << -1;
    QTest::newRow("apostrophe before letters") << "we're" << "went" << -1;
    QTest::newRow("ß is not ss") << "ß" << "ss" << unequal;
    QTest::newRow("Ÿ = ÿ") << "Ÿ" << "ÿ" << 0;
    QTest::newRow("Š = š") << "ŠTĚPÁN" << "štěpán" << 0;
    QTest::newRow("Σ = σ") << "ΣΟΦΙΑ" << "σοφια" << 0;
}

void TestText::comparison()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    const int ab = sign(text::compare(utf8(a), utf8(b)));
    QCOMPARE(sign(text::compare(utf8(b), utf8(a))), -ab);
    QCOMPARE(text::equal(utf8(a), utf8(b)), order == 0);
    if (order != 2)
        QCOMPARE(ab, order);
}

// An index search for LIKE 'prefix%' reads [lower, upper): every text LIKE matches must lie
// inside (learn.microsoft.com: LIKE (Transact-SQL)), and texts that start otherwise should not.
void TestText::prefixRange_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("inside");
    QTest::addColumn<QStringList>("outside");
    QTest::newRow("ascii") << "Smi" << QStringList{"Smith", "SMITH", "smi", "Smi   ", "SMIÑO"}
                           << QStringList{"Sm", "Sma", "Smj", "Sn", "Rzz"};
    QTest::newRow("accented") << "Santiño" << QStringList{"Santiño", "SANTIÑO GARCÍA", "santiñoz"}
                              << QStringList{"Santiago", "Santino", "Santo", "Santj"};
    QTest::newRow("ends in z") << "Cruz" << QStringList{"Cruz", "CRUZADO", "cruzzz"}
                               << QStringList{"Crux", "Crv", "Cruy"};
    QTest::newRow("apostrophe") << "O'B" << QStringList{"O'Brien", "o'brien"}
                                << QStringList{"OBrien", "O-Brien", "Oa", "O'C"};
    QTest::newRow("digits") << "10" << QStringList{"10", "1000", "10-A"} << QStringList{"11", "1", "0"};
    QTest::newRow("ends in 9") << "A9" << QStringList{"A9", "a99"} << QStringList{"A8", "AA", "B"};
}

void TestText::prefixRange()
{
    QFETCH(QString, prefix);
    QFETCH(QStringList, inside);
    QFETCH(QStringList, outside);
    std::string lower, upper;
    QVERIFY(text::prefixRange(utf8(prefix), lower, upper));
    for (const QString &v : inside) {
        QVERIFY2(text::like(utf8(v), utf8(prefix) + "%"), qPrintable(v));
        QVERIFY2(text::compare(utf8(v), lower) >= 0 && text::compare(utf8(v), upper) < 0, qPrintable(v));
    }
    for (const QString &v : outside) {
        QVERIFY2(!text::like(utf8(v), utf8(prefix) + "%"), qPrintable(v));
        QVERIFY2(text::compare(utf8(v), lower) < 0 || text::compare(utf8(v), upper) >= 0, qPrintable(v));
    }
}

// learn.microsoft.com: LIKE (Transact-SQL): the wildcard table, "Using Wildcard Characters As
// Literals", "Pattern Matching with the ESCAPE Clause" (an escape with nothing after it makes
// LIKE false; before an ordinary character it is dropped; it works inside brackets),
// "Pattern Matching by Using LIKE" (trailing blanks of a varchar value are ignored, of an
// nchar value significant; those of the pattern always count), examples C and D.
void TestText::like_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("escape");
    QTest::addColumn<bool>("unicode");
    QTest::addColumn<bool>("matches");
    QTest::newRow("_ean Dean") << "Dean" << "_ean" << "" << false << true;
    QTest::newRow("_ean Jean-Luc") << "Jean-Luc" << "_ean" << "" << false << false;
    QTest::newRow("%computer%") << "Introduction to Computer Science" << "%computer%" << "" << false << true;
    QTest::newRow("[C-P]arsen Larsen") << "Larsen" << "[C-P]arsen" << "" << false << true;
    QTest::newRow("[C-P]arsen karsen") << "karsen" << "[C-P]arsen" << "" << false << true;
    QTest::newRow("[C-P]arsen Barsen") << "Barsen" << "[C-P]arsen" << "" << false << false;
    QTest::newRow("de[^l]% Devon") << "Devon" << "de[^l]%" << "" << false << true;
    QTest::newRow("de[^l]% Delgado") << "Delgado" << "de[^l]%" << "" << false << false;
    QTest::newRow("5[%]") << "5%" << "5[%]" << "" << false << true;
    QTest::newRow("5[%] not 55") << "55" << "5[%]" << "" << false << false;
    QTest::newRow("[_]n") << "_n" << "[_]n" << "" << false << true;
    QTest::newRow("[a-cdf] d") << "d" << "[a-cdf]" << "" << false << true;
    QTest::newRow("[a-cdf] e") << "e" << "[a-cdf]" << "" << false << false;
    QTest::newRow("[-acdf]") << "-" << "[-acdf]" << "" << false << true;
    QTest::newRow("[[]") << "[" << "[[]" << "" << false << true;
    QTest::newRow("] alone") << "]" << "]" << "" << false << true;
    QTest::newRow("abc[_]d%") << "abc_de" << "abc[_]d%" << "" << false << true;
    QTest::newRow("abc[_]d% not abcxd") << "abcxd" << "abc[_]d%" << "" << false << false;
    QTest::newRow("abc[def]") << "abcf" << "abc[def]" << "" << false << true;
    QTest::newRow("[CS]heryl") << "Sheryl" << "[CS]heryl" << "" << false << true;
    QTest::newRow("escape %") << "Discount is 10-15% off" << "%10-15!% off%" << "!" << false << true;
    QTest::newRow("without ESCAPE ! is literal") << "30!" << "%30!%%" << "" << false << true;
    QTest::newRow("escape at the end") << "abc" << "abc!" << "!" << false << false;
    QTest::newRow("escape before a letter") << "abc" << "!a!bc" << "!" << false << true;
    QTest::newRow("escaped ^ in brackets") << "^" << "[!^]" << "!" << false << true;
    QTest::newRow("escaped ] in brackets") << "]" << "[!]x]" << "!" << false << true;
    QTest::newRow("escaped - in brackets") << "-" << "[a!-z]" << "!" << false << true;
    QTest::newRow("escaped - is no range") << "m" << "[a!-z]" << "!" << false << false;
    QTest::newRow("escape the escape") << "a!b" << "a!!b" << "!" << false << true;
    QTest::newRow("value's trailing blanks") << "abc   " << "abc" << "" << false << true;
    QTest::newRow("pattern's trailing blank") << "abc" << "abc " << "" << false << false;
    QTest::newRow("char(30) % King") << "Robert King                   " << "% King" << "" << false << true;
    QTest::newRow("nchar(30) % King") << "Robert King                   " << "% King" << "" << true << false;
    QTest::newRow("nvarchar % King") << "Robert King" << "% King" << "" << true << true;
    QTest::newRow("blank in the pattern") << "abc  " << "abc _" << "" << false << true;
    QTest::newRow("case-insensitive") << "SMITH" << "smi%" << "" << false << true;
    QTest::newRow("accented, any case") << "Muñoz" << "MUÑ%" << "" << false << true;
    QTest::newRow("accent-sensitive") << "Munoz" << "Muñ%" << "" << false << false;
    QTest::newRow("range by collation: B in [a-c]") << "B" << "[a-c]" << "" << false << true;
    QTest::newRow("range by collation: á in [a-c]") << "á" << "[a-c]" << "" << false << true;
    QTest::newRow("_ takes one character, not one byte") << "ñ" << "_" << "" << false << true;
    QTest::newRow("empty matches empty") << "" << "" << "" << false << true;
    QTest::newRow("% matches empty") << "" << "%" << "" << false << true;
    QTest::newRow("empty pattern") << "a" << "" << "" << false << false;
    // The page does not say what an unclosed '[' does; like a dangling escape, the pattern is
    // invalid and matches nothing.
    QTest::newRow("unclosed [") << "a[" << "a[" << "" << false << false;
    QTest::newRow("unclosed [ with %") << "[abc" << "%[abc%" << "" << false << false;

    const QString sixty(60, QLatin1Char('a'));
    QTest::newRow("60 a's, %a%a...%b") << sixty << "%a%a%a%a%a%a%a%a%b" << "" << false << false;
    const QString many(100000, QLatin1Char('a'));
    QTest::newRow("100000 a's, 50 %a then %b") << many << QString("%a").repeated(50) + "%b" << "" << false << false;
    QTest::newRow("100000 a's, 50 %a then %") << many << QString("%a").repeated(50) + "%" << "" << false << true;
    QTest::newRow("100000-character pattern") << many << QString("%a").repeated(50000) << "" << false << true;
    QTest::newRow("pattern longer than the value") << many.left(49999) << QString("%a").repeated(50000) << ""
                                                   << false << false;
    QTest::newRow("100000 brackets unclosed") << "a" << QString(100000, QLatin1Char('[')) << "" << false << false;
}

void TestText::like()
{
    QFETCH(QString, value);
    QFETCH(QString, pattern);
    QFETCH(QString, escape);
    QFETCH(bool, unicode);
    QFETCH(bool, matches);
    std::optional<char32_t> esc;
    if (!escape.isEmpty())
        esc = escape.toUcs4().at(0);
    QCOMPARE(text::like(utf8(value), utf8(pattern), esc, unicode), matches);
}

// learn.microsoft.com: PATINDEX (Transact-SQL), examples A to D (D with a binary collation,
// where the answer is the same); the position is that of the part after the leading '%', and
// without it the pattern must match from the first character.
void TestText::patindex_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("value");
    QTest::addColumn<qlonglong>("position");
    QTest::newRow("%ter%") << "%ter%" << "interesting data" << 3LL;
    QTest::newRow("%en_ure%") << "%en_ure%" << "Please ensure the door is locked!" << 8LL;
    QTest::newRow("%[^ 0-9A-Za-z]%") << "%[^ 0-9A-Za-z]%" << "Please ensure the door is locked!" << 33LL;
    QTest::newRow("%ein%") << "%ein%" << "Das ist ein Test" << 9LL;
    QTest::newRow("%t_r%t%") << "%t_r%t%" << "interesting" << 3LL;
    QTest::newRow("ter% not at the start") << "ter%" << "interesting" << 0LL;
    QTest::newRow("inter%") << "inter%" << "interesting" << 1LL;
    QTest::newRow("%ing at the end") << "%ing" << "interesting" << 9LL;
    QTest::newRow("by the collation") << "%TER%" << "interesting" << 3LL;
    QTest::newRow("accent-sensitive") << "%n%" << "Muñoz" << 0LL;
    QTest::newRow("characters, not bytes") << "%o%" << "Muñoz" << 4LL;
    QTest::newRow("100000 a's, %a...%b") << QString("%a").repeated(50) + "%b%" << QString(100000, QLatin1Char('a'))
                                         << 0LL;
    QTest::newRow("100000 a's then b") << "%ab%" << QString(100000, QLatin1Char('a')) + "b" << 100000LL;
}

void TestText::patindex()
{
    QFETCH(QString, pattern);
    QFETCH(QString, value);
    QFETCH(qlonglong, position);
    QCOMPARE(text::patindex(utf8(pattern), utf8(value)), position);
}

// learn.microsoft.com: CHARINDEX (Transact-SQL), examples A to H (E is the case-insensitive
// search our collation makes); a start of 0 or below searches from the beginning.
void TestText::charindex_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QString>("haystack");
    QTest::addColumn<qlonglong>("start");
    QTest::addColumn<qlonglong>("position");
    const QString document = "Reflectors are vital safety components of your bicycle.";
    QTest::newRow("bicycle") << "bicycle" << document << 1LL << 48LL;
    QTest::newRow("vital from 5") << "vital" << document << 5LL << 16LL;
    QTest::newRow("bike") << "bike" << document << 1LL << 0LL;
    QTest::newRow("case-insensitive") << "TEST" << "This is a Test" << 1LL << 11LL;
    QTest::newRow("from 4") << "is" << "This is a string" << 4LL << 6LL;
    QTest::newRow("not found") << "at" << "This is a string" << 1LL << 0LL;
    QTest::newRow("start 0") << "is" << "This is a string" << 0LL << 3LL;
    QTest::newRow("negative start") << "is" << "This is a string" << -5LL << 3LL;
    QTest::newRow("start past the end") << "is" << "This is a string" << 100LL << 0LL;
    QTest::newRow("B in abc") << "B" << "abc" << 1LL << 2LL;
    QTest::newRow("accented, other case") << "Ñ" << "muñoz" << 1LL << 3LL;
    QTest::newRow("accent-sensitive") << "n" << "muñoz" << 1LL << 0LL;
    QTest::newRow("overlapping prefix") << "aab" << "aaab" << 1LL << 2LL;
}

void TestText::charindex()
{
    QFETCH(QString, needle);
    QFETCH(QString, haystack);
    QFETCH(qlonglong, start);
    QFETCH(qlonglong, position);
    QCOMPARE(text::charindex(utf8(needle), utf8(haystack), start), position);
}

// learn.microsoft.com: REPLACE (Transact-SQL): every occurrence, compared by the input's
// collation (so case-insensitively here, accents still told apart).
void TestText::replace_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("cde") << "abcdefghicde" << "cde" << "xxx" << "abxxxfghixxx";
    QTest::newRow("Test") << "Das ist ein Test" << "Test" << "desk" << "Das ist ein desk";
    QTest::newRow("by the collation") << "ABC" << "b" << "x" << "AxC";
    QTest::newRow("not overlapping") << "aaaa" << "aa" << "b" << "bb";
    QTest::newRow("accent-sensitive") << "Muñoz Nuñez" << "n" << "N" << "Muñoz Nuñez";
    QTest::newRow("accented pattern") << "São Paulo, SÃO" << "ã" << "a" << "Sao Paulo, SaO";
    QTest::newRow("longer replacement") << "a-b-c" << "-" << " – " << "a – b – c";
}

void TestText::replace()
{
    QFETCH(QString, value);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, expected);
    QCOMPARE(fromUtf8(text::replace(utf8(value), utf8(from), utf8(to))), expected);
}

QTEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"
