// The RX-100 window and tables without a controller: which controls the operator can reach,
// which word a button's code writes, and the PWM enable mask.
#include "calform.h"
#include "fakelink.h"
#include "rx100model.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <set>

using namespace calcore;
using namespace rxline;

class TestRx100Model : public QObject {
    Q_OBJECT
  private slots:
    void tablesNameExistingControls();
    void onlyCommunicationAndPwmRowsReachable();
    void buttonWritesWord_data();
    void buttonWritesWord();
    void packPwmMask_data();
    void packPwmMask();
    void maskBoxesRebuildMask_data();
    void maskBoxesRebuildMask();
    void answerStillSendsThePendingWrite_data();
    void answerStillSendsThePendingWrite();
};

void TestRx100Model::tablesNameExistingControls() {
    const auto faults = checkModel(rx100::model());
    QVERIFY2(faults.empty(), faults.empty() ? "" : faults.front().c_str());
}

void TestRx100Model::onlyCommunicationAndPwmRowsReachable() {
    CalForm form(rx100::model(), "COM1");
    form.show();
    QCOMPARE(form.size(), QSize(361, 365));
    std::set<QString> reachable;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        const bool operable = qobject_cast<QPushButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                              qobject_cast<QCheckBox*>(w);
        if (operable && w->isVisibleTo(&form)) reachable.insert(w->objectName());
    }
    QCOMPARE(reachable,
             (std::set<QString>{"Command49", "Text26", "Command27", "Text48", "Command48", "Text47",
                                "Command31", "Text31", "Command32", "Text30", "Command35", "Text34",
                                "Command40", "Text39", "TrendButton"}));
    QCOMPARE(form.findChild<QLabel*>("Label45")->font().pointSizeF(), 13.5);
    QCOMPARE(form.findChild<QLabel*>("Label72")->font().pointSizeF(), 13.5);
    QCOMPARE(form.findChild<QLabel*>("Label74")->font().pointSizeF(), 9.75);
}

void TestRx100Model::buttonWritesWord_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("word");
    QTest::newRow("visible PWM-Q4") << "Command40" << int(WriteAction::Memory) << 17;
    QTest::newRow("hidden PWM-Q4") << "Command41" << int(WriteAction::Memory) << 95;
    QTest::newRow("PWM frequency") << "Command31" << int(WriteAction::Memory) << 27;
    QTest::newRow("USB address") << "Command48" << int(WriteAction::Eeprom) << 30;
    QTest::newRow("PWM-Q1") << "Command32" << int(WriteAction::Memory) << 19;
    QTest::newRow("PWM-Q3") << "Command35" << int(WriteAction::Memory) << 18;
    QTest::newRow("RS485 address") << "Command49" << int(WriteAction::Eeprom) << 29;
    QTest::newRow("RS485 speed") << "Command27" << int(WriteAction::Eeprom) << 31;
    QTest::newRow("hidden Zero- Ain3") << "Command7" << int(WriteAction::Eeprom) << 30;
    QTest::newRow("hidden M37(AO1)") << "Command14" << int(WriteAction::Memory) << 37;
}

void TestRx100Model::buttonWritesWord() {
    QFETCH(QString, button);
    QFETCH(int, kind);
    QFETCH(int, word);
    const Model& m = rx100::model();
    const auto r = std::find_if(m.requests.begin(), m.requests.end(),
                                [&](const RequestDef& d) { return button == d.button; });
    QVERIFY(r != m.requests.end());
    const WriteAction a = m.dispatch[std::size_t(r->code)];
    QCOMPARE(int(a.kind), kind);
    QCOMPARE(int(a.word), word);
}

void TestRx100Model::packPwmMask_data() {
    QTest::addColumn<QList<int>>("outputs"); // Q numbers ticked
    QTest::addColumn<QString>("mask");
    QTest::newRow("none") << QList<int>{} << "0";
    QTest::newRow("Q1") << QList<int>{1} << "1";
    QTest::newRow("Q1 Q3") << QList<int>{1, 3} << "5";
    QTest::newRow("all") << QList<int>{1, 2, 3, 4, 5, 6, 7, 8} << "255";
}

void TestRx100Model::packPwmMask() {
    QFETCH(QList<int>, outputs);
    QFETCH(QString, mask);
    std::array<bool, 8> ticked{};
    for (int q : outputs)
        ticked[std::size_t(q - 1)] = true;
    QCOMPARE(QString::fromStdString(rx100::PackPwmMask(ticked)), mask);
}

void TestRx100Model::maskBoxesRebuildMask_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("mask");
    QTest::newRow("tick Q2") << QStringList{"Check4"} << "2";
    QTest::newRow("then Q8") << QStringList{"Check4", "Check10"} << "130";
    QTest::newRow("then clear Q2") << QStringList{"Check4", "Check10", "Check4"} << "128";
}

void TestRx100Model::maskBoxesRebuildMask() {
    QFETCH(QStringList, clicks);
    QFETCH(QString, mask);
    CalForm form(rx100::model(), "COM1");
    auto* text38 = form.findChild<QLineEdit*>("Text38");
    auto* save = form.findChild<QPushButton*>("Command39");
    QCOMPARE(text38->text(), QString("?"));
    QVERIFY(!save->isEnabled());
    // The boxes are hidden from the operator; click() still runs their click handling.
    for (const QString& box : clicks)
        form.findChild<QCheckBox*>(box)->click();
    QCOMPARE(text38->text(), mask);
    QVERIFY(save->isEnabled());
}

void TestRx100Model::answerStillSendsThePendingWrite_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("portReturns"); // the port goes and comes back during the last pause
    QTest::addColumn<QStringList>("after");
    // After the broadcast the USB port speaks Modbus: the write goes before it, and a port that
    // comes back is not greeted with the Modbus-off frame.
    const QStringList yes{"57 45 1d 00 05 0d", "00 06 00 95 00 01 59 f7"};
    QTest::newRow("Sim") << "Command1" << false << yes;
    QTest::newRow("Sim, port back in the pause") << "Command1" << true << yes;
    QTest::newRow("Não") << "Command2" << false << QStringList{"57 45 1d 00 05 0d"};
}

void TestRx100Model::answerStillSendsThePendingWrite() {
    // A request not yet sent when the program ends is a write the technician asked for.
    QFETCH(QString, answer);
    QFETCH(bool, portReturns);
    QFETCH(QStringList, after);
    auto owned = std::make_unique<FakeLink>();
    FakeLink& link = *owned;
    calcore::CalForm form(rx100::model(), "COM1", std::move(owned));
    VirtualTime time(link, form.cycle());
    form.load();
    QVERIFY(time.runSteps(10, 2));
    qobject_cast<QLineEdit*>(form.control("Text26"))->setText("5");
    qobject_cast<QPushButton*>(form.control("Command49"))->click();
    QSignalSpy closed(&form, &calcore::CalForm::closed);
    const auto before = link.frames.size();
    form.close();
    QVERIFY(form.question());
    form.question()->findChild<QPushButton*>(answer)->click();
    if (portReturns) {
        link.lose();
        link.comeBack();
    }
    link.run();
    QCOMPARE(closed.count(), 1);
    QStringList sent;
    for (auto i = before; i < link.frames.size(); ++i)
        sent << QString::fromLatin1(link.frames[i].bytes.toHex(' '));
    QCOMPARE(sent, after);
}

QTEST_MAIN(TestRx100Model)
#include "tst_rx100_model.moc"
