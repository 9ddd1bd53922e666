#include "logwriter.h"

#include "framelog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace rxsim {

double monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

LogWriter::~LogWriter() {
    if (fd_ >= 0) ::close(fd_);
}

bool LogWriter::open(const std::string& path, std::string& error) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error = "cannot open log " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void LogWriter::bytes(std::string_view kind, const std::vector<std::uint8_t>& data) {
    line(kind, toHex(data));
}

void LogWriter::event(std::string_view kind, std::string_view detail) {
    line(kind, detail);
}

void LogWriter::line(std::string_view kind, std::string_view rest) {
    if (fd_ < 0) return;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f ", monotonicNow());
    std::string text = stamp;
    text += kind;
    if (!rest.empty()) {
        text += ' ';
        text += rest;
    }
    text += '\n';
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return; // a full disk loses log lines, never the simulation
        done += static_cast<std::size_t>(n);
    }
}

} // namespace rxsim
