// rxsim: plays one VELMORA RX controller on a pseudo-terminal.
#include "controller.h"
#include "logwriter.h"
#include "options.h"
#include "ptyserver.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

namespace {

rxsim::ClockTime localClock() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_mday, local.tm_hour, local.tm_min, std::min(local.tm_sec, 59)};
}

// Publishes the slave under linkPath atomically: the link appears complete or not at all.
bool publishLink(const std::string& target, const std::string& linkPath, std::string& error) {
    const std::string temp = linkPath + ".rxsim-" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0 ||
        ::rename(temp.c_str(), linkPath.c_str()) != 0) {
        error = "cannot publish " + linkPath + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// Removes the link only while it still points at this simulator's terminal.
void removeLink(const std::string& target, const std::string& linkPath) {
    char buffer[4096];
    const ssize_t n = ::readlink(linkPath.c_str(), buffer, sizeof buffer - 1);
    if (n > 0 && std::string(buffer, static_cast<std::size_t>(n)) == target)
        ::unlink(linkPath.c_str());
}

void removePidfile(const std::string& path) {
    std::ifstream in(path);
    long pid = 0;
    if (in >> pid && pid == ::getpid()) ::unlink(path.c_str());
}

} // namespace

#ifndef RX_VERSION
#error "RX_VERSION must name the package's version"
#endif

int main(int argc, char** argv) {
    // --version answers before the other options are checked.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("rxsim %s\n", RX_VERSION);
            return 0;
        }
    }
    rxsim::Options options;
    std::string error;
    if (!rxsim::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "rxsim: %s\n%s", error.c_str(), rxsim::usageText());
        return 2;
    }
    if (options.help) {
        std::fputs(rxsim::usageText(), stdout);
        std::fputs("Also:\n"
                   "  --help         this text\n"
                   "  --version      the simulator's version\n",
                   stdout);
        return 0;
    }

    // Termination requests arrive through a descriptor the loop polls.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int stopFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (stopFd < 0) {
        std::fprintf(stderr, "rxsim: signalfd: %s\n", std::strerror(errno));
        return 1;
    }

    rxsim::LogWriter log;
    if (!options.log.empty() && !log.open(options.log, error)) {
        std::fprintf(stderr, "rxsim: %s\n", error.c_str());
        return 1;
    }

    rxsim::Controller controller(options.model, rxsim::monotonicNow, localClock());
    controller.setPadded(options.pad);
    for (const auto& set : options.settings) {
        if (set.space == 'M')
            controller.writeMemory(set.word, set.value);
        else
            controller.writeEeprom(set.word, set.value);
    }
    for (const auto& step : options.steps)
        controller.stepMemory(step.word, step.value, step.atSeconds);

    rxsim::ServerConfig config;
    config.pace = options.pace;
    config.latency = options.latencyMs / 1000.0;
    config.silent = options.silent;
    for (const auto& w : options.muted)
        config.muted.set((w.space == 'E' ? 256u : 0u) + w.word);
    config.faults = options.faults;
    rxsim::PtyServer server(controller, config, log);
    if (!server.open(error)) {
        std::fprintf(stderr, "rxsim: %s\n", error.c_str());
        return 1;
    }

    if (!options.pidfile.empty()) {
        std::ofstream pid(options.pidfile, std::ios::trunc);
        pid << ::getpid() << '\n';
        if (!pid) {
            std::fprintf(stderr, "rxsim: cannot write %s\n", options.pidfile.c_str());
            return 1;
        }
    }
    if (!options.link.empty() && !publishLink(server.slavePath(), options.link, error)) {
        std::fprintf(stderr, "rxsim: %s\n", error.c_str());
        removePidfile(options.pidfile);
        return 1;
    }
    std::printf("rxsim: %s on %s\n", rxsim::modelName(options.model), server.slavePath().c_str());
    std::fflush(stdout);

    const bool ok = server.run(stopFd, error);
    if (!ok) std::fprintf(stderr, "rxsim: %s\n", error.c_str());

    if (!options.link.empty()) removeLink(server.slavePath(), options.link);
    if (!options.pidfile.empty()) removePidfile(options.pidfile);
    ::close(stopFd);
    return ok ? 0 : 1;
}
