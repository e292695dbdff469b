// The check that a typed value stays the literal it was meant to be: a value inside its quotes
// passes and the text is unchanged; a value that would leave them, or a statement of another
// kind, is refused with the field named and nothing sent.

#include "platform/Failure.h"
#include "platform/data/Statement.h"

#include <QTest>

using platform::Statement;

Q_DECLARE_METATYPE(Statement::Kind)

class TestStatementGuard : public QObject {
    Q_OBJECT

private slots:
    void textValues_data();
    void textValues();
    void numberValues_data();
    void numberValues();
    void statementKind_data();
    void statementKind();
};

// The search's own shape: fixed pieces open and close the literal around the typed value.
static Statement nameSearch(const QString &lastName, const QString &firstName = QStringLiteral("Ana"))
{
    Statement s(Statement::Kind::Select);
    s += QStringLiteral("SELECT top 120 HospNum From Patient_Data.dbo.tbMaster where 1=1 and lastname like '");
    s.addValue(lastName, QStringLiteral("Last Name"));
    s += QStringLiteral("%'  and firstname like  N'");
    s.addValue(firstName, QStringLiteral("First Name"));
    s += QStringLiteral("%' ORDER BY  lastname,firstname asc ");
    return s;
}

void TestStatementGuard::textValues_data()
{
    QTest::addColumn<QString>("lastName");
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<QString>("refusedField"); // empty: sent

    QTest::newRow("plain") << "Smith" << "Ana" << "";
    QTest::newRow("accents before and in the value") << "Peña Ñúñez" << "Éva" << "";
    QTest::newRow("empty value") << "" << "" << "";
    QTest::newRow("wildcards stay text") << "%_[a-z]" << "[^x]" << "";
    QTest::newRow("comment marks stay text") << "x - -1 -- y /* z" << "*/" << "";
    QTest::newRow("line break then SQL")
        << "x OR - -1 = 1 OR a\n0))) UNION ALL SELECT name FROM Build_File.sqlite_master --" << "Ana" << "";
    QTest::newRow("semicolon and a statement") << "x; DROP TABLE tbMaster" << "Ana" << "";
    QTest::newRow("doubled apostrophe stays inside") << "O''Brien" << "Ana" << "";
    QTest::newRow("NUL character") << QString("a") + QChar(0) + "b" << "Ana" << "";
    QTest::newRow("100,000 characters") << QString(100000, 'x') << "Ana" << "";

    QTest::newRow("one apostrophe") << "O'Brien" << "Ana" << "Last Name";
    QTest::newRow("quote breaking") << "x' OR 1=1 --" << "Ana" << "Last Name";
    QTest::newRow("union through the quote") << "x' UNION SELECT name, sql FROM sqlite_master --" << "Ana"
                                             << "Last Name";
    QTest::newRow("stacked statement") << "x'; DROP TABLE tbMaster; --" << "Ana" << "Last Name";
    QTest::newRow("apostrophe at the end") << "Smith'" << "Ana" << "Last Name";
    QTest::newRow("second field") << "Smith" << "d'Arc" << "First Name";
    QTest::newRow("quote closed by the next field") << "x'" << "' OR 1=1 OR '" << "Last Name";
}

void TestStatementGuard::textValues()
{
    QFETCH(QString, lastName);
    QFETCH(QString, firstName);
    QFETCH(QString, refusedField);
    const Statement s = nameSearch(lastName, firstName);
    // The text is the pieces and the values joined, nothing escaped or added.
    QCOMPARE(s.text(), "SELECT top 120 HospNum From Patient_Data.dbo.tbMaster where 1=1 and lastname like '" + lastName
                           + "%'  and firstname like  N'" + firstName + "%' ORDER BY  lastname,firstname asc ");
    try {
        platform::checkStatement(s);
        QVERIFY2(refusedField.isEmpty(), "sent a statement whose value left its quotes");
    } catch (const platform::Failure &f) {
        QVERIFY2(!refusedField.isEmpty(), qPrintable(f.description()));
        QVERIFY2(f.description().startsWith("The " + refusedField + " "), qPrintable(f.description()));
        QVERIFY(f.description().contains("Nothing was sent"));
    }
}

void TestStatementGuard::numberValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("sent");
    QTest::newRow("integer") << "12345" << true;
    QTest::newRow("decimal") << "12.5" << true;
    QTest::newRow("signed") << "-1" << false;
    QTest::newRow("expression") << "1 OR 1=1" << false;
    QTest::newRow("text") << "abc" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("number then comment") << "1--" << false;
}

void TestStatementGuard::numberValues()
{
    QFETCH(QString, value);
    QFETCH(bool, sent);
    Statement s(Statement::Kind::Delete);
    s += QStringLiteral("DELETE FROM t WHERE id = ");
    s.addValue(value, QStringLiteral("Code"), Statement::ValueKind::Number);
    bool passed = true;
    try {
        platform::checkStatement(s);
    } catch (const platform::Failure &) {
        passed = false;
    }
    QCOMPARE(passed, sent);
}

void TestStatementGuard::statementKind_data()
{
    QTest::addColumn<Statement::Kind>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sent");
    QTest::newRow("select") << Statement::Kind::Select << "SELECT 1" << true;
    QTest::newRow("select, trailing semicolon") << Statement::Kind::Select << "SELECT 1;" << true;
    QTest::newRow("insert") << Statement::Kind::Insert << " insert into t (a) VALUES('x')" << true;
    QTest::newRow("select built, delete found") << Statement::Kind::Select << "DELETE FROM t" << false;
    QTest::newRow("two statements") << Statement::Kind::Select << "SELECT 1; DELETE FROM t" << false;
    QTest::newRow("unclosed quote") << Statement::Kind::Select << "SELECT 'x" << false;
}

void TestStatementGuard::statementKind()
{
    QFETCH(Statement::Kind, kind);
    QFETCH(QString, text);
    QFETCH(bool, sent);
    Statement s(kind);
    s += text;
    bool passed = true;
    try {
        platform::checkStatement(s);
    } catch (const platform::Failure &) {
        passed = false;
    }
    QCOMPARE(passed, sent);
}

QTEST_GUILESS_MAIN(TestStatementGuard)
#include "tst_statementguard.moc"
