#pragma once

#include <QString>

namespace records {

// Whole years between a birth date text and now, with 365.25-day years; 0 for text that is no date.
short GetAge(const QString &BirthDate, const QString &Today);

} // namespace records
