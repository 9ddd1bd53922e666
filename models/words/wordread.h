// A word a calibration tool's poll cycle reads, and the label that shows its value text: the
// rows of the models' word lists, which need nothing of a window.
#pragma once

#include "wordspace.h"

#include <cstdint>

namespace calcore {

// The label is nullptr for a word that is kept, not shown.
struct WordRead {
    rxline::Space space;
    std::uint8_t word;
    const char* label = nullptr;
};

} // namespace calcore
