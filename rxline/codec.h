// The controller's command protocol as plain data: frames, the cut of a value out of a reply,
// entry values, clock BCD and the pending-write dispatch table. Knows nothing of ports or windows.
#pragma once

#include "replyline.h"
#include "wordspace.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rxline {

constexpr std::uint8_t CR = 0x0D;

// "RM" a CR / "RE" a CR.
std::array<std::uint8_t, 4> readFrame(Space space, std::uint8_t word);
// "WM" a hi lo CR / "WE" a hi lo CR: the value travels high byte first.
std::array<std::uint8_t, 6> writeFrame(Space space, std::uint8_t word, std::uint8_t hi,
                                       std::uint8_t lo);

// The calibration tools' value text of a reply line (one whole line, its CR last): the (up to)
// five characters after the echoed number, which include the CR when the value is shorter than
// five digits. std::nullopt when the line does not name the word (parseReply's Other).
std::optional<std::string> replyValue(std::string_view line, char tag, std::uint8_t word);
// The same cut of what follows the echoed number (without its CR).
std::string valueTextOf(std::string_view afterNumber);

// A value text as a label shows it: the CR that a short value brings along is not a glyph.
std::string displayText(std::string_view valueText);

// True when a value text reads as the number 1 ("1", "00001", "1" CR). Empty or non-numeric
// texts never read as 1.
bool readsAsOne(std::string_view valueText);

// The number an entry box begins with: blanks skipped, an optional sign, digits, an optional
// decimal fraction; reading stops at the first character that cannot continue the number; empty
// or non-numeric text gives 0. Rounded to the nearest whole number, halves to the even neighbour.
// std::nullopt when the rounded number does not fit in 32 signed bits.
std::optional<std::int32_t> entryValue(std::string_view text);

struct ValueBytes {
    std::uint8_t hi;
    std::uint8_t lo;
};
// Only the low 16 bits reach the controller: lo = v AND 255, hi = (v AND 0xFF00) / 256.
constexpr ValueBytes splitValue(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<std::uint8_t>((u & 0xFF00u) >> 8), static_cast<std::uint8_t>(u & 0xFFu)};
}

// Shifts a 32-bit value left; bits moved out at the top are lost, zeros come in at the bottom.
std::int32_t LShiftLong(std::int32_t value, int shift);

// The BCD byte of a clock entry (UTF-8): tens from its first character, units from its second
// (a missing or non-digit character counts 0; the rest is ignored). "5" gives 0x50.
std::uint8_t clockBcd(std::string_view entry);

// What step 5 of the poll cycle does with a pending write code.
struct WriteAction {
    enum Kind : std::uint8_t { Drop, Memory, Eeprom, Clock };
    Kind kind = Drop;
    std::uint8_t word = 0; // word written (Memory, Eeprom) or clock code 66..69 (Clock)
};
using DispatchTable = std::array<WriteAction, 256>;

// The clock set command written to M65 after the BCD value: 1 seconds .. 4 day.
constexpr std::uint8_t ClockSetWord = 65;
constexpr std::uint8_t clockCommand(std::uint8_t code) {
    return static_cast<std::uint8_t>(code - 65);
}

// CRC-16 of a Modbus RTU message (initial value 0xFFFF, reflected polynomial 0xA001); the low
// byte goes out first.
constexpr std::uint16_t crc16Modbus(const std::uint8_t* data, std::size_t size) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u)
                             : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

// True when the last two bytes of `message` are the CRC of the bytes before them.
template <std::size_t N> constexpr bool modbusCrcHolds(const std::array<std::uint8_t, N>& message) {
    static_assert(N >= 3);
    const std::uint16_t crc = crc16Modbus(message.data(), N - 2);
    return message[N - 2] == (crc & 0xFF) && message[N - 1] == (crc >> 8);
}

} // namespace rxline
