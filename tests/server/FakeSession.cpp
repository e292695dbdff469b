#include "FakeSession.h"

#include "tsql/Errors.h"

#include <chrono>
#include <thread>
#include <variant>

namespace fake {

using tsql::Base;
using tsql::SqlType;
using tsql::Value;

namespace {

std::atomic<int> g_open{0};

class Rows : public tsql::Result {
public:
    Rows(std::vector<tsql::ColumnInfo> columns, std::vector<std::vector<Value>> rows, int generated = 0,
         std::shared_ptr<std::atomic<bool>> cancel = {})
        : m_columns(std::move(columns)), m_rows(std::move(rows)), m_generated(generated), m_cancel(std::move(cancel))
    {
    }
    bool hasRows() const override { return true; }
    const std::vector<tsql::ColumnInfo> &columns() const override { return m_columns; }
    bool next() override
    {
        if (m_cancel && m_cancel->load())
            return false;
        if (m_generated > 0) {
            if (m_at >= m_generated)
                return false;
            ++m_at;
            m_current = {Value::integer(m_at, SqlType(Base::Int)),
                         Value::text("row number " + std::to_string(m_at), SqlType::varchar(40))};
            return true;
        }
        if (m_at >= static_cast<int>(m_rows.size()))
            return false;
        m_current = m_rows[static_cast<std::size_t>(m_at++)];
        return true;
    }
    const Value &value(std::size_t column) const override { return m_current.at(column); }
    std::int64_t rowsAffected() const override { return -1; }
    int produced() const { return m_at; }

private:
    std::vector<tsql::ColumnInfo> m_columns;
    std::vector<std::vector<Value>> m_rows;
    int m_generated;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    int m_at = 0;
    std::vector<Value> m_current;
};

struct DoneItem {
    std::int64_t count;
};
struct WaitItem {
    int seconds = 10;
}; // blocks until cancelled or the time is up
using Step = std::variant<std::shared_ptr<Rows>, DoneItem, tsql::Message, WaitItem>;

class Run : public tsql::BatchRun {
public:
    Run(std::vector<Step> items, std::shared_ptr<std::atomic<bool>> cancel, std::vector<tsql::Parameter> outputs)
        : m_items(std::move(items)), m_cancel(std::move(cancel)), m_outputs(std::move(outputs))
    {
        m_cancel->store(false);
    }
    bool next() override
    {
        for (;;) {
            if (m_cancel->load()) {
                m_cancelled = true;
                return false;
            }
            if (m_at >= m_items.size())
                return false;
            m_current = m_items[m_at++];
            if (const auto *wait = std::get_if<WaitItem>(&m_current)) {
                for (int i = 0; i < wait->seconds * 100 && !m_cancel->load(); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            if (const auto *rows = std::get_if<std::shared_ptr<Rows>>(&m_current); rows && m_at < m_items.size() &&
                std::holds_alternative<DoneItem>(m_items[m_at])) {
                m_pendingRows = *rows;
            }
            if (std::holds_alternative<DoneItem>(m_current) && m_pendingRows) {
                // A result set's count is the rows it gave, which a cancelled read cuts short.
                m_current = DoneItem{m_pendingRows->produced()};
                m_pendingRows.reset();
            }
            if (const auto *m = std::get_if<tsql::Message>(&m_current); m && m->isError())
                m_anyError = true;
            return true;
        }
    }
    Item item() const override
    {
        if (std::holds_alternative<std::shared_ptr<Rows>>(m_current))
            return Item::Rows;
        if (std::holds_alternative<DoneItem>(m_current))
            return Item::Done;
        return Item::Message;
    }
    tsql::Result &rows() override { return *std::get<std::shared_ptr<Rows>>(m_current); }
    std::int64_t count() const override { return std::get<DoneItem>(m_current).count; }
    const tsql::Message &message() const override { return std::get<tsql::Message>(m_current); }
    bool anyError() const override { return m_anyError; }
    bool cancelled() const override { return m_cancelled; }
    int returnStatus() const override { return 0; }
    const std::vector<tsql::Parameter> &outputs() const override { return m_outputs; }

private:
    std::vector<Step> m_items;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::vector<tsql::Parameter> m_outputs;
    std::size_t m_at = 0;
    Step m_current;
    std::shared_ptr<Rows> m_pendingRows;
    bool m_anyError = false;
    bool m_cancelled = false;
};

tsql::Message messageOf(const tsql::Error &e)
{
    tsql::Message m;
    m.number = e.number();
    m.severity = e.severity();
    m.state = e.state();
    m.text = e.what();
    m.line = 1;
    return m;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && tsql::iequals(text.substr(0, prefix.size()), prefix);
}

tsql::ColumnInfo column(std::string name, SqlType type)
{
    tsql::ColumnInfo c;
    c.name = std::move(name);
    c.type = type;
    return c;
}

} // namespace

std::vector<tsql::ColumnInfo> everyTypeColumns()
{
    return {
        column("c_bit", SqlType(Base::Bit)),
        column("c_tinyint", SqlType(Base::TinyInt)),
        column("c_smallint", SqlType(Base::SmallInt)),
        column("c_int", SqlType(Base::Int)),
        column("c_bigint", SqlType(Base::BigInt)),
        column("c_decimal", SqlType::decimal(10, 2)),
        column("c_numeric", SqlType(Base::Numeric, 0, 38, 6)),
        column("c_smallmoney", SqlType(Base::SmallMoney)),
        column("c_money", SqlType(Base::Money)),
        column("c_real", SqlType(Base::Real)),
        column("c_float", SqlType(Base::Float)),
        column("c_char", SqlType(Base::Char, 5)),
        column("c_varchar", SqlType::varchar(30)),
        column("c_varcharmax", SqlType::varchar(-1)),
        column("c_text", SqlType(Base::Text, -1)),
        column("c_nchar", SqlType(Base::NChar, 4)),
        column("c_nvarchar", SqlType::nvarchar(30)),
        column("c_nvarcharmax", SqlType::nvarchar(-1)),
        column("c_ntext", SqlType(Base::NText, -1)),
        column("c_binary", SqlType(Base::Binary, 4)),
        column("c_varbinary", SqlType(Base::VarBinary, 10)),
        column("c_varbinarymax", SqlType(Base::VarBinary, -1)),
        column("c_image", SqlType(Base::Image, -1)),
        column("c_date", SqlType(Base::Date)),
        column("c_time", SqlType(Base::Time, 0, 0, 7)),
        column("c_smalldatetime", SqlType(Base::SmallDateTime)),
        column("c_datetime", SqlType(Base::DateTime)),
        column("c_datetime2", SqlType(Base::DateTime2, 0, 0, 7)),
        column("c_datetimeoffset", SqlType(Base::DateTimeOffset, 0, 0, 7)),
        column("c_uniqueidentifier", SqlType(Base::UniqueIdentifier)),
    };
}

std::vector<Value> everyTypeValues()
{
    const auto cols = everyTypeColumns();
    auto t = [&](int i) { return cols[static_cast<std::size_t>(i)].type; };
    tsql::DateTime date{2026, 12, 6};
    tsql::DateTime time;
    time.hour = 13;
    time.minute = 45;
    time.second = 30;
    time.setTicks(1234567);
    tsql::DateTime small{2026, 12, 6, 8, 30};
    tsql::DateTime dt{1990, 1, 2, 23, 59, 59, 997};
    tsql::DateTime dt2{2026, 12, 6, 13, 45, 30};
    dt2.setTicks(1234567);
    tsql::DateTime dto = dt2;
    dto.offsetMinutes = 8 * 60;
    return {
        Value::integer(1, t(0)),
        Value::integer(255, t(1)),
        Value::integer(-32768, t(2)),
        Value::integer(-2147483647, t(3)),
        Value::integer(9007199254740993LL, t(4)),
        Value::decimal(tsql::Decimal{-1234567, 10, 2}, t(5)),
        Value::decimal(tsql::Decimal{static_cast<tsql::Int128>(123456789012345678LL) * 1000000 + 654321, 38, 6}, t(6)),
        Value::decimal(tsql::Decimal{-2147483, 10, 4}, t(7)),
        Value::decimal(tsql::Decimal{9223372036854775807LL, 19, 4}, t(8)),
        Value::real(1.5, t(9)),
        Value::real(-2.25e-300, t(10)),
        Value::text("ab", t(11)),
        Value::text("Ábalos Núñez €", t(12)),
        Value::text(std::string(10000, 'x'), t(13)),
        Value::text("long text", t(14)),
        Value::text("Éva", t(15)),
        Value::text("Ωμέγα 😀", t(16)),
        Value::text(std::string(5000, 'y') + "Ω", t(17)),
        Value::text("ntext Ω", t(18)),
        Value::binary(std::string("\x01\x02", 2), t(19)),
        Value::binary(std::string("\x00\xFF\x10", 3), t(20)),
        Value::binary(std::string(9000, '\x5A'), t(21)),
        Value::binary("img", t(22)),
        Value::dateTime(date, t(23)),
        Value::dateTime(time, t(24)),
        Value::dateTime(small, t(25)),
        Value::dateTime(dt, t(26)),
        Value::dateTime(dt2, t(27)),
        Value::dateTime(dto, t(28)),
        Value::text("6F9619FF-8B86-D011-B42D-00C04FC964FF", t(29)),
    };
}

Session::Session(std::string database, tsql::SessionOptions options)
    : m_database(std::move(database)), m_options(std::move(options))
{
    ++g_open;
}

Session::~Session() { --g_open; }

int Session::openSessions() { return g_open.load(); }

std::unique_ptr<tsql::Result> Session::execute(std::string_view) { throw tsql::err::make(102, "execute"); }

std::unique_ptr<tsql::BatchRun> Session::run(std::string_view batch, std::vector<tsql::Parameter> parameters)
{
    std::vector<Step> items;
    std::vector<tsql::Parameter> outputs;
    std::string text(batch);
    while (!text.empty() && (text.back() == ';' || text.back() == ' ' || text.back() == '\n'))
        text.pop_back();
    auto fail = [&](const tsql::Error &e) {
        items.push_back(messageOf(e));
    };
    if (tsql::iequals(text, "SELECT @@TRANCOUNT")) {
        items.push_back(std::make_shared<Rows>(std::vector{column("", SqlType(Base::Int))},
                                               std::vector<std::vector<Value>>{{Value::integer(m_transactions, SqlType(Base::Int))}}));
        items.push_back(DoneItem{1});
    } else if (startsWith(text, "BEGIN TRAN")) {
        ++m_transactions;
        items.push_back(DoneItem{-1});
    } else if (startsWith(text, "COMMIT")) {
        if (m_transactions == 0)
            fail(tsql::err::make(3902));
        else
            --m_transactions;
        items.push_back(DoneItem{-1});
    } else if (startsWith(text, "ROLLBACK") || startsWith(text, "IF @@TRANCOUNT > 0 ROLLBACK")) {
        if (m_transactions == 0 && startsWith(text, "ROLLBACK"))
            fail(tsql::err::make(3903));
        m_transactions = 0;
        items.push_back(DoneItem{-1});
    } else if (startsWith(text, "USE ")) {
        std::string name = text.substr(4);
        if (!name.empty() && name.front() == '[')
            name = name.substr(1, name.size() - 2);
        if (tsql::iequals(name, "Nowhere")) {
            fail(tsql::err::make(911, name));
        } else {
            m_database = name;
            tsql::Message m;
            m.number = 5701;
            m.severity = 0;
            m.text = "Changed database context to '" + name + "'.";
            items.push_back(m);
            items.push_back(DoneItem{-1});
        }
    } else if (startsWith(text, "WAITFOR DELAY '00:00:")) {
        items.push_back(WaitItem{std::atoi(text.substr(21, 2).c_str())});
        items.push_back(DoneItem{-1});
    } else if (tsql::iequals(text, "SELECT * FROM EveryType")) {
        std::vector<Value> nulls;
        for (const auto &c : everyTypeColumns())
            nulls.push_back(Value::null(c.type));
        items.push_back(std::make_shared<Rows>(everyTypeColumns(), std::vector<std::vector<Value>>{everyTypeValues(), nulls}));
        items.push_back(DoneItem{2});
    } else if (tsql::iequals(text, "SELECT * FROM Numbers")) {
        items.push_back(std::make_shared<Rows>(
            std::vector{column("n", SqlType(Base::Int)), column("label", SqlType::varchar(40))},
            std::vector<std::vector<Value>>{}, NumbersRows, m_cancel));
        items.push_back(DoneItem{NumbersRows});
    } else if (startsWith(text, "SELECT * FROM Missing")) {
        fail(tsql::err::make(208, "Missing"));
    } else if (startsWith(text, "PRINT ")) {
        tsql::Message m;
        m.number = 0;
        m.severity = 0;
        m.text = text.substr(6);
        items.push_back(m);
    } else if (startsWith(text, "INSERT")) {
        items.push_back(DoneItem{1});
    } else if (startsWith(text, "SELECT SUSER_SNAME()")) {
        items.push_back(std::make_shared<Rows>(std::vector{column("", SqlType::nvarchar(128)), column("", SqlType::nvarchar(128))},
                                               std::vector<std::vector<Value>>{{Value::text(m_options.login, SqlType::nvarchar(128)),
                                                                                Value::text(m_database, SqlType::nvarchar(128))}}));
        items.push_back(DoneItem{1});
    } else if (startsWith(text, "EXEC [DoubleIt]")) {
        // A procedure that doubles its first parameter into its second, an output parameter.
        if (parameters.size() == 2 && parameters[1].output && parameters[0].value.type() == Value::Type::Integer) {
            tsql::Parameter out = parameters[1];
            out.value = Value::integer(parameters[0].value.asInteger() * 2, out.type);
            outputs.push_back(out);
        } else {
            fail(tsql::err::make(102, "DoubleIt"));
        }
    } else if (startsWith(text, "SELECT @")) {
        // Echoes the parameters named in the select list, and sets every output parameter to
        // the first input parameter's value doubled (integers) or repeated (text), as
        // sp_executesql's output parameters.
        std::vector<tsql::ColumnInfo> cols;
        std::vector<Value> row;
        for (const auto &p : parameters) {
            if (p.output)
                continue;
            if (text.find(p.name) == std::string::npos)
                continue;
            cols.push_back(column(p.name.substr(1), p.type));
            row.push_back(p.value);
        }
        items.push_back(std::make_shared<Rows>(cols, std::vector<std::vector<Value>>{row}));
        items.push_back(DoneItem{1});
        for (const auto &p : parameters) {
            if (!p.output)
                continue;
            tsql::Parameter out = p;
            const tsql::Parameter *first = nullptr;
            for (const auto &q : parameters)
                if (!q.output && !first)
                    first = &q;
            if (first && first->value.type() == Value::Type::Integer)
                out.value = Value::integer(first->value.asInteger() * 2, p.type);
            else if (first && first->value.type() == Value::Type::Text)
                out.value = Value::text(first->value.asText() + first->value.asText(), p.type);
            outputs.push_back(out);
        }
    } else if (startsWith(text, "SELECT 1")) {
        items.push_back(std::make_shared<Rows>(std::vector{column("one", SqlType(Base::Int))},
                                               std::vector<std::vector<Value>>{{Value::integer(1, SqlType(Base::Int))}}));
        items.push_back(DoneItem{1});
    } else if (text.empty()) {
    } else {
        fail(tsql::err::make(102, text.substr(0, text.find(' '))));
    }
    return std::make_unique<Run>(std::move(items), m_cancel, std::move(outputs));
}

} // namespace fake
