// The RX-300 calibration tool: its window and the tables of its poll cycle (its parameter
// words in rx300words.h, shared with rxmem).
#pragma once

#include "model.h"
#include "rx300words.h"

namespace rx300 {

const calcore::Model& model();

} // namespace rx300
