#include "serialsetupform.h"

#include "catalog.h"
#include "panelfont.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace memedit {

namespace {

enum List { PortList, BaudList, DataBitsList, StopBitsList, ParityList, FlowList };

const char* const kRowLabels[6] = {"Port",      "Baud rate", "Data bits",
                                   "Stop bits", "Parity",    "Flow control"};

const QStringList& stopBitsEntries() {
    static const QStringList entries{"1", "1.5", "2"};
    return entries;
}
const QStringList& parityEntries() {
    static const QStringList entries{"None", "Odd", "Even", "Mark", "Space"};
    return entries;
}
const QStringList& flowEntries() {
    static const QStringList entries{"Hardware", "Software", "None", "Custom"};
    return entries;
}

QStringList baudEntries() {
    QStringList entries{QStringLiteral("Custom")};
    for (int rate : PortSettings::standardBaudRates())
        entries << QString::number(rate);
    return entries;
}

QString baudEntry(const PortSettings& s) {
    return s.customBaud ? QStringLiteral("Custom") : QString::number(s.baudRate);
}

// The editor's settings as the prober's line.
rxline::LineSettings lineOf(const PortSettings& s) {
    rxline::LineSettings line;
    line.baudRate = s.effectiveBaudRate();
    line.dataBits = QSerialPort::DataBits(s.dataBits);
    constexpr QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                QSerialPort::SpaceParity};
    line.parity = parities[int(s.parity)];
    constexpr QSerialPort::StopBits stops[] = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop,
                                               QSerialPort::TwoStop};
    line.stopBits = stops[int(s.stopBits)];
    switch (s.flowControl()) {
    case FlowControl::Hardware:
        line.flowControl = QSerialPort::HardwareControl;
        break;
    case FlowControl::Software:
        line.flowControl = QSerialPort::SoftwareControl;
        break;
    case FlowControl::None:
    case FlowControl::Custom:
        line.flowControl = QSerialPort::NoFlowControl;
        break;
    }
    return line;
}

} // namespace

SerialSetupForm::SerialSetupForm(const PortSettings& current, const QStringList& ports,
                                 QWidget* parent)
    : QDialog(parent), start_(current) {
    setObjectName(QStringLiteral("SerialSetupForm"));
    setWindowTitle(setupText("Setup"));
    setModal(true);
    setFixedSize(231, 216);
    // A dialog is a window of its own and does not take the editor's face from its parent;
    // its captions are laid out for that face at the editor's 11-pixel size, so it is set here.
    QFont face = rxport::panelFont();
    face.setPixelSize(11);
    setFont(face);

    auto* group = new QGroupBox(setupText(" Settings "), this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    group->setGeometry(8, 8, 217, 169);

    // The port in use is always offered and selected, even when the list does not find it
    // (a COMn with no device behind it yet, a name typed elsewhere): OK pressed to change only
    // the speed must keep it.
    QStringList portEntries = ports;
    if (!current.port.isEmpty() && !portEntries.contains(current.port))
        portEntries.prepend(current.port);
    const QStringList entries[6] = {
        portEntries,       baudEntries(),   QStringList{"5", "6", "7", "8"},
        stopBitsEntries(), parityEntries(), flowEntries()};
    const QString selected[6] = {current.port,
                                 baudEntry(current),
                                 QString::number(current.dataBits),
                                 stopBitsEntries().value(int(current.stopBits)),
                                 parityEntries().value(int(current.parity)),
                                 flowEntries().value(int(current.flowControl()))};
    for (int row = 0; row < 6; ++row) {
        const int top = 20 + 24 * row;
        auto* label = new QLabel(setupText(kRowLabels[row]), group);
        label->setObjectName(QStringLiteral("Label%1").arg(row + 1));
        label->setGeometry(8, top + 3, 70, 15);
        auto* list = new QComboBox(group);
        list->setObjectName(QStringLiteral("Combo%1").arg(row + 1));
        list->setEditable(false);
        list->setGeometry(80, top, 129, 21);
        list->addItems(entries[row]);
        list->setCurrentIndex(int(entries[row].indexOf(selected[row])));
        label->setBuddy(list);
        // A caption too wide for its place, in a face wider than the one it was laid out for,
        // is drawn smaller rather than under its list.
        label->setFont(rxport::captionFont(label->text(), label->font(),
                                           {.area = label->geometry(),
                                            .align = label->alignment(),
                                            .neighbours = {list->geometry()}}));
        lists_[row] = list;
    }

    auto* ok = new QPushButton(setupText("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(70, 184, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = new QPushButton(setupText("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(150, 184, 75, 25);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    probeButton_ = new QPushButton(setupText("&Search"), this);
    probeButton_->setObjectName(QStringLiteral("SearchButton"));
    probeButton_->setGeometry(8, 184, 58, 25);
    connect(probeButton_, &QPushButton::clicked, this, &SerialSetupForm::probe);
    connect(&probe_, &rxline::PortProbe::finished, this, &SerialSetupForm::probeDone);
    // What the search found, on the group's top line right of its caption.
    probeLabel_ = new QLabel(this);
    probeLabel_->setObjectName(QStringLiteral("SearchLabel"));
    probeLabel_->setGeometry(80, 1, 145, 15);
    probeLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    probeLabel_->setAutoFillBackground(true);
    probeLabel_->hide();

    connect(this, &QDialog::accepted, this, [this] { emit chosen(choice()); });
    setAttribute(Qt::WA_DeleteOnClose);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void SerialSetupForm::probe() {
    QComboBox* ports = lists_[PortList];
    QStringList names;
    for (int i = 0; i < ports->count(); ++i)
        names << ports->itemText(i);
    probeButton_->setEnabled(false);
    probeButton_->setText(setupText("Searching…"));
    probeLabel_->hide();
    probe_.start(names, lineOf(choice()));
}

void SerialSetupForm::probeDone() {
    probeButton_->setText(setupText("&Search"));
    probeButton_->setEnabled(true);
    const int first = probe_.firstAnswering();
    if (first >= 0) lists_[PortList]->setCurrentIndex(first);
    probeLabel_->setText(first >= 0
                             ? setupText("controller on %1").arg(lists_[PortList]->itemText(first))
                             : setupText("no controller answered"));
    probeLabel_->show();
}

PortSettings SerialSetupForm::choice() const {
    PortSettings s = start_;
    // An empty list (no port anywhere, none set) leaves the port as it was.
    if (lists_[PortList]->currentIndex() >= 0) s.port = lists_[PortList]->currentText();
    if (const int i = lists_[BaudList]->currentIndex(); i == 0) {
        s.customBaud = true;
    } else if (i > 0) {
        s.customBaud = false;
        s.baudRate = lists_[BaudList]->currentText().toInt();
    }
    if (lists_[DataBitsList]->currentIndex() >= 0)
        s.dataBits = lists_[DataBitsList]->currentText().toInt();
    if (const int i = lists_[StopBitsList]->currentIndex(); i >= 0) s.stopBits = StopBits(i);
    if (const int i = lists_[ParityList]->currentIndex(); i >= 0) s.parity = Parity(i);
    if (const int i = lists_[FlowList]->currentIndex(); i >= 0) s.setFlowControl(FlowControl(i));
    return s;
}

} // namespace memedit
