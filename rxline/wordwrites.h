// How a memory word is written by hand, word by word: some memory words are also stored in
// EEPROM by a second frame, and every write is followed by a pause before the next frame.
// Plain C++ with no Qt, shared by the editor and rxmem.
#pragma once

namespace rxline {

// The pause after a write's last frame.
constexpr int PauseAfterWriteMs = 100;

// The EEPROM word a memory word's write also stores (M22 -> E2, M36..M59 -> E16..E39), or -1.
constexpr int eepromTwinOf(int memoryWord) {
    return memoryWord == 22 || (memoryWord >= 36 && memoryWord <= 59) ? memoryWord - 20 : -1;
}

// The pause between a memory word's frame and its EEPROM twin's.
constexpr int pauseBeforeTwinMs(int memoryWord) {
    return memoryWord == 22 ? 50 : 100;
}

} // namespace rxline
