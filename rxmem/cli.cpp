#include "cli.h"

#include "commands.h"
#include "flows.h"
#include "messages.h"
#include "output.h"
#include "portnames.h"
#include "stdstreams.h"
#include "terminaltext.h"

#include <cstdio>

namespace rxmem {

namespace {

QString usageLine() {
    return text("usage: rxmem [OPTION...] COMMAND ...");
}

QString helpText() {
    QString out = usageLine() + QStringLiteral("\n\n") +
                  text("Backs up, restores, verifies and compares the words of a VELMORA RX "
                       "controller.") +
                  QStringLiteral("\n\n");
    constexpr int kColumn = 25;
    for (const CommandDef& c : commands()) {
        QString left = QStringLiteral("  ") + text(c.synopsis);
        const QStringList summary = text(c.summary).split(QLatin1Char('\n'));
        if (left.size() > kColumn - 2) {
            out += left + QLatin1Char('\n');
            left.clear();
        }
        for (const QString& line : summary) {
            out += left.leftJustified(kColumn) + line + QLatin1Char('\n');
            left.clear();
        }
    }
    out +=
        QLatin1Char('\n') + text("Options, before or after the command:\n"
                                 "  --port PORT    COMn, a device name (ttyUSB0) or a path; COM1 "
                                 "when not given,\n"
                                 "                 every port of the list for ports\n"
                                 "  --trace FILE   writes the session's bytes to FILE, for "
                                 "support\n"
                                 "  -q, --quiet    no progress line, no line saying the file was "
                                 "saved\n"
                                 "  -h, --help     this text\n"
                                 "  --version      the program's version\n"
                                 "  --             what follows is no option\n"
                                 "\n"
                                 "WORD is M or E followed by 0 to 255 (M150, e28); VALUE is 0 "
                                 "to 65535.\n"
                                 "Exit status: 0 done, 1 differences, 2 usage error or a file "
                                 "that cannot be read or written,\n"
                                 "3 port or controller failed, 128 + N stopped by signal N "
                                 "(130 for Ctrl-C).\n");
    return out;
}

// What an option is to the command line.
struct OptionDef {
    const char* name; // without the dashes
    char shortName;   // 0 for none
    bool takesValue;
    unsigned onlyFor; // CommandOption bit, 0 for every command
};

// clang-format off
const OptionDef kOptions[] = {
    {"port",     0,   true,  0},
    {"trace",    0,   true,  0},
    {"quiet",    'q', false, 0},
    {"help",     'h', false, 0},
    {"version",  0,   false, 0},
    {"model",    0,   true,  OptModel},
    {"all",      0,   false, OptAll},
    {"interval", 0,   true,  OptInterval},
    {"count",    0,   true,  OptCount},
    {"duration", 0,   true,  OptDuration},
};
// clang-format on

Request failed(const QString& why) {
    usageError(why);
    return {{}, ExitUsage};
}

} // namespace

void usageError(const QString& why) {
    complain(QStringLiteral("rxmem: ") + why);
    complain(usageLine());
    complain(text("Try 'rxmem --help'."));
}

Request parseCommandLine(const QStringList& arguments) {
    Request request;
    Options& o = request.options;
    QStringList positional;
    std::vector<std::pair<const OptionDef*, QString>> given; // in their order
    bool optionsEnd = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (optionsEnd || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            positional << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        const bool isLong = arg.startsWith(QLatin1String("--"));
        QString name = isLong ? arg.mid(2) : arg.mid(1);
        std::optional<QString> inlineValue;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); isLong && eq >= 0) {
            inlineValue = name.mid(eq + 1);
            name.truncate(eq);
        }
        const OptionDef* def = nullptr;
        for (const OptionDef& d : kOptions) {
            if (isLong ? name == QLatin1String(d.name)
                       : (name.size() == 1 && name[0] == QLatin1Char(d.shortName) && d.shortName))
                def = &d;
        }
        if (!def)
            return failed(text("unknown option %1")
                              .arg(rxport::escaped(arg.section(QLatin1Char('='), 0, 0))));
        const QString shown = QStringLiteral("--") + QLatin1String(def->name);
        QString value;
        if (def->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            }
            if (value.isEmpty()) return failed(text("option %1 needs a value").arg(shown));
        } else if (inlineValue) {
            return failed(text("option %1 takes no value").arg(shown));
        }
        if (qstrcmp(def->name, "help") == 0) {
            std::fputs(helpText().toLocal8Bit().constData(), stdout);
            request.exitNow = rxport::flushStandardOutput(ExitDone);
            return request;
        }
        if (qstrcmp(def->name, "version") == 0) {
            std::printf("rxmem %s\n", RX_VERSION);
            request.exitNow = rxport::flushStandardOutput(ExitDone);
            return request;
        }
        given.emplace_back(def, value);
    }

    if (positional.isEmpty()) return failed(text("no command given"));
    const QString name = positional.takeFirst();
    const CommandDef* command = findCommand(name);
    if (!command) return failed(text("unknown command %1").arg(rxport::escaped(name)));
    o.command = command->command;
    for (const auto& [def, value] : given) {
        const QString shown = QStringLiteral("--") + QLatin1String(def->name);
        if (def->onlyFor != 0 && !(command->options & def->onlyFor))
            return failed(text("option %1 does not go with %2").arg(shown, name));
        const QString option = QLatin1String(def->name);
        if (option == QLatin1String("port")) {
            o.ports << value;
        } else if (option == QLatin1String("trace")) {
            o.trace = value;
        } else if (option == QLatin1String("quiet")) {
            o.quiet = true;
        } else if (option == QLatin1String("model")) {
            if (!modelWordList(value))
                return failed(text("unknown model %1").arg(rxport::escaped(value)));
            o.model = value;
        } else if (option == QLatin1String("all")) {
            o.all = true;
        } else if (option == QLatin1String("interval")) {
            bool ok = false;
            o.intervalMs = value.toInt(&ok);
            if (!ok || o.intervalMs < 1)
                return failed(text("option --interval needs milliseconds, a whole number from 1"));
        } else if (option == QLatin1String("count")) {
            bool ok = false;
            o.count = value.toLong(&ok);
            if (!ok || o.count < 1)
                return failed(text("option --count needs a number of rows, a whole number from 1"));
        } else if (option == QLatin1String("duration")) {
            bool ok = false;
            o.seconds = value.toDouble(&ok);
            if (!ok || !(o.seconds > 0) || o.seconds > 1e9)
                return failed(text("option --duration needs seconds, a number above 0"));
        }
    }
    if (o.ports.isEmpty() && !command->runAlone) o.ports << QStringLiteral("COM1");
    if (o.ports.size() > 1 && !command->severalPorts)
        return failed(text("%1 works on one port: give --port once").arg(name));
    if (o.ports.removeDuplicates() > 0)
        return failed(text("a port is given twice: each --port names another controller"));
    for (qsizetype i = 0; i < o.ports.size(); ++i) {
        for (qsizetype k = 0; k < i; ++k) {
            if (rxport::deviceIdentity(o.ports[i]) != rxport::deviceIdentity(o.ports[k])) continue;
            return failed(text("--port %1 and --port %2 reach the same device %3: each --port "
                               "names another controller")
                              .arg(rxport::escaped(o.ports[k]), rxport::escaped(o.ports[i]),
                                   rxport::escaped(rxport::resolvePortName(o.ports[i]))));
        }
    }
    if (o.ports.size() > 1 && !o.trace.isEmpty())
        return failed(text("--trace records one port: give --port once with it"));

    switch (command->operands) {
    case Operands::None:
        if (!positional.isEmpty()) return failed(text("%1 takes no operand").arg(name));
        break;
    case Operands::File:
        if (positional.size() != 1) return failed(text("%1 takes one file").arg(name));
        if (positional.first().isEmpty()) return failed(text("the file name is empty"));
        break;
    case Operands::Words:
    case Operands::Assignments:
        if (positional.isEmpty()) return failed(text("%1 needs words").arg(name));
        break;
    }
    o.operands = positional;
    return request;
}

} // namespace rxmem
