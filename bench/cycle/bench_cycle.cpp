// Steady-state poll cycle of a calibration tool against the simulator pacing at 19200 baud:
// the cycle period against its bound (10 ticks of 30 ms plus the line time of the live reads
// and their replies), and the CPU the tool uses per minute of polling, with an answering
// controller (with the trend window closed and open) and with a silent one: under 0.6 s a minute,
// 1 % of a core. For a model with an exit question, also the time from each answer
// to the program's end, which holds the question's pause.
//
//   bench_cycle rx200|rx100|rx300 [seconds-per-case]      (default 30)
#include "allmodels.h"
#include "benchloop.h"
#include "calform.h"
#include "figure.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace calcore;
using namespace rxline;

namespace {

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
    double sleepsPerCycle = 0; // the tool's wake-ups a cycle: what the CPU figure mostly pays for
    int cycles = 0;
};

// Starts the simulator of model `name` on DIR/COM1 and points the tools' port names there.
void startSimulator(QProcess& sim, const QTemporaryDir& dir, const QString& name,
                    const QStringList& simArgs) {
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
}

// With `trend`, the trend window stands open beside the main window and draws every cycle.
Result runCase(const QString& name, const Model& model, const QStringList& simArgs, int seconds,
               bool trend = false) {
    QTemporaryDir dir;
    QProcess sim;
    startSimulator(sim, dir, name, simArgs);

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
        if (trend) form.showTrend();
        // Steady state: the start-up refreshes and the write-back of the flags are behind us.
        loop.exec();
        if (cycleEnds.size() < 3) {
            std::fprintf(stderr, "the cycle did not reach a steady state\n");
            std::exit(1);
        }
        const std::size_t first = cycleEnds.size() - 1;
        const double cpu0 = cpuSeconds();
        const long sleeps0 = sleepsSoFar();
        QElapsedTimer wall;
        wall.start();
        QEventLoop measure;
        QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &measure, &QEventLoop::quit);
        measure.exec();
        const double cpu = cpuSeconds() - cpu0;
        const long sleeps = sleepsSoFar() - sleeps0;
        const double wallS = double(wall.nsecsElapsed()) / 1e9;
        r.cycles = int(cycleEnds.size() - 1 - first);
        if (r.cycles > 0) {
            r.periodMs = double(cycleEnds.back() - cycleEnds[first]) / 1e6 / r.cycles;
            r.sleepsPerCycle = double(sleeps) / r.cycles;
        }
        r.boundMs = 10 * PollCycle::TickMs + liveLineSeconds(model, form.cycle()) * 1000.0;
        r.cpuPerMinute = cpu / wallS * 60.0;
        for (int t = 1; t <= 10; ++t)
            if (stepCount[t]) r.stepMs[t] = stepSum[t] / stepCount[t];
    }
    sim.terminate();
    sim.waitForFinished(5000);
    return r;
}

// From a click on the exit question's `button` to the program's end (the window's closed
// signal), once the cycle has run two whole rounds: the median of `runs`.
double exitMs(const QString& name, const Model& model, const char* button, int runs) {
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir dir;
        QProcess sim;
        startSimulator(sim, dir, name, {});
        CalForm form(model, "COM1");
        int rounds = 0;
        QEventLoop settle;
        QObject::connect(&form.cycle(), &PollCycle::stepDone, &settle, [&](int tick) {
            if (tick == 10 && ++rounds == 2) settle.quit();
        });
        QTimer::singleShot(60000, &settle, &QEventLoop::quit);
        form.load();
        form.show();
        settle.exec();
        form.close(); // held: the question opens
        auto* answer = form.question() ? form.question()->findChild<QPushButton*>(button) : nullptr;
        if (rounds < 2 || !answer) {
            std::fprintf(stderr, "the exit question did not open\n");
            std::exit(1);
        }
        QEventLoop end;
        QObject::connect(&form, &CalForm::closed, &end, &QEventLoop::quit);
        QTimer::singleShot(60000, &end, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        answer->click();
        end.exec();
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        sim.terminate();
        sim.waitForFinished(5000);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
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
    std::printf("  CPU              %8.3f s per minute of polling (goal < 0.6, 1 %% of a core)\n",
                answering.cpuPerMinute);
    std::printf("  wake-ups         %8.1f a cycle\n", answering.sleepsPerCycle);
    std::printf("  steps (ms)      ");
    for (int t = 1; t <= 10; ++t)
        std::printf(" %5.1f", answering.stepMs[t]);
    std::printf("\n");

    const Result trend = runCase(name, *model, {}, seconds, true);
    std::printf("answering controller, trend window open, %d s, %d cycles:\n", seconds,
                trend.cycles);
    std::printf("  CPU              %8.3f s per minute of polling (goal < 0.6)\n",
                trend.cpuPerMinute);

    const Result silent = runCase(name, *model, {"--silent"}, seconds);
    std::printf("silent controller, %d s, %d cycles:\n", seconds, silent.cycles);
    std::printf("  cycle period     %8.1f ms  (every read times out after 500 ms: %zu a cycle)\n",
                silent.periodMs, live);
    std::printf("  CPU              %8.3f s per minute of polling (goal < 0.6)\n",
                silent.cpuPerMinute);

    const std::string tool = name.toStdString() + "cal";
    figure(tool + " cycle period / bound", answering.periodMs / answering.boundMs, "", "<= 1.10");
    figure(tool + " CPU polling, controller answering", answering.cpuPerMinute, "s/min", "< 0.6");
    figure(tool + " wake-ups a cycle, controller answering", answering.sleepsPerCycle, "", "");
    figure(tool + " CPU polling, answering, trend window open", trend.cpuPerMinute, "s/min",
           "< 0.6");
    figure(tool + " CPU polling, controller silent", silent.cpuPerMinute, "s/min", "< 0.6");

    if (const ExitQuestion* q = model->exitQuestion) {
        const double yes = exitMs(name, *model, q->yesButton, 3);
        const double no = exitMs(name, *model, q->noButton, 3);
        std::printf("exit question (pause %d ms), from the answer to the program's end, median "
                    "of 3:\n  yes              %8.1f ms\n  no               %8.1f ms\n",
                    q->pauseMs, yes, no);
        std::string goal = ">= ";
        goal += std::to_string(q->pauseMs) + ", < 2000";
        figure(tool + " exit, answer \"yes\" to the end", yes, "ms", goal);
        figure(tool + " exit, answer \"no\" to the end", no, "ms", goal);
    }
    return 0;
}
