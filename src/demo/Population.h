#pragma once

#include "tsql/Session.h"

#include <QDate>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace demo {

struct Person {
    std::string hospNum;
    std::string lastName;
    std::string firstName;
    std::optional<std::string> middleName;
    std::optional<tsql::DateTime> birthDate;
    std::string sex;
    int civilStatus = 1;
    std::optional<std::string> houseStreet, barangay, city, province, zipCode;
    std::optional<std::string> telNum, cellNum, email;
    std::optional<std::string> occupation, religion, nationality, birthPlace;
    tsql::DateTime dateEncoded;
    std::string encodedBy;
};

// One admission or out-patient visit, before it is given its admission number.
struct Registration {
    tsql::DateTime admDate;
    std::optional<tsql::DateTime> dischDate;
    bool today = false;
};

// The synthetic patients of one seed. Every answer is a pure function of (seed, patient index),
// so each table can be written in its own pass and all of them agree.
class Population {
public:
    Population(std::uint64_t seed, int patients, QDate today);

    int patients() const { return m_patients; }
    std::uint64_t seed() const { return m_seed; }

    std::string hospNum(int patient) const;
    Person person(int patient) const;
    std::vector<Registration> admissions(int patient) const;
    std::vector<Registration> visits(int patient) const;

    // The ten years the registrations are spread over; fixed so that a seed always gives the same
    // rows, whatever the day. Only the registrations marked `today` move with the calendar.
    static QDate firstDay();
    static QDate lastDay();

private:
    QDate birthDay(int patient) const;
    std::vector<Registration> registrations(int patient, std::uint64_t purpose, bool outPatient) const;

    std::uint64_t m_seed;
    int m_patients;
    QDate m_today;
};

tsql::DateTime toDateTime(QDate date, int hour = 0, int minute = 0, int second = 0);

} // namespace demo
