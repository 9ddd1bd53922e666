// Each calibration tool against a simulator that garbles, splits, mislabels, delays or drowns
// its replies in noise, through the real serial path: the cycle goes on, nothing but the tool's
// own frames reaches the line, and a request still goes out byte for byte.
#include "calform.h"
#include "framelog.h"
#include "modelrows.h"
#include "simprocess.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace calcore;

class TestFaults : public QObject {
    Q_OBJECT
  private slots:
    void cycleSurvives_data();
    void cycleSurvives();
};

void TestFaults::cycleSurvives_data() {
    QTest::addColumn<const Model*>("model");
    QTest::addColumn<QString>("sim");
    QTest::addColumn<QStringList>("faults");
    const QList<QPair<QString, QStringList>> faults{
        {"corrupt", {"--corrupt", "0.3"}},
        {"split", {"--split", "0.5"}},
        {"wrong tag", {"--wrong-tag", "0.3"}},
        {"random bytes", {"--noise", "0.3"}},
    };
    for (const auto& [sim, model] : availableModels()) {
        for (const auto& [name, options] : faults)
            QTest::newRow(qPrintable(sim + " " + name)) << model << sim << options;
    }
    // Replies later than the wait are a matter of the link, whatever the model: every read
    // waits its full time, so the tool with the shortest refresh shows it cheapest.
    for (const auto& [sim, model] : availableModels()) {
        if (sim == "rx100")
            QTest::newRow("rx100 later than the wait")
                << model << sim << QStringList{"--latency-ms", "650"};
    }
}

void TestFaults::cycleSurvives() {
    QFETCH(const Model*, model);
    QFETCH(QString, sim);
    QFETCH(QStringList, faults);
    QTemporaryDir dir;
    qputenv("RX_COM_DIR", dir.path().toLocal8Bit());
    SimProcess controller(dir.path(), QStringList{"--model", sim, "--seed", "3"} + faults);
    QVERIFY(controller.start());

    CalForm form(*model, "COM1");
    QSignalSpy steps(&form.cycle(), &PollCycle::stepDone);
    form.load();
    // The first request of the table, with its entry: its frame must leave as it should.
    const RequestDef& r = model->requests.front();
    qobject_cast<QLineEdit*>(form.control(r.entry))->setText("300");
    qobject_cast<QPushButton*>(form.control(r.button))->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.cycle().state().PendingWrite == 0, 30000);
    const auto stepsAtWrite = steps.count();
    QTRY_VERIFY_WITH_TIMEOUT(steps.count() > stepsAtWrite + 1, 30000); // and the cycle goes on
    form.cycle().stop();

    rxsim::FrameLog log(controller.log().toStdString());
    const WriteAction action = model->dispatch[std::size_t(r.code)];
    const auto expected =
        writeFrame(action.kind == WriteAction::Memory ? Space::Memory : Space::Eeprom, action.word,
                   0x01, 0x2C);
    int writes = 0;
    for (const auto& f : log.rxFrames()) {
        const bool read = f.size() == 4 && f[0] == 'R' && (f[1] == 'M' || f[1] == 'E');
        const bool fixed =
            std::equal(f.begin(), f.end(), model->loadFrame.begin(), model->loadFrame.end());
        const bool write = f.size() == 6 && f[0] == 'W';
        QVERIFY2(read || write || fixed, rxsim::toHex(f).c_str());
        if (write && std::equal(f.begin(), f.end(), expected.begin(), expected.end())) ++writes;
    }
    QCOMPARE(writes, 1);
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
