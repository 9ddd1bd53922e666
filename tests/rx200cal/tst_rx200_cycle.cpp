// The poll cycle's rules, with a controller the test plays on a pseudo-terminal: when a
// request goes out, what replaces what, and what bad entries and silent controllers do.
#include "calform.h"
#include "ptypeer.h"
#include "rx200model.h"

#include <QCheckBox>
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

struct SeenFrame {
    QByteArray bytes;
    qint64 ms;
};

// Answers every read at once with the value the test chose for that word (default 0) and
// records every frame with the time it came.
class FakeController : public QObject {
  public:
    explicit FakeController(PtyPeer& pty) : pty_(pty) {
        clock_.start();
        connect(&pty_, &PtyPeer::bytesReceived, this, [this] { parse(); });
    }
    void setValue(char tag, int word, const QByteArray& text) { values_[{tag, word}] = text; }
    void setSilent(bool silent) { silent_ = silent; }
    QList<SeenFrame> frames;
    QStringList writes() const {
        QStringList out;
        for (const auto& f : frames)
            if (f.bytes.startsWith('W')) out << QString::fromLatin1(f.bytes.toHex(' '));
        return out;
    }

  private:
    void parse() {
        for (;;) {
            const QByteArray& in = pty_.received;
            if (in.size() <= used_) return;
            const int need = in.at(used_) == 'W' ? 6 : 4;
            if (in.size() - used_ < need) return;
            const QByteArray frame = in.mid(used_, need);
            used_ += need;
            frames.push_back({frame, clock_.elapsed()});
            if (frame[0] == 'R' && !silent_) {
                const char tag = frame[1];
                const int word = quint8(frame[2]);
                const QByteArray value = values_.value({tag, word}, "0");
                pty_.send(tag + QByteArray::number(word) + value + '\r');
            }
        }
    }
    PtyPeer& pty_;
    QElapsedTimer clock_;
    qsizetype used_ = 0;
    bool silent_ = false;
    QMap<QPair<char, int>, QByteArray> values_;
};

} // namespace

class TestRx200Cycle : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void requestAtStepFourGoesOutFiveTicksLater();
    void droppedCodesSendNothing_data();
    void droppedCodesSendNothing();
    void dayButtonDoesNotRestartTheCycle();
    void minutesReplaceSecondsBeforeStepFive();
    void memoryWritePausesBeforeTheNextFrame();
    void entryTooBigForThirtyTwoBitsWritesNothing();
    void flagTexts_data();
    void flagTexts();
    void silentControllerLeavesLabelsEmptyAndGoesOn();

  private:
    void start();
    bool waitForSteps(int tick, int count, int timeoutMs = 20000);
    int writesAfter(int frameIndex) const;

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<PtyPeer> pty_;
    std::unique_ptr<FakeController> ctl_;
    std::unique_ptr<CalForm> form_;
    std::unique_ptr<QSignalSpy> steps_;
};

void TestRx200Cycle::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    qputenv("RX_COM_DIR", dir_->path().toLocal8Bit());
    pty_ = std::make_unique<PtyPeer>();
    QVERIFY(pty_->linkAs(dir_->filePath("COM1")));
    ctl_ = std::make_unique<FakeController>(*pty_);
    form_ = std::make_unique<CalForm>(rx200::model(), "COM1");
    steps_ = std::make_unique<QSignalSpy>(&form_->cycle(), &PollCycle::stepDone);
}

void TestRx200Cycle::cleanup() {
    steps_.reset();
    form_.reset();
    ctl_.reset();
    pty_.reset();
    dir_.reset();
}

void TestRx200Cycle::start() {
    form_->show();
    QVERIFY(form_->link().isOpen());
}

bool TestRx200Cycle::waitForSteps(int tick, int count, int timeoutMs) {
    return QTest::qWaitFor(
        [&] {
            int n = 0;
            for (const auto& args : *steps_)
                n += args.at(0).toInt() == tick;
            return n >= count;
        },
        timeoutMs);
}

void TestRx200Cycle::requestAtStepFourGoesOutFiveTicksLater() {
    start();
    QVERIFY(waitForSteps(10, 1));
    steps_->clear();
    QVERIFY(waitForSteps(4, 1));
    form_->findChild<QLineEdit*>("Text26")->setText("7");
    QTest::mouseClick(form_->findChild<QPushButton*>("Command49"), Qt::LeftButton); // "Alterar"
    QCOMPARE(form_->cycle().state().Tick, 0);
    const auto before = steps_->size();
    // Nothing is written by the end of step 4 of the restarted count; step 5 writes.
    int writesAtStepFour = -1;
    connect(&form_->cycle(), &PollCycle::stepDone, this, [&](int tick) {
        if (tick == 4 && writesAtStepFour < 0) writesAtStepFour = int(ctl_->writes().size());
    });
    QVERIFY(waitForSteps(5, 1));
    QStringList ticksSince;
    for (auto i = before; i < steps_->size(); ++i)
        ticksSince << steps_->at(i).at(0).toString();
    QCOMPARE(ticksSince.join(' '), QString("1 2 3 4 5"));
    QCOMPARE(writesAtStepFour, 0);
    QTRY_COMPARE_WITH_TIMEOUT(ctl_->writes(), QStringList({"57 45 1d 00 07 0d"}), 5000);
}

void TestRx200Cycle::droppedCodesSendNothing_data() {
    QTest::addColumn<int>("code");
    for (int c : {0, 1, 39, 40, 50, 60, 63, 64, 65, 75, 88, 200, 255})
        QTest::newRow(qPrintable(QString::number(c))) << c;
}

void TestRx200Cycle::droppedCodesSendNothing() {
    QFETCH(int, code);
    start();
    QVERIFY(waitForSteps(10, 2));
    const QStringList before = ctl_->writes(); // the start-up write-back, if any
    form_->cycle().requestEntryWrite(code, "5");
    steps_->clear();
    QVERIFY(waitForSteps(7, 1));
    QCOMPARE(ctl_->writes(), before);
    QCOMPARE(form_->cycle().state().PendingWrite, 0);
}

void TestRx200Cycle::dayButtonDoesNotRestartTheCycle() {
    start();
    QVERIFY(waitForSteps(10, 1));
    steps_->clear();
    QVERIFY(waitForSteps(1, 1));
    form_->findChild<QLineEdit*>("Text27")->setText("07");
    QTest::mouseClick(form_->findChild<QPushButton*>("Command28"), Qt::LeftButton); // "D"
    QCOMPARE(form_->cycle().state().Tick, 1);
    QCOMPARE(form_->cycle().state().PendingWrite, 69);
    QVERIFY(waitForSteps(5, 1));
    QCOMPARE(ctl_->writes(), QStringList({"57 4d 45 00 07 0d", "57 4d 41 00 04 0d"}));
    QCOMPARE(form_->cycle().state().RefreshPending, 0);
}

void TestRx200Cycle::minutesReplaceSecondsBeforeStepFive() {
    start();
    QVERIFY(waitForSteps(10, 1));
    form_->findChild<QLineEdit*>("Text9")->setText("59");
    form_->findChild<QLineEdit*>("Text10")->setText("3");
    QTest::mouseClick(form_->findChild<QPushButton*>("Command9"), Qt::LeftButton);  // "S"
    QTest::mouseClick(form_->findChild<QPushButton*>("Command10"), Qt::LeftButton); // "M"
    steps_->clear();
    QVERIFY(waitForSteps(7, 1));
    QCOMPARE(ctl_->writes(), QStringList({"57 4d 43 00 30 0d", "57 4d 41 00 02 0d"}));
}

void TestRx200Cycle::memoryWritePausesBeforeTheNextFrame() {
    start();
    QVERIFY(waitForSteps(10, 1));
    form_->findChild<QLineEdit*>("Text23")->setText("300");
    QTest::mouseClick(form_->findChild<QPushButton*>("Command24"), Qt::LeftButton); // "M36(AO4)"
    steps_->clear();
    QVERIFY(waitForSteps(7, 1));
    int at = -1;
    for (int i = 0; i < ctl_->frames.size(); ++i)
        if (ctl_->frames[i].bytes == QByteArray::fromHex("574d24012c0d")) at = i;
    QVERIFY(at >= 0 && at + 1 < ctl_->frames.size());
    const qint64 gap = ctl_->frames[at + 1].ms - ctl_->frames[at].ms;
    QVERIFY2(gap >= 45, qPrintable(QString::number(gap)));
}

void TestRx200Cycle::entryTooBigForThirtyTwoBitsWritesNothing() {
    start();
    QVERIFY(waitForSteps(10, 2));
    const QStringList before = ctl_->writes();
    auto* entry = form_->findChild<QLineEdit*>("Text1");
    entry->setText("99999999999");
    QTest::mouseClick(form_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(entry->property("invalid").toBool());
    QCOMPARE(form_->cycle().state().PendingWrite, 0);
    steps_->clear();
    QVERIFY(waitForSteps(10, 1));
    QCOMPARE(ctl_->writes(), before);
    // Typing clears the mark; a number that fits is written again.
    entry->setFocus();
    QTest::keyClick(entry, Qt::Key_Backspace);
    QVERIFY(!entry->property("invalid").toBool());
    entry->setText("-1");
    QTest::mouseClick(form_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    steps_->clear();
    QVERIFY(waitForSteps(7, 1));
    QCOMPARE(ctl_->writes().mid(before.size()), QStringList({"57 45 50 ff ff 0d"}));
}

void TestRx200Cycle::flagTexts_data() {
    QTest::addColumn<QByteArray>("e28");
    QTest::addColumn<bool>("checked");
    QTest::newRow("1") << QByteArray("1") << true;
    QTest::newRow("00001") << QByteArray("00001") << true;
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("2") << QByteArray("2") << false;
    QTest::newRow("letters") << QByteArray("x1") << false;
}

void TestRx200Cycle::flagTexts() {
    QFETCH(QByteArray, e28);
    QFETCH(bool, checked);
    ctl_->setValue('E', 28, e28);
    start();
    QVERIFY(waitForSteps(10, 2));
    QCOMPARE(form_->findChild<QCheckBox*>("Check1")->isChecked(), checked);
    QCOMPARE(ctl_->writes(), checked ? QStringList({"57 45 1c 00 01 0d"}) : QStringList());
}

void TestRx200Cycle::silentControllerLeavesLabelsEmptyAndGoesOn() {
    ctl_->setSilent(true);
    start();
    // 23 + 11 + 23 unanswered reads, each ending at its time-out.
    QVERIFY(waitForSteps(10, 1, 60000));
    for (const char* name : {"Label1", "Label8", "Label18", "Label45", "Label22", "Label46"})
        QCOMPARE(form_->findChild<QLabel*>(name)->text(), QString());
    QVERIFY(!form_->findChild<QCheckBox*>("Check1")->isChecked());
    // A request still goes out at step 5 of the next cycle.
    form_->findChild<QLineEdit*>("Text5")->setText("12");
    QTest::mouseClick(form_->findChild<QPushButton*>("Command5"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !ctl_->writes().isEmpty(); }, 60000));
    QCOMPARE(ctl_->writes(), QStringList({"57 45 46 00 0c 0d"}));
}

QTEST_MAIN(TestRx200Cycle)
#include "tst_rx200_cycle.moc"
