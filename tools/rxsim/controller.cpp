#include "controller.h"

#include "frameparser.h"
#include "modbus.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace rxsim {

namespace {

using WordValue = std::pair<std::uint8_t, std::uint16_t>;

void assign(std::array<std::uint16_t, 256>& words, std::initializer_list<WordValue> values) {
    for (const auto& [word, value] : values)
        words[word] = value;
}

// A non-zero value for general memory words, of one to five digits depending on the word.
std::uint16_t fillValue(int word) {
    static constexpr int kLow[] = {1, 10, 100, 1000, 10000};
    static constexpr int kSpan[] = {9, 90, 900, 9000, 55536};
    const int digits = word % 5;
    return static_cast<std::uint16_t>(kLow[digits] + (word * 7919 + 17) % kSpan[digits]);
}

int toSeconds(const ClockTime& t) {
    return (t.day - 1) * 86400 + t.hours * 3600 + t.minutes * 60 + t.seconds;
}

bool clockValid(const ClockTime& t) {
    return t.day >= 1 && t.day <= 31 && t.hours >= 0 && t.hours <= 23 && t.minutes >= 0 &&
           t.minutes <= 59 && t.seconds >= 0 && t.seconds <= 59;
}

} // namespace

std::optional<Model> modelFromName(std::string_view name) {
    if (name == "rx200") return Model::Rx200;
    if (name == "rx100") return Model::Rx100;
    if (name == "rx300") return Model::Rx300;
    return std::nullopt;
}

const char* modelName(Model model) {
    switch (model) {
    case Model::Rx100:
        return "rx100";
    case Model::Rx300:
        return "rx300";
    case Model::Rx200:
        break;
    }
    return "rx200";
}

std::optional<int> fromBcd(std::uint16_t value) {
    if (value > 0xFF) return std::nullopt;
    const int tens = value >> 4;
    const int units = value & 0x0F;
    if (tens > 9 || units > 9) return std::nullopt;
    return tens * 10 + units;
}

Controller::Controller(Model model, TimeSource now, ClockTime start)
    : model_(model), now_(std::move(now)) {
    start_ = now_();
    loadStartValues();
    setClock(clockValid(start) ? start : ClockTime{});
}

void Controller::loadStartValues() {
    for (int w = 21; w <= 59; ++w)
        memory_[w] = fillValue(w);
    for (int w = 100; w <= 240; ++w)
        memory_[w] = fillValue(w);

    switch (model_) {
    case Model::Rx200:
        // Live inputs Ain4, Ain3, Ain1, Ain2; outputs AO1..AO3, AO4; cold junction.
        assign(memory_, {{13, 2750},
                         {14, 1820},
                         {15, 612},
                         {16, 1275},
                         {17, 400},
                         {18, 850},
                         {19, 1200},
                         {20, 250},
                         {36, 2000}});
        for (int w = 13; w <= 16; ++w)
            drifting_.set(w);
        // Zero/span points of the inputs, 4 mA / 20 mA points of the outputs.
        assign(eeprom_, {{70, 12},
                         {71, 4010},
                         {72, 50},
                         {73, 380},
                         {74, 0},
                         {76, 52},
                         {77, 376},
                         {78, 49},
                         {79, 383},
                         {80, 0},
                         {81, 4000},
                         {82, 8},
                         {83, 3990},
                         {84, 15},
                         {85, 4005},
                         {86, 51},
                         {87, 379}});
        assign(eeprom_, {{28, 1}, {29, 1}});
        break;
    case Model::Rx100:
        // PWM duties of Q4, Q3, Q1 and the PWM frequency in Hz.
        assign(memory_, {{17, 500}, {18, 250}, {19, 750}, {27, 60}});
        // Modbus use, RS485 address, USB address, RS485 speed.
        assign(eeprom_, {{28, 1}, {29, 1}, {30, 247}, {31, 9600}});
        break;
    case Model::Rx300:
        assign(memory_, {{15, 1480}, {16, 2210}});
        drifting_.set(15);
        drifting_.set(16);
        // Zero/span of Ain1 and Ain4, AC input range code, further parameters.
        assign(eeprom_, {{70, 20}, {71, 4020}, {72, 10}, {73, 3980}, {74, 460}});
        assign(
            eeprom_,
            {{20, 110}, {21, 220}, {22, 330}, {23, 440}, {24, 5}, {25, 1500}, {26, 75}, {27, 1}});
        assign(eeprom_, {{28, 0}, {29, 1}});
        break;
    }
}

int Controller::elapsedSeconds() const {
    return static_cast<int>(std::floor(now_() - clockOrigin_));
}

ClockTime Controller::clock() const {
    int total = (clockBase_ + elapsedSeconds() % kClockCycle) % kClockCycle;
    ClockTime t;
    t.day = total / 86400 + 1;
    total %= 86400;
    t.hours = total / 3600;
    t.minutes = total % 3600 / 60;
    t.seconds = total % 60;
    return t;
}

void Controller::setClock(const ClockTime& time) {
    // Like a real-time clock whose divider restarts when it is set.
    clockBase_ = toSeconds(time);
    clockOrigin_ = now_();
}

void Controller::runClockCommand(int command) {
    const auto value = fromBcd(memory_[kClockNewSeconds + command - 1]);
    if (!value) return;
    ClockTime t = clock();
    switch (command) {
    case 1:
        t.seconds = *value;
        break;
    case 2:
        t.minutes = *value;
        break;
    case 3:
        t.hours = *value;
        break;
    default:
        t.day = *value;
        break;
    }
    if (clockValid(t)) setClock(t);
}

std::uint16_t Controller::memory(std::uint8_t word) const {
    if (word >= kClockSeconds && word <= kClockDay) {
        const ClockTime t = clock();
        const int fields[] = {t.seconds, t.minutes, t.hours, t.day};
        return static_cast<std::uint16_t>(fields[word - kClockSeconds]);
    }
    int value = memory_[word];
    if (const auto& step = steps_[word]; step && now_() - start_ >= step->at) {
        const double settled = std::exp(-(now_() - start_ - step->at) / 2.0);
        value = int(std::lround(step->target + (value - step->target) * settled));
    }
    if (drifting_.test(word)) {
        // A few counts up and down, changing once a second.
        const int second = static_cast<int>(std::floor(now_() - start_));
        value += (second + word * 3) % 7 - 3;
    }
    return static_cast<std::uint16_t>(std::clamp(value, 0, 65535));
}

void Controller::stepMemory(std::uint8_t word, std::uint16_t target, double atSeconds) {
    steps_[word] = Step{target, atSeconds};
}

void Controller::writeMemory(std::uint8_t word, std::uint16_t value) {
    drifting_.reset(word);
    steps_[word].reset();
    if (word >= kClockSeconds && word <= kClockDay) {
        // The running clock words take a plain binary value in their range.
        ClockTime t = clock();
        int* fields[] = {&t.seconds, &t.minutes, &t.hours, &t.day};
        *fields[word - kClockSeconds] = value;
        if (clockValid(t)) setClock(t);
        return;
    }
    memory_[word] = value;
    if (word == kClockSetCommand && value >= 1 && value <= 4) {
        runClockCommand(value);
        memory_[word] = 0;
    }
}

std::vector<std::uint8_t> Controller::reply(char tag, std::uint8_t word,
                                            std::uint16_t value) const {
    std::string text(1, tag);
    text += std::to_string(word);
    std::string digits = std::to_string(value);
    if (padded_ && digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
    text += digits;
    text += static_cast<char>(kCR);
    return {text.begin(), text.end()};
}

std::optional<std::vector<std::uint8_t>>
Controller::handleCommand(const std::vector<std::uint8_t>& frame) {
    if (frame.size() < kReadFrameSize || frame.back() != kCR) return std::nullopt;
    const bool memorySpace = frame[1] == 'M';
    const std::uint8_t word = frame[2];
    if (frame[0] == 'R' && frame.size() == kReadFrameSize) {
        const std::uint16_t value = memorySpace ? memory(word) : eeprom(word);
        return reply(memorySpace ? 'M' : 'E', word, value);
    }
    if (frame[0] == 'W' && frame.size() == kWriteFrameSize) {
        const auto value = static_cast<std::uint16_t>(frame[3] << 8 | frame[4]);
        if (memorySpace)
            writeMemory(word, value);
        else
            writeEeprom(word, value);
    }
    return std::nullopt;
}

bool Controller::handleModbus(const std::vector<std::uint8_t>& message) {
    if (message.size() != kModbusMessageSize || message[0] != kModbusBroadcastAddress ||
        message[1] != kModbusWriteSingleRegister || !modbusCrcValid(message.data()))
        return false;
    const int reg = message[2] << 8 | message[3];
    const int value = message[4] << 8 | message[5];
    if (reg != kUsbModbusRegister || value > 1) return false;
    usbModbus_ = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace rxsim
