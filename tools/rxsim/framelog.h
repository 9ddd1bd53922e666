// Reader of the simulator's frame log, for tests that check what went over the line.
// One line per event: "<t> <KIND> [<hex bytes> | <word>]", t = CLOCK_MONOTONIC seconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace rxsim {

// "52 4D 15 0D": uppercase, two digits a byte, one blank between bytes.
inline std::string toHex(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

struct LogEntry {
    double t = 0;
    std::string kind;                // RX, TX, STRAY, OPEN, CLOSE, FAULT
    std::vector<std::uint8_t> bytes; // RX, TX, STRAY
    std::string detail;              // FAULT: drop, corrupt, split, wrongtag, noise
};

class FrameLog {
  public:
    explicit FrameLog(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Remembers the current end of the file; later calls see only lines written after it.
    void mark() {
        std::ifstream in(path_, std::ios::binary | std::ios::ate);
        mark_ = in ? static_cast<std::size_t>(in.tellg()) : 0;
    }

    // Re-reads the file from the mark. A last line still without its newline is left out.
    std::vector<LogEntry> entries() const {
        std::vector<LogEntry> result;
        std::ifstream in(path_, std::ios::binary);
        if (!in) return result;
        in.seekg(static_cast<std::streamoff>(mark_));
        std::string line;
        while (std::getline(in, line)) {
            if (in.eof()) break; // unterminated: still being written
            LogEntry entry;
            if (parseLine(line, entry)) result.push_back(std::move(entry));
        }
        return result;
    }

    // The bytes of the RX entries only.
    std::vector<std::vector<std::uint8_t>> rxFrames() const {
        std::vector<std::vector<std::uint8_t>> frames;
        for (auto& entry : entries()) {
            if (entry.kind == "RX") frames.push_back(std::move(entry.bytes));
        }
        return frames;
    }

    static bool parseLine(const std::string& line, LogEntry& entry) {
        std::istringstream words(line);
        std::string time;
        if (!(words >> time >> entry.kind)) return false;
        char* end = nullptr;
        entry.t = std::strtod(time.c_str(), &end);
        if (end == time.c_str()) return false;
        const bool hex = entry.kind == "RX" || entry.kind == "TX" || entry.kind == "STRAY";
        std::string word;
        while (words >> word) {
            if (!hex) {
                entry.detail = word;
                continue;
            }
            if (word.size() != 2) return false;
            const unsigned long value = std::strtoul(word.c_str(), &end, 16);
            if (*end != '\0') return false;
            entry.bytes.push_back(static_cast<std::uint8_t>(value));
        }
        return true;
    }

  private:
    std::string path_;
    std::size_t mark_ = 0;
};

} // namespace rxsim
