// The start of every calibration tool.
#pragma once

#include "model.h"

namespace calcore {

// Shows the port selection window and runs the tool until its main window closes.
int runTool(const Model& model);

} // namespace calcore
