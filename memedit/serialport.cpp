#include "serialport.h"

#include "custombaud.h"
#include "errors.h"
#include "serialsetupform.h"

#include "portaccess.h"
#include "portnames.h"
#include "tracelog.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <dirent.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace memedit {

namespace {

speed_t standardSpeed(int rate) {
    switch (rate) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

tcflag_t dataBitsFlag(int bits) {
    switch (bits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

} // namespace

const QList<int>& PortSettings::standardBaudRates() {
    static const QList<int> rates{110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                  19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return rates;
}

FlowControl PortSettings::flowControl() const {
    const bool rtsHandshake = rts == RtsControl::Handshake;
    if (rtsHandshake && outCtsFlow && !xonXoffIn && !xonXoffOut) return FlowControl::Hardware;
    if (!rtsHandshake && !outCtsFlow && !outDsrFlow && xonXoffIn && xonXoffOut)
        return FlowControl::Software;
    if (!rtsHandshake && !outCtsFlow && !outDsrFlow && !xonXoffIn && !xonXoffOut)
        return FlowControl::None;
    return FlowControl::Custom;
}

void PortSettings::setFlowControl(FlowControl flow) {
    switch (flow) {
    case FlowControl::Hardware:
        rts = RtsControl::Handshake;
        outCtsFlow = true;
        outDsrFlow = false;
        xonXoffIn = xonXoffOut = false;
        break;
    case FlowControl::Software:
    case FlowControl::None:
        if (rts == RtsControl::Handshake) rts = RtsControl::Disable;
        outCtsFlow = outDsrFlow = false;
        xonXoffIn = xonXoffOut = flow == FlowControl::Software;
        break;
    case FlowControl::Custom:
        break;
    }
}

SerialPort::SerialPort(QObject* parent) : QObject(parent) {}

SerialPort::~SerialPort() {
    closeDevice();
}

void SerialPort::applySettings(const PortSettings& settings) {
    const bool reopen = Connected() && settings.port != settings_.port;
    const bool reconfigure = Connected() && !reopen && !(settings == settings_);
    settings_ = settings;
    if (reopen) {
        Close();
        Open();
    } else if (reconfigure) {
        configure(fd_);
        setModemLines(fd_);
    }
}

void SerialPort::Open() {
    if (Connected()) return;
    // No port picked in the dialog: there is no such device.
    if (settings_.port.isEmpty()) throw PortError(PortErrorNumber::Open, ENOENT);
    const QString path = rxport::resolvePortName(settings_.port);
    // No other program, and no calibration tool, shares the controller's line with us.
    int code = 0;
    const int fd = rxport::takeDevice(path, &code);
    if (fd < 0) {
        rxport::trace().event("OPENFAIL", path);
        throw PortError(PortErrorNumber::Open, code);
    }
    try {
        configure(fd);
    } catch (...) {
        rxport::unlockExclusive(fd);
        ::close(fd);
        throw;
    }
    setModemLines(fd);
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    unsent_.clear();
    readNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &SerialPort::onReadable);
    writeNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &SerialPort::onWritable);
    updateNotifier();
    rxport::trace().event("OPEN", path);
}

void SerialPort::traceSent(const QByteArray& bytes) {
    if (!rxport::trace().isOpen()) return;
    // A command hands its frame over in pieces within one step: the trace shows the frame.
    if (traceOut_.isEmpty()) QTimer::singleShot(0, this, &SerialPort::flushTrace);
    traceOut_ += bytes;
}

void SerialPort::traceReceived(const QByteArray& bytes) {
    if (!rxport::trace().isOpen()) return;
    traceIn_ += bytes;
    for (qsizetype cr; (cr = traceIn_.indexOf('\r')) >= 0;) {
        rxport::trace().bytes("RX", traceIn_.left(cr + 1));
        traceIn_.remove(0, cr + 1);
    }
}

void SerialPort::flushTrace() {
    if (!traceOut_.isEmpty()) rxport::trace().bytes("TX", std::exchange(traceOut_, {}));
    if (!traceIn_.isEmpty()) rxport::trace().bytes("RX", std::exchange(traceIn_, {}));
}

void SerialPort::configure(int fd) const {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) throw PortError(PortErrorNumber::SetState, errno);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= dataBitsFlag(settings_.dataBits);
    switch (settings_.parity) {
    case Parity::None:
        break;
    case Parity::Odd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case Parity::Even:
        tio.c_cflag |= PARENB;
        break;
    case Parity::Mark:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case Parity::Space:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    switch (settings_.stopBits) {
    case StopBits::One:
        break;
    case StopBits::OnePointFive:
        // With 5 data bits the UART's second stop bit lasts half a bit: 1.5 exists only there,
        // and 2 only with longer words. Any other pairing is refused, not sent otherwise.
        if (settings_.dataBits != 5) throw PortError(PortErrorNumber::SetState, EINVAL);
        tio.c_cflag |= CSTOPB;
        break;
    case StopBits::Two:
        if (settings_.dataBits == 5) throw PortError(PortErrorNumber::SetState, EINVAL);
        tio.c_cflag |= CSTOPB;
        break;
    }
    if (settings_.outCtsFlow || settings_.rts == RtsControl::Handshake) tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (settings_.xonXoffOut) tio.c_iflag |= IXON;
    if (settings_.xonXoffIn) tio.c_iflag |= IXOFF;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const int rate = settings_.effectiveBaudRate();
    const speed_t speed = standardSpeed(rate);
    if (speed != B0) {
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
    }
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) throw PortError(PortErrorNumber::SetState, errno);
    if (speed == B0) {
        if (rate <= 0) throw PortError(PortErrorNumber::SetState, EINVAL);
        if (const int code = setArbitraryBaudRate(fd, rate); code != 0)
            throw PortError(PortErrorNumber::SetState, code);
    }
}

void SerialPort::setModemLines(int fd) const {
    // Devices without modem lines (pseudo-terminals) refuse these requests: harmless.
    int dtr = TIOCM_DTR;
    ::ioctl(fd, settings_.dtr == DtrControl::Enable ? TIOCMBIS : TIOCMBIC, &dtr);
    if (settings_.rts != RtsControl::Handshake) {
        int rts = TIOCM_RTS;
        ::ioctl(fd, settings_.rts == RtsControl::Enable ? TIOCMBIS : TIOCMBIC, &rts);
    }
}

void SerialPort::Close() {
    if (!Connected()) return;
    const int purged = ::tcflush(fd_, TCIOFLUSH);
    const int code = errno;
    closeDevice();
    if (purged != 0) throw PortError(PortErrorNumber::Purge, code);
}

void SerialPort::closeDevice() {
    if (fd_ < 0) return;
    flushTrace();
    rxport::trace().event("CLOSE");
    delete readNotifier_;
    readNotifier_ = nullptr;
    delete writeNotifier_;
    writeNotifier_ = nullptr;
    rxport::unlockExclusive(fd_);
    ::close(fd_);
    fd_ = -1;
    unsent_.clear();
}

namespace {
// Writes as much as the device takes now. Returns the count written; *error is set to the
// errno value of a failure other than a full queue.
qsizetype writeAvailable(int fd, const QByteArray& bytes, int* error) {
    qsizetype done = 0;
    *error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) *error = n < 0 ? errno : EIO;
            break;
        }
    }
    return done;
}
} // namespace

qint64 SerialPort::SendText(const QByteArray& text) {
    if (!Connected()) throw PortError(PortErrorNumber::WriteFile, EBADF);
    if (!unsent_.isEmpty()) {
        // Earlier bytes still wait for room: keep the order.
        traceSent(text);
        unsent_ += text;
        return text.size();
    }
    traceSent(text);
    int error = 0;
    const qsizetype done = writeAvailable(fd_, text, &error);
    if (error != 0) throw PortError(PortErrorNumber::WriteFile, error);
    if (done < text.size()) {
        // The device's queue is full: the rest leaves when it has room.
        unsent_ = text.mid(done);
        writeNotifier_->setEnabled(true);
    }
    return text.size();
}

void SerialPort::onWritable() {
    int error = 0;
    unsent_.remove(0, writeAvailable(fd_, unsent_, &error));
    if (error != 0) {
        const PortError failure(PortErrorNumber::WriteFile, error);
        closeDevice();
        emit failed(failure.message());
        return;
    }
    if (unsent_.isEmpty()) writeNotifier_->setEnabled(false);
}

bool SerialPort::outputPending() const {
    if (!Connected()) return false;
    if (!unsent_.isEmpty()) return true;
    return rxport::outputQueued(fd_);
}

QByteArray SerialPort::ReceiveText(int count) {
    if (!Connected()) throw PortError(PortErrorNumber::ReadFile, EBADF);
    QByteArray text(qMax(count, 0), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd_, text.data() + got, size_t(text.size() - got));
        if (n > 0) {
            got += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            break;
        } else {
            throw PortError(PortErrorNumber::ReadFile, errno);
        }
    }
    text.truncate(got);
    traceReceived(text);
    return text;
}

void SerialPort::holdEvents(bool hold) {
    held_ = hold;
    updateNotifier();
}

void SerialPort::updateNotifier() {
    if (readNotifier_ != nullptr) readNotifier_->setEnabled(!held_);
}

void SerialPort::onReadable() {
    if (held_) return;
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) == 0 && count > 0) {
        emit OnRxChar(count);
        return;
    }
    // Readable with nothing waiting: the device hung up or went away. Closing at once stops
    // the notifier from firing without end.
    pollfd pfd{fd_, POLLIN, 0};
    if (::poll(&pfd, 1, 0) <= 0 || (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) return;
    const PortError error(PortErrorNumber::ReadFile, EIO);
    closeDevice();
    emit failed(error.message());
}

QDialog* SerialPort::ShowSetup(QWidget* parent) {
    const rxport::PortEnvironment env = rxport::PortEnvironment::fromSystem();
    // A COM folder that cannot be read leaves the COMn names unknown: say so rather than
    // offer a list that lacks them.
    if (DIR* dir = ::opendir(QFile::encodeName(env.comDir).constData()); dir != nullptr) {
        ::closedir(dir);
    } else {
        throw PortError(PortErrorNumber::Registry, errno);
    }
    const QStringList ports = rxport::portList(env);
    auto* dialog = new SerialSetupForm(settings_, ports, parent);
    connect(dialog, &SerialSetupForm::chosen, this, [this](const PortSettings& chosen) {
        try {
            applySettings(chosen);
        } catch (const PortError& error) {
            emit failed(error.message());
        }
    });
    dialog->open();
    return dialog;
}

} // namespace memedit
