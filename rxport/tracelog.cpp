#include "tracelog.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

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
    return true;
}

void TraceLog::bytes(const char* kind, const QByteArray& data) {
    if (fd_ >= 0) line(kind, data.toHex(' ').toUpper());
}

void TraceLog::event(const char* kind, const QString& detail) {
    if (fd_ >= 0) line(kind, detail.toUtf8());
}

void TraceLog::line(const char* kind, const QByteArray& rest) {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%.6f ", double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9);
    QByteArray text = stamp;
    text += kind;
    if (!rest.isEmpty()) text += ' ' + rest;
    text += '\n';
    // One write per line, so a reader never sees half of one; a full disk loses trace lines,
    // never the session.
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += n;
    }
}

} // namespace rxport
