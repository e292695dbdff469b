#pragma once
// What is searched for, and each search both ways: through the search window (statement built by
// the window, engine, recordset, rows into the grid with the event pump) and as the floor.

#include "Floor.h"

#include <QDate>
#include <QString>
#include <functional>
#include <vector>

class frmMain2;

namespace bench {

// Values taken from the database itself, so the cases fit whatever the generator made.
struct Samples {
    QString commonPrefix; // the two letters most last names start with
    long long commonCount = 0;
    QString rarePrefix;   // a four-letter beginning that few last names have
    long long rareCount = 0;
    QString hospNum;      // a patient with a birth date and an in-patient admission
    QString lastName;
    QString firstName;
    QDate birthDate;
    QString admission;    // one of that patient's admissions
    QString accentedFirstName; // the commonest first name with a letter outside ASCII ("" if none)
    long long accentedCount = 0;
    QDate today;
};

Samples pickSamples(Floor &floor);

struct SearchCase {
    QString name;
    std::function<int()> engine; // returns the rows the window shows
    FloorQuery floor;
};

std::vector<SearchCase> searchCases(frmMain2 *window, const Samples &samples);

// How datetime values are stored in the database files.
std::string storageText(const QDate &date);

} // namespace bench
