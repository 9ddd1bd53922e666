// The poll cycle's rules in virtual time, with the controller played by a fake link: when a
// request goes out, what replaces what, and what bad entries and silent controllers do.
#include "calform.h"
#include "fakelink.h"
#include "rx200model.h"
#include "trendview.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <set>

using namespace calcore;
using namespace rxline;

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
    void clickDuringAReadIsKept();
    void entryTooBigForThirtyTwoBitsWritesNothing();
    void flagTexts_data();
    void flagTexts();
    void silentControllerLeavesLabelsEmptyAndGoesOn();
    void silenceToldAtTheThirdMissedRead_data();
    void silenceToldAtTheThirdMissedRead();
    void noWordOutsideTheRegisterMap();
    void lostPortKeepsTheRequestAndResumesWithARefresh();
    void closingSendsThePendingWrite();
    void trendShowsTheCycleValuesAndSendsNothing();

  private:
    void start();
    void type(const char* entry, const QString& text) {
        form_->findChild<QLineEdit*>(entry)->setText(text);
    }
    void click(const char* button) { form_->findChild<QPushButton*>(button)->click(); }

    FakeLink* link_ = nullptr;
    std::unique_ptr<CalForm> form_;
    std::unique_ptr<VirtualTime> time_;
    QMap<QPair<char, int>, QByteArray> values_;
    bool silent_ = false;
    std::set<int> muted_; // memory words that get no reply
};

void TestRx200Cycle::init() {
    values_.clear();
    silent_ = false;
    muted_.clear();
    auto link = std::make_unique<FakeLink>();
    link_ = link.get();
    link_->answer = [this](Space space, std::uint8_t word) -> std::optional<QByteArray> {
        if (silent_ || (space == Space::Memory && muted_.count(word))) return std::nullopt;
        const char tag = tagOf(space);
        return tag + QByteArray::number(word) + values_.value({tag, word}, "0") + '\r';
    };
    form_ = std::make_unique<CalForm>(rx200::model(), "COM1", std::move(link));
    time_ = std::make_unique<VirtualTime>(*link_, form_->cycle());
}

void TestRx200Cycle::cleanup() {
    time_.reset();
    form_.reset();
}

void TestRx200Cycle::start() {
    form_->load();
    link_->run();
    QVERIFY(link_->isOpen());
}

void TestRx200Cycle::requestAtStepFourGoesOutFiveTicksLater() {
    start();
    QVERIFY(time_->runSteps(10));
    QVERIFY(time_->runSteps(4));
    type("Text26", "7");
    click("Command49"); // "Alterar"
    QCOMPARE(form_->cycle().state().Tick, 0);
    const auto before = time_->steps.size();
    QVERIFY(time_->runSteps(4));
    QCOMPARE(link_->writes(), QStringList());
    QVERIFY(time_->runSteps(5));
    QCOMPARE(time_->steps.mid(before), QList<int>({1, 2, 3, 4, 5}));
    QCOMPARE(link_->writes(), QStringList({"57 45 1d 00 07 0d"}));
}

void TestRx200Cycle::droppedCodesSendNothing_data() {
    QTest::addColumn<int>("code");
    for (int c : {0, 1, 39, 40, 50, 60, 63, 64, 65, 75, 88, 200, 255})
        QTest::newRow(qPrintable(QString::number(c))) << c;
}

void TestRx200Cycle::droppedCodesSendNothing() {
    QFETCH(int, code);
    start();
    QVERIFY(time_->runSteps(10, 2));
    const QStringList before = link_->writes(); // the start-up write-back, if any
    form_->cycle().requestEntryWrite(code, "5");
    QVERIFY(time_->runSteps(7));
    QCOMPARE(link_->writes(), before);
    QCOMPARE(form_->cycle().state().PendingWrite, 0);
}

void TestRx200Cycle::dayButtonDoesNotRestartTheCycle() {
    start();
    QVERIFY(time_->runSteps(10));
    QVERIFY(time_->runSteps(1));
    type("Text27", "07");
    click("Command28"); // "D"
    QCOMPARE(form_->cycle().state().Tick, 1);
    QCOMPARE(form_->cycle().state().PendingWrite, 69);
    QVERIFY(time_->runSteps(5));
    QCOMPARE(link_->writes(), QStringList({"57 4d 45 00 07 0d", "57 4d 41 00 04 0d"}));
    QCOMPARE(form_->cycle().state().RefreshPending, 0);
}

void TestRx200Cycle::minutesReplaceSecondsBeforeStepFive() {
    start();
    QVERIFY(time_->runSteps(10));
    type("Text9", "59");
    type("Text10", "3");
    click("Command9");  // "S"
    click("Command10"); // "M"
    QVERIFY(time_->runSteps(7));
    QCOMPARE(link_->writes(), QStringList({"57 4d 43 00 30 0d", "57 4d 41 00 02 0d"}));
}

void TestRx200Cycle::memoryWritePausesBeforeTheNextFrame() {
    start();
    QVERIFY(time_->runSteps(10));
    type("Text23", "300");
    click("Command24"); // "M36(AO4)"
    QVERIFY(time_->runSteps(7));
    const auto& frames = link_->frames;
    const auto at = std::find_if(frames.begin(), frames.end(), [](const FakeLink::Frame& f) {
        return f.bytes == QByteArray::fromHex("574d24012c0d");
    });
    QVERIFY(at != frames.end() && at + 1 != frames.end());
    QVERIFY2((at + 1)->ms - at->ms >= MemoryWriteSettleMs,
             qPrintable(QString::number((at + 1)->ms - at->ms)));
}

void TestRx200Cycle::clickDuringAReadIsKept() {
    start();
    QVERIFY(time_->runSteps(10));
    // The click lands while step 3 waits for the reply to M14.
    link_->onFrame = [this](const FakeLink::Frame& f) {
        if (f.bytes != QByteArray("RM\x0e\r")) return;
        link_->onFrame = nullptr;
        type("Text5", "12");
        click("Command5");
    };
    QVERIFY(time_->runUntil([this] { return !link_->writes().isEmpty(); }));
    QCOMPARE(link_->writes(), QStringList({"57 45 46 00 0c 0d"}));
    // The step in progress read its remaining live words first.
    const QStringList names = link_->names();
    const auto at = names.indexOf("RM14");
    QCOMPARE(names.mid(at, 2), QStringList({"RM14", "RM60"}));
}

void TestRx200Cycle::entryTooBigForThirtyTwoBitsWritesNothing() {
    start();
    QVERIFY(time_->runSteps(10, 2));
    const QStringList before = link_->writes();
    auto* entry = form_->findChild<QLineEdit*>("Text1");
    entry->setText("99999999999");
    click("Command1");
    QVERIFY(entry->property("invalid").toBool());
    QCOMPARE(form_->cycle().state().PendingWrite, 0);
    QVERIFY(time_->runSteps(10));
    QCOMPARE(link_->writes(), before);
    // Typing clears the mark; a number that fits is written again.
    entry->setFocus();
    QTest::keyClick(entry, Qt::Key_Backspace);
    QVERIFY(!entry->property("invalid").toBool());
    entry->setText("-1");
    click("Command1");
    QVERIFY(time_->runSteps(7));
    QCOMPARE(link_->writes().mid(before.size()), QStringList({"57 45 50 ff ff 0d"}));
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
    values_[{'E', 28}] = e28;
    start();
    QVERIFY(time_->runSteps(10, 2));
    QCOMPARE(form_->findChild<QCheckBox*>("Check1")->isChecked(), checked);
    QCOMPARE(link_->writes(), checked ? QStringList({"57 45 1c 00 01 0d"}) : QStringList());
}

void TestRx200Cycle::silentControllerLeavesLabelsEmptyAndGoesOn() {
    silent_ = true;
    start();
    // 23 + 11 + 23 unanswered reads, each ending at its time-out.
    QVERIFY(time_->runSteps(10));
    QVERIFY(link_->now >= 57 * ReplyTimeoutMs);
    for (const char* name : {"Label1", "Label8", "Label18", "Label45", "Label22", "Label46"})
        QCOMPARE(form_->findChild<QLabel*>(name)->text(), QString());
    QVERIFY(!form_->findChild<QCheckBox*>("Check1")->isChecked());
    QCOMPARE(form_->windowTitle(), QString("Config. Calibração RX-200 — sem resposta do "
                                           "controlador em COM1 (19200 bps); \"Procurar\" na "
                                           "janela \"Ajuste Serial\" acha a porta que responde"));
    // A request still goes out at step 5 of the next cycle.
    type("Text5", "12");
    click("Command5");
    QVERIFY(time_->runUntil([this] { return !link_->writes().isEmpty(); }));
    QCOMPARE(link_->writes(), QStringList({"57 45 46 00 0c 0d"}));
    // The controller answers again: the title says nothing more at the first answer.
    silent_ = false;
    QVERIFY(time_->runSteps(3));
    QCOMPARE(form_->windowTitle(), QString("Config. Calibração RX-200"));
}

void TestRx200Cycle::lostPortKeepsTheRequestAndResumesWithARefresh() {
    start();
    QVERIFY(time_->runSteps(10));
    values_[{'E', 70}] = "321";
    type("Text5", "12");
    click("Command5");
    // The device goes away while step 2 reads, before the write's step 5.
    link_->onFrame = [this](const FakeLink::Frame& f) {
        if (f.bytes != QByteArray("RE\x47\r")) return;
        link_->onFrame = nullptr;
        link_->lose();
    };
    QVERIFY(time_->runUntil([this] { return !link_->isOpen(); }));
    const auto framesAtLoss = link_->frames.size();
    QVERIFY(!time_->runUntil([] { return false; }, 5000)); // five seconds without the port
    QCOMPARE(link_->frames.size(), framesAtLoss);
    QVERIFY(form_->windowTitle().endsWith(" — porta COM1 desconectada, tentando de novo"));
    QCOMPARE(form_->cycle().state().PendingWrite, 70);
    link_->comeBack();
    QCOMPARE(form_->windowTitle(), QString("Config. Calibração RX-200"));
    QVERIFY(time_->runSteps(7));
    QCOMPARE(link_->writes(), QStringList({"57 45 46 00 0c 0d"}));
    // The first frame after the return is the refresh's first read.
    QCOMPARE(link_->names().mid(int(framesAtLoss), 1), QStringList({"RE70"}));
    QCOMPARE(form_->findChild<QLabel*>("Label5")->text(), QString("321"));
}

void TestRx200Cycle::closingSendsThePendingWrite() {
    start();
    QVERIFY(time_->runSteps(10));
    type("Text23", "300");
    click("Command24"); // "M36(AO4)"
    QSignalSpy closed(form_.get(), &CalForm::closed);
    form_->close();
    link_->run();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(link_->writes(), QStringList({"57 4d 24 01 2c 0d"}));
    QVERIFY(!link_->isOpen());
}

void TestRx200Cycle::silenceToldAtTheThirdMissedRead_data() {
    QTest::addColumn<QList<int>>("answering"); // EEPROM words that answer
    QTest::addColumn<int>("reads");            // read frames out when the title changes
    QTest::newRow("nothing answers") << QList<int>{} << 3;
    QTest::newRow("an answer starts the count again") << QList<int>{72} << 6;
}

void TestRx200Cycle::silenceToldAtTheThirdMissedRead() {
    QFETCH(QList<int>, answering);
    QFETCH(int, reads);
    link_->answer = [&answering](Space space, std::uint8_t word) -> std::optional<QByteArray> {
        if (space != Space::Eeprom || !answering.contains(word)) return std::nullopt;
        return "E" + QByteArray::number(word) + "5\r";
    };
    const QString silent = QStringLiteral("Config. Calibração RX-200") + silenceText("COM1");
    std::size_t framesWhenTold = 0;
    qint64 toldAt = -1;
    connect(form_.get(), &QWidget::windowTitleChanged, form_.get(), [&](const QString& title) {
        if (title != silent || toldAt >= 0) return;
        framesWhenTold = link_->frames.size();
        toldAt = link_->now;
    });
    start();
    QVERIFY(time_->runSteps(10));
    QCOMPARE(framesWhenTold, std::size_t(reads));
    // Three reads' waits after the first step that reads: well within two seconds of the load.
    QVERIFY(toldAt <= 2 * PollCycle::TickMs + reads * ReplyTimeoutMs);
}

void TestRx200Cycle::noWordOutsideTheRegisterMap() {
    start();
    QVERIFY(time_->runSteps(10));
    int n = 0;
    for (const auto& r : rx200::model().requests) {
        type(r.entry, QString::number(1 + n++));
        click(r.button);
        // "D" restarts nothing, so its write goes out at the running cycle's step 5.
        QVERIFY2(time_->runSteps(r.kind == RequestKind::CodeOnly ? 5 : 7), r.button);
    }
    QVERIFY(time_->runSteps(10));
    const std::set<int> readE{28, 29, 70, 71, 72, 73, 74, 76, 77, 78,
                              79, 80, 81, 82, 83, 84, 85, 86, 87};
    const std::set<int> readM{13, 14, 15, 16, 17, 18, 19, 20, 36, 60, 61, 62, 63, 65, 66};
    const std::set<int> writeM{17, 18, 19, 36, 65, 66, 67, 68, 69};
    std::set<QByteArray> commandsSeen;
    for (const auto& f : link_->frames) {
        QVERIFY2(f.bytes.size() == 4 || f.bytes.size() == 6, f.bytes.toHex(' ').constData());
        const QByteArray cmd = f.bytes.left(2);
        commandsSeen.insert(cmd);
        const auto& allowed = cmd == "RM" ? readM : cmd == "WM" ? writeM : readE;
        QVERIFY2(allowed.count(quint8(f.bytes[2])), f.bytes.toHex(' ').constData());
    }
    QCOMPARE(commandsSeen, (std::set<QByteArray>{"RE", "RM", "WE", "WM"}));
    QVERIFY(link_->frames.size() > 25 * 34);
}

void TestRx200Cycle::trendShowsTheCycleValuesAndSendsNothing() {
    form_->setClock([this] { return link_->now; });
    values_[{'M', 15}] = "1234";
    values_[{'M', 13}] = "00077";
    start();
    QVERIFY(time_->runSteps(10, 2)); // the start-up refreshes and flag write-backs are done
    auto oneCycle = [this] {
        const std::size_t from = link_->frames.size();
        if (!time_->runSteps(10)) return QStringList();
        return link_->names().mid(qsizetype(from));
    };
    const QStringList closed = oneCycle();
    QCOMPARE(closed.size(), 11);

    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QTest::keyClick(form_.get(), Qt::Key_T, Qt::ControlModifier);
    TrendWindow* window = form_->trend();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->objectName(), QString("TrendWindow"));
    // The open window adds no frame: the same reads a cycle, a muted one included.
    muted_ = {15};
    QCOMPARE(oneCycle(), closed);
    const TrendView& view = window->view();
    QCOMPARE(view.strips(), 11);
    // A read without reply leaves a gap: no current value, the earlier ones in the figures.
    QCOMPARE(view.stripText(0),
             QStringList({"Ain1 (M15)", "atual —", "mín 1234  máx 1234", "variação 0 em 10 s"}));
    QCOMPARE(view.stripText(3),
             QStringList({"Ain4 (M13)", "atual 77", "mín 77  máx 77", "variação 0 em 10 s"}));
    QCOMPARE(view.stripText(6)[0], QString("Relógio: comando (M65)"));
    const SampleStore& samples = form_->samples();
    QCOMPARE(samples.valueAt(samples.rows() - 1, 0), std::nullopt);
    QCOMPARE(samples.valueAt(samples.rows() - 2, 0), std::optional<std::uint16_t>(1234));
    // A row a cycle, stamped with the time its live reads ended.
    QCOMPARE(samples.newest(), link_->frames.back().ms + link_->latencyMs);

    // "Salvar CSV…" writes every row kept, whole, or says why not.
    QTemporaryDir dir;
    const QString path = dir.filePath("trend.csv");
    QCOMPARE(window->saveCsv(path), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("time,M15,M20,M16,M13,M14,M60,M65,M66,M61,M62,M63"));
    QCOMPARE(lines.size(), qsizetype(samples.rows()) + 2); // the header, a row a cycle, the end
    QVERIFY(lines[lines.size() - 2].endsWith(",,0,0,77,0,0,0,0,0,0,0"));
    QVERIFY(!window->saveCsv(dir.filePath("missing/trend.csv")).isEmpty());
    QVERIFY(!QFile::exists(dir.filePath("missing/trend.csv")));
}

QTEST_MAIN(TestRx200Cycle)
#include "tst_rx200_cycle.moc"
