// Kept apart from the <termios.h> users: <asm/termbits.h> declares its own struct termios.
#include "custombaud.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace memedit {

int setArbitraryBaudRate(int fd, int rate) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return errno;
    tio.c_cflag &= ~CBAUD;
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = static_cast<speed_t>(rate);
    tio.c_ospeed = static_cast<speed_t>(rate);
    if (ioctl(fd, TCSETS2, &tio) != 0) return errno;
    return 0;
}

} // namespace memedit
