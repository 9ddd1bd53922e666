// rxmem against the simulator:
//   save   the editor's 180 words against the line pacing its bytes at 19200 baud: the time
//          against one pass of reads at the line's own pace (every read frame and reply byte at
//          19200 baud plus the controller's answer time), and against the editor's sweeps,
//          which wait 500 ms after every reply;
//   flip   50 saves against a line that changes one value digit of one reply in ten, each with
//          its own seed: how many succeed, and how many hold a value the controller does not;
//   watch  the rounds of `rxmem watch` of two answering words against their line time;
//   ports  `load --all` of the editor's 180 words onto four controllers at once, against one.
//   bench_rxmem [save|flip|watch|ports|all] [runs]     (default all; runs of the save, default 5)
#include "figure.h"
#include "framelog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("all");
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    bool ok = true;
    if (what == "save" || what == "all") ok = benchSave(runs) && ok;
    if (what == "flip" || what == "all") ok = benchFlip() && ok;
    if (what == "watch" || what == "all") ok = benchWatch() && ok;
    if (what == "ports" || what == "all") ok = benchPorts() && ok;
    return ok ? 0 : 1;
}
