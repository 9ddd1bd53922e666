// Serial port naming on Linux: "COMn" and the probe of COM1..COM16. Never opens a port.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace calcore {

// Where the names are looked up. The defaults come from the environment: RX_COM_DIR (default
// /dev) holds COMn links, /dev/ttyS<n-1> is the fallback, /sys tells real UARTs from phantoms.
struct PortEnvironment {
    std::string comDir = "/dev";
    std::string ttySPrefix = "/dev/ttyS";
    std::string sysfsRoot = "/sys";

    static PortEnvironment fromSystem();
};

// The whole decimal number after "COM" (case-insensitive), or nothing when the text is not
// "COM" and a number.
std::optional<int> portNumber(const std::string& text);

// The device path for a port box text: COMn as $RX_COM_DIR/COMn when that entry exists, else
// /dev/ttyS<n-1>; any other text is a device name (ttyACM0 -> /dev/ttyACM0) or a path.
std::string resolvePortName(const std::string& text, const PortEnvironment& env);

// True when COMn exists and is a serial device: a character device that is a pseudo-terminal
// slave or a tty of the system; a ttyS whose UART was not found (type 0) does not count.
bool PortExists(int n, const PortEnvironment& env);

// "COM1" .. "COM16" for the ports that exist, in ascending order.
std::vector<std::string> probePorts(const PortEnvironment& env);

} // namespace calcore
