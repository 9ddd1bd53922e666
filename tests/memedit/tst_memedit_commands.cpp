// Word reads and writes on the line, the reply parser and port errors, against a
// pseudo-terminal that plays the controller.
#include "editortest.h"
#include "mainwindow.h"
#include "ptypeer.h"
#include "serialport.h"
#include "shard.h"
#include "tracelog.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using memedit::Form1;

namespace {
constexpr int kWait = 10000;

QByteArray readFrame(int word) {
    return QByteArray("RM") + char(word) + '\r';
}
QByteArray writeFrame(const char* command, int word, int value) {
    return QByteArray(command) + char(word) + char((value >> 8) & 0xFF) + char(value & 0xFF) + '\r';
}
} // namespace

class CommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        if (!inThisShard()) QSKIP("runs in another shard");
        line = std::make_unique<PtyPeer>();
        QVERIFY(line->ok() && line->publish(QStringLiteral("COM1")));
        qputenv("RX_COM_DIR", line->comDir().toLocal8Bit());
        window = std::make_unique<Form1>();
    }
    void cleanup() {
        closeErrorBoxes();
        window.reset();
        line.reset();
    }

    void readFrames_data() {
        QTest::addColumn<int>("word");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("M21") << 21 << QByteArray("52 4D 15 0D");
        QTest::newRow("E16 reads M36") << 36 << QByteArray("52 4D 24 0D");
        QTest::newRow("M59") << 59 << QByteArray("52 4D 3B 0D");
        QTest::newRow("M100") << 100 << QByteArray("52 4D 64 0D");
        QTest::newRow("M218") << 218 << QByteArray("52 4D DA 0D");
        QTest::newRow("M219") << 219 << QByteArray("52 4D DB 0D");
        QTest::newRow("M240") << 240 << QByteArray("52 4D F0 0D");
    }
    void readFrames() {
        QFETCH(int, word);
        QFETCH(QByteArray, frame);
        QVERIFY(!window->comPort()->Connected());
        click(QStringLiteral("Read%1").arg(word));
        QTRY_COMPARE_WITH_TIMEOUT(hex(line->received), frame, kWait);
        // A read leaves the port open for the reply.
        QVERIFY(window->comPort()->Connected());
    }

    void replies_data() {
        QTest::addColumn<int>("word");
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("shown");
        QTest::newRow("M21 value") << 21 << QList<QByteArray>{"M211234\r"} << "1234";
        QTest::newRow("M100 value") << 100 << QList<QByteArray>{"M1005\r"} << "5";
        QTest::newRow("M150 lands in Edit83") << 150 << QList<QByteArray>{"M15065535\r"} << "65535";
        QTest::newRow("E16 row") << 36 << QList<QByteArray>{"M36777\r"} << "777";
        QTest::newRow("short reply empties") << 100 << QList<QByteArray>{"M100\r"} << "";
        QTest::newRow("value not checked") << 22 << QList<QByteArray>{"M22abc\r"} << "abc";
        QTest::newRow("another word's line, then its own")
            << 22 << QList<QByteArray>{"M21111\rM22", "222\r"} << "222";
        QTest::newRow("in pieces") << 21 << QList<QByteArray>{"M2", "1", "12", "34\r"} << "1234";
    }
    void replies() {
        QFETCH(int, word);
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QString, shown);
        QLineEdit* box = window->box(word);
        box->setText(QStringLiteral("old"));
        QSignalSpy changes(box, &QLineEdit::textChanged);
        click(QStringLiteral("Read%1").arg(word));
        QTRY_COMPARE_WITH_TIMEOUT(line->received, readFrame(word), kWait);
        QByteArray collected;
        for (const QByteArray& piece : pieces.mid(0, pieces.size() - 1)) {
            // Each piece is taken in before the next is sent; the box waits for the CR.
            line->send(piece);
            collected += piece;
            QTRY_COMPARE_WITH_TIMEOUT(window->replyBuffer(), collected, kWait);
            QCOMPARE(box->text(), QStringLiteral("old"));
        }
        line->send(pieces.last());
        QTRY_COMPARE_WITH_TIMEOUT(box->text(), shown, kWait);
        QCOMPARE(changes.size(), 1);
    }

    void traceHoldsFramesAndReplies() {
        const QString file = line->comDir() + "/trace.log";
        QVERIFY(rxport::trace().open(file));
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(line->received, readFrame(21), kWait);
        line->send("M2");
        line->send("1123\r");
        QTRY_COMPARE_WITH_TIMEOUT(window->box(21)->text(), QStringLiteral("123"), kWait);
        window->comPort()->Close();
        QVERIFY(rxport::trace().open("/dev/null"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QStringList kinds;
        for (const QByteArray& l : f.readAll().split('\n')) {
            const QList<QByteArray> words = l.split(' ');
            if (words.size() > 1) kinds << QString::fromLatin1(l.mid(l.indexOf(' ') + 1));
        }
        QCOMPARE(kinds.size(), 4);
        QVERIFY(kinds[0].startsWith("OPEN "));
        QCOMPARE(kinds.mid(1), QStringList({"TX 52 4D 15 0D", "RX 4D 32 31 31 32 33 0D", "CLOSE"}));
    }

    void replyWithTrailingLineFeedChangesNothing() {
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(line->received, readFrame(21), kWait);
        line->send("M21123\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(window->replyBuffer(), QByteArray("M21123\r\n"), kWait);
        QVERIFY(!window->busy());
        QCOMPARE(window->box(21)->text(), QStringLiteral("0"));
    }

    void linesOfNoReadFillNoBox_data() {
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("late reply of the word before") << QByteArray("M21111\r");
        QTest::newRow("just CR") << QByteArray("\r");
        QTest::newRow("other tag") << QByteArray("E22111\r");
        QTest::newRow("noise") << QByteArray("X99abc\r");
    }
    void linesOfNoReadFillNoBox() {
        QFETCH(QByteArray, sent);
        click("Read21");
        click("Read22");
        QTRY_COMPARE_WITH_TIMEOUT(line->received, readFrame(21) + readFrame(22), kWait);
        const QString file = line->comDir() + "/trace.log";
        QVERIFY(rxport::trace().open(file));
        const auto traced = [&file] {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        line->send(sent);
        // The line is taken in without touching a box, and the editor goes on listening with no
        // pause: the word's own line, in a later delivery, still fills its box.
        QTRY_VERIFY_WITH_TIMEOUT(traced().contains(" DROP "), kWait);
        QVERIFY(!window->busy());
        QCOMPARE(window->box(21)->text(), QStringLiteral("0"));
        QCOMPARE(window->box(22)->text(), QStringLiteral("0"));
        line->send("M22777\r");
        QTRY_COMPARE_WITH_TIMEOUT(window->box(22)->text(), QStringLiteral("777"), kWait);
        QVERIFY(rxport::trace().open("/dev/null"));
        QCOMPARE(window->box(21)->text(), QStringLiteral("0"));
    }

    void clickDuringReplyPauseRunsAfterIt() {
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(line->received, readFrame(21), kWait);
        const qint64 replied = line->now();
        line->send("M2142\r");
        QTRY_COMPARE_WITH_TIMEOUT(window->box(21)->text(), QStringLiteral("42"), kWait);
        QVERIFY(window->busy());
        click("Read23");
        QCOMPARE(line->received, readFrame(21)); // waits for the pause to end
        QTRY_COMPARE_WITH_TIMEOUT(line->received, readFrame(21) + readFrame(23), kWait);
        QVERIFY2(line->timeOf(4) - replied >= 450, "the read went out during the pause");
    }

    void writes_data() {
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("memoryFrame");
        QTest::addColumn<QByteArray>("eepromFrame");
        QTest::addColumn<int>("gap");
        QTest::newRow("M21") << 21 << "1000" << writeFrame("WM", 0x15, 1000) << QByteArray() << 0;
        QTest::newRow("M22 also E2")
            << 22 << "1000" << writeFrame("WM", 0x16, 1000) << writeFrame("WE", 0x02, 1000) << 50;
        QTest::newRow("E16 writes M36 and E16")
            << 36 << "1000" << writeFrame("WM", 0x24, 1000) << writeFrame("WE", 0x10, 1000) << 100;
        QTest::newRow("E39") << 59 << "7" << writeFrame("WM", 0x3B, 7) << writeFrame("WE", 39, 7)
                             << 100;
        QTest::newRow("M35 memory only")
            << 35 << "1" << writeFrame("WM", 35, 1) << QByteArray() << 0;
        QTest::newRow("M240") << 240 << "300" << QByteArray("WM\xF0\x01\x2C\r") << QByteArray()
                              << 0;
        QTest::newRow("M100 -1") << 100 << "-1" << QByteArray("WM\x64\xFF\xFF\r") << QByteArray()
                                 << 0;
        QTest::newRow("65536 low bits")
            << 139 << "65536" << QByteArray("WM\x8B\x00\x00\r", 6) << QByteArray() << 0;
        QTest::newRow("leading blanks")
            << 21 << "  12" << writeFrame("WM", 21, 12) << QByteArray() << 0;
        QTest::newRow("int32 max")
            << 21 << "2147483647" << writeFrame("WM", 21, 0xFFFF) << QByteArray() << 0;
    }
    void writes() {
        QFETCH(int, word);
        QFETCH(QString, text);
        QFETCH(QByteArray, memoryFrame);
        QFETCH(QByteArray, eepromFrame);
        QFETCH(int, gap);
        window->box(word)->setText(text);
        click(QStringLiteral("Write%1").arg(word));
        QTRY_COMPARE_WITH_TIMEOUT(hex(line->received), hex(memoryFrame + eepromFrame), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!window->comPort()->Connected(), kWait);
        if (gap > 0) {
            const qint64 measured = line->timeOf(6) - line->timeOf(5);
            QVERIFY2(measured >= gap - 5, qPrintable(QString::number(measured)));
        }
        QVERIFY(errorBoxes().isEmpty());
    }

    void badBoxText_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("beyond 32 bits") << "2147483648";
        QTest::newRow("trailing blank") << "12 ";
        QTest::newRow("hex") << "$10";
        QTest::newRow("sign only") << "-";
    }
    void badBoxText() {
        QFETCH(QString, text);
        window->box(21)->setText(text);
        click("Write21");
        QTRY_COMPARE_WITH_TIMEOUT(
            errorBoxText(), QStringLiteral("'%1' is not a valid integer value").arg(text), kWait);
        QCOMPARE(errorBoxes().size(), 1);
        // Not one byte: half a frame would make the controller take the next frame as its data.
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), kWait);
        QCOMPARE(hex(line->received), QByteArray());
        QVERIFY(!window->comPort()->Connected());
    }

    void blockWrite() {
        for (int w = 21; w <= 35; ++w)
            window->box(w)->setText(QString::number(w * 10));
        click("Button80");
        QByteArray expected;
        QList<qsizetype> lastFrameOfWord; // where each word's last frame starts
        for (int w = 21; w <= 35; ++w) {
            lastFrameOfWord << expected.size();
            expected += writeFrame("WM", w, w * 10);
            if (w == 22) {
                lastFrameOfWord.back() = expected.size();
                expected += writeFrame("WE", 2, 220);
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(hex(line->received), hex(expected), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), kWait);
        QVERIFY(!window->comPort()->Connected());
        QVERIFY(errorBoxes().isEmpty());
        // Each word ends with 100 ms before its close, and 100 ms pass before the next word.
        for (int i = 1; i < lastFrameOfWord.size(); ++i) {
            const qsizetype nextWord = lastFrameOfWord[i] - (i == 1 ? 6 : 0);
            const qint64 gap = line->timeOf(nextWord) - line->timeOf(lastFrameOfWord[i - 1]);
            QVERIFY2(gap >= 195,
                     qPrintable(QStringLiteral("%1 ms before word %2").arg(gap).arg(21 + i)));
        }
    }

    void blockWriteStopsAtBadBox() {
        for (int w = 21; w <= 35; ++w)
            window->box(w)->setText(QStringLiteral("1"));
        window->box(25)->setText(QStringLiteral("abc"));
        click("Button80");
        QTRY_COMPARE_WITH_TIMEOUT(errorBoxText(),
                                  QStringLiteral("'abc' is not a valid integer value"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), kWait);
        const QByteArray expected = writeFrame("WM", 21, 1) + writeFrame("WM", 22, 1) +
                                    writeFrame("WE", 2, 1) + writeFrame("WM", 23, 1) +
                                    writeFrame("WM", 24, 1);
        QCOMPARE(hex(line->received), hex(expected));
        QCOMPARE(errorBoxes().size(), 1);
    }

    void missingPort_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("read") << "Read21";
        QTest::newRow("write") << "Write21";
        QTest::newRow("block write") << "Button80";
    }
    void missingPort() {
        QFETCH(QString, button);
        click("Read100");
        QTRY_COMPARE_WITH_TIMEOUT(line->received, readFrame(100), kWait);
        window->comPort()->Close();
        memedit::PortSettings settings = window->comPort()->settings();
        settings.port = line->comDir() + QStringLiteral("/COM9");
        window->comPort()->applySettings(settings);
        QVERIFY(!window->comPort()->Connected());
        click(button);
        QTRY_COMPARE_WITH_TIMEOUT(
            errorBoxText(), QStringLiteral("Unable to open com port (win error code: 2)"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), kWait);
        QCOMPARE(errorBoxes().size(), 1);
        QCOMPARE(line->received, readFrame(100));
        QCOMPARE(window->pendingWord(), 100); // a failed read keeps the pending word
    }

    // A frame held back (a slow line, a flow control) is not thrown away by the close that
    // follows the write: the close waits for it, and says so when it never leaves.
    void heldFrameLeavesBeforeTheClose_data() {
        QTest::addColumn<bool>("released");
        QTest::newRow("released after a while") << true;
        QTest::newRow("never released") << false;
    }
    void heldFrameLeavesBeforeTheClose() {
        QFETCH(bool, released);
        line->holdOutput(true);
        window->box(22)->setText("1000");
        QSignalSpy arrived(line.get(), &PtyPeer::bytesReceived);
        click("Write22");
        // Nothing reaches the controller until well past the write's pauses (about 150 ms), and
        // the port is still open then: the close waits for the held frame.
        QVERIFY(!arrived.wait(400));
        QVERIFY(line->received.isEmpty());
        QVERIFY(window->comPort()->Connected());
        if (released) {
            line->holdOutput(false);
            QTRY_COMPARE_WITH_TIMEOUT(hex(line->received),
                                      hex(writeFrame("WM", 22, 1000) + writeFrame("WE", 2, 1000)),
                                      kWait);
            QTRY_VERIFY_WITH_TIMEOUT(!window->comPort()->Connected(), kWait);
            QVERIFY(errorBoxes().isEmpty());
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(
                errorBoxText(),
                QStringLiteral("WriteFile function failed (win error code: %1)").arg(ETIMEDOUT),
                kWait);
            QVERIFY(!window->comPort()->Connected());
            QVERIFY(line->received.isEmpty());
        }
    }

    void portInUseElsewhere() {
        memedit::SerialPort other;
        other.Open();
        click("Read21");
        // The device's exclusive mode refuses the open (EBUSY); root passes it and meets the
        // lock (EWOULDBLOCK).
        QTRY_VERIFY_WITH_TIMEOUT(!errorBoxes().isEmpty(), kWait);
        const QString code = errorBoxText().section(QLatin1String("code: "), 1).chopped(1);
        QVERIFY2(code == QString::number(EBUSY) || code == QString::number(EWOULDBLOCK),
                 qPrintable(errorBoxText()));
        QVERIFY(errorBoxText().startsWith(QLatin1String("Unable to open com port")));
        QVERIFY(line->received.isEmpty());
        other.Close();
        closeErrorBoxes();
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(line->received, readFrame(21), kWait);
    }

    void deviceGoneClosesThePort() {
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(line->received, readFrame(21), kWait);
        line->hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(!window->comPort()->Connected(), kWait);
        QCOMPARE(errorBoxText(), QStringLiteral("ReadFile function failed (win error code: 5)"));
        QCOMPARE(errorBoxes().size(), 1);
    }

    // One loss of the controller, one box: the command under way fails, then the port's watch
    // sees the hang-up, then the sweep's next read; only a new click is reported again.
    void deviceLostShowsOneBox_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("sentBeforeLoss"); // bytes the controller takes before it goes
        QTest::newRow("sweep") << "Button364" << 2 * 4;
        QTest::newRow("block write") << "Button80" << 2 * 6;
    }
    void deviceLostShowsOneBox() {
        QFETCH(QString, button);
        QFETCH(int, sentBeforeLoss);
        click(button);
        QTRY_VERIFY_WITH_TIMEOUT(line->received.size() >= sentBeforeLoss, kWait);
        line->hangUp();
        auto* sweep = window->findChild<QTimer*>("Timer2");
        QTRY_VERIFY_WITH_TIMEOUT(
            !window->busy() && !window->comPort()->Connected() && !sweep->isActive(), kWait);
        QCOMPARE(errorBoxes().size(), 1);
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(errorBoxes().size(), 2, kWait);
    }

    // Closing the window drops reads at once; a write clicked before it goes out to its last
    // frame first, and a failure on the way is still shown before the program ends.
    void closeWhileBusy_data() {
        QTest::addColumn<QString>("button");         // clicked before the close (none: idle)
        QTest::addColumn<QByteArray>("beforeClose"); // what the controller has at the close
        QTest::addColumn<QByteArray>("sent");        // what it has in the end
        QTest::addColumn<QString>("error");          // the box the end waits for
        const QByteArray wm21 = writeFrame("WM", 21, 1);
        const QByteArray m22 = writeFrame("WM", 22, 1) + writeFrame("WE", 2, 1);
        QTest::newRow("idle") << QString() << QByteArray() << QByteArray() << QString();
        QTest::newRow("sweep") << "Button364" << readFrame(100) << readFrame(100) << QString();
        QTest::newRow("write") << "Write22" << writeFrame("WM", 22, 1) << m22 << QString();
        QTest::newRow("block write failing on the way")
            << "Button80" << wm21 << wm21 + m22 << "'abc' is not a valid integer value";
    }
    void closeWhileBusy() {
        QFETCH(QString, button);
        QFETCH(QByteArray, beforeClose);
        QFETCH(QByteArray, sent);
        QFETCH(QString, error);
        for (int w = 21; w <= 35; ++w)
            window->box(w)->setText(QStringLiteral("1"));
        window->box(23)->setText(QStringLiteral("abc"));
        line->answerReads(0, [](int word) { return word; }); // a sweep is in a reply's pause
        window->show();
        QSignalSpy ended(window.get(), &Form1::finished);
        QSignalSpy arrived(line.get(), &PtyPeer::bytesReceived);
        if (!button.isEmpty()) click(button);
        // Close as soon as the frame is in: the write is then in its pause.
        while (line->received.size() < beforeClose.size())
            QVERIFY(arrived.wait(kWait));
        QCOMPARE(line->received, beforeClose);
        window->close();
        QVERIFY(!window->isVisible());
        QCOMPARE(ended.size(), sent == beforeClose && error.isEmpty() ? 1 : 0);
        for (QTimer* timer : window->findChildren<QTimer*>(QRegularExpression("^Timer[1-5]$")))
            QVERIFY(!timer->isActive());
        if (!error.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(errorBoxText(), error, kWait);
            QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), kWait);
            QCOMPARE(ended.size(), 0);
            closeErrorBoxes();
        }
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(hex(line->received), hex(sent), kWait);
    }

  private:
    void click(const QString& name) {
        auto* button = window->findChild<QPushButton*>(name);
        QVERIFY2(button, qPrintable(name));
        button->click();
    }

    std::unique_ptr<PtyPeer> line;
    std::unique_ptr<Form1> window;
};

QTEST_MAIN(CommandsTest)
#include "tst_memedit_commands.moc"
