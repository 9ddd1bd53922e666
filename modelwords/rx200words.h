// The words the RX-200 tool's poll cycle reads for its parameters, in its order: the tool's own
// list, which rxmem reads too, without the tool's window.
#pragma once

#include "wordread.h"

namespace rx200 {

// Parameter refresh, steps 2 and 7 after a request. E75 is not read.
inline constexpr calcore::WordRead refreshReads[] = {
    {.space = rxline::Space::Eeprom, .word = 70, .label = "Label5"},
    {.space = rxline::Space::Eeprom, .word = 71, .label = "Label6"},
    {.space = rxline::Space::Eeprom, .word = 72, .label = "Label32"},
    {.space = rxline::Space::Eeprom, .word = 73, .label = "Label31"},
    {.space = rxline::Space::Eeprom, .word = 76, .label = "Label35"},
    {.space = rxline::Space::Eeprom, .word = 77, .label = "Label34"},
    {.space = rxline::Space::Eeprom, .word = 78, .label = "Label38"},
    {.space = rxline::Space::Eeprom, .word = 79, .label = "Label37"},
    {.space = rxline::Space::Memory, .word = 17, .label = "Label33"},
    {.space = rxline::Space::Memory, .word = 18, .label = "Label36"},
    {.space = rxline::Space::Memory, .word = 19, .label = "Label41"},
    {.space = rxline::Space::Memory, .word = 36, .label = "Label48"},
    {.space = rxline::Space::Eeprom, .word = 80, .label = "Label1"},
    {.space = rxline::Space::Eeprom, .word = 81, .label = "Label2"},
    {.space = rxline::Space::Eeprom, .word = 82, .label = "Label7"},
    {.space = rxline::Space::Eeprom, .word = 83, .label = "Label8"},
    {.space = rxline::Space::Eeprom, .word = 84, .label = "Label3"},
    {.space = rxline::Space::Eeprom, .word = 85, .label = "Label4"},
    {.space = rxline::Space::Eeprom, .word = 87, .label = "Label42"},
    {.space = rxline::Space::Eeprom, .word = 86, .label = "Label43"},
    {.space = rxline::Space::Eeprom, .word = 28},
    {.space = rxline::Space::Eeprom, .word = 29, .label = "Label45"},
    {.space = rxline::Space::Eeprom, .word = 74},
};

} // namespace rx200
