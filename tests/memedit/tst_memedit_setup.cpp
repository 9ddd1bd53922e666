// The serial settings dialog and the line settings the port applies.
#include "editortest.h"
#include "mainwindow.h"
#include "portnames.h"
#include "ptypeer.h"
#include "serialport.h"
#include "serialsetupform.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <termios.h>

using memedit::Form1;

namespace {
constexpr int kWait = 10000;

memedit::SerialSetupForm* setupForm() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* form = qobject_cast<memedit::SerialSetupForm*>(w);
        if (form != nullptr && form->isVisible()) return form;
    }
    return nullptr;
}

QComboBox* list(int n) {
    return setupForm()->findChild<QComboBox*>(QStringLiteral("Combo%1").arg(n));
}

termios slaveSettings(const PtyPeer& line) {
    termios tio{};
    const int fd = ::open(line.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    tcgetattr(fd, &tio);
    ::close(fd);
    return tio;
}
} // namespace

class SetupTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        line = std::make_unique<PtyPeer>();
        QVERIFY(line->ok() && line->publish(QStringLiteral("COM1")));
        qputenv("RX_COM_DIR", line->comDir().toLocal8Bit());
        window = std::make_unique<Form1>();
    }
    void cleanup() {
        closeErrorBoxes();
        if (setupForm() != nullptr) setupForm()->reject();
        window.reset();
        other.reset();
        line.reset();
    }

    void firstOpenUses19200EightNoneOne() {
        click("Read21");
        QTRY_VERIFY_WITH_TIMEOUT(window->comPort()->Connected(), kWait);
        const termios tio = slaveSettings(*line);
        QCOMPARE(cfgetospeed(&tio), speed_t(B19200));
        // (A pseudo-terminal always reports 8 data bits without parity.)
        QCOMPARE(tio.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(tio.c_iflag & (IXON | IXOFF), tcflag_t(0));
        QCOMPARE(tio.c_lflag & (ICANON | ECHO), tcflag_t(0));
    }

    void dialogShowsThePortSettings() {
        click("Button1");
        QTRY_VERIFY_WITH_TIMEOUT(setupForm() != nullptr, kWait);
        memedit::SerialSetupForm* form = setupForm();
        QCOMPARE(form->windowTitle(), QStringLiteral("Setup"));
        QCOMPARE(form->size(), QSize(231, 216));
        QCOMPARE(form->findChild<QGroupBox*>()->title(), QStringLiteral(" Settings "));
        QStringList labels;
        for (int n = 1; n <= 6; ++n)
            labels << form->findChild<QLabel*>(QStringLiteral("Label%1").arg(n))->text();
        QCOMPARE(labels, QStringList({"Port", "Baud rate", "Data bits", "Stop bits", "Parity",
                                      "Flow control"}));
        const QStringList shown{"COM1", "19200", "8", "1", "None", "None"};
        for (int n = 1; n <= 6; ++n) {
            QVERIFY(!list(n)->isEditable());
            QCOMPARE(list(n)->currentText(), shown[n - 1]);
        }
        QCOMPARE(list(2)->count(), 16);
        QCOMPARE(list(2)->itemText(0), QStringLiteral("Custom"));
        QCOMPARE(list(6)->itemText(3), QStringLiteral("Custom"));
    }

    void listEntriesInOrder_data() {
        QTest::addColumn<int>("combo");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("Baud rate")
            << 2 << QStringList{"Custom", "110",    "300",    "600",   "1200",  "2400",
                                "4800",   "9600",   "14400",  "19200", "38400", "56000",
                                "57600",  "115200", "128000", "256000"};
        QTest::newRow("Data bits") << 3 << QStringList{"5", "6", "7", "8"};
        QTest::newRow("Stop bits") << 4 << QStringList{"1", "1.5", "2"};
        QTest::newRow("Parity") << 5 << QStringList{"None", "Odd", "Even", "Mark", "Space"};
        QTest::newRow("Flow control") << 6 << QStringList{"Hardware", "Software", "None", "Custom"};
    }
    void listEntriesInOrder() {
        QFETCH(int, combo);
        QFETCH(QStringList, entries);
        click("Button1");
        QTRY_VERIFY_WITH_TIMEOUT(setupForm() != nullptr, kWait);
        QStringList shown;
        for (int i = 0; i < list(combo)->count(); ++i)
            shown << list(combo)->itemText(i);
        QCOMPARE(shown, entries);
    }

    void portListIsTheCalibrationToolsList() {
        PtyPeer com10, com2;
        QVERIFY(com10.linkAs(QDir(line->comDir()).filePath(QStringLiteral("COM10"))));
        QVERIFY(com2.linkAs(QDir(line->comDir()).filePath(QStringLiteral("COM2"))));
        click("Button1");
        QTRY_VERIFY_WITH_TIMEOUT(setupForm() != nullptr, kWait);
        QStringList entries;
        for (int i = 0; i < list(1)->count(); ++i)
            entries << list(1)->itemText(i);
        QCOMPARE(entries.mid(0, 3), QStringList({"COM1", "COM2", "COM10"}));
        QCOMPARE(entries, rxport::portList());
    }

    // A port the list does not find (no device behind it yet) is still offered and selected,
    // so OK pressed to change only the speed keeps it.
    void portNotFoundIsOfferedAndKept() {
        memedit::PortSettings settings = window->comPort()->settings();
        settings.port = QStringLiteral("COM77");
        window->comPort()->applySettings(settings);
        click("Button1");
        QTRY_VERIFY_WITH_TIMEOUT(setupForm() != nullptr, kWait);
        QCOMPARE(list(1)->currentText(), QStringLiteral("COM77"));
        list(2)->setCurrentText(QStringLiteral("9600"));
        setupForm()->findChild<QPushButton*>("OkButton")->click();
        QCOMPARE(window->comPort()->settings().port, QStringLiteral("COM77"));
        QCOMPARE(window->comPort()->settings().baudRate, 9600);
    }

    // The editor opens a port by the rule the calibration tools use (rxport::resolvePortName):
    // "com1" reaches the device COM1 names.
    void lowerCaseComNameOpensThePort() {
        memedit::PortSettings settings = window->comPort()->settings();
        settings.port = QStringLiteral("com1");
        window->comPort()->applySettings(settings);
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(line->received, QByteArray("RM\x15\r"), kWait);
    }

    void cancelChangesNothing_data() {
        QTest::addColumn<bool>("open");
        QTest::newRow("port closed") << false;
        QTest::newRow("port open") << true;
    }
    void cancelChangesNothing() {
        QFETCH(bool, open);
        addCom2();
        if (open) {
            click("Read21");
            QTRY_VERIFY_WITH_TIMEOUT(window->comPort()->Connected(), kWait);
        }
        const memedit::PortSettings before = window->comPort()->settings();
        click("Button1");
        QTRY_VERIFY_WITH_TIMEOUT(setupForm() != nullptr, kWait);
        list(1)->setCurrentText(QStringLiteral("COM2"));
        list(2)->setCurrentText(QStringLiteral("9600"));
        list(5)->setCurrentText(QStringLiteral("Even"));
        list(6)->setCurrentText(QStringLiteral("Hardware"));
        setupForm()->findChild<QPushButton*>("CancelButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(setupForm() == nullptr, kWait);
        QVERIFY(window->comPort()->settings() == before);
        QCOMPARE(window->comPort()->Connected(), open);
        if (open) {
            const termios tio = slaveSettings(*line);
            QCOMPARE(cfgetospeed(&tio), speed_t(B19200));
            line->send("M21555\r");
            QTRY_COMPARE_WITH_TIMEOUT(window->box(21)->text(), QStringLiteral("555"), kWait);
        }
    }

    void okSwitchesAnOpenPortAtOnce() {
        addCom2();
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(line->received.size(), 4, kWait);
        click("Button1");
        QTRY_VERIFY_WITH_TIMEOUT(setupForm() != nullptr, kWait);
        list(1)->setCurrentText(QStringLiteral("COM2"));
        setupForm()->findChild<QPushButton*>("OkButton")->click();
        QCOMPARE(window->comPort()->settings().port, QStringLiteral("COM2"));
        QVERIFY(window->comPort()->Connected());
        // The old line no longer reaches the editor; the new one does at once.
        line->send("M21111\r");
        other->send("M21222\r");
        QTRY_COMPARE_WITH_TIMEOUT(window->box(21)->text(), QStringLiteral("222"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), kWait);
        click("Read22");
        QTRY_COMPARE_WITH_TIMEOUT(other->received, QByteArray("RM\x16\r"), kWait);
        QCOMPARE(line->received.size(), 4);
    }

    void okOnAClosedPortTakesEffectAtTheNextCommand() {
        addCom2();
        click("Button1");
        QTRY_VERIFY_WITH_TIMEOUT(setupForm() != nullptr, kWait);
        list(1)->setCurrentText(QStringLiteral("COM2"));
        list(2)->setCurrentText(QStringLiteral("38400"));
        list(4)->setCurrentText(QStringLiteral("2"));
        setupForm()->findChild<QPushButton*>("OkButton")->click();
        QVERIFY(!window->comPort()->Connected());
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(other->received, QByteArray("RM\x15\r"), kWait);
        const termios tio = slaveSettings(*other);
        QCOMPARE(cfgetospeed(&tio), speed_t(B38400));
        QVERIFY(tio.c_cflag & CSTOPB);
    }

    void okReconfiguresAnOpenPort() {
        click("Read21");
        QTRY_VERIFY_WITH_TIMEOUT(window->comPort()->Connected(), kWait);
        click("Button1");
        QTRY_VERIFY_WITH_TIMEOUT(setupForm() != nullptr, kWait);
        list(2)->setCurrentText(QStringLiteral("115200"));
        list(4)->setCurrentText(QStringLiteral("2"));
        list(6)->setCurrentText(QStringLiteral("Software"));
        setupForm()->findChild<QPushButton*>("OkButton")->click();
        QVERIFY(window->comPort()->Connected());
        const termios tio = slaveSettings(*line);
        QCOMPARE(cfgetospeed(&tio), speed_t(B115200));
        QVERIFY(tio.c_cflag & CSTOPB);
        QCOMPARE(tio.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
        QCOMPARE(window->comPort()->settings().flowControl(), memedit::FlowControl::Software);
    }

    void missingPortListShowsRegistryError() {
        qputenv("RX_COM_DIR", QByteArray("/nonexistent/com"));
        click("Button1");
        QTRY_COMPARE_WITH_TIMEOUT(errorBoxText(),
                                  QStringLiteral("Registry error (win error code: 2)"), kWait);
        QVERIFY(setupForm() == nullptr);
    }

  private:
    // A second controller, on COM2 of the same folder.
    void addCom2() {
        other = std::make_unique<PtyPeer>();
        QVERIFY(other->ok());
        QVERIFY(other->linkAs(QDir(line->comDir()).filePath(QStringLiteral("COM2"))));
    }

    void click(const QString& name) {
        auto* button = window->findChild<QPushButton*>(name);
        QVERIFY2(button, qPrintable(name));
        button->click();
    }

    std::unique_ptr<PtyPeer> line;
    std::unique_ptr<PtyPeer> other;
    std::unique_ptr<Form1> window;
};

QTEST_MAIN(SetupTest)
#include "tst_memedit_setup.moc"
