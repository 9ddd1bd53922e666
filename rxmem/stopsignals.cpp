#include "stopsignals.h"

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace rxmem {

namespace {
sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}
} // namespace

void blockStopSignals() {
    const sigset_t set = stopSet();
    sigprocmask(SIG_BLOCK, &set, nullptr);
    // A reader that went away is an error of the write, told like any other.
    std::signal(SIGPIPE, SIG_IGN);
}

StopSignals::StopSignals() {
    const sigset_t set = stopSet();
    fd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ < 0) return; // the signals stay blocked: the program ends at its own end
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &StopSignals::take);
}

StopSignals::~StopSignals() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
}

void StopSignals::take() {
    signalfd_siginfo info{};
    while (::read(fd_, &info, sizeof info) == ssize_t(sizeof info))
        emit stopRequested(int(info.ssi_signo));
}

QString signalName(int signo) {
    switch (signo) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(signo);
    }
}

} // namespace rxmem
