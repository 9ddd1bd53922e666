#include "faults.h"

#include "frameparser.h"

#include <utility>

namespace rxsim {

FaultInjector::FaultInjector(const FaultConfig& config) : config_(config), rng_(config.seed) {}

bool FaultInjector::active() const {
    return config_.drop > 0 || config_.corrupt > 0 || config_.split > 0 || config_.wrongTag > 0 ||
           config_.noise > 0 || config_.flip > 0;
}

double FaultInjector::uniform() {
    return static_cast<double>(rng_() >> 11) * 0x1.0p-53;
}

FaultOutcome FaultInjector::apply(std::vector<std::uint8_t> reply, std::size_t valueAt) {
    FaultOutcome out;
    out.bytes = std::move(reply);
    if (!active()) return out;

    const bool drop = uniform() < config_.drop;
    const bool wrongTag = uniform() < config_.wrongTag;
    const bool corrupt = uniform() < config_.corrupt;
    const bool split = uniform() < config_.split;
    const std::uint64_t corruptPick = rng_();
    const std::uint64_t corruptMask = rng_();
    const std::uint64_t splitPick = rng_();
    const bool noise = config_.noise > 0 && uniform() < config_.noise;
    const std::uint64_t noiseSeed = config_.noise > 0 ? rng_() : 0;
    const bool flip = config_.flip > 0 && uniform() < config_.flip;
    const std::uint64_t flipPick = config_.flip > 0 ? rng_() : 0;
    const std::uint64_t flipDigit = config_.flip > 0 ? rng_() : 0;

    // The run's own generator: its length does not shift the faults of later replies.
    std::vector<std::uint8_t> run;
    if (noise) {
        std::mt19937_64 pick(noiseSeed);
        run.resize(1 + pick() % kNoiseMaxBytes);
        for (auto& byte : run)
            byte = pick() % kNoiseCrShare == 0 ? kCR : static_cast<std::uint8_t>(pick());
        out.kinds.emplace_back("noise");
    }
    // The noise is on the line whatever the controller does with its reply.
    const auto prependNoise = [&run](FaultOutcome& outcome) {
        outcome.bytes.insert(outcome.bytes.begin(), run.begin(), run.end());
        outcome.noiseSize = run.size();
        if (outcome.splitAt != 0) outcome.splitAt += run.size();
    };

    if (drop) {
        out.dropped = true;
        out.kinds.emplace_back("drop");
        out.bytes.clear();
        prependNoise(out);
        return out;
    }
    auto& bytes = out.bytes;
    if (wrongTag && !bytes.empty() && (bytes[0] == 'M' || bytes[0] == 'E')) {
        bytes[0] = bytes[0] == 'M' ? 'E' : 'M';
        out.kinds.emplace_back("wrongtag");
    }
    if (corrupt && bytes.size() >= 2) {
        // Any byte but the closing CR; the new value is neither the old one nor a CR.
        const std::size_t index = corruptPick % (bytes.size() - 1);
        const auto mask = static_cast<std::uint8_t>(1 + corruptMask % 255);
        auto changed = static_cast<std::uint8_t>(bytes[index] ^ mask);
        if (changed == kCR) changed = static_cast<std::uint8_t>(changed ^ 0x80);
        if (changed == bytes[index]) changed = static_cast<std::uint8_t>(changed ^ 0x01);
        bytes[index] = changed;
        out.kinds.emplace_back("corrupt");
    }
    // The digits between the word number and the CR; any one of them becomes another digit.
    const std::size_t digits = bytes.size() > valueAt + 1 ? bytes.size() - 1 - valueAt : 0;
    if (flip && valueAt > 0 && digits > 0) {
        auto& digit = bytes[valueAt + flipPick % digits];
        if (digit >= '0' && digit <= '9') {
            digit = static_cast<std::uint8_t>('0' + (digit - '0' + 1 + flipDigit % 9) % 10);
            out.kinds.emplace_back("flip");
        }
    }
    if (split && bytes.size() >= 2) {
        out.splitAt = 1 + splitPick % (bytes.size() - 1);
        out.kinds.emplace_back("split");
    }
    prependNoise(out);
    return out;
}

} // namespace rxsim
