// Command line of the simulator.
#pragma once

#include "controller.h"
#include "faults.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rxsim {

struct WordSetting {
    char space = 'M'; // 'M' memory word, 'E' EEPROM word
    std::uint8_t word = 0;
    std::uint16_t value = 0;
    bool operator==(const WordSetting&) const = default;
};

// A memory word that steps to a value some seconds after the start (--step M15=2400@10).
struct WordStep {
    std::uint8_t word = 0;
    std::uint16_t value = 0;
    double atSeconds = 0;
    bool operator==(const WordStep&) const = default;
};

// A word the controller leaves unanswered (--mute).
struct WordRef {
    char space = 'M';
    std::uint8_t word = 0;
    bool operator==(const WordRef&) const = default;
};

struct Options {
    Model model = Model::Rx200;
    std::string link;
    std::string log;
    std::string pidfile;
    bool pad = false;
    bool pace = true;
    bool silent = false;
    double latencyMs = 1.0;
    std::vector<WordSetting> settings;
    std::vector<WordRef> muted;
    std::vector<WordStep> steps;
    FaultConfig faults;
    bool help = false;
};

// Parses "M15=1234,E28=0" and appends to out; false with a message on the first bad item.
bool parseWordSettings(std::string_view text, std::vector<WordSetting>& out, std::string& error);

// Parses "M15=2400@10,M16=900@30" and appends to out; false with a message on the first bad item.
bool parseWordSteps(std::string_view text, std::vector<WordStep>& out, std::string& error);

// Parses "M151,E28" and appends to out; false with a message on the first bad item.
bool parseWordList(std::string_view text, std::vector<WordRef>& out, std::string& error);

// args without the program name; "--name value" and "--name=value" are both accepted.
bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error);

const char* usageText();

} // namespace rxsim
