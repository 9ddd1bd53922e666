#include "ptyserver.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

namespace rxsim {

namespace {

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

PtyServer::PtyServer(Controller& controller, const ServerConfig& config, LogWriter& log)
    : controller_(controller), config_(config), log_(log), faults_(config.faults) {}

PtyServer::~PtyServer() {
    if (watch_ >= 0) ::close(watch_);
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

bool PtyServer::open(std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error = systemError("posix_openpt");
        return false;
    }
    char name[256];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        error = systemError("pseudo-terminal set-up");
        return false;
    }
    slavePath_ = name;
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = systemError("fcntl");
        return false;
    }

    // This descriptor is opened before the watch exists, so the watch sees only the tools'
    // opens and closes. It stays open: through it the input a tool left unread is discarded
    // when the tool closes the port, and the master never sees a hang-up between two tools.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0) {
        error = systemError("open slave");
        return false;
    }
    termios tio{};
    bool ok = ::tcgetattr(slave_, &tio) == 0;
    if (ok) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        ok = ::tcsetattr(slave_, TCSANOW, &tio) == 0;
    }
    if (!ok) {
        error = systemError("slave line settings");
        return false;
    }

    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ < 0 ||
        ::inotify_add_watch(watch_, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        error = systemError("inotify");
        return false;
    }
    return true;
}

bool PtyServer::run(int stopFd, std::string& error) {
    for (;;) {
        double now = monotonicNow();
        parser_.expire(now);
        queueParsed();
        handleDue(now);
        sendDue(monotonicNow());

        pollfd fds[3] = {{stopFd, POLLIN, 0}, {watch_, POLLIN, 0}, {master_, 0, 0}};
        nfds_t count = 2;
        if (masterActive_) {
            fds[2].events = static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0));
            count = 3;
        }
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (const auto deadline = nextDeadline()) {
            const double wait = std::max(0.0, *deadline - monotonicNow());
            timeout.tv_sec = static_cast<time_t>(wait);
            timeout.tv_nsec = static_cast<long>((wait - std::floor(wait)) * 1e9);
            timeoutPtr = &timeout;
        }
        if (::ppoll(fds, count, timeoutPtr, nullptr) < 0) {
            if (errno == EINTR) continue;
            error = systemError("ppoll");
            return false;
        }
        if (fds[0].revents != 0) return true;
        now = monotonicNow();
        if (count == 3 && fds[2].revents != 0) {
            if (fds[2].revents & POLLOUT) writeBlocked_ = false;
            if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) readMaster(now);
        }
        if (fds[1].revents != 0) readWatch();
    }
}

void PtyServer::readMaster(double now) {
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            parser_.feed(buffer, static_cast<std::size_t>(n), now);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        // EIO: the line is hung up. Leave the master alone until the watch reports again.
        masterActive_ = false;
        break;
    }
    queueParsed();
}

void PtyServer::fetchWatchEvents() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(watch_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        for (ssize_t pos = 0; pos < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + pos);
            pos += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            watchEvents_.push_back(event->mask);
        }
    }
}

void PtyServer::readWatch() {
    fetchWatchEvents();
    while (!watchEvents_.empty()) {
        const std::uint32_t mask = watchEvents_.front();
        watchEvents_.pop_front();
        if (mask & IN_OPEN) {
            ++openCount_;
            log_.event("OPEN");
        }
        if (mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
            openCount_ = std::max(0, openCount_ - 1);
            if (openCount_ == 0) slaveClosed();
            log_.event("CLOSE");
        }
        if (mask & IN_Q_OVERFLOW) {
            // Events were lost: assume the line is in use.
            openCount_ = std::max(openCount_, 1);
        }
    }
    masterActive_ = true;
}

void PtyServer::slaveClosed() {
    // Frames written just before the close still count.
    readMaster(monotonicNow());
    // A tool that reopened at once may have sent frames of its new session with them: those
    // must still be answered after their line time. Otherwise handle the frames now, so the log
    // shows them before the close.
    fetchWatchEvents();
    const bool reopened = std::any_of(watchEvents_.begin(), watchEvents_.end(),
                                      [](std::uint32_t mask) { return (mask & IN_OPEN) != 0; });
    if (!reopened) handleDue(std::numeric_limits<double>::infinity());
    // Replies under way and bytes sent but not read are lost with the close, as on a real port.
    outgoing_.clear();
    writeBlocked_ = false;
    txLineFree_ = 0;
    ::tcflush(slave_, TCIFLUSH);
}

void PtyServer::queueParsed() {
    const double byteTime = config_.pace ? kByteTime : 0.0;
    for (auto& item : parser_.take()) {
        // Bytes on a pseudo-terminal arrive at once; on the line each takes its own time.
        const double start = std::max(item.t, rxLineFree_);
        const double readyAt = start + static_cast<double>(item.bytes.size()) * byteTime;
        rxLineFree_ = readyAt;
        incoming_.push_back({std::move(item), readyAt});
    }
}

void PtyServer::handleDue(double now) {
    while (!incoming_.empty() && incoming_.front().readyAt <= now) {
        const Incoming in = std::move(incoming_.front());
        incoming_.pop_front();
        handleItem(in.item, in.readyAt);
    }
}

void PtyServer::handleItem(const ParsedItem& item, double readyAt) {
    switch (item.kind) {
    case ParsedItem::Kind::Stray:
        log_.bytes("STRAY", item.bytes);
        break;
    case ParsedItem::Kind::Modbus:
        log_.bytes("RX", item.bytes);
        controller_.handleModbus(item.bytes);
        break;
    case ParsedItem::Kind::Command: {
        log_.bytes("RX", item.bytes);
        auto reply = controller_.handleCommand(item.bytes);
        const std::size_t bit = (item.bytes[1] == 'E' ? 256u : 0u) + item.bytes[2];
        if (reply && config_.muted.test(bit)) {
            log_.event("MUTE", char(item.bytes[1]) + std::to_string(item.bytes[2]));
        } else if (reply && !config_.silent) {
            // The value follows the tag letter and the word number.
            const std::size_t valueAt = 1 + std::to_string(item.bytes[2]).size();
            scheduleReply(std::move(*reply), valueAt, readyAt);
        }
        break;
    }
    }
}

double PtyServer::byteDue(const Outgoing& out, std::size_t index) const {
    double due = out.start;
    if (config_.pace) due += static_cast<double>(index) * kByteTime;
    if (out.splitAt != 0 && index >= out.splitAt) due += kSplitGap;
    return due;
}

void PtyServer::scheduleReply(std::vector<std::uint8_t> reply, std::size_t valueAt,
                              double readyAt) {
    FaultOutcome fault = faults_.apply(std::move(reply), valueAt);
    for (const auto& kind : fault.kinds)
        log_.event("FAULT", kind);
    // A dropped reply may still leave its noise on the line.
    if (fault.bytes.empty()) return;
    Outgoing out;
    out.bytes = std::move(fault.bytes);
    out.splitAt = fault.splitAt;
    out.start = std::max(readyAt + config_.latency, txLineFree_);
    txLineFree_ = byteDue(out, out.bytes.size() - 1) + (config_.pace ? kByteTime : 0.0);
    outgoing_.push_back(std::move(out));
}

void PtyServer::sendDue(double now) {
    while (!outgoing_.empty() && !writeBlocked_) {
        if (openCount_ == 0) {
            outgoing_.clear();
            return;
        }
        Outgoing& out = outgoing_.front();
        std::size_t end = out.sent;
        while (end < out.bytes.size() && byteDue(out, end) <= now)
            ++end;
        if (end == out.sent) return;
        const ssize_t n = ::write(master_, out.bytes.data() + out.sent, end - out.sent);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                writeBlocked_ = true;
                return;
            }
            // The slave went away under the reply: what went out is what was sent.
            out.bytes.resize(out.sent);
            if (!out.bytes.empty()) log_.bytes("TX", out.bytes);
            outgoing_.pop_front();
            continue;
        }
        out.sent += static_cast<std::size_t>(n);
        if (out.sent == out.bytes.size()) {
            log_.bytes("TX", out.bytes);
            outgoing_.pop_front();
        } else if (out.sent < end) {
            writeBlocked_ = true;
            return;
        }
    }
}

std::optional<double> PtyServer::nextDeadline() const {
    std::optional<double> next;
    const auto consider = [&next](double t) {
        if (!next || t < *next) next = t;
    };
    if (!incoming_.empty()) consider(incoming_.front().readyAt);
    if (const auto expiry = parser_.deadline()) consider(*expiry + 0.001);
    if (!outgoing_.empty() && !writeBlocked_)
        consider(byteDue(outgoing_.front(), outgoing_.front().sent));
    return next;
}

} // namespace rxsim
