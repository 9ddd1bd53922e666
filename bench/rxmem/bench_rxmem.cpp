// rxmem against the simulator:
//   save   the editor's 180 words against the line pacing its bytes at 19200 baud: the time
//          against one pass of reads at the line's own pace (every read frame and reply byte at
//          19200 baud plus the controller's answer time), and against the editor's sweeps,
//          which wait 500 ms after every reply;
//   flip   50 saves against a line that changes one value digit of one reply in ten, each with
//          its own seed: how many succeed, and how many hold a value the controller does not;
//   drop   20 saves against a line that loses one reply in five: a word that answered is never
//          "no reply", so every save must succeed;
//   live   20 reads of the live inputs M13 to M16 on a slow line (150 ms to answer): each ends
//          in values or in the message of a live value, never in "garbled replies";
//   watch  the rounds of `rxmem watch` of two answering words against their line time;
//   ports  `load --all` of the editor's 180 words onto four controllers at once, against one;
//   scan   `rxmem ports` over 16 ports, half of them silent, all asked at once.
//   bench_rxmem [save|flip|drop|live|watch|ports|scan|all] [runs]   (default all; runs of the save
//   and
//          the scan, default 5)
#include "figure.h"
#include "framelog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr double kByteTime = 10.0 / 19200.0; // start bit, eight data bits, stop bit
constexpr double kLatency = 0.001;           // the simulator's answer time
constexpr double kEditorPause = 0.5;         // the editor's pause after every reply
constexpr int kEditorWords = 180;

// A simulator on DIR/COM1 logging to DIR/frames.log, until the object goes.
class Sim {
  public:
    Sim(const QString& dir, const QStringList& options) : dir_(dir) {
        process_.start(RXSIM_PATH, QStringList{"--link", dir + "/COM1", "--log", log()} + options);
        for (int i = 0; i < 500 && !QFileInfo(dir + "/COM1").isSymLink(); ++i)
            QThread::msleep(10);
    }
    ~Sim() {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    QString log() const { return dir_ + "/frames.log"; }

  private:
    QString dir_;
    QProcess process_;
};

struct Run {
    int status = -1;
    double seconds = 0;
    QByteArray err;
};

Run rxmem(const QString& comDir, const QStringList& args, QByteArray* out = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("RX_COM_DIR", comDir);
    p.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    p.start(RXMEM_PATH, QStringList{"--quiet"} + args);
    if (!p.waitForFinished(600000)) return {};
    if (out) *out = p.readAllStandardOutput();
    return {p.exitCode(), double(clock.nsecsElapsed()) / 1e9, p.readAllStandardError()};
}

// WORD=VALUE lines of a file.
std::map<QByteArray, QByteArray> valuesOf(const QString& path) {
    std::map<QByteArray, QByteArray> values;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return values;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const auto eq = line.indexOf('=');
        if (!line.startsWith('#') && eq > 0) values[line.left(eq)] = line.mid(eq + 1);
    }
    return values;
}

bool benchSave(int runs) {
    QTemporaryDir dir;
    Sim sim(dir.path(), {"--latency-ms", "1"});
    std::vector<double> seconds;
    double onePass = 0;
    double readsPerWord = 0;
    for (int run = 0; run < runs; ++run) {
        rxsim::FrameLog frames(sim.log().toStdString());
        frames.mark();
        const Run r = rxmem(dir.path(), {"save", dir.filePath("backup.txt")});
        if (r.status != 0) {
            std::fprintf(stderr, "bench_rxmem: rxmem save failed: %s\n", r.err.constData());
            return false;
        }
        seconds.push_back(r.seconds);
        // The line's own time for what this run exchanged, then for one read of each word.
        std::size_t bytes = 0, reads = 0, replies = 0, replyBytes = 0;
        for (const auto& e : frames.entries()) {
            if (e.kind == "RX") ++reads, bytes += e.bytes.size();
            if (e.kind == "TX") ++replies, replyBytes += e.bytes.size();
        }
        // The simulator puts a reply's first byte on the line at once, so its last byte is in one
        // byte time before a real line would have it: counted here as the simulator paces.
        const double lineTime =
            double(bytes + replyBytes - replies) * kByteTime + double(replies) * kLatency;
        readsPerWord = double(reads) / kEditorWords;
        onePass = lineTime / readsPerWord;
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    const double editorTime = onePass + kEditorWords * kEditorPause;
    std::printf("rxmem save, 180 words, %d runs: median %.3f s (best %.3f s, worst %.3f s), "
                "%.2f reads a word\n",
                runs, median, seconds.front(), seconds.back(), readsPerWord);
    std::printf("one pass at the line's own pace (a read frame and its reply for each word at "
                "19200 baud, + 1 ms answer time): %.3f s\n",
                onePass);
    std::printf("ratio against one pass: %.3f (goal <= 2.2)\n", median / onePass);
    std::printf("the editor's sweeps of the same words take at least %.1f s: rxmem is %.0f times "
                "faster\n",
                editorTime, editorTime / median);
    figure("rxmem save of 180 words / one pass at the line's pace", median / onePass, "", "<= 2.2");
    figure("rxmem save speed-up over the editor's sweeps", editorTime / median, "x");
    return true;
}

bool benchFlip() {
    constexpr int kSaves = 50;
    QTemporaryDir dir;
    const QString reference = dir.filePath("reference.txt");
    {
        Sim clean(dir.path(), {"--no-pace"});
        if (rxmem(dir.path(), {"save", reference}).status != 0) {
            std::fprintf(stderr, "bench_rxmem: the reference save failed\n");
            return false;
        }
    }
    const auto truth = valuesOf(reference);
    int succeeded = 0, wrongSaves = 0, wrongValues = 0;
    std::size_t reads = 0;
    double seconds = 0;
    std::map<QByteArray, int> failures;
    for (int seed = 1; seed <= kSaves; ++seed) {
        QTemporaryDir run;
        Sim sim(run.path(), {"--no-pace", "--flip", "0.1", "--seed", QString::number(seed)});
        const QString file = run.filePath("backup.txt");
        const Run r = rxmem(run.path(), {"save", file});
        reads += rxsim::FrameLog(sim.log().toStdString()).rxFrames().size();
        if (r.status != 0) {
            ++failures[r.err.trimmed()];
            continue;
        }
        ++succeeded;
        seconds += r.seconds;
        int wrong = 0;
        for (const auto& [word, value] : valuesOf(file))
            wrong += truth.at(word) != value;
        wrongValues += wrong;
        wrongSaves += wrong > 0;
    }
    std::printf("%d saves against rxsim --flip 0.1, seeds 1 to %d: %d succeeded, %d held a value "
                "the controller does not hold (%d values in all); %.2f reads a word\n",
                kSaves, kSaves, succeeded, wrongSaves, wrongValues,
                double(reads) / (kSaves * kEditorWords));
    for (const auto& [why, n] : failures)
        std::printf("  %d failed: %s\n", n, why.constData());
    figure("rxmem saves with --flip 0.1 that succeeded, of 50", succeeded, "", ">= 48");
    figure("rxmem saves with --flip 0.1 holding a wrong value", wrongSaves, "", "0");
    return true;
}

// Runs `count` commands at once, each against a simulator of its own with `simOptions` and the
// seed of its run; FILE in `args` is a file of the run's own folder. Each run's status and
// standard error, and the words of its FILE when it succeeded.
struct ManyRun {
    Run run;
    std::map<QByteArray, QByteArray> values;
};
std::vector<ManyRun> runMany(int count, const QStringList& simOptions, const QStringList& args) {
    struct Slot {
        std::unique_ptr<QTemporaryDir> dir;
        std::unique_ptr<Sim> sim;
        std::unique_ptr<QProcess> process;
    };
    std::vector<Slot> started;
    for (int seed = 1; seed <= count; ++seed) {
        Slot s;
        s.dir = std::make_unique<QTemporaryDir>();
        s.sim = std::make_unique<Sim>(s.dir->path(),
                                      simOptions + QStringList{"--seed", QString::number(seed)});
        s.process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("RX_COM_DIR", s.dir->path());
        s.process->setProcessEnvironment(env);
        QStringList a = args;
        a.replaceInStrings(QRegularExpression("^FILE$"), s.dir->filePath("backup.txt"));
        s.process->start(RXMEM_PATH, QStringList{"--quiet"} + a);
        started.push_back(std::move(s));
    }
    std::vector<ManyRun> runs;
    for (Slot& s : started) {
        ManyRun r;
        if (s.process->waitForFinished(900000))
            r.run = {s.process->exitCode(), 0, s.process->readAllStandardError()};
        if (r.run.status == 0) r.values = valuesOf(s.dir->filePath("backup.txt"));
        runs.push_back(std::move(r));
    }
    return runs;
}

bool benchDrop() {
    constexpr int kSaves = 20;
    const auto runs = runMany(kSaves, {"--no-pace", "--drop", "0.2"}, {"save", "FILE"});
    int succeeded = 0;
    std::map<QByteArray, int> failures;
    for (const ManyRun& r : runs) {
        if (r.run.status == 0)
            ++succeeded;
        else
            ++failures[r.run.err.trimmed()];
    }
    std::printf("%d saves against rxsim --drop 0.2 (one reply in five lost), seeds 1 to %d: %d "
                "succeeded\n",
                kSaves, kSaves, succeeded);
    for (const auto& [why, n] : failures)
        std::printf("  %d failed: %s\n", n, why.constData());
    figure("rxmem saves with --drop 0.2 that succeeded, of 20", succeeded, "", "20");
    return true;
}

bool benchLive() {
    constexpr int kReads = 20;
    const auto runs =
        runMany(kReads, {"--latency-ms", "150"}, {"read", "M13", "M14", "M15", "M16"});
    int values = 0, live = 0, garbled = 0;
    std::map<QByteArray, int> others;
    for (const ManyRun& r : runs) {
        if (r.run.status == 0)
            ++values;
        else if (r.run.err.contains("changes from read to read") &&
                 r.run.err.contains("a live value"))
            ++live;
        else if (r.run.err.contains("garbled"))
            ++garbled;
        else
            ++others[r.run.err.trimmed()];
    }
    std::printf("%d reads of M13 M14 M15 M16 against rxsim --latency-ms 150: %d gave values, %d "
                "told a live value, %d said \"garbled\"\n",
                kReads, values, live, garbled);
    for (const auto& [why, n] : others)
        std::printf("  %d ended otherwise: %s\n", n, why.constData());
    figure("rxmem live reads ending in values or the live-value message, of 20", values + live, "",
           "20");
    return true;
}

bool benchWatch() {
    constexpr int kRows = 60;
    QTemporaryDir dir;
    Sim sim(dir.path(), {"--latency-ms", "1"});
    QByteArray csv;
    const Run r =
        rxmem(dir.path(), {"watch", "--count", QString::number(kRows), "M150", "E28"}, &csv);
    if (r.status != 0) {
        std::fprintf(stderr, "bench_rxmem: rxmem watch failed: %s\n", r.err.constData());
        return false;
    }
    // The rounds' period from the simulator's clock: the first read frame of each round.
    std::vector<double> starts;
    std::size_t bytes = 0, replies = 0, replyBytes = 0, reads = 0;
    for (const auto& e : rxsim::FrameLog(sim.log().toStdString()).entries()) {
        if (e.kind == "RX" && reads++ % 2 == 0) starts.push_back(e.t);
        if (e.kind == "RX") bytes += e.bytes.size();
        if (e.kind == "TX") ++replies, replyBytes += e.bytes.size();
    }
    if (starts.size() < 3 || replies != reads) {
        std::fprintf(stderr, "bench_rxmem: watch: %zu reads, %zu replies\n", reads, replies);
        return false;
    }
    const double period = (starts.back() - starts.front()) / double(starts.size() - 1);
    const double lineTime =
        (double(bytes + replyBytes - replies) * kByteTime + double(replies) * kLatency) /
        double(starts.size());
    const int lines = int(csv.count('\n'));
    std::printf("rxmem watch of M150 and E28, %d rows (%d lines of CSV with the header): a round "
                "every %.2f ms, line time of a round %.2f ms, ratio %.3f (goal <= 1.2)\n",
                kRows, lines, period * 1000, lineTime * 1000, period / lineTime);
    figure("rxmem watch round of two words / its line time", period / lineTime, "", "<= 1.2");
    return true;
}

bool benchPorts() {
    QTemporaryDir dir;
    const QString file = dir.filePath("backup.txt");
    {
        Sim source(dir.path(), {"--no-pace"});
        if (rxmem(dir.path(), {"save", file}).status != 0) return false;
    }
    // Four controllers holding other values, each on its own COMn.
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    std::vector<std::unique_ptr<Sim>> sims;
    for (int n = 1; n <= 4; ++n) {
        dirs.push_back(std::make_unique<QTemporaryDir>());
        sims.push_back(std::make_unique<Sim>(dirs.back()->path(),
                                             QStringList{"--latency-ms", "1", "--set", "M150=1"}));
        QFile::link(dirs.back()->path() + "/COM1",
                    dir.filePath(QStringLiteral("COM%1").arg(n + 1)));
    }
    const Run one = rxmem(dir.path(), {"--port", "COM2", "load", "--all", file});
    const Run four = rxmem(dir.path(), {"--port", "COM2", "--port", "COM3", "--port", "COM4",
                                        "--port", "COM5", "load", "--all", file});
    if (one.status != 0 || four.status != 0) {
        std::fprintf(stderr, "bench_rxmem: load onto several ports failed: %s%s\n",
                     one.err.constData(), four.err.constData());
        return false;
    }
    std::printf("rxmem load --all of the editor's 180 words: one controller %.2f s, four at once "
                "%.2f s, ratio %.3f (goal <= 1.3)\n",
                one.seconds, four.seconds, four.seconds / one.seconds);
    figure("rxmem load --all onto four controllers / onto one", four.seconds / one.seconds, "",
           "<= 1.3");
    return true;
}

bool benchScan(int runs) {
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    std::vector<std::unique_ptr<Sim>> sims;
    QStringList args;
    for (int n = 1; n <= 16; ++n) {
        dirs.push_back(std::make_unique<QTemporaryDir>());
        sims.push_back(std::make_unique<Sim>(dirs.back()->path(),
                                             n % 2 ? QStringList{} : QStringList{"--silent"}));
        const QString name = QStringLiteral("COM%1").arg(n);
        QFile::link(dirs.back()->path() + "/COM1", dir.filePath(name));
        args << "--port" << name;
    }
    args << "ports";
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const Run run = rxmem(dir.path(), args);
        if (run.status != 0) {
            std::fprintf(stderr, "bench_rxmem: ports failed: %s\n", run.err.constData());
            return false;
        }
        times.push_back(run.seconds);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("rxmem ports over 16 ports, 8 silent: median %.3f s of %d runs (goal <= 1)\n",
                median, runs);
    figure("rxmem ports over 16 ports, 8 of them silent", median, "s", "<= 1");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("all");
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    bool ok = true;
    if (what == "save" || what == "all") ok = benchSave(runs) && ok;
    if (what == "flip" || what == "all") ok = benchFlip() && ok;
    if (what == "drop" || what == "all") ok = benchDrop() && ok;
    if (what == "live" || what == "all") ok = benchLive() && ok;
    if (what == "watch" || what == "all") ok = benchWatch() && ok;
    if (what == "ports" || what == "all") ok = benchPorts() && ok;
    if (what == "scan" || what == "all") ok = benchScan(runs) && ok;
    return ok ? 0 : 1;
}
