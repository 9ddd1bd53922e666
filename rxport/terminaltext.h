// Text that came from outside the program (a file's line, a file name, a word typed on the
// command line, a port name) as a message shows it: every character that could move the cursor,
// clear the screen or turn the line's direction is written as an escape, so a line of junk or a
// hostile file name cannot garble the terminal or disguise what it names.
#pragma once

#include <QString>

namespace rxport {

// `text` with control characters written as \n, \t, \r, \\ or \xHH, and U+FFFD (what an
// undecodable byte became), the bidirectional controls, surrogates and non-characters as \uHHHH;
// after `atMost` characters (when not negative) the rest is cut and "..." follows.
QString escaped(const QString& text, qsizetype atMost = -1);

} // namespace rxport
