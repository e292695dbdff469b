// The queries an administrator writes, against what Microsoft's reference pages say SQL Server
// returns: subqueries, common table expressions, set operators, joins and APPLY, UPDATE and
// DELETE with a FROM clause, TOP / OFFSET, window functions and grouping.

#include "EngineFixture.h"

#include <QTest>

class TestConformanceQueries : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_db.reset(); }

    void subqueries_data();
    void subqueries() { check(); }
    void commonTableExpressions_data();
    void commonTableExpressions() { check(); }
    void setOperators_data();
    void setOperators() { check(); }
    void joins_data();
    void joins() { check(); }
    void changesThroughJoins_data();
    void changesThroughJoins() { check(); }
    void resultShaping_data();
    void resultShaping() { check(); }
    void windows_data();
    void windows() { check(); }
    void grouping_data();
    void grouping() { check(); }

private:
    static void addCases();
    void check();
    std::unique_ptr<EngineFixture> m_db;
};

void TestConformanceQueries::initTestCase()
{
    m_db = std::make_unique<EngineFixture>();
    m_db->script({
        "CREATE TABLE emp (id int PRIMARY KEY, name varchar(20), dept varchar(10), salary int, mgr int)",
        "INSERT INTO emp VALUES (1, 'Ann', 'IT', 100, NULL), (2, 'Bob', 'IT', 80, 1), (3, 'Cid', 'HR', 80, 1), "
        "(4, 'Dee', 'HR', 60, 3), (5, 'Eve', 'OPS', 50, 3)",
        "CREATE TABLE dept (code varchar(10), title varchar(20))",
        "INSERT INTO dept VALUES ('IT', 'Tech'), ('HR', 'People'), ('FIN', 'Money')",
        "CREATE TABLE t1 (a int, b varchar(10))",
        "INSERT INTO t1 VALUES (1, 'x'), (2, 'y'), (3, NULL), (NULL, 'z')",
    });
}

void TestConformanceQueries::addCases()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
}

// A case holding ";" is a batch (its values without row counts); otherwise one statement.
void TestConformanceQueries::check()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    const QString actual = sql.contains(QLatin1Char(';')) ? m_db->batchValues(sql) : m_db->run(sql);
    QCOMPARE(EngineFixture::asExpected(actual, expected), expected);
}

void TestConformanceQueries::subqueries_data()
{
    addCases();
    // learn.microsoft.com: IN (Transact-SQL); Subqueries (SQL Server), "Subqueries with IN / NOT IN"
    QTest::newRow("in") << "SELECT name FROM emp WHERE dept IN (SELECT code FROM dept) ORDER BY id" << "Ann\nBob\nCid\nDee";
    QTest::newRow("not in") << "SELECT name FROM emp WHERE dept NOT IN (SELECT code FROM dept)" << "Eve";
    // A NULL among the subquery's values makes NOT IN unknown for every row.
    QTest::newRow("not in over a null") << "SELECT COUNT(*) FROM emp WHERE id NOT IN (SELECT mgr FROM emp)" << "0";
    QTest::newRow("not in without the null") << "SELECT id FROM emp WHERE id NOT IN (SELECT mgr FROM emp WHERE mgr IS NOT NULL) ORDER BY id"
                                              << "2\n4\n5";
    QTest::newRow("null never in") << "SELECT COUNT(*) FROM t1 WHERE a IN (SELECT a FROM t1)" << "3";
    QTest::newRow("in a list with null") << "SELECT COUNT(*) FROM t1 WHERE a NOT IN (1, NULL)" << "0";
    QTest::newRow("one column only") << "SELECT id FROM emp WHERE id IN (SELECT id, name FROM emp)"
                                     << "Msg 116: Only one expression can be specified in the select list when the subquery is not introduced with EXISTS.";
    // learn.microsoft.com: EXISTS (Transact-SQL), examples A and B
    QTest::newRow("exists correlated") << "SELECT code FROM dept d WHERE EXISTS (SELECT * FROM emp e WHERE e.dept = d.code) ORDER BY code"
                                       << "HR\nIT";
    QTest::newRow("not exists") << "SELECT code FROM dept d WHERE NOT EXISTS (SELECT * FROM emp e WHERE e.dept = d.code)" << "FIN";
    QTest::newRow("exists select null") << "SELECT CASE WHEN EXISTS (SELECT NULL) THEN 1 ELSE 0 END" << "1";
    // learn.microsoft.com: ALL (Transact-SQL); SOME | ANY (Transact-SQL)
    QTest::newRow("greater than all") << "SELECT name FROM emp WHERE salary > ALL (SELECT salary FROM emp WHERE dept = 'HR')" << "Ann";
    QTest::newRow("all over nothing") << "SELECT COUNT(*) FROM emp WHERE salary > ALL (SELECT salary FROM emp WHERE dept = 'none')" << "5";
    QTest::newRow("greater than any") << "SELECT COUNT(*) FROM emp WHERE salary > ANY (SELECT salary FROM emp WHERE dept = 'HR')" << "3";
    QTest::newRow("= some is in") << "SELECT COUNT(*) FROM emp WHERE dept = SOME (SELECT code FROM dept)" << "4";
    QTest::newRow("any over nothing") << "SELECT COUNT(*) FROM emp WHERE salary < ANY (SELECT salary FROM emp WHERE 1 = 0)" << "0";
    QTest::newRow("<> all with a null") << "SELECT COUNT(*) FROM emp WHERE id <> ALL (SELECT mgr FROM emp)" << "0";
    // learn.microsoft.com: Subqueries (SQL Server), "Subqueries used as expressions", "Correlated subqueries"
    QTest::newRow("scalar in the select list") << "SELECT name, (SELECT title FROM dept WHERE code = e.dept) FROM emp e ORDER BY id"
                                               << "Ann|Tech\nBob|Tech\nCid|People\nDee|People\nEve|NULL";
    QTest::newRow("scalar over no row is null") << "SELECT (SELECT id FROM emp WHERE id = 99)" << "NULL";
    QTest::newRow("scalar in where") << "SELECT name FROM emp WHERE salary = (SELECT MAX(salary) FROM emp)" << "Ann";
    QTest::newRow("more than one value") << "SELECT (SELECT id FROM emp)"
                                         << "Msg 512: Subquery returned more than 1 value. This is not permitted when the subquery "
                                            "follows =, !=, <, <= , >, >= or when the subquery is used as an expression.";
    QTest::newRow("more than one value after =") << "SELECT name FROM emp WHERE id = (SELECT id FROM emp WHERE dept = 'IT')" << "Msg 512";
    QTest::newRow("correlated against the group") << "SELECT name FROM emp o WHERE salary > (SELECT AVG(salary) FROM emp i "
                                                     "WHERE i.dept = o.dept) ORDER BY id"
                                                  << "Ann\nCid";
    QTest::newRow("correlated count") << "SELECT code, (SELECT COUNT(*) FROM emp WHERE dept = d.code) FROM dept d ORDER BY code"
                                      << "FIN|0\nHR|2\nIT|2";
    // learn.microsoft.com: FROM clause plus JOIN, APPLY, PIVOT, "derived_table"
    QTest::newRow("derived table") << "SELECT d.dept, d.n FROM (SELECT dept, COUNT(*) AS n FROM emp GROUP BY dept) AS d ORDER BY d.dept"
                                   << "HR|2\nIT|2\nOPS|1";
    QTest::newRow("derived table column list") << "SELECT y, x FROM (SELECT 1, 2) AS d (x, y)" << "2|1";
    QTest::newRow("derived table needs an alias") << "SELECT * FROM (SELECT 1 AS x)" << "Msg 102";
    QTest::newRow("derived table column needs a name") << "SELECT * FROM (SELECT 1) AS d"
                                                       << "Msg 8155: No column name was specified for column 1 of 'd'.";
    // learn.microsoft.com: INSERT (Transact-SQL), UPDATE, DELETE: a subquery picks the rows
    QTest::newRow("update where in") << "BEGIN TRAN; UPDATE emp SET salary = salary + 1 WHERE dept IN (SELECT code FROM dept "
                                        "WHERE title = 'People'); SELECT @@ROWCOUNT; SELECT SUM(salary) FROM emp; ROLLBACK"
                                     << "2\n372";
    QTest::newRow("delete where exists") << "BEGIN TRAN; DELETE FROM emp WHERE NOT EXISTS (SELECT * FROM dept WHERE code = emp.dept); "
                                            "SELECT COUNT(*) FROM emp; ROLLBACK"
                                         << "4";
    QTest::newRow("insert select where in") << "BEGIN TRAN; INSERT INTO dept (code, title) SELECT dept, 'New' FROM emp WHERE dept "
                                               "NOT IN (SELECT code FROM dept); SELECT code FROM dept WHERE title = 'New'; ROLLBACK"
                                            << "OPS";
    QTest::newRow("update set from a subquery") << "BEGIN TRAN; UPDATE dept SET title = (SELECT COUNT(*) FROM emp WHERE emp.dept = dept.code); "
                                                   "SELECT code, title FROM dept ORDER BY code; ROLLBACK"
                                                << "FIN|0\nHR|2\nIT|2";
}

void TestConformanceQueries::commonTableExpressions_data()
{
    addCases();
    // learn.microsoft.com: WITH common_table_expression (Transact-SQL)
    QTest::newRow("one") << "WITH c AS (SELECT dept, COUNT(*) AS n FROM emp GROUP BY dept) SELECT dept FROM c WHERE n = 2 ORDER BY dept"
                         << "HR\nIT";
    QTest::newRow("the second names the first") << "WITH a AS (SELECT 1 AS x), b AS (SELECT x + 1 AS y FROM a) SELECT y FROM b" << "2";
    QTest::newRow("column list") << "WITH c (x, y) AS (SELECT 1, 2) SELECT y, x FROM c" << "2|1";
    QTest::newRow("too few names") << "WITH c (x) AS (SELECT 1, 2) SELECT * FROM c"
                                   << "Msg 8158: 'c' has more columns than were specified in the column list.";
    QTest::newRow("too many names") << "WITH c (x, y) AS (SELECT 1) SELECT * FROM c"
                                    << "Msg 8159: 'c' has fewer columns than were specified in the column list.";
    QTest::newRow("after a statement, a semicolon") << "DECLARE @n int = 2; WITH c AS (SELECT @n AS v) SELECT v FROM c" << "2";
    // "Guidelines for defining and using recursive common table expressions"
    QTest::newRow("recursive count") << "WITH n AS (SELECT 1 AS i UNION ALL SELECT i + 1 FROM n WHERE i < 5) SELECT SUM(i) FROM n" << "15";
    QTest::newRow("recursive hierarchy") << "WITH chain AS (SELECT id, 0 AS lvl FROM emp WHERE mgr IS NULL UNION ALL "
                                            "SELECT e.id, c.lvl + 1 FROM emp e JOIN chain c ON e.mgr = c.id) "
                                            "SELECT id, lvl FROM chain ORDER BY id"
                                         << "1|0\n2|1\n3|1\n4|2\n5|2";
    QTest::newRow("a hundred levels pass") << "WITH n AS (SELECT 1 AS i UNION ALL SELECT i + 1 FROM n WHERE i < 101) SELECT COUNT(*) FROM n"
                                           << "101";
    QTest::newRow("recursion limit") << "WITH n AS (SELECT 1 AS i UNION ALL SELECT i + 1 FROM n WHERE i < 200) SELECT COUNT(*) FROM n"
                                     << "Msg 530: The statement terminated. The maximum recursion 100 has been exhausted before "
                                        "statement completion.";
    QTest::newRow("maxrecursion raises the limit") << "WITH n AS (SELECT 1 AS i UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                                                      "SELECT COUNT(*) FROM n OPTION (MAXRECURSION 300)"
                                                   << "200";
    QTest::newRow("maxrecursion lowers the limit") << "WITH n AS (SELECT 1 AS i UNION ALL SELECT i + 1 FROM n WHERE i < 20) "
                                                      "SELECT COUNT(*) FROM n OPTION (MAXRECURSION 10)"
                                                   << "Msg 530: The statement terminated. The maximum recursion 10 has been "
                                                      "exhausted before statement completion.";
    QTest::newRow("recursive text grows in its own type") << "WITH n AS (SELECT 1 AS i, CAST('a' AS varchar(10)) AS s UNION ALL "
                                                             "SELECT i + 1, CAST(s + 'a' AS varchar(10)) FROM n WHERE i < 3) "
                                                             "SELECT MAX(s) FROM n"
                                                          << "aaa";
}

void TestConformanceQueries::setOperators_data()
{
    addCases();
    // learn.microsoft.com: Set Operators - UNION (Transact-SQL)
    QTest::newRow("union removes duplicates") << "SELECT dept FROM emp UNION SELECT code FROM dept ORDER BY 1" << "FIN\nHR\nIT\nOPS";
    QTest::newRow("union all keeps them") << "SELECT COUNT(*) FROM (SELECT dept FROM emp UNION ALL SELECT code FROM dept) AS u" << "8";
    QTest::newRow("names from the first query") << "SELECT 1 AS a UNION SELECT 2 AS b ORDER BY a DESC" << "2\n1";
    QTest::newRow("order by over the whole") << "SELECT id FROM emp WHERE id < 3 UNION ALL SELECT id FROM emp WHERE id > 3 ORDER BY id DESC"
                                             << "5\n4\n2\n1";
    QTest::newRow("nulls are one value") << "SELECT COUNT(*) FROM (SELECT NULL AS n UNION SELECT NULL) AS u" << "1";
    QTest::newRow("column counts differ") << "SELECT 1, 2 UNION SELECT 1"
                                          << "Msg 205: All queries combined using a UNION, INTERSECT or EXCEPT operator must have an "
                                             "equal number of expressions in their target lists.";
    QTest::newRow("order by inside") << "SELECT 1 ORDER BY 1 UNION SELECT 2" << "Msg 156";
    // Data type precedence picks the result's type.
    QTest::newRow("int and decimal") << "SELECT 1 UNION SELECT 2.5 ORDER BY 1" << "1.0\n2.5";
    QTest::newRow("int and text converts the text") << "SELECT 1 UNION SELECT 'a'"
                                                    << "Msg 245: Conversion failed when converting the varchar value 'a' to data type int.";
    // learn.microsoft.com: Set Operators - EXCEPT and INTERSECT (Transact-SQL)
    QTest::newRow("intersect") << "SELECT dept FROM emp INTERSECT SELECT code FROM dept ORDER BY 1" << "HR\nIT";
    QTest::newRow("except") << "SELECT code FROM dept EXCEPT SELECT dept FROM emp" << "FIN";
    QTest::newRow("except is distinct") << "SELECT dept FROM emp EXCEPT SELECT 'IT' ORDER BY 1" << "HR\nOPS";
    QTest::newRow("intersect matches nulls") << "SELECT a FROM t1 INTERSECT SELECT NULL" << "NULL";
    // INTERSECT binds before EXCEPT and UNION, which go left to right.
    QTest::newRow("intersect first") << "SELECT 1 UNION SELECT 2 INTERSECT SELECT 3" << "1";
    QTest::newRow("intersect first after except") << "SELECT 1 EXCEPT SELECT 2 INTERSECT SELECT 2" << "1";
    QTest::newRow("union then except") << "SELECT 1 UNION SELECT 2 EXCEPT SELECT 1" << "2";
    QTest::newRow("parentheses first") << "(SELECT 1 UNION SELECT 2) INTERSECT SELECT 2" << "2";
    QTest::newRow("set operation in a subquery") << "SELECT COUNT(*) FROM emp WHERE dept IN (SELECT code FROM dept EXCEPT SELECT 'IT')"
                                                 << "2";
}

void TestConformanceQueries::joins_data()
{
    addCases();
    // learn.microsoft.com: FROM clause plus JOIN, APPLY, PIVOT (Transact-SQL); Joins (SQL Server)
    QTest::newRow("inner") << "SELECT e.name, d.title FROM emp e INNER JOIN dept d ON e.dept = d.code ORDER BY e.id"
                           << "Ann|Tech\nBob|Tech\nCid|People\nDee|People";
    QTest::newRow("left") << "SELECT e.name, d.title FROM emp e LEFT OUTER JOIN dept d ON e.dept = d.code WHERE e.id > 3 ORDER BY e.id"
                          << "Dee|People\nEve|NULL";
    QTest::newRow("right") << "SELECT d.code, e.name FROM emp e RIGHT OUTER JOIN dept d ON e.dept = d.code ORDER BY d.code, e.name"
                           << "FIN|NULL\nHR|Cid\nHR|Dee\nIT|Ann\nIT|Bob";
    QTest::newRow("full") << "SELECT d.code, e.name FROM emp e FULL JOIN dept d ON e.dept = d.code ORDER BY d.code, e.name"
                          << "NULL|Eve\nFIN|NULL\nHR|Cid\nHR|Dee\nIT|Ann\nIT|Bob";
    QTest::newRow("cross") << "SELECT COUNT(*) FROM emp CROSS JOIN dept" << "15";
    QTest::newRow("self join") << "SELECT e.name, m.name FROM emp e JOIN emp m ON e.mgr = m.id ORDER BY e.id"
                               << "Bob|Ann\nCid|Ann\nDee|Cid\nEve|Cid";
    QTest::newRow("nulls never join") << "SELECT COUNT(*) FROM t1 a JOIN t1 b ON a.a = b.a" << "3";
    QTest::newRow("condition in on keeps the outer rows") << "SELECT d.code, COUNT(e.id) FROM dept d LEFT JOIN emp e ON e.dept = d.code "
                                                            "AND e.salary > 70 GROUP BY d.code ORDER BY d.code"
                                                         << "FIN|0\nHR|1\nIT|2";
    QTest::newRow("join on a derived table") << "SELECT e.name FROM emp e JOIN (SELECT dept, MAX(salary) AS mx FROM emp GROUP BY dept) m "
                                                "ON m.dept = e.dept AND m.mx = e.salary ORDER BY e.id"
                                             << "Ann\nCid\nEve";
    QTest::newRow("cross apply") << "SELECT d.code, x.name FROM dept d CROSS APPLY (SELECT TOP 1 name FROM emp e WHERE e.dept = d.code "
                                    "ORDER BY salary DESC, id) AS x ORDER BY d.code"
                                 << "HR|Cid\nIT|Ann";
    QTest::newRow("outer apply") << "SELECT d.code, x.name FROM dept d OUTER APPLY (SELECT TOP 1 name FROM emp e WHERE e.dept = d.code "
                                    "ORDER BY salary DESC, id) AS x ORDER BY d.code"
                                 << "FIN|NULL\nHR|Cid\nIT|Ann";
    QTest::newRow("cross apply many rows") << "SELECT COUNT(*) FROM dept d CROSS APPLY (SELECT id FROM emp e WHERE e.dept = d.code) AS x" << "4";
    // learn.microsoft.com: MSSQLSERVER_4104 and the name-resolution errors
    QTest::newRow("ambiguous column") << "SELECT id FROM emp e JOIN emp m ON e.mgr = m.id" << "Msg 209: Ambiguous column name 'id'.";
    QTest::newRow("unknown column") << "SELECT e.nothing FROM emp e" << "Msg 207: Invalid column name 'nothing'.";
    QTest::newRow("unbound multi-part name") << "SELECT x.id FROM emp e" << "Msg 4104: The multi-part identifier \"x.id\" could not be bound.";
    QTest::newRow("table name hidden by its alias") << "SELECT emp.id FROM emp e" << "Msg 4104";
    QTest::newRow("duplicate alias") << "SELECT 1 FROM emp e JOIN dept e ON 1 = 1"
                                     << "Msg 1011: The correlation name 'e' is specified multiple times in a FROM clause.";
}

void TestConformanceQueries::changesThroughJoins_data()
{
    addCases();
    // learn.microsoft.com: UPDATE (Transact-SQL), "Using the UPDATE statement with information from another table"
    QTest::newRow("update through an alias") << "BEGIN TRAN; UPDATE e SET salary = salary + 5 FROM emp e JOIN dept d ON e.dept = d.code "
                                                "WHERE d.title = 'People'; SELECT @@ROWCOUNT; SELECT id, salary FROM emp ORDER BY id; ROLLBACK"
                                             << "2\n1|100\n2|80\n3|85\n4|65\n5|50";
    QTest::newRow("update from a derived table") << "BEGIN TRAN; UPDATE e SET salary = m.mx FROM emp e JOIN (SELECT dept, MAX(salary) AS mx "
                                                    "FROM emp GROUP BY dept) m ON m.dept = e.dept; SELECT SUM(salary) FROM emp; ROLLBACK"
                                                 << "410";
    QTest::newRow("update set from the joined table") << "BEGIN TRAN; UPDATE e SET name = d.title FROM emp AS e INNER JOIN dept AS d "
                                                         "ON d.code = e.dept WHERE e.id = 4; SELECT name FROM emp WHERE id = 4; ROLLBACK"
                                                      << "People";
    // A target row joined to several rows is still changed once.
    QTest::newRow("a row joined twice counts once") << "BEGIN TRAN; UPDATE d SET title = e.name FROM dept d JOIN emp e ON e.dept = d.code; "
                                                       "SELECT @@ROWCOUNT; ROLLBACK"
                                                    << "2";
    QTest::newRow("left join updates the unmatched") << "BEGIN TRAN; UPDATE e SET salary = -1 FROM emp e LEFT JOIN dept d ON d.code = e.dept "
                                                        "WHERE d.code IS NULL; SELECT id FROM emp WHERE salary = -1; ROLLBACK"
                                                     << "5";
    QTest::newRow("unknown target") << "UPDATE x SET salary = 1 FROM emp e" << "Msg 208";
    // learn.microsoft.com: DELETE (Transact-SQL), "Using joins and subqueries to data in one table to delete rows in another table"
    QTest::newRow("delete through an alias") << "BEGIN TRAN; DELETE e FROM emp e JOIN dept d ON e.dept = d.code WHERE d.code = 'HR'; "
                                                "SELECT @@ROWCOUNT; SELECT COUNT(*) FROM emp; ROLLBACK"
                                             << "2\n3";
    QTest::newRow("delete from from") << "BEGIN TRAN; DELETE FROM e FROM emp AS e LEFT JOIN dept d ON e.dept = d.code WHERE d.code IS NULL; "
                                         "SELECT name FROM emp WHERE id = 5; SELECT COUNT(*) FROM emp; ROLLBACK"
                                      << "4";
    QTest::newRow("delete rows joined twice") << "BEGIN TRAN; DELETE d FROM dept d JOIN emp e ON e.dept = d.code; SELECT @@ROWCOUNT; "
                                                 "SELECT code FROM dept; ROLLBACK"
                                              << "2\nFIN";
    QTest::newRow("delete table named in from") << "BEGIN TRAN; DELETE emp FROM emp JOIN emp m ON emp.mgr = m.id WHERE m.name = 'Cid'; "
                                                    "SELECT COUNT(*) FROM emp; ROLLBACK"
                                                 << "3";
}

void TestConformanceQueries::resultShaping_data()
{
    addCases();
    // learn.microsoft.com: TOP (Transact-SQL)
    QTest::newRow("top") << "SELECT TOP (2) name FROM emp ORDER BY salary DESC, id" << "Ann\nBob";
    QTest::newRow("top with ties") << "SELECT COUNT(*) FROM (SELECT TOP (2) WITH TIES name FROM emp ORDER BY salary DESC) AS t" << "3";
    QTest::newRow("top with ties lists the ties") << "SELECT TOP (2) WITH TIES salary FROM emp ORDER BY salary DESC" << "100\n80\n80";
    QTest::newRow("top percent rounds up") << "SELECT COUNT(*) FROM (SELECT TOP (50) PERCENT id FROM emp ORDER BY id) AS t" << "3";
    QTest::newRow("top percent exact") << "SELECT TOP 40 PERCENT id FROM emp ORDER BY id" << "1\n2";
    QTest::newRow("top from a variable") << "DECLARE @n int = 3; SELECT TOP (@n) id FROM emp ORDER BY id DESC" << "5\n4\n3";
    QTest::newRow("top with ties without order by") << "SELECT TOP 1 WITH TIES id FROM emp"
                                                    << "Msg 1062: The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY clause.";
    QTest::newRow("top percent above 100") << "SELECT TOP 101 PERCENT id FROM emp ORDER BY id"
                                           << "Msg 1006: Percent values must be between 0 and 100.";
    QTest::newRow("top negative") << "DECLARE @n int = -1; SELECT TOP (@n) id FROM emp"
                                  << "Msg 1014: A TOP or FETCH clause contains an invalid value.";
    QTest::newRow("update top") << "BEGIN TRAN; UPDATE TOP (2) emp SET salary = 0; SELECT COUNT(*) FROM emp WHERE salary = 0; ROLLBACK"
                                << "2";
    // learn.microsoft.com: SELECT - ORDER BY Clause (Transact-SQL), "Limiting the number of rows returned"
    QTest::newRow("offset fetch") << "SELECT id FROM emp ORDER BY id OFFSET 1 ROWS FETCH NEXT 2 ROWS ONLY" << "2\n3";
    QTest::newRow("offset alone") << "SELECT id FROM emp ORDER BY id OFFSET 3 ROWS" << "4\n5";
    QTest::newRow("offset from variables") << "DECLARE @skip int = 2, @take int = 2; SELECT id FROM emp ORDER BY id "
                                              "OFFSET @skip ROWS FETCH NEXT @take ROWS ONLY"
                                           << "3\n4";
    QTest::newRow("offset past the end") << "SELECT id FROM emp ORDER BY id OFFSET 10 ROWS" << "";
    QTest::newRow("negative offset") << "SELECT id FROM emp ORDER BY id OFFSET -1 ROWS"
                                     << "Msg 10742: The offset specified in a OFFSET clause may not be negative.";
    QTest::newRow("top with offset") << "SELECT TOP 1 id FROM emp ORDER BY id OFFSET 1 ROWS" << "Msg 10741";
    QTest::newRow("order by in a derived table") << "SELECT * FROM (SELECT id FROM emp ORDER BY id) AS t"
                                                 << "Msg 1033: The ORDER BY clause is invalid in views, inline functions, derived "
                                                    "tables, subqueries, and common table expressions, unless TOP, OFFSET or FOR XML "
                                                    "is also specified.";
    QTest::newRow("order by with top in a derived table") << "SELECT MAX(id) FROM (SELECT TOP 2 id FROM emp ORDER BY id) AS t" << "2";
    QTest::newRow("order by a column not selected") << "SELECT name FROM emp ORDER BY salary, id" << "Eve\nDee\nBob\nCid\nAnn";
    QTest::newRow("order by position out of range") << "SELECT id, name FROM emp ORDER BY 3"
                                                    << "Msg 108: The ORDER BY position number 3 is out of range of the number of "
                                                       "items in the select list.";
    QTest::newRow("distinct order by a hidden column") << "SELECT DISTINCT dept FROM emp ORDER BY salary"
                                                       << "Msg 145: ORDER BY items must appear in the select list if SELECT DISTINCT is specified.";
}

void TestConformanceQueries::windows_data()
{
    addCases();
    // learn.microsoft.com: ROW_NUMBER, RANK, DENSE_RANK, NTILE (Transact-SQL)
    QTest::newRow("row_number by partition") << "SELECT id, ROW_NUMBER() OVER (PARTITION BY dept ORDER BY salary DESC, id) FROM emp ORDER BY id"
                                             << "1|1\n2|2\n3|1\n4|2\n5|1";
    QTest::newRow("rank leaves gaps") << "SELECT id, RANK() OVER (ORDER BY salary DESC) FROM emp ORDER BY id" << "1|1\n2|2\n3|2\n4|4\n5|5";
    QTest::newRow("dense_rank does not") << "SELECT id, DENSE_RANK() OVER (ORDER BY salary DESC) FROM emp ORDER BY id"
                                         << "1|1\n2|2\n3|2\n4|3\n5|4";
    QTest::newRow("ntile 2") << "SELECT id, NTILE(2) OVER (ORDER BY id) FROM emp ORDER BY id" << "1|1\n2|1\n3|1\n4|2\n5|2";
    QTest::newRow("ntile 3, larger groups first") << "SELECT id, NTILE(3) OVER (ORDER BY id) FROM emp ORDER BY id" << "1|1\n2|1\n3|2\n4|2\n5|3";
    QTest::newRow("row_number needs order by") << "SELECT ROW_NUMBER() OVER (PARTITION BY dept) FROM emp"
                                               << "Msg 4112";
    QTest::newRow("no window in where") << "SELECT id FROM emp WHERE ROW_NUMBER() OVER (ORDER BY id) = 1"
                                        << "Msg 4108: Windowed functions can only appear in the SELECT or ORDER BY clauses.";
    QTest::newRow("window in order by") << "SELECT TOP 2 id FROM emp ORDER BY ROW_NUMBER() OVER (ORDER BY salary, id)" << "5\n4";
    // learn.microsoft.com: LAG, LEAD, FIRST_VALUE, LAST_VALUE (Transact-SQL)
    QTest::newRow("lag") << "SELECT id, LAG(salary) OVER (ORDER BY id) FROM emp ORDER BY id" << "1|NULL\n2|100\n3|80\n4|80\n5|60";
    QTest::newRow("lead with default") << "SELECT id, LEAD(salary, 2, 0) OVER (ORDER BY id) FROM emp ORDER BY id"
                                       << "1|80\n2|60\n3|50\n4|0\n5|0";
    QTest::newRow("lag within a partition") << "SELECT id, LAG(name, 1, '-') OVER (PARTITION BY dept ORDER BY id) FROM emp ORDER BY id"
                                            << "1|-\n2|Ann\n3|-\n4|Cid\n5|-";
    QTest::newRow("first_value") << "SELECT name, FIRST_VALUE(name) OVER (PARTITION BY dept ORDER BY salary) FROM emp ORDER BY id"
                                 << "Ann|Bob\nBob|Bob\nCid|Dee\nDee|Dee\nEve|Eve";
    // The default frame ends at the current row (and its peers).
    QTest::newRow("last_value, default frame") << "SELECT name, LAST_VALUE(name) OVER (PARTITION BY dept ORDER BY salary) FROM emp ORDER BY id"
                                               << "Ann|Ann\nBob|Bob\nCid|Cid\nDee|Dee\nEve|Eve";
    QTest::newRow("last_value, whole partition") << "SELECT name, LAST_VALUE(name) OVER (PARTITION BY dept ORDER BY salary ROWS BETWEEN "
                                                    "UNBOUNDED PRECEDING AND UNBOUNDED FOLLOWING) FROM emp ORDER BY id"
                                                 << "Ann|Ann\nBob|Ann\nCid|Cid\nDee|Cid\nEve|Eve";
    // learn.microsoft.com: SELECT - OVER Clause (Transact-SQL), "Using the OVER clause with aggregate functions"
    QTest::newRow("sum over partition") << "SELECT id, SUM(salary) OVER (PARTITION BY dept) FROM emp ORDER BY id"
                                        << "1|180\n2|180\n3|140\n4|140\n5|50";
    QTest::newRow("running sum by rows") << "SELECT id, SUM(salary) OVER (ORDER BY id ROWS UNBOUNDED PRECEDING) FROM emp ORDER BY id"
                                         << "1|100\n2|180\n3|260\n4|320\n5|370";
    QTest::newRow("running sum by range takes the peers") << "SELECT id, SUM(salary) OVER (ORDER BY salary) FROM emp ORDER BY id"
                                                          << "1|370\n2|270\n3|270\n4|110\n5|50";
    QTest::newRow("moving average") << "SELECT id, AVG(salary) OVER (ORDER BY id ROWS BETWEEN 1 PRECEDING AND 1 FOLLOWING) FROM emp ORDER BY id"
                                    << "1|90\n2|86\n3|73\n4|63\n5|55";
    QTest::newRow("percent of the partition") << "SELECT id, salary * 100 / SUM(salary) OVER (PARTITION BY dept) FROM emp ORDER BY id"
                                              << "1|55\n2|44\n3|57\n4|42\n5|100";
    QTest::newRow("last visit per key") << "SELECT name FROM (SELECT name, ROW_NUMBER() OVER (PARTITION BY dept ORDER BY id DESC) AS r "
                                           "FROM emp) AS t WHERE r = 1 ORDER BY name"
                                        << "Bob\nDee\nEve";
}

void TestConformanceQueries::grouping_data()
{
    addCases();
    // learn.microsoft.com: SELECT - GROUP BY (Transact-SQL); HAVING; COUNT; AVG; STRING_AGG (a NULL key sorts first)
    QTest::newRow("having") << "SELECT dept FROM emp GROUP BY dept HAVING COUNT(*) > 1 ORDER BY dept" << "HR\nIT";
    QTest::newRow("count distinct") << "SELECT COUNT(DISTINCT dept), COUNT(DISTINCT salary), COUNT(mgr) FROM emp" << "3|4|4";
    QTest::newRow("avg of int is int") << "SELECT AVG(salary) FROM emp" << "74";
    QTest::newRow("aggregates over no rows") << "SELECT COUNT(*), SUM(salary), MAX(name) FROM emp WHERE 1 = 0" << "0|NULL|NULL";
    QTest::newRow("column outside the group")
        << "SELECT name, COUNT(*) FROM emp GROUP BY dept"
        << "Msg 8120: Column 'emp.name' is invalid in the select list because it is not contained in either an aggregate "
           "function or the GROUP BY clause.";
    QTest::newRow("aggregate in where") << "SELECT id FROM emp WHERE COUNT(*) > 1"
                                        << "Msg 147: An aggregate may not appear in the WHERE clause unless it is in a subquery "
                                           "contained in a HAVING clause or a select list, and the column being aggregated is an "
                                           "outer reference.";
    QTest::newRow("string_agg in order") << "SELECT dept, STRING_AGG(name, ',') WITHIN GROUP (ORDER BY name DESC) FROM emp GROUP BY dept "
                                            "ORDER BY dept"
                                         << "HR|Dee,Cid\nIT|Bob,Ann\nOPS|Eve";
    QTest::newRow("string_agg skips nulls") << "SELECT STRING_AGG(b, '-') WITHIN GROUP (ORDER BY a) FROM t1" << "z-x-y";
    // learn.microsoft.com: SELECT - GROUP BY (Transact-SQL), "GROUP BY ROLLUP", "GROUP BY CUBE",
    // "GROUP BY GROUPING SETS"; GROUPING (Transact-SQL)
    QTest::newRow("rollup") << "SELECT dept, SUM(salary) FROM emp GROUP BY ROLLUP (dept) ORDER BY GROUPING(dept), dept"
                            << "HR|140\nIT|180\nOPS|50\nNULL|370";
    QTest::newRow("with rollup") << "SELECT dept, COUNT(*) FROM emp GROUP BY dept WITH ROLLUP ORDER BY GROUPING(dept), dept"
                                 << "HR|2\nIT|2\nOPS|1\nNULL|5";
    QTest::newRow("rollup of two") << "SELECT dept, salary, COUNT(*), GROUPING(salary) FROM emp WHERE dept = 'IT' "
                                      "GROUP BY ROLLUP (dept, salary) ORDER BY GROUPING(dept), dept, GROUPING(salary), salary"
                                   << "IT|80|1|0\nIT|100|1|0\nIT|NULL|2|1\nNULL|NULL|2|1";
    QTest::newRow("cube") << "SELECT COUNT(*) FROM (SELECT dept, mgr, COUNT(*) AS n FROM emp GROUP BY CUBE (dept, mgr)) AS c" << "12";
    QTest::newRow("grouping sets") << "SELECT dept, salary, COUNT(*) FROM emp GROUP BY GROUPING SETS ((dept), (salary), ()) "
                                      "ORDER BY GROUPING(dept), dept, GROUPING(salary), salary"
                                   << "HR|NULL|2\nIT|NULL|2\nOPS|NULL|1\nNULL|50|1\nNULL|60|1\nNULL|80|2\nNULL|100|1\nNULL|NULL|5";
    QTest::newRow("group by an expression") << "SELECT salary / 50, COUNT(*) FROM emp GROUP BY salary / 50 ORDER BY 1" << "1|4\n2|1";
}

QTEST_GUILESS_MAIN(TestConformanceQueries)
#include "tst_conformance_queries.moc"
