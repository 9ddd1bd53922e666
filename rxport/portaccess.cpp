#include "portaccess.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace rxport {

OpenRefusal openRefusal(int errnoValue) {
    switch (errnoValue) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return OpenRefusal::Missing;
    case EACCES:
    case EPERM:
        return OpenRefusal::Permission;
    case EBUSY:
    case EWOULDBLOCK:
        return OpenRefusal::Busy;
    case EISDIR:
    case ENOTTY:
        return OpenRefusal::NotSerial;
    default:
        return OpenRefusal::Other;
    }
}

QString openFailureReason(int errnoValue) {
    switch (openRefusal(errnoValue)) {
    case OpenRefusal::Missing:
        return QStringLiteral("A porta não existe neste computador (o cabo ou o adaptador USB "
                              "está ligado?).");
    case OpenRefusal::Permission:
        return QStringLiteral("Sem permissão para usar a porta: o usuário precisa pertencer ao "
                              "grupo dialout.");
    case OpenRefusal::Busy:
        return QStringLiteral("A porta está em uso por outro programa.");
    case OpenRefusal::NotSerial:
        return QStringLiteral("Este nome não é de uma porta serial.");
    case OpenRefusal::Other:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(errnoValue));
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

namespace {

int openDevice(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

} // namespace

int takeDevice(const QString& path, int* refusal) {
    const int fd = openDevice(path);
    *refusal = fd < 0 ? errno : lockExclusive(fd);
    if (fd < 0 || *refusal == 0) return fd;
    ::close(fd);
    return -1;
}

int deviceRefusal(const QString& path) {
    const int fd = openDevice(path);
    if (fd < 0) return errno;
    int code = 0;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        code = errno;
    } else {
        ::flock(fd, LOCK_UN);
        if (!::isatty(fd)) code = ENOTTY;
    }
    ::close(fd);
    return code;
}

bool outputQueued(int fd) {
    int queued = 0;
    return ::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0;
}

} // namespace rxport
