// Seeded fault injection on the controller's replies: dropped, corrupted, split into two
// pieces, or with the wrong tag letter.
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
};

struct FaultOutcome {
    bool dropped = false;
    std::vector<std::uint8_t> bytes; // the reply as it goes out
    std::size_t splitAt = 0;         // 0: in one piece, else the size of the first piece
    std::vector<std::string> kinds;  // faults applied: "drop", "corrupt", "split", "wrongtag"
};

class FaultInjector {
  public:
    explicit FaultInjector(const FaultConfig& config);

    bool active() const;
    // Draws the same amount of random numbers for every reply, so a seed gives one sequence
    // of faults whatever the replies hold.
    FaultOutcome apply(std::vector<std::uint8_t> reply);

  private:
    double uniform();

    FaultConfig config_;
    std::mt19937_64 rng_;
};

} // namespace rxsim
