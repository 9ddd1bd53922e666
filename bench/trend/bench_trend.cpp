// The trend window's cost over a long session, in virtual time: the memory the kept rows take
// as hours of rounds go by (flat once 8 hours are kept), and the CPU its drawing takes at each
// span with 8 hours kept, a row a round at the cycle's pace: under 1 % of a core.
//
//   bench_trend [hours]      (default 24)
#include "benchloop.h"
#include "figure.h"
#include "samplestore.h"
#include "trendview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace calcore;

namespace {

// The cycle's pace against an answering controller (bench_cycle's period).
constexpr qint64 RoundMs = 373;
constexpr int Words = 11; // the RX-200's live words

// Resident memory of this process, in MiB.
double residentMiB() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? double(fields[1].toLongLong()) * 4096.0 / (1 << 20) : 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int hours = argc > 1 ? std::atoi(argv[1]) : 24;

    std::vector<rxwords::Word> words;
    QStringList names;
    for (int w = 0; w < Words; ++w) {
        words.push_back({rxline::Space::Memory, std::uint8_t(13 + w)});
        names << QStringLiteral("Ain (M%1)").arg(13 + w);
    }
    SampleStore store(words);
    const qint64 start = 1796000000000;
    qint64 t = start;
    std::vector<std::optional<std::uint16_t>> row(Words);
    std::printf("rows kept and resident memory, a round every %lld ms:\n", RoundMs);
    const double before = residentMiB();
    double at8 = 0, atEnd = 0;
    for (int h = 1; h <= hours; ++h) {
        for (; t < start + h * 3600000LL; t += RoundMs) {
            for (int w = 0; w < Words; ++w) {
                // A settling input with noise, and one read in a hundred without reply.
                const auto n = (t / RoundMs) % 100;
                row[std::size_t(w)] =
                    n == 42 ? std::nullopt
                            : std::optional<std::uint16_t>(2000 + w * 100 + int(n % 7));
            }
            store.add(t, row);
        }
        const double mib = residentMiB() - before;
        if (h == 8) at8 = mib;
        atEnd = mib;
        if (h <= 2 || h % 4 == 0)
            std::printf("  %3d h  %7zu rows  %6.1f MiB more than at the start\n", h, store.rows(),
                        mib);
    }
    figure("trend rows kept after " + std::to_string(hours) + " h", double(store.rows()), "",
           "8 h of rounds");
    figure("trend memory at 8 h", at8, "MiB");
    figure("trend memory growth from 8 h to " + std::to_string(hours) + " h", atEnd - at8, "MiB",
           "flat (< 1)");

    // The window as the technician has it: a row a round, the drawing it asks for done by the
    // event loop, an hour of rounds at each span.
    TrendView view(store, names);
    view.resize(900, view.sizeHint().height());
    view.show();
    std::printf("drawing %d strips, %dx%d pixels, a row a round for an hour:\n", Words,
                view.width(), view.height());
    for (const int minutes : {1, 10, 60}) {
        view.setSpanMs(qint64(minutes) * 60000);
        QCoreApplication::processEvents();
        const int rounds = int(3600000 / RoundMs);
        double cpu = 0;
        for (int i = 0; i < rounds; ++i, t += RoundMs) {
            store.add(t, row);
            const double cpu0 = cpuSeconds();
            view.rowAdded();
            QCoreApplication::processEvents();
            cpu += cpuSeconds() - cpu0;
        }
        const double share = cpu / (double(rounds) * RoundMs / 1000.0) * 100.0;
        std::printf("  %2d min shown  %6.3f ms a round, %5.2f %% of a core\n", minutes,
                    cpu * 1000.0 / rounds, share);
        figure("trend drawing, " + std::to_string(minutes) + " min shown", share, "% of a core",
               "< 1");
    }
    return 0;
}
