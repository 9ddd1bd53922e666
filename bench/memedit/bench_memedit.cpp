// Sweep pace and idle cost of the memory editor against the controller simulator.
//   bench_memedit [latency-ms ...]   (default: 0 50 150)
// For each simulator latency: runs the sweep of page 2 (M100..M139) and compares the time
// between successive reads with the simulator's answer time + 500 ms. Then measures the CPU
// the editor uses in 10 s of idling with its port open.
#include "benchloop.h"
#include "figure.h"
#include "framelog.h"
#include "mainwindow.h"
#include "serialport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

struct Simulator {
    QTemporaryDir dir;
    QProcess process;

    bool start(int latencyMs) {
        process.setProgram(QStringLiteral(RXSIM_PATH));
        process.setArguments({"--model", "rx200", "--link", dir.filePath("COM1"), "--log",
                              dir.filePath("frames.log"), "--latency-ms",
                              QString::number(latencyMs)});
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted(5000)) return false;
        qputenv("RX_COM_DIR", dir.path().toLocal8Bit());
        return runUntil([&] { return QFileInfo(dir.filePath("COM1")).isSymLink(); }, 10000, 20);
    }
    ~Simulator() {
        process.terminate();
        process.waitForFinished(5000);
    }
};

struct Pace {
    int words = 0;
    double meanGap = 0;    // s between successive reads
    double meanAnswer = 0; // s from a read to its answer
};

Pace measurePace(const rxsim::FrameLog& log) {
    std::vector<double> reads;
    std::vector<double> answers;
    double lastRead = -1;
    for (const rxsim::LogEntry& e : log.entries()) {
        if (e.kind == "RX" && e.bytes.size() == 4 && e.bytes[0] == 'R') {
            reads.push_back(e.t);
            lastRead = e.t;
        } else if (e.kind == "TX" && lastRead >= 0) {
            answers.push_back(e.t - lastRead);
            lastRead = -1;
        }
    }
    Pace pace;
    pace.words = int(reads.size());
    for (size_t i = 1; i < reads.size(); ++i)
        pace.meanGap += (reads[i] - reads[i - 1]) / double(reads.size() - 1);
    for (double a : answers)
        pace.meanAnswer += a / double(answers.size());
    return pace;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> latencies;
    for (const QString& arg : app.arguments().mid(1))
        latencies << arg.toInt();
    if (latencies.isEmpty()) latencies = {0, 50, 150};

    std::printf("%-12s %6s %14s %16s %12s %10s\n", "latency(ms)", "words", "pace(ms/word)",
                "answer+500(ms)", "deviation", "goal<=5%");
    std::unique_ptr<Simulator> idleSim;
    std::unique_ptr<memedit::Form1> idleWindow;
    for (int latency : latencies) {
        auto sim = std::make_unique<Simulator>();
        if (!sim->start(latency)) {
            std::fprintf(stderr, "rxsim did not start\n");
            return 1;
        }
        rxsim::FrameLog log(sim->dir.filePath("frames.log").toStdString());
        auto window = std::make_unique<memedit::Form1>();
        auto* timer = window->findChild<QTimer*>("Timer2");
        window->findChild<QPushButton*>("Button364")->click();
        if (!runUntil([&] { return !timer->isActive(); }, 120000, 20)) {
            std::fprintf(stderr, "the sweep did not end\n");
            return 1;
        }
        const Pace pace = measurePace(log);
        const double expected = pace.meanAnswer + 0.5;
        const double deviation = (pace.meanGap - expected) / expected * 100.0;
        std::printf("%-12d %6d %14.1f %16.1f %11.2f%% %10s\n", latency, pace.words,
                    pace.meanGap * 1000, expected * 1000, deviation,
                    std::abs(deviation) <= 5.0 ? "met" : "MISSED");
        std::string name = "memedit sweep pace, simulator latency ";
        name += std::to_string(latency) + " ms";
        char goal[64];
        std::snprintf(goal, sizeof goal, "%.0f (answer + 500) +- 5 %%", expected * 1000);
        figure(name, pace.meanGap * 1000, "ms/word", goal);
        idleSim = std::move(sim);
        idleWindow = std::move(window);
    }

    // Idle with the port open (a sweep's reads leave it open).
    if (!idleWindow->comPort()->Connected()) {
        std::fprintf(stderr, "the port is not open after the sweep\n");
        return 1;
    }
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop idle;
    QTimer::singleShot(10000, Qt::PreciseTimer, &idle, &QEventLoop::quit);
    idle.exec();
    const double used = cpuSeconds() - before;
    const double share = used / (double(wall.elapsed()) / 1000) * 100;
    std::printf("idle with the port open: %.3f CPU s in %.1f s (%.3f%%)\n", used,
                double(wall.elapsed()) / 1000, share);
    figure("memedit CPU idle with the port open", share, "%");
    return 0;
}
