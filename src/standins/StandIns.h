#pragma once

namespace standins {

// Registers the program's own current-user and header components with the registry. Called by
// the program's start-up, explicitly: a self-registering static object in a static library is
// dropped by the linker when nothing else refers to its file.
void registerComponents();

} // namespace standins
