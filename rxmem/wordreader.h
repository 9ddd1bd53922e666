// Reading words whose values a backup will keep: the protocol has no checksum, so a value is
// taken only when the word's own replies agree on it.
//
// The rule: a value is taken when its replies outnumber all the word's other replies together
// by two, so on a sound line the first two replies that agree. Once the line has changed a reply
// (a reply of its own word that is garbled, or two replies of a word that disagree), they must
// outnumber them by four, and the words already taken are read again by that rule: two replies
// changed alike are likely enough among a few hundred words.
//
// Silence is told only of a word that never answered: a word with no reply of its own in six
// reads is "no reply". Once a word has answered, a lost reply is only a lost reply, and the word
// is read up to 24 times. A word whose replies never agree in those reads is told for what it
// is: a live value when every reply was well formed and the line has garbled nothing, else
// garbled replies, else (one reply, then silence) too few replies.
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
    bool garbled = false; // a reply that named its word held no value from 0 to 65535
};

// The rule's figures.
constexpr int LeadOnSoundLine = 2;
constexpr int LeadOnChangingLine = 4;
// A word with no reply of its own after this many reads is given up: the controller is silent.
constexpr int SilentReads = 6;
// A word that has answered is given up after this many reads without a value.
constexpr int MaxReads = 24;

class WordReader {
  public:
    enum class Failure { None, NoReply, Garbled, Live, FewReplies };
    struct Result {
        std::vector<std::uint16_t> values; // in the order of the words, when none failed
        Failure failure = Failure::None;
        Word failedWord;
        int reads = 0;                   // the failed word's reads
        int replies = 0;                 // of them, the replies that held a value
        std::vector<std::uint16_t> seen; // Live: its first three values, as they came
    };
    // After each word taken: how many are taken, of how many, the word.
    using Progress = std::function<void(int taken, int total, Word word)>;
    // Asked at every word's boundary: false ends the reading without `done`.
    using Proceed = std::function<bool()>;

    WordReader(rxline::WordLink& link, LineTrust& trust) : link_(link), trust_(trust) {}

    void read(std::vector<Word> words, Progress progress, Proceed proceed,
              std::function<void(const Result&)> done);
    // How far the reading got: the words holding a value, of how many; false before any read.
    bool started() const { return !entries_.empty(); }
    int taken() const { return taken_; }
    int total() const { return int(entries_.size()); }

  private:
    struct Entry {
        Word word;
        std::vector<std::pair<std::uint16_t, int>> counts; // value, replies that gave it, in
                                                           // the order they first came
        int reads = 0;
        bool garbled = false; // a reply named this word but held no value
        // A reply named this word: with a value, or garbled.
        bool answered() const { return garbled || !counts.empty(); }
        // A garbled reply or a disagreement was seen for it.
        bool troubled() const { return garbled || counts.size() > 1; }
        bool taken = false;
        std::uint16_t value = 0;
    };
    void next();
    void take(Entry& entry, const rxline::WordLink::ReadReply& reply);
    void lineChangesReplies();
    void fail(const Entry& entry, int replies);

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
