#include "commands.h"

#include "flows.h"
#include "messages.h"
#include "ports.h"
#include "stdstreams.h"
#include "stopsignals.h"
#include "terminaltext.h"
#include "tracelog.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace rxmem {

namespace {

// clang-format off
const CommandDef kCommands[] = {
    {.name = "read",  .command = Command::Read,  .operands = Operands::Words,
     .synopsis = N_("read WORD..."),
     .summary = N_("prints WORD=VALUE for each word"),
     .prepare = prepareWords, .flow = readFlow},
    {.name = "write", .command = Command::Write, .operands = Operands::Assignments,
     .synopsis = N_("write WORD=VALUE..."),
     .summary = N_("writes the words, then reads each one back"),
     .prepare = prepareAssignments, .flow = writeFlow},
    {.name = "save",  .command = Command::Save,  .operands = Operands::File,
     .options = OptModel, .severalPorts = false,
     .synopsis = N_("save [--model rx200|rx100|rx300] FILE"),
     .summary = N_("saves the editor's 180 words (M21 to M59, M100 to M240),\n"
                   "or the words the model's calibration tool reads; one port only"),
     .prepare = prepareSave, .flow = saveFlow},
    {.name = "load",  .command = Command::Load,  .operands = Operands::File,
     .options = OptAll,
     .synopsis = N_("load [--all] FILE"),
     .summary = N_("writes the file's words the controller holds otherwise\n"
                   "(--all: every word), then reads each one back"),
     .prepare = prepareFile, .flow = loadFlow},
    {.name = "diff",  .command = Command::Diff,  .operands = Operands::File,
     .synopsis = N_("diff FILE"),
     .summary = N_("lists each word whose value differs from the file's"),
     .prepare = prepareFile, .flow = diffFlow},
    {.name = "watch", .command = Command::Watch, .operands = Operands::Words,
     .options = OptInterval | OptCount | OptDuration, .severalPorts = false,
     .synopsis = N_("watch [--interval MS] [--count N] [--duration S] WORD..."),
     .summary = N_("prints the words' values as CSV, a row a round,\n"
                   "until N rows, S seconds or Ctrl-C; a round every MS\n"
                   "milliseconds, else at the line's own pace; one port only"),
     .prepare = prepareWords, .flow = watchFlow},
    {.name = "ports", .command = Command::Ports, .operands = Operands::None,
     .synopsis = N_("ports"),
     .summary = N_("tells which port a controller answers on: every port,\n"
                   "or those given with --port, asked at once"),
     .prepare = nullptr, .flow = nullptr, .runAlone = runPorts},
};
// clang-format on

// The last line when several ports ran: how each ended, and why those that failed did.
QString summaryOf(const std::vector<std::unique_ptr<Session>>& sessions) {
    unsigned long done = 0, differ = 0, failed = 0;
    QStringList why;
    for (const auto& s : sessions) {
        if (s->status() == ExitDone) {
            ++done;
        } else if (s->status() == ExitDifferences) {
            ++differ;
        } else {
            ++failed;
            why << rxport::escaped(s->port()) + QStringLiteral(": ") + s->failure();
        }
    }
    const auto n = static_cast<unsigned long>(sessions.size());
    QString line =
        differ == 0
            ? text("%1 controller: %2 done, %3 failed", "%1 controllers: %2 done, %3 failed", n)
                  .arg(QString::number(n), QString::number(done), QString::number(failed))
            : text("%1 controller: %2 done, %3 with differences, %4 failed",
                   "%1 controllers: %2 done, %3 with differences, %4 failed", n)
                  .arg(QString::number(n), QString::number(done), QString::number(differ),
                       QString::number(failed));
    if (failed > 0) line += QStringLiteral(" (%1)").arg(why.join(QStringLiteral("; ")));
    return line;
}

} // namespace

std::span<const CommandDef> commands() {
    return kCommands;
}

const CommandDef* findCommand(const QString& name) {
    for (const CommandDef& c : kCommands)
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

const CommandDef& commandOf(Command command) {
    return *std::find_if(std::begin(kCommands), std::end(kCommands),
                         [command](const CommandDef& c) { return c.command == command; });
}

int run(const Options& options) {
    const CommandDef& command = commandOf(options.command);
    if (!options.trace.isEmpty()) {
        QString reason = rxwords::pathProblem(options.trace, rxwords::Access::Write);
        if (reason.isEmpty() && !rxport::trace().open(options.trace, &reason) && reason.isEmpty())
            reason = rxwords::writeFailure(options.trace);
        if (!reason.isEmpty()) {
            complain(QStringLiteral("rxmem: %1: %2").arg(rxport::escaped(options.trace), reason));
            return ExitUsage;
        }
    }
    if (command.runAlone) return command.runAlone(options);
    // Everything a command will send is checked before any port opens.
    Job job;
    if (const int status = command.prepare(options, job); status != ExitDone) return status;

    const bool several = options.ports.size() > 1;
    Output output(!several && !options.quiet && ::isatty(STDERR_FILENO));
    StopSignals stops;
    std::vector<std::unique_ptr<Session>> sessions;
    int running = 0;
    for (const QString& port : options.ports) {
        auto session = std::make_unique<Session>(options, job, port, output, several);
        QObject::connect(&stops, &StopSignals::stopRequested, session.get(), &Session::stop);
        QObject::connect(session.get(), &Session::finished, [&running] {
            if (--running == 0) QCoreApplication::exit();
        });
        sessions.push_back(std::move(session));
        ++running;
    }
    for (auto& session : sessions)
        session->start(command.flow);
    QCoreApplication::exec();

    int status = ExitDone;
    for (const auto& session : sessions)
        status = std::max(status, session->status());
    if (several) output.message(summaryOf(sessions));
    return endOutput(output, status);
}

int endOutput(Output& output, int status) {
    if (output.dataErrno() != 0) rxport::discardStandardOutput(); // told here, not again at exit
    if (const int code = output.dataErrno(); code == EPIPE) {
        // The reader went away (`rxmem watch | head`): the end it asked for, told by the status.
        status = std::max(status, 128 + SIGPIPE);
    } else if (code != 0) {
        output.message(
            QStringLiteral("rxmem: ") +
            text("cannot write the output: %1").arg(QString::fromLocal8Bit(std::strerror(code))));
        status = std::max(status, ExitUsage);
    }
    return status;
}

} // namespace rxmem
