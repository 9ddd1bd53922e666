#include "link.h"

#include "ports.h"

#include <sys/file.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace calcore {

namespace {
constexpr int MemoryWriteSettleMs = 50;
constexpr int DrainGuardMs = 2000;
constexpr int DrainPollMs = 5;

template <std::size_t N> QByteArray bytesOf(const std::array<std::uint8_t, N>& a) {
    return QByteArray(reinterpret_cast<const char*>(a.data()), static_cast<qsizetype>(N));
}
} // namespace

Link::Link(QObject* parent) : QObject(parent), port_(this), timer_(this) {
    setObjectName("MSComm1");
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer); // a coarse timer may end a reply wait early
    port_.setBaudRate(QSerialPort::Baud19200);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    connect(&port_, &QSerialPort::readyRead, this, &Link::collect);
    connect(&port_, &QSerialPort::errorOccurred, this, &Link::onError);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (!active_) return;
        switch (current_.kind) {
        case Op::Read:
            finishRead();
            break;
        case Op::Close:
            closeWhenSent();
            break;
        default:
            finish();
            break;
        }
    });
}

Link::~Link() {
    // Nothing is sent on the way out; queued callbacks must not run into a half-destroyed owner.
    queue_.clear();
    inserted_.clear();
    disconnect(&port_, nullptr, this, nullptr);
    if (port_.isOpen()) port_.close();
}

void Link::open(const QString& text, OpenDone done) {
    Op op{Op::Open};
    op.name = text;
    op.openDone = std::move(done);
    enqueue(std::move(op));
}

void Link::close() {
    enqueue(Op{Op::Close});
}

void Link::readWord(Space space, std::uint8_t word, ReadDone done) {
    Op op{Op::Read};
    op.space = space;
    op.word = word;
    op.bytes = bytesOf(readFrame(space, word));
    op.readDone = std::move(done);
    enqueue(std::move(op));
}

void Link::ReadMemoryWord(std::uint8_t word, ReadDone done) {
    readWord(Space::Memory, word, std::move(done));
}

void Link::ReadEepromWord(std::uint8_t word, ReadDone done) {
    readWord(Space::Eeprom, word, std::move(done));
}

void Link::WriteMemoryWord(std::uint8_t word, std::uint8_t hi, std::uint8_t lo) {
    sendRaw(bytesOf(writeFrame(Space::Memory, word, hi, lo)));
    Wait(MemoryWriteSettleMs);
}

void Link::WriteEepromWord(std::uint8_t word, std::uint8_t hi, std::uint8_t lo) {
    sendRaw(bytesOf(writeFrame(Space::Eeprom, word, hi, lo)));
}

void Link::sendRaw(const QByteArray& bytes) {
    Op op{Op::Send};
    op.bytes = bytes;
    enqueue(std::move(op));
}

void Link::Wait(int ms) {
    Op op{Op::Pause};
    op.ms = ms;
    enqueue(std::move(op));
}

void Link::then(std::function<void()> fn) {
    Op op{Op::Call};
    op.call = std::move(fn);
    enqueue(std::move(op));
}

void Link::enqueue(Op op) {
    if (inCall_) {
        inserted_.push_back(std::move(op));
        return;
    }
    queue_.push_back(std::move(op));
    pump();
}

void Link::pump() {
    if (pumping_) return;
    pumping_ = true;
    while (!active_ && !queue_.empty()) {
        current_ = std::move(queue_.front());
        queue_.pop_front();
        active_ = true;
        start(current_);
    }
    pumping_ = false;
    if (!busy()) emit idle();
}

void Link::start(Op& op) {
    switch (op.kind) {
    case Op::Open: {
        if (port_.isOpen()) port_.close();
        const auto path = resolvePortName(op.name.toStdString(), PortEnvironment::fromSystem());
        port_.setPortName(QString::fromStdString(path));
        bool ok = port_.open(QIODevice::ReadWrite);
        QString error = ok ? QString() : port_.errorString();
        // The device's exclusive mode does not hold for root, and the memory editor locks the
        // device itself: take the same lock, so that no two tools share a port.
        if (ok && ::flock(port_.handle(), LOCK_EX | LOCK_NB) != 0) {
            error = QString::fromLocal8Bit(std::strerror(EBUSY));
            port_.close();
            ok = false;
        }
        auto done = std::move(op.openDone);
        finish();
        if (done) done(ok, error);
        return;
    }
    case Op::Close:
        closeWhenSent(); // counts its waiting in op.ms, which starts at 0
        return;
    case Op::Send:
        if (port_.isOpen()) {
            port_.write(op.bytes);
            port_.flush(); // hand the frame to the driver now, not on the next loop pass
        }
        finish();
        return;
    case Op::Read:
        reply_.clear();
        if (!port_.isOpen()) {
            finishRead();
            return;
        }
        port_.write(op.bytes);
        port_.flush();
        timer_.start(ReplyTimeoutMs);
        collect(); // a reply left over from earlier traffic already waits in the buffer
        return;
    case Op::Pause:
        timer_.start(op.ms);
        return;
    case Op::Call: {
        auto fn = std::move(op.call);
        inCall_ = true;
        fn();
        inCall_ = false;
        for (auto it = inserted_.rbegin(); it != inserted_.rend(); ++it) {
            queue_.push_front(std::move(*it));
        }
        inserted_.clear();
        finish();
        return;
    }
    }
}

void Link::finish() {
    active_ = false;
    current_ = Op();
    pump();
}

void Link::collect() {
    if (!active_ || current_.kind != Op::Read) return; // bytes wait for the next read
    reply_ += port_.readAll();
    const auto cr = reply_.indexOf(char(CR));
    if (cr < 0) return;
    // Whatever came after the first CR in the same delivery is dropped with the reply.
    reply_.truncate(cr + 1);
    finishRead();
}

void Link::finishRead() {
    timer_.stop();
    const auto echo = current_.space == Space::Memory ? memoryEcho_ : EchoDigits::UpToTwo;
    const std::string value = cutValue(std::string_view(reply_.constData(), reply_.size()),
                                       tagOf(current_.space), current_.word, echo);
    auto done = std::move(current_.readDone);
    reply_.clear();
    if (done) done(value);
    finish();
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
    if (active_ && current_.kind == Op::Read) {
        finishRead(); // cut what came before the loss
    } else if (active_ && current_.kind == Op::Close) {
        timer_.stop();
        finish();
    }
}

void Link::closeWhenSent() {
    // Closing drops what Qt still buffers, and restores the old line settings under bytes the
    // driver still holds: let them leave first, within reason.
    int queued = 0;
    const bool pending =
        port_.isOpen() && (port_.bytesToWrite() > 0 ||
                           (::ioctl(port_.handle(), TIOCOUTQ, &queued) == 0 && queued > 0));
    if (pending && current_.ms < DrainGuardMs) {
        current_.ms += DrainPollMs;
        timer_.start(DrainPollMs);
        return;
    }
    closeNow();
    finish();
}

void Link::closeNow() {
    if (!port_.isOpen()) return;
    port_.close(); // what waits in the receive buffer goes with it
}

} // namespace calcore
