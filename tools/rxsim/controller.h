// The controller's state: 256 memory words, 256 EEPROM words, the USB Modbus register and a
// running clock, with the start values of each model. Applies command frames and Modbus
// broadcasts and builds the reply lines.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rxsim {

enum class Model { Rx200, Rx100, Rx300 };

std::optional<Model> modelFromName(std::string_view name);
const char* modelName(Model model);

struct ClockTime {
    int day = 1; // 1..31
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    bool operator==(const ClockTime&) const = default;
};

// Clock words: running seconds, minutes, hours, day; the set command and its BCD values.
inline constexpr std::uint8_t kClockSeconds = 60;
inline constexpr std::uint8_t kClockMinutes = 61;
inline constexpr std::uint8_t kClockHours = 62;
inline constexpr std::uint8_t kClockDay = 63;
inline constexpr std::uint8_t kClockSetCommand = 65;
inline constexpr std::uint8_t kClockNewSeconds = 66; // 67 minutes, 68 hours, 69 day

// Decodes a BCD byte (0x45 -> 45); nullopt when a nibble is not a decimal digit.
std::optional<int> fromBcd(std::uint16_t value);

class Controller {
  public:
    using TimeSource = std::function<double()>; // seconds, any fixed origin

    Controller(Model model, TimeSource now, ClockTime start);

    Model model() const { return model_; }
    void setPadded(bool padded) { padded_ = padded; }

    // What a read returns: clock words run, live inputs drift a little every second.
    std::uint16_t memory(std::uint8_t word) const;
    std::uint16_t eeprom(std::uint8_t word) const { return eeprom_[word]; }
    // From `atSeconds` after the start, memory word `word` moves to `target` as an input settles
    // after a step: most of the way in 2 s, all but a count in about 15 s, still drifting. A
    // write of the word ends it.
    void stepMemory(std::uint8_t word, std::uint16_t target, double atSeconds);
    // What a write does: a write of M65 with 1..4 sets one clock field from M66..M69.
    void writeMemory(std::uint8_t word, std::uint16_t value);
    void writeEeprom(std::uint8_t word, std::uint16_t value) { eeprom_[word] = value; }

    // Applies one complete command frame; returns the reply line of a read.
    std::optional<std::vector<std::uint8_t>> handleCommand(const std::vector<std::uint8_t>& frame);
    // Applies one Modbus broadcast with a valid CRC; false when it is not one the device uses.
    bool handleModbus(const std::vector<std::uint8_t>& message);

    std::vector<std::uint8_t> reply(char tag, std::uint8_t word, std::uint16_t value) const;

    std::uint16_t usbModbus() const { return usbModbus_; }
    ClockTime clock() const;

  private:
    static constexpr int kClockCycle = 31 * 86400; // day 1..31, then day 1 again

    void loadStartValues();
    void setClock(const ClockTime& time);
    void runClockCommand(int command);
    int elapsedSeconds() const;

    Model model_;
    TimeSource now_;
    bool padded_ = false;
    std::array<std::uint16_t, 256> memory_{};
    std::array<std::uint16_t, 256> eeprom_{};
    std::bitset<256> drifting_;
    struct Step {
        std::uint16_t target = 0;
        double at = 0;
    };
    std::array<std::optional<Step>, 256> steps_{};
    std::uint16_t usbModbus_ = 1;
    int clockBase_ = 0; // seconds into the 31-day cycle at clockOrigin_
    double clockOrigin_ = 0;
    double start_ = 0;
};

} // namespace rxsim
