// Steady-state poll cycle of a calibration tool against the simulator pacing at 19200 baud:
// the cycle period against its bound (10 ticks of 30 ms plus the line time of the live reads
// and their replies), and the CPU the tool uses per minute of polling, with an answering and
// with a silent controller.
//
//   bench_cycle rx200|rx100|rx300 [seconds-per-case]      (default 30)
#include "allmodels.h"
#include "calform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
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
double liveLineSeconds(const Model& model, const PollCycle& cycle) {
    std::size_t bytes = 0;
    for (const auto& b : model.liveReads) {
        const std::string shown = displayText(cycle.valueText(b.space, b.word));
        bytes += 4 + 1 + std::to_string(b.word).size() + shown.size() + 1;
    }
    return double(bytes) * 10.0 / 19200.0;
}

struct Result {
    double stepMs[11] = {}; // mean time from the previous step's end to this step's end
    double periodMs = 0;
    double boundMs = 0;
    double cpuPerMinute = 0;
    int cycles = 0;
};

Result runCase(const QString& name, const Model& model, const QStringList& simArgs, int seconds) {
    QTemporaryDir dir;
    QProcess sim;
    sim.setProgram(RXSIM_PATH);
    QStringList args{"--model", name, "--link", dir.filePath("COM1")};
    // RXSIM_BENCH_LOG=FILE keeps the answering simulator's frame log (timing on the line).
    if (const QByteArray log = qgetenv("RXSIM_BENCH_LOG"); !log.isEmpty() && simArgs.isEmpty())
        args << "--log" << QString::fromLocal8Bit(log);
    // RXSIM_BENCH_ARGS adds simulator options to both cases (for example "--latency-ms 20").
    const QString extra = QString::fromLocal8Bit(qgetenv("RXSIM_BENCH_ARGS"));
    sim.setArguments(args + simArgs + extra.split(' ', Qt::SkipEmptyParts));
    sim.start();
    if (!QTest::qWaitFor([&] { return QFile::exists(dir.filePath("COM1")); }, 10000)) {
        std::fprintf(stderr, "rxsim did not start\n");
        std::exit(1);
    }
    qputenv("RX_COM_DIR", dir.path().toLocal8Bit());

    Result r;
    {
        CalForm form(model, "COM1");
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
            if (cycleEnds.size() >= 3 && tick >= 1 && tick <= 10) {
                stepSum[tick] += double(now - lastStep) / 1e6;
                ++stepCount[tick];
            }
            lastStep = now;
            if (tick == 10) cycleEnds.push_back(now);
            if (tick == 10 && cycleEnds.size() == 3) loop.quit();
        });
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        form.load();
        form.show();
        // Steady state: the start-up refreshes and the write-back of the flags are behind us.
        loop.exec();
        if (cycleEnds.size() < 3) {
            std::fprintf(stderr, "the cycle did not reach a steady state\n");
            std::exit(1);
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
        r.cycles = int(cycleEnds.size() - 1 - first);
        if (r.cycles > 0) r.periodMs = double(cycleEnds.back() - cycleEnds[first]) / 1e6 / r.cycles;
        r.boundMs = 10 * PollCycle::TickMs + liveLineSeconds(model, form.cycle()) * 1000.0;
        r.cpuPerMinute = cpu / wallS * 60.0;
        for (int t = 1; t <= 10; ++t)
            if (stepCount[t]) r.stepMs[t] = stepSum[t] / stepCount[t];
    }
    sim.terminate();
    sim.waitForFinished(5000);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString name = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    const Model* model = modelNamed(name);
    if (!model) {
        std::fprintf(stderr, "usage: bench_cycle rx200|rx100|rx300 [seconds-per-case]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    const auto live = model->liveReads.size();

    std::printf("%s\n", model->caption);
    const Result answering = runCase(name, *model, {}, seconds);
    std::printf("answering controller (paced 19200 baud, 1 ms latency), %d s, %d cycles:\n",
                seconds, answering.cycles);
    std::printf("  cycle period     %8.1f ms\n", answering.periodMs);
    std::printf("  bound            %8.1f ms  (10 x 30 ms + line time of %zu live reads)\n",
                answering.boundMs, live);
    std::printf("  ratio            %8.3f    (goal <= 1.10)\n",
                answering.periodMs / answering.boundMs);
    std::printf("  CPU              %8.3f s per minute of polling (goal < 1)\n",
                answering.cpuPerMinute);
    std::printf("  steps (ms)      ");
    for (int t = 1; t <= 10; ++t)
        std::printf(" %5.1f", answering.stepMs[t]);
    std::printf("\n");

    const Result silent = runCase(name, *model, {"--silent"}, seconds);
    std::printf("silent controller, %d s, %d cycles:\n", seconds, silent.cycles);
    std::printf("  cycle period     %8.1f ms  (every read times out after 500 ms: %zu a cycle)\n",
                silent.periodMs, live);
    std::printf("  CPU              %8.3f s per minute of polling (goal < 1)\n",
                silent.cpuPerMinute);
    return 0;
}
