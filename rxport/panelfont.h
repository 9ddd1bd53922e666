// The face of the tools' panels.
#pragma once

#include <QFont>

namespace rxport {

// The face the panels' sizes and positions are measured in, "MS Sans Serif", is not installed
// on Linux; this is the nearest face that is: Liberation Sans (the widths of Arial), then Arial,
// then DejaVu Sans, else the application's default face. The caller sets the point or pixel
// size.
QFont panelFont();

} // namespace rxport
