// The editor's serial port object (ComPort1): a POSIX terminal device opened exclusively,
// with its receive event delivered on the window's thread, one event at a time.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QDialog;
class QWidget;

namespace memedit {

enum class StopBits { One, OnePointFive, Two };
enum class Parity { None, Odd, Even, Mark, Space };
enum class DtrControl { Disable, Enable };
enum class RtsControl { Disable, Enable, Handshake };
enum class FlowControl { Hardware, Software, None, Custom };

struct PortSettings {
    QString port = QStringLiteral("COM1");
    bool customBaud = false; // the baud rate entry "Custom": use customBaudRate
    int baudRate = 19200;    // one of standardBaudRates()
    int customBaudRate = 19200;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
    Parity parity = Parity::None;
    bool outCtsFlow = false;
    bool outDsrFlow = false;
    bool xonXoffIn = false;
    bool xonXoffOut = false;
    DtrControl dtr = DtrControl::Disable;
    RtsControl rts = RtsControl::Disable;

    int effectiveBaudRate() const { return customBaud ? customBaudRate : baudRate; }
    FlowControl flowControl() const;
    // Hardware: RTS handshaking plus CTS output flow; Software: XON/XOFF both ways;
    // None: all four off; Custom: unchanged. DTR is never touched.
    void setFlowControl(FlowControl flow);

    static const QList<int>& standardBaudRates();
    bool operator==(const PortSettings&) const = default;
};

class SerialPort : public QObject {
    Q_OBJECT
  public:
    explicit SerialPort(QObject* parent = nullptr);
    ~SerialPort() override;

    const PortSettings& settings() const { return settings_; }
    // Applies all settings at once: a closed port takes them at the next Open(); an open
    // port is reconfigured once, or closed and reopened when the port name changed.
    void applySettings(const PortSettings& settings);

    bool Connected() const { return fd_ >= 0; }
    void Open();
    // Discards both queues and closes: let written bytes leave first (outputPending).
    void Close();
    // True while written bytes still wait here or in the device's transmit queue.
    bool outputPending() const;
    // Writes every byte; returns the count handed to the device.
    qint64 SendText(const QByteArray& text);
    // Takes up to count waiting bytes without waiting for more.
    QByteArray ReceiveText(int count);

    // While held, no receive event is delivered; bytes wait in the device.
    void holdEvents(bool hold);

    // Runs the settings dialog without blocking the caller; OK applies the six choices. The
    // port list is the one the calibration tools offer (rxport::portList).
    QDialog* ShowSetup(QWidget* parent);

  signals:
    // Bytes have arrived; count is the number now waiting (at least 1).
    void OnRxChar(int count);
    // An error outside a command: the device went away while open (the port is then
    // closed), or the settings chosen in the dialog could not be applied.
    void failed(const QString& message);

  private:
    void configure(int fd) const;
    void setModemLines(int fd) const;
    void onReadable();
    void onWritable();
    void updateNotifier();
    void closeDevice();
    // The session trace (--trace): frames as handed over, replies up to their CR.
    void traceSent(const QByteArray& bytes);
    void traceReceived(const QByteArray& bytes);
    void flushTrace();

    PortSettings settings_;
    int fd_ = -1;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QByteArray unsent_;
    QByteArray traceOut_;
    QByteArray traceIn_;
    bool held_ = false;
};

} // namespace memedit
