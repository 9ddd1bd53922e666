// The RX-200 tool against the simulated controller, through the real serial path: what the
// cycle reads and writes, in which order, and what the window shows after the replies.
#include "calform.h"
#include "framelog.h"
#include "portselect.h"
#include "rx200model.h"
#include "shard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <set>

using namespace calcore;
using namespace rxline;

namespace {

using Frame = std::vector<std::uint8_t>;

QString show(const Frame& f) {
    return QString::fromStdString(rxsim::toHex(f));
}

Frame readOf(char space, int word) {
    return {'R', std::uint8_t(space), std::uint8_t(word), 0x0D};
}

std::vector<Frame> refreshFrames() {
    std::vector<Frame> out;
    for (const auto& b : rx200::model().refreshReads)
        out.push_back(readOf(b.space == Space::Memory ? 'M' : 'E', b.word));
    return out;
}

std::vector<Frame> liveFrames() {
    std::vector<Frame> out;
    for (const auto& b : rx200::model().liveReads)
        out.push_back(readOf(b.space == Space::Memory ? 'M' : 'E', b.word));
    return out;
}

QStringList shown(const std::vector<Frame>& frames) {
    QStringList out;
    for (const auto& f : frames)
        out << show(f);
    return out;
}

} // namespace

class TestRx200EndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void firstCycleReadsAndWritesNothing();
    void calibrationPointWrittenAndShown();
    void clockHoursSetInBcd();
    void laterRequestReplacesEarlier();
    void modbusFlagSetOnceAndWrittenBack();

  private:
    // Follows the cycle until `count` steps with the number `tick` have run to their end.
    bool waitForSteps(int tick, int count, int timeoutMs = 20000);
    QPushButton* button(const char* name) { return form1_->findChild<QPushButton*>(name); }
    QLineEdit* entry(const char* name) { return form1_->findChild<QLineEdit*>(name); }
    QLabel* label(const char* name) { return form1_->findChild<QLabel*>(name); }

    std::unique_ptr<rxsim::FrameLog> log_;
    std::unique_ptr<PortSelectForm> form2_;
    QPointer<CalForm> form1_;
    std::unique_ptr<QSignalSpy> steps_;
};

void TestRx200EndToEnd::init() {
    if (!inThisShard()) QSKIP("runs in another shard");
    log_ = std::make_unique<rxsim::FrameLog>(qEnvironmentVariable("RX_SIM_LOG").toStdString());
    log_->mark();
    form2_ = std::make_unique<PortSelectForm>(rx200::model());
    form2_->show();
    form2_->portBox()->setCurrentText("COM1");
    QTest::mouseClick(form2_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    form1_ = form2_->mainForm();
    QVERIFY(form1_);
    QTRY_VERIFY_WITH_TIMEOUT(form1_->link().isOpen(), 5000);
    steps_ = std::make_unique<QSignalSpy>(&form1_->cycle(), &PollCycle::stepDone);
}

void TestRx200EndToEnd::cleanup() {
    steps_.reset();
    if (form1_) form1_->close();
    form2_.reset();
}

bool TestRx200EndToEnd::waitForSteps(int tick, int count, int timeoutMs) {
    auto seen = [&] {
        int n = 0;
        for (const auto& args : *steps_)
            n += args.at(0).toInt() == tick;
        return n;
    };
    return QTest::qWaitFor([&] { return seen() >= count; }, timeoutMs);
}

void TestRx200EndToEnd::firstCycleReadsAndWritesNothing() {
    QVERIFY(waitForSteps(10, 1));
    std::vector<Frame> expected = refreshFrames();
    const auto live = liveFrames();
    expected.insert(expected.end(), live.begin(), live.end());
    const auto again = refreshFrames();
    expected.insert(expected.end(), again.begin(), again.end());
    QCOMPARE(expected.size(), std::size_t(23 + 11 + 23));
    QTRY_COMPARE_WITH_TIMEOUT(shown(log_->rxFrames()), shown(expected), 5000);
}

void TestRx200EndToEnd::calibrationPointWrittenAndShown() {
    QVERIFY(waitForSteps(10, 2)); // the start-up setting of the boxes has been served
    entry("Text8")->setText("1000");
    steps_->clear();
    log_->mark();
    QTest::mouseClick(button("Command8"), Qt::LeftButton); // "Span- Ain3"
    QCOMPARE(button("Command8")->text(), QString("Span- Ain3"));
    QVERIFY(waitForSteps(7, 1));
    std::vector<Frame> expected = refreshFrames();
    const auto live = liveFrames();
    expected.insert(expected.end(), live.begin(), live.end());
    expected.push_back({0x57, 0x45, 0x53, 0x03, 0xE8, 0x0D});
    const auto again = refreshFrames();
    expected.insert(expected.end(), again.begin(), again.end());
    QTRY_COMPARE_WITH_TIMEOUT(shown(log_->rxFrames()), shown(expected), 5000);
    // The stored span label shows the controller's value without the reply's closing CR.
    QCOMPARE(label("Label8")->text(), QString("1000"));
    QCOMPARE(entry("Text8")->text(), QString("1000"));
}

void TestRx200EndToEnd::clockHoursSetInBcd() {
    QVERIFY(waitForSteps(10, 2));
    entry("Text11")->setText("14");
    steps_->clear();
    log_->mark();
    QTest::mouseClick(button("Command11"), Qt::LeftButton); // "H"
    QVERIFY(waitForSteps(5, 1));
    QStringList writes;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            writes.clear();
            for (const auto& f : log_->rxFrames())
                if (f[0] == 'W') writes << show(f);
            return writes.size() >= 2;
        }(),
        5000);
    QCOMPARE(writes, QStringList({"57 4D 44 00 14 0D", "57 4D 41 00 03 0D"}));
    // The controller applied the hours; the next live read shows them.
    QVERIFY(waitForSteps(3, 2));
    QCOMPARE(label("Label30")->text(), QString("14"));
}

void TestRx200EndToEnd::laterRequestReplacesEarlier() {
    QVERIFY(waitForSteps(10, 2));
    entry("Text1")->setText("111");
    entry("Text2")->setText("222");
    steps_->clear();
    log_->mark();
    QTest::mouseClick(button("Command1"), Qt::LeftButton); // "Zero- Ain1"
    QTest::mouseClick(button("Command2"), Qt::LeftButton); // "Span- Ain1"
    QVERIFY(waitForSteps(7, 1));
    QStringList writes;
    for (const auto& f : log_->rxFrames())
        if (f[0] == 'W') writes << show(f);
    QCOMPARE(writes, QStringList({"57 45 51 00 DE 0D"}));
    QCOMPARE(label("Label2")->text(), QString("222"));
}

void TestRx200EndToEnd::modbusFlagSetOnceAndWrittenBack() {
    // The simulated RX-200 starts with E28 = 1 and E74 = 0.
    auto* modbus = form1_->findChild<QCheckBox*>("Check1");
    QVERIFY(!modbus->isChecked());
    QVERIFY(waitForSteps(10, 1));
    QVERIFY(modbus->isChecked());
    QVERIFY(!form1_->findChild<QCheckBox*>("Check2")->isChecked());
    QVERIFY(waitForSteps(10, 3));
    QStringList writes;
    for (const auto& f : log_->rxFrames())
        if (f[0] == 'W') writes << show(f);
    QCOMPARE(writes, QStringList({"57 45 1C 00 01 0D"}));

    // Unchecking by hand queues E28 = 0.
    log_->mark();
    steps_->clear();
    QTest::mouseClick(modbus, Qt::LeftButton, {}, QPoint(8, modbus->height() / 2));
    QVERIFY(!modbus->isChecked());
    QVERIFY(waitForSteps(7, 1));
    writes.clear();
    for (const auto& f : log_->rxFrames())
        if (f[0] == 'W') writes << show(f);
    QCOMPARE(writes, QStringList({"57 45 1C 00 00 0D"}));
}

QTEST_MAIN(TestRx200EndToEnd)
#include "tst_rx200_e2e.moc"
