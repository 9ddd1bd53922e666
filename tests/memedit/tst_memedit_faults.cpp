// The editor against a controller that misbehaves, through the real serial path: one simulator
// per fault setting (see CMakeLists.txt), each checked by the row of the same name. A page sweep
// runs for a few reads, then two writes close the port. What must hold: no crash, no freeze,
// no error box, every box keeps its text or shows what the reply rule cuts out of a line the
// controller sent while that word was read, and the writes go out byte for byte.
#include "editortest.h"
#include "framelog.h"
#include "mainwindow.h"
#include "serialport.h"

#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <algorithm>

using memedit::Form1;

namespace {
constexpr int kWait = 20000;
constexpr int kReads = 5;

bool isRead(const rxsim::LogEntry& e) {
    return e.kind == "RX" && e.bytes.size() == 4 && e.bytes[0] == 'R';
}

// The texts the reply rule can put into the box of each word of page 2 (drop the tag letter
// and three digits, and the closing CR). A reply line fills the box of the word read last
// before it or, with mayMove, of the word read next: a late line, or what follows a stray CR,
// waits in the port through the pause after a reply and meets the next read. A stray CR ends a
// reply early, or stays inside one whose bytes came together.
QHash<int, QSet<QString>> possibleTexts(const std::vector<rxsim::LogEntry>& entries, bool mayMove) {
    QHash<int, QSet<QString>> texts;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].kind != "TX") continue;
        const auto next = std::find_if(entries.begin() + std::ptrdiff_t(i), entries.end(), isRead);
        const auto last = std::find_if(entries.rbegin() + std::ptrdiff_t(entries.size() - i),
                                       entries.rend(), isRead);
        QList<int> words;
        if (last != entries.rend()) words << last->bytes[2];
        if (mayMove && next != entries.end()) words << next->bytes[2];
        const QByteArray line(reinterpret_cast<const char*>(entries[i].bytes.data()),
                              qsizetype(entries[i].bytes.size()));
        QList<qsizetype> starts{0};
        for (qsizetype cr = line.indexOf('\r'); cr >= 0; cr = line.indexOf('\r', cr + 1))
            starts << cr + 1;
        for (qsizetype from : starts) {
            for (qsizetype end = line.indexOf('\r', from); end >= 0;
                 end = line.indexOf('\r', end + 1)) {
                const QByteArray reply = line.mid(from, end - from + 1);
                for (int word : words)
                    texts[word] << (reply.size() < 6
                                        ? QString()
                                        : QString::fromLatin1(reply.mid(4).chopped(1)));
            }
        }
    }
    return texts;
}
} // namespace

class FaultsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("RX_COM_DIR"), "run through CTest");
        log = std::make_unique<rxsim::FrameLog>(qEnvironmentVariable("RX_SIM_LOG").toStdString());
    }

    void repliesUnderFaults_data() {
        QTest::addColumn<QString>("evidence"); // a FAULT kind the log shows, or silent, or late
        QTest::addColumn<bool>("mayMove");
        QTest::newRow("silent") << "silent" << false;
        QTest::newRow("corrupt") << "corrupt" << false;
        QTest::newRow("split") << "split" << false;
        QTest::newRow("wrongtag") << "wrongtag" << false;
        QTest::newRow("late") << "late" << true;
        QTest::newRow("noise") << "noise" << true;
    }
    void repliesUnderFaults() {
        QFETCH(QString, evidence);
        QFETCH(bool, mayMove);
        log->mark();
        Form1 window;
        const auto reads = [this] {
            const auto entries = log->entries();
            return std::count_if(entries.begin(), entries.end(), isRead);
        };
        window.findChild<QPushButton*>("Button364")->click();
        QTRY_VERIFY_WITH_TIMEOUT(reads() >= kReads, kWait);
        window.findChild<QTimer*>("Timer2")->stop();
        window.box(22)->setText(QStringLiteral("-2"));
        window.box(240)->setText(QStringLiteral("300"));
        window.findChild<QPushButton*>("Write22")->click();
        window.findChild<QPushButton*>("Write240")->click();
        const QStringList writes{"57 4D 16 FF FE 0D", "57 45 02 FF FE 0D", "57 4D F0 01 2C 0D"};
        // The last write's close ends the line: nothing reaches the editor after it.
        QTRY_VERIFY_WITH_TIMEOUT(!window.busy() && !window.comPort()->Connected() &&
                                     log->entries().back().kind == "CLOSE" &&
                                     rxHex().mid(rxHex().size() - 3) == writes,
                                 kWait);
        QVERIFY(errorBoxes().isEmpty());

        // Reads of M100 onward, one per tick, then the writes; nothing else and nothing altered.
        QStringList expected;
        for (qsizetype i = 0; i < rxHex().size() - 3; ++i)
            expected << QString::fromStdString(
                rxsim::toHex({0x52, 0x4D, std::uint8_t(100 + i), 0x0D}));
        QCOMPARE(rxHex(), expected + writes);

        const auto entries = log->entries();
        const auto has = [&entries](auto pred) {
            return std::any_of(entries.begin(), entries.end(), pred);
        };
        const bool replied = has([](const rxsim::LogEntry& e) { return e.kind == "TX"; });
        QCOMPARE(replied, evidence != "silent");
        if (evidence == "late") {
            // A reply came only after the editor had sent the next read.
            const auto first = std::find_if(entries.begin(), entries.end(), isRead);
            QVERIFY(std::find_if(first + 1, entries.end(), isRead) <
                    std::find_if(entries.begin(), entries.end(),
                                 [](const rxsim::LogEntry& e) { return e.kind == "TX"; }));
        } else if (evidence != "silent") {
            QVERIFY(has([&evidence](const rxsim::LogEntry& e) {
                return e.kind == "FAULT" && e.detail == evidence.toStdString();
            }));
        }

        const auto texts = possibleTexts(entries, mayMove);
        int changed = 0;
        for (int w = 100; w <= 139; ++w) {
            const QString shown = window.box(w)->text();
            if (shown == QStringLiteral("0")) continue;
            ++changed;
            QVERIFY2(texts.value(w).contains(shown),
                     qPrintable(QStringLiteral("M%1 shows \"%2\"").arg(w).arg(shown)));
        }
        QCOMPARE(changed > 0, replied);
    }

  private:
    QStringList rxHex() const {
        QStringList frames;
        for (const auto& frame : log->rxFrames())
            frames << QString::fromStdString(rxsim::toHex(frame));
        return frames;
    }

    std::unique_ptr<rxsim::FrameLog> log;
};

QTEST_MAIN(FaultsTest)
#include "tst_memedit_faults.moc"
