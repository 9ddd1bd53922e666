#include "ports.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace calcore {

PortEnvironment PortEnvironment::fromSystem() {
    PortEnvironment env;
    if (const char* dir = std::getenv("RX_COM_DIR"); dir && *dir) env.comDir = dir;
    return env;
}

std::optional<int> portNumber(const std::string& text) {
    if (text.size() < 4 || text.size() > 8) return std::nullopt;
    for (int k = 0; k < 3; ++k) {
        if (std::toupper(static_cast<unsigned char>(text[k])) != "COM"[k]) return std::nullopt;
    }
    int n = 0;
    for (std::size_t k = 3; k < text.size(); ++k) {
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) return std::nullopt;
        n = n * 10 + (text[k] - '0');
    }
    if (n < 1 || n > 32767) return std::nullopt;
    return n;
}

namespace {

bool entryExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string comPath(int n, const PortEnvironment& env) {
    const std::string link = env.comDir + "/COM" + std::to_string(n);
    if (entryExists(link)) return link;
    return env.ttySPrefix + std::to_string(n - 1);
}

std::string readFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (in) std::getline(in, line);
    return line;
}

} // namespace

std::string resolvePortName(const std::string& text, const PortEnvironment& env) {
    if (auto n = portNumber(text)) return comPath(*n, env);
    if (text.find('/') != std::string::npos) return text;
    return "/dev/" + text;
}

bool PortExists(int n, const PortEnvironment& env) {
    if (n < 1) return false;
    struct stat st {};
    if (::stat(comPath(n, env).c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned maj = major(st.st_rdev);
    const unsigned min = minor(st.st_rdev);
    // Pseudo-terminal slaves (the simulator, remote serial bridges) have no sysfs entry.
    if (maj >= 136 && maj <= 143) return true;
    const std::string sys =
        env.sysfsRoot + "/dev/char/" + std::to_string(maj) + ":" + std::to_string(min);
    struct stat sysSt {};
    if (::stat((sys + "/subsystem").c_str(), &sysSt) != 0) return false;
    // Only ttys count; a UART port whose chip was not found reports type 0.
    std::string uevent;
    {
        std::ifstream in(sys + "/uevent");
        std::string line;
        while (std::getline(in, line))
            uevent += line + "\n";
    }
    if (uevent.find("DEVNAME=tty") == std::string::npos) return false;
    const std::string type = readFirstLine(sys + "/type");
    if (!type.empty() && type == "0") return false;
    return true;
}

std::vector<std::string> probePorts(const PortEnvironment& env) {
    std::vector<std::string> out;
    for (int n = 1; n <= 16; ++n) {
        if (PortExists(n, env)) out.push_back("COM" + std::to_string(n));
    }
    return out;
}

} // namespace calcore
