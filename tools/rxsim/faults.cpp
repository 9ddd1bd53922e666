#include "faults.h"

#include "frameparser.h"

#include <utility>

namespace rxsim {

FaultInjector::FaultInjector(const FaultConfig& config) : config_(config), rng_(config.seed) {}

bool FaultInjector::active() const {
    return config_.drop > 0 || config_.corrupt > 0 || config_.split > 0 || config_.wrongTag > 0;
}

double FaultInjector::uniform() {
    return static_cast<double>(rng_() >> 11) * 0x1.0p-53;
}

FaultOutcome FaultInjector::apply(std::vector<std::uint8_t> reply) {
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

    if (drop) {
        out.dropped = true;
        out.kinds.emplace_back("drop");
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
    if (split && bytes.size() >= 2) {
        out.splitAt = 1 + splitPick % (bytes.size() - 1);
        out.kinds.emplace_back("split");
    }
    return out;
}

} // namespace rxsim
