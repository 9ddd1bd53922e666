// Splits the bytes arriving on the controller's line into command frames, Modbus broadcasts
// and stray bytes. Frames are recognised by their first two bytes and then have a fixed
// length: the word number and the data bytes are binary and may be anything, CR included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace rxsim {

inline constexpr std::uint8_t kCR = 0x0D;
inline constexpr std::size_t kReadFrameSize = 4;  // "RM" a CR
inline constexpr std::size_t kWriteFrameSize = 6; // "WM" a hi lo CR

struct ParsedItem {
    enum class Kind { Command, Modbus, Stray };
    Kind kind = Kind::Stray;
    std::vector<std::uint8_t> bytes;
    double t = 0; // arrival time of the first byte, seconds
};

class FrameParser {
  public:
    // An unfinished frame is dropped once no byte has arrived for this long.
    static constexpr double kPartialTimeout = 0.100;

    void feed(const std::uint8_t* data, std::size_t size, double t);
    void feed(const std::vector<std::uint8_t>& bytes, double t) {
        feed(bytes.data(), bytes.size(), t);
    }
    // Drops an unfinished frame whose last byte came more than kPartialTimeout before now.
    void expire(double now);
    // When the unfinished frame (if any) will expire.
    std::optional<double> deadline() const;
    bool hasPartial() const { return !buffer_.empty(); }
    // Items recognised since the last call, in line order.
    std::vector<ParsedItem> take();

  private:
    void scan();
    void emit(ParsedItem::Kind kind, std::size_t count);
    void dropStray(std::size_t count);

    std::vector<std::uint8_t> buffer_;
    std::vector<double> times_;
    double lastByte_ = 0;
    std::vector<ParsedItem> out_;
    bool lastWasStray_ = false;
};

} // namespace rxsim
