#pragma once

namespace memedit {

// Sets a line speed that has no Bxxx constant (14400, 56000, 128000, 256000 and custom
// rates) through the kernel's termios2 interface. Returns 0 or the errno value.
int setArbitraryBaudRate(int fd, int rate);

} // namespace memedit
