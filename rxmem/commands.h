// The command line of rxmem and the commands it carries out.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace rxmem {

// Exit statuses.
constexpr int ExitDone = 0;
constexpr int ExitDifferences = 1;
constexpr int ExitUsage = 2;
constexpr int ExitLine = 3;

struct Options {
    enum class Command { Read, Write, Save, Load, Diff };
    QString port = QStringLiteral("COM1");
    QString trace;
    bool quiet = false;
    Command command = Command::Read;
    QStringList operands; // the words, the WORD=VALUE pairs or the file
    QString model;        // save --model
};

struct Request {
    Options options;
    std::optional<int> exitNow; // --help, --version, a usage error
};

// Reads the arguments after the program's name. --help and --version answer on standard
// output; a usage error is written on standard error.
Request parseCommandLine(const QStringList& arguments);

// Carries out the command; returns the exit status. Needs a running application object.
int run(const Options& options);

} // namespace rxmem
