#include "platform/Failure.h"
#include "platform/components/Components.h"

#include <QTest>

namespace components = platform::components;

namespace {

class Sample : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name MEMBER m_name)
    Q_PROPERTY(int Count MEMBER m_count)
    Q_PROPERTY(QString Fixed READ fixed)
public:
    QString fixed() const { return QStringLiteral("fixed"); }
    Q_INVOKABLE void Ping() { ++pings; }
    Q_INVOKABLE void Fail() { throw platform::Failure(QStringLiteral("the record is locked")); }
    Q_INVOKABLE void Takes(int) {}
    int pings = 0;

private:
    QString m_name;
    int m_count = 0;
};

} // namespace

class TestComponents : public QObject {
    Q_OBJECT

private slots:
    void creationByIdentifier()
    {
        components::registerFactory(QStringLiteral("Site.Sample"), [](QWidget *) { return new Sample; });
        std::unique_ptr<QObject> made(components::create(QStringLiteral("site.SAMPLE")));
        QVERIFY(qobject_cast<Sample *>(made.get()));
        try {
            components::create(QStringLiteral("Site.Unknown"));
            QFAIL("created an unregistered component");
        } catch (const platform::Failure &failure) {
            QVERIFY(failure.description().contains(QStringLiteral("Site.Unknown")));
        }
    }

    void memberAccess_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("failure"); // empty: it works
        QTest::newRow("set and get") << "set" << QByteArray("Name") << QVariant("Ana") << "";
        QTest::newRow("text to a number") << "set" << QByteArray("Count") << QVariant("18") << "";
        QTest::newRow("unknown property") << "set" << QByteArray("Colour") << QVariant(1) << "Colour";
        QTest::newRow("read-only property") << "set" << QByteArray("Fixed") << QVariant("x") << "Fixed";
        QTest::newRow("unknown on get") << "get" << QByteArray("Colour") << QVariant() << "Colour";
        QTest::newRow("call") << "call" << QByteArray("Ping") << QVariant() << "";
        QTest::newRow("unknown method") << "call" << QByteArray("Pong") << QVariant() << "Pong";
        QTest::newRow("method needs arguments") << "call" << QByteArray("Takes") << QVariant() << "Takes";
        QTest::newRow("failure inside a method") << "call" << QByteArray("Fail") << QVariant() << "the record is locked";
    }
    void memberAccess()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, member);
        QFETCH(QVariant, value);
        QFETCH(QString, failure);
        Sample sample;
        QString raised;
        try {
            if (operation == "set") {
                components::setMember(&sample, member.constData(), value);
                QCOMPARE(components::getMember(&sample, member.constData()).toString(), value.toString());
            } else if (operation == "get") {
                components::getMember(&sample, member.constData());
            } else {
                components::callMember(&sample, member.constData());
                QCOMPARE(sample.pings, 1);
            }
        } catch (const platform::Failure &f) {
            raised = f.description();
        }
        if (failure.isEmpty())
            QVERIFY2(raised.isEmpty(), qPrintable(raised));
        else
            QVERIFY2(raised.contains(failure), qPrintable(raised));
        // A missing member is never created on the fly.
        QVERIFY(sample.dynamicPropertyNames().isEmpty());
    }
};

QTEST_MAIN(TestComponents)
#include "tst_components.moc"
