// The editor against a controller that misbehaves, through the real serial path: one simulator
// per fault setting (see CMakeLists.txt), each checked by the row of the same name. A page sweep
// runs for a few reads, then two writes close the port. What must hold: no crash, no freeze,
// no error box, every box keeps its text or shows what the reply rule cuts out of a line the
// controller sent that names its word, and the writes go out byte for byte.
#include "editortest.h"
#include "framelog.h"
#include "mainwindow.h"
#include "serialport.h"
#include "tracelog.h"

#include <QFile>
#include <QTemporaryDir>

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

// The texts the reply rule can put into the box of each word of page 2: the text after "M" and
// the word's own three digits, up to the CR, of a line the controller sent. A stray CR ends a
// line early, or stays inside one whose bytes came together; a line never fills another word's
// box.
QHash<int, QSet<QString>> possibleTexts(const std::vector<rxsim::LogEntry>& entries) {
    QHash<int, QSet<QString>> texts;
    for (const auto& entry : entries) {
        if (entry.kind != "TX") continue;
        const QByteArray sent(reinterpret_cast<const char*>(entry.bytes.data()),
                              qsizetype(entry.bytes.size()));
        QList<qsizetype> starts{0};
        for (qsizetype cr = sent.indexOf('\r'); cr >= 0; cr = sent.indexOf('\r', cr + 1))
            starts << cr + 1;
        for (qsizetype from : starts) {
            for (qsizetype end = sent.indexOf('\r', from); end >= 0;
                 end = sent.indexOf('\r', end + 1)) {
                const QByteArray line = sent.mid(from, end - from + 1);
                bool number = false;
                const int word = line.mid(1, 3).toInt(&number);
                if (line.size() >= 5 && line[0] == 'M' && number && line[1] != '+' &&
                    line[1] != '-' && line[1] != ' ')
                    texts[word] << QString::fromLatin1(line.mid(4).chopped(1));
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
        QTest::addColumn<bool>("lands");       // some reply fills a box
        QTest::newRow("silent") << "silent" << false;
        QTest::newRow("corrupt") << "corrupt" << true;
        QTest::newRow("split") << "split" << true;
        QTest::newRow("wrongtag") << "wrongtag" << false;
        QTest::newRow("late") << "late" << false; // each comes after the next read went out
        QTest::newRow("noise") << "noise" << true;
    }
    void repliesUnderFaults() {
        QFETCH(QString, evidence);
        QFETCH(bool, lands);
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

        const auto texts = possibleTexts(entries);
        int changed = 0;
        for (int w = 100; w <= 139; ++w) {
            const QString shown = window.box(w)->text();
            if (shown == QStringLiteral("0")) continue;
            ++changed;
            QVERIFY2(texts.value(w).contains(shown),
                     qPrintable(QStringLiteral("M%1 shows \"%2\"").arg(w).arg(shown)));
        }
        QCOMPARE(changed > 0, lands);
    }

    // M150 answers after the read of M151 went out, and M151 never answers: M150's value must
    // not stand in M151's box, or the next write of M151 would store it.
    void lateReplyIsNotWrittenBack() {
        QTemporaryDir dir;
        const QString tracePath = dir.filePath(QStringLiteral("trace"));
        QVERIFY(rxport::trace().open(tracePath));
        log->mark();
        Form1 window;
        window.box(151)->setText(QStringLiteral("7"));
        window.findChild<QPushButton*>("Read150")->click();
        window.findChild<QPushButton*>("Read151")->click();
        const auto traced = [&tracePath] {
            QFile file(tracePath);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(traced().contains(" DROP 4D 31 35 30"), kWait);
        QCOMPARE(window.box(151)->text(), QStringLiteral("7"));
        window.findChild<QPushButton*>("Write151")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window.busy() && !window.comPort()->Connected(), kWait);
        QCOMPARE(rxHex(), QStringList({"52 4D 96 0D", "52 4D 97 0D", "57 4D 97 00 07 0D"}));
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
