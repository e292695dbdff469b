#include "platform/security/Password.h"

#include <QTest>

using namespace platform::security;

class TestPassword : public QObject {
    Q_OBJECT

private slots:
    void verify_data();
    void verify();
    void saltedAndArgon2id();
    void damagedHashIsRefused_data();
    void damagedHashIsRefused();
};

void TestPassword::verify_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("attempt");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("same") << "demo" << "demo" << true;
    QTest::newRow("letter case counts") << "demo" << "Demo" << false;
    QTest::newRow("trailing blank counts") << "demo" << "demo " << false;
    QTest::newRow("empty") << "" << "" << true;
    QTest::newRow("empty against text") << "" << "x" << false;
    QTest::newRow("accents are not folded") << "Peña-Muñoz" << "Pena-Munoz" << false;
    QTest::newRow("accents") << "Peña-Muñoz" << "Peña-Muñoz" << true;
    QTest::newRow("long") << QString(300, QLatin1Char('k')) << QString(300, QLatin1Char('k')) << true;
    QTest::newRow("prefix of long") << QString(300, QLatin1Char('k')) << QString(299, QLatin1Char('k')) << false;
}

void TestPassword::verify()
{
    QFETCH(QString, password);
    QFETCH(QString, attempt);
    QFETCH(bool, accepted);
    QCOMPARE(verifyPassword(hashPassword(password), attempt), accepted);
}

void TestPassword::saltedAndArgon2id()
{
    const QString a = hashPassword(QStringLiteral("demo"));
    const QString b = hashPassword(QStringLiteral("demo"));
    QVERIFY(a.startsWith(QLatin1String("$argon2id$")));
    QVERIFY(!a.contains(QLatin1String("demo")));
    QVERIFY(a != b);
    QVERIFY(verifyPassword(b, QStringLiteral("demo")));
    // A hash written once must fit the user table's PasswordHash varchar(200).
    QVERIFY(a.size() <= 200);
}

void TestPassword::damagedHashIsRefused_data()
{
    QTest::addColumn<QString>("hash");
    const QString good = hashPassword(QStringLiteral("demo"));
    QTest::newRow("empty") << QString();
    QTest::newRow("plain text") << QStringLiteral("demo");
    QTest::newRow("cut short") << good.left(good.size() - 5);
    QTest::newRow("one character changed") << good.left(good.size() - 1) + (good.endsWith(QLatin1Char('A')) ? "B" : "A");
    QTest::newRow("too long") << good + QString(200, QLatin1Char('x'));
}

void TestPassword::damagedHashIsRefused()
{
    QFETCH(QString, hash);
    QVERIFY(!verifyPassword(hash, QStringLiteral("demo")));
}

QTEST_GUILESS_MAIN(TestPassword)
#include "tst_password.moc"
