#include "Cases.h"

#include "platform/ui/Grid.h"
#include "platform/ui/MaskedDateField.h"
#include "search/frmMain2.h"

#include <QLineEdit>
#include <stdexcept>

namespace bench {

namespace {

const QString noDate = platform::ui::MaskedDateField::emptyText;

QString mdy(const QDate &date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

// The patient search's rows, as the window's statement asks for them.
const std::string patientSelect =
    "SELECT HospNum, LastName || ', ' || FirstName || ' ' || MiddleName, BirthDate, Sex, HouseStreet, Barangay, "
    "ZipCode FROM tbMaster WHERE ";
const std::string byName = " ORDER BY LastName, FirstName LIMIT 120";

// One registration table's half of the list: any 120 rows of it that match, as TOP without ORDER BY.
std::string registrationHalf(const std::string &table, const std::string &filter)
{
    return "SELECT * FROM (SELECT r.HospNum, r.IDNum, m.LastName || ', ' || m.FirstName || ' ' || m.MiddleName, "
           "r.AdmDate, m.BirthDate, m.Sex FROM " + table +
           " AS r LEFT JOIN tbMaster AS m ON m.HospNum = r.HospNum" + (filter.empty() ? "" : " WHERE " + filter) +
           " LIMIT 120)";
}

std::string registrations(const std::string &filter)
{
    return registrationHalf("tbPatient", filter) + " UNION ALL " + registrationHalf("tbOutPatient", filter) +
           " ORDER BY 4 DESC, 2 DESC";
}

const std::string lookUp =
    "SELECT r.HospNum, r.IDNum, m.LastName || ', ' || m.MiddleName || ' ' || m.FirstName, m.BirthDate, m.Sex "
    "FROM tbPatient AS r LEFT JOIN tbMaster AS m ON m.HospNum = r.HospNum WHERE r.IDNum = ?1 LIMIT 100";

void fillPatientFields(frmMain2 *w, const QString &hospNum, const QString &lastName, const QString &firstName,
                       const QDate &birthDate)
{
    w->txtHospNum->setText(hospNum);
    w->txtLastName->setText(lastName);
    w->txtFirstName->setText(firstName);
    w->txtMiddleName->setText(QString());
    w->txtBirthDate->setText(birthDate.isValid() ? mdy(birthDate) : noDate);
}

std::function<int()> patientSearch(frmMain2 *w, QString hospNum, QString lastName, QString firstName, QDate birthDate)
{
    return [=] {
        fillPatientFields(w, hospNum, lastName, firstName, birthDate);
        w->SearchPatients();
        return w->Grid1->rows() - 1;
    };
}

std::function<int()> registrationList(frmMain2 *w, QString hospNum, QDate admDate)
{
    return [=] {
        w->txtHospNum->setText(hospNum);
        w->txtAdmDate->setText(admDate.isValid() ? mdy(admDate) : noDate);
        w->ListRegistrations();
        return w->Grid2->rows() - 1;
    };
}

std::function<int()> admissionLookup(frmMain2 *w, QString idNum)
{
    return [=] {
        w->txtHospNum->setText(QString());
        w->txtIDNum->setText(idNum);
        w->LookUpAdmission();
        return w->txtHospNum->text().isEmpty() ? 0 : 1;
    };
}

} // namespace

std::string storageText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd")).toStdString() + " 00:00:00.000";
}

Samples pickSamples(Floor &floor)
{
    Samples s;
    s.today = QDate::currentDate();
    // Whole-table scans, once, before anything is timed.
    auto common = floor.row("SELECT upper(substr(LastName, 1, 2)) AS p, count(*) AS n FROM tbMaster "
                            "WHERE LastName GLOB '[A-Za-z][A-Za-z]*' GROUP BY p ORDER BY n DESC LIMIT 1");
    auto rare = floor.row("SELECT upper(substr(LastName, 1, 4)) AS p, count(*) AS n FROM tbMaster "
                          "WHERE LastName GLOB '[A-Za-z][A-Za-z][A-Za-z][A-Za-z]*' GROUP BY p ORDER BY n, p LIMIT 1");
    if (common.size() < 2 || rare.size() < 2)
        throw std::runtime_error("the database holds no patients");
    s.commonPrefix = QString::fromStdString(common[0]);
    s.commonCount = std::stoll(common[1]);
    s.rarePrefix = QString::fromStdString(rare[0]);
    s.rareCount = std::stoll(rare[1]);

    // A patient from the middle of the numbering, with a birth date and at least one admission.
    const auto middle = floor.scalar("SELECT HospNum FROM tbMaster ORDER BY HospNum LIMIT 1 OFFSET "
                                     "(SELECT count(*) / 2 FROM tbMaster)");
    auto patient = floor.row("SELECT m.HospNum, m.LastName, m.FirstName, substr(m.BirthDate, 1, 10), "
                             "(SELECT IDNum FROM tbPatient AS p WHERE p.HospNum = m.HospNum LIMIT 1) AS adm "
                             "FROM tbMaster AS m WHERE m.HospNum >= ?1 AND m.BirthDate IS NOT NULL "
                             "AND m.MiddleName IS NOT NULL AND adm IS NOT NULL "
                             // An apostrophe would break the window's statement, which takes values as typed.
                             "AND m.LastName NOT GLOB '*''*' AND m.FirstName NOT GLOB '*''*' "
                             "ORDER BY m.HospNum LIMIT 1",
                             {middle.value_or("")});
    if (patient.size() < 5)
        throw std::runtime_error("no patient with a birth date and an admission");
    s.hospNum = QString::fromStdString(patient[0]);
    s.lastName = QString::fromStdString(patient[1]);
    s.firstName = QString::fromStdString(patient[2]);
    s.birthDate = QDate::fromString(QString::fromStdString(patient[3]), QStringLiteral("yyyy-MM-dd"));
    s.admission = QString::fromStdString(patient[4]);

    // The hard first name: a letter outside ASCII, where the index range can only come from
    // the base letters before it.
    auto accented = floor.row("SELECT FirstName, count(*) AS n FROM tbMaster WHERE FirstName GLOB '*[^ -~]*' "
                              "AND FirstName NOT GLOB '*''*' GROUP BY FirstName ORDER BY n DESC, FirstName LIMIT 1");
    if (accented.size() >= 2) {
        s.accentedFirstName = QString::fromStdString(accented[0]);
        s.accentedCount = std::stoll(accented[1]);
    }
    return s;
}

std::vector<SearchCase> searchCases(frmMain2 *w, const Samples &s)
{
    const std::string common = s.commonPrefix.toStdString();
    const std::string rare = s.rarePrefix.toStdString();
    const std::string first = s.firstName.toStdString();
    const std::string last = s.lastName.toStdString();
    const std::string birth = storageText(s.birthDate);
    const std::string today = storageText(s.today);
    const std::string tomorrow = storageText(s.today.addDays(1));
    // The unary '+' keeps SQLite off the index of that column, so each plan gets its chance.
    const std::string lastRange = "LastName >= ?1 AND LastName < ?2";
    const std::string firstRange = "FirstName >= ?1 AND FirstName < ?2";
    // The range alone would also hold names that sort among the accented ones without starting
    // with them; the prefix compared in the column's collation keeps exactly LIKE's rows.
    const std::string accented = s.accentedFirstName.toStdString();
    const std::string accentedPrefix = " AND substr(FirstName, 1, length(?1)) = ?1 COLLATE TSQL";
    std::vector<SearchCase> cases = {
        {QStringLiteral("patient_lastname_common_prefix"), patientSearch(w, {}, s.commonPrefix, {}, {}),
         {{patientSelect + lastRange + byName}, {common, upperBound(common)}}},
        {QStringLiteral("patient_lastname_rare_prefix"), patientSearch(w, {}, s.rarePrefix, {}, {}),
         {{patientSelect + lastRange + byName}, {rare, upperBound(rare)}}},
        {QStringLiteral("patient_hospnum"), patientSearch(w, s.hospNum, {}, {}, {}),
         {{patientSelect + "HospNum = ?1" + byName}, {s.hospNum.toStdString()}}},
        {QStringLiteral("patient_birthdate"), patientSearch(w, {}, {}, {}, s.birthDate),
         {{patientSelect + "BirthDate = ?1" + byName, patientSelect + "+BirthDate = ?1" + byName}, {birth}}},
        {QStringLiteral("patient_firstname"), patientSearch(w, {}, {}, s.firstName, {}),
         {{patientSelect + firstRange + byName, patientSelect + "+FirstName >= ?1 AND +FirstName < ?2" + byName},
          {first, upperBound(first)}}},
        {QStringLiteral("patient_lastname_birthdate"), patientSearch(w, {}, s.lastName, {}, s.birthDate),
         {{patientSelect + lastRange + " AND BirthDate = ?3" + byName,
           patientSelect + lastRange + " AND +BirthDate = ?3" + byName,
           patientSelect + "+LastName >= ?1 AND +LastName < ?2 AND BirthDate = ?3" + byName},
          {last, upperBound(last), birth}}},
        {QStringLiteral("registrations_today"), registrationList(w, {}, s.today),
         {{registrations("r.AdmDate >= ?1 AND r.AdmDate < ?2")}, {today, tomorrow}}},
        {QStringLiteral("registrations_patient"), registrationList(w, s.hospNum, {}),
         {{registrations("r.HospNum = ?1")}, {s.hospNum.toStdString()}}},
        {QStringLiteral("registrations_all"), registrationList(w, {}, {}), {{registrations({})}, {}}},
        {QStringLiteral("lookup_existing"), admissionLookup(w, s.admission), {{lookUp}, {s.admission.toStdString()}}},
        {QStringLiteral("lookup_missing"), admissionLookup(w, QStringLiteral("NO-SUCH-1")), {{lookUp}, {"NO-SUCH-1"}}},
    };
    if (!accented.empty())
        cases.insert(cases.begin() + 5,
                     {QStringLiteral("patient_firstname_accented"), patientSearch(w, {}, {}, s.accentedFirstName, {}),
                      {{patientSelect + firstRange + accentedPrefix + byName,
                        patientSelect + "+FirstName >= ?1 AND +FirstName < ?2" + accentedPrefix + byName},
                       {accented, upperBound(accented)}}});
    return cases;
}

} // namespace bench
