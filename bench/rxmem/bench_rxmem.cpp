// How fast rxmem saves the editor's 180 words against the simulator pacing its line at 19200
// baud, against the line's own time: every read frame and reply byte at 19200 baud plus the
// controller's answer time. Also against the editor's sweeps of the same words, which wait
// 500 ms after every reply.
//   bench_rxmem [runs]     (default 5)
#include "figure.h"
#include "framelog.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr double kByteTime = 10.0 / 19200.0; // start bit, eight data bits, stop bit
constexpr double kLatency = 0.001;           // the simulator's answer time
constexpr double kEditorPause = 0.5;         // the editor's pause after every reply
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const QString log = dir.filePath("frames.log");
    QProcess sim;
    sim.start(RXSIM_PATH, {"--link", dir.filePath("COM1"), "--log", log, "--latency-ms", "1"});
    for (int i = 0; i < 200 && !QFileInfo(dir.filePath("COM1")).isSymLink(); ++i)
        QThread::msleep(10);
    qputenv("RX_COM_DIR", dir.path().toLocal8Bit());

    std::vector<double> seconds;
    double lineTime = 0;
    double editorTime = 0;
    for (int run = 0; run < runs; ++run) {
        rxsim::FrameLog frames(log.toStdString());
        frames.mark();
        QProcess rxmem;
        QElapsedTimer clock;
        clock.start();
        rxmem.start(RXMEM_PATH, {"--quiet", "save", dir.filePath("backup.txt")});
        if (!rxmem.waitForFinished(60000) || rxmem.exitCode() != 0) {
            std::fprintf(stderr, "bench_rxmem: rxmem save failed: %s\n",
                         rxmem.readAllStandardError().constData());
            return 1;
        }
        seconds.push_back(double(clock.nsecsElapsed()) / 1e9);
        // The line's own time for what this run exchanged.
        std::size_t bytes = 0, replies = 0, replyBytes = 0;
        for (const auto& e : frames.entries()) {
            if (e.kind == "RX") bytes += e.bytes.size();
            if (e.kind == "TX") ++replies, replyBytes += e.bytes.size();
        }
        // The simulator puts a reply's first byte on the line at once, so its last byte is in one
        // byte time before a real line would have it: counted here as the simulator paces.
        lineTime = double(bytes + replyBytes - replies) * kByteTime + double(replies) * kLatency;
        editorTime = lineTime + double(replies) * kEditorPause;
    }
    sim.terminate();
    sim.waitForFinished(5000);

    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    std::printf("rxmem save, 180 words, %d runs: median %.3f s (best %.3f s, worst %.3f s)\n", runs,
                median, seconds.front(), seconds.back());
    std::printf("line time (frames and replies at 19200 baud as the simulator paces them, + 1 ms "
                "answer time per read): %.3f s\n",
                lineTime);
    std::printf("ratio against the line: %.3f (goal <= 1.25)\n", median / lineTime);
    std::printf("the editor's sweeps of the same words take at least %.1f s: rxmem is %.0f times "
                "faster\n",
                editorTime, editorTime / median);
    figure("rxmem save of 180 words / line time", median / lineTime, "", "<= 1.25");
    figure("rxmem save speed-up over the editor's sweeps", editorTime / median, "x");
    return 0;
}
