// The wire protocol against bytes: Microsoft's published examples of client messages, and values
// and tokens laid out field by field as [MS-TDS] describes them.
#include "Log.h"
#include "ParameterDeclarations.h"
#include "tds/Encoding.h"
#include "tds/Login7.h"
#include "tds/Packet.h"
#include "tds/Prelogin.h"
#include "tds/Requests.h"
#include "tds/Tokens.h"

#include <QtTest>

namespace {

std::string bytes(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', "")).toStdString();
}

QByteArray hex(const std::string &s) { return QByteArray::fromStdString(s).toHex(' ').toUpper(); }

// Runs one whole client message through packet reassembly.
tds::Message assemble(const std::string &packets, std::size_t packetSize = 4096)
{
    tds::MessageAssembler assembler(1 << 20);
    assembler.setPacketSize(packetSize);
    std::size_t at = 0;
    while (at < packets.size()) {
        const auto h = tds::PacketHeader::parse(std::string_view(packets).substr(at));
        if (assembler.addPacket(std::string_view(packets).substr(at, h.length)))
            return assembler.takeMessage();
        at += h.length;
    }
    throw tds::ProtocolError("no complete message");
}

using tsql::Base;
using tsql::SqlType;
using tsql::Value;

tsql::DateTime date(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return tsql::DateTime{y, m, d, h, mi, s, ms};
}

} // namespace

Q_DECLARE_METATYPE(tsql::SqlType)
Q_DECLARE_METATYPE(tsql::Value)

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void framing_data();
    void framing();
    void prelogin();
    void encryptionChoice_data();
    void encryptionChoice();
    void login();
    void password_data();
    void password();
    void sqlBatch();
    void rpc();
    void refusedParameters_data();
    void refusedParameters();
    void values_data();
    void values();
    void tokens_data();
    void tokens();
    void declarations_data();
    void declarations();
    void loggedStatements_data();
    void loggedStatements();
};

// learn.microsoft.com [MS-TDS], "Packet Header": type, status (0x01 end of message, 0x02
// ignore this message), length in network byte order including the header.
void TestProtocol::framing_data()
{
    QTest::addColumn<QByteArray>("packets");
    QTest::addColumn<int>("packetSize");
    QTest::addColumn<QByteArray>("payload"); // empty with error
    QTest::addColumn<bool>("error");

    QTest::newRow("one packet") << QByteArray::fromHex("0101000B00000100414243") << 4096 << QByteArray("ABC") << false;
    QTest::newRow("two packets") << QByteArray::fromHex("0100000A000001004142" "0101000900000200 43") << 4096
                                 << QByteArray("ABC") << false;
    QTest::newRow("ignored message, then one")
        << QByteArray::fromHex("0103000A000001004142" "01010009000002005A") << 4096 << QByteArray("Z") << false;
    QTest::newRow("length below the header") << QByteArray::fromHex("0101000700000100") << 4096 << QByteArray() << true;
    QTest::newRow("longer than the packet size")
        << (QByteArray::fromHex("01010208000001 00") + QByteArray(512, 'x')) << 512 << QByteArray() << true;
    QTest::newRow("type changes inside a message")
        << QByteArray::fromHex("0100000A000001004142" "0301000900000200 43") << 4096 << QByteArray() << true;
    QTest::newRow("server-only type") << QByteArray::fromHex("0401000900000100 43") << 4096 << QByteArray() << true;
}

void TestProtocol::framing()
{
    QFETCH(QByteArray, packets);
    QFETCH(int, packetSize);
    QFETCH(QByteArray, payload);
    QFETCH(bool, error);
    try {
        const tds::Message m = assemble(packets.toStdString(), static_cast<std::size_t>(packetSize));
        QVERIFY(!error);
        QCOMPARE(QByteArray::fromStdString(m.payload), payload);
    } catch (const tds::ProtocolError &) {
        QVERIFY(error);
    }
}

// learn.microsoft.com [MS-TDS], "Pre-Login Request" (the example).
void TestProtocol::prelogin()
{
    const tds::Message m = assemble(bytes("12 01 00 2F 00 00 01 00 00 00 1A 00 06 01 00 20 00 01 02 00 21 00 01 03 00 22 00 04 "
                                          "04 00 26 00 01 FF 09 00 00 00 00 00 01 00 B8 0D 00 00 01"));
    QCOMPARE(m.type, tds::PacketType::Prelogin);
    const tds::PreloginRequest r = tds::parsePrelogin(m.payload);
    QCOMPARE(r.version, 0x09000000u);
    QCOMPARE(r.encryption, tds::Encryption::On);
    QCOMPARE(r.instance, std::string());
    QCOMPARE(r.threadId.value(), 0x0DB8u); // sent little-endian, unlike the version
    QVERIFY(r.mars);

    // The reply carries the same option table, and a client reading it finds its own values.
    tds::PreloginReply reply;
    reply.version = 0x0B000834;
    reply.encryption = tds::Encryption::Required;
    const tds::PreloginRequest back = tds::parsePrelogin(tds::buildPrelogin(reply));
    QCOMPARE(back.version, 0x0B000834u);
    QCOMPARE(back.encryption, tds::Encryption::Required);
    QVERIFY(!back.mars);

    QVERIFY_THROWS_EXCEPTION(tds::ProtocolError, tds::parsePrelogin(bytes("00 00 10 00 06 FF")));
}

// learn.microsoft.com [MS-TDS], "PRELOGIN", the table of the client's and the server's
// ENCRYPTION values and what they lead to.
void TestProtocol::encryptionChoice_data()
{
    QTest::addColumn<int>("client");
    QTest::addColumn<bool>("certificate");
    QTest::addColumn<bool>("required");
    QTest::addColumn<int>("reply");
    QTest::addColumn<int>("protection");
    using E = tds::Encryption;
    using P = tds::Protection;
    auto row = [](const char *name, E c, bool cert, bool req, E reply, P p) {
        QTest::newRow(name) << int(c) << cert << req << int(reply) << int(p);
    };
    row("off / off: login packet only", E::Off, true, false, E::Off, P::LoginOnly);
    row("on / off: everything", E::On, true, false, E::On, P::Full);
    row("not supported / off: nothing", E::NotSupported, true, false, E::NotSupported, P::None);
    row("off / required: everything", E::Off, true, true, E::Required, P::Full);
    row("not supported / required: refused", E::NotSupported, true, true, E::Required, P::Refused);
    row("off / no certificate: nothing", E::Off, false, false, E::NotSupported, P::None);
    row("on / no certificate: refused", E::On, false, false, E::NotSupported, P::Refused);
    row("required / no certificate: refused", E::Required, false, false, E::NotSupported, P::Refused);
}

void TestProtocol::encryptionChoice()
{
    QFETCH(int, client);
    QFETCH(bool, certificate);
    QFETCH(bool, required);
    QFETCH(int, reply);
    QFETCH(int, protection);
    const auto n = tds::negotiateEncryption(static_cast<tds::Encryption>(client), certificate, required);
    QCOMPARE(int(n.reply), reply);
    QCOMPARE(int(n.protection), protection);
}

// learn.microsoft.com [MS-TDS], "Login Request" (the example).
void TestProtocol::login()
{
    const tds::Message m = assemble(bytes(
        "10 01 00 90 00 00 01 00 88 00 00 00 02 00 09 72 00 10 00 00 00 00 00 07 00 01 00 00 00 00 00 00 "
        "E0 03 00 00 00 00 00 00 09 04 00 00 5E 00 08 00 6E 00 02 00 72 00 00 00 72 00 07 00 80 00 00 00 "
        "80 00 00 00 80 00 04 00 88 00 00 00 88 00 00 00 00 50 8B E2 B7 8F 88 00 00 00 88 00 00 00 88 00 "
        "00 00 00 00 00 00 73 00 6B 00 6F 00 73 00 74 00 6F 00 76 00 31 00 73 00 61 00 4F 00 53 00 51 00 "
        "4C 00 2D 00 33 00 32 00 4F 00 44 00 42 00 43 00"));
    QCOMPARE(m.type, tds::PacketType::Login7);
    const tds::LoginRequest l = tds::parseLogin7(m.payload);
    QCOMPARE(l.tdsVersion, 0x72090002u);
    QCOMPARE(l.packetSize, 4096u);
    QCOMPARE(l.clientPid, 0x100u);
    QCOMPARE(l.clientLcid, 0x0409u);
    QCOMPARE(l.hostName, std::string("skostov1"));
    QCOMPARE(l.userName, std::string("sa"));
    QCOMPARE(l.password, std::string());
    QCOMPARE(l.appName, std::string("OSQL-32"));
    QCOMPARE(l.libraryName, std::string("ODBC"));
    QCOMPARE(l.database, std::string());
    QVERIFY(!l.integratedSecurity);

    // A field that points past the end of the message.
    std::string broken = m.payload;
    broken[36] = '\x7F';
    QVERIFY_THROWS_EXCEPTION(tds::ProtocolError, tds::parseLogin7(broken));
    QVERIFY_THROWS_EXCEPTION(tds::ProtocolError, tds::parseLogin7(m.payload.substr(0, 60)));
}

// learn.microsoft.com [MS-TDS], "LOGIN7", Password: each byte has its two halves
// swapped and is then XORed with 0xA5.
void TestProtocol::password_data()
{
    QTest::addColumn<QByteArray>("onWire");
    QTest::addColumn<QString>("password");
    QTest::newRow("a") << QByteArray::fromHex("B3A5") << "a";
    QTest::newRow("Secret-1") << QByteArray::fromHex("90A5F3A593A582A5F3A5E2A577A5B6A5") << "Secret-1";
    QTest::newRow("é (U+00E9)") << QByteArray::fromHex("3BA5") << "é";
}

void TestProtocol::password()
{
    QFETCH(QByteArray, onWire);
    QFETCH(QString, password);
    QCOMPARE(QString::fromStdString(tds::utf16ToUtf8(tds::unscramblePassword(onWire.toStdString()))), password);
}

// learn.microsoft.com [MS-TDS], "SQL Batch Client Request" (the example).
void TestProtocol::sqlBatch()
{
    const tds::Message m = assemble(bytes(
        "01 01 00 5C 00 00 01 00 16 00 00 00 12 00 00 00 02 00 00 00 00 00 00 00 00 01 00 00 00 00 0A 00 "
        "73 00 65 00 6C 00 65 00 63 00 74 00 20 00 27 00 66 00 6F 00 6F 00 27 00 20 00 61 00 73 00 20 00 "
        "27 00 62 00 61 00 72 00 27 00 0A 00 20 00 20 00 20 00 20 00 20 00 20 00 20 00 20 00"));
    const tds::SqlBatchRequest b = tds::parseSqlBatch(m.payload);
    QCOMPARE(b.text, std::string("\nselect 'foo' as 'bar'\n        "));
    QCOMPARE(b.headers.transactionDescriptor, 0x0100000000000000ull);
    QCOMPARE(b.headers.outstandingRequests, 0u);
    // Headers whose length overruns the message.
    QVERIFY_THROWS_EXCEPTION(tds::ProtocolError, tds::parseSqlBatch(bytes("FF 00 00 00 41 00")));
}

// learn.microsoft.com [MS-TDS], "RPC Request": ProcIDSwitch 0xFFFF and the procedure's
// number, option flags, then each parameter's name, status flags, TYPE_INFO and value.
void TestProtocol::rpc()
{
    const std::string headers = bytes("16 00 00 00 12 00 00 00 02 00 00 00 00 00 00 00 00 00 01 00 00 00");
    const std::string call = bytes("FF FF 0A 00 00 00")
        // @stmt: nvarchar(8) "SELECT"
        + bytes("00 00 E7 10 00 09 04 D0 00 34 0C 00 53 00 45 00 4C 00 45 00 43 00 54 00")
        // @params: nvarchar(20) "@a int, @b d"... kept short: "@a int"
        + bytes("00 00 E7 28 00 09 04 D0 00 34 0C 00 40 00 61 00 20 00 69 00 6E 00 74 00")
        // @a int = 42
        + bytes("02 40 00 61 00 00 26 04 04 2A 00 00 00")
        // @b decimal(5,2) = -123.45, by reference
        + bytes("02 40 00 62 00 01 6A 05 05 02 05 00 39 30 00 00")
        // @c nvarchar(max) = NULL
        + bytes("02 40 00 63 00 00 E7 FF FF 09 04 D0 00 34 FF FF FF FF FF FF FF FF");
    const tds::RpcRequest r = tds::parseRpc(headers + call + bytes("80") + bytes("FF FF 0F 00 00 00 00 00 26 04 04 07 00 00 00"));
    QCOMPARE(r.calls.size(), std::size_t{2});
    const auto &p = r.calls[0].parameters;
    QCOMPARE(r.calls[0].procId, tds::procid::ExecuteSql);
    QCOMPARE(p.size(), std::size_t{5});
    QCOMPARE(p[0].value.asText(), std::string("SELECT"));
    QCOMPARE(p[1].value.asText(), std::string("@a int"));
    QCOMPARE(p[2].name, std::string("@a"));
    QCOMPARE(p[2].value.asInteger(), 42);
    QCOMPARE(p[2].type.sql, SqlType(Base::Int));
    QVERIFY(p[3].output);
    QCOMPARE(p[3].value.asDecimal().toString(), std::string("-123.45"));
    QCOMPARE(p[3].type.sql, SqlType::decimal(5, 2));
    QVERIFY(p[4].value.isNull());
    QCOMPARE(p[4].type.sql, SqlType::nvarchar(-1));
    QCOMPARE(r.calls[1].procId, tds::procid::Unprepare);
    QCOMPARE(r.calls[1].parameters[0].value.asInteger(), 7);
}

// Parameters no client can send: each must be refused, never read past (the packet fuzzer found
// the first two).
void TestProtocol::refusedParameters_data()
{
    QTest::addColumn<QByteArray>("parameter");
    QTest::newRow("decimal value of 21 bytes") << QByteArray::fromHex("00006A050502150001020304050607080910111213141516171819");
    QTest::newRow("int declared 9 bytes long") << QByteArray::fromHex("0000260909010203040506070809");
    QTest::newRow("int value of 3 bytes") << QByteArray::fromHex("00002604030102 03");
    QTest::newRow("time with scale 8") << QByteArray::fromHex("0000290805000000000000");
    QTest::newRow("value past the end") << QByteArray::fromHex("0000E7100009 04D000340C005300");
    QTest::newRow("xml") << QByteArray::fromHex("0000F100");
}

void TestProtocol::refusedParameters()
{
    QFETCH(QByteArray, parameter);
    const std::string request = bytes("16 00 00 00 12 00 00 00 02 00 00 00 00 00 00 00 00 00 01 00 00 00 FF FF 0A 00 00 00") +
                                parameter.toStdString();
    QVERIFY_THROWS_EXCEPTION(tds::ProtocolError, tds::parseRpc(request));
}

// learn.microsoft.com [MS-TDS], "Data Type Definitions": integers; decimal and numeric as a sign
// byte then the magnitude; money with the high four bytes first; datetime as days since
// 1900-01-01 and 1/300 seconds; date as days since 0001-01-01 in three bytes; time(n) in 10^-n
// seconds; datetimeoffset in UTC, then the offset in minutes; the (max) types as PLP (total
// length, chunks, a zero chunk); GUID with its first three groups little-endian.
// Days from 1900-01-01 to 2000-01-01: 36524; from 0001-01-01: 730119.
void TestProtocol::values_data()
{
    QTest::addColumn<SqlType>("type");
    QTest::addColumn<Value>("value");
    QTest::addColumn<QByteArray>("wire");

    auto row = [](const char *name, SqlType t, Value v, const char *h) {
        QTest::newRow(name) << t << v << QByteArray::fromHex(QByteArray(h).replace(' ', ""));
    };
    const SqlType Int(Base::Int), BigInt(Base::BigInt), Bit(Base::Bit), Money(Base::Money), DateTime(Base::DateTime);
    row("int 1", Int, Value::integer(1, Int), "04 01 00 00 00");
    row("int NULL", Int, Value::null(Int), "00");
    row("bigint -1", BigInt, Value::integer(-1, BigInt), "08 FF FF FF FF FF FF FF FF");
    row("tinyint 255", SqlType(Base::TinyInt), Value::integer(255, SqlType(Base::TinyInt)), "01 FF");
    row("bit", Bit, Value::integer(1, Bit), "01 01");
    row("decimal(10,2) -12345.67", SqlType::decimal(10, 2), Value::decimal(tsql::Decimal{-1234567, 10, 2}),
        "09 00 87 D6 12 00 00 00 00 00");
    row("decimal(5,2) 123.45", SqlType::decimal(5, 2), Value::decimal(tsql::Decimal{12345, 5, 2}), "05 01 39 30 00 00");
    row("money 1", Money, Value::decimal(tsql::Decimal{10000, 19, 4}, Money), "08 00 00 00 00 10 27 00 00");
    row("money -1", Money, Value::decimal(tsql::Decimal{-10000, 19, 4}, Money), "08 FF FF FF FF F0 D8 FF FF");
    row("smallmoney 1", SqlType(Base::SmallMoney), Value::decimal(tsql::Decimal{10000, 10, 4}, SqlType(Base::SmallMoney)),
        "04 10 27 00 00");
    row("float 1.5", SqlType(Base::Float), Value::real(1.5), "08 00 00 00 00 00 00 F8 3F");
    row("real 1.5", SqlType(Base::Real), Value::real(1.5, SqlType(Base::Real)), "04 00 00 C0 3F");
    row("datetime 2000-01-01", DateTime, Value::dateTime(date(2000, 1, 1)), "08 AC 8E 00 00 00 00 00 00");
    row("datetime 1900-01-01 00:00:01", DateTime, Value::dateTime(date(1900, 1, 1, 0, 0, 1)), "08 00 00 00 00 2C 01 00 00");
    row("datetime 1899-12-31", DateTime, Value::dateTime(date(1899, 12, 31)), "08 FF FF FF FF 00 00 00 00");
    row("smalldatetime 2000-01-01 00:01", SqlType(Base::SmallDateTime),
        Value::dateTime(date(2000, 1, 1, 0, 1), SqlType(Base::SmallDateTime)), "04 AC 8E 01 00");
    row("date 0001-01-01", SqlType(Base::Date), Value::dateTime(date(1, 1, 1), SqlType(Base::Date)), "03 00 00 00");
    row("date 2000-01-01", SqlType(Base::Date), Value::dateTime(date(2000, 1, 1), SqlType(Base::Date)), "03 07 24 0B");
    row("time(7) 00:00:01", SqlType(Base::Time, 0, 0, 7),
        Value::dateTime(date(1900, 1, 1, 0, 0, 1), SqlType(Base::Time, 0, 0, 7)), "05 80 96 98 00 00");
    row("time(0) 00:00:01", SqlType(Base::Time, 0, 0, 0),
        Value::dateTime(date(1900, 1, 1, 0, 0, 1), SqlType(Base::Time, 0, 0, 0)), "03 01 00 00");
    row("datetime2(3) 2000-01-01 00:00:00.001", SqlType(Base::DateTime2, 0, 0, 3),
        Value::dateTime(date(2000, 1, 1, 0, 0, 0, 1), SqlType(Base::DateTime2, 0, 0, 3)), "07 01 00 00 00 07 24 0B");
    {
        tsql::DateTime d = date(2000, 1, 1, 1, 0);
        d.offsetMinutes = 60;
        row("datetimeoffset(7) 2000-01-01 01:00 +01:00", SqlType(Base::DateTimeOffset, 0, 0, 7),
            Value::dateTime(d, SqlType(Base::DateTimeOffset, 0, 0, 7)), "0A 00 00 00 00 00 07 24 0B 3C 00");
    }
    row("nvarchar 'ab'", SqlType::nvarchar(10), Value::text("ab", SqlType::nvarchar(10)), "04 00 61 00 62 00");
    row("nvarchar NULL", SqlType::nvarchar(10), Value::null(SqlType::nvarchar(10)), "FF FF");
    row("varchar euro sign in code page 1252", SqlType::varchar(10), Value::text("€", SqlType::varchar(10)), "01 00 80");
    row("varchar(max) 'ab'", SqlType::varchar(-1), Value::text("ab", SqlType::varchar(-1)),
        "02 00 00 00 00 00 00 00 02 00 00 00 61 62 00 00 00 00");
    row("varchar(max) NULL", SqlType::varchar(-1), Value::null(SqlType::varchar(-1)), "FF FF FF FF FF FF FF FF");
    row("char of unknown length is not padded", SqlType(Base::Char, 0), Value::text("ab", SqlType(Base::Char, 0)),
        "02 00 61 62");
    row("varbinary 00 FF", SqlType(Base::VarBinary, 4), Value::binary(std::string("\0\xFF", 2), SqlType(Base::VarBinary, 4)),
        "02 00 00 FF");
    row("uniqueidentifier", SqlType(Base::UniqueIdentifier),
        Value::text("6F9619FF-8B86-D011-B42D-00C04FC964FF", SqlType(Base::UniqueIdentifier)),
        "10 FF 19 96 6F 86 8B 11 D0 B4 2D 00 C0 4F C9 64 FF");
}

void TestProtocol::values()
{
    QFETCH(SqlType, type);
    QFETCH(Value, value);
    QFETCH(QByteArray, wire);
    const tds::WireType t = tds::wireTypeOf(type);
    tds::ByteWriter w;
    tds::writeValue(w, t, value);
    QCOMPARE(hex(w.data()), hex(wire.toStdString()));

    // A client's parameter in the same form reads back as the same value.
    tds::ByteWriter info;
    tds::writeTypeInfo(info, t);
    const std::string typed = info.data() + wire.toStdString();
    tds::ByteReader r(typed);
    const tds::WireType back = tds::readTypeInfo(r);
    QCOMPARE(back.sql.base, t.sql.base);
    const Value v = tds::readValue(r, back);
    QVERIFY(r.atEnd());
    QCOMPARE(v.isNull(), value.isNull());
    if (value.isNull())
        return;
    switch (value.type()) {
    case Value::Type::Integer: QCOMPARE(v.asInteger(), value.asInteger()); break;
    case Value::Type::Float: QCOMPARE(v.asFloat(), value.asFloat()); break;
    case Value::Type::Decimal: QCOMPARE(v.asDecimal().toString(), value.asDecimal().toString()); break;
    case Value::Type::Text:
    case Value::Type::Binary: QCOMPARE(v.asText(), value.asText()); break;
    case Value::Type::DateTime: QVERIFY(v.asDateTime() == value.asDateTime()); break;
    default: break;
    }
}

// learn.microsoft.com [MS-TDS], the token pages DONE, ENVCHANGE, ERROR, INFO, LOGINACK, RETURNSTATUS
// and FEATUREEXTACK: the token, then the fields in their documented order.
void TestProtocol::tokens_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("wire");
    auto row = [](const char *name, int kind, const char *h) {
        QTest::newRow(name) << kind << QByteArray::fromHex(QByteArray(h).replace(' ', ""));
    };
    row("DONE after a select of one row", 0, "FD 10 00 C1 00 01 00 00 00 00 00 00 00");
    row("DONE acknowledging an attention", 1, "FD 20 00 00 00 00 00 00 00 00 00 00 00");
    row("ENVCHANGE database master -> ab", 2, "E3 09 00 01 02 61 00 62 00 01 6D 00");
    row("ENVCHANGE begin transaction", 3, "E3 0B 00 08 08 01 00 00 00 00 00 00 00 00");
    row("ERROR 208", 4,
        "AA 16 00 D0 00 00 00 01 10 03 00 61 00 62 00 63 00 01 73 00 00 05 00 00 00");
    row("INFO PRINT", 5, "AB 14 00 00 00 00 00 01 00 02 00 68 00 69 00 01 73 00 00 01 00 00 00");
    row("LOGINACK 7.4", 6, "AD 0E 00 01 74 00 00 04 02 53 00 51 00 0B 00 08 34");
    row("RETURNSTATUS 0", 7, "79 00 00 00 00");
    row("FEATUREEXTACK acknowledging nothing", 8, "AE FF");
}

void TestProtocol::tokens()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, wire);
    tds::TokenWriter w("s");
    switch (kind) {
    case 0: w.done(tds::token::Done, tds::done::Count, tds::CurCmdSelect, 1); break;
    case 1: w.done(tds::token::Done, tds::done::Attention, 0, 0); break;
    case 2: w.envChange(tds::EnvChange::Database, "ab", "m"); break;
    case 3: w.envChangeBytes(tds::EnvChange::BeginTransaction, std::string("\x01\0\0\0\0\0\0\0", 8), {}); break;
    case 4: w.message({208, 1, 16, "abc", "", 5}); break;
    case 5: w.message({0, 1, 0, "hi", "", 1}); break;
    case 6: w.loginAck(tds::Tds74, "SQ", {11, 0, 0x08, 0x34}); break;
    case 7: w.returnStatus(0); break;
    case 8: w.featureExtAck(); break;
    }
    QCOMPARE(hex(w.take()), hex(wire.toStdString()));
}

// learn.microsoft.com: sp_executesql (Transact-SQL), "@params": one string that declares every
// parameter, as a stored procedure's parameters are declared.
void TestProtocol::declarations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected"); // "name type [OUTPUT]"; empty list with "!" for refused
    QTest::newRow("two") << "@id int, @name varchar(30)" << QStringList{"@id int", "@name varchar(30)"};
    QTest::newRow("output") << "@total decimal(10,2) OUTPUT" << QStringList{"@total decimal(10,2) OUTPUT"};
    QTest::newRow("out, max, spacing") << " @a nvarchar( max ) out ,@b datetime2(3)"
                                        << QStringList{"@a nvarchar(max) OUTPUT", "@b datetime2(3)"};
    QTest::newRow("FreeTDS's form") << "@P1 int,@P2 nvarchar(4000),@P3 datetime"
                                    << QStringList{"@P1 int", "@P2 nvarchar(4000)", "@P3 datetime"};
    QTest::newRow("bare varchar is one character") << "@c varchar" << QStringList{"@c varchar(1)"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("no @") << "id int" << QStringList{"!"};
    QTest::newRow("unknown type") << "@x sometype" << QStringList{"!"};
}

void TestProtocol::declarations()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    const auto parsed = server::parseDeclarations(text.toStdString());
    if (expected == QStringList{"!"}) {
        QVERIFY(!parsed);
        return;
    }
    QVERIFY(parsed);
    QStringList got;
    for (const auto &d : *parsed)
        got << QString::fromStdString(d.name + " " + d.type.display() + (d.output ? " OUTPUT" : ""));
    QCOMPARE(got, expected);
}

void TestProtocol::loggedStatements_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("logged");
    QTest::newRow("login password") << "CREATE LOGIN clerk WITH PASSWORD = 'S3cr''et', CHECK_POLICY = OFF"
                                    << "CREATE LOGIN clerk WITH PASSWORD = '***', CHECK_POLICY = OFF";
    QTest::newRow("unicode literal, lower case") << "alter login x with password=N'pw'"
                                                 << "alter login x with PASSWORD = '***'";
    QTest::newRow("lines joined") << "SELECT 1\nFROM t" << "SELECT 1 FROM t";
    QTest::newRow("a column named password stays") << "SELECT password FROM t" << "SELECT password FROM t";
}

void TestProtocol::loggedStatements()
{
    QFETCH(QString, statement);
    QFETCH(QString, logged);
    QCOMPARE(QString::fromStdString(server::loggableStatement(statement.toStdString())), logged);
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
