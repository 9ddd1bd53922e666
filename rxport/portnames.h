// Serial port names on Linux: "COMn" as the technician knows the ports, device names and
// paths; the probe of COM1..COM16 and the port list. Nothing here opens a port.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace rxport {

// Where the names are looked up. fromSystem() takes RX_COM_DIR (default /dev), the folder that
// holds COMn links; /dev/ttyS<n-1> is the fallback, /sys tells real UARTs from phantoms.
struct PortEnvironment {
    QString comDir = QStringLiteral("/dev");
    QString ttySPrefix = QStringLiteral("/dev/ttyS");
    QString sysfsRoot = QStringLiteral("/sys");

    static PortEnvironment fromSystem();
};

// The whole decimal number after "COM" (in any case: "com3" is 3), or nothing when the text is
// not "COM" and a number from 1 to 32767.
std::optional<int> portNumber(const QString& text);

// The device path for a port name: COMn is the entry COMn of the COM folder when that entry
// exists, else /dev/ttyS<n-1>; any other text is a device name (ttyACM0 -> /dev/ttyACM0) or,
// when it holds a slash, a path.
QString resolvePortName(const QString& text,
                        const PortEnvironment& env = PortEnvironment::fromSystem());

// What tells one device from another behind a port name: two names reach the same device when
// their identities are equal (COM1 and COM01; COM3 and the device its link leads to). The
// device's number where the device exists, else the path the name resolves to.
QString deviceIdentity(const QString& text,
                       const PortEnvironment& env = PortEnvironment::fromSystem());

// True when the device at `path` is a serial device: a character device that is a
// pseudo-terminal slave or a tty of the system; a ttyS whose UART was not found (type 0) does
// not count.
bool isSerialDevice(const QString& path,
                    const PortEnvironment& env = PortEnvironment::fromSystem());

// True when COMn exists and is a serial device (isSerialDevice).
bool PortExists(int n, const PortEnvironment& env = PortEnvironment::fromSystem());

// "COM1" .. "COM16" for the ports that exist, in ascending order.
QStringList probePorts(const PortEnvironment& env = PortEnvironment::fromSystem());

// The ports to offer: probePorts(), then the other serial devices of the system by device
// name (ttyUSB0), leaving out those a listed COMn already reaches, in name order.
QStringList portList(const PortEnvironment& env = PortEnvironment::fromSystem());

} // namespace rxport
