// The live values a calibration tool keeps for its trend window, in virtual time: a read
// without reply is a gap, never the last value; the last 8 hours are kept; the figures of the
// last 10 s; the CSV in the form of rxmem watch.
#include "samplestore.h"

#include <QTest>

using namespace calcore;

namespace {
constexpr qint64 Base = 1796000000000; // 2026-11-30T00:53:20.000 UTC
constexpr qint64 Hour = 60 * 60 * 1000;
constexpr int NoReply = -1;

QString figure(std::optional<std::uint16_t> v) {
    return v ? QString::number(*v) : QStringLiteral("-");
}
} // namespace

class TestSamples : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { qputenv("TZ", "UTC"); }
    void rounds_data();
    void rounds();
};

void TestSamples::rounds_data() {
    QTest::addColumn<QList<qint64>>("times"); // from Base
    QTest::addColumn<QList<QList<int>>>("values");
    QTest::addColumn<int>("kept");
    QTest::addColumn<qint64>("firstKept");
    QTest::addColumn<QString>("stats"); // of M15 at the newest row: current min max spread
    QTest::addColumn<QString>("csv");   // empty: not checked

    QTest::newRow("a read without reply is an empty cell")
        << QList<qint64>{0, 300, 650} << QList<QList<int>>{{100, 5}, {NoReply, 5}, {102, NoReply}}
        << 3 << qint64(0) << "102 100 102 2"
        << "time,M15,M20\n"
           "2026-11-30T00:53:20.000,100,5\n"
           "2026-11-30T00:53:20.300,,5\n"
           "2026-11-30T00:53:20.650,102,\n";
    QTest::newRow("no reply now: no current value, the last one is not repeated")
        << QList<qint64>{0, 300} << QList<QList<int>>{{100, 1}, {NoReply, 1}} << 2 << qint64(0)
        << "- 100 100 0"
        << "";
    QTest::newRow("figures over the last 10 s only")
        << QList<qint64>{0, 5000, 10500, 12000}
        << QList<QList<int>>{{50, 0}, {100, 0}, {104, 0}, {101, 0}} << 4 << qint64(0)
        << "101 100 104 4"
        << "";
    QTest::newRow("no value in the last 10 s")
        << QList<qint64>{0, 20000} << QList<QList<int>>{{7, 0}, {NoReply, 0}} << 2 << qint64(0)
        << "- - - 0"
        << "";
    QTest::newRow("8 hours kept, the oldest dropped")
        << QList<qint64>{0, 4 * Hour, 8 * Hour, 8 * Hour + 1}
        << QList<QList<int>>{{1, 0}, {2, 0}, {3, 0}, {4, 0}} << 3 << 4 * Hour << "4 3 4 1"
        << "time,M15,M20\n"
           "2026-11-30T04:53:20.000,2,0\n"
           "2026-11-30T08:53:20.000,3,0\n"
           "2026-11-30T08:53:20.001,4,0\n";
    QTest::newRow("a clock set back keeps the rows in order")
        << QList<qint64>{1000, 400} << QList<QList<int>>{{1, 0}, {65535, 0}} << 2 << qint64(1000)
        << "65535 1 65535 65534"
        << "time,M15,M20\n"
           "2026-11-30T00:53:21.000,1,0\n"
           "2026-11-30T00:53:21.000,65535,0\n";
}

void TestSamples::rounds() {
    QFETCH(QList<qint64>, times);
    QFETCH(QList<QList<int>>, values);
    QFETCH(int, kept);
    QFETCH(qint64, firstKept);
    QFETCH(QString, stats);
    QFETCH(QString, csv);

    SampleStore store({{rxline::Space::Memory, 15}, {rxline::Space::Memory, 20}});
    for (qsizetype i = 0; i < times.size(); ++i) {
        std::vector<std::optional<std::uint16_t>> row;
        for (int v : values[i])
            row.push_back(v == NoReply ? std::nullopt : std::optional<std::uint16_t>(v));
        store.add(Base + times[i], row);
    }
    QCOMPARE(int(store.rows()), kept);
    QCOMPARE(store.timeAt(0) - Base, firstKept);
    const SampleStats s = store.stats(0, store.newest());
    QCOMPARE(
        QStringList({figure(s.current), figure(s.min), figure(s.max), QString::number(s.spread())})
            .join(' '),
        stats);
    if (!csv.isEmpty()) QCOMPARE(QString::fromLatin1(store.csv()), csv);
}

QTEST_GUILESS_MAIN(TestSamples)
#include "tst_samples.moc"
