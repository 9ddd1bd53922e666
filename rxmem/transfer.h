// Reading and writing many words over one link, the editor's way for writes and with retries
// for reads: the word of a read is only ever given the value of a line that names it.
#pragma once

#include "wordfile.h"
#include "wordlink.h"
#include "wordwrites.h"

#include <functional>
#include <optional>
#include <vector>

namespace rxmem {

using rxwords::Assignment;
using rxwords::Word;

// A read that gets no line of its own within the wait is sent again, this many times in all.
constexpr int ReadTries = 3;
// The EEPROM word the editor writes with a memory word (M22 -> E2, M36..M59 -> E16..E39).
std::optional<Word> eepromTwin(Word word);

// The value a read's value text stands for: the digits of the controller's line, without the
// CR that a short value brings; nothing for a text that is no value from 0 to 65535.
std::optional<std::uint16_t> valueOf(const std::string& valueText);

class Transfer {
  public:
    // After each word: how many are done, of how many, and the word now done.
    using Progress = std::function<void(int done, int total, Word word)>;
    // The values in the order of the words, or the word that never answered.
    struct ReadResult {
        std::vector<std::uint16_t> values;
        std::optional<Word> failed;
    };

    explicit Transfer(rxline::WordLink& link) : link_(link) {}
    void setProgress(Progress progress) { progress_ = std::move(progress); }

    void read(std::vector<Word> words, std::function<void(const ReadResult&)> done);
    // Sends every write with its pauses; `done` runs once the last pause has passed.
    void write(const std::vector<Assignment>& items, std::function<void()> done);

  private:
    struct ReadJob;
    void readNext(std::shared_ptr<ReadJob> job);

    rxline::WordLink& link_;
    Progress progress_;
};

} // namespace rxmem
