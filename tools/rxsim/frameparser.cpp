#include "frameparser.h"

#include "modbus.h"

#include <iterator>

namespace rxsim {

namespace {

bool isCommandLetter(std::uint8_t b) {
    return b == 'R' || b == 'W';
}
bool isSpaceLetter(std::uint8_t b) {
    return b == 'M' || b == 'E';
}

} // namespace

void FrameParser::feed(const std::uint8_t* data, std::size_t size, double t) {
    if (size == 0) return;
    buffer_.insert(buffer_.end(), data, data + size);
    times_.insert(times_.end(), size, t);
    lastByte_ = t;
    scan();
}

void FrameParser::expire(double now) {
    if (buffer_.empty() || now - lastByte_ <= kPartialTimeout) return;
    dropStray(buffer_.size());
}

std::optional<double> FrameParser::deadline() const {
    if (buffer_.empty()) return std::nullopt;
    return lastByte_ + kPartialTimeout;
}

std::vector<ParsedItem> FrameParser::take() {
    std::vector<ParsedItem> items;
    items.swap(out_);
    lastWasStray_ = false;
    return items;
}

void FrameParser::emit(ParsedItem::Kind kind, std::size_t count) {
    ParsedItem item;
    item.kind = kind;
    item.bytes.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
    item.t = times_.front();
    out_.push_back(std::move(item));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
    times_.erase(times_.begin(), times_.begin() + static_cast<std::ptrdiff_t>(count));
    lastWasStray_ = false;
}

void FrameParser::dropStray(std::size_t count) {
    // Consecutive dropped bytes make one stray item.
    if (lastWasStray_ && !out_.empty()) {
        auto& bytes = out_.back().bytes;
        bytes.insert(bytes.end(), buffer_.begin(),
                     buffer_.begin() + static_cast<std::ptrdiff_t>(count));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
        times_.erase(times_.begin(), times_.begin() + static_cast<std::ptrdiff_t>(count));
        return;
    }
    emit(ParsedItem::Kind::Stray, count);
    lastWasStray_ = true;
}

void FrameParser::scan() {
    while (!buffer_.empty()) {
        const std::uint8_t first = buffer_[0];
        std::size_t need = 0;
        if (isCommandLetter(first)) {
            if (buffer_.size() < 2) return;
            if (!isSpaceLetter(buffer_[1])) {
                dropStray(1);
                continue;
            }
            need = first == 'R' ? kReadFrameSize : kWriteFrameSize;
        } else if (first == kModbusBroadcastAddress) {
            if (buffer_.size() < 2) return;
            if (buffer_[1] != kModbusWriteSingleRegister) {
                dropStray(1);
                continue;
            }
            need = kModbusMessageSize;
        } else {
            dropStray(1);
            continue;
        }
        if (buffer_.size() < need) return;
        if (first == kModbusBroadcastAddress) {
            if (modbusCrcValid(buffer_.data()))
                emit(ParsedItem::Kind::Modbus, need);
            else
                dropStray(1);
        } else if (buffer_[need - 1] == kCR) {
            emit(ParsedItem::Kind::Command, need);
        } else {
            // Not a frame after all: drop its first byte and look again from the next one.
            dropStray(1);
        }
    }
}

} // namespace rxsim
