#pragma once

#include "platform/ui/DateText.h"

#include <QDateTime>
#include <QVariant>

namespace search {

// A field's default text form as the grids show it: NULL is empty, a date-time its default text.
inline QString fieldText(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return platform::ui::defaultDateTimeText(value.toDateTime());
    return value.toString();
}

} // namespace search
