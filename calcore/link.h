// The calibration tools' serial link: the only code that touches the port.
//
// Everything the tools do on the line goes through one queue, so one frame's reply is awaited
// (or times out) before the next frame goes out, whoever asked for it. Waiting costs nothing:
// replies are collected on the port's ready-read signal and time-outs and pauses are timers.
#pragma once

#include "codec.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>

namespace calcore {

// How long a read waits for its reply line before it gives the empty value text.
constexpr int ReplyTimeoutMs = 500;

class Link : public QObject {
    Q_OBJECT
  public:
    using ReadDone = std::function<void(const std::string& valueText)>;
    using OpenDone = std::function<void(bool ok, const QString& error)>;

    explicit Link(QObject* parent = nullptr);
    ~Link() override;

    // How replies to memory reads are cut (models differ).
    void setMemoryEcho(EchoDigits echo) { memoryEcho_ = echo; }

    // Opens the port `text` names (COMn, a device name or a path) at 19200 8N1 without
    // handshaking. Queued like every other operation; `done` says whether it worked and why not.
    void open(const QString& text, OpenDone done = {});
    // Lets bytes still waiting to go out leave, then closes the port.
    void close();
    bool isOpen() const { return port_.isOpen(); }

    // Sends the read frame and hands the value text of its reply to `done` (empty when no
    // usable reply came within ReplyTimeoutMs). The receive buffer is not emptied first.
    void ReadMemoryWord(std::uint8_t word, ReadDone done);
    void ReadEepromWord(std::uint8_t word, ReadDone done);
    void readWord(Space space, std::uint8_t word, ReadDone done);
    // Sends the write frame; a memory word write is followed by a 50 ms pause.
    void WriteMemoryWord(std::uint8_t word, std::uint8_t hi, std::uint8_t lo);
    void WriteEepromWord(std::uint8_t word, std::uint8_t hi, std::uint8_t lo);
    // Sends raw bytes in one write (the RX-100's Modbus broadcasts).
    void sendRaw(const QByteArray& bytes);
    // A pause in the queue: nothing goes out for `ms` milliseconds.
    void Wait(int ms);
    // Runs `fn` when everything queued before it is done. `fn` may queue more work; that work
    // runs before anything queued later.
    void then(std::function<void()> fn);

    // True while an operation runs or waits in the queue.
    bool busy() const { return active_ || !queue_.empty(); }

  signals:
    // The queue ran dry.
    void idle();
    // The port was closed because the device behind it went away.
    void portLost(const QString& error);

  private:
    struct Op {
        enum Kind { Open, Close, Send, Read, Pause, Call };
        explicit Op(Kind k = Call) : kind(k) {}
        Kind kind;
        QByteArray bytes;
        Space space = Space::Memory;
        std::uint8_t word = 0;
        int ms = 0;
        QString name;
        ReadDone readDone;
        OpenDone openDone;
        std::function<void()> call;
    };

    void enqueue(Op op);
    void pump();
    void start(Op& op);
    void finish();
    void collect();
    void finishRead();
    void onError(QSerialPort::SerialPortError error);
    void closeWhenSent();
    void closeNow();

    QSerialPort port_;
    QTimer timer_; // reply time-out, pause, drain poll
    std::deque<Op> queue_;
    std::deque<Op> inserted_; // work queued by a running `then`
    Op current_;
    bool active_ = false;
    bool pumping_ = false;
    bool inCall_ = false;
    QByteArray reply_;
    EchoDigits memoryEcho_ = EchoDigits::UpToTwo;
};

} // namespace calcore
