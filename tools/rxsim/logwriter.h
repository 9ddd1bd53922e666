// Writer of the frame log: one line per event, each line written with one write() so that a
// reader never sees half a line unless it is still on its way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rxsim {

// CLOCK_MONOTONIC in seconds.
double monotonicNow();

class LogWriter {
  public:
    LogWriter() = default;
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Creates or truncates the file. Without a call the writer writes nothing.
    bool open(const std::string& path, std::string& error);

    void bytes(std::string_view kind, const std::vector<std::uint8_t>& data);
    void event(std::string_view kind, std::string_view detail = {});

  private:
    void line(std::string_view kind, std::string_view rest);
    int fd_ = -1;
};

} // namespace rxsim
