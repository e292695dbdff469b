#include "EngineFixture.h"

#include <QTest>

#include <cstdio>
#include <cstdlib>

EngineFixture::EngineFixture()
{
    m_session = tsql::Session::open(m_dir.path().toStdString(), "");
    m_session->createDatabase("Patient_Data");
    m_session->createDatabase("Build_File");
    m_session->execute("USE Patient_Data");
}

void EngineFixture::reopen(const QString &database)
{
    m_session.reset();
    m_session = tsql::Session::open(m_dir.path().toStdString(), database.toStdString());
}

// A float as SQL Server's tools show it: 15 significant digits for float, 7 for real, an
// exponent as "1E+20".
static QString floatText(double v, const tsql::SqlType &t)
{
    const int digits = t.base == tsql::Base::Real ? 7 : 15;
    QString s = QString::number(v, 'g', digits);
    const qsizetype e = s.indexOf(QLatin1Char('e'));
    if (e < 0)
        return s;
    QString exponent = s.mid(e + 2);
    while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
        exponent.remove(0, 1);
    return s.left(e) + QLatin1String("E") + s.at(e + 1) + exponent;
}

// Date-time values in the type's own shape: date alone, smalldatetime without seconds'
// fractions, datetime with milliseconds, time/datetime2/datetimeoffset with their scale.
static QString dateTimeText(const tsql::DateTime &d, const tsql::SqlType &t)
{
    char date[16], clock[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.year, d.month, d.day);
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", d.hour, d.minute, d.second);
    const auto fraction = [&](int digits) {
        if (digits <= 0)
            return QString();
        char buf[16];
        std::snprintf(buf, sizeof buf, "%07lld", static_cast<long long>(d.ticks()));
        return QLatin1Char('.') + QString::fromLatin1(buf).left(digits);
    };
    switch (t.base) {
    case tsql::Base::Date:
        return QString::fromLatin1(date);
    case tsql::Base::Time:
        return QString::fromLatin1(clock) + fraction(t.scale);
    case tsql::Base::SmallDateTime:
        return QString::fromLatin1(date) + QLatin1Char(' ') + QString::fromLatin1(clock);
    case tsql::Base::DateTime2:
        return QString::fromLatin1(date) + QLatin1Char(' ') + QString::fromLatin1(clock) + fraction(t.scale);
    case tsql::Base::DateTimeOffset: {
        const int m = std::abs(d.offsetMinutes);
        return QString::fromLatin1(date) + QLatin1Char(' ') + QString::fromLatin1(clock) + fraction(t.scale) +
               QStringLiteral(" %1%2:%3")
                   .arg(d.offsetMinutes < 0 ? '-' : '+')
                   .arg(m / 60, 2, 10, QLatin1Char('0'))
                   .arg(m % 60, 2, 10, QLatin1Char('0'));
    }
    default:
        return QString::fromLatin1(date) + QLatin1Char(' ') + QString::fromLatin1(clock) + fraction(3);
    }
}

static QString valueText(const tsql::Value &v)
{
    switch (v.type()) {
    case tsql::Value::Type::Null: return QStringLiteral("NULL");
    case tsql::Value::Type::Integer: return QString::number(v.asInteger());
    case tsql::Value::Type::Float: return floatText(v.asFloat(), v.sqlType());
    case tsql::Value::Type::Text: return QString::fromStdString(v.asText());
    case tsql::Value::Type::Decimal: return QString::fromStdString(v.asDecimal().toString());
    case tsql::Value::Type::Binary: return QStringLiteral("0x") + QString::fromLatin1(QByteArray::fromStdString(v.asText()).toHex().toUpper());
    case tsql::Value::Type::DateTime: return dateTimeText(v.asDateTime(), v.sqlType());
    }
    return {};
}

QString EngineFixture::render(tsql::Result &r)
{
    if (!r.hasRows())
        return QStringLiteral("(%1 rows)").arg(r.rowsAffected());
    QStringList lines;
    while (r.next()) {
        QStringList cells;
        for (std::size_t i = 0; i < r.columns().size(); ++i)
            cells << valueText(r.value(i));
        lines << cells.join('|');
    }
    return lines.join('\n');
}

QString EngineFixture::asExpected(const QString &actual, const QString &expected)
{
    if (expected.startsWith(QLatin1String("Msg ")) && !expected.contains(QLatin1Char(':')) &&
        actual.startsWith(QLatin1String("Msg ")))
        return actual.section(QLatin1Char(':'), 0, 0);
    return actual;
}

QString EngineFixture::batch(const QString &text)
{
    QStringList out;
    auto run = m_session->run(text.toStdString());
    while (run->next()) {
        switch (run->item()) {
        case tsql::BatchRun::Item::Rows: {
            const QString rows = render(run->rows());
            if (!rows.isEmpty())
                out << rows;
            break;
        }
        case tsql::BatchRun::Item::Done:
            if (run->count() >= 0)
                out << QStringLiteral("(%1 rows)").arg(run->count());
            break;
        case tsql::BatchRun::Item::Message: {
            const tsql::Message &m = run->message();
            out << (m.isError() ? QStringLiteral("Msg %1: %2").arg(m.number).arg(QString::fromStdString(m.text))
                                : QString::fromStdString(m.text));
            break;
        }
        }
    }
    return out.join('\n');
}

QString EngineFixture::batchValues(const QString &text)
{
    QStringList lines = batch(text).split('\n');
    lines.removeIf([](const QString &l) { return l.startsWith(QLatin1Char('(')) && l.endsWith(QLatin1String(" rows)")); });
    return lines.join('\n');
}

QString EngineFixture::run(const QString &sql)
{
    try {
        auto r = m_session->execute(sql.toStdString());
        return render(*r);
    } catch (const tsql::Error &e) {
        return QStringLiteral("Msg %1: %2").arg(e.number()).arg(QString::fromStdString(e.what()));
    }
}

QString EngineFixture::types(const QString &sql)
{
    try {
        auto r = m_session->execute(sql.toStdString());
        QStringList names;
        for (const tsql::ColumnInfo &c : r->columns())
            names << QString::fromStdString(c.typeName());
        return names.join('|');
    } catch (const tsql::Error &e) {
        return QStringLiteral("Msg %1: %2").arg(e.number()).arg(QString::fromStdString(e.what()));
    }
}

void EngineFixture::script(const QStringList &statements)
{
    for (const auto &s : statements) {
        const QString out = run(s);
        if (out.startsWith(QLatin1String("Msg ")))
            QFAIL(qPrintable(s + QLatin1String(" -> ") + out));
    }
}

void EngineFixture::loadHospital()
{
    script({
        "CREATE TABLE Patient_Data.dbo.tbMaster ([HospNum] [varchar](10) NOT NULL PRIMARY KEY, [LastName] [varchar](50) NULL, "
        "[FirstName] [varchar](50) NULL, [MiddleName] [varchar](50) NULL, [BirthDate] [datetime] NULL, [Sex] [varchar](1) NULL, "
        "[HouseStreet] [varchar](100) NULL, [Barangay] [varchar](50) NULL, [ZipCode] [varchar](4) NULL, Occupation varchar(50) NULL)",
        "CREATE INDEX ixName ON tbMaster (LastName, FirstName)",
        "CREATE INDEX ixBirth ON tbMaster (BirthDate)",
        "CREATE TABLE tbPatient (HospNum varchar(10) NOT NULL, IDNum varchar(10) NOT NULL PRIMARY KEY, AdmDate datetime NULL, "
        "ReferredFrom varchar(30) NULL)",
        "CREATE INDEX ixAdm ON tbPatient (AdmDate)",
        "CREATE TABLE tbOutPatient (HospNum varchar(10) NOT NULL, IDNum varchar(10) NOT NULL, AdmDate datetime NULL)",
        "INSERT INTO tbMaster VALUES ('H001', 'Dela Cruz', 'Juan', 'Santos', '01/02/1990', 'M', '12 Rizal St', 'San Roque', '1000', 'Clerk')",
        "INSERT INTO tbMaster VALUES ('H002', 'O''Brien', 'Mary', NULL, '1985-07-15', 'F', NULL, NULL, NULL, NULL)",
        "INSERT INTO tbMaster VALUES ('H003', 'delacruz', 'Pedro', 'Reyes', NULL, 'M', '4 Mabini', 'Poblacion', '2000', NULL)",
        "INSERT INTO tbMaster VALUES ('H004', 'Smith', 'Ann', 'Lee', '19700305', 'F', NULL, NULL, NULL, NULL)",
        "INSERT INTO tbMaster VALUES ('H005', 'Ábalos', 'Éva', 'Núñez', '2001-12-31 23:59:59', 'F', NULL, NULL, NULL, NULL)",
        "INSERT INTO tbPatient VALUES ('H001', 'A001', '12/05/2026 08:30', 'ER'), ('H002', 'A002', '2026-12-04 10:00', NULL), "
        "('H999', 'A003', '20261205 23:59:59.997', NULL)",
        "INSERT INTO tbOutPatient VALUES ('H001', 'O001', '12/05/2026 09:30'), ('H003', 'O002', '2025-01-01')",
        "CREATE TABLE Build_File.dbo.tbcocivilstatus (civilstatusID int NOT NULL PRIMARY KEY, CivilStatus varchar(50) NULL)",
        "INSERT INTO build_file.dbo.tbcocivilstatus VALUES (1, 'Single'), (2, 'Married'), (6, 'Widowed')",
    });
}
