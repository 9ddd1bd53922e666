// The start every program of the package shares, before its application object exists: the
// command line (--help, --version, --trace FILE) is read first, so the answers need no display
// and a mistyped option ends the program before a window opens.
//   int main(int argc, char** argv) {
//       if (const auto status = rxport::startProgram(argc, argv, info)) return *status;
//       QApplication app(argc, argv);
//       ...
#pragma once

#include <optional>

namespace rxport {

struct ProgramInfo {
    const char* name;    // the command, "rx200cal"
    const char* summary; // one line for --help, in the program's language
};

// Reads argv, leaving Qt's own options (-platform, -display, -style, ...) to QApplication.
// Returns the exit status when the program ends here: 0 after --help or --version (written on
// standard output), 2 after a usage error (a usage line on standard error) or when the --trace
// file cannot be written (a message on standard error). Returns nothing when the program goes
// on, with the trace open when one was asked for.
// A session without XDG_RUNTIME_DIR (a service login, ssh, Xvfb) gets the private folder Qt
// would fall back to, created here so that Qt has nothing to warn about.
// --quit-when-shown, left out of --help, is for the package test: the program starts as usual,
// writes "shown: <title>" on standard output once its first window is on the screen, and ends
// with status 0.
std::optional<int> startProgram(int argc, char** argv, const ProgramInfo& info);

} // namespace rxport
