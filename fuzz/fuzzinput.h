// How the fuzz targets take their decisions out of an input: bytes, 16-bit numbers and short
// texts, one after another. An exhausted input gives zeros and empty texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzzcheck {

// A broken rule ends the run with a crash report, the stack of the check included.
inline void require(bool ok) {
    if (!ok) std::abort();
}

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), end_(size) {}

    bool empty() const { return front_ >= end_; }
    std::size_t left() const { return end_ - front_; }

    std::uint8_t byte() { return empty() ? 0 : data_[front_++]; }
    std::uint16_t word16() {
        const std::uint16_t hi = byte();
        return static_cast<std::uint16_t>(hi << 8 | byte());
    }
    // Up to `n` bytes.
    std::string bytes(std::size_t n) {
        if (n > left()) n = left();
        std::string out(reinterpret_cast<const char*>(data_ + front_), n);
        front_ += n;
        return out;
    }
    // A text of at most `max` bytes whose length comes first.
    std::string text(std::size_t max) { return bytes(byte() % (max + 1)); }

  private:
    const std::uint8_t* data_;
    std::size_t front_ = 0;
    std::size_t end_;
};

} // namespace fuzzcheck
