#include "tracelog.h"

#include "terminaltext.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace rxport {

TraceLog& TraceLog::instance() {
    static TraceLog log;
    return log;
}

TraceLog::~TraceLog() {
    if (fd_ >= 0) ::close(fd_);
}

bool TraceLog::open(const QString& path, QString* error) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    path_ = path;
    first_ = true;
    return true;
}

void TraceLog::bytes(const char* kind, const QByteArray& data) {
    if (fd_ >= 0) line(kind, data.toHex(' ').toUpper());
}

void TraceLog::event(const char* kind, const QString& detail) {
    if (fd_ >= 0) line(kind, detail.toUtf8());
}

namespace {

// "2026-12-07T09:15:02.120466-03:00": the local time of a wall-clock instant, to the
// microsecond, with its offset from UTC.
QByteArray localTime(const timespec& wall) {
    tm local{};
    ::localtime_r(&wall.tv_sec, &local);
    char date[32];
    char offset[8];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(offset, sizeof offset, "%z", &local); // -0300
    char text[64];
    std::snprintf(text, sizeof text, "%s.%06ld%.3s:%.2s", date, wall.tv_nsec / 1000, offset,
                  offset + 3);
    return text;
}

} // namespace

void TraceLog::line(const char* kind, const QByteArray& rest) {
    timespec ts{};
    timespec wall{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    if (first_) ::clock_gettime(CLOCK_REALTIME, &wall);
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%.6f", double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9);
    QByteArray text = stamp;
    if (std::exchange(first_, false)) text += '=' + localTime(wall);
    text += ' ';
    text += kind;
    if (!rest.isEmpty()) text += ' ' + rest;
    text += '\n';
    // One write per line, so a reader never sees half of one. A trace that can no longer be
    // written (a full disk) is said once and stops; the session goes on without it.
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            stop(n < 0 ? errno : EIO);
            return;
        }
        done += n;
    }
}

void TraceLog::stop(int errorNumber) {
    ::close(fd_);
    fd_ = -1;
    QString reason = QString::fromLocal8Bit(std::strerror(errorNumber));
    if (!reason.isEmpty()) reason[0] = reason[0].toLower();
    const QByteArray message =
        QStringLiteral("%1: the trace %2 can no longer be written (%3): tracing stops\n")
            .arg(QString::fromLocal8Bit(program_invocation_short_name), escaped(path_), reason)
            .toLocal8Bit();
    [[maybe_unused]] const auto written =
        ::write(STDERR_FILENO, message.constData(), std::size_t(message.size()));
}

} // namespace rxport
