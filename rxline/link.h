// The calibration tools' serial link: the only code that touches the port.
//
// Waiting costs nothing: replies are collected on the port's ready-read signal, and time-outs
// and pauses are timers.
#pragma once

#include "queuedlink.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

namespace rxline {

// How often a port whose device went away is tried again.
constexpr int RetryOpenMs = 1000;

// Opens `port` on the device at `path` for reading and writing and takes the device for this
// program alone, as every tool takes its port (rxport::lockExclusive). Returns 0, or the system's
// reason (an errno value) with *reason, when given, the technician's words for it. The port's
// line settings are applied by the open.
int openExclusive(QSerialPort& port, const QString& path, QString* reason = nullptr);

class Link : public QObject, public QueuedLink {
    Q_OBJECT
  public:
    explicit Link(QObject* parent = nullptr);
    ~Link() override;

    bool isOpen() const override { return port_.isOpen(); }
    // The system's reason (an errno value) the last open failed for; 0 when it did not.
    int openErrno() const { return openErrno_; }

  signals:
    // The port was closed because the device behind it went away.
    void portLost(const QString& error);

  protected:
    void startOp(Op& op) override;
    void schedulePump() override;

  private:
    void openPort(Op& op);
    bool tryOpen(QString* reason);
    void retryOpen();
    void collect();
    void writeNow(const QByteArray& bytes);
    void endRead();
    void onError(QSerialPort::SerialPortError error);
    void closeWhenSent();
    void closeNow();

    QSerialPort port_;
    QString path_; // the device the port's name resolved to, opened again after a loss
    QTimer timer_; // reply time-out, pause, drain poll
    QTimer retry_; // reopens a port whose device went away
    QByteArray reply_;
    bool pumpScheduled_ = false;
    int openErrno_ = 0;
};

} // namespace rxline
