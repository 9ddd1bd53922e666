// The controller's two word spaces and the letter each one's words go by: all that the
// parameter file, the editor and the models' word lists take of the line. Plain C++, header only.
#pragma once

#include <cstdint>

namespace rxline {

// The controller's two word spaces. An M-number and an E-number with the same value are
// different words.
enum class Space : std::uint8_t { Memory, Eeprom };

// The letter a reply starts with: "M" after "RM", "E" after "RE".
constexpr char tagOf(Space s) {
    return s == Space::Memory ? 'M' : 'E';
}

} // namespace rxline
