// How a calibration tool's window follows a controller that stops answering or goes away,
// against the simulator:
//   silent  from the window's load to " — sem resposta do controlador" in its title;
//   gone    the CPU the tool uses while the port is gone and the link tries it once a second;
//   back    from the controller's return to the tool's first frame on the line.
//
//   bench_reconnect [seconds-gone] [rx200|rx100|rx300 ...]     (default 10 s, every model)
#include "allmodels.h"
#include "benchloop.h"
#include "calform.h"
#include "figure.h"
#include "framelog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

using namespace calcore;

namespace {

// The clock of the simulator's frame log.
double monotonicSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "bench_reconnect: %s\n", what);
    std::exit(1);
}

// The simulator of one model on DIR/COM1, logging to DIR/frames.log; it ends with the object.
class Simulator {
  public:
    Simulator(const QTemporaryDir& dir, const QString& model, const QStringList& options) {
        process_.setProgram(RXSIM_PATH);
        process_.setArguments(QStringList{"--model", model, "--link", dir.filePath("COM1"), "--log",
                                          dir.filePath("frames.log")} +
                              options);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(10000) ||
            !runUntil([&] { return QFileInfo(dir.filePath("COM1")).isSymLink(); }, 10000))
            fail("rxsim did not start");
        qputenv("RX_COM_DIR", dir.path().toLocal8Bit());
    }
    ~Simulator() {
        process_.terminate();
        process_.waitForFinished(5000);
    }

  private:
    QProcess process_;
};

double silentMs(const QString& name, const Model& model) {
    QTemporaryDir dir;
    Simulator sim(dir, name, {"--silent"});
    CalForm form(model, "COM1");
    const QString told = QString::fromUtf8(model.caption) + silenceText("COM1");
    QElapsedTimer clock;
    double ms = -1;
    QEventLoop loop;
    QObject::connect(&form, &QWidget::windowTitleChanged, &loop, [&](const QString& title) {
        if (title != told || ms >= 0) return;
        ms = double(clock.nsecsElapsed()) / 1e6;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    clock.start();
    form.load();
    form.show();
    loop.exec();
    form.cycle().stop();
    if (ms < 0) fail("the title never told the controller silent");
    return ms;
}

struct GoneAndBack {
    double cpuPercent = 0;
    double resumeMs = 0;
};

GoneAndBack goneAndBack(const QString& name, const Model& model, int seconds) {
    QTemporaryDir dir;
    auto sim = std::make_unique<Simulator>(dir, name, QStringList{});
    CalForm form(model, "COM1");
    int rounds = 0;
    QObject::connect(&form.cycle(), &PollCycle::stepDone, &form,
                     [&](int tick) { rounds += tick == 10; });
    form.load();
    form.show();
    if (!runUntil([&] { return rounds >= 2; }, 60000)) fail("the cycle did not run");

    sim.reset(); // unplugged
    const QString gone =
        QString::fromUtf8(model.caption) + " — porta COM1 desconectada, tentando de novo";
    if (!runUntil([&] { return form.windowTitle() == gone && !form.link().busy(); }, 60000))
        fail("the title never told the port gone");
    GoneAndBack r;
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop idle; // a real event loop: the tool sees its timers as they come
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &idle, &QEventLoop::quit);
    idle.exec();
    r.cpuPercent = (cpuSeconds() - cpu0) / (double(wall.nsecsElapsed()) / 1e9) * 100.0;

    const rxsim::FrameLog log(dir.filePath("frames.log").toStdString());
    const double returned = monotonicSeconds();
    sim = std::make_unique<Simulator>(dir, name, QStringList{});
    double first = -1;
    runUntil(
        [&] {
            for (const auto& e : log.entries()) {
                if (e.kind != "RX") continue;
                first = e.t;
                return true;
            }
            return false;
        },
        60000);
    form.cycle().stop();
    if (first < 0) fail("no frame after the controller came back");
    r.resumeMs = (first - returned) * 1000.0;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QList<QPair<QString, const Model*>> models;
    for (int i = 2; i < argc; ++i) {
        const Model* model = modelNamed(QString::fromLatin1(argv[i]));
        if (!model) {
            std::fprintf(stderr, "usage: bench_reconnect [seconds-gone] [rx200|rx100|rx300 ...]\n");
            return 2;
        }
        models.append({QString::fromLatin1(argv[i]), model});
    }
    if (models.isEmpty()) models = availableModels();

    for (const auto& [name, model] : models) {
        const std::string tool = name.toStdString() + "cal";
        const double silent = silentMs(name, *model);
        const GoneAndBack gone = goneAndBack(name, *model, seconds);
        std::printf("%s\n", tool.c_str());
        std::printf("  silent controller: told in the title %.0f ms after the load\n", silent);
        std::printf("  port gone for %d s: CPU %.3f %% (goal < 1 %%)\n", seconds, gone.cpuPercent);
        std::printf("  controller back: first frame %.0f ms after its return (goal < 2000)\n",
                    gone.resumeMs);
        figure(tool + " silent controller told in the title", silent, "ms");
        figure(tool + " CPU while the port is gone", gone.cpuPercent, "%", "< 1");
        figure(tool + " controller back to the first frame", gone.resumeMs, "ms", "< 2000");
    }
    return 0;
}
