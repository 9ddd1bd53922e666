#include "commands.h"

#include "link.h"
#include "messages.h"
#include "modelwords.h"
#include "portaccess.h"
#include "portnames.h"
#include "tracelog.h"
#include "transfer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace rxmem {

using namespace rxwords;

namespace {

void say(FILE* to, const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), to);
    std::fflush(to);
}

// Marks a text for the catalog where it is not looked up at once.
constexpr const char* N_(const char* msgid) {
    return msgid;
}

const char* const kUsage =
    N_("usage: rxmem [--port PORT] [--trace FILE] [--quiet] COMMAND ...\n"
       "\n"
       "Backs up, restores, verifies and compares the words of a VELMORA RX controller.\n"
       "\n"
       "  read WORD...           prints WORD=VALUE for each word\n"
       "  write WORD=VALUE...    writes the words, then reads each one back\n"
       "  save [--model rx200|rx100|rx300] FILE\n"
       "                         saves the editor's 180 words (M21 to M59, M100 to M240), or the\n"
       "                         words the model's calibration tool reads\n"
       "  load FILE              writes the file's words, then reads each one back\n"
       "  diff FILE              lists each word whose value differs from the file's\n"
       "\n"
       "  --port PORT    COMn, a device name (ttyUSB0) or a path; COM1 when not given\n"
       "  --trace FILE   writes the session's bytes to FILE, for support\n"
       "  --quiet        no progress line\n"
       "  --help         this text\n"
       "  --version      the program's version\n"
       "\n"
       "WORD is M or E followed by 0 to 255 (M150, e28); VALUE is 0 to 65535.\n"
       "Exit status: 0 done, 1 differences, 2 usage error or bad file, 3 port or controller "
       "failed.\n");

Request usageError(const QString& why) {
    say(stderr, QStringLiteral("rxmem: ") + why);
    say(stderr, text(kUsage).section(QLatin1Char('\n'), 0, 0));
    say(stderr, text("Try 'rxmem --help'."));
    return {{}, ExitUsage};
}

// The editor's words: M21 to M59, then M100 to M240.
std::vector<Word> editorWords() {
    std::vector<Word> words;
    for (int w = 21; w <= 59; ++w)
        words.push_back({rxline::Space::Memory, std::uint8_t(w)});
    for (int w = 100; w <= 240; ++w)
        words.push_back({rxline::Space::Memory, std::uint8_t(w)});
    return words;
}

// The words a calibration tool's parameter refresh reads, in its order, each once.
std::optional<std::vector<Word>> modelWordList(const QString& name) {
    for (const ModelWords& m : modelWords) {
        if (name != QLatin1String(m.name.data(), qsizetype(m.name.size()))) continue;
        std::vector<Word> words;
        for (const calcore::WordRead& r : m.refreshReads) {
            const Word w{r.space, r.word};
            if (std::find(words.begin(), words.end(), w) == words.end()) words.push_back(w);
        }
        return words;
    }
    return std::nullopt;
}

QString openReason(int code) {
    switch (rxport::openRefusal(code)) {
    case rxport::OpenRefusal::Missing:
        return text("the port does not exist on this computer (is the cable or the USB adapter "
                    "plugged in?)");
    case rxport::OpenRefusal::Permission:
        return text("no permission to use the port: the user must belong to the group dialout");
    case rxport::OpenRefusal::Busy:
        return text("the port is in use by another program");
    case rxport::OpenRefusal::NotSerial:
        return text("this name is not a serial port's");
    case rxport::OpenRefusal::Other:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(code));
}

// One run of a command: the link, the progress line and the end.
class Session {
  public:
    explicit Session(const Options& options)
        : options_(options), transfer_(link_),
          progress_(!options.quiet && ::isatty(STDERR_FILENO)) {
        if (progress_) {
            transfer_.setProgress([](int done, int total, Word word) {
                std::fprintf(stderr, "\r%4d/%-4d %-5s", done, total,
                             wordName(word).toLatin1().constData());
                std::fflush(stderr);
            });
        }
        link_.setLineWatcher([this](rxline::WordLink::LineEvent event, const QString& why) {
            if (event == rxline::WordLink::LineEvent::Lost)
                fail(text("port %1 was lost: %2").arg(options_.port, why));
        });
    }

    int exec(std::function<void()> start) {
        link_.open(options_.port, [this, start = std::move(start)](bool ok, const QString&) {
            if (!ok) {
                fail(text("cannot open port %1 (%2): %3")
                         .arg(options_.port, rxport::resolvePortName(options_.port),
                              openReason(link_.openErrno())));
                return;
            }
            start();
        });
        return QCoreApplication::exec();
    }

    Transfer& transfer() { return transfer_; }

    // Reads the words; `then` gets the values once every word has answered.
    void readAll(std::vector<Word> words, std::function<void(std::vector<std::uint16_t>)> then) {
        transfer_.read(std::move(words), [this,
                                          then = std::move(then)](const Transfer::ReadResult& r) {
            if (r.failed) {
                fail(text("no answer from the controller to the read of %1 on port %2 (%3 tries)")
                         .arg(wordName(*r.failed), options_.port)
                         .arg(ReadTries));
                return;
            }
            endProgress();
            then(r.values);
        });
    }

    void finish(int status) {
        if (ended_) return;
        ended_ = true;
        endProgress();
        link_.shutdown([status] { QCoreApplication::exit(status); });
    }
    void fail(const QString& message) {
        if (ended_) return;
        endProgress();
        say(stderr, QStringLiteral("rxmem: ") + message);
        finish(ExitLine);
    }

  private:
    void endProgress() {
        if (!progress_) return;
        std::fputs("\r              \r", stderr);
        std::fflush(stderr);
    }

    const Options& options_;
    rxline::Link link_;
    Transfer transfer_;
    bool progress_;
    bool ended_ = false;
};

// Prints the words whose controller value differs; returns how many did.
int reportDifferences(const std::vector<Assignment>& items,
                      const std::vector<std::uint16_t>& values, const char* format) {
    int differ = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].value == values[i]) continue;
        ++differ;
        say(stdout, text(format).arg(wordName(items[i].word)).arg(items[i].value).arg(values[i]));
    }
    return differ;
}

std::vector<Word> wordsOf(const std::vector<Assignment>& items) {
    std::vector<Word> words;
    for (const Assignment& a : items)
        words.push_back(a.word);
    return words;
}

// Reads and checks a parameter file; nothing leaves before the whole of it is sound.
std::optional<std::vector<Assignment>> readParameterFile(const QString& path) {
    const FileResult file = rxwords::readFile(path);
    if (!file.error.isEmpty()) {
        say(stderr, file.errorLine > 0 ? file.error : QStringLiteral("rxmem: ") + file.error);
        return std::nullopt;
    }
    return file.items;
}

// Reads the items' words, lists each whose value differs from the item's, or says `summary`
// for their count when none does, and ends.
void compare(Session& session, std::vector<Assignment> items, const char* differFormat,
             QString (*summary)(std::size_t count)) {
    session.readAll(wordsOf(items),
                    [&session, items, differFormat, summary](std::vector<std::uint16_t> values) {
                        const int differ = reportDifferences(items, values, differFormat);
                        if (differ == 0) say(stdout, summary(items.size()));
                        session.finish(differ == 0 ? ExitDone : ExitDifferences);
                    });
}

QString writtenAndVerified(std::size_t n) {
    return text("%1 word written, %2 verified", "%1 words written, %2 verified", n).arg(n).arg(n);
}

QString comparedAlike(std::size_t n) {
    return text("%1 word compared, no difference", "%1 words compared, no difference", n).arg(n);
}

// Writes the items, reads each back and says how it went.
void writeAndVerify(Session& session, std::vector<Assignment> items, const char* differFormat) {
    session.transfer().write(items, [&session, items, differFormat] {
        compare(session, items, differFormat, writtenAndVerified);
    });
}

} // namespace

Request parseCommandLine(const QStringList& arguments) {
    Request request;
    Options& o = request.options;
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        if (!rest.isEmpty() || !arg.startsWith(QLatin1String("--"))) {
            rest << arg;
            continue;
        }
        if (arg == QLatin1String("--help")) {
            std::fputs(text(kUsage).toLocal8Bit().constData(), stdout);
            request.exitNow = ExitDone;
            return request;
        }
        if (arg == QLatin1String("--version")) {
            std::printf("rxmem %s\n", RX_VERSION);
            request.exitNow = ExitDone;
            return request;
        }
        if (arg == QLatin1String("--quiet")) {
            o.quiet = true;
            continue;
        }
        QString value;
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (eq >= 0) {
            value = arg.mid(eq + 1);
            arg.truncate(eq);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else if (arg == QLatin1String("--port") || arg == QLatin1String("--trace")) {
            return usageError(text("option %1 needs a value").arg(arg));
        }
        if (arg == QLatin1String("--port")) {
            o.port = value;
        } else if (arg == QLatin1String("--trace")) {
            o.trace = value;
        } else {
            return usageError(text("unknown option %1").arg(arg));
        }
    }
    if (rest.isEmpty()) return usageError(text("no command given"));
    const QString command = rest.takeFirst();
    if (command == QLatin1String("save") && !rest.isEmpty() &&
        rest.first().startsWith(QLatin1String("--model"))) {
        const QString option = rest.takeFirst();
        if (option.startsWith(QLatin1String("--model="))) {
            o.model = option.mid(8);
        } else if (option == QLatin1String("--model") && !rest.isEmpty()) {
            o.model = rest.takeFirst();
        } else {
            return usageError(text("option %1 needs a value").arg(QStringLiteral("--model")));
        }
        if (!modelWordList(o.model)) return usageError(text("unknown model %1").arg(o.model));
    }
    static const QList<QPair<QString, Options::Command>> commands{
        {"read", Options::Command::Read},
        {"write", Options::Command::Write},
        {"save", Options::Command::Save},
        {"load", Options::Command::Load},
        {"diff", Options::Command::Diff}};
    bool known = false;
    for (const auto& [name, c] : commands) {
        if (name == command) {
            o.command = c;
            known = true;
        }
    }
    if (!known) return usageError(text("unknown command %1").arg(command));
    const bool oneFile = o.command == Options::Command::Save ||
                         o.command == Options::Command::Load || o.command == Options::Command::Diff;
    if (oneFile && rest.size() != 1) return usageError(text("%1 takes one file").arg(command));
    if (!oneFile && rest.isEmpty()) return usageError(text("%1 needs words").arg(command));
    o.operands = rest;
    return request;
}

int run(const Options& options) {
    if (!options.trace.isEmpty()) {
        QString reason;
        if (!rxport::trace().open(options.trace, &reason)) {
            say(stderr, QStringLiteral("rxmem: %1: %2").arg(options.trace, reason));
            return ExitUsage;
        }
    }
    // Everything a command will send is checked before the port opens.
    std::vector<Assignment> items;
    std::vector<Word> words;
    std::unique_ptr<QSaveFile> saved;
    switch (options.command) {
    case Options::Command::Read:
        for (const QString& name : options.operands) {
            const auto word = parseWord(name);
            if (!word) {
                say(stderr, QStringLiteral("rxmem: ") + unknownWord(name));
                return ExitUsage;
            }
            words.push_back(*word);
        }
        break;
    case Options::Command::Write: {
        const ParseResult parsed = parseAssignments(options.operands);
        if (parsed.error) {
            say(stderr, QStringLiteral("rxmem: %1: %2")
                            .arg(options.operands[parsed.error->line - 1], parsed.error->reason));
            return ExitUsage;
        }
        items = parsed.items;
        break;
    }
    case Options::Command::Save: {
        words = options.model.isEmpty() ? editorWords() : *modelWordList(options.model);
        // The file is written beside its place and takes it only once every word has answered:
        // a failed save leaves no file and never damages an older one.
        saved = std::make_unique<QSaveFile>(options.operands.first());
        if (!saved->open(QIODevice::WriteOnly)) {
            say(stderr, QStringLiteral("rxmem: %1: %2")
                            .arg(options.operands.first(), saved->errorString()));
            return ExitUsage;
        }
        break;
    }
    case Options::Command::Load:
    case Options::Command::Diff: {
        const auto parsed = readParameterFile(options.operands.first());
        if (!parsed) return ExitUsage;
        items = *parsed;
        break;
    }
    }

    Session session(options);
    return session.exec([&] {
        switch (options.command) {
        case Options::Command::Read:
            session.readAll(words, [&](std::vector<std::uint16_t> values) {
                for (std::size_t i = 0; i < words.size(); ++i)
                    say(stdout, QStringLiteral("%1=%2").arg(wordName(words[i])).arg(values[i]));
                session.finish(ExitDone);
            });
            break;
        case Options::Command::Write:
            writeAndVerify(session, items, N_("%1: written %2, controller %3"));
            break;
        case Options::Command::Load:
            writeAndVerify(session, items, N_("%1: file %2, controller %3"));
            break;
        case Options::Command::Diff:
            compare(session, items, N_("%1: file %2, controller %3"), comparedAlike);
            break;
        case Options::Command::Save:
            session.readAll(words, [&](std::vector<std::uint16_t> values) {
                std::vector<Assignment> out;
                for (std::size_t i = 0; i < words.size(); ++i)
                    out.push_back({words[i], values[i], 0});
                const QStringList header{
                    QStringLiteral("rxmem %1").arg(QStringLiteral(RX_VERSION)),
                    QDateTime::currentDateTime().toString(Qt::ISODate),
                    QStringLiteral("port %1").arg(options.port),
                    options.model.isEmpty()
                        ? QStringLiteral("words of the memory editor: M21-M59, M100-M240")
                        : QStringLiteral("words of model %1").arg(options.model)};
                saved->write(formatFile(header, out));
                if (!saved->commit()) {
                    say(stderr, QStringLiteral("rxmem: %1: %2")
                                    .arg(options.operands.first(), saved->errorString()));
                    session.finish(ExitUsage);
                    return;
                }
                if (!options.quiet)
                    say(stderr, text("%1 words saved in %2")
                                    .arg(words.size())
                                    .arg(options.operands.first()));
                session.finish(ExitDone);
            });
            break;
        }
    });
}

} // namespace rxmem
