// The RX-200 calibration tool: its window and the tables of its poll cycle.
#pragma once

#include "model.h"

namespace rx200 {

const calcore::Model& model();

} // namespace rx200
