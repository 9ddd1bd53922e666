#include "savefile.h"

#include "wordfile.h"

#include <QSaveFile>

#include <libintl.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace rxwords {

namespace {

QString text(const char* msgid) {
    return QString::fromUtf8(dgettext("rxwords", msgid));
}

// Writes all of `bytes` to `fd`, going on after a short write; the errno of a failure, else 0.
int writeAll(int fd, const QByteArray& bytes) {
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, std::size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        at += n;
        left -= n;
    }
    return 0;
}

} // namespace

QString systemReason(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
        return text("no space left on the device");
    case EDQUOT:
        return text("the disk quota is used up");
    case EFBIG:
        return text("the file is larger than this session may write");
    case EROFS:
        return text("the file system is read-only");
    case EACCES:
    case EPERM:
        return text("permission denied");
    case EIO:
        return text("input/output error (is the disk or the stick still plugged in?)");
    default:
        break;
    }
    QString reason = QString::fromLocal8Bit(std::strerror(errorNumber));
    if (!reason.isEmpty()) reason[0] = reason[0].toLower();
    return reason;
}

QString saveWhole(const QString& path, const QByteArray& bytes) {
    if (const QString problem = pathProblem(path, Access::Write); !problem.isEmpty())
        return problem;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const QString problem = pathProblem(path, Access::Write);
        return problem.isEmpty() ? file.errorString() : problem;
    }
    // The bytes go straight to the temporary file's descriptor, so that each write's failure is
    // seen with its reason; QSaveFile's own buffer stays empty and its commit only renames.
    const int fd = file.handle();
    int failure = fd < 0 ? EBADF : writeAll(fd, bytes);
    if (failure == 0 && ::fsync(fd) != 0) failure = errno;
    if (failure != 0) {
        file.cancelWriting();
        file.commit(); // removes the temporary file
        return systemReason(failure);
    }
    if (!file.commit()) return file.errorString();
    return {};
}

} // namespace rxwords
