// What makes one calibration tool: its window and the tables its poll cycle consumes.
//
// Every table is written with designated initialisers ({.name = "Command17", .kind = Button,
// ...}), so a row can be held against the window it describes and a new field never shifts the
// meaning of the ones after it. `checkModel` holds the tables against each other at start-up.
#pragma once

#include "codec.h"
#include "wordread.h"

#include <array>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace calcore {

class CalForm;

// Left, top, width, height in twips (1/1440 inch); 15 twips are one pixel at 96 dpi.
struct Twips {
    int left = 0, top = 0, width = 0, height = 0;
};
constexpr int twipsToPixels(int twips) {
    return (twips + 7) / 15;
}

enum class ControlKind { Label, Button, Entry, CheckBox, Frame };

struct ControlDef {
    const char* name; // also the Qt object name, by which tests and tables find the control
    ControlKind kind;
    const char* caption = ""; // caption or start text
    Twips rect{};             // relative to the parent frame when there is one
    bool visible = true;
    bool enabled = true;
    const char* parent = nullptr; // name of the frame that holds it
    double points = 0;            // font size; 0 = the window's font
};

enum class RequestKind {
    EntryValue, // the entry's value as the pending bytes, the code, restart with a refresh
    CodeOnly,   // the code only; the entry is read when step 5 carries it out
};

// A button that records a pending write.
struct RequestDef {
    const char* button;
    const char* entry;
    int code;
    RequestKind kind = RequestKind::EntryValue;
};

// A check box that holds a controller flag: set once from the word at the end of the first
// cycle; a change queues the write of its code with 1 or 0.
struct FlagDef {
    const char* box;
    rxline::Space space;
    std::uint8_t word;
    int code;
};

// The entry box a clock code (66 seconds .. 69 day) takes its two digits from.
struct ClockEntry {
    int code;
    const char* entry;
};

// The clock row every calibration window carries: seconds, minutes, hours and day boxes.
inline constexpr ClockEntry ClockEntries[] = {
    {.code = 66, .entry = "Text9"},
    {.code = 67, .entry = "Text10"},
    {.code = 68, .entry = "Text11"},
    {.code = 69, .entry = "Text27"},
};

// The clock words every live read list ends with, in their order: seconds, the clock set command
// and the new seconds (kept, not shown), minutes, hours, day. The captions name them in the trend
// window.
// clang-format off
inline constexpr WordRead ClockReads[] = {
    {.space = rxline::Space::Memory, .word = 60, .label = "Label22", .caption = "Relógio: segundos"},
    {.space = rxline::Space::Memory, .word = 65,                     .caption = "Relógio: comando"},
    {.space = rxline::Space::Memory, .word = 66,                     .caption = "Relógio: novos segundos"},
    {.space = rxline::Space::Memory, .word = 61, .label = "Label25", .caption = "Relógio: minutos"},
    {.space = rxline::Space::Memory, .word = 62, .label = "Label30", .caption = "Relógio: horas"},
    {.space = rxline::Space::Memory, .word = 63, .label = "Label46", .caption = "Relógio: dia"},
};
// clang-format on

// A model's live reads: its own words, then the clock's.
template <std::size_t N>
constexpr std::array<WordRead, N + std::size(ClockReads)> withClockReads(const WordRead (&own)[N]) {
    std::array<WordRead, N + std::size(ClockReads)> all{};
    std::size_t i = 0;
    for (const WordRead& r : own)
        all[i++] = r;
    for (const WordRead& r : ClockReads)
        all[i++] = r;
    return all;
}

// A button that reads words at once, ahead of the cycle's queued frames, into labels; it also
// asks the cycle for a parameter refresh, which puts the usual words back in those labels.
struct FetchDef {
    const char* button;
    std::span<const WordRead> reads{};
};

// A question window shown when the main window is closed. The close waits for the answer while
// the cycle goes on; "yes" sends `yesFrame`, then after `pauseMs` the program ends ("no" and
// closing the question end it after the same pause without a frame).
struct ExitQuestion {
    const char* name; // the window's object name
    const char* caption;
    int clientWidthTwips;
    int clientHeightTwips;
    std::span<const ControlDef> controls{};
    const char* yesButton;
    const char* noButton;
    std::span<const std::uint8_t> yesFrame{};
    int pauseMs = 100;
};

struct Model {
    const char* caption = "";
    int clientWidthTwips = 0;
    int clientHeightTwips = 0;
    std::span<const ControlDef> controls{};
    std::span<const WordRead> refreshReads{}; // steps 2 and 7, after a request
    std::span<const WordRead> liveReads{};    // step 3 of every cycle
    std::span<const RequestDef> requests{};
    std::span<const FlagDef> flags{};
    std::span<const ClockEntry> clockEntries{};
    std::span<const FetchDef> fetches{};
    rxline::DispatchTable dispatch{};
    // Sent once as the last step of the main window's load, before any command frame.
    std::span<const std::uint8_t> loadFrame{};
    const ExitQuestion* exitQuestion = nullptr;
    // Behaviour of the model that no table holds, wired once the window is built.
    void (*attach)(CalForm& form) = nullptr;
};

// Builds a dispatch table: every code not listed is dropped without a frame. A rule names its
// codes one by one, or as the range first..last.
struct DispatchRule {
    std::initializer_list<int> codes = {};
    int first = 0;
    int last = -1;
    rxline::WriteAction::Kind kind = rxline::WriteAction::Drop;
    int wordOffset = 0; // word = code + offset (plain writes: 0)
    int fixedWord = -1; // when >= 0 the word written, whatever the code
};
constexpr rxline::DispatchTable makeDispatch(std::initializer_list<DispatchRule> rules) {
    rxline::DispatchTable t{};
    for (const auto& r : rules) {
        auto set = [&t, &r](int c) {
            const int word = r.fixedWord >= 0 ? r.fixedWord : c + r.wordOffset;
            t[static_cast<std::size_t>(c)] = {r.kind, static_cast<std::uint8_t>(word)};
        };
        for (int c : r.codes)
            set(c);
        for (int c = r.first; c <= r.last; ++c)
            set(c);
    }
    return t;
}

// Every control that a table of the model names, held against the control table: a request's
// button and entry, a flag's box, a read's label, a clock entry, a fetch button, a parent frame,
// the question window's buttons. One line per fault, naming the control; empty when sound.
std::vector<std::string> checkModel(const Model& model);

} // namespace calcore
