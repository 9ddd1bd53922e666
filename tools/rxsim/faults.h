// Seeded fault injection on the controller's replies: dropped, corrupted, split into two
// pieces, with the wrong tag letter, preceded by random bytes on the line, or with one value
// digit changed into another digit (a reply that still reads as a value of its word).
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace rxsim {

struct FaultConfig {
    std::uint64_t seed = 1;
    double drop = 0; // probabilities per reply, 0..1
    double corrupt = 0;
    double split = 0;
    double wrongTag = 0;
    double noise = 0;
    double flip = 0;
};

// A run of line noise: 1 to kNoiseMaxBytes random bytes, about one in kNoiseCrShare of them a CR,
// the byte that ends a reply, so that noise also completes a reply early or splits one.
inline constexpr std::size_t kNoiseMaxBytes = 12;
inline constexpr unsigned kNoiseCrShare = 8;

struct FaultOutcome {
    bool dropped = false;
    std::vector<std::uint8_t> bytes; // what goes out: the noise, then the reply unless dropped
    std::size_t noiseSize = 0;       // the bytes of noise at the front
    std::size_t splitAt = 0;         // 0: in one piece, else the size of the first piece
    // Faults applied: "noise", "drop", "wrongtag", "corrupt", "flip", "split".
    std::vector<std::string> kinds;
};

class FaultInjector {
  public:
    explicit FaultInjector(const FaultConfig& config);

    bool active() const;
    // Draws the same amount of random numbers for every reply, so a seed gives one sequence
    // of faults whatever the replies hold. The noise draws, then the flip draws, come last and
    // only when those faults are asked for, so a seed without them gives the faults it gave
    // before they existed. `valueAt` is where the value's digits begin in the reply (after the
    // tag and the word number); 0 leaves the value alone.
    FaultOutcome apply(std::vector<std::uint8_t> reply, std::size_t valueAt = 0);

  private:
    double uniform();

    FaultConfig config_;
    std::mt19937_64 rng_;
};

} // namespace rxsim
