// The RX-300 tool against the simulated controller, through the real serial path: what the
// cycle reads and writes, in which order, what the window shows after the replies, and that
// "Busca parâmetros" never sends a frame before the one on the line has its reply.
//
// Each CTest entry runs the functions (and rows) that fit the simulator it starts: see
// CMakeLists.txt beside this file.
#include "calform.h"
#include "framelog.h"
#include "portselect.h"
#include "rx300model.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace calcore;
using namespace rxline;

namespace {

// The frames of a cycle as the controller sees them.
const QString Live = "M15 M16 M60 M65 M66 M61 M62 M63";
const QString Refresh = "E70 E71 E72 E73 E74 E28 E29 E74";
const QString Fetch = "E20 E21 E22 E23 E24 E25 E26 E27";

// Reads by their word ("E70", "M15"), every other frame as its bytes in hex.
QString frameName(const std::vector<std::uint8_t>& f) {
    if (f.size() == 4 && f[0] == 'R') return QString("%1%2").arg(QChar(f[1])).arg(f[2]);
    return QString::fromStdString(rxsim::toHex(f));
}

} // namespace

class TestRx300EndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void idleCycle();
    void requests_data();
    void requests();
    void fetch_data();
    void fetch();
    void startupFlags_data();
    void startupFlags();

  private:
    // Waits until `count` more steps numbered `tick` have run to their end, and returns right
    // after the last one, before the next tick falls due.
    bool waitForStep(int tick, int count = 1);
    QString frames() const {
        QStringList names;
        for (const auto& f : log_->rxFrames())
            names << frameName(f);
        return names.join(' ');
    }
    QString text(const QString& label) const { return form1_->findChild<QLabel*>(label)->text(); }
    QString stored(std::uint8_t word) const {
        return QString::fromStdString(displayText(form1_->cycle().valueText(Space::Eeprom, word)));
    }

    std::unique_ptr<rxsim::FrameLog> log_;
    std::unique_ptr<PortSelectForm> form2_;
    QPointer<CalForm> form1_;
};

void TestRx300EndToEnd::init() {
    log_ = std::make_unique<rxsim::FrameLog>(qEnvironmentVariable("RX_SIM_LOG").toStdString());
    log_->mark();
    form2_ = std::make_unique<PortSelectForm>(rx300::model());
    form2_->show();
    form2_->portBox()->setCurrentText("COM1");
    QTest::mouseClick(form2_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    form1_ = form2_->mainForm();
    QVERIFY(form1_);
    QTRY_VERIFY(form1_->link().isOpen());
}

void TestRx300EndToEnd::cleanup() {
    if (form1_) {
        QSignalSpy closed(form1_, &CalForm::closed);
        form1_->close();
        QVERIFY(closed.wait(10000));
        // The next test's mark must come after the last frame of this one.
        QTRY_VERIFY_WITH_TIMEOUT(!log_->entries().empty() && log_->entries().back().kind == "CLOSE",
                                 10000);
    }
    form2_.reset();
}

bool TestRx300EndToEnd::waitForStep(int tick, int count) {
    QSignalSpy steps(&form1_->cycle(), &PollCycle::stepDone);
    while (count > 0) {
        if (steps.isEmpty() && !steps.wait(20000)) return false;
        count -= steps.takeFirst().at(0).toInt() == tick;
    }
    return true;
}

void TestRx300EndToEnd::idleCycle() {
    QVERIFY(waitForStep(10, 2)); // the start-up refreshes are behind
    log_->mark();
    QVERIFY(waitForStep(10));
    // Every read has its reply at the step's end, so each of its frames is in the log.
    QCOMPARE(frames(), Live);
}

void TestRx300EndToEnd::requests_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("write"); // what step 5 sends
    QTest::addColumn<QString>("label"); // shows the stored value after step 7
    auto row = [](const char* tag, QString button, QString entry, QString value, QString write,
                  QString label) {
        QTest::newRow(tag) << button << entry << value << write << label;
    };
    row("Zero- Ain1", "Command1", "Text1", "1234", "57 45 46 04 D2 0D", "Label1");
    row("AC range 500", "Command29", "Text28", "500", "57 45 4A 01 F4 0D", "Label50");
    // After 500, so the controller ends with the range code it started with.
    row("AC range 460", "Command29", "Text28", "460", "57 45 4A 01 CC 0D", "Label50");
    row("clock S", "Command9", "Text9", "45", "57 4D 42 00 45 0D 57 4D 41 00 01 0D", "");
}

void TestRx300EndToEnd::requests() {
    QFETCH(QString, button);
    QFETCH(QString, entry);
    QFETCH(QString, value);
    QFETCH(QString, write);
    QFETCH(QString, label);
    QVERIFY(waitForStep(10));
    form1_->findChild<QLineEdit*>(entry)->setText(value);
    log_->mark();
    QTest::mouseClick(form1_->findChild<QPushButton*>(button), Qt::LeftButton);
    QVERIFY(waitForStep(7));
    QCOMPARE(frames(), Refresh + ' ' + Live + ' ' + write + ' ' + Refresh);
    if (!label.isEmpty()) QCOMPARE(text(label), value);
}

void TestRx300EndToEnd::fetch_data() {
    QTest::addColumn<bool>("duringStep3");
    QTest::addColumn<QString>("after"); // the frames that follow, up to the cycle's end
    // At the cycle's end the fetch holds the next tick back; its refresh comes at step 2 and,
    // still pending, again at step 7.
    QTest::newRow("between steps") << false << Refresh + ' ' + Live + ' ' + Refresh;
    // While a read waits: the fetch goes out after its reply, then step 3 goes on; step 7
    // carries out the refresh.
    QTest::newRow("while a step waits") << true << Live + ' ' + Refresh;
}

void TestRx300EndToEnd::fetch() {
    QFETCH(bool, duringStep3);
    QFETCH(QString, after);
    QVERIFY(waitForStep(10, 2));
    log_->mark();
    if (duringStep3) {
        QTRY_VERIFY_WITH_TIMEOUT(form1_->cycle().state().Tick == 3 && form1_->link().busy(), 10000);
    }
    QTest::mouseClick(form1_->findChild<QPushButton*>("Command17"), Qt::LeftButton);
    // E20 to E23 stand in the stored-value labels until the refresh.
    QSignalSpy steps(&form1_->cycle(), &PollCycle::stepDone);
    QVERIFY(steps.wait(10000));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(text(QString("Label%1").arg(i + 1)), stored(std::uint8_t(20 + i)));
    QVERIFY(waitForStep(10));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(text(QString("Label%1").arg(i + 1)), stored(std::uint8_t(70 + i)));
    QVERIFY(stored(20) != stored(70));

    // The fetch went out as one block: at the cycle's end first, during step 3 between two of
    // its live reads, ahead of those the step still had to send.
    QString names = frames();
    const auto at = names.indexOf(Fetch);
    const QString next = names.mid(at + Fetch.size() + 1, 1);
    QVERIFY2(duringStep3 ? at > 0 && next == "M" : at == 0, qPrintable(names));
    names.remove(at, Fetch.size() + 1);
    QCOMPARE(names, after);
    // On the line, each read's reply went out before the next frame came in.
    const auto log = log_->entries();
    for (auto it = log.begin(); it != log.end(); ++it) {
        if (it->kind != "RX" || it->bytes.at(0) != 'R') continue;
        const auto reply = std::find_if(it + 1, log.end(), [](auto& e) { return e.kind == "TX"; });
        const auto next = std::find_if(it + 1, log.end(), [](auto& e) { return e.kind == "RX"; });
        QVERIFY2(reply != log.end(), qPrintable(frameName(it->bytes)));
        QVERIFY2(next == log.end() || reply->t <= next->t, qPrintable(frameName(it->bytes)));
    }
}

void TestRx300EndToEnd::startupFlags_data() {
    // Tagged by the simulator's settings: each row runs against its own simulator.
    QTest::addColumn<bool>("modbus");
    QTest::addColumn<bool>("q2");
    QTest::addColumn<QString>("writes"); // in the first three cycles
    QTest::newRow("E74=460") << false << false << "";
    QTest::newRow("E74=500") << false << false << "";
    QTest::newRow("E74=1") << false << true << "57 45 4A 00 01 0D";
    // "Usar Modbus" is set first, so the Q2 box's request replaces its write.
    QTest::newRow("E28=1,E74=1") << true << true << "57 45 4A 00 01 0D";
}

void TestRx300EndToEnd::startupFlags() {
    QFETCH(bool, modbus);
    QFETCH(bool, q2);
    QFETCH(QString, writes);
    auto* modbusBox = form1_->findChild<QCheckBox*>("Check1");
    auto* q2Box = form1_->findChild<QCheckBox*>("Check2");
    QVERIFY(!modbusBox->isChecked() && !q2Box->isChecked());
    QVERIFY(waitForStep(10));
    // The load asks for a refresh at steps 2 and 7 (seen from the mark init made).
    QCOMPARE(frames(), Refresh + ' ' + Live + ' ' + Refresh);
    QCOMPARE(modbusBox->isChecked(), modbus);
    QCOMPARE(q2Box->isChecked(), q2);
    QVERIFY(waitForStep(10, 2));
    QStringList seen;
    for (const auto& f : log_->rxFrames())
        if (f.at(0) == 'W') seen << frameName(f);
    QCOMPARE(seen.join(' '), writes);
    // The row ran against the simulator it is tagged with.
    QCOMPARE(text("Label50"), QString(QTest::currentDataTag()).section("E74=", 1));
}

QTEST_MAIN(TestRx300EndToEnd)
#include "tst_rx300_e2e.moc"
