// The RX-200 start-up and window: port selection, opening and reopening the port, what a
// failed open does, and every control at its place with a caption that fits.
#include "calform.h"
#include "framelog.h"
#include "panelfont.h"
#include "portselect.h"
#include "ptypeer.h"
#include "rx200model.h"
#include "simprocess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace calcore;

class TestRx200Window : public QObject {
    Q_OBJECT
  private slots:
    void listsTheSimulatorPort();
    void openClosesAndReopensThePort();
    void unopenablePortShowsMessageAndReturns_data();
    void unopenablePortShowsMessageAndReturns();
    void typedPortBeyondSixteenOpens();
    void probeSelectsTheAnsweringPort();
    void geometry_data();
    void geometry();
    void hiddenControls();
    void captionsFit();
};

namespace {
QMessageBox* visibleMessageBox() {
    for (auto* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    }
    return nullptr;
}
} // namespace

void TestRx200Window::listsTheSimulatorPort() {
    PortSelectForm form2(rx200::model());
    form2.show();
    QCOMPARE(form2.windowTitle(), QString("Ajuste Serial"));
    QVERIFY(form2.portBox()->findText("COM1") >= 0);
    QCOMPARE(form2.portBox()->currentIndex(), 0);
    QCOMPARE(form2.size(), QSize(204, 172));
}

void TestRx200Window::openClosesAndReopensThePort() {
    rxsim::FrameLog log(qEnvironmentVariable("RX_SIM_LOG").toStdString());
    log.mark();
    PortSelectForm form2(rx200::model());
    form2.show();
    form2.portBox()->setCurrentText("COM1");
    auto* button = form2.findChild<QPushButton*>("Command1");
    QVERIFY(button);
    QCOMPARE(button->text(), QString("Abrir programa"));
    QTest::mouseClick(button, Qt::LeftButton);
    QPointer<CalForm> form1 = form2.mainForm();
    QVERIFY(form1);
    QVERIFY(form1->isVisible());
    QVERIFY(!form2.isVisible());
    QCOMPARE(form1->windowTitle(), QString("Config. Calibração RX-200"));
    QTRY_VERIFY_WITH_TIMEOUT(form1->link().isOpen(), 5000);
    // The line sees one open, one close and one open, then the cycle's first read.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const auto& e : log.entries())
                if (e.kind == "RX") return true;
            return false;
        }(),
        10000);
    QStringList events;
    for (const auto& e : log.entries()) {
        if (e.kind == "OPEN" || e.kind == "CLOSE") events << QString::fromStdString(e.kind);
        if (e.kind == "RX") break;
    }
    QCOMPARE(events.join(' '), QString("OPEN CLOSE OPEN"));
    QSignalSpy finished(&form2, &PortSelectForm::finished);
    form1->close();
    QTRY_COMPARE(finished.count(), 1); // closing the main window ends the program
    QTRY_VERIFY(!form1);
}

void TestRx200Window::unopenablePortShowsMessageAndReturns_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("message");
    // No COM9 here: /dev/ttyS8 does not exist.
    QTest::newRow("missing") << "COM9"
                             << "Não foi possível abrir a porta COM9 (/dev/ttyS8).\nA porta não "
                                "existe neste computador (o cabo ou o adaptador USB está ligado?).";
    QTest::newRow("no name") << "  "
                             << "Nenhuma porta foi escolhida: escolha uma porta da lista ou digite "
                                "o nome dela (COM1, ttyUSB0, /dev/ttyACM0).";
    QTest::newRow("not a port")
        << "/tmp"
        << "Não foi possível abrir a porta /tmp (/tmp).\nEste nome não é de "
           "uma porta serial.";
}

void TestRx200Window::unopenablePortShowsMessageAndReturns() {
    QFETCH(QString, port);
    QFETCH(QString, message);
    PortSelectForm form2(rx200::model());
    form2.show();
    form2.portBox()->setCurrentText(port);
    QTest::mouseClick(form2.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(visibleMessageBox() != nullptr, 5000);
    auto* box = visibleMessageBox();
    QCOMPARE(box->text(), message);
    QVERIFY(form2.isVisible());
    QVERIFY(!form2.mainForm());
    box->accept();
    // Another port can be chosen at once.
    form2.portBox()->setCurrentText("COM1");
    QTest::mouseClick(form2.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(form2.mainForm());
    QTRY_VERIFY_WITH_TIMEOUT(form2.mainForm()->link().isOpen(), 5000);
    form2.mainForm()->close();
}

void TestRx200Window::typedPortBeyondSixteenOpens() {
    const QByteArray saved = qgetenv("RX_COM_DIR");
    QTemporaryDir dir;
    PtyPeer controller;
    QVERIFY(controller.linkAs(dir.filePath("COM20")));
    qputenv("RX_COM_DIR", dir.path().toLocal8Bit());
    PortSelectForm form2(rx200::model());
    form2.show();
    QCOMPARE(form2.portBox()->findText("COM20"), -1); // the list stops at COM16
    form2.portBox()->setCurrentText("COM20");
    QTest::mouseClick(form2.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(form2.mainForm());
    // The first parameter read reaches the controller on port 20.
    QTRY_VERIFY_WITH_TIMEOUT(controller.received.startsWith(QByteArray("RE\x46\r")), 5000);
    form2.mainForm()->close();
    qputenv("RX_COM_DIR", saved);
}

void TestRx200Window::probeSelectsTheAnsweringPort() {
    // COM1 silent, COM2 a controller: "Procurar" asks both and picks COM2.
    QTemporaryDir silentDir, answeringDir, dir;
    SimProcess silent(silentDir.path(), {"--silent"});
    SimProcess answering(answeringDir.path(), {});
    QVERIFY(silent.start() && answering.start());
    QVERIFY(
        QFile::link(QFileInfo(silentDir.filePath("COM1")).symLinkTarget(), dir.filePath("COM1")));
    QVERIFY(QFile::link(QFileInfo(answeringDir.filePath("COM1")).symLinkTarget(),
                        dir.filePath("COM2")));
    const QByteArray saved = qgetenv("RX_COM_DIR");
    qputenv("RX_COM_DIR", dir.path().toLocal8Bit());
    PortSelectForm form2(rx200::model());
    form2.show();
    QCOMPARE(form2.portBox()->currentText(), QString("COM1"));
    QCOMPARE(rxsim::FrameLog(silent.log().toStdString()).rxFrames().size(), 0u);
    QCOMPARE(form2.probeButton()->text(), QString("&Procurar"));
    QTest::mouseClick(form2.probeButton(), Qt::LeftButton);
    QVERIFY(!form2.probeButton()->isEnabled()); // busy, and the window goes on
    QTRY_VERIFY_WITH_TIMEOUT(form2.probeButton()->isEnabled(), 3000);
    QCOMPARE(form2.portBox()->currentText(), QString("COM2"));
    QCOMPARE(form2.probeLabel()->text(), QString("controlador em COM2"));
    // The silent port took one read of E28 and nothing else.
    const auto frames = rxsim::FrameLog(silent.log().toStdString()).rxFrames();
    QCOMPARE(frames.size(), 1u);
    QCOMPARE(
        QByteArray(reinterpret_cast<const char*>(frames[0].data()), qsizetype(frames[0].size())),
        QByteArray("RE\x1c\r"));
    qputenv("RX_COM_DIR", saved);
}

void TestRx200Window::geometry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("rect"); // pixels, relative to the parent
    QTest::newRow("Span- Ain3") << "Command8"
                                << "Span- Ain3" << QRect(72, 272, 73, 25);
    QTest::newRow("Ain4 stored zero") << "Label3"
                                      << "0" << QRect(152, 320, 41, 25);
    QTest::newRow("Ain1 live") << "Label18"
                               << "?" << QRect(8, 80, 49, 25);
    QTest::newRow("heading") << "Label26"
                             << "Ajuste Entradas Analógicas" << QRect(88, 16, 161, 33);
    QTest::newRow("frame AO3") << "Frame3"
                               << "Ajuste Saída Analógica AO3" << QRect(304, 296, 265, 121);
    QTest::newRow("AO2 4 mA button") << "Command15"
                                     << "4 mA(340 - 420)" << QRect(96, 24, 97, 25);
    QTest::newRow("AO4 output entry") << "Text23"
                                      << "0" << QRect(200, 88, 49, 19);
    QTest::newRow("address caption") << "Label44"
                                     << "Endereço  Controlador" << QRect(24, 456, 65, 33);
    QTest::newRow("Usar Modbus") << "Check1"
                                 << "Usar Modbus" << QRect(184, 424, 97, 25);
    QTest::newRow("clock hours label") << "Label30"
                                       << "00" << QRect(96, 496, 17, 25);
    QTest::newRow("clock D") << "Command28"
                             << "D" << QRect(48, 536, 25, 25);
    QTest::newRow("trend") << "TrendButton"
                           << "Tendência" << QRect(200, 536, 73, 25);
}

void TestRx200Window::geometry() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, rect);
    CalForm form(rx200::model(), "COM1");
    QCOMPARE(form.size(), QSize(600, 577));
    QWidget* w = form.findChild<QWidget*>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->geometry(), rect);
    QString text;
    if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
    QCOMPARE(text, caption);
}

void TestRx200Window::hiddenControls() {
    CalForm form(rx200::model(), "COM1");
    form.show();
    for (const char* name : {"Label23", "Label24", "Check2"}) {
        auto* w = form.findChild<QWidget*>(name);
        QVERIFY2(w && w->isHidden(), name);
    }
    QCOMPARE(form.findChild<QLabel*>("Label24")->text(), QString("Junta Fria"));
    QCOMPARE(form.findChild<QCheckBox*>("Check2")->text(),
             QString("Q5 - Gerador Pulsos/Step Motor"));
    QCOMPARE(form.findChild<QLabel*>("Label45")->font().pointSizeF(), 13.5);
    // A face of other widths may draw the brace smaller, to keep it off the buttons beside it.
    const QFont brace = form.findChild<QLabel*>("Label29")->font();
    if (rxport::hasArialWidths(brace)) QCOMPARE(brace.pointSizeF(), 39.0);
    form.close();
}

void TestRx200Window::captionsFit() {
    // Every visible caption fits its control with the font the window really uses: wrapped to
    // the control's width, its lines fit the control's height.
    CalForm form(rx200::model(), "COM1");
    int checked = 0;
    for (const auto& c : rx200::model().controls) {
        if (!c.visible || c.kind == ControlKind::Entry || c.kind == ControlKind::Frame) continue;
        QWidget* w = form.findChild<QWidget*>(c.name);
        const QString text = QString::fromUtf8(c.caption);
        const QFontMetrics fm(w->font());
        int room = w->width();
        if (c.kind == ControlKind::Button) room -= 4;
        if (c.kind == ControlKind::CheckBox) room -= 20; // the box itself
        const QRect need = fm.boundingRect(QRect(0, 0, room, 10000), Qt::TextWordWrap, text);
        QVERIFY2(
            need.width() <= room,
            qPrintable(QString("%1 too wide: %2 > %3").arg(c.name).arg(need.width()).arg(room)));
        QVERIFY2(
            need.height() <= w->height() + 2,
            qPrintable(
                QString("%1 too tall: %2 > %3").arg(c.name).arg(need.height()).arg(w->height())));
        ++checked;
    }
    QVERIFY(checked > 40);
    const QFontMetrics frameFm(form.findChild<QGroupBox*>("Frame1")->font());
    QVERIFY(frameFm.horizontalAdvance("Ajuste Saída Analógica AO1") < 265 - 16);
}

QTEST_MAIN(TestRx200Window)
#include "tst_rx200_window.moc"
