#include "records/GetAge.h"

#include "platform/ui/DateText.h"

#include <cmath>

namespace records {

short GetAge(const QString &BirthDate, const QString &Today)
{
    // The blank text of an unmasked date field counts as no date.
    if (BirthDate == QLatin1String("  /  /    "))
        return 0;
    const auto birth = platform::ui::parseDateText(BirthDate);
    const auto today = platform::ui::parseDateText(Today);
    if (!birth || !today)
        return 0;
    const qint64 days = birth->date().daysTo(today->date());
    // Fixed 365.25-day years, floored toward minus infinity: a birth date after today is -1.
    return static_cast<short>(std::floor(static_cast<double>(days + 1) / 365.25));
}

} // namespace records
