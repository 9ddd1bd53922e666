// The RX-200 calibration tool: its window and the tables of its poll cycle (its parameter
// words in rx200words.h, shared with rxmem).
#pragma once

#include "model.h"
#include "rx200words.h"

namespace rx200 {

const calcore::Model& model();

} // namespace rx200
