// The RX-100 tool against the simulated controller, through the real serial path: the USB
// Modbus switch at start and at exit, the ten parameter reads, the writes of the visible rows.
#include "calform.h"
#include "framelog.h"
#include "portselect.h"
#include "rx100model.h"
#include "shard.h"
#include "tracelog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace calcore;

namespace {

constexpr auto OffFrame = "00 06 00 95 00 00 98 37";
constexpr auto OnFrame = "00 06 00 95 00 01 59 F7";

// One parameter refresh: M19 M27 M18 E30 E31 M17 E28 E29 E30 E31.
QStringList refreshFrames() {
    return {"52 4D 13 0D", "52 4D 1B 0D", "52 4D 12 0D", "52 45 1E 0D", "52 45 1F 0D",
            "52 4D 11 0D", "52 45 1C 0D", "52 45 1D 0D", "52 45 1E 0D", "52 45 1F 0D"};
}

// What reached the simulator since the mark: recognised frames and Modbus messages (RX) and
// bytes it could not place (STRAY, shown with a prefix).
QStringList line(const rxsim::FrameLog& log) {
    QStringList out;
    for (const auto& e : log.entries()) {
        if (e.kind == "RX") out << QString::fromStdString(rxsim::toHex(e.bytes));
        if (e.kind == "STRAY") out << "STRAY " + QString::fromStdString(rxsim::toHex(e.bytes));
    }
    return out;
}

// The simulator has handled every byte of a session once it has logged the port's close.
bool sawClose(const rxsim::FrameLog& log) {
    const auto entries = log.entries();
    return !entries.empty() && entries.back().kind == "CLOSE";
}

// When `frame` first shows in the log as `kind` (the simulator's RX, the tool's TX).
double timeOf(const rxsim::FrameLog& log, const QString& frame, const char* kind) {
    for (const auto& e : log.entries())
        if (e.kind == kind && QString::fromStdString(rxsim::toHex(e.bytes)) == frame) return e.t;
    return -1;
}

} // namespace

class TestRx100EndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void startSwitchesUsbModbusOffThenRefreshes();
    void modbusFlagWrittenBackOnceThenCyclesSilent();
    void requestWritesItsWord_data();
    void requestWritesItsWord();
    void memoryWriteSettlesBeforeNextFrame();
    void exitQuestion_data();
    void exitQuestion();
    void pendingWriteLeavesBeforeTheBroadcast();

  private:
    bool waitForSteps(int tick, int count, int timeoutMs = 20000);
    // Until the start-up setting of "Usar Modbus" has been written back and re-read.
    bool waitUntilSettled() { return waitForSteps(10, 2); }
    // Closes the main window, answers the question with `button` and waits for the end.
    void closeAndAnswer(const char* button);
    QWidget* control(const char* name) { return form1_->control(name); }

    std::unique_ptr<rxsim::FrameLog> log_;
    std::unique_ptr<PortSelectForm> form2_;
    QPointer<CalForm> form1_;
    std::unique_ptr<QSignalSpy> steps_;
    std::unique_ptr<QSignalSpy> closed_;
};

void TestRx100EndToEnd::init() {
    if (!inThisShard()) QSKIP("runs in another shard");
    log_ = std::make_unique<rxsim::FrameLog>(qEnvironmentVariable("RX_SIM_LOG").toStdString());
    log_->mark();
    form2_ = std::make_unique<PortSelectForm>(rx100::model());
    form2_->show();
    form2_->portBox()->setCurrentText("COM1");
    QTest::mouseClick(form2_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    form1_ = form2_->mainForm();
    QVERIFY(form1_);
    steps_ = std::make_unique<QSignalSpy>(&form1_->cycle(), &PollCycle::stepDone);
    closed_ = std::make_unique<QSignalSpy>(form1_.data(), &CalForm::closed);
    QTRY_VERIFY_WITH_TIMEOUT(form1_->link().isOpen(), 5000);
}

void TestRx100EndToEnd::cleanup() {
    if (form1_ && closed_->isEmpty()) closeAndAnswer("Command2");
    // The next test's mark then starts after this session's last frame.
    QTRY_VERIFY_WITH_TIMEOUT(sawClose(*log_), 5000);
    steps_.reset();
    closed_.reset();
    if (form1_) form1_->close(); // the program has ended: now the window goes
    form2_.reset();
}

bool TestRx100EndToEnd::waitForSteps(int tick, int count, int timeoutMs) {
    auto seen = [&] {
        int n = 0;
        for (const auto& args : *steps_)
            n += args.at(0).toInt() == tick;
        return n;
    };
    return QTest::qWaitFor([&] { return seen() >= count; }, timeoutMs);
}

void TestRx100EndToEnd::closeAndAnswer(const char* button) {
    form1_->close();
    QTRY_VERIFY_WITH_TIMEOUT(form1_->question() && form1_->question()->isVisible(), 5000);
    QTest::mouseClick(form1_->question()->findChild<QPushButton*>(button), Qt::LeftButton);
    QVERIFY(closed_->wait(30000));
}

void TestRx100EndToEnd::startSwitchesUsbModbusOffThenRefreshes() {
    QVERIFY(waitForSteps(10, 1));
    // The simulator logs a Modbus message as one RX entry only when it took it as a valid
    // broadcast; anything it could not place would show as STRAY.
    const QStringList expected = QStringList{OffFrame} + refreshFrames() + refreshFrames();
    QTRY_COMPARE_WITH_TIMEOUT(line(*log_), expected, 5000);
    // Values no test here changes; the reply's closing CR is not shown.
    QCOMPARE(qobject_cast<QLabel*>(control("Label56"))->text(), QString("250"));
    QCOMPARE(qobject_cast<QLabel*>(control("Label74"))->text(), QString("9600"));
}

void TestRx100EndToEnd::modbusFlagWrittenBackOnceThenCyclesSilent() {
    // The simulated RX-100 holds E28 = 1; it has no E74 for the Q5 box to follow.
    auto* modbus = qobject_cast<QCheckBox*>(control("Check1"));
    auto* q5 = qobject_cast<QCheckBox*>(control("Check2"));
    QVERIFY(!modbus->isChecked());
    QVERIFY(waitForSteps(10, 1));
    QVERIFY(modbus->isChecked());
    QVERIFY(!q5->isChecked());
    QVERIFY(waitForSteps(10, 2));
    QStringList expected = QStringList{OffFrame} + refreshFrames() + refreshFrames();
    expected += refreshFrames() + QStringList{"57 45 1C 00 01 0D"} + refreshFrames();
    QTRY_COMPARE_WITH_TIMEOUT(line(*log_), expected, 5000);

    log_->mark();
    QVERIFY(waitForSteps(10, 4));
    QCOMPARE(line(*log_), QStringList());
    QVERIFY(modbus->isChecked());
    QVERIFY(!q5->isChecked());
}

void TestRx100EndToEnd::requestWritesItsWord_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("display");
    QTest::newRow("USB address 300") << "Text47"
                                     << "Command48"
                                     << "300"
                                     << "57 45 1E 01 2C 0D"
                                     << "Label72";
    QTest::newRow("RS485 speed 9600") << "Text48"
                                      << "Command27"
                                      << "9600"
                                      << "57 45 1F 25 80 0D"
                                      << "Label74";
    QTest::newRow("PWM-Q4 1000") << "Text39"
                                 << "Command40"
                                 << "1000"
                                 << "57 4D 11 03 E8 0D"
                                 << "Label61";
}

void TestRx100EndToEnd::requestWritesItsWord() {
    QFETCH(QString, entry);
    QFETCH(QString, button);
    QFETCH(QString, typed);
    QFETCH(QString, write);
    QFETCH(QString, display);
    QVERIFY(waitUntilSettled());
    qobject_cast<QLineEdit*>(form1_->control(entry))->setText(typed);
    steps_->clear();
    log_->mark();
    QTest::mouseClick(form1_->control(button), Qt::LeftButton);
    QVERIFY(waitForSteps(7, 1));
    const QStringList expected = refreshFrames() + QStringList{write} + refreshFrames();
    QTRY_COMPARE_WITH_TIMEOUT(line(*log_), expected, 5000);
    QCOMPARE(qobject_cast<QLabel*>(form1_->control(display))->text(), typed);
}

void TestRx100EndToEnd::memoryWriteSettlesBeforeNextFrame() {
    // The answer "Sim" goes out as soon as the line is free, so it shows the controller's
    // settle pause after a memory word write that no tick would show. The tool's own trace
    // stamps a frame as it leaves; the simulator's log stamps it once handled, which on a busy
    // machine may bunch frames together.
    QVERIFY(waitUntilSettled());
    QTemporaryDir dir;
    const QString trace = dir.filePath("trace.log");
    QVERIFY(rxport::trace().open(trace));
    qobject_cast<QLineEdit*>(control("Text39"))->setText("1000");
    log_->mark();
    QTest::mouseClick(control("Command40"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return form1_->cycle().state().PendingWrite == 94; }, 1000));
    QVERIFY(QTest::qWaitFor([&] { return form1_->cycle().state().PendingWrite == 0; }, 30000));
    closeAndAnswer("Command1");
    QVERIFY(rxport::trace().open("/dev/null"));
    const QStringList frames = line(*log_);
    QCOMPARE(frames.mid(frames.size() - 2), (QStringList{"57 4D 11 03 E8 0D", OnFrame}));
    const rxsim::FrameLog sent(trace.toStdString());
    const double written = timeOf(sent, "57 4D 11 03 E8 0D", "TX");
    const double answered = timeOf(sent, OnFrame, "TX");
    QVERIFY(written >= 0 && answered >= 0);
    // The trace's stamps are whole microseconds.
    QVERIFY2(answered - written >= rxline::MemoryWriteSettleMs / 1000.0 - 1e-6,
             qPrintable(QString::number(answered - written)));
}

void TestRx100EndToEnd::exitQuestion_data() {
    QTest::addColumn<QString>("answer"); // empty: the question window is closed
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("Sim") << "Command1" << QStringList{OnFrame};
    QTest::newRow("Não") << "Command2" << QStringList{};
    QTest::newRow("closed") << "" << QStringList{};
}

void TestRx100EndToEnd::exitQuestion() {
    QFETCH(QString, answer);
    QFETCH(QStringList, sent);
    QVERIFY(waitUntilSettled());
    log_->mark();
    form1_->close();
    QTRY_VERIFY_WITH_TIMEOUT(form1_->question() && form1_->question()->isVisible(), 5000);
    QWidget* form3 = form1_->question();
    QCOMPARE(form3->objectName(), QString("Form3"));
    QCOMPARE(form3->windowTitle(), QString("Ativar MODBUS - Serial USB?"));
    // The close is held and the cycle goes on while the question is open.
    QVERIFY(form1_->isVisible());
    steps_->clear();
    QVERIFY(waitForSteps(10, 1));
    QVERIFY(closed_->isEmpty());

    // Whatever the answer, the program ends only after the question's pause.
    QElapsedTimer clock;
    clock.start();
    if (answer.isEmpty())
        form3->close();
    else
        QTest::mouseClick(form3->findChild<QPushButton*>(answer), Qt::LeftButton);
    QVERIFY(closed_->wait(30000));
    const qint64 ms = clock.elapsed();
    QVERIFY2(ms >= rx100::model().exitQuestion->pauseMs, qPrintable(QString::number(ms)));
    QTRY_VERIFY_WITH_TIMEOUT(sawClose(*log_), 5000);
    QCOMPARE(line(*log_), sent);
}

void TestRx100EndToEnd::pendingWriteLeavesBeforeTheBroadcast() {
    // After the broadcast the USB port speaks Modbus: a write that followed it would be lost.
    QVERIFY(waitUntilSettled());
    qobject_cast<QLineEdit*>(control("Text47"))->setText("300");
    log_->mark();
    QTest::mouseClick(control("Command48"), Qt::LeftButton);
    closeAndAnswer("Command1");
    QTRY_VERIFY_WITH_TIMEOUT(sawClose(*log_), 5000);
    const QStringList frames = line(*log_);
    QCOMPARE(frames.count("57 45 1E 01 2C 0D"), 1);
    QCOMPARE(frames.mid(frames.size() - 2), (QStringList{"57 45 1E 01 2C 0D", OnFrame}));
}

QTEST_MAIN(TestRx100EndToEnd)
#include "tst_rx100_e2e.moc"
