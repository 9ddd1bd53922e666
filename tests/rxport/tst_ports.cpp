// Port names, the probe and the port list, and the exclusive lock, as the calibration tools
// and the memory editor share them.
#include "portaccess.h"
#include "portnames.h"

#include "ptypeer.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

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

QTEST_GUILESS_MAIN(TestPorts)
#include "tst_ports.moc"
