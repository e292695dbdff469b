#include "EngineFixture.h"

#include <QTest>

#include <cstdio>

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

static QString valueText(const tsql::Value &v)
{
    switch (v.type()) {
    case tsql::Value::Type::Null: return QStringLiteral("NULL");
    case tsql::Value::Type::Integer: return QString::number(v.asInteger());
    case tsql::Value::Type::Float: return QString::number(v.asFloat());
    case tsql::Value::Type::Text: return QString::fromStdString(v.asText());
    case tsql::Value::Type::Decimal: return QString::fromStdString(v.asDecimal().toString());
    case tsql::Value::Type::Binary: return QStringLiteral("0x") + QString::fromLatin1(QByteArray::fromStdString(v.asText()).toHex().toUpper());
    case tsql::Value::Type::DateTime: {
        const auto &d = v.asDateTime();
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", d.year, d.month, d.day, d.hour,
                      d.minute, d.second, d.millisecond);
        return QString::fromLatin1(buf);
    }
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

QString EngineFixture::run(const QString &sql)
{
    try {
        auto r = m_session->execute(sql.toStdString());
        return render(*r);
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
