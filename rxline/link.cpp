#include "link.h"

#include "linesettings.h"
#include "portaccess.h"
#include "portnames.h"
#include "replyline.h"
#include "tracelog.h"

#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace rxline {

namespace {

// One byte's time on the line of `port`: a start bit, the data bits, parity, the stop bits.
std::int64_t byteNanoseconds(const QSerialPort& port) {
    int bits = 1 + int(port.dataBits()) + (port.parity() == QSerialPort::NoParity ? 0 : 1) +
               (port.stopBits() == QSerialPort::OneStop ? 1 : 2);
    const qint32 baud = std::max<qint32>(port.baudRate(), 50);
    return std::int64_t(bits) * 1'000'000'000 / baud;
}

} // namespace

Link::Link(QObject* parent) : QObject(parent), port_(this), timer_(this) {
    setObjectName("MSComm1");
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer); // a coarse timer may end a reply wait early
    LineSettings().applyTo(port_);
    holdNextReply();
    connect(&port_, &QSerialPort::readyRead, this, &Link::replyBegins);
    connect(&port_, &QSerialPort::errorOccurred, this, &Link::onError);
    tailFd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (tailFd_ >= 0) {
        tailNotifier_ = new QSocketNotifier(tailFd_, QSocketNotifier::Read, this);
        connect(tailNotifier_, &QSocketNotifier::activated, this, [this] {
            std::uint64_t expiries = 0;
            [[maybe_unused]] const auto n = ::read(tailFd_, &expiries, sizeof expiries);
            takeRest();
        });
    }
    retry_.setInterval(RetryOpenMs);
    connect(&retry_, &QTimer::timeout, this, &Link::retryOpen);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (!active()) return;
        switch (current().kind) {
        case Op::Read:
            endRead();
            break;
        case Op::Close:
            closeWhenSent();
            break;
        default:
            finishOp();
            break;
        }
    });
}

Link::~Link() {
    // Queued callbacks must not run into a half-destroyed owner. The program's end goes
    // through shutdown(), which lets queued frames leave first.
    dropQueued();
    disconnect(&port_, nullptr, this, nullptr);
    if (port_.isOpen()) port_.close();
    delete tailNotifier_;
    if (tailFd_ >= 0) ::close(tailFd_);
}

void Link::schedulePump() {
    if (pumpScheduled_) return;
    pumpScheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            pumpScheduled_ = false;
            pump();
        },
        Qt::QueuedConnection);
}

void Link::writeNow(const QByteArray& bytes) {
    port_.write(bytes);
    port_.flush(); // hand the frame to the driver now, not on the next loop pass
}

void Link::startOp(Op& op) {
    switch (op.kind) {
    case Op::Open:
        openPort(op);
        return;
    case Op::Close:
        closeWhenSent(); // counts its waiting in op.ms, which starts at 0
        return;
    case Op::Send:
        if (port_.isOpen()) {
            rxport::trace().bytes("TX", op.bytes);
            writeNow(op.bytes);
        }
        finishOp();
        return;
    case Op::Read:
        reply_.clear();
        if (!port_.isOpen()) {
            endRead();
            return;
        }
        rxport::trace().bytes("TX", op.bytes);
        writeNow(op.bytes);
        timer_.start(ReplyTimeoutMs);
        collect(); // a reply left over from earlier traffic already waits in the buffer
        return;
    case Op::Pause:
        timer_.start(op.ms);
        return;
    case Op::Call:
        return; // run by the queue itself
    }
}

void Link::openPort(Op& op) {
    retry_.stop();
    path_ = rxport::resolvePortName(op.name);
    QString error;
    const bool ok = tryOpen(&error);
    rxport::trace().event(ok ? "OPEN" : "OPENFAIL", port_.portName() + (ok ? "" : ": " + error));
    auto done = std::move(op.openDone);
    if (done) done(ok, error);
    finishOp();
}

int openExclusive(QSerialPort& port, const QString& path, QString* reason) {
    port.setPortName(path);
    int code = 0;
    QString error;
    if (!port.open(QIODevice::ReadWrite)) {
        // The device's own reason: QSerialPort's errno may be left over from its lock-file checks
        // (a port another program holds under the same name would read as missing).
        code = rxport::deviceRefusal(path);
        // The device lets us in: QSerialPort refused it for a lock file another program holds.
        const auto qtError = port.error();
        if (code == 0 &&
            (qtError == QSerialPort::PermissionError || qtError == QSerialPort::OpenError))
            code = EBUSY;
        error = code != 0 ? rxport::openFailureReason(code) : port.errorString();
        if (code == 0) code = EIO;
    } else if (code = rxport::lockExclusive(port.handle()); code != 0) {
        // The device's exclusive mode does not hold for root, and the memory editor locks the
        // device itself: take the same lock, so that no two tools share a port.
        error = rxport::openFailureReason(code);
        port.close();
    }
    if (reason) *reason = error;
    return code;
}

bool Link::tryOpen(QString* reason) {
    if (port_.isOpen()) port_.close();
    openErrno_ = openExclusive(port_, path_, reason);
    if (openErrno_ != 0) return false;
    byteNs_ = byteNanoseconds(port_);
    return true;
}

void Link::retryOpen() {
    // Quietly, about once a second, until the device is back. The path is the one the name
    // resolved to: a COMn link that is gone must not make COMn fall back to another device.
    if (port_.isOpen() || !tryOpen(nullptr)) return;
    retry_.stop();
    rxport::trace().event("OPEN", port_.portName());
    lineEvent(LineEvent::Back);
}

void Link::replyBegins() {
    // Bytes outside a read wait, unread, for the next one.
    if (!active() || current().kind != Op::Read || tailArmed_) return;
    if (taking_ || tailFd_ < 0) {
        collect(); // without a timer to the microsecond, each byte is taken as it comes
        return;
    }
    // The rest of the line is due after as many bytes as this word's last reply had; the byte
    // Qt holds stays there, so that the port is not watched until then.
    const std::uint8_t last = lastReplyLength(current());
    const int expected = last != 0 ? last : shortestReplyTo(current().word);
    const qsizetype have = reply_.size() + port_.bytesAvailable();
    const std::int64_t missing = std::max<qsizetype>(1, expected - have);
    const std::int64_t ns = missing * byteNs_ + byteNs_ / 2;
    itimerspec due{};
    due.it_value.tv_sec = time_t(ns / 1'000'000'000);
    due.it_value.tv_nsec = long(ns % 1'000'000'000);
    tailArmed_ = ::timerfd_settime(tailFd_, 0, &due, nullptr) == 0;
    if (!tailArmed_) takeRest();
}

std::uint8_t& Link::lastReplyLength(const Op& read) {
    return replyLength_[(read.space == Space::Eeprom ? 256u : 0u) + read.word];
}

void Link::takeRest() {
    tailArmed_ = false;
    if (!active() || current().kind != Op::Read) return;
    taking_ = true;
    collect();
}

void Link::holdNextReply() {
    // Qt reads one byte on the port's signal and then stops watching the port until that byte
    // is taken: while a reply comes, its bytes gather in the driver without waking the program.
    taking_ = false;
    port_.setReadBufferSize(1);
}

void Link::stopTail() {
    if (!tailArmed_) return;
    tailArmed_ = false;
    const itimerspec off{};
    ::timerfd_settime(tailFd_, 0, &off, nullptr);
}

void Link::collect() {
    if (!active() || current().kind != Op::Read) return; // bytes wait for the next read
    if (port_.isOpen()) reply_ += port_.readAll();       // lets Qt watch the port again
    // Once the rest of a reply is due, Qt takes all the port has on each signal.
    if (taking_) port_.setReadBufferSize(0);
    for (qsizetype cr; (cr = reply_.indexOf(char(CR))) >= 0;) {
        const QByteArray line = reply_.left(cr + 1);
        reply_.remove(0, cr + 1);
        const auto reply = answerFor(std::string_view(line.constData(), std::size_t(line.size())));
        if (!reply) {
            // A late reply, noise, another word's line: it shows nowhere and the read waits on.
            rxport::trace().bytes("DROP", line);
            continue;
        }
        rxport::trace().bytes("RX", line);
        timer_.stop();
        stopTail();
        holdNextReply();
        lastReplyLength(current()) = std::uint8_t(std::min<qsizetype>(line.size(), 255));
        // Whatever came after the line in the same delivery answers nothing that was asked.
        if (!reply_.isEmpty()) rxport::trace().bytes("DROP", std::exchange(reply_, {}));
        finishRead(*reply); // may start the next read, which collects on its own
        return;
    }
}

void Link::endRead() {
    timer_.stop();
    stopTail();
    if (port_.isOpen()) reply_ += port_.readAll();
    holdNextReply();
    const QByteArray partial = std::exchange(reply_, {});
    if (!partial.isEmpty()) rxport::trace().bytes("DROP", partial);
    if (port_.isOpen()) rxport::trace().event("TIMEOUT");
    finishRead({});
}

void Link::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
    case QSerialPort::WriteError:
        break;
    default:
        return;
    }
    if (!port_.isOpen()) return;
    // The device went away: a port left open would report this error without end.
    const QString message = port_.errorString();
    closeNow();
    emit portLost(message);
    retry_.start();
    rxport::trace().event("LOST", message);
    lineEvent(LineEvent::Lost, message);
    if (active() && current().kind == Op::Read) {
        endRead(); // cut what came before the loss
    } else if (active() && current().kind == Op::Close) {
        timer_.stop();
        finishOp();
    }
}

void Link::closeWhenSent() {
    // Closing drops what Qt still buffers, and restores the old line settings under bytes the
    // driver still holds: let them leave first, within reason.
    const bool pending =
        port_.isOpen() && (port_.bytesToWrite() > 0 || rxport::outputQueued(port_.handle()));
    if (pending && current().ms < rxport::DrainLimitMs) {
        current().ms += rxport::DrainPollMs;
        timer_.start(rxport::DrainPollMs);
        return;
    }
    retry_.stop(); // a port closed on purpose is not reopened
    closeNow();
    finishOp();
}

void Link::closeNow() {
    if (!port_.isOpen()) return;
    rxport::trace().event("CLOSE");
    port_.close(); // what waits in the receive buffer goes with it
}

} // namespace rxline
