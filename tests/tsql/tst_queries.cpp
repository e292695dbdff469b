// Statement in, rows or SQL Server's error out: the engine's query semantics, each with the case
// that a straightforward translation to SQLite would get wrong.

#include "EngineFixture.h"

#include <QTest>

class TestQueries : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_db = std::make_unique<EngineFixture>();
        m_db->loadHospital();
    }
    void cleanup() { m_db.reset(); }

    void semantics_data();
    void semantics();
    void errors_data();
    void errors();
    void programStatements_data();
    void programStatements();
    void fastFiltersAgree_data();
    void fastFiltersAgree();
    void dateText_data();
    void dateText();
    void names_data();
    void names();

private:
    std::unique_ptr<EngineFixture> m_db;
};

void TestQueries::semantics_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("rows");

    // Text comparison: case-insensitive, trailing blanks ignored, for columns and literals alike.
    QTest::newRow("trailing blanks") << "SELECT HospNum FROM tbMaster WHERE LastName = 'SMITH   '" << "H004";
    QTest::newRow("literal vs literal") << "SELECT 1 WHERE 'abc' = 'ABC  '" << "1";
    QTest::newRow("less than folds case") << "SELECT 1 WHERE 'apple' < 'BANANA'" << "1";
    QTest::newRow("accented letters fold") << "SELECT HospNum FROM tbMaster WHERE FirstName = 'ÉVA'" << "H005";
    QTest::newRow("IN compares as text") << "SELECT HospNum FROM tbMaster WHERE HospNum IN ('h001 ', 'H004') ORDER BY HospNum"
                                         << "H001\nH004";

    // LIKE: wildcards, brackets, case; the prefix form must not lose rows of other case.
    QTest::newRow("like prefix any case") << "SELECT HospNum FROM tbMaster WHERE LastName LIKE 'DEL%' ORDER BY HospNum"
                                          << "H001\nH003";
    QTest::newRow("like brackets set") << "SELECT HospNum FROM tbMaster WHERE LastName LIKE '[ds]%' ORDER BY HospNum"
                                       << "H001\nH003\nH004";
    QTest::newRow("like bracket range") << "SELECT HospNum FROM tbMaster WHERE FirstName LIKE '[i-k]%'" << "H001";
    QTest::newRow("like negated set") << "SELECT HospNum FROM tbMaster WHERE Sex LIKE '[^m]' ORDER BY HospNum"
                                      << "H002\nH004\nH005";
    QTest::newRow("like underscore") << "SELECT HospNum FROM tbMaster WHERE LastName LIKE '_mith'" << "H004";
    QTest::newRow("like apostrophe escaped") << "SELECT HospNum FROM tbMaster WHERE LastName LIKE 'o''b%'" << "H002";
    QTest::newRow("not like") << "SELECT count(*) FROM tbMaster WHERE LastName NOT LIKE '%a%'" << "2";
    QTest::newRow("like null") << "SELECT count(*) FROM tbMaster WHERE MiddleName LIKE '%'" << "4";

    // '+' joins text (NULL wins) and adds numbers; text meets a number as a number.
    QTest::newRow("null concat") << "SELECT LastName + ', ' + FirstName + ' ' + MiddleName FROM tbMaster WHERE HospNum = 'H002'"
                                 << "NULL";
    QTest::newRow("concat") << "SELECT LastName + ', ' + FirstName FROM tbMaster WHERE HospNum = 'H002'" << "O'Brien, Mary";
    QTest::newRow("number plus") << "SELECT 1 + 2, 7 / 2, 7 % 4, 2 * 3 - 1" << "3|3|3|5";
    QTest::newRow("text plus number") << "SELECT '10' + 5" << "15";
    QTest::newRow("isnull") << "SELECT ISNULL(MiddleName, '-') FROM tbMaster WHERE HospNum = 'H002'" << "-";

    // Dates: text read as a date against datetime columns, CONVERT styles, day filters.
    QTest::newRow("birthdate mm/dd/yyyy") << "SELECT HospNum FROM tbMaster WHERE birthdate = '01/02/1990'" << "H001";
    QTest::newRow("birthdate yyyymmdd") << "SELECT HospNum FROM tbMaster WHERE BirthDate = '19850715'" << "H002";
    QTest::newRow("datetime ordering") << "SELECT HospNum FROM tbMaster WHERE BirthDate > '1/1/1980' ORDER BY BirthDate"
                                       << "H002\nH001\nH005";
    QTest::newRow("convert styles")
        << "SELECT CONVERT(varchar, BirthDate, 101), CONVERT(varchar(10), BirthDate, 103), CONVERT(varchar, BirthDate, 112), "
           "CONVERT(varchar, BirthDate, 120), CONVERT(varchar, BirthDate, 121) FROM tbMaster WHERE HospNum = 'H005'"
        << "12/31/2001|31/12/2001|20011231|2001-12-31 23:59:59|2001-12-31 23:59:59.000";
    QTest::newRow("convert default style") << "SELECT CONVERT(varchar, BirthDate) FROM tbMaster WHERE HospNum = 'H004'"
                                           << "Mar  5 1970 12:00AM";
    QTest::newRow("convert 101 filter covers the whole day")
        << "SELECT IDNum FROM tbPatient WHERE CONVERT(varchar,AdmDate,101)  =  '12/05/2026' ORDER BY IDNum" << "A001\nA003";
    QTest::newRow("convert 101 no such day") << "SELECT count(*) FROM tbPatient WHERE CONVERT(varchar,AdmDate,101) = '02/30/2026'"
                                             << "0";
    QTest::newRow("datetime result typed") << "SELECT AdmDate FROM tbPatient WHERE IDNum = 'A003'" << "2026-12-05 23:59:59.997";
    QTest::newRow("default text style reads back") << "SELECT CONVERT(datetime, CONVERT(varchar, AdmDate)) FROM tbPatient WHERE IDNum = 'A001'"
                                                   << "2026-12-05 08:30:00.000";
    QTest::newRow("cast text to datetime") << "SELECT CAST('2024-02-29' AS datetime)" << "2024-02-29 00:00:00.000";
    QTest::newRow("getdate is a datetime") << "SELECT CASE WHEN GETDATE() > '01/01/2020' THEN 1 ELSE 0 END" << "1";

    // Functions.
    QTest::newRow("len ignores trailing blanks") << "SELECT LEN('ab  '), LEN(''), LEN(NULL)" << "2|0|NULL";
    QTest::newRow("trims and case") << "SELECT LTRIM('  a '), RTRIM(' a  '), UPPER('ábc'), LOWER('ÁBC')" << "a | a|ÁBC|ábc";
    QTest::newRow("substring") << "SELECT SUBSTRING('Hospital', 2, 3)" << "osp";
    QTest::newRow("count") << "SELECT COUNT(*) FROM Patient_Data.dbo.tbMaster" << "5";
    QTest::newRow("group by") << "SELECT Sex, COUNT(*) FROM tbMaster GROUP BY Sex ORDER BY Sex" << "F|3\nM|2";

    // Shapes of SELECT.
    QTest::newRow("top with order") << "SELECT TOP 2 HospNum FROM tbMaster ORDER BY LastName DESC" << "H004\nH002";
    QTest::newRow("accents sort with their letter") << "SELECT TOP 2 LastName FROM tbMaster ORDER BY LastName" << "Ábalos\nDela Cruz";
    QTest::newRow("accents still differ") << "SELECT count(*) FROM tbMaster WHERE FirstName = 'Eva'" << "0";
    QTest::newRow("order by alias") << "SELECT HospNum, CONVERT(varchar, BirthDate, 112) AS BirthDate FROM tbMaster "
                                       "WHERE BirthDate IS NOT NULL ORDER BY BirthDate"
                                    << "H004|19700305\nH002|19850715\nH001|19900102\nH005|20011231";
    QTest::newRow("left join keeps orphans")
        << "SELECT p.IDNum, m.LastName FROM tbPatient p LEFT OUTER JOIN tbMaster AS m ON p.HospNum = m.HospNum ORDER BY p.IDNum"
        << "A001|Dela Cruz\nA002|O'Brien\nA003|NULL";
    QTest::newRow("inner join") << "SELECT o.IDNum FROM tbOutPatient o INNER JOIN tbMaster m ON o.HospNum = m.HospNum "
                                   "WHERE m.Sex = 'm' ORDER BY 1"
                                << "O001\nO002";
    QTest::newRow("union all tops then order")
        << "SELECT TOP 1 IDNum FROM tbPatient UNION ALL SELECT TOP 2 IDNum FROM tbOutPatient ORDER BY IDNum DESC"
        << "O002\nO001\nA001";
    QTest::newRow("three part column") << "SELECT Patient_Data.dbo.tbMaster.HospNum FROM Patient_Data.dbo.tbMaster "
                                          "WHERE HospNum = 'H001'"
                                       << "H001";
    QTest::newRow("between and not") << "SELECT count(*) FROM tbMaster WHERE NOT (BirthDate BETWEEN '1980-01-01' AND '1995-01-01')"
                                     << "2";
    QTest::newRow("comments and semicolon") << "/* list */ SELECT HospNum -- first\n FROM tbMaster WHERE HospNum = 'H001';;"
                                            << "H001";
    QTest::newRow("catalogue columns")
        << "SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, ORDINAL_POSITION FROM INFORMATION_SCHEMA.COLUMNS "
           "WHERE TABLE_NAME = 'TBMASTER' AND COLUMN_NAME IN ('hospnum', 'birthdate')"
        << "HospNum|varchar|10|NO|1\nBirthDate|datetime|NULL|YES|5";
    QTest::newRow("catalogue tables") << "SELECT TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES "
                                         "WHERE TABLE_NAME LIKE 'tb%' ORDER BY TABLE_NAME"
                                      << "Patient_Data|dbo|tbMaster|BASE TABLE\nPatient_Data|dbo|tbOutPatient|BASE TABLE\n"
                                         "Patient_Data|dbo|tbPatient|BASE TABLE";

    // A NUL inside a text is one more character, as in SQL Server, not the end of the statement.
    const QString nul(QChar(0));
    QTest::newRow("NUL in a literal") << "SELECT LEN('a" + nul + "b'), DATALENGTH('" + nul + "')" << "3|1";
    QTest::newRow("NUL in a comparison") << "SELECT HospNum FROM tbMaster WHERE LastName = 'SMITH" + nul + "'" << "";
    QTest::newRow("NUL in LIKE") << "SELECT 1 WHERE 'a" + nul + "b' LIKE 'a_b'" << "1";
}

void TestQueries::semantics()
{
    QFETCH(QString, sql);
    QFETCH(QString, rows);
    QCOMPARE(m_db->run(sql), rows);
}

void TestQueries::errors_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("error");

    QTest::newRow("208") << "SELECT * FROM Patient_Data.dbo.tbNothing" << "Msg 208: Invalid object name 'Patient_Data.dbo.tbNothing'.";
    QTest::newRow("208 other schema") << "SELECT * FROM sales.tbMaster" << "Msg 208: Invalid object name 'sales.tbMaster'.";
    QTest::newRow("208 no database") << "SELECT * FROM Nowhere.dbo.tbMaster" << "Msg 208: Invalid object name 'Nowhere.dbo.tbMaster'.";
    QTest::newRow("207") << "SELECT Nothing FROM tbMaster" << "Msg 207: Invalid column name 'Nothing'.";
    QTest::newRow("207 in where") << "SELECT HospNum FROM tbMaster WHERE Height > 2" << "Msg 207: Invalid column name 'Height'.";
    QTest::newRow("209") << "SELECT HospNum FROM tbPatient p JOIN tbMaster m ON p.HospNum = m.HospNum"
                         << "Msg 209: Ambiguous column name 'HospNum'.";
    QTest::newRow("4104 alias hides name") << "SELECT tbMaster.HospNum FROM tbMaster m"
                                           << "Msg 4104: The multi-part identifier \"tbMaster.HospNum\" could not be bound.";
    QTest::newRow("102") << "SELECT HospNum FROM tbMaster WHERE" << "Msg 156: Incorrect syntax near the keyword 'WHERE'.";
    QTest::newRow("102 stray word") << "SELECT HospNum FROM tbMaster WHERE HospNum = 'H' Brien'"
                                    << "Msg 105: Unclosed quotation mark after the character string ''.";
    QTest::newRow("102 even quotes") << "SELECT HospNum FROM tbMaster WHERE HospNum = 'O'Brien' '"
                                     << "Msg 102: Incorrect syntax near 'Brien'.";
    QTest::newRow("156") << "SELECT FROM tbMaster" << "Msg 156: Incorrect syntax near the keyword 'FROM'.";
    QTest::newRow("unknown function") << "SELECT DIFFERENCE('a', 'b')"
                                      << "Msg 195: 'difference' is not a recognized built-in function name.";
    QTest::newRow("911") << "USE Nowhere" << "Msg 911: Database 'Nowhere' does not exist. Make sure that the name is entered correctly.";
    QTest::newRow("241") << "SELECT HospNum FROM tbMaster WHERE BirthDate = 'yesterday'"
                         << "Msg 241: Conversion failed when converting date and/or time from character string.";
    QTest::newRow("245") << "SELECT 1 WHERE 1 = 'one'" << "Msg 245: Conversion failed when converting the varchar value 'one' to data type int.";
    QTest::newRow("union width") << "SELECT 1 UNION ALL SELECT 1, 2"
                                 << "Msg 205: All queries combined using a UNION, INTERSECT or EXCEPT operator must have an "
                                    "equal number of expressions in their target lists.";
    QTest::newRow("union order item") << "SELECT HospNum FROM tbPatient UNION ALL SELECT HospNum FROM tbOutPatient ORDER BY IDNum"
                                      << "Msg 104: ORDER BY items must appear in the select list if the statement contains a "
                                         "UNION, INTERSECT or EXCEPT operator.";
    QTest::newRow("divide by zero") << "SELECT 1 / 0" << "Msg 8134: Divide by zero error encountered.";
    QTest::newRow("day after the last datetime") << "SELECT CAST('12/31/9999' AS datetime) + 1"
                                                 << "Msg 8115: Arithmetic overflow error converting expression to data type datetime.";
    QTest::newRow("day before the first datetime") << "SELECT CAST('01/01/1753' AS datetime) - 1"
                                                   << "Msg 8115: Arithmetic overflow error converting expression to data type datetime.";
}

void TestQueries::errors()
{
    QFETCH(QString, sql);
    QFETCH(QString, error);
    QCOMPARE(m_db->run(sql), error);
}

// The statements the windows build, exactly as they join their pieces, with ordinary values and
// with an apostrophe typed into a field.
void TestQueries::programStatements_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("rows");

    auto patientSearch = [](const QString &conditions) {
        return QStringLiteral("SELECT top 120 HospNum,HospNum,LastName + ', ' + FirstName  + ' ' +  MiddleName as PatientName, ") +
               " CONVERT(varchar,BirthDate,101) as BirthDate ,Sex,HouseStreet,Barangay,ZipCode  " + "      " +
               " From Patient_Data.dbo.tbMaster  " + "     where 1=1" + conditions + " ORDER BY  lastname,firstname asc ";
    };
    auto registrations = [](const QString &hosp, const QString &date) {
        QString sql;
        for (const QString &t : {QStringLiteral("tbPatient"), QStringLiteral("tbOutPatient")}) {
            if (!sql.isEmpty())
                sql += " union all ";
            sql += "SELECT top 120 " + t + ".HospNum,IDNum,LastName + ', ' + FirstName  + ' ' +  MiddleName as PatientName,admdate, " +
                   " CONVERT(varchar,BirthDate,101) as BirthDate ,Sex  " + "      " + " From Patient_Data.dbo." + t + " as " + t +
                   " left outer join " + " Patient_Data.dbo.tbMaster MAS  on " + t + ".Hospnum = Mas.HospNum where 1=1";
            if (!hosp.isEmpty())
                sql += " and " + t + ".hospnum =  '" + hosp + "' ";
            if (!date.isEmpty())
                sql += " and CONVERT(varchar,AdmDate,101)  =  '" + date + "' ";
        }
        return sql + " ORDER BY  admdate desc, idnum desc ";
    };
    auto lookup = [](const QString &id) {
        return QStringLiteral("SELECT top 100 pat.HospNum,IDNum,LastName + ', ' + MiddleName + ' ' + FirstName as PatientName, ") +
               " CONVERT(varchar,BirthDate,101) as BirthDate,Sex  " + "  " + " From Patient_Data.dbo.tbpatient PAT left outer join " +
               " Patient_Data.dbo.tbMaster MAS  on  PAT.Hospnum = Mas.HospNum where 1=1" + " and pat.idnum =  '" + id + "' ";
    };

    QTest::newRow("search by last name") << patientSearch(" and lastname like 'dela%' ")
                                         << "H001|H001|Dela Cruz, Juan Santos|01/02/1990|M|12 Rizal St|San Roque|1000\n"
                                            "H003|H003|delacruz, Pedro Reyes|NULL|M|4 Mabini|Poblacion|2000";
    QTest::newRow("search by number and name") << patientSearch(" and lastname like 'd%'  and hospnum =  'H003' ")
                                               << "H003|H003|delacruz, Pedro Reyes|NULL|M|4 Mabini|Poblacion|2000";
    QTest::newRow("search by all names and birth date")
        << patientSearch(" and lastname like 'Dela%'  and firstname like  'ju%'  and  middlename like  'S%'  and birthdate =  '01/02/1990' ")
        << "H001|H001|Dela Cruz, Juan Santos|01/02/1990|M|12 Rizal St|San Roque|1000";
    QTest::newRow("search with apostrophe") << patientSearch(" and lastname like 'O'Brien%' ")
                                            << "Msg 105: Unclosed quotation mark after the character string '  ORDER BY  lastname,firstname asc '.";
    QTest::newRow("registrations of today") << registrations("", "12/05/2026")
                                            << "H999|A003|NULL|2026-12-05 23:59:59.997|NULL|NULL\n"
                                               "H001|O001|Dela Cruz, Juan Santos|2026-12-05 09:30:00.000|01/02/1990|M\n"
                                               "H001|A001|Dela Cruz, Juan Santos|2026-12-05 08:30:00.000|01/02/1990|M";
    QTest::newRow("registrations of a patient") << registrations("H003", "")
                                                << "H003|O002|delacruz, Pedro Reyes|2025-01-01 00:00:00.000|NULL|M";
    QTest::newRow("registrations with apostrophe") << registrations("O'B", "")
                                                   << "Msg 102: Incorrect syntax near 'B'.";
    QTest::newRow("admission lookup") << lookup("a002") << "H002|A002|NULL|07/15/1985|F";
    QTest::newRow("admission lookup of a visit") << lookup("O001") << "";
    QTest::newRow("admission lookup with apostrophe") << lookup("A'1")
                                                      << "Msg 105: Unclosed quotation mark after the character string ' '.";
    QTest::newRow("column look-up") << "SELECT * FROM INFORMATION_SCHEMA.COLUMNS where COLUMN_NAME = 'occupation' and TABLE_NAME = 'tbmaster'  "
                                    << "Patient_Data|dbo|tbMaster|Occupation|10|NULL|YES|varchar|50|50|NULL|NULL|NULL|NULL|NULL|NULL|"
                                       "iso_1|NULL|NULL|SQL_Latin1_General_CP1_CI_AS|NULL|NULL|NULL";
    QTest::newRow("table look-up") << "SELECT * FROM INFORMATION_SCHEMA.TABLES where TABLE_NAME = 'tbpatient'"
                                   << "Patient_Data|dbo|tbPatient|BASE TABLE";
    QTest::newRow("table look-up of a base name") << "SELECT * FROM INFORMATION_SCHEMA.TABLES where TABLE_NAME = 'Master'" << "";
}

void TestQueries::programStatements()
{
    QFETCH(QString, sql);
    QFETCH(QString, rows);
    QCOMPARE(m_db->run(sql), rows);
}

// A name prefix and a day filter are answered as index ranges; they must find exactly the rows
// that the plain comparison finds ("+ ''" makes an expression that no range is made of).
void TestQueries::fastFiltersAgree_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("plain");
    for (const char *p : {"dela%", "DELA%", "o'%", "sm%", "smith%", "s%h", "z%", "de_a%", "[d]%", "%", "abalos%", "Á%",
                          "Núñ%", "NUÑEZ%", "nuñ%", "Nu%", "nú%", "ñ%", "Ñ%", "santiño%", "Santi%o"}) {
        const QString pattern = QString::fromUtf8(p).replace("'", "''");
        QTest::newRow(p) << "LastName LIKE '" + pattern + "'" << "LastName + '' LIKE '" + pattern + "'";
    }
    for (const char *d : {"12/05/2026", "12/04/2026", "12/06/2026", "12/05/2026  ", "1/5/2026", "02/30/2026", "12-05-2026"}) {
        QTest::newRow(d) << QStringLiteral("CONVERT(varchar,AdmDate,101) = '%1'").arg(d)
                         << QStringLiteral("CONVERT(varchar,AdmDate,101) + '' = '%1'").arg(d);
    }
}

void TestQueries::fastFiltersAgree()
{
    QFETCH(QString, filter);
    QFETCH(QString, plain);
    m_db->script({"INSERT INTO tbMaster (HospNum, LastName) VALUES ('H006', 'Smithe'), ('H007', 'DELA PAZ'), ('H008', 'zz'), ('H009', 'Abalos'), "
                  "('H010', 'NÚÑEZ'), ('H011', 'Nunez'), ('H012', 'Nuñez '), ('H013', 'Santiño'), ('H014', 'SANTIÑOS'), ('H015', 'Santiago')",
                  "INSERT INTO tbPatient (HospNum, IDNum, AdmDate) VALUES ('H006', 'A006', '12/06/2026 00:00'), ('H007', 'A007', '12/04/2026 23:59:59.997')"});
    const QString table = filter.startsWith("LastName") ? "tbMaster" : "tbPatient";
    const QString fast = m_db->run("SELECT count(*) FROM " + table + " WHERE " + filter);
    QCOMPARE(fast, m_db->run("SELECT count(*) FROM " + table + " WHERE " + plain));
    QVERIFY(!fast.startsWith("Msg"));
}

// Text that SQL Server reads as a date, and text it refuses.
void TestQueries::dateText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value");
    QTest::newRow("us") << "12/05/2026" << "2026-12-05 00:00:00.000";
    QTest::newRow("us short parts") << "1/5/2026" << "2026-01-05 00:00:00.000";
    QTest::newRow("iso") << "2026-12-05" << "2026-12-05 00:00:00.000";
    QTest::newRow("compact with time") << "20261205 14:03:09.5" << "2026-12-05 14:03:09.500";
    QTest::newRow("iso T") << "2026-12-05T08:30:00" << "2026-12-05 08:30:00.000";
    QTest::newRow("pm") << "12/05/2026 2:15PM" << "2026-12-05 14:15:00.000";
    QTest::newRow("midnight am") << "12/05/2026 12:00AM" << "2026-12-05 00:00:00.000";
    QTest::newRow("month name") << "Dec  5 2026 11:59PM" << "2026-12-05 23:59:00.000";
    QTest::newRow("leap day") << "02/29/2024" << "2024-02-29 00:00:00.000";
    QTest::newRow("no leap day") << "02/29/2025" << "Msg 242: The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.";
    QTest::newRow("before 1753") << "1700-01-01" << "Msg 242: The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.";
    QTest::newRow("masked empty") << "__/__/____" << "Msg 241: Conversion failed when converting date and/or time from character string.";
    QTest::newRow("partly typed") << "12/0_/____" << "Msg 241: Conversion failed when converting date and/or time from character string.";
    QTest::newRow("bad time") << "12/05/2026 25:00" << "Msg 241: Conversion failed when converting date and/or time from character string.";
    QTest::newRow("trailing words") << "12/05/2026 today" << "Msg 241: Conversion failed when converting date and/or time from character string.";
}

void TestQueries::dateText()
{
    QFETCH(QString, text);
    QFETCH(QString, value);
    QCOMPARE(m_db->run("INSERT INTO tbOutPatient VALUES ('H001', 'O9', '" + text + "')").startsWith("Msg"), value.startsWith("Msg"));
    if (value.startsWith("Msg"))
        QCOMPARE(m_db->run("SELECT 1 FROM tbOutPatient WHERE AdmDate = '" + text + "'"), value);
    else
        QCOMPARE(m_db->run("SELECT AdmDate FROM tbOutPatient WHERE IDNum = 'O9' AND AdmDate = '" + text + "'"), value);
}

// Names resolve against the current database, whatever their case and however qualified.
void TestQueries::names_data()
{
    QTest::addColumn<QString>("use");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("rows");
    QTest::newRow("bare") << "Use Patient_DATA" << "SELECT count(*) FROM TBMASTER" << "5";
    QTest::newRow("two part") << "Use Patient_DATA" << "SELECT count(*) FROM dbo.tbmaster" << "5";
    QTest::newRow("three part elsewhere") << "Use Build_file" << "SELECT count(*) FROM patient_data.dbo.tbMaster" << "5";
    QTest::newRow("default schema") << "Use Build_file" << "SELECT count(*) FROM PATIENT_DATA..tbMaster" << "5";
    QTest::newRow("bare in the other database") << "Use Build_file" << "SELECT count(*) FROM tbMaster" << "Msg 208: Invalid object name 'tbMaster'.";
    QTest::newRow("catalogue follows USE") << "Use Build_file" << "SELECT TABLE_CATALOG, TABLE_NAME FROM INFORMATION_SCHEMA.TABLES"
                                           << "Build_File|tbcocivilstatus";
    QTest::newRow("catalogue of another database") << "Use Build_file"
                                                   << "SELECT count(*) FROM Patient_Data.INFORMATION_SCHEMA.TABLES" << "3";
    QTest::newRow("bracketed names") << "Use Patient_DATA" << "SELECT [m].[LastName] FROM [dbo].[tbMaster] [m] WHERE [m].[HospNum] = 'H004'"
                                     << "Smith";
    QTest::newRow("alias any case") << "Use Patient_DATA" << "SELECT MAS.HospNum FROM tbMaster mas WHERE Mas.HospNum = 'H004'" << "H004";
    QTest::newRow("column names as written") << "Use Patient_DATA" << "SELECT hospnum, LASTNAME FROM tbMaster WHERE 1=0" << "";
}

void TestQueries::names()
{
    QFETCH(QString, use);
    QFETCH(QString, sql);
    QFETCH(QString, rows);
    QCOMPARE(m_db->run(use), QStringLiteral("(-1 rows)"));
    QCOMPARE(m_db->run(sql), rows);
    if (QTest::currentDataTag() == QLatin1String("column names as written")) {
        auto r = m_db->session().execute(sql.toStdString());
        QCOMPARE(r->columns().at(0).name, std::string("hospnum"));
        QCOMPARE(r->columns().at(1).name, std::string("LASTNAME"));
        QCOMPARE(r->columns().at(1).type.name(), std::string("varchar"));
    }
}

QTEST_GUILESS_MAIN(TestQueries)
#include "tst_queries.moc"
