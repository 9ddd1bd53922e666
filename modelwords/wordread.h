// A word a calibration tool's poll cycle reads, and the label that shows its value text: the
// rows of the models' word lists, which need nothing of a window.
#pragma once

#include "wordspace.h"

#include <cstdint>

namespace calcore {

// The label is nullptr for a word that is kept, not shown. `caption` names a live value as the
// window does ("Ain1"); the trend window adds the word ("Ain1 (M15)").
struct WordRead {
    rxline::Space space;
    std::uint8_t word;
    const char* label = nullptr;
    const char* caption = nullptr;
};

} // namespace calcore
