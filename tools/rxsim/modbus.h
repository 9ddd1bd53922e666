// Modbus RTU pieces the controller recognises on its command line: the CRC and the two
// broadcasts that switch Modbus on the USB port off and on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rxsim {

// CRC-16 of Modbus RTU: initial value 0xFFFF, reflected polynomial 0xA001. On the line the
// low byte goes first.
constexpr std::uint16_t crc16Modbus(const std::uint8_t* data, std::size_t size) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (crc & 1U) != 0;
            crc = static_cast<std::uint16_t>(crc >> 1);
            if (carry) crc ^= 0xA001;
        }
    }
    return crc;
}

inline std::uint16_t crc16Modbus(const std::vector<std::uint8_t>& bytes) {
    return crc16Modbus(bytes.data(), bytes.size());
}

// Length of a Write Single Register message: address, function, register, value, CRC.
inline constexpr std::size_t kModbusMessageSize = 8;
inline constexpr std::uint8_t kModbusBroadcastAddress = 0x00;
inline constexpr std::uint8_t kModbusWriteSingleRegister = 0x06;
// Holding register that switches Modbus on the USB port (1 = on).
inline constexpr std::uint16_t kUsbModbusRegister = 149;

inline constexpr std::array<std::uint8_t, kModbusMessageSize> kUsbModbusOffFrame{
    0x00, 0x06, 0x00, 0x95, 0x00, 0x00, 0x98, 0x37};
inline constexpr std::array<std::uint8_t, kModbusMessageSize> kUsbModbusOnFrame{
    0x00, 0x06, 0x00, 0x95, 0x00, 0x01, 0x59, 0xF7};

// True when the last two bytes of an 8-byte message are the CRC of the first six, low byte first.
constexpr bool modbusCrcValid(const std::uint8_t* message) {
    const std::uint16_t crc = crc16Modbus(message, kModbusMessageSize - 2);
    return message[6] == (crc & 0xFF) && message[7] == (crc >> 8);
}

static_assert(modbusCrcValid(kUsbModbusOffFrame.data()));
static_assert(modbusCrcValid(kUsbModbusOnFrame.data()));

} // namespace rxsim
