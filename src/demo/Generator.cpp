#include "demo/Generator.h"

#include "demo/NamePools.h"
#include "demo/Random.h"

#include "platform/security/Password.h"

#include <cstdio>

namespace demo {

namespace {

using tsql::Value;

// Purposes of the random streams, apart from those Population uses.
enum Purpose : std::uint64_t {
    Family = 101, Allergy, MasterEdit, MasterVersion,
    AdmissionDetail = 201, Vitals, DiagnosisRow, Guarantor, Informant, History, AdmissionEdit,
    VisitDetail = 301, VisitHistory,
};

const int firstAdmissionNumber = 10000001;
const int firstVisitNumber = 50000001;

Value text(const std::string &s)
{
    return Value::text(s);
}

Value text(const std::optional<std::string> &s)
{
    return s ? Value::text(*s) : Value();
}

Value when(const tsql::DateTime &d)
{
    return Value::dateTime(d);
}

Value when(const std::optional<tsql::DateTime> &d)
{
    return d ? Value::dateTime(*d) : Value();
}

Value number(std::int64_t n)
{
    return Value::integer(n);
}

std::string admissionNumber(int n)
{
    return std::to_string(n);
}

std::string fullName(const char *first, const std::string &last)
{
    return std::string(first) + " " + last;
}

// The mother's surname is the middle name when one was entered.
std::string surnameOr(const std::optional<std::string> &middleName, const char *otherwise)
{
    return middleName && !middleName->empty() ? *middleName : std::string(otherwise);
}

std::vector<Value> masterRow(const Person &p)
{
    return {text(p.hospNum), text(p.lastName), text(p.firstName), text(p.middleName),
            when(p.birthDate), text(p.sex), number(p.civilStatus), text(p.houseStreet),
            text(p.barangay), text(p.city), text(p.province), text(p.zipCode), text(p.telNum),
            text(p.cellNum), text(p.email), text(p.occupation), text(p.religion),
            text(p.nationality), text(p.birthPlace), when(p.dateEncoded), text(p.encodedBy)};
}

std::optional<std::string> address(const Person &p)
{
    if (!p.houseStreet)
        return std::nullopt;
    return *p.houseStreet + ", " + p.barangay.value_or("") + ", " + p.city.value_or("");
}

tsql::DateTime later(const tsql::DateTime &d, Random &r, int maxDays)
{
    const QDate day = std::min(QDate(d.year, d.month, d.day).addDays(r.between(0, maxDays)), Population::lastDay());
    return toDateTime(day, r.between(7, 17), r.between(0, 59), r.between(0, 59));
}

} // namespace

Generator::Generator(tsql::Session &session, const Population &population,
                     std::function<void(int)> progress)
    : m_session(session), m_population(population), m_progress(std::move(progress))
{
}

void Generator::run()
{
    const std::vector<TableDef> tables = {
        schema::master(), schema::master2(), schema::patient(), schema::patient2(),
        schema::outPatient(), schema::patientDiagnosis(), schema::patientGuarantor(),
        schema::patientHistory(), schema::masterAllergies(), schema::patientInformant(),
        schema::outPatientHistory(), schema::hisMaster(), schema::hisPatient(),
        schema::masterHist(), schema::civilStatus(), schema::users()};
    m_session.createDatabase("Patient_Data");
    m_session.createDatabase("Build_File");
    m_session.execute("USE Patient_Data");
    for (const TableDef &t : tables)
        m_session.execute(t.createStatement());

    m_passes = 14;
    loadMaster();
    loadMaster2();
    loadAllergies();
    loadMasterHistory();
    loadAdmissions();
    loadAdmissionDetails();
    loadVisits();
    loadReference();

    // Indexes last: building them from sorted rows is far quicker than keeping them up to date
    // during the load.
    const std::vector<IndexDef> indexes = schema::indexes();
    for (std::size_t k = 0; k < indexes.size(); ++k) {
        const IndexDef &ix = indexes[k];
        m_session.execute("CREATE INDEX " + ix.name + " ON " + ix.table + " (" + ix.columns + ")");
        if (m_progress)
            m_progress(95 + static_cast<int>((k + 1) * 5 / indexes.size()));
    }
}

void Generator::advance(int patient)
{
    if (!m_progress)
        return;
    const int n = std::max(1, m_population.patients());
    const int percent = static_cast<int>((static_cast<qint64>(m_pass) * n + patient) * 95
                                         / (static_cast<qint64>(m_passes) * n));
    if (percent != m_lastPercent) {
        m_lastPercent = percent;
        m_progress(percent);
    }
}

void Generator::load(const TableDef &table, const PatientPass &pass)
{
    tsql::BulkInserter inserter(m_session, table.database, table.name, table.columnNames());
    const RowSink sink = [&inserter](const Row &row) { inserter.add(row); };
    for (int i = 0; i < m_population.patients(); ++i) {
        pass(i, sink);
        if ((i & 1023) == 0)
            advance(i);
    }
    inserter.commit();
    ++m_pass;
}

void Generator::loadMaster()
{
    load(schema::master(), [this](int i, const RowSink &sink) {
        sink(masterRow(m_population.person(i)));
    });
}

void Generator::loadMaster2()
{
    load(schema::master2(), [this](int i, const RowSink &sink) {
        Random r(m_population.seed(), static_cast<std::uint64_t>(i), Family);
        if (!r.perMille(500))
            return;
        const Person p = m_population.person(i);
        const std::optional<std::string> home = address(p);
        const bool married = p.civilStatus >= 2 && p.civilStatus <= 4;
        std::optional<std::string> spouse, spouseJob, spouseAddress, spouseWork, spouseEmail;
        if (married) {
            spouse = p.sex == "M" ? fullName(r.pick(pools::femaleFirstNames), p.lastName)
                                  : fullName(r.pick(pools::maleFirstNames), p.lastName);
            spouseJob = r.pick(pools::occupations);
            spouseAddress = home;
            if (r.perMille(400))
                spouseWork = std::to_string(r.between(1, 900)) + " " + r.pick(pools::streets) + ", "
                    + r.pick(pools::cities).name;
            if (r.perMille(200))
                spouseEmail = "spouse" + std::to_string(r.between(100, 999)) + "@yahoo.com";
        }
        const std::string father = fullName(r.pick(pools::maleFirstNames), p.lastName);
        const std::string mother = fullName(r.pick(pools::femaleFirstNames), surnameOr(p.middleName, r.pick(pools::lastNames)));
        std::optional<std::string> employer, employerAddress;
        if (p.occupation && *p.occupation != "Student" && r.perMille(500)) {
            employer = std::string(r.pick(pools::lastNames)) + " Enterprises";
            employerAddress = std::string(r.pick(pools::barangays)) + ", " + r.pick(pools::cities).name;
        }
        const std::string contact = fullName(r.pick(pools::femaleFirstNames), r.pick(pools::lastNames));
        sink({text(p.hospNum), text(spouse), text(spouseJob), text(spouseAddress), text(spouseWork),
              text(spouseEmail), text(father), text(home), text(mother), text(home), text(employer),
              text(employerAddress), text(contact), text(home), text(std::string(r.pick(pools::relations))),
              text("09" + std::to_string(r.between(100000000, 999999999)))});
    });
}

void Generator::loadAllergies()
{
    load(schema::masterAllergies(), [this](int i, const RowSink &sink) {
        Random r(m_population.seed(), static_cast<std::uint64_t>(i), Allergy);
        if (!r.perMille(80))
            return;
        const Person p = m_population.person(i);
        for (int k = r.between(1, 2); k > 0; --k)
            sink({text(p.hospNum), text(std::string(r.pick(pools::allergies))),
                  text(std::string(r.pick(pools::reactions))), when(later(p.dateEncoded, r, 900))});
    });
}

void Generator::loadMasterHistory()
{
    // Edits recorded by the site's record screens since an earlier upgrade made these tables.
    load(schema::hisMaster(), [this](int i, const RowSink &sink) {
        Random r(m_population.seed(), static_cast<std::uint64_t>(i), MasterEdit);
        if (!r.perMille(20))
            return;
        const Person p = m_population.person(i);
        for (int edit = 1, edits = r.between(1, 2); edit <= edits; ++edit) {
            Row row = masterRow(p);
            row.push_back(number(edit));
            row.push_back(text(std::string(r.pick(pools::staff))));
            row.push_back(when(later(p.dateEncoded, r, 1500)));
            sink(row);
        }
    });
    load(schema::masterHist(), [this](int i, const RowSink &sink) {
        Random r(m_population.seed(), static_cast<std::uint64_t>(i), MasterVersion);
        if (!r.perMille(20))
            return;
        const Person p = m_population.person(i);
        for (int version = 1, versions = r.between(1, 3); version <= versions; ++version) {
            Row row = masterRow(p);
            row.push_back(number(version));
            row.push_back(text(std::string(version == 1 ? "ADD" : "EDIT")));
            row.push_back(text(std::string(r.pick(pools::staff))));
            row.push_back(when(later(p.dateEncoded, r, 1500)));
            sink(row);
        }
    });
}

void Generator::loadAdmissions()
{
    int next = firstAdmissionNumber;
    load(schema::patient(), [this, &next](int i, const RowSink &sink) {
        const std::string hospNum = m_population.hospNum(i);
        for (const Registration &a : m_population.admissions(i)) {
            const int id = next++;
            Random r(m_population.seed(), static_cast<std::uint64_t>(id), AdmissionDetail);
            const std::string type = r.pick(pools::admissionTypes);
            sink({text(admissionNumber(id)), text(hospNum), when(a.admDate), when(a.dischDate),
                  text(type), text(std::string(1, static_cast<char>('A' + r.below(4))) + "-" + std::to_string(r.between(101, 340))),
                  text(std::string(r.pick(pools::doctors))),
                  r.perMille(250) ? text(std::string(r.pick(pools::referrers))) : Value(),
                  text(std::string(r.pick(pools::complaints))), text(std::string(r.pick(pools::staff)))});
        }
    });
}

void Generator::loadAdmissionDetails()
{
    // Each of these tables describes some admissions; the numbers are handed out again in the
    // same order as when the admissions were written.
    using Detail = std::function<void(int id, const std::string &hospNum, const Registration &a, const RowSink &sink)>;
    const auto eachAdmission = [this](const Detail &detail) {
        return [this, detail, next = firstAdmissionNumber](int i, const RowSink &sink) mutable {
            const std::string hospNum = m_population.hospNum(i);
            for (const Registration &a : m_population.admissions(i))
                detail(next++, hospNum, a, sink);
        };
    };
    const std::uint64_t seed = m_population.seed();

    load(schema::patient2(), eachAdmission([seed](int id, const std::string &hospNum, const Registration &, const RowSink &sink) {
        Random r(seed, static_cast<std::uint64_t>(id), Vitals);
        if (!r.perMille(300))
            return;
        sink({text(admissionNumber(id)), text(hospNum), text(std::to_string(r.between(50, 185)) + " cm"),
              text(std::to_string(r.between(3, 110)) + " kg"),
              text(std::to_string(r.between(90, 180)) + "/" + std::to_string(r.between(60, 110))),
              text(std::to_string(r.between(360, 401) / 10) + "." + std::to_string(r.between(0, 9))),
              text(std::to_string(r.between(55, 130))), text(std::to_string(r.between(12, 30)))});
    }));
    load(schema::patientDiagnosis(), eachAdmission([seed](int id, const std::string &, const Registration &a, const RowSink &sink) {
        Random r(seed, static_cast<std::uint64_t>(id), DiagnosisRow);
        if (!r.perMille(300))
            return;
        const pools::Diagnosis &d = r.pick(pools::diagnoses);
        sink({text(admissionNumber(id)), text(std::string(d.code)), text(std::string(d.text)),
              text(std::string("Admitting")), when(a.admDate)});
        if (a.dischDate && r.perMille(600))
            sink({text(admissionNumber(id)), text(std::string(d.code)), text(std::string(d.text)),
                  text(std::string("Final")), when(*a.dischDate)});
    }));
    load(schema::patientGuarantor(), eachAdmission([seed](int id, const std::string &, const Registration &, const RowSink &sink) {
        Random r(seed, static_cast<std::uint64_t>(id), Guarantor);
        if (!r.perMille(200))
            return;
        sink({text(admissionNumber(id)), text(fullName(r.pick(pools::maleFirstNames), r.pick(pools::lastNames))),
              text(std::to_string(r.between(1, 2500)) + " " + r.pick(pools::streets) + ", " + r.pick(pools::cities).name),
              text("09" + std::to_string(r.between(100000000, 999999999))),
              text(std::string(r.pick(pools::occupations)))});
    }));
    load(schema::patientInformant(), eachAdmission([seed](int id, const std::string &, const Registration &, const RowSink &sink) {
        Random r(seed, static_cast<std::uint64_t>(id), Informant);
        if (!r.perMille(100))
            return;
        sink({text(admissionNumber(id)), text(fullName(r.pick(pools::femaleFirstNames), r.pick(pools::lastNames))),
              text(std::string(r.pick(pools::barangays)) + ", " + r.pick(pools::cities).name),
              text(std::string(r.pick(pools::relations))), r.perMille(500) ? text("09" + std::to_string(r.between(100000000, 999999999))) : Value()});
    }));
    load(schema::patientHistory(), eachAdmission([seed](int id, const std::string &hospNum, const Registration &a, const RowSink &sink) {
        Random r(seed, static_cast<std::uint64_t>(id), History);
        if (!r.perMille(100))
            return;
        sink({text(admissionNumber(id)), text(hospNum),
              text("Known case of " + std::string(r.pick(pools::diagnoses).text)),
              r.perMille(500) ? text("Mother with " + std::string(r.pick(pools::diagnoses).text)) : Value(),
              when(a.admDate)});
    }));
    load(schema::hisPatient(), eachAdmission([seed](int id, const std::string &hospNum, const Registration &a, const RowSink &sink) {
        Random r(seed, static_cast<std::uint64_t>(id), AdmissionEdit);
        if (!r.perMille(10))
            return;
        sink({text(admissionNumber(id)), text(hospNum), when(a.admDate), when(a.dischDate),
              text(std::string(r.pick(pools::admissionTypes))), Value(),
              text(std::string(r.pick(pools::doctors))), Value(),
              text(std::string(r.pick(pools::complaints))), text(std::string(r.pick(pools::staff))),
              number(1)});
    }));
}

void Generator::loadVisits()
{
    const std::uint64_t seed = m_population.seed();
    int next = firstVisitNumber;
    load(schema::outPatient(), [this, seed, &next](int i, const RowSink &sink) {
        const std::string hospNum = m_population.hospNum(i);
        for (const Registration &v : m_population.visits(i)) {
            const int id = next++;
            Random r(seed, static_cast<std::uint64_t>(id), VisitDetail);
            sink({text(admissionNumber(id)), text(hospNum), when(v.admDate),
                  text(std::string(r.pick(pools::clinics))), text(std::string(r.pick(pools::doctors))),
                  r.perMille(150) ? text(std::string(r.pick(pools::referrers))) : Value(),
                  text(std::string(r.pick(pools::complaints))), text(std::string(r.pick(pools::staff)))});
        }
        // A few visits from the old system whose patient record never came across: the lists
        // must still show them.
        if (i + 1 == m_population.patients()) {
            for (int k = 0; k <= m_population.patients() / 2000; ++k) {
                const int id = next++;
                Random r(seed, static_cast<std::uint64_t>(id), VisitDetail);
                char orphan[16];
                std::snprintf(orphan, sizeof orphan, "99%05d", k + 1);
                const QDate day = Population::firstDay().addDays(r.between(0, 3000));
                sink({text(admissionNumber(id)), text(std::string(orphan)),
                      when(toDateTime(day, r.between(7, 16), r.between(0, 59), r.between(0, 59))),
                      text(std::string(r.pick(pools::clinics))), Value(), Value(),
                      text(std::string(r.pick(pools::complaints))), Value()});
            }
        }
    });
    load(schema::outPatientHistory(), [this, seed, next = firstVisitNumber](int i, const RowSink &sink) mutable {
        const std::string hospNum = m_population.hospNum(i);
        for (const Registration &v : m_population.visits(i)) {
            const int id = next++;
            Random r(seed, static_cast<std::uint64_t>(id), VisitHistory);
            if (r.perMille(50))
                sink({text(admissionNumber(id)), text(hospNum),
                      text("Known case of " + std::string(r.pick(pools::diagnoses).text)), when(v.admDate)});
        }
    });
}

void Generator::loadReference()
{
    {
        const TableDef t = schema::civilStatus();
        tsql::BulkInserter codes(m_session, t.database, t.name, t.columnNames());
        const char *const names[] = {"Single", "Married", "Widowed", "Separated", "Child"};
        for (int code = 1; code <= 5; ++code)
            codes.add({number(code), text(std::string(names[code - 1]))});
        codes.commit();
    }
    {
        const TableDef t = schema::users();
        tsql::BulkInserter users(m_session, t.database, t.name, t.columnNames());
        users.add({text(std::string("demo")), text(platform::security::hashPassword(std::string_view("demo"))),
                   text(std::string("18")), text(std::string("Demo Registration Clerk"))});
        users.commit();
    }
}

} // namespace demo
