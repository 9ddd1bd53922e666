// Start-up of each program to its first window on the screen (offscreen platform): from the
// start of the process to its "shown: <title>" line (--quit-when-shown), the median of `runs`.
//   bench_startup [runs]     (default 5)
#include "figure.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::pair<const char*, const char*> programs[] = {
        {"rx200cal", RX200CAL_PATH},
        {"rx100cal", RX100CAL_PATH},
        {"rx300cal", RX300CAL_PATH},
        {"memedit", MEMEDIT_PATH},
    };
    for (const auto& [name, path] : programs) {
        std::vector<double> ms;
        QByteArray shown;
        for (int run = 0; run < runs; ++run) {
            QProcess program;
            QElapsedTimer clock;
            clock.start();
            program.start(QString::fromLocal8Bit(path), {"--quit-when-shown"});
            QByteArray out;
            while (!out.contains('\n') && program.waitForReadyRead(60000))
                out += program.readAllStandardOutput();
            const double elapsed = double(clock.nsecsElapsed()) / 1e6;
            program.waitForFinished(60000);
            if (!out.startsWith("shown: ")) {
                std::fprintf(stderr, "bench_startup: %s showed no window: %s\n", name,
                             program.readAllStandardError().constData());
                return 1;
            }
            shown = out.trimmed();
            ms.push_back(elapsed);
        }
        std::sort(ms.begin(), ms.end());
        const double median = ms[ms.size() / 2];
        std::printf("%-9s %s: median %.0f ms of %d runs (best %.0f ms, worst %.0f ms)\n", name,
                    shown.constData(), median, runs, ms.front(), ms.back());
        figure(std::string(name) + " start-up to the first window", median, "ms");
    }
    return 0;
}
