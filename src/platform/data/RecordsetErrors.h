#pragma once
// The old provider's texts and numbers for misuse of a recordset, which callers that came from it
// know; both connections raise the same ones.

#include "platform/Failure.h"

namespace platform::detail {

inline DatabaseError itemNotFound()
{
    return DatabaseError(QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."), 3265);
}
inline DatabaseError noCurrentRecord()
{
    return DatabaseError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                        "Requested operation requires a current record."), 3021);
}
inline DatabaseError objectClosed()
{
    return DatabaseError(QStringLiteral("Operation is not allowed when the object is closed."), 3704);
}

} // namespace platform::detail
