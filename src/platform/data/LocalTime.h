#pragma once

namespace platform {

// Names the system's time zone file in TZ when TZ is unset, so that the C library reads the zone
// once instead of checking the file again on every local date-time conversion. Call it first in
// main(), before any thread starts; a TZ that is already set is left as it is.
void keepLocalTimeZone();

} // namespace platform
