#include "portaccess.h"

#include <cerrno>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace rxport {

int lockExclusive(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno;
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int code = errno;
        ::flock(fd, LOCK_UN);
        return code;
    }
    return 0;
}

void unlockExclusive(int fd) {
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
}

bool outputQueued(int fd) {
    int queued = 0;
    return ::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0;
}

} // namespace rxport
