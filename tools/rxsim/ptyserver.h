// The controller's end of the line: a pseudo-terminal whose slave side the tools open as a
// serial port, served by one poll loop on one thread.
#pragma once

#include "controller.h"
#include "faults.h"
#include "frameparser.h"
#include "logwriter.h"

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace rxsim {

struct ServerConfig {
    bool pace = true;       // frames and replies take their line time at 19200 baud
    double latency = 0.001; // seconds from a complete read frame to its reply
    bool silent = false;    // never reply
    // Reads left unanswered: bit `word` for memory words, 256 + `word` for EEPROM words.
    std::bitset<512> muted;
    FaultConfig faults;
};

class PtyServer {
  public:
    // One byte of 8N1 at 19200 baud: start bit, eight data bits, stop bit.
    static constexpr double kByteTime = 10.0 / 19200.0;
    // Pause between the two pieces of a split reply.
    static constexpr double kSplitGap = 0.020;

    PtyServer(Controller& controller, const ServerConfig& config, LogWriter& log);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal, sets its slave side raw at 19200 baud and starts watching it
    // for opens and closes by other processes.
    bool open(std::string& error);
    const std::string& slavePath() const { return slavePath_; }

    // Serves the line until stopFd becomes readable; false with a message on a system error.
    bool run(int stopFd, std::string& error);

  private:
    struct Incoming {
        ParsedItem item;
        double readyAt = 0; // when its last byte has passed on the line
    };
    struct Outgoing {
        std::vector<std::uint8_t> bytes;
        double start = 0;
        std::size_t splitAt = 0;
        std::size_t sent = 0;
    };

    void readMaster(double now);
    void fetchWatchEvents();
    void readWatch();
    void slaveClosed();
    void queueParsed();
    void handleDue(double now);
    void handleItem(const ParsedItem& item, double readyAt);
    // `valueAt`: where the value's digits begin in the reply.
    void scheduleReply(std::vector<std::uint8_t> reply, std::size_t valueAt, double readyAt);
    void sendDue(double now);
    double byteDue(const Outgoing& out, std::size_t index) const;
    std::optional<double> nextDeadline() const;

    Controller& controller_;
    ServerConfig config_;
    LogWriter& log_;
    FaultInjector faults_;
    FrameParser parser_;
    int master_ = -1;
    int slave_ = -1; // held from set-up on, see open()
    int watch_ = -1;
    std::string slavePath_;
    int openCount_ = 0;        // opens of the slave by other processes not yet closed
    bool masterActive_ = true; // false after a hang-up, until the watch reports again
    bool writeBlocked_ = false;
    std::deque<std::uint32_t> watchEvents_; // masks read from the watch, not yet handled
    std::deque<Incoming> incoming_;
    std::deque<Outgoing> outgoing_;
    double rxLineFree_ = 0;
    double txLineFree_ = 0;
};

} // namespace rxsim
