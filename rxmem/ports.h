// rxmem ports: which port a controller answers on.
#pragma once

#include "cli.h"

namespace rxmem {

// Asks every port of the list, or those of --port, at once and prints what each port is: a
// controller answers (with the word read and its value), silent, in use, no permission, cannot be
// opened. Returns 0 when a controller answered somewhere, 1 when none did.
int runPorts(const Options& options);

} // namespace rxmem
