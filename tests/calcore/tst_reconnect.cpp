// A controller unplugged in the middle of a step and plugged in again, through the real serial
// path: the window stays, says so in its title, spends no CPU while waiting, and polls again
// within two seconds of the return.
#include "calform.h"
#include "framelog.h"
#include "simprocess.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include "modelrows.h"

using namespace calcore;

namespace {

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
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
    auto controller = std::make_unique<SimProcess>(
        dir.path(), QStringList{"--model", sim, "--latency-ms", "150"});
    QVERIFY(controller->start());
    const QString caption = QString::fromUtf8(model->caption);

    CalForm form(*model, "COM1");
    form.load();
    form.show();
    // The device goes away while the first parameter refresh waits for a reply.
    QTRY_VERIFY_WITH_TIMEOUT(form.cycle().state().Tick == 2 && form.link().busy(), 10000);
    controller.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!form.link().isOpen(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(form.windowTitle(),
                              caption + " — porta COM1 desconectada, tentando de novo", 5000);
    QVERIFY(form.isVisible());

    const double cpuBefore = cpuSeconds();
    QTimer span;
    span.setSingleShot(true);
    QSignalSpy spanEnded(&span, &QTimer::timeout);
    span.start(3000);
    QVERIFY(spanEnded.wait(10000));
    const double cpuShare = (cpuSeconds() - cpuBefore) / 3.0;
    QVERIFY2(cpuShare < 0.01, qPrintable(QString::number(cpuShare)));

    rxsim::FrameLog log((dir.path() + "/frames.log").toStdString());
    controller = std::make_unique<SimProcess>(dir.path(),
                                              QStringList{"--model", sim, "--latency-ms", "150"});
    QVERIFY(controller->start());
    QElapsedTimer back;
    back.start();
    QTRY_VERIFY_WITH_TIMEOUT(!log.rxFrames().empty(), 10000);
    QVERIFY2(back.elapsed() < 2000, qPrintable(QString::number(back.elapsed())));
    QCOMPARE(form.windowTitle(), caption);
    form.cycle().stop();
}

QTEST_MAIN(TestReconnect)
#include "tst_reconnect.moc"
