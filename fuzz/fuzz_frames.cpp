// The simulator's line parser and controller on arbitrary bytes arriving in arbitrary pieces:
// every byte comes out again exactly once, in order, as a frame, a broadcast or a stray byte,
// and every read frame is answered with a well-formed line.
#include "controller.h"
#include "frameparser.h"
#include "modbus.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace rxsim;

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

bool isDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte gives the size of the pieces the line delivers (1 to 16 bytes).
    const std::size_t piece = (data[0] & 0x0F) + 1;
    const bool padded = data[0] & 0x10;
    ++data;
    --size;

    double now = 0;
    Controller controller(
        Model::Rx200, [&now] { return now; }, ClockTime{});
    controller.setPadded(padded);
    FrameParser parser;
    std::vector<std::uint8_t> seen;
    auto drain = [&] {
        for (const auto& item : parser.take()) {
            seen.insert(seen.end(), item.bytes.begin(), item.bytes.end());
            require(!item.bytes.empty());
            if (item.kind == ParsedItem::Kind::Modbus) {
                require(item.bytes.size() == kModbusMessageSize);
                require(modbusCrcValid(item.bytes.data()));
                controller.handleModbus(item.bytes);
            } else if (item.kind == ParsedItem::Kind::Command) {
                const auto& f = item.bytes;
                require(f.size() == (f[0] == 'R' ? kReadFrameSize : kWriteFrameSize));
                require((f[0] == 'R' || f[0] == 'W') && (f[1] == 'M' || f[1] == 'E'));
                require(f.back() == kCR);
                const auto reply = controller.handleCommand(f);
                require(reply.has_value() == (f[0] == 'R'));
                if (reply) {
                    // Tag letter, decimal word number, decimal value, CR.
                    require(reply->size() >= 4 && reply->front() == f[1] && reply->back() == kCR);
                    for (std::size_t k = 1; k + 1 < reply->size(); ++k)
                        require(isDigit((*reply)[k]));
                }
            }
        }
    };
    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t n = size - at < piece ? size - at : piece;
        parser.feed(data + at, n, now);
        drain();
        now += 0.01;
    }
    parser.expire(now + 1.0);
    drain();
    require(!parser.hasPartial());
    require(seen == std::vector<std::uint8_t>(data, data + size));
    return 0;
}
