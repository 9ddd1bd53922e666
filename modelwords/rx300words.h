// The words the RX-300 tool's poll cycle reads for its parameters, in its order: the tool's own
// list, which rxmem reads too, without the tool's window.
#pragma once

#include "wordread.h"

namespace rx300 {

// Parameter refresh, steps 2 and 7 after a request. E74 is read twice: first for its label,
// last for the Q2 box, which takes the word's last value text.
inline constexpr calcore::WordRead refreshReads[] = {
    {.space = rxline::Space::Eeprom, .word = 70, .label = "Label1"},
    {.space = rxline::Space::Eeprom, .word = 71, .label = "Label2"},
    {.space = rxline::Space::Eeprom, .word = 72, .label = "Label3"},
    {.space = rxline::Space::Eeprom, .word = 73, .label = "Label4"},
    {.space = rxline::Space::Eeprom, .word = 74, .label = "Label50"},
    {.space = rxline::Space::Eeprom, .word = 28},
    {.space = rxline::Space::Eeprom, .word = 29},
    {.space = rxline::Space::Eeprom, .word = 74},
};

} // namespace rx300
