// The calibration tools' serial link: the only code that touches the port.
//
// Waiting costs nothing: replies are collected on the port's ready-read signal, and time-outs
// and pauses are timers. A reply wakes the program about three times, not once a byte: Qt's read
// buffer holds one byte, and once that byte is in, Qt stops watching the port until it is taken.
// The first byte of a reply stays there while the rest comes, as long as this word's last reply
// was; then all of it is taken.
#pragma once

#include "queuedlink.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>

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
    void replyBegins();
    void takeRest();
    void collect();
    void holdNextReply();
    void stopTail();
    // The length of the last reply line to the word `read` asks; 0 when none came yet.
    std::uint8_t& lastReplyLength(const Op& read);
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
    // The rest of a reply is taken when it is due: a timer to the microsecond, as a reply's bytes
    // are half a millisecond apart.
    int tailFd_ = -1;
    QSocketNotifier* tailNotifier_ = nullptr;
    bool tailArmed_ = false;
    bool taking_ = false;           // the rest of a reply is being taken as it comes
    std::int64_t byteNs_ = 520'833; // one byte's time on the line (10 bits at 19200 bit/s)
    std::array<std::uint8_t, 512> replyLength_{}; // each word's last reply line; 0 not yet seen
    bool pumpScheduled_ = false;
    int openErrno_ = 0;
};

} // namespace rxline
