#include "demo/Population.h"

#include "demo/NamePools.h"
#include "demo/Random.h"

#include <algorithm>
#include <cstdio>

namespace demo {

namespace {

// Purposes of the random streams; each must stay distinct for the patients to stay independent.
enum Purpose : std::uint64_t { Birth = 1, Identity, InPatient, OutPatient };

std::string digits(Random &r, int count)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += static_cast<char>('0' + r.below(10));
    return s;
}

} // namespace

tsql::DateTime toDateTime(QDate date, int hour, int minute, int second)
{
    tsql::DateTime d;
    d.year = date.year();
    d.month = date.month();
    d.day = date.day();
    d.hour = hour;
    d.minute = minute;
    d.second = second;
    return d;
}

Population::Population(std::uint64_t seed, int patients, QDate today)
    : m_seed(seed), m_patients(patients), m_today(today)
{
}

QDate Population::firstDay()
{
    return QDate(2016, 1, 1);
}

QDate Population::lastDay()
{
    return QDate(2025, 12, 31);
}

std::string Population::hospNum(int patient) const
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%07d", 1000001 + patient);
    return buffer;
}

QDate Population::birthDay(int patient) const
{
    Random r(m_seed, static_cast<std::uint64_t>(patient), Birth);
    // Ages up to 95, with fewer of the very old, as a general hospital sees them.
    const int age = r.perMille(150) ? r.between(0, 4) : (r.perMille(900) ? r.between(5, 75) : r.between(76, 95));
    return lastDay().addYears(-age).addDays(-r.between(0, 364));
}

Person Population::person(int patient) const
{
    Random r(m_seed, static_cast<std::uint64_t>(patient), Identity);
    Person p;
    p.hospNum = hospNum(patient);
    p.lastName = r.pick(pools::lastNames);
    const bool male = r.below(2) == 0;
    p.sex = male ? "M" : "F";
    p.firstName = male ? r.pick(pools::maleFirstNames) : r.pick(pools::femaleFirstNames);
    // The middle name is the mother's surname. The site's forms store one never entered as empty
    // text; only the odd imported record has none at all (NULL), which empties the whole name in
    // the grids, and every 200th patient is such a record so that even a small demo shows one.
    if (!r.perMille(60))
        p.middleName = r.pick(pools::lastNames);
    else
        p.middleName = std::string();
    if (patient % 200 == 7)
        p.middleName.reset();
    const QDate born = birthDay(patient);
    if (!r.perMille(15))
        p.birthDate = toDateTime(born);
    const int age = born.daysTo(lastDay()) / 365;
    p.civilStatus = age < 12 ? 5 : (age < 22 ? 1 : r.between(1, 4));

    // A few records were registered with no address at all; the every-173rd rule makes sure even
    // a small demo has some.
    const bool noAddress = r.perMille(5) || patient % 173 == 11;
    if (!noAddress) {
        const pools::City &city = r.pick(pools::cities);
        if (r.perMille(300))
            p.houseStreet = "Blk " + std::to_string(r.between(1, 40)) + " Lot "
                + std::to_string(r.between(1, 60)) + " Phase " + std::to_string(r.between(1, 5));
        else if (r.perMille(150))
            p.houseStreet = "Purok " + std::to_string(r.between(1, 9));
        else
            p.houseStreet = std::to_string(r.between(1, 2500)) + " " + r.pick(pools::streets);
        p.barangay = r.pick(pools::barangays);
        p.city = city.name;
        p.province = city.province;
        if (!r.perMille(40))
            p.zipCode = city.zipCode;
    }
    if (r.perMille(250))
        p.telNum = "(049) " + digits(r, 3) + "-" + digits(r, 4);
    if (age >= 14 && !r.perMille(200))
        p.cellNum = "09" + digits(r, 9);
    if (age >= 18 && r.perMille(200)) {
        std::string local;
        for (char c : p.firstName + p.lastName) {
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
                local += static_cast<char>(c | 0x20);
        }
        p.email = local + std::to_string(r.between(1, 99)) + "@gmail.com";
    }
    if (age < 18)
        p.occupation = age < 5 ? std::optional<std::string>() : std::string("Student");
    else if (!r.perMille(100))
        p.occupation = r.pick(pools::occupations);
    if (!r.perMille(100))
        p.religion = r.pick(pools::religions);
    p.nationality = r.perMille(985) ? "Filipino" : "American";
    if (r.perMille(700)) {
        const pools::City &place = r.pick(pools::cities);
        p.birthPlace = std::string(place.name) + ", " + place.province;
    }
    // Registered on some day after the records went electronic (2006) and after birth.
    const QDate from = std::max(born, QDate(2006, 1, 1));
    const QDate encoded = from.addDays(static_cast<qint64>(r.below(static_cast<std::uint64_t>(from.daysTo(lastDay())) + 1)));
    p.dateEncoded = toDateTime(encoded, r.between(7, 17), r.between(0, 59), r.between(0, 59));
    p.encodedBy = r.pick(pools::staff);
    return p;
}

std::vector<Registration> Population::registrations(int patient, std::uint64_t purpose,
                                                    bool outPatient) const
{
    Random r(m_seed, static_cast<std::uint64_t>(patient), purpose);
    const QDate from = std::max(firstDay(), birthDay(patient));
    const qint64 span = from.daysTo(lastDay());
    int count = r.between(0, 6);
    // Today is an ordinary day: about three registrations of each kind per patient over ten years
    // make some 820 of each a day per million patients. A small database still gets a few, so
    // that the start screen has a list to show.
    constexpr std::uint64_t ordinaryDayPerMillion = 821;
    const std::uint64_t chance =
        std::max<std::uint64_t>(ordinaryDayPerMillion, 5'000'000 / static_cast<std::uint64_t>(std::max(m_patients, 1)));
    const bool today = r.below(1'000'000) < chance;
    if (today && count == 0)
        count = 1;
    std::vector<Registration> list;
    list.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const QDate day = from.addDays(span > 0 ? static_cast<qint64>(r.below(static_cast<std::uint64_t>(span) + 1)) : 0);
        const int hour = outPatient ? r.between(7, 16) : r.between(0, 23);
        Registration reg;
        reg.admDate = toDateTime(day, hour, r.between(0, 59), r.between(0, 59));
        if (!outPatient)
            reg.dischDate = toDateTime(day.addDays(r.between(1, 14)), r.between(8, 17), r.between(0, 59), 0);
        list.push_back(reg);
    }
    // Stable: equal admission times must keep one order on every standard library.
    std::stable_sort(list.begin(), list.end(),
              [](const Registration &a, const Registration &b) { return a.admDate < b.admDate; });
    if (today) {
        Registration &last = list.back();
        last.admDate = toDateTime(m_today, r.between(7, 16), r.between(0, 59), r.between(0, 59));
        last.dischDate.reset(); // still in the hospital
        last.today = true;
    }
    return list;
}

std::vector<Registration> Population::admissions(int patient) const
{
    return registrations(patient, InPatient, false);
}

std::vector<Registration> Population::visits(int patient) const
{
    return registrations(patient, OutPatient, true);
}

} // namespace demo
