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
