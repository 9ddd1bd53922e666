#include "stdstreams.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdio_ext.h>
#include <string>
#include <unistd.h>

namespace rxport {

namespace {

std::string& programName() {
    static std::string name;
    return name;
}

std::string& cannotWriteText() {
    static std::string text;
    return text;
}

bool flushFailed(int* errorNumber) {
    errno = 0;
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout);
    *errorNumber = errno != 0 ? errno : EIO;
    return failed;
}

void tell(int errorNumber) {
    const std::string line =
        programName() + ": " + cannotWriteText() + ": " + std::strerror(errorNumber) + "\n";
    [[maybe_unused]] const auto n = ::write(STDERR_FILENO, line.data(), line.size());
}

// At the program's end, after main returned or exit() was called.
void checkAtExit() {
    int errorNumber = 0;
    if (!flushFailed(&errorNumber)) return;
    tell(errorNumber);
    std::_Exit(2);
}

} // namespace

void guardStandardStreams(const char* program, const char* cannotWrite) {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int null = ::open("/dev/null", O_RDONLY);
        if (null < 0) std::_Exit(2); // nothing could be told anywhere
        if (null != fd) {            // an earlier descriptor was free: should not happen
            ::dup2(null, fd);
            ::close(null);
        }
    }
    programName() = program;
    setCannotWriteText(cannotWrite);
    std::atexit(checkAtExit);
}

void setCannotWriteText(const char* cannotWrite) {
    cannotWriteText() = cannotWrite;
}

void discardStandardOutput() {
    __fpurge(stdout);
    std::clearerr(stdout);
}

int flushStandardOutput(int status) {
    int errorNumber = 0;
    if (!flushFailed(&errorNumber)) return status;
    tell(errorNumber);
    discardStandardOutput(); // told once: the end says no more of it
    return 2;
}

} // namespace rxport
