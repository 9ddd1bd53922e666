// The words the RX-100 tool's poll cycle reads for its parameters, in its order: the tool's own
// list, which rxmem reads too, without the tool's window.
#pragma once

#include "wordread.h"

namespace rx100 {

// Parameter refresh, steps 2 and 7 after a request. E28 is kept for the start-up setting of
// "Usar Modbus", which reads it from the cycle rather than from a label.
inline constexpr calcore::WordRead refreshReads[] = {
    {.space = rxline::Space::Memory, .word = 19, .label = "Label52"},
    {.space = rxline::Space::Memory, .word = 27, .label = "Label53"},
    {.space = rxline::Space::Memory, .word = 18, .label = "Label56"},
    {.space = rxline::Space::Eeprom, .word = 30, .label = "Label7"},
    {.space = rxline::Space::Eeprom, .word = 31, .label = "Label8"},
    {.space = rxline::Space::Memory, .word = 17, .label = "Label61"},
    {.space = rxline::Space::Eeprom, .word = 28},
    {.space = rxline::Space::Eeprom, .word = 29, .label = "Label45"},
    {.space = rxline::Space::Eeprom, .word = 30, .label = "Label72"},
    {.space = rxline::Space::Eeprom, .word = 31, .label = "Label74"},
};

} // namespace rx100
