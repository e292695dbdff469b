#pragma once

#include <QString>

namespace platform {

// `text` as a T-SQL string literal. For the program's own statements only: the search window's
// statements take values as typed, and that stays so.
inline QString quotedText(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''"))
           + QLatin1Char('\'');
}

} // namespace platform
