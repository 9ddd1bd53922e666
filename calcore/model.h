// What makes one calibration tool: its window and the tables its poll cycle consumes.
#pragma once

#include "codec.h"

#include <initializer_list>
#include <span>

namespace calcore {

// Left, top, width, height in twips (1/1440 inch); 15 twips are one pixel at 96 dpi.
struct Twips {
    int left, top, width, height;
};
constexpr int twipsToPixels(int twips) {
    return (twips + 7) / 15;
}

enum class ControlKind { Label, Button, Entry, CheckBox, Frame };

struct ControlSpec {
    const char* name; // the design name, also the Qt object name
    ControlKind kind;
    const char* caption; // caption or start text
    Twips rect;          // relative to the parent frame when there is one
    bool visible = true;
    const char* parent = nullptr; // name of the frame that holds it
    double points = 0;            // font size; 0 = the window's font
};

// A word the cycle reads, and the label that shows its value text (nullptr: kept, not shown).
struct WordBinding {
    Space space;
    std::uint8_t word;
    const char* label = nullptr;
};

enum class RequestKind {
    EntryValue, // the entry's value as the pending bytes, the code, restart with a refresh
    CodeOnly,   // the code only; the entry is read when step 5 carries it out
};

// A button that records a pending write.
struct RequestSpec {
    const char* button;
    const char* entry;
    int code;
    RequestKind kind = RequestKind::EntryValue;
};

// A check box that holds a controller flag: set once from the word at the end of the first
// cycle; a change queues the write of its code with 1 or 0.
struct CheckSpec {
    const char* box;
    Space space;
    std::uint8_t word;
    int code;
};

// The entry box a clock code (66 seconds .. 69 day) takes its two digits from.
struct ClockEntry {
    int code;
    const char* entry;
};

struct Model {
    const char* caption;
    int clientWidthTwips;
    int clientHeightTwips;
    std::span<const ControlSpec> controls;
    std::span<const WordBinding> refreshReads; // steps 2 and 7, after a request
    std::span<const WordBinding> liveReads;    // step 3 of every cycle
    std::span<const RequestSpec> requests;
    std::span<const CheckSpec> checks;
    std::span<const ClockEntry> clockEntries;
    DispatchTable dispatch{};
    EchoDigits memoryEcho = EchoDigits::UpToTwo;
};

// Builds a dispatch table: every code not listed is dropped without a frame.
struct DispatchRule {
    std::initializer_list<int> codes;
    WriteAction::Kind kind;
    int wordOffset = 0; // word = code + offset (plain writes: 0)
    int fixedWord = -1; // when >= 0 the word written, whatever the code
};
constexpr DispatchTable makeDispatch(std::initializer_list<DispatchRule> rules) {
    DispatchTable t{};
    for (const auto& r : rules) {
        for (int c : r.codes) {
            const int word = r.fixedWord >= 0 ? r.fixedWord : c + r.wordOffset;
            t[static_cast<std::size_t>(c)] = {r.kind, static_cast<std::uint8_t>(word)};
        }
    }
    return t;
}

} // namespace calcore
