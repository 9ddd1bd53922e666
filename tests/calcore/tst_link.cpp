// The serial link against a pseudo-terminal the test answers on: frames on the line, the cut
// of replies that come late, in pieces or not at all, and one frame at a time.
#include "link.h"

#include "framelog.h"
#include "ptypeer.h"
#include "tracelog.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>
#include <optional>

using namespace rxline;

namespace {
QByteArray bs(std::initializer_list<char> list) {
    return QByteArray(list.begin(), qsizetype(list.size()));
}

// A callback's result, held where a callback that runs after a failed wait can still write.
template <typename T> using Later = std::shared_ptr<std::optional<T>>;
template <typename T> Later<T> later() {
    return std::make_shared<std::optional<T>>();
}

// The serial link, with the pauses asked of its queue written down.
class WatchedLink : public Link {
  public:
    void Wait(int ms) override {
        pauses << ms;
        Link::Wait(ms);
    }
    QList<int> pauses;
};
} // namespace

class TestLink : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void replies_data();
    void replies();
    void staleReplyIsDropped();
    void noReplyTimesOut();
    void oneFrameAtATime();
    void memoryWritePausesEepromWriteDoesNot();
    void writeFramesOnTheLine();
    void vanishedDeviceClosesThePort();
    void missingPortReportsTheReason();
    void portLockedElsewhereIsRefused();
    void callbacksNeverRunInsideTheCall();
    void urgentWorkGoesAheadOfTheQueue();
    void shutdownSendsQueuedFramesAndDropsReads();
    void traceHoldsFramesAndReplies();

  private:
    bool openLink();
    std::optional<std::string> readAndWait(Space space, quint8 word);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<PtyPeer> peer_;
    std::unique_ptr<WatchedLink> link_;
};

void TestLink::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    qputenv("RX_COM_DIR", dir_->path().toLocal8Bit());
    peer_ = std::make_unique<PtyPeer>();
    QVERIFY(peer_->ok());
    QVERIFY(peer_->linkAs(dir_->filePath("COM1")));
    link_ = std::make_unique<WatchedLink>();
    QVERIFY(openLink());
}

void TestLink::cleanup() {
    link_.reset();
    peer_.reset();
    dir_.reset();
}

bool TestLink::openLink() {
    auto opened = later<bool>();
    link_->open("COM1", [opened](bool ok, const QString& error) {
        *opened = ok;
        if (!ok) qWarning() << error;
    });
    return QTest::qWaitFor([&] { return opened->has_value(); }, 5000) && **opened;
}

std::optional<std::string> TestLink::readAndWait(Space space, quint8 word) {
    auto value = later<std::string>();
    link_->readWord(space, word, [value](const std::string& v) { *value = v; });
    (void)QTest::qWaitFor([&] { return value->has_value(); }, 5000);
    return *value;
}

void TestLink::replies_data() {
    QTest::addColumn<bool>("eeprom");
    QTest::addColumn<int>("word");
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("E9 from position 3")
        << true << 9 << QList<QByteArray>{"E9123\r"} << QByteArray("123\r");
    QTest::newRow("E10 from position 4")
        << true << 10 << QList<QByteArray>{"E10123\r"} << QByteArray("123\r");
    QTest::newRow("five digits") << true << 70 << QList<QByteArray>{"E7012345\r"}
                                 << QByteArray("12345");
    QTest::newRow("three digits and CR")
        << true << 70 << QList<QByteArray>{"E70123\r"} << QByteArray("123\r");
    QTest::newRow("in pieces") << true << 70 << QList<QByteArray>{"E", "70", "12", "345\r"}
                               << QByteArray("12345");
    QTest::newRow("another tag letter")
        << true << 70 << QList<QByteArray>{"M7012345\r"} << QByteArray();
    QTest::newRow("memory word") << false << 15 << QList<QByteArray>{"M15", "42\r"}
                                 << QByteArray("42\r");
    QTest::newRow("text after the CR is dropped")
        << false << 15 << QList<QByteArray>{"M1542\rM16"} << QByteArray("42\r");
    QTest::newRow("another word's line is passed over")
        << true << 74 << QList<QByteArray>{"E281\r", "E740\r"} << QByteArray("0\r");
    QTest::newRow("noise line, then its own in one piece")
        << true << 74 << QList<QByteArray>{"x\rE7401\r"} << QByteArray("01\r");
    QTest::newRow("only another word answers")
        << true << 74 << QList<QByteArray>{"E281\r"} << QByteArray();
}

void TestLink::replies() {
    QFETCH(bool, eeprom);
    QFETCH(int, word);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QByteArray, value);
    const Space space = eeprom ? Space::Eeprom : Space::Memory;
    // Answer each frame piece by piece, one piece per event-loop turn of 20 ms.
    auto remaining = pieces;
    QTimer pacer;
    pacer.setInterval(20);
    connect(&pacer, &QTimer::timeout, &pacer, [&] {
        if (remaining.isEmpty()) return pacer.stop();
        peer_->send(remaining.takeFirst());
    });
    connect(peer_.get(), &PtyPeer::bytesReceived, &pacer, [&] {
        if (peer_->received.size() == 4 && !pacer.isActive()) pacer.start();
    });
    const auto got = readAndWait(space, quint8(word));
    QVERIFY(got.has_value());
    QCOMPARE(peer_->received.toHex(' '),
             bs({'R', eeprom ? 'E' : 'M', char(word), '\r'}).toHex(' '));
    QCOMPARE(QByteArray::fromStdString(*got), value);
}

void TestLink::staleReplyIsDropped() {
    // The reply to a read that timed out arrives late and waits in the receive buffer.
    auto first = readAndWait(Space::Eeprom, 70);
    QVERIFY(first.has_value());
    QCOMPARE(*first, std::string());
    peer_->send("E7000777\r");
    link_->Wait(30); // let it land in the port's buffer
    connect(peer_.get(), &PtyPeer::bytesReceived, peer_.get(), [this] {
        if (peer_->received.endsWith(QByteArray("RE\x47\r"))) peer_->send("E71123\r");
    });
    auto second = readAndWait(Space::Eeprom, 71);
    QVERIFY(second.has_value());
    QCOMPARE(*second, std::string("123\r"));
}

void TestLink::noReplyTimesOut() {
    QElapsedTimer clock;
    clock.start();
    const auto got = readAndWait(Space::Memory, 13);
    QVERIFY(got.has_value());
    QCOMPARE(*got, std::string());
    QVERIFY2(clock.elapsed() >= ReplyTimeoutMs - 20, qPrintable(QString::number(clock.elapsed())));
}

void TestLink::oneFrameAtATime() {
    // Two reads asked for at once: the second frame waits for the first reply.
    QObject context; // the test's connections end with it
    QByteArray seenWhenAnswering;
    connect(peer_.get(), &PtyPeer::bytesReceived, &context, [&] {
        if (peer_->received.size() != 4 || !seenWhenAnswering.isEmpty()) return;
        QTimer::singleShot(150, &context, [&] {
            seenWhenAnswering = peer_->received;
            peer_->send("M1311\r");
        });
    });
    auto a = later<std::string>(), b = later<std::string>();
    link_->readWord(Space::Memory, 13, [a](const std::string& v) { *a = v; });
    link_->readWord(Space::Memory, 14, [b](const std::string& v) { *b = v; });
    QVERIFY(link_->busy());
    QTRY_VERIFY_WITH_TIMEOUT(a->has_value() && peer_->received.size() == 8, 5000);
    QCOMPARE(seenWhenAnswering.toHex(' '), QByteArray("RM\x0d\r").toHex(' '));
    QCOMPARE(**a, std::string("11\r"));
    peer_->send("M1422\r");
    QTRY_VERIFY_WITH_TIMEOUT(b->has_value(), 5000);
    QCOMPARE(**b, std::string("22\r"));
    QCOMPARE(peer_->received.toHex(' '), QByteArray("RM\x0d\rRM\x0e\r").toHex(' '));
}

void TestLink::memoryWritePausesEepromWriteDoesNot() {
    const QString file = dir_->filePath("trace.log");
    QVERIFY(rxport::trace().open(file));
    link_->WriteMemoryWord(36, 0x01, 0x2C);
    link_->send("X");
    link_->WriteEepromWord(80, 0x00, 0x05);
    link_->send("Y");
    QTRY_COMPARE_WITH_TIMEOUT(peer_->received.size(), 14, 30000);
    QVERIFY(rxport::trace().open("/dev/null"));
    QCOMPARE(peer_->received.toHex(' '),
             QByteArray::fromHex("574d24012c0d 58 57455000050d 59").toHex(' '));
    // Only the memory write asks for the settle pause, and the next frame waits it out.
    QCOMPARE(link_->pauses, QList<int>{MemoryWriteSettleMs});
    rxsim::FrameLog log(file.toStdString());
    const auto sent = log.entries();
    QCOMPARE(sent.size(), std::size_t(4));
    const double gap = sent[1].t - sent[0].t;
    // The trace's stamps are whole microseconds.
    QVERIFY2(gap >= MemoryWriteSettleMs / 1000.0 - 1e-6, qPrintable(QString::number(gap)));
}

void TestLink::writeFramesOnTheLine() {
    link_->WriteMemoryWord(13, 0x0D, 0x0D);
    link_->WriteEepromWord(255, 0x01, 0x2C);
    link_->WriteEepromWord(0, 0x00, 0x00);
    QTRY_COMPARE_WITH_TIMEOUT(peer_->received.size(), 18, 5000);
    QCOMPARE(peer_->received.toHex(' '),
             QByteArray::fromHex("574d0d0d0d0d 5745ff012c0d 57450000000d").toHex(' '));
}

void TestLink::vanishedDeviceClosesThePort() {
    QSignalSpy lost(link_.get(), &Link::portLost);
    auto value = later<std::string>();
    link_->readWord(Space::Memory, 13, [value](const std::string& v) { *value = v; });
    QTRY_COMPARE_WITH_TIMEOUT(peer_->received.size(), 4, 5000);
    peer_.reset(); // the device goes away in the middle of the read
    QTRY_VERIFY_WITH_TIMEOUT(!link_->isOpen(), 5000);
    QCOMPARE(lost.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(value->has_value(), 5000);
    QCOMPARE(**value, std::string());
    // Reads on the closed port end at once with the empty text.
    const auto after = readAndWait(Space::Memory, 14);
    QVERIFY(after.has_value());
    QCOMPARE(*after, std::string());
}

void TestLink::missingPortReportsTheReason() {
    Link other;
    auto result = later<std::pair<bool, QString>>();
    other.open(dir_->filePath("COM9-does-not-exist"), [result](bool ok, const QString& error) {
        *result = {ok, error};
    });
    QTRY_VERIFY_WITH_TIMEOUT(result->has_value(), 5000);
    QVERIFY(!(*result)->first);
    QVERIFY(!(*result)->second.isEmpty());
    QVERIFY(!other.isOpen());
}

void TestLink::portLockedElsewhereIsRefused() {
    // Another program (the memory editor) holds the device locked: even where the device's
    // exclusive mode lets the open through (root), the tool must not share the port.
    link_->close();
    QTRY_VERIFY_WITH_TIMEOUT(!link_->isOpen(), 5000);
    const int holder = ::open(peer_->slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(holder >= 0);
    QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    auto refused = later<bool>();
    link_->open("COM1",
                [refused](bool ok, const QString& error) { *refused = !ok && !error.isEmpty(); });
    QTRY_VERIFY_WITH_TIMEOUT(refused->has_value(), 5000);
    QVERIFY(**refused);
    QVERIFY(!link_->isOpen());
    ::close(holder);
    QVERIFY(openLink());
}

void TestLink::callbacksNeverRunInsideTheCall() {
    // An idle link starts work from the event loop: a caller's state is never changed under it.
    auto ran = later<bool>();
    link_->then([ran] { *ran = true; });
    QVERIFY(!ran->has_value());
    QVERIFY(link_->busy());
    QTRY_VERIFY_WITH_TIMEOUT(ran->has_value(), 5000);
}

void TestLink::urgentWorkGoesAheadOfTheQueue() {
    // While the read of M13 waits for its reply, urgent reads go out right after that reply,
    // before the queued read of M14.
    link_->readWord(Space::Memory, 13, [](const std::string&) {});
    link_->readWord(Space::Memory, 14, [](const std::string&) {});
    QTRY_COMPARE_WITH_TIMEOUT(peer_->received.size(), 4, 5000);
    link_->ahead([this] {
        link_->readWord(Space::Eeprom, 20, [](const std::string&) {});
        link_->readWord(Space::Eeprom, 21, [](const std::string&) {});
    });
    QObject context;
    connect(peer_.get(), &PtyPeer::bytesReceived, &context, [this] {
        const QByteArray& in = peer_->received;
        peer_->send(QByteArray(1, in.at(in.size() - 3)) +
                    QByteArray::number(quint8(in.at(in.size() - 2))) + "1\r");
    });
    QCOMPARE(peer_->received.size(), 4);
    peer_->send("M131\r");
    QTRY_COMPARE_WITH_TIMEOUT(peer_->received.size(), 16, 5000);
    QCOMPARE(peer_->received.toHex(' '), QByteArray("RM\x0d\rRE\x14\rRE\x15\rRM\x0e\r").toHex(' '));
}

void TestLink::shutdownSendsQueuedFramesAndDropsReads() {
    // The program ends while a step's reads and a write wait in the queue: the write leaves,
    // the reads do not, and the port closes after the write's bytes.
    link_->readWord(Space::Memory, 13, [](const std::string&) {});
    link_->WriteMemoryWord(17, 0x03, 0xE8);
    link_->readWord(Space::Memory, 14, [](const std::string&) {});
    auto called = later<bool>();
    link_->then([called] { *called = true; });
    auto ended = later<bool>();
    link_->shutdown([ended] { *ended = true; });
    link_->readWord(Space::Memory, 15, [](const std::string&) {}); // after the end: never sent
    QTRY_VERIFY_WITH_TIMEOUT(ended->has_value(), 5000);
    QVERIFY(!link_->isOpen());
    QVERIFY(!called->has_value());
    QCOMPARE(peer_->received.toHex(' '), QByteArray::fromHex("574d1103e80d").toHex(' '));
}

void TestLink::traceHoldsFramesAndReplies() {
    const QString file = dir_->filePath("trace.log");
    QVERIFY(rxport::trace().open(file));
    peer_->send("E7012\r");
    QVERIFY(readAndWait(Space::Eeprom, 70).has_value());
    link_->WriteEepromWord(70, 0x01, 0x2C);
    QVERIFY(readAndWait(Space::Eeprom, 71).has_value()); // no answer: a time-out
    QVERIFY(rxport::trace().open("/dev/null"));
    rxsim::FrameLog log(file.toStdString());
    QStringList lines;
    for (const auto& e : log.entries())
        lines << QString::fromStdString(e.kind + " " + rxsim::toHex(e.bytes));
    QCOMPARE(lines, QStringList({"TX 52 45 46 0D", "RX 45 37 30 31 32 0D", "TX 57 45 46 01 2C 0D",
                                 "TX 52 45 47 0D", "TIMEOUT "}));
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
