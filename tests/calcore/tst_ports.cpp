// COMn naming and the port probe.
#include "ports.h"

#include "ptypeer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace calcore;

class TestPorts : public QObject {
    Q_OBJECT
  private slots:
    void number_data();
    void number();
    void resolve_data();
    void resolve();
    void probeListsOnlySerialDevicesThatExist();
    void probeAddsTheTtySFallback();
};

void TestPorts::number_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n"); // 0: not COM and a number
    QTest::newRow("COM7") << "COM7" << 7;
    QTest::newRow("COM12") << "COM12" << 12;
    QTest::newRow("COM20") << "COM20" << 20;
    QTest::newRow("lower case") << "com3" << 3;
    QTest::newRow("COM alone") << "COM" << 0;
    QTest::newRow("COMx") << "COMx" << 0;
    QTest::newRow("COM0") << "COM0" << 0;
    QTest::newRow("trailing text") << "COM3a" << 0;
    QTest::newRow("device name") << "ttyACM0" << 0;
    QTest::newRow("path") << "/dev/ttyUSB0" << 0;
}

void TestPorts::number() {
    QFETCH(QString, text);
    QFETCH(int, n);
    const auto got = portNumber(text.toStdString());
    QCOMPARE(got.value_or(0), n);
}

void TestPorts::resolve_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("path"); // %1 = the COM folder
    QTest::newRow("COM3 link in the folder") << "COM3"
                                             << "%1/COM3";
    QTest::newRow("COM4 falls back to ttyS3") << "COM4"
                                              << "/dev/ttyS3";
    QTest::newRow("COM20 falls back to ttyS19") << "COM20"
                                                << "/dev/ttyS19";
    QTest::newRow("device name") << "ttyACM0"
                                 << "/dev/ttyACM0";
    QTest::newRow("path") << "/dev/serial/by-id/x"
                          << "/dev/serial/by-id/x";
}

void TestPorts::resolve() {
    QFETCH(QString, text);
    QFETCH(QString, path);
    QTemporaryDir dir;
    QVERIFY(QFile::link("/dev/null", dir.filePath("COM3")));
    PortEnvironment env;
    env.comDir = dir.path().toStdString();
    QCOMPARE(QString::fromStdString(resolvePortName(text.toStdString(), env)),
             path.arg(dir.path()));
}

void TestPorts::probeListsOnlySerialDevicesThatExist() {
    QTemporaryDir dir;
    PtyPeer com3, com12;
    QVERIFY(com3.ok() && com12.ok());
    QVERIFY(com3.linkAs(dir.filePath("COM3")));
    QVERIFY(com12.linkAs(dir.filePath("COM12")));
    // Not serial devices: a character device that is no tty, a dangling link, a plain file,
    // and a port beyond the probe's range.
    QVERIFY(QFile::link("/dev/null", dir.filePath("COM5")));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("COM6")));
    QFile plain(dir.filePath("COM7"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(com3.linkAs(dir.filePath("COM17")));

    PortEnvironment env;
    env.comDir = dir.path().toStdString();
    env.ttySPrefix = dir.filePath("no-such-ttyS").toStdString();
    const auto ports = probePorts(env);
    QCOMPARE(ports, (std::vector<std::string>{"COM3", "COM12"}));
    QVERIFY(!PortExists(5, env));
    QVERIFY(PortExists(17, env)); // exists, only the list stops at 16
}

void TestPorts::probeAddsTheTtySFallback() {
    // A ttyS-style name in the fallback folder counts when it is a serial device; the folder
    // here holds a pseudo-terminal under that name.
    QTemporaryDir dir;
    PtyPeer uart;
    QVERIFY(uart.ok());
    QVERIFY(uart.linkAs(dir.filePath("ttyS1")));
    PortEnvironment env;
    env.comDir = dir.filePath("empty").toStdString();
    env.ttySPrefix = dir.filePath("ttyS").toStdString();
    QCOMPARE(probePorts(env), (std::vector<std::string>{"COM2"}));
}

QTEST_GUILESS_MAIN(TestPorts)
#include "tst_ports.moc"
