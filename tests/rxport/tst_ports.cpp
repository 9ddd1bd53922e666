// Port names, the probe and the port list, and the exclusive lock, as the calibration tools
// and the memory editor share them; the reason each tool gives for a port it cannot open.
#include "link.h"
#include "portaccess.h"
#include "portnames.h"
#include "tracelog.h"

#include "framelog.h"

#include "ptypeer.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>
#include <optional>
#include <time.h>
#include <unistd.h>

using namespace rxport;

class TestPorts : public QObject {
    Q_OBJECT
  private slots:
    void number_data();
    void number();
    void resolve_data();
    void resolve();
    void probeAndListOfferOnlySerialDevices();
    void lockKeepsASecondHolderOut();
    void openRefusals_data();
    void openRefusals();
    void traceFirstLineGivesLocalTime();
};

void TestPorts::number_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n"); // 0: not COM and a number
    QTest::newRow("COM20") << "COM20" << 20;
    QTest::newRow("COM alone") << "COM" << 0;
    QTest::newRow("COM0") << "COM0" << 0;
    QTest::newRow("beyond 32767") << "COM32768" << 0;
    QTest::newRow("trailing text") << "COM3a" << 0;
}
void TestPorts::number() {
    QFETCH(QString, text);
    QFETCH(int, n);
    QCOMPARE(portNumber(text).value_or(0), n);
}

// The one rule every tool opens a port by: the calibration tools' link and the editor's port
// object both call resolvePortName.
void TestPorts::resolve_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("path"); // %1 = the COM folder
    QTest::newRow("COM1 link in the folder") << "COM1"
                                             << "%1/COM1";
    QTest::newRow("com1 in lower case") << "com1"
                                        << "%1/COM1";
    QTest::newRow("COM4 falls back to ttyS3") << "COM4"
                                              << "/dev/ttyS3";
    QTest::newRow("device name") << "ttyACM0"
                                 << "/dev/ttyACM0";
    QTest::newRow("path") << "/dev/ttyUSB0"
                          << "/dev/ttyUSB0";
}

void TestPorts::resolve() {
    QFETCH(QString, text);
    QFETCH(QString, path);
    QTemporaryDir dir;
    // A dangling link still names the port: its open then fails with the link's own reason.
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("COM1")));
    PortEnvironment env;
    env.comDir = dir.path();
    QCOMPARE(resolvePortName(text, env), path.replace(QStringLiteral("%1"), dir.path()));
}

void TestPorts::probeAndListOfferOnlySerialDevices() {
    QTemporaryDir dir;
    PtyPeer com3, com12, uart;
    QVERIFY(com3.ok() && com12.ok() && uart.ok());
    QVERIFY(com3.linkAs(dir.filePath("COM3")));
    QVERIFY(com12.linkAs(dir.filePath("COM12")));
    QVERIFY(uart.linkAs(dir.filePath("ttyS1"))); // COM2 through the ttyS fallback
    // Not serial devices: a character device that is no tty, a dangling link, a plain file,
    // and a port beyond the probe's range.
    QVERIFY(QFile::link("/dev/null", dir.filePath("COM5")));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("COM6")));
    QFile plain(dir.filePath("COM7"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(com3.linkAs(dir.filePath("COM17")));
    // A serial device of this system, when there is one, is also COM4.
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    if (!system.isEmpty())
        QVERIFY(QFile::link(system.first().systemLocation(), dir.filePath("COM4")));
    PortEnvironment env;
    env.comDir = dir.path();
    env.ttySPrefix = dir.filePath("ttyS");

    // COM4 counts when that device is a UART the system found.
    const bool uart4 = PortExists(4, env);
    const QStringList com = probePorts(env);
    QCOMPARE(com, uart4 ? QStringList({"COM2", "COM3", "COM4", "COM12"})
                        : QStringList({"COM2", "COM3", "COM12"}));
    QVERIFY(PortExists(17, env)); // exists, only the probe stops at 16
    // The list: those COMn names, then other devices, none of them reached through a COMn.
    const QStringList list = portList(env);
    QCOMPARE(list.mid(0, com.size()), com);
    for (const QString& other : list.mid(com.size())) {
        QVERIFY2(!portNumber(other) && QFileInfo::exists("/dev/" + other), qPrintable(other));
        if (uart4) QVERIFY(other != system.first().portName());
    }
}

void TestPorts::lockKeepsASecondHolderOut() {
    PtyPeer peer;
    QVERIFY(peer.ok());
    const QByteArray path = peer.slavePath().toLocal8Bit();
    const int first = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(first >= 0);
    QCOMPARE(lockExclusive(first), 0);
    // The exclusive mode refuses a second open, except to root, whom the lock then refuses.
    const int second = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (second < 0) {
        QCOMPARE(errno, EBUSY);
    } else {
        QCOMPARE(lockExclusive(second), EWOULDBLOCK);
    }
    unlockExclusive(first);
    ::close(first);
    if (second >= 0) {
        QCOMPARE(lockExclusive(second), 0);
        ::close(second);
    }
}

namespace {
// The refusal a calibration tool or rxmem gives (their link), and the editor's (its own open).
std::optional<OpenRefusal> linkRefusal(const QString& name) {
    rxline::Link link;
    auto done = std::make_shared<std::optional<bool>>();
    link.open(name, [done](bool ok, const QString&) { *done = ok; });
    if (!QTest::qWaitFor([&] { return done->has_value(); }, 5000) || **done) return std::nullopt;
    return openRefusal(link.openErrno());
}
std::optional<OpenRefusal> editorRefusal(const QString& path) {
    int code = 0;
    const int fd = takeDevice(path, &code);
    if (fd < 0) return openRefusal(code);
    unlockExclusive(fd);
    ::close(fd);
    return std::nullopt;
}
} // namespace

// A port in use is told as in use by every tool, whatever name each gives it: a COMn link or the
// device's path, held by a calibration tool or rxmem (their link, with its lock file under the
// name it was given) or by the editor (its own open).
void TestPorts::openRefusals_data() {
    QTest::addColumn<QString>("holder");  // "link" or "editor", or "" for none
    QTest::addColumn<bool>("heldByLink"); // the holder named the port by its COM1 link
    QTest::addColumn<bool>("openedByLink");
    QTest::addColumn<int>("refusal"); // an OpenRefusal
    const int busy = int(OpenRefusal::Busy);
    QTest::newRow("tool holds COM1, COM1") << "link" << true << true << busy;
    QTest::newRow("tool holds COM1, device") << "link" << true << false << busy;
    QTest::newRow("tool holds device, device") << "link" << false << false << busy;
    QTest::newRow("tool holds device, COM1") << "link" << false << true << busy;
    QTest::newRow("editor holds COM1, COM1") << "editor" << true << true << busy;
    QTest::newRow("editor holds device, COM1") << "editor" << false << true << busy;
    QTest::newRow("dangling COM1") << "" << true << true << int(OpenRefusal::Missing);
}

void TestPorts::openRefusals() {
    QFETCH(QString, holder);
    QFETCH(bool, heldByLink);
    QFETCH(bool, openedByLink);
    QFETCH(int, refusal);
    QTemporaryDir dir;
    PtyPeer peer;
    QVERIFY(peer.ok());
    const QString com1 = dir.filePath("COM1");
    if (holder.isEmpty()) {
        QVERIFY(QFile::link(dir.filePath("gone"), com1));
    } else {
        QVERIFY(peer.linkAs(com1));
    }
    const QString held = heldByLink ? com1 : peer.slavePath();
    const QString opened = openedByLink ? com1 : peer.slavePath();

    rxline::Link tool;
    int editor = -1;
    if (holder == "link") {
        auto done = std::make_shared<std::optional<bool>>();
        tool.open(held, [done](bool ok, const QString&) { *done = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(done->has_value(), 5000);
        QVERIFY(**done);
    } else if (holder == "editor") {
        int code = 0;
        editor = takeDevice(held, &code);
        QCOMPARE(code, 0);
    }
    QCOMPARE(linkRefusal(opened), std::optional(OpenRefusal(refusal)));
    QCOMPARE(editorRefusal(opened), std::optional(OpenRefusal(refusal)));
    if (editor >= 0) {
        unlockExclusive(editor);
        ::close(editor);
    }
}

void TestPorts::traceFirstLineGivesLocalTime() {
    qputenv("TZ", "<-03>3");
    ::tzset();
    QTemporaryDir dir;
    const QString file = dir.filePath("trace.log");
    QVERIFY(trace().open(file));
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
    trace().event("OPEN", "/dev/ttyUSB0");
    const QDateTime after = QDateTime::currentDateTime().addMSecs(1);
    trace().bytes("TX", "RM\x15\r");
    QVERIFY(trace().open("/dev/null"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), 3);
    // The first stamp, "=", the local time of that moment with its offset; then the kind.
    static const QRegularExpression first(
        R"(^\d+\.\d{6}=(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}-03:00) OPEN /dev/ttyUSB0$)");
    const auto match = first.match(QString::fromLatin1(lines[0]));
    QVERIFY2(match.hasMatch(), lines[0].constData());
    const QDateTime local = QDateTime::fromString(match.captured(1), Qt::ISODateWithMs);
    QVERIFY2(local >= before && local <= after, lines[0].constData());
    QVERIFY2(!lines[1].contains('='), lines[1].constData());
    // The reader of the stamps reads both lines as ever.
    rxsim::FrameLog log(file.toStdString());
    const auto entries = log.entries();
    QCOMPARE(entries.size(), std::size_t(2));
    QCOMPARE(entries[0].kind, std::string("OPEN"));
    QCOMPARE(rxsim::toHex(entries[1].bytes), std::string("52 4D 15 0D"));
    QVERIFY(entries[0].t > 0 && entries[1].t >= entries[0].t);
}

QTEST_GUILESS_MAIN(TestPorts)
#include "tst_ports.moc"
