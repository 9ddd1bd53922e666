// Each calibration tool against a simulator that garbles, splits, mislabels, delays or drowns
// its replies in noise, through the real serial path: the cycle goes on, nothing but the tool's
// own frames reaches the line, a request still goes out byte for byte, a label shows nothing or
// a value a line naming its own word brought, and no write goes out that nobody asked for.
#include "calform.h"
#include "framelog.h"
#include "modelrows.h"
#include "shard.h"
#include "simprocess.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <QLabel>

#include <map>
#include <set>

using namespace calcore;
using namespace rxline;

namespace {

using WordKey = std::pair<char, int>; // tag letter, word number

// The value texts each word may have been given: for every line the controller sent (a stray
// CR ends a line early, or stays inside one whose bytes came together), the words it can name:
// its tag and one, two or three of the digits after it.
std::map<WordKey, std::set<std::string>> valuesSent(const std::vector<rxsim::LogEntry>& entries) {
    std::map<WordKey, std::set<std::string>> values;
    for (const auto& e : entries) {
        if (e.kind != "TX") continue;
        const std::string sent(e.bytes.begin(), e.bytes.end());
        std::vector<std::size_t> starts{0};
        for (auto cr = sent.find('\r'); cr != std::string::npos; cr = sent.find('\r', cr + 1))
            starts.push_back(cr + 1);
        for (std::size_t from : starts) {
            for (auto end = sent.find('\r', from); end != std::string::npos;
                 end = sent.find('\r', end + 1)) {
                const std::string line = sent.substr(from, end - from + 1);
                if (line.size() < 3 || (line[0] != 'M' && line[0] != 'E')) continue;
                for (std::size_t digits = 1; digits <= 3 && digits + 1 < line.size(); ++digits) {
                    const std::string number = line.substr(1, digits);
                    if (number.find_first_not_of("0123456789") != std::string::npos ||
                        (digits > 1 && number[0] == '0'))
                        break;
                    values[{line[0], std::stoi(number)}].insert(line.substr(1 + digits, 5));
                }
            }
        }
    }
    return values;
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        if (!inThisShard()) QSKIP("runs in another shard");
    }
    void cycleSurvives_data();
    void cycleSurvives();
};

void TestFaults::cycleSurvives_data() {
    QTest::addColumn<const Model*>("model");
    QTest::addColumn<QString>("sim");
    QTest::addColumn<QStringList>("faults");
    // Replies later than the wait are a matter of the link, whatever the model: every read
    // waits its full time, so the tool with the shortest refresh shows it cheapest. The longest
    // row, first: the shards (tests/support/shard.h) take rows in turn, and this one then
    // shares its entry with short ones.
    for (const auto& [sim, model] : availableModels()) {
        if (sim == "rx100")
            QTest::newRow("rx100 later than the wait")
                << model << sim << QStringList{"--latency-ms", "650"};
    }
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
    const auto sent = valuesSent(log.entries());
    const auto sentAsOne = [&sent](char tag, int word) {
        const auto it = sent.find({tag, word});
        return it != sent.end() && std::any_of(it->second.begin(), it->second.end(),
                                               [](const auto& v) { return readsAsOne(v); });
    };
    int writes = 0;
    for (const auto& f : log.rxFrames()) {
        const bool read = f.size() == 4 && f[0] == 'R' && (f[1] == 'M' || f[1] == 'E');
        const bool fixed =
            std::equal(f.begin(), f.end(), model->loadFrame.begin(), model->loadFrame.end());
        const bool write = f.size() == 6 && f[0] == 'W';
        QVERIFY2(read || write || fixed, rxsim::toHex(f).c_str());
        if (!write) continue;
        if (std::equal(f.begin(), f.end(), expected.begin(), expected.end())) {
            ++writes;
            continue;
        }
        // Any other write is a check box following a flag the controller said was 1.
        bool flagSync = false;
        for (const FlagDef& flag : model->flags) {
            const WriteAction a = model->dispatch[std::size_t(flag.code)];
            flagSync = flagSync ||
                       (f[1] == (a.kind == WriteAction::Memory ? 'M' : 'E') && f[2] == a.word &&
                        f[3] == 0 && f[4] == 1 && sentAsOne(tagOf(flag.space), flag.word));
        }
        QVERIFY2(flagSync, rxsim::toHex(f).c_str());
    }
    QCOMPARE(writes, 1);

    for (const auto& reads : {model->refreshReads, model->liveReads}) {
        for (const WordRead& r : reads) {
            if (!r.label) continue;
            const QString shown = qobject_cast<QLabel*>(form.control(r.label))->text();
            if (shown.isEmpty()) continue;
            const auto it = sent.find({tagOf(r.space), r.word});
            bool own = false;
            if (it != sent.end())
                for (const auto& v : it->second)
                    own = own || QString::fromLatin1(displayText(v).c_str()) == shown;
            QVERIFY2(own, qPrintable(QStringLiteral("%1 shows \"%2\"").arg(r.label, shown)));
        }
    }
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
