// The simulator's line parser and controller on arbitrary bytes arriving in arbitrary pieces,
// with arbitrary pauses between them, for each model:
// - every byte comes out again exactly once, in order, as a frame, a broadcast or a stray byte,
//   stamped with the arrival time of its first byte;
// - an unfinished frame is kept until its deadline and dropped as stray bytes after it;
// - every read frame is answered with a well-formed line that carries the value the controller
//   holds: what the last write put there, for a word that neither runs (clock) nor drifts;
// - a clock set command sets the field its BCD word asks for, when the result is a valid time;
// - a broadcast switches Modbus on the USB port exactly when it is the register's on/off write;
// - the fault injector sends at most its run of noise for a dropped reply; otherwise the noise,
//   then the reply with its length and only its closing CR, split inside the reply.
#include "controller.h"
#include "faults.h"
#include "frameparser.h"
#include "fuzzinput.h"
#include "modbus.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace rxsim;
using fuzzcheck::FuzzInput;
using fuzzcheck::require;

namespace {

bool isDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

bool runsOrDrifts(Model model, char space, std::uint8_t word) {
    if (space != 'M') return false;
    if (word >= kClockSeconds && word <= kClockDay) return true;
    switch (model) {
    case Model::Rx200:
        return word >= 13 && word <= 16;
    case Model::Rx300:
        return word == 15 || word == 16;
    case Model::Rx100:
        return false;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first byte gives the size of the pieces the line delivers (1 to 16 bytes), whether
    // the controller pads its values and the model; the second the pause after each piece and
    // the faults of the replies.
    const std::size_t piece = (data[0] & 0x0F) + 1;
    const bool padded = data[0] & 0x10;
    const Model model = static_cast<Model>((data[0] >> 5) % 3);
    const double pause = (data[1] & 0x1F) * 0.008; // 0 to 248 ms, around the partial time-out
    FaultConfig faultConfig;
    faultConfig.seed = data[1];
    faultConfig.noise = (data[1] & 0x20) ? 0.5 : 0;
    faultConfig.drop = (data[1] & 0x40) ? 0.25 : 0;
    faultConfig.corrupt = faultConfig.split = faultConfig.wrongTag = (data[1] & 0x80) ? 0.5 : 0;
    data += 2;
    size -= 2;

    double now = 0;
    Controller controller(
        model, [&now] { return now; }, ClockTime{});
    controller.setPadded(padded);
    FaultInjector faults(faultConfig);
    FrameParser parser;
    std::vector<std::uint8_t> seen;
    std::vector<double> arrival; // the time each byte of the input came
    std::map<std::pair<char, std::uint8_t>, std::uint16_t> written;

    auto checkRead = [&](const std::vector<std::uint8_t>& f, const std::vector<std::uint8_t>& r) {
        // Tag letter, decimal word number, decimal value, CR.
        require(r.size() >= 4 && r.front() == f[1] && r.back() == kCR);
        for (std::size_t k = 1; k + 1 < r.size(); ++k)
            require(isDigit(r[k]));
        const std::string number = std::to_string(f[2]);
        require(std::string(r.begin() + 1,
                            r.begin() + 1 + static_cast<std::ptrdiff_t>(number.size())) == number);
        const std::string digits(r.begin() + 1 + static_cast<std::ptrdiff_t>(number.size()),
                                 r.end() - 1);
        require(!digits.empty() && digits.size() <= 5);
        require(!padded || digits.size() == 5);
        const unsigned long value = std::stoul(digits);
        require(value <= 0xFFFF);
        const char space = static_cast<char>(f[1]);
        const std::uint16_t held = space == 'M' ? controller.memory(f[2]) : controller.eeprom(f[2]);
        require(value == held);
        const auto w = written.find({space, f[2]});
        if (w != written.end() && !runsOrDrifts(model, space, f[2])) require(value == w->second);
    };

    auto checkWrite = [&](const std::vector<std::uint8_t>& f) {
        const char space = static_cast<char>(f[1]);
        const std::uint8_t word = f[2];
        const auto value = static_cast<std::uint16_t>(f[3] << 8 | f[4]);
        if (space == 'E') {
            require(controller.eeprom(word) == value);
            written[{space, word}] = value;
            return;
        }
        if (word == kClockSetCommand && value >= 1 && value <= 4) {
            // The command runs and the word goes back to 0.
            require(controller.memory(word) == 0);
            written[{space, word}] = 0;
            return;
        }
        if (word >= kClockSeconds && word <= kClockDay) return;
        require(controller.memory(word) == value);
        written[{space, word}] = value;
    };

    auto checkClockCommand = [&](const std::vector<std::uint8_t>& f, const ClockTime& before) {
        const auto value = static_cast<std::uint16_t>(f[3] << 8 | f[4]);
        if (f[1] != 'M' || f[2] != kClockSetCommand || value < 1 || value > 4) return;
        const auto bcd =
            written.find({'M', static_cast<std::uint8_t>(kClockNewSeconds + value - 1)});
        const auto wanted = fromBcd(bcd == written.end() ? 0 : bcd->second);
        const ClockTime after = controller.clock();
        if (!wanted) {
            require(after == before);
            return;
        }
        ClockTime t = before;
        int* fields[] = {&t.seconds, &t.minutes, &t.hours, &t.day};
        *fields[value - 1] = *wanted;
        const bool valid =
            t.day >= 1 && t.day <= 31 && t.hours <= 23 && t.minutes <= 59 && t.seconds <= 59;
        require(after == (valid ? t : before));
    };

    auto drain = [&] {
        for (const auto& item : parser.take()) {
            require(!item.bytes.empty());
            require(item.t == arrival[seen.size()]);
            seen.insert(seen.end(), item.bytes.begin(), item.bytes.end());
            if (item.kind == ParsedItem::Kind::Modbus) {
                require(item.bytes.size() == kModbusMessageSize);
                require(modbusCrcValid(item.bytes.data()));
                const int reg = item.bytes[2] << 8 | item.bytes[3];
                const int value = item.bytes[4] << 8 | item.bytes[5];
                const std::uint16_t before = controller.usbModbus();
                const bool used = item.bytes[1] == kModbusWriteSingleRegister &&
                                  reg == kUsbModbusRegister && value <= 1;
                require(controller.handleModbus(item.bytes) == used);
                require(controller.usbModbus() == (used ? value : before));
            } else if (item.kind == ParsedItem::Kind::Command) {
                const auto& f = item.bytes;
                require(f.size() == (f[0] == 'R' ? kReadFrameSize : kWriteFrameSize));
                require((f[0] == 'R' || f[0] == 'W') && (f[1] == 'M' || f[1] == 'E'));
                require(f.back() == kCR);
                const ClockTime clockBefore = controller.clock();
                const auto reply = controller.handleCommand(f);
                require(reply.has_value() == (f[0] == 'R'));
                if (reply) {
                    checkRead(f, *reply);
                    const FaultOutcome out = faults.apply(*reply);
                    const std::size_t noise = out.noiseSize;
                    require(noise <= kNoiseMaxBytes && (faultConfig.noise > 0 || noise == 0));
                    if (out.dropped) {
                        require(out.bytes.size() == noise && out.splitAt == 0);
                    } else {
                        require(out.bytes.size() == noise + reply->size());
                        require(out.bytes.back() == kCR);
                        for (std::size_t k = noise; k + 1 < out.bytes.size(); ++k)
                            require(out.bytes[k] != kCR);
                        require(out.splitAt == 0 ||
                                (out.splitAt > noise && out.splitAt < out.bytes.size()));
                    }
                } else {
                    checkWrite(f);
                    checkClockCommand(f, clockBefore);
                }
            }
        }
    };

    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t n = size - at < piece ? size - at : piece;
        // The server drops an unfinished frame once its deadline has passed, before new bytes.
        const auto deadline = parser.deadline();
        require(deadline.has_value() == parser.hasPartial());
        parser.expire(now);
        // Exactly at the deadline either is right: the server wakes a little after it.
        if (deadline && now < *deadline - 1e-9) require(parser.hasPartial());
        if (deadline && now > *deadline + 1e-9) require(!parser.hasPartial());
        drain();
        arrival.insert(arrival.end(), n, now);
        parser.feed(data + at, n, now);
        drain();
        now += pause;
    }
    parser.expire(now + 1.0);
    drain();
    require(!parser.hasPartial());
    require(seen == std::vector<std::uint8_t>(data, data + size));
    return 0;
}
