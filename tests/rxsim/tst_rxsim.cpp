#include "controller.h"
#include "faults.h"
#include "framelog.h"
#include "frameparser.h"
#include "modbus.h"
#include "options.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace rxsim;
using Bytes = std::vector<std::uint8_t>;

Q_DECLARE_METATYPE(Bytes)

namespace {

Bytes bytesOf(const QByteArray& text) {
    return Bytes(text.begin(), text.end());
}
QByteArray fromHex(const char* hex) {
    return QByteArray::fromHex(hex);
}

// "C:52 4D 15 0D|S:41 42|B:00 06 ..." — Command, Stray, Modbus (broadcast) items in order.
QString describe(const std::vector<ParsedItem>& items) {
    QStringList parts;
    for (const auto& item : items) {
        const char* kind = item.kind == ParsedItem::Kind::Command  ? "C"
                           : item.kind == ParsedItem::Kind::Modbus ? "B"
                                                                   : "S";
        parts << QString("%1:%2").arg(kind, QString::fromStdString(toHex(item.bytes)));
    }
    return parts.join('|');
}

struct FakeClock {
    double now = 1000.0;
    Controller::TimeSource source() {
        return [this] { return now; };
    }
};

QByteArray replyTo(Controller& c, const QByteArray& frame) {
    const auto reply = c.handleCommand(bytesOf(frame));
    return reply ? QByteArray(reinterpret_cast<const char*>(reply->data()), int(reply->size()))
                 : QByteArray();
}

} // namespace

class TestRxSim : public QObject {
    Q_OBJECT

  private slots:
    void parserFrames_data();
    void parserFrames();
    void parserJoinsPieces();
    void parserDropsUnfinishedFrame();
    void crc_data();
    void crc();
    void modbusRegister();
    void replies_data();
    void replies();
    void writeThenReadBack();
    void startValues();
    void liveInputsKeepWrittenValue();
    void clockRuns();
    void clockSet_data();
    void clockSet();
    void faults();
    void faultSequenceFollowsSeed();
    void stepSettles();
    void options_data();
    void options();
    void frameLogReader();
    void programServesPort();
    void programAppliesWriteBeforeClose();
    void programDropsReplyOnRequest();
    void programDiscardsUnreadReplyOnClose();

  private:
    struct Sim {
        QTemporaryDir dir;
        QProcess process;
        ~Sim() {
            process.terminate();
            process.waitForFinished(10000);
        }
        QString link() const { return dir.filePath("COM1"); }
        QString log() const { return dir.filePath("frames.log"); }
    };
    std::unique_ptr<Sim> startSim(const QStringList& extra);
    static bool openPort(QSerialPort& port, const QString& path);
    static QByteArray readLine(QSerialPort& port);
};

void TestRxSim::parserFrames_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("read") << fromHex("524D150D") << "C:52 4D 15 0D";
    QTest::newRow("word number is CR") << fromHex("524D0D0D") << "C:52 4D 0D 0D";
    QTest::newRow("word number is R") << fromHex("52455 20D") << "C:52 45 52 0D";
    QTest::newRow("word number is M") << fromHex("524D4D0D") << "C:52 4D 4D 0D";
    QTest::newRow("data bytes are CR and R") << fromHex("574D0D0D520D") << "C:57 4D 0D 0D 52 0D";
    QTest::newRow("write holding a read") << fromHex("5745524D150D") << "C:57 45 52 4D 15 0D";
    QTest::newRow("two frames back to back")
        << fromHex("574D4100030D524D3E0D") << "C:57 4D 41 00 03 0D|C:52 4D 3E 0D";
    QTest::newRow("stray before a frame")
        << fromHex("41420D524D150D") << "S:41 42 0D|C:52 4D 15 0D";
    QTest::newRow("R not followed by M or E") << fromHex("5252450A0D") << "S:52|C:52 45 0A 0D";
    QTest::newRow("write whose last byte is not CR")
        << fromHex("574D150001524D150D") << "S:57 4D 15 00 01|C:52 4D 15 0D";
    QTest::newRow("read whose last byte is not CR")
        << fromHex("524D15524D160D") << "S:52 4D 15|C:52 4D 16 0D";
    QTest::newRow("modbus off") << fromHex("000600950000983 7") << "B:00 06 00 95 00 00 98 37";
    QTest::newRow("modbus on then read")
        << fromHex("00060095000159F7524D150D") << "B:00 06 00 95 00 01 59 F7|C:52 4D 15 0D";
    QTest::newRow("modbus with bad CRC")
        << fromHex("00060095000159F8524D150D") << "S:00 06 00 95 00 01 59 F8|C:52 4D 15 0D";
    QTest::newRow("zero byte not followed by 06")
        << fromHex("0000524D150D") << "S:00 00|C:52 4D 15 0D";
}

void TestRxSim::parserFrames() {
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    FrameParser parser;
    parser.feed(bytesOf(input), 1.0);
    QCOMPARE(describe(parser.take()), expected);
    QVERIFY(!parser.hasPartial());
}

void TestRxSim::parserJoinsPieces() {
    FrameParser parser;
    const QByteArray frames = fromHex("574D0D00520D524D0D0D");
    for (int i = 0; i < frames.size(); ++i) {
        parser.feed(bytesOf(frames.mid(i, 1)), 10.0 + 0.01 * i);
        if (i == 0) QCOMPARE(parser.deadline().value_or(0), 10.0 + FrameParser::kPartialTimeout);
    }
    const auto items = parser.take();
    QCOMPARE(describe(items), QString("C:57 4D 0D 00 52 0D|C:52 4D 0D 0D"));
    // Each frame carries the arrival time of its first byte.
    QCOMPARE(items[0].t, 10.0);
    QCOMPARE(items[1].t, 10.06);
}

void TestRxSim::parserDropsUnfinishedFrame() {
    FrameParser parser;
    parser.feed(bytesOf(fromHex("574D15")), 5.0);
    parser.feed(bytesOf(fromHex("00")), 5.05);
    parser.expire(5.12); // only 70 ms since the last byte
    QVERIFY(parser.take().empty());
    parser.expire(5.16);
    QCOMPARE(describe(parser.take()), QString("S:57 4D 15 00"));
    QVERIFY(!parser.deadline());
    parser.feed(bytesOf(fromHex("524D150D")), 6.0);
    QCOMPARE(describe(parser.take()), QString("C:52 4D 15 0D"));
}

void TestRxSim::crc_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("crc");
    QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("read holding registers") << fromHex("01030000000A") << 0xCDC5;
    QTest::newRow("USB Modbus off") << fromHex("000600950000") << 0x3798;
    QTest::newRow("USB Modbus on") << fromHex("000600950001") << 0xF759;
}

void TestRxSim::crc() {
    QFETCH(QByteArray, data);
    QFETCH(int, crc);
    QCOMPARE(int(crc16Modbus(bytesOf(data))), crc);
}

void TestRxSim::modbusRegister() {
    FakeClock clock;
    Controller c(Model::Rx100, clock.source(), {});
    QCOMPARE(int(c.usbModbus()), 1);
    const Bytes off(kUsbModbusOffFrame.begin(), kUsbModbusOffFrame.end());
    const Bytes on(kUsbModbusOnFrame.begin(), kUsbModbusOnFrame.end());
    QCOMPARE(QString::fromStdString(toHex(off)), QString("00 06 00 95 00 00 98 37"));
    QCOMPARE(QString::fromStdString(toHex(on)), QString("00 06 00 95 00 01 59 F7"));
    QVERIFY(c.handleModbus(off));
    QCOMPARE(int(c.usbModbus()), 0);
    Bytes badCrc = on;
    badCrc[6] ^= 0x01;
    QVERIFY(!c.handleModbus(badCrc));
    QCOMPARE(int(c.usbModbus()), 0);
    QVERIFY(c.handleModbus(on));
    QCOMPARE(int(c.usbModbus()), 1);
}

void TestRxSim::replies_data() {
    QTest::addColumn<bool>("pad");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("M21 1234") << false << fromHex("574D1504D20D") << fromHex("524D150D")
                              << QByteArray("M211234\r");
    QTest::newRow("M21 1234 padded")
        << true << fromHex("574D1504D20D") << fromHex("524D150D") << QByteArray("M2101234\r");
    QTest::newRow("M5 7") << false << fromHex("574D0500070D") << fromHex("524D050D")
                          << QByteArray("M57\r");
    QTest::newRow("M5 7 padded") << true << fromHex("574D0500070D") << fromHex("524D050D")
                                 << QByteArray("M500007\r");
    QTest::newRow("M200 65535 padded")
        << true << fromHex("574DC8FFFF0D") << fromHex("524DC80D") << QByteArray("M20065535\r");
    QTest::newRow("E13 zero") << false << fromHex("57450D00000D") << fromHex("52450D0D")
                              << QByteArray("E130\r");
    QTest::newRow("E82 0x0D0D padded")
        << true << fromHex("5745520D0D0D") << fromHex("5245520D") << QByteArray("E8203341\r");
}

void TestRxSim::replies() {
    QFETCH(bool, pad);
    QFETCH(QByteArray, write);
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, reply);
    FakeClock clock;
    Controller c(Model::Rx200, clock.source(), {});
    c.setPadded(pad);
    QVERIFY(replyTo(c, write).isEmpty()); // writes are not answered
    QCOMPARE(replyTo(c, read), reply);
}

void TestRxSim::stepSettles() {
    FakeClock clock;
    Controller c(Model::Rx200, clock.source(), {});
    replyTo(c, fromHex("574D2403E80D")); // M36 := 1000, a word that does not drift
    c.stepMemory(36, 2000, 10);
    const QByteArray read = fromHex("524D240D");
    QCOMPARE(replyTo(c, read), QByteArray("M361000\r"));
    clock.now += 10;
    QCOMPARE(replyTo(c, read), QByteArray("M361000\r")); // the step begins
    clock.now += 2;
    QCOMPARE(replyTo(c, read), QByteArray("M361632\r")); // 2000 - 1000 / e
    clock.now += 20;
    QCOMPARE(replyTo(c, read), QByteArray("M362000\r"));
    replyTo(c, fromHex("574D2401F40D")); // a write ends the step
    QCOMPARE(replyTo(c, read), QByteArray("M36500\r"));
}

void TestRxSim::writeThenReadBack() {
    FakeClock clock;
    Controller c(Model::Rx200, clock.source(), {});
    // "WE" 0x53 0x03 0xE8: E83 := 1000; M83 is another word and stays as it was.
    const QByteArray m83 = replyTo(c, fromHex("524D530D"));
    replyTo(c, fromHex("574553"
                       "03E8"
                       "0D"));
    QCOMPARE(replyTo(c, fromHex("5245530D")), QByteArray("E831000\r"));
    QCOMPARE(replyTo(c, fromHex("524D530D")), m83);
    replyTo(c, fromHex("574D24012C0D"));
    QCOMPARE(replyTo(c, fromHex("524D240D")), QByteArray("M36300\r"));
}

void TestRxSim::startValues() {
    FakeClock clock;
    Controller rx200(Model::Rx200, clock.source(), {});
    QCOMPARE(int(rx200.eeprom(28)), 1);
    QCOMPARE(int(rx200.eeprom(29)), 1);
    QCOMPARE(int(rx200.eeprom(73)), 380);
    QCOMPARE(int(rx200.eeprom(74)), 0);
    QVERIFY(rx200.memory(15) >= 500 && rx200.memory(15) <= 3000);
    Controller rx100(Model::Rx100, clock.source(), {});
    QCOMPARE(int(rx100.memory(27)), 60);
    QCOMPARE(int(rx100.eeprom(30)), 247);
    QCOMPARE(int(rx100.eeprom(31)), 9600);
    Controller rx300(Model::Rx300, clock.source(), {});
    QCOMPARE(int(rx300.eeprom(74)), 460);
    QCOMPARE(int(rx300.eeprom(28)), 0);
    for (const Controller* c : {&rx200, &rx100, &rx300}) {
        for (int w = 21; w <= 240; w = (w == 59 ? 100 : w + 1))
            QVERIFY2(c->memory(std::uint8_t(w)) != 0, qPrintable(QString("M%1").arg(w)));
    }
}

void TestRxSim::liveInputsKeepWrittenValue() {
    FakeClock clock;
    Controller c(Model::Rx200, clock.source(), {});
    c.writeMemory(15, 1234);
    for (int i = 0; i < 10; ++i) {
        clock.now += 1.0;
        QCOMPARE(int(c.memory(15)), 1234);
    }
}

void TestRxSim::clockRuns() {
    FakeClock clock;
    Controller c(Model::Rx200, clock.source(), {31, 23, 59, 58});
    QCOMPARE(c.memory(kClockSeconds), std::uint16_t(58));
    clock.now += 0.99;
    QCOMPARE(c.memory(kClockSeconds), std::uint16_t(58));
    clock.now += 0.02;
    QCOMPARE(c.memory(kClockSeconds), std::uint16_t(59));
    clock.now += 1.0; // past the last second of day 31: day 1 again
    QCOMPARE(c.clock(), (ClockTime{1, 0, 0, 0}));
    clock.now += 86400.0 + 3600.0 * 13 + 60.0 * 7 + 5;
    QCOMPARE(c.clock(), (ClockTime{2, 13, 7, 5}));
}

void TestRxSim::clockSet_data() {
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("bcd");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("expected"); // day hours:minutes:seconds after the command

    QTest::newRow("seconds 45") << 66 << 0x45 << 1 << "10 08:30:45";
    QTest::newRow("minutes 07") << 67 << 0x07 << 2 << "10 08:07:20";
    QTest::newRow("hours 14") << 68 << 0x14 << 3 << "10 14:30:20";
    QTest::newRow("day 31") << 69 << 0x31 << 4 << "31 08:30:20";
    QTest::newRow("bad nibble ignored") << 66 << 0x4A << 1 << "10 08:30:20";
    QTest::newRow("hours 24 ignored") << 68 << 0x24 << 3 << "10 08:30:20";
    QTest::newRow("day 0 ignored") << 69 << 0x00 << 4 << "10 08:30:20";
    QTest::newRow("value of another word ignored") << 67 << 0x45 << 3 << "10 00:30:20";
}

void TestRxSim::clockSet() {
    QFETCH(int, word);
    QFETCH(int, bcd);
    QFETCH(int, command);
    QFETCH(QString, expected);
    FakeClock clock;
    Controller c(Model::Rx200, clock.source(), {10, 8, 30, 20});
    // The tools send the BCD value first, then the command, each as "WM" a 0x00 value CR.
    replyTo(c, QByteArray("WM") + char(word) + char(0) + char(bcd) + '\r');
    QCOMPARE(int(c.memory(std::uint8_t(word))), bcd);
    replyTo(c, QByteArray("WM") + char(kClockSetCommand) + char(0) + char(command) + '\r');
    const ClockTime t = c.clock();
    QCOMPARE(QString::asprintf("%02d %02d:%02d:%02d", t.day, t.hours, t.minutes, t.seconds),
             expected);
    QCOMPARE(replyTo(c, fromHex("524D410D")), QByteArray("M650\r"));
}

void TestRxSim::faults() {
    const Bytes reply = bytesOf("M211234\r");
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        FaultInjector drop({seed, 1, 0, 0, 0});
        const FaultOutcome dropped = drop.apply(reply);
        QVERIFY(dropped.dropped);
        QCOMPARE(dropped.kinds, std::vector<std::string>{"drop"});

        FaultInjector corrupt({seed, 0, 1, 0, 0});
        const FaultOutcome corrupted = corrupt.apply(reply);
        QCOMPARE(corrupted.bytes.size(), reply.size());
        int changed = 0;
        for (std::size_t i = 0; i < reply.size(); ++i)
            changed += corrupted.bytes[i] != reply[i];
        QCOMPARE(changed, 1);
        QCOMPARE(corrupted.bytes.back(), kCR);
        QCOMPARE(std::count(corrupted.bytes.begin(), corrupted.bytes.end(), kCR), 1);

        FaultInjector split({seed, 0, 0, 1, 0});
        const FaultOutcome splitted = split.apply(reply);
        QCOMPARE(splitted.bytes, reply);
        QVERIFY(splitted.splitAt >= 1 && splitted.splitAt < reply.size());

        // Noise goes out before the reply, which follows intact.
        FaultInjector noisy({seed, 0, 0, 0, 0, 1});
        const FaultOutcome noised = noisy.apply(reply);
        QVERIFY(noised.noiseSize >= 1 && noised.noiseSize <= kNoiseMaxBytes);
        QCOMPARE(Bytes(noised.bytes.begin() + std::ptrdiff_t(noised.noiseSize), noised.bytes.end()),
                 reply);

        // A flip changes one value digit into another digit; tag, number and CR stay.
        FaultInjector flip({seed, 0, 0, 0, 0, 0, 1});
        const FaultOutcome flipped = flip.apply(reply, 3);
        QCOMPARE(flipped.kinds, std::vector<std::string>{"flip"});
        QCOMPARE(Bytes(flipped.bytes.begin(), flipped.bytes.begin() + 3), bytesOf("M21"));
        QCOMPARE(flipped.bytes.back(), kCR);
        int flippedDigits = 0;
        for (std::size_t i = 3; i + 1 < reply.size(); ++i) {
            QVERIFY(flipped.bytes[i] >= '0' && flipped.bytes[i] <= '9');
            flippedDigits += flipped.bytes[i] != reply[i];
        }
        QCOMPARE(flippedDigits, 1);
    }
    FaultInjector wrongTag({7, 0, 0, 0, 1});
    QCOMPARE(wrongTag.apply(reply).bytes, bytesOf("E211234\r"));
    QCOMPARE(wrongTag.apply(bytesOf("E9300\r")).bytes, bytesOf("M9300\r"));
    FaultInjector none({7, 0, 0, 0, 0});
    const FaultOutcome clean = none.apply(reply);
    QVERIFY(!clean.dropped && clean.kinds.empty() && clean.splitAt == 0 && clean.bytes == reply);
}

void TestRxSim::faultSequenceFollowsSeed() {
    const auto sequence = [](std::uint64_t seed) {
        FaultInjector injector({seed, 0.3, 0.3, 0.3, 0.3});
        QStringList kinds;
        for (int i = 0; i < 50; ++i) {
            QStringList one;
            for (const auto& kind : injector.apply(bytesOf("E70123\r")).kinds)
                one << QString::fromStdString(kind);
            kinds << one.join('+');
        }
        return kinds;
    };
    QCOMPARE(sequence(42), sequence(42));
    QVERIFY(sequence(42) != sequence(43));
    QVERIFY(sequence(42).join(',').contains("drop"));
}

void TestRxSim::options_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("settings"); // parsed --set values

    QTest::newRow("defaults") << QStringList{} << true << "";
    QTest::newRow("set list") << QStringList{"--set", "M15=1234,E28=0"} << true << "M15=1234,E28=0";
    QTest::newRow("set twice, inline value")
        << QStringList{"--set=M0=65535", "--set", "E255=7"} << true << "M0=65535,E255=7";
    QTest::newRow("word too big") << QStringList{"--set", "M256=1"} << false << "";
    QTest::newRow("value too big") << QStringList{"--set", "E28=65536"} << false << "";
    QTest::newRow("unknown space") << QStringList{"--set", "X15=1"} << false << "";
    QTest::newRow("no value") << QStringList{"--set", "M15"} << false << "";
    QTest::newRow("empty item") << QStringList{"--set", "M15=1,"} << false << "";
    QTest::newRow("letters in value") << QStringList{"--set", "M15=12a"} << false << "";
    QTest::newRow("probability above 1") << QStringList{"--drop", "1.5"} << false << "";
    QTest::newRow("noise") << QStringList{"--noise=0.25", "--seed", "9"} << true << "";
    QTest::newRow("unknown model") << QStringList{"--model", "rx400"} << false << "";
    QTest::newRow("missing value") << QStringList{"--latency-ms"} << false << "";
    QTest::newRow("unknown option") << QStringList{"--fast"} << false << "";
    QTest::newRow("step") << QStringList{"--step", "M15=2400@10,M16=900@2.5"} << true << "";
    QTest::newRow("step without its time") << QStringList{"--step", "M15=2400"} << false << "";
    QTest::newRow("step of an EEPROM word") << QStringList{"--step", "E28=1@1"} << false << "";
}

void TestRxSim::options() {
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    QFETCH(QString, settings);
    std::vector<std::string> argv;
    for (const auto& arg : args)
        argv.push_back(arg.toStdString());
    Options parsed;
    std::string error;
    QCOMPARE(parseOptions(argv, parsed, error), ok);
    QCOMPARE(error.empty(), ok);
    QStringList got;
    for (const auto& s : parsed.settings)
        got << QString("%1%2=%3").arg(QChar(s.space)).arg(s.word).arg(s.value);
    if (ok) QCOMPARE(got.join(','), settings);
}

void TestRxSim::frameLogReader() {
    QTemporaryDir dir;
    const QString path = dir.filePath("frames.log");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("1.000000 OPEN\n2.500000 RX 52 4D 15 0D\n");
    file.flush();
    FrameLog log(path.toStdString());
    QCOMPARE(log.entries().size(), std::size_t(2));
    log.mark();
    file.write("3.000001 TX 4D 32 31 31 32 33 34 0D\n3.1 FAULT split\n3.2 RX 57 4D 15 00 01 0D\n"
               "3.3 RX 52");
    file.flush();
    const auto entries = log.entries();
    QCOMPARE(entries.size(), std::size_t(3)); // the unfinished last line is not read yet
    QCOMPARE(entries[0].kind, std::string("TX"));
    QCOMPARE(entries[0].t, 3.000001);
    QCOMPARE(entries[0].bytes, bytesOf("M211234\r"));
    QCOMPARE(entries[1].detail, std::string("split"));
    QCOMPARE(log.rxFrames(), std::vector<Bytes>{bytesOf(fromHex("574D1500010D"))});
    QCOMPARE(toHex(bytesOf(fromHex("00AB0D"))), std::string("00 AB 0D"));
}

std::unique_ptr<TestRxSim::Sim> TestRxSim::startSim(const QStringList& extra) {
    auto sim = std::make_unique<Sim>();
    if (!sim->dir.isValid()) return nullptr;
    sim->process.start(RXSIM_PROGRAM,
                       QStringList{"--link", sim->link(), "--log", sim->log()} + extra);
    if (!sim->process.waitForStarted(10000)) return nullptr;
    QByteArray out;
    QSignalSpy ready(&sim->process, &QProcess::readyReadStandardOutput);
    for (int i = 0; i < 10 && !out.contains('\n'); ++i) {
        ready.wait(1000);
        out += sim->process.readAllStandardOutput();
    }
    if (!out.startsWith("rxsim: ") || !QFileInfo(sim->link()).isSymLink()) return nullptr;
    return sim;
}

bool TestRxSim::openPort(QSerialPort& port, const QString& path) {
    port.setPortName(path);
    if (!port.open(QIODevice::ReadWrite)) return false;
    return port.setBaudRate(QSerialPort::Baud19200) && port.setDataBits(QSerialPort::Data8) &&
           port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}

QByteArray TestRxSim::readLine(QSerialPort& port) {
    // Paced replies arrive a byte at a time.
    QByteArray line;
    QSignalSpy spy(&port, &QSerialPort::readyRead);
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        line += port.readAll();
        if (line.contains('\r')) break;
        spy.wait(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return line;
}

void TestRxSim::programServesPort() {
    const auto sim = startSim({"--set", "M21=4321"});
    QVERIFY(sim);
    FrameLog log(sim->log().toStdString());
    for (int round = 0; round < 2; ++round) {
        QSerialPort port;
        QVERIFY2(openPort(port, sim->link()), qPrintable(port.errorString()));
        port.write(QByteArray("RM\x15\r"));
        QCOMPARE(readLine(port), QByteArray("M214321\r"));
        port.close();
    }
    const auto events = [&log] {
        QStringList lines;
        for (const auto& e : log.entries()) {
            QString line = QString::fromStdString(e.kind);
            if (!e.bytes.empty()) line += QLatin1Char(' ') + QString::fromStdString(toHex(e.bytes));
            lines << line;
        }
        return lines.join(',');
    };
    const QString cycle = "OPEN,RX 52 4D 15 0D,TX 4D 32 31 34 33 32 31 0D,CLOSE";
    QTRY_COMPARE_WITH_TIMEOUT(events(), cycle + "," + cycle, 10000);

    // Stopping the simulator removes its link.
    sim->process.terminate();
    QVERIFY(sim->process.waitForFinished(10000));
    QCOMPARE(sim->process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim->process.exitCode(), 0);
    QVERIFY(!QFileInfo(sim->link()).isSymLink());
}

void TestRxSim::programAppliesWriteBeforeClose() {
    const auto sim = startSim({"--pad"});
    QVERIFY(sim);
    {
        // Write and close at once, as the memory editor does.
        QSerialPort port;
        QVERIFY(openPort(port, sim->link()));
        port.write(fromHex("574DC8BEEF0D"));
        QTRY_COMPARE_WITH_TIMEOUT(port.bytesToWrite(), qint64(0), 10000);
        port.close();
    }
    QSerialPort port;
    QVERIFY(openPort(port, sim->link()));
    port.write(fromHex("524DC80D"));
    QCOMPARE(readLine(port), QByteArray("M20048879\r"));
}

void TestRxSim::programDropsReplyOnRequest() {
    const auto sim = startSim({"--drop", "1", "--set", "E9=300"});
    QVERIFY(sim);
    FrameLog log(sim->log().toStdString());
    QSerialPort port;
    QVERIFY(openPort(port, sim->link()));
    port.write(fromHex("5245090D"));
    QTRY_VERIFY_WITH_TIMEOUT(!log.entries().empty() && log.entries().back().kind == "FAULT", 10000);
    QCOMPARE(log.entries().back().detail, std::string("drop"));
    for (const auto& e : log.entries())
        QVERIFY(e.kind != "TX");
    QVERIFY(port.readAll().isEmpty());
}

void TestRxSim::programDiscardsUnreadReplyOnClose() {
    const auto sim = startSim({"--set", "M21=11,M22=22"});
    QVERIFY(sim);
    FrameLog log(sim->log().toStdString());
    const auto txCount = [&log] {
        const auto entries = log.entries();
        return std::count_if(entries.begin(), entries.end(),
                             [](const LogEntry& e) { return e.kind == "TX"; });
    };
    const QByteArray path = QFile::encodeName(sim->link());
    // The first reply is sent but never read before the port closes.
    int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "RM\x15\r", 4), ssize_t(4));
    QTRY_COMPARE_WITH_TIMEOUT(txCount(), 1, 10000);
    ::close(fd);
    fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "RM\x16\r", 4), ssize_t(4));
    QTRY_COMPARE_WITH_TIMEOUT(txCount(), 2, 10000);
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            char buffer[64];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) received.append(buffer, int(n));
            return received.endsWith('\r');
        }(),
        10000);
    ::close(fd);
    QCOMPARE(received, QByteArray("M2222\r"));
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(log.entries().back().kind), QString("CLOSE"),
                              10000);
    int opens = 0;
    for (const auto& e : log.entries())
        opens += e.kind == "OPEN";
    QCOMPARE(opens, 2);
}

QTEST_GUILESS_MAIN(TestRxSim)
#include "tst_rxsim.moc"
