// The commands of rxmem, in one table that drives both the command line and the start: what
// each takes, which options it knows, what it checks before any port opens and how it runs.
#pragma once

#include "cli.h"
#include "session.h"

#include <span>

namespace rxmem {

// Options that only some commands take, as bits of CommandDef::options.
enum CommandOption : unsigned {
    OptModel = 1u << 0,    // save --model
    OptAll = 1u << 1,      // load --all
    OptInterval = 1u << 2, // watch --interval
    OptCount = 1u << 3,    // watch --count
    OptDuration = 1u << 4, // watch --duration
};

enum class Operands { None, Words, Assignments, File };

struct CommandDef {
    const char* name;
    Command command;
    Operands operands;
    unsigned options = 0;
    bool severalPorts = true;
    const char* synopsis; // the usage line's operands, options included
    const char* summary;  // what it does, for --help (a line, or two with a "\n")
    // Checks the operands and makes ready before any port opens: 0, or the status to end with
    // (the message said).
    int (*prepare)(const Options& options, Job& job);
    Session::Flow flow;
    // A command that asks the ports itself, without a session: returns the exit status. Without
    // --port it asks every port of the list.
    int (*runAlone)(const Options& options) = nullptr;
};

std::span<const CommandDef> commands();
const CommandDef* findCommand(const QString& name);
const CommandDef& commandOf(Command command);

// Carries out the command on every port; returns the exit status. Needs a running application
// object, and the stop signals blocked (blockStopSignals).
int run(const Options& options);

// The status once the command has said everything: a closed pipe ends it with 128 + SIGPIPE, any
// other failure to write standard output is told and ends it with ExitUsage.
int endOutput(Output& output, int status);

} // namespace rxmem
