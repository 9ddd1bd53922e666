// The RX-100 calibration tool: its window, the tables of its poll cycle, the USB Modbus switch
// and the packing of the PWM enable mask.
#pragma once

#include "model.h"
#include "rx100words.h"

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

const calcore::Model& model();

} // namespace rx100
