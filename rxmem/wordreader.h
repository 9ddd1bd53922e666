// Reading words whose values a backup will keep: the protocol has no checksum, so a value is
// taken only when the word's own replies agree on it.
//
// A word is read until one value leads all its other values by two replies: on a sound line
// that is the first two replies agreeing. Once the line has shown that it changes replies (a
// reply of its own word that is garbled, or two replies of a word that disagree), two agreeing
// replies are no longer enough: two replies changed the same way are then likely enough to pass
// among a few hundred words, so every value must lead by four, and the words already taken in
// this read are read again until they do.
#pragma once

#include "wordfile.h"
#include "wordlink.h"

#include <functional>
#include <optional>
#include <vector>

namespace rxmem {

using rxwords::Word;

// The value one reply gives a read: a line of the word's own with 1 to 5 digits, from 0 to 65535.
// Nothing for silence, another word's line or a garbled one.
std::optional<std::uint16_t> valueOf(const rxline::WordLink::ReadReply& reply);

// What the session has learnt of its line; shared by all its reads.
struct LineTrust {
    bool changesReplies = false;
};

// The rule's figures.
constexpr int LeadOnSoundLine = 2;
constexpr int LeadOnChangingLine = 4;
// A word with no reply at all after this many reads is given up: the controller is silent.
constexpr int SilentReads = 6;
// A sound line gives a word up after this many reads; a line that changes replies, after
// MaxReadsChanging (a word then needs four or more).
constexpr int MaxReadsSound = 6;
constexpr int MaxReadsChanging = 24;

class WordReader {
  public:
    enum class Failure { None, NoReply, Garbled };
    struct Result {
        std::vector<std::uint16_t> values; // in the order of the words, when none failed
        Failure failure = Failure::None;
        Word failedWord;
        int reads = 0; // the failed word's reads
    };
    // After each word taken: how many are taken, of how many, the word.
    using Progress = std::function<void(int taken, int total, Word word)>;
    // Asked at every word's boundary: false ends the reading without `done`.
    using Proceed = std::function<bool()>;

    WordReader(rxline::WordLink& link, LineTrust& trust) : link_(link), trust_(trust) {}

    void read(std::vector<Word> words, Progress progress, Proceed proceed,
              std::function<void(const Result&)> done);

  private:
    struct Entry {
        Word word;
        std::vector<std::pair<std::uint16_t, int>> counts; // value, replies that gave it
        int reads = 0;
        int silent = 0;
        bool troubled = false; // a garbled reply or a disagreement was seen for it
        bool taken = false;
        std::uint16_t value = 0;
    };
    void next();
    void take(Entry& entry, const rxline::WordLink::ReadReply& reply);
    void lineChangesReplies();

    rxline::WordLink& link_;
    LineTrust& trust_;
    std::vector<Entry> entries_;
    std::size_t cursor_ = 0;
    int taken_ = 0;
    Progress progress_;
    Proceed proceed_;
    std::function<void(const Result&)> done_;
};

} // namespace rxmem
