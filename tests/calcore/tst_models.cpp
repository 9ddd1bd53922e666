// Every model's tables hold together, and a table that names a control the window lacks stops
// the tool at start-up with that name.
#include "model.h"

#include <QTest>

#include "modelrows.h"

using namespace calcore;
using namespace rxline;

namespace {

constexpr ControlDef brokenControls[] = {
    {.name = "Frame1", .kind = ControlKind::Frame},
    {.name = "Command1", .kind = ControlKind::Button, .parent = "Frame1"},
    {.name = "Text1", .kind = ControlKind::Entry},
    {.name = "Label1", .kind = ControlKind::Label, .parent = "Frame9"},
};
constexpr RequestDef brokenRequests[] = {
    {.button = "Command1", .entry = "Text1", .code = 70},
    {.button = "Command2", .entry = "Text1", .code = 71},
    {.button = "Command1", .entry = "Label1", .code = 72},
};
constexpr WordRead brokenReads[] = {{.space = Space::Eeprom, .word = 70, .label = "Label7"}};
constexpr FlagDef brokenFlags[] = {
    {.box = "Text1", .space = Space::Eeprom, .word = 28, .code = 28}};

const Model broken{
    .caption = "Broken",
    .controls = brokenControls,
    .refreshReads = brokenReads,
    .requests = brokenRequests,
    .flags = brokenFlags,
};

} // namespace

class TestModels : public QObject {
    Q_OBJECT
  private slots:
    void everyModelHoldsTogether_data();
    void everyModelHoldsTogether();
    void faultsNameTheControl_data();
    void faultsNameTheControl();
};

void TestModels::everyModelHoldsTogether_data() {
    addModelRows();
}

void TestModels::everyModelHoldsTogether() {
    QFETCH(const Model*, model);
    QStringList faults;
    for (const auto& f : checkModel(*model))
        faults << QString::fromStdString(f);
    QCOMPARE(faults, QStringList());
}

void TestModels::faultsNameTheControl_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("missing parent frame") << "\"Frame9\" (Label1) does not exist";
    QTest::newRow("missing button") << "\"Command2\" (request 71) does not exist";
    QTest::newRow("entry that is a label")
        << "\"Label1\" (request 72) is a label, not an entry box";
    QTest::newRow("missing label") << "\"Label7\" (parameter read) does not exist";
    QTest::newRow("flag on an entry") << "\"Text1\" (flag 28) is an entry box, not a check box";
}

void TestModels::faultsNameTheControl() {
    QFETCH(QString, fault);
    QStringList faults;
    for (const auto& f : checkModel(broken))
        faults << QString::fromStdString(f);
    QVERIFY2(faults.contains("Broken: " + fault), qPrintable(faults.join('\n')));
    QCOMPARE(faults.size(), 5);
}

QTEST_APPLESS_MAIN(TestModels)
#include "tst_models.moc"
