#include "portaccess.h"

#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace rxport {

QString openFailureReason(int errnoValue) {
    switch (errnoValue) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("A porta não existe neste computador (o cabo ou o adaptador USB "
                              "está ligado?).");
    case EACCES:
    case EPERM:
        return QStringLiteral("Sem permissão para usar a porta: o usuário precisa pertencer ao "
                              "grupo dialout.");
    case EBUSY:
    case EWOULDBLOCK:
        return QStringLiteral("A porta está em uso por outro programa.");
    case EISDIR:
    case ENOTTY:
        return QStringLiteral("Este nome não é de uma porta serial.");
    default:
        return QString::fromLocal8Bit(std::strerror(errnoValue));
    }
}

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
