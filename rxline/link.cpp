#include "link.h"

#include "linesettings.h"
#include "portaccess.h"
#include "portnames.h"
#include "tracelog.h"

#include <sys/file.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace rxline {

Link::Link(QObject* parent) : QObject(parent), port_(this), timer_(this) {
    setObjectName("MSComm1");
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer); // a coarse timer may end a reply wait early
    LineSettings().applyTo(port_);
    connect(&port_, &QSerialPort::readyRead, this, &Link::collect);
    connect(&port_, &QSerialPort::errorOccurred, this, &Link::onError);
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
    return openErrno_ == 0;
}

void Link::retryOpen() {
    // Quietly, about once a second, until the device is back. The path is the one the name
    // resolved to: a COMn link that is gone must not make COMn fall back to another device.
    if (port_.isOpen() || !tryOpen(nullptr)) return;
    retry_.stop();
    rxport::trace().event("OPEN", port_.portName());
    lineEvent(LineEvent::Back);
}

void Link::collect() {
    if (!active() || current().kind != Op::Read) return; // bytes wait for the next read
    reply_ += port_.readAll();
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
        // Whatever came after the line in the same delivery answers nothing that was asked.
        if (!reply_.isEmpty()) rxport::trace().bytes("DROP", std::exchange(reply_, {}));
        finishRead(*reply); // may start the next read, which collects on its own
        return;
    }
}

void Link::endRead() {
    timer_.stop();
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
