#include "flows.h"

#include "messages.h"
#include "modelwords.h"
#include "savefile.h"
#include "terminaltext.h"

#include <QSaveFile>

#include <algorithm>

namespace rxmem {

namespace {

void usage(const QString& message) {
    complain(QStringLiteral("rxmem: ") + message);
}

// A word read back after a write, or compared with a file: the value it should hold, and for an
// EEPROM twin the memory word it was written with.
struct Check {
    Word word;
    std::uint16_t expected = 0;
    std::optional<Word> twinOf;
};

std::vector<Check> checksOf(const std::vector<Assignment>& items, bool twins) {
    std::vector<Check> checks;
    for (const Assignment& a : items) {
        checks.push_back({a.word, a.value, std::nullopt});
        if (const auto twin = twins ? eepromTwin(a.word) : std::nullopt)
            checks.push_back({*twin, a.value, a.word});
    }
    return checks;
}

std::vector<Word> wordsOf(const std::vector<Check>& checks) {
    std::vector<Word> words;
    for (const Check& c : checks)
        words.push_back(c.word);
    return words;
}

// Reads the checks' words and says each one that holds another value; `then` gets how many
// did.
void compare(Session& session, std::vector<Check> checks, const char* differFormat,
             std::function<void(int differ)> then) {
    const auto words = wordsOf(checks);
    session.readAll(words, [&session, checks = std::move(checks), differFormat,
                            then = std::move(then)](std::vector<std::uint16_t> values) {
        int differ = 0;
        for (std::size_t i = 0; i < checks.size(); ++i) {
            if (checks[i].expected == values[i]) continue;
            ++differ;
            QString name = rxwords::wordName(checks[i].word);
            if (checks[i].twinOf)
                name = text("%1 (with %2)").arg(name, rxwords::wordName(*checks[i].twinOf));
            session.data(
                text(differFormat)
                    .arg(name, QString::number(checks[i].expected), QString::number(values[i])));
        }
        then(differ);
    });
}

// Writes the items, reads every one back (twins included) and says how it went: `summary`
// when every word holds what was written.
void writeAndVerify(Session& session, std::vector<Assignment> items, const char* differFormat,
                    std::function<QString()> summary) {
    auto checks = checksOf(session.job().items, session.job().twins);
    session.writer().write(
        std::move(items), session.job().twins,
        [&session](int done, int total, Word w) { session.progress(done, total, w); },
        [&session] { return session.proceed(); },
        [&session, checks = std::move(checks), differFormat, summary = std::move(summary)] {
            compare(session, checks, differFormat, [&session, summary](int differ) {
                if (differ == 0) session.data(summary());
                session.finish(differ == 0 ? ExitDone : ExitDifferences);
            });
        });
}

QString writtenAndVerified(std::size_t n) {
    const QString count = QString::number(n);
    return text("%1 word written, %2 verified", "%1 words written, %2 verified", n)
        .arg(count, count);
}

} // namespace

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

int prepareWords(const Options& options, Job& job) {
    for (const QString& name : options.operands) {
        const auto word = rxwords::parseWord(name);
        if (!word) {
            usage(rxwords::unknownWord(name));
            return ExitUsage;
        }
        job.words.push_back(*word);
    }
    return ExitDone;
}

int prepareAssignments(const Options& options, Job& job) {
    const auto parsed = rxwords::parseArguments(options.operands);
    if (parsed.error) {
        usage(QStringLiteral("\"%1\": %2")
                  .arg(rxwords::quoted(options.operands[parsed.error->line - 1]),
                       parsed.error->reason));
        return ExitUsage;
    }
    job.items = parsed.items;
    job.twins = writtenWithTwins(job.items);
    return ExitDone;
}

int prepareSave(const Options& options, Job& job) {
    job.words = options.model.isEmpty() ? rxwords::editorWords() : *modelWordList(options.model);
    // The file takes its place only once every word has answered and every byte of it is on
    // the disk: a failed save leaves no file and never damages an older one.
    // Whether the file can be made at all is known before the port opens: a file beside it is
    // made and dropped again.
    const QString& path = options.operands.first();
    QString problem = rxwords::pathProblem(path, rxwords::Access::Write);
    if (QSaveFile probe(path); problem.isEmpty() && !probe.open(QIODevice::WriteOnly))
        problem = rxwords::writeFailure(path);
    if (!problem.isEmpty()) {
        usage(QStringLiteral("%1: %2").arg(rxport::escaped(path), problem));
        return ExitUsage;
    }
    return ExitDone;
}

int prepareFile(const Options& options, Job& job) {
    const rxwords::FileResult file = rxwords::readFile(options.operands.first());
    if (!file.error.isEmpty()) {
        if (file.errorLine > 0)
            complain(file.error);
        else
            usage(file.error);
        return ExitUsage;
    }
    job.items = file.items;
    job.twins = options.command == Command::Load && writtenWithTwins(job.items);
    return ExitDone;
}

void readFlow(Session& session) {
    session.readAll(session.job().words, [&session](std::vector<std::uint16_t> values) {
        const auto& words = session.job().words;
        for (std::size_t i = 0; i < words.size(); ++i)
            session.data(QStringLiteral("%1=%2").arg(rxwords::wordName(words[i]),
                                                     QString::number(values[i])));
        session.finish(ExitDone);
    });
}

void saveFlow(Session& session) {
    session.readAll(session.job().words, [&session](std::vector<std::uint16_t> values) {
        const Options& o = session.options();
        const auto& words = session.job().words;
        std::vector<Assignment> out;
        for (std::size_t i = 0; i < words.size(); ++i)
            out.push_back({words[i], values[i], 0});
        const QStringList header = rxwords::fileHeader(
            QStringLiteral("rxmem %1").arg(QStringLiteral(RX_VERSION)), session.port(),
            o.model.isEmpty() ? rxwords::editorWordsLine()
                              : QStringLiteral("words of model %1").arg(o.model));
        const QString& path = o.operands.first();
        if (const QString failure = rxwords::saveWhole(path, rxwords::formatFile(header, out));
            !failure.isEmpty()) {
            session.fail(text("%1: %2; nothing saved").arg(rxport::escaped(path), failure),
                         ExitUsage);
            return;
        }
        if (!o.quiet)
            session.message(text("%1 word saved in %2", "%1 words saved in %2", words.size())
                                .arg(QString::number(words.size()), rxport::escaped(path)));
        session.finish(ExitDone);
    });
}

void writeFlow(Session& session) {
    const auto n = session.job().items.size();
    writeAndVerify(session, session.job().items, N_("%1: written %2, controller %3"),
                   [n] { return writtenAndVerified(n); });
}

void loadFlow(Session& session) {
    const auto& items = session.job().items;
    if (session.options().all) {
        writeAndVerify(session, items, N_("%1: file %2, controller %3"),
                       [n = items.size()] { return writtenAndVerified(n); });
        return;
    }
    // Only what differs is written: the controller's EEPROM and the technician's time are
    // spared. A word goes with its twin when either holds another value.
    const auto checks = checksOf(items, session.job().twins);
    session.readAll(wordsOf(checks), [&session, checks](std::vector<std::uint16_t> values) {
        const auto& items = session.job().items;
        std::vector<Assignment> differing;
        for (std::size_t i = 0, c = 0; i < items.size(); ++i) {
            bool differs = values[c++] != items[i].value;
            while (c < checks.size() && checks[c].twinOf)
                differs = (values[c++] != items[i].value) || differs;
            if (differs) differing.push_back(items[i]);
        }
        const std::size_t total = items.size();
        const std::size_t count = differing.size();
        auto summary = [total, count] {
            return text("%1 of %2 word differed: %3 written, %4 verified",
                        "%1 of %2 words differed: %3 written, %4 verified", total)
                .arg(QString::number(count), QString::number(total), QString::number(count),
                     QString::number(total));
        };
        if (differing.empty()) { // the reads just made are the check
            session.data(summary());
            session.finish(ExitDone);
            return;
        }
        writeAndVerify(session, std::move(differing), N_("%1: file %2, controller %3"), summary);
    });
}

void diffFlow(Session& session) {
    auto checks = checksOf(session.job().items, false);
    const auto n = checks.size();
    compare(session, std::move(checks), N_("%1: file %2, controller %3"),
            [&session, n](int differ) {
                if (differ == 0)
                    session.data(text("%1 word compared, no difference",
                                      "%1 words compared, no difference", n)
                                     .arg(n));
                session.finish(differ == 0 ? ExitDone : ExitDifferences);
            });
}

} // namespace rxmem
