// The words each calibration tool's parameter refresh reads, in its order, by the tool's model
// name ("rx200", ...): the models' own lists, without their windows.
#pragma once

#include "rx100words.h"
#include "rx200words.h"
#include "rx300words.h"

#include <span>
#include <string_view>

struct ModelWords {
    std::string_view name;
    std::span<const calcore::WordRead> refreshReads;
};

inline constexpr ModelWords modelWords[] = {
    {.name = "rx200", .refreshReads = rx200::refreshReads},
    {.name = "rx100", .refreshReads = rx100::refreshReads},
    {.name = "rx300", .refreshReads = rx300::refreshReads},
};

// A word every model's parameter refresh reads, so every controller answers its read: the first
// of the first list that every other list holds too. The port scan asks it.
constexpr calcore::WordRead commonWord() {
    for (const calcore::WordRead& w : modelWords[0].refreshReads) {
        bool everywhere = true;
        for (const ModelWords& m : modelWords) {
            bool here = false;
            for (const calcore::WordRead& v : m.refreshReads)
                here = here || (v.space == w.space && v.word == w.word);
            everywhere = everywhere && here;
        }
        if (everywhere) return {.space = w.space, .word = w.word};
    }
    return {.space = rxline::Space::Memory, .word = 0};
}
static_assert(commonWord().word != 0, "the models' word lists share no word to ask");
