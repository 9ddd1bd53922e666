// The RX-100 calibration tool: its window, the tables of its poll cycle, the USB Modbus switch
// and the packing of the PWM enable mask.
#pragma once

#include "model.h"

#include <array>
#include <cstdint>
#include <string>

namespace rx100 {

// Broadcast Write Single Register to holding register 149, which switches Modbus on the USB
// port: sent as they stand, so the tool's own command frames on that port are not taken for
// Modbus while it runs.
constexpr std::array<std::uint8_t, 8> UsbModbusOffFrame{0x00, 0x06, 0x00, 0x95,
                                                        0x00, 0x00, 0x98, 0x37};
constexpr std::array<std::uint8_t, 8> UsbModbusOnFrame{0x00, 0x06, 0x00, 0x95,
                                                       0x00, 0x01, 0x59, 0xF7};
static_assert(rxline::modbusCrcHolds(UsbModbusOffFrame));
static_assert(rxline::modbusCrcHolds(UsbModbusOnFrame));

// The PWM enable mask E79 as the decimal text the mask box shows: bit i set exactly when the
// box "Ativa PWM- Q(i+1)" is ticked (ticked[0] is Q1). Text typed before is not kept.
std::string PackPwmMask(const std::array<bool, 8>& ticked);

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

const calcore::Model& model();

} // namespace rx100
