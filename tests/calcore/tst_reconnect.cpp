// A controller unplugged in the middle of a step and plugged in again, through the real serial
// path: the window stays and says so in its title, the cycle does no work while the port is
// gone, and on the return the controller is greeted as at the load and read afresh.
#include "calform.h"
#include "framelog.h"
#include "link.h"
#include "simprocess.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "modelrows.h"

using namespace calcore;

namespace {

QString hex(std::span<const std::uint8_t> bytes) {
    return QString::fromStdString(rxsim::toHex({bytes.begin(), bytes.end()}));
}

} // namespace

class TestReconnect : public QObject {
    Q_OBJECT
  private slots:
    void unpluggedAndBack_data();
    void unpluggedAndBack();
};

void TestReconnect::unpluggedAndBack_data() {
    addModelRows();
}

void TestReconnect::unpluggedAndBack() {
    QFETCH(const Model*, model);
    QFETCH(QString, sim);
    QTemporaryDir dir;
    qputenv("RX_COM_DIR", dir.path().toLocal8Bit());
    // Replies 150 ms late: the unplug finds a read waiting for its reply.
    auto controller = std::make_unique<SimProcess>(
        dir.path(), QStringList{"--model", sim, "--latency-ms", "150"});
    QVERIFY(controller->start());
    const QString caption = QString::fromUtf8(model->caption);

    CalForm form(*model, "COM1");
    form.load();
    form.show();
    // The device goes away while the first parameter refresh waits for a reply.
    QTRY_VERIFY_WITH_TIMEOUT(form.cycle().state().Tick == 2 && form.link().busy(), 30000);
    controller.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!form.link().isOpen(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(form.windowTitle(),
                              caption + " — porta COM1 desconectada, tentando de novo", 30000);
    QVERIFY(form.isVisible());

    // The step the loss cut short ends; after it, while the link tries the port again, no step
    // runs and nothing is counted. Half a period more than one try takes in at least one failed
    // try, and a tick (every 30 ms) that ran regardless would show many times over.
    QTRY_VERIFY_WITH_TIMEOUT(!form.link().busy(), 30000);
    QSignalSpy steps(&form.cycle(), &PollCycle::stepDone);
    const int tick = form.cycle().state().Tick;
    QTest::qWait(rxline::RetryOpenMs * 3 / 2);
    QCOMPARE(steps.count(), 0);
    QCOMPARE(form.cycle().state().Tick, tick);
    QVERIFY(!form.link().busy());
    QVERIFY(form.isVisible());

    rxsim::FrameLog log((dir.path() + "/frames.log").toStdString());
    // Back, answering at once: what is checked now is what goes out, not when.
    controller = std::make_unique<SimProcess>(dir.path(), QStringList{"--model", sim});
    QVERIFY(controller->start());
    QStringList expected;
    if (!model->loadFrame.empty()) expected << hex(model->loadFrame);
    for (const auto& b : model->refreshReads)
        expected << hex(rxline::readFrame(b.space, b.word));
    QStringList seen;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            seen.clear();
            for (const auto& frame : log.rxFrames())
                seen << hex(frame);
            return seen.size() >= expected.size();
        }(),
        30000);
    QCOMPARE(seen.mid(0, expected.size()), expected);
    QCOMPARE(form.windowTitle(), caption);
    form.cycle().stop();
}

QTEST_MAIN(TestReconnect)
#include "tst_reconnect.moc"
