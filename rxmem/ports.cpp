#include "ports.h"

#include "commands.h"
#include "messages.h"
#include "output.h"
#include "portnames.h"
#include "portprobe.h"
#include "stopsignals.h"
#include "terminaltext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace rxmem {

namespace {

using rxline::PortAnswer;

QString stateText(const PortAnswer& a) {
    switch (a.state) {
    case PortAnswer::State::Answers:
        return text("a controller answers (%1=%2)").arg(rxline::PortProbe::wordName(), a.value);
    case PortAnswer::State::Silent:
        return text("silent");
    case PortAnswer::State::Busy:
        return text("in use by another program");
    case PortAnswer::State::NoPermission:
        return text("no permission (the account is not in the group dialout)");
    case PortAnswer::State::CannotOpen:
        return text("cannot be opened (%1)")
            .arg(a.error == ENOTTY ? text("not a serial port")
                                   : QString::fromLocal8Bit(std::strerror(a.error)));
    case PortAnswer::State::Asking:
        break;
    }
    return text("not asked");
}

// The port list, with the COMn entries of the COM folder it leaves out because they lead to no
// serial device (a stale link): the technician who made one hears why it is not offered.
QStringList everyPort() {
    const rxport::PortEnvironment env = rxport::PortEnvironment::fromSystem();
    const QStringList listed = rxport::portList(env);
    QStringList com;
    for (int n = 1; n <= 16; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        const QFileInfo entry(QDir(env.comDir).filePath(name));
        if (listed.contains(name) || entry.exists() || entry.isSymLink()) com << name;
    }
    for (const QString& name : listed)
        if (!com.contains(name)) com << name;
    return com;
}

} // namespace

int runPorts(const Options& options) {
    const QStringList names = options.ports.isEmpty() ? everyPort() : options.ports;
    if (names.isEmpty()) {
        complain(QStringLiteral("rxmem: ") + text("no serial port on this computer"));
        return ExitDifferences;
    }
    rxline::PortProbe probe;
    StopSignals stops;
    int stoppedBy = 0;
    QObject::connect(&stops, &StopSignals::stopRequested, [&](int signo) {
        stoppedBy = signo;
        probe.cancel();
        QCoreApplication::exit();
    });
    QObject::connect(&probe, &rxline::PortProbe::finished, [] { QCoreApplication::exit(); });
    probe.start(names);
    QCoreApplication::exec();
    if (stoppedBy != 0) return 128 + stoppedBy;

    // Names and paths come from the command line and the folders: shown escaped.
    qsizetype nameWidth = 0, deviceWidth = 0;
    for (const PortAnswer& a : probe.answers()) {
        nameWidth = std::max(nameWidth, rxport::escaped(a.name).size());
        deviceWidth = std::max(deviceWidth, rxport::escaped(a.device).size());
    }
    Output output(false);
    for (const PortAnswer& a : probe.answers())
        output.data(QStringLiteral("%1  %2  %3")
                        .arg(rxport::escaped(a.name).leftJustified(nameWidth),
                             rxport::escaped(a.device).leftJustified(deviceWidth), stateText(a)));
    return endOutput(output, probe.firstAnswering() >= 0 ? ExitDone : ExitDifferences);
}

} // namespace rxmem
