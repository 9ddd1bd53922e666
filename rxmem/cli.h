// rxmem's command line: the options, the commands and the exit statuses.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace rxmem {

// Exit statuses; a signal ends the program with 128 + its number.
constexpr int ExitDone = 0;
constexpr int ExitDifferences = 1;
constexpr int ExitUsage = 2; // also a file, the trace or the output that cannot be written
constexpr int ExitLine = 3;

enum class Command { Read, Write, Save, Load, Diff, Watch, Ports };

struct Options {
    QStringList ports; // COM1 when none is given (ports: every port of the list)
    QString trace;
    bool quiet = false;
    Command command = Command::Read;
    QStringList operands; // the words, the WORD=VALUE pairs or the file
    QString model;        // save --model
    bool all = false;     // load --all: every word, not only those that differ
    int intervalMs = 0;   // watch: 0 for the line's own pace
    long count = 0;       // watch: rows, 0 for no limit
    double seconds = 0;   // watch: how long, 0 for no limit
};

struct Request {
    Options options;
    std::optional<int> exitNow; // --help, --version, a usage error
};

// Reads the arguments after the program's name. Options may stand anywhere, before or after the
// command, as GNU tools take them; "--" ends them. --help and --version answer on standard
// output; a usage error is written on standard error.
Request parseCommandLine(const QStringList& arguments);

// The usage line of a wrong command line, after its reason.
void usageError(const QString& why);

} // namespace rxmem
