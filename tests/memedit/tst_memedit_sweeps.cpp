// The page sweeps: what each sends, in which order, when it stops and what its bar shows.
#include "editortest.h"
#include "mainwindow.h"
#include "ptypeer.h"
#include "serialport.h"
#include "shard.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using memedit::Form1;

namespace {
constexpr int kWait = 20000;
// The tick a test may give a sweep once what it checks of the 200 ms pace is done.
constexpr int kQuickTick = 10;

QByteArray reads(int first, int last) {
    QByteArray frames;
    for (int w = first; w <= last; ++w)
        frames += QByteArray("RM") + char(w) + '\r';
    return frames;
}
} // namespace

class SweepsTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        if (!inThisShard()) QSKIP("runs in another shard");
        line = std::make_unique<PtyPeer>();
        QVERIFY(line->ok() && line->publish(QStringLiteral("COM1")));
        qputenv("RX_COM_DIR", line->comDir().toLocal8Bit());
        window = std::make_unique<Form1>();
    }
    void cleanup() {
        closeErrorBoxes();
        window.reset();
        line.reset();
    }

    void fullSweeps_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("timer");
        QTest::addColumn<QString>("bar");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("silentTicks");
        QTest::addColumn<int>("endCounter");
        QTest::newRow("page 1") << "Button81"
                                << "Timer1"
                                << "ProgressBar1" << 21 << 59 << 1 << 41;
        QTest::newRow("page 4") << "Button366"
                                << "Timer4"
                                << "ProgressBar5" << 180 << 219 << 0 << 221;
        QTest::newRow("page 5") << "Button367"
                                << "Timer5"
                                << "ProgressBar4" << 220 << 240 << 0 << 242;
    }
    void fullSweeps() {
        QFETCH(QString, button);
        QFETCH(QString, timer);
        QFETCH(QString, bar);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, silentTicks);
        QFETCH(int, endCounter);
        auto* progress = window->findChild<QProgressBar*>(bar);
        auto* sweepTimer = window->findChild<QTimer*>(timer);
        const qint64 start = line->now();
        click(button);
        QVERIFY(sweepTimer->isActive());
        QCOMPARE(progress->value(), progress->minimum());
        QVERIFY(line->received.isEmpty()); // nothing is sent at the start
        // The first read goes out on the first tick that finds a word.
        QTRY_VERIFY_WITH_TIMEOUT(!line->received.isEmpty(), kWait);
        const qint64 firstRead = line->timeOf(0) - start;
        QVERIFY2(firstRead >= 150 + 200 * silentTicks, qPrintable(QString::number(firstRead)));
        // The rest of the page is about which words go out, and how far the bar and the counter
        // go: no need to wait 200 ms a word (slowAnswersLandInTheirOwnBoxes checks the pace).
        sweepTimer->setInterval(kQuickTick);
        QTRY_VERIFY_WITH_TIMEOUT(!sweepTimer->isActive(), 4 * kWait);
        QCOMPARE(hex(line->received), hex(reads(first, last)));
        QCOMPARE(progress->value(), progress->maximum());
        QCOMPARE(window->sweepCounter(), endCounter);
    }

    void barMovesOnFirstTick() {
        auto* progress = window->findChild<QProgressBar*>("ProgressBar3");
        click("Button365");
        QCOMPARE(progress->value(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(progress->value(), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(line->received, reads(140, 140), kWait);
    }

    void restartReadsFromTheFirstWordAgain() {
        auto* progress = window->findChild<QProgressBar*>("ProgressBar2");
        click("Button364");
        QTRY_VERIFY_WITH_TIMEOUT(line->received.size() >= 5 * 4, kWait);
        const int sent = int(line->received.size() / 4);
        click("Button364");
        QCOMPARE(progress->value(), 100);
        window->findChild<QTimer*>("Timer2")->setInterval(kQuickTick);
        QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QTimer*>("Timer2")->isActive(), 4 * kWait);
        QCOMPARE(hex(line->received), hex(reads(100, 99 + sent) + reads(100, 139)));
        QCOMPARE(progress->value(), 140);
    }

    void startStopsTheOtherSweep() {
        click("Button364");
        QTRY_VERIFY_WITH_TIMEOUT(line->received.size() >= 2 * 4, kWait);
        click("Button366");
        QVERIFY(!window->findChild<QTimer*>("Timer2")->isActive());
        const int stoppedAt = window->findChild<QProgressBar*>("ProgressBar2")->value();
        const qsizetype before = line->received.size();
        QTRY_VERIFY_WITH_TIMEOUT(line->received.size() >= before + 3 * 4, kWait);
        window->findChild<QTimer*>("Timer4")->stop();
        const QByteArray sent = line->received;
        // After the switch only page 4 words go out, from M180 on.
        const qsizetype at = sent.indexOf(reads(180, 182));
        QVERIFY(at > 0);
        for (qsizetype i = 0; i < at; i += 4)
            QVERIFY(quint8(sent[i + 2]) >= 100 && quint8(sent[i + 2]) < 140);
        QCOMPARE(window->findChild<QProgressBar*>("ProgressBar2")->value(), stoppedAt);
    }

    void failingReadStopsTheSweepWithOneReport() {
        memedit::PortSettings settings = window->comPort()->settings();
        settings.port = line->comDir() + QStringLiteral("/nothing");
        window->comPort()->applySettings(settings);
        auto* progress = window->findChild<QProgressBar*>("ProgressBar3");
        click("Button365");
        QTRY_COMPARE_WITH_TIMEOUT(
            errorBoxText(), QStringLiteral("Unable to open com port (win error code: 2)"), kWait);
        QVERIFY(!window->findChild<QTimer*>("Timer3")->isActive());
        QCOMPARE(errorBoxes().size(), 1);
        QCOMPARE(window->sweepCounter(), 140); // stopped at that word
        QCOMPARE(progress->value(), 0);
    }

    void replyPauseHoldsTheNextTick() {
        click("Button367");
        QTRY_COMPARE_WITH_TIMEOUT(line->received, reads(220, 220), kWait);
        const qint64 replied = line->now();
        line->send("M220321\r");
        QTRY_COMPARE_WITH_TIMEOUT(window->box(220)->text(), QStringLiteral("321"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(line->received, reads(220, 221), kWait);
        window->findChild<QTimer*>("Timer5")->stop();
        const qint64 gap = line->timeOf(4) - replied;
        QVERIFY2(gap >= 450, qPrintable(QString::number(gap)));
    }

    void slowAnswersLandInTheirOwnBoxes() {
        // Answers 150 ms after each read: the tick that follows a reply's pause must not
        // send the next read before this one's answer is in.
        line->answerReads(150, [](int word) { return word * 3; });
        click("Button364");
        QTRY_VERIFY_WITH_TIMEOUT(window->box(107)->text() != QStringLiteral("0"), 4 * kWait);
        window->findChild<QTimer*>("Timer2")->stop();
        for (int w = 100; w <= 107; ++w)
            QCOMPARE(window->box(w)->text(), QString::number(w * 3));
        const QByteArray sent = line->received;
        for (qsizetype i = 4; i < sent.size(); i += 4) {
            const qint64 gap = line->timeOf(i) - line->timeOf(i - 4);
            QVERIFY2(gap >= 190,
                     qPrintable(
                         QStringLiteral("%1 ms before read %2").arg(gap).arg(quint8(sent[i + 2]))));
        }
    }

  private:
    void click(const QString& name) {
        auto* button = window->findChild<QPushButton*>(name);
        QVERIFY2(button, qPrintable(name));
        button->click();
    }

    std::unique_ptr<PtyPeer> line;
    std::unique_ptr<Form1> window;
};

QTEST_MAIN(SweepsTest)
#include "tst_memedit_sweeps.moc"
