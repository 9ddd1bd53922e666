// Steady-state poll cycle of the RX-300 tool against the simulator pacing at 19200 baud: the
// cycle period against its bound (10 ticks of 30 ms plus the line time of the 8 live reads and
// their replies), and the CPU the tool uses per minute of polling.
//
//   bench_rx300_cycle [seconds]      (default 30)
//
// RXSIM_BENCH_ARGS adds simulator options (for example "--latency-ms 20").
#include "calform.h"
#include "rx300model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <vector>

using namespace calcore;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Line time of the live reads of one cycle: each read frame and its reply, 10 bits a byte.
double liveLineSeconds(const PollCycle& cycle) {
    std::size_t bytes = 0;
    for (const auto& b : rx300::model().liveReads) {
        const std::string shown = displayText(cycle.valueText(b.space, b.word));
        bytes += 4 + 1 + std::to_string(b.word).size() + shown.size() + 1;
    }
    return double(bytes) * 10.0 / 19200.0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;

    QTemporaryDir dir;
    QProcess sim;
    sim.setProgram(RXSIM_PATH);
    const QString extra = QString::fromLocal8Bit(qgetenv("RXSIM_BENCH_ARGS"));
    sim.setArguments(QStringList{"--model", "rx300", "--link", dir.filePath("COM1")} +
                     extra.split(' ', Qt::SkipEmptyParts));
    sim.start();
    if (!QTest::qWaitFor([&] { return QFile::exists(dir.filePath("COM1")); }, 10000)) {
        std::fprintf(stderr, "rxsim did not start\n");
        return 1;
    }
    qputenv("RX_COM_DIR", dir.path().toLocal8Bit());

    CalForm form(rx300::model(), "COM1");
    std::vector<qint64> cycleEnds;
    QElapsedTimer clock;
    clock.start();
    qint64 lastStep = 0;
    double stepSum[11] = {};
    int stepCount[11] = {};
    // A real event loop, not a polling wait: the tool must see its events when they come.
    QEventLoop loop;
    QObject::connect(&form.cycle(), &PollCycle::stepDone, &loop, [&](int tick) {
        const qint64 now = clock.nsecsElapsed();
        if (cycleEnds.size() >= 2 && tick >= 1 && tick <= 10) {
            stepSum[tick] += double(now - lastStep) / 1e6;
            ++stepCount[tick];
        }
        lastStep = now;
        if (tick == 10) cycleEnds.push_back(now);
        if (tick == 10 && cycleEnds.size() == 2) loop.quit();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    form.load();
    form.show();
    // Steady state: the start-up refreshes are behind us (the simulator's flags cause no
    // write-back).
    loop.exec();
    if (cycleEnds.size() < 2) {
        std::fprintf(stderr, "the cycle did not reach a steady state\n");
        return 1;
    }
    const std::size_t first = cycleEnds.size() - 1;
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop measure;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &measure, &QEventLoop::quit);
    measure.exec();
    const double cpu = cpuSeconds() - cpu0;
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const int cycles = int(cycleEnds.size() - 1 - first);
    const double periodMs =
        cycles > 0 ? double(cycleEnds.back() - cycleEnds[first]) / 1e6 / cycles : 0.0;
    const double boundMs = 10 * PollCycle::TickMs + liveLineSeconds(form.cycle()) * 1000.0;

    std::printf("answering RX-300 (paced 19200 baud%s%s), %d s, %d cycles:\n",
                extra.isEmpty() ? ", 1 ms latency" : ", ", qPrintable(extra), seconds, cycles);
    std::printf("  cycle period     %8.1f ms\n", periodMs);
    std::printf("  bound            %8.1f ms  (10 x 30 ms + line time of 8 live reads)\n", boundMs);
    std::printf("  ratio            %8.3f    (goal <= 1.05)\n", periodMs / boundMs);
    std::printf("  CPU              %8.3f s per minute of polling\n", cpu / wallS * 60.0);
    std::printf("  steps (ms)      ");
    for (int t = 1; t <= 10; ++t)
        std::printf(" %5.1f", stepCount[t] ? stepSum[t] / stepCount[t] : 0.0);
    std::printf("\n");

    sim.terminate();
    sim.waitForFinished(5000);
    return periodMs / boundMs <= 1.05 ? 0 : 3;
}
