// The line the tools speak to a controller: 19200 bit/s, 8 data bits, no parity, 1 stop bit,
// no handshaking. The editor's settings dialog may choose others.
#pragma once

#include <QSerialPort>

namespace rxline {

constexpr qint32 LineBaudRate = 19200;

struct LineSettings {
    qint32 baudRate = LineBaudRate;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;

    void applyTo(QSerialPort& port) const {
        port.setBaudRate(baudRate);
        port.setDataBits(dataBits);
        port.setParity(parity);
        port.setStopBits(stopBits);
        port.setFlowControl(flowControl);
    }
};

} // namespace rxline
