// The RX-300 calibration tool: its window and the tables of its poll cycle.
#pragma once

#include "model.h"

namespace rx300 {

const calcore::Model& model();

} // namespace rx300
