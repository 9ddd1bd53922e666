// One program at a time on a device, and no frame cut off by a close.
#pragma once

#include <QString>

namespace rxport {

// The usual refusals of an open, by the system's reason (an errno value).
enum class OpenRefusal { Missing, Permission, Busy, NotSerial, Other };
OpenRefusal openRefusal(int errnoValue);

// Why a port could not be opened, as a Portuguese sentence a technician can act on: the usual
// refusals (no such device, no permission, in use, not a serial port) in our own words, any
// other in the system's words (translated where the system has the translation).
QString openFailureReason(int errnoValue);

// Takes the device open on fd for this program alone: an advisory lock (flock) every one of
// our tools takes, and the terminal's exclusive mode against other programs. The kernel lets
// root past the exclusive mode, so the lock is what keeps two of our tools apart. Returns 0,
// or the errno value of the refusal; a refused fd is left holding neither.
int lockExclusive(int fd);

// Leaves the terminal's exclusive mode and drops the lock (closing the fd drops it too).
void unlockExclusive(int fd);

// Takes the device at path as every tool takes its port: opened for reading and writing, as no
// controlling terminal, without blocking, then lockExclusive. Returns the fd, or -1 with
// *refusal set to the errno value: ENOENT for no such device, EACCES, EBUSY for another
// program's exclusive mode, EWOULDBLOCK for another tool's lock.
int takeDevice(const QString& path, int* refusal);

// Why the device at path cannot be had now, asked of the device itself: the refusal of its open
// or of its lock as takeDevice meets them, ENOTTY for a device that is no terminal, 0 when
// nothing refuses. It leaves the device as it was (its exclusive mode is not touched). A port
// object's own refusal may not say this: QSerialPort refuses a device another program opened
// under the same name by its lock file, with errno left as its checks of that file left it.
int deviceRefusal(const QString& path);

// Closing a port discards what its driver has not sent yet. Before a close the tools poll
// outputQueued every DrainPollMs, for at most DrainLimitMs: long enough for a frame at a slow
// rate or behind a short flow-control hold, short enough that a stuck line does not hang the
// program.
inline constexpr int DrainLimitMs = 2000;
inline constexpr int DrainPollMs = 5;

// True while bytes written to fd still wait in the driver's transmit queue. A device that
// cannot tell has nothing to wait for.
bool outputQueued(int fd);

} // namespace rxport
