// Writing words one at a time: a word's frame, its EEPROM twin where it has one, and their
// pauses go out as one group, and the next word is queued only when that group has gone. So a
// stop between two words is a stop at a word's boundary, and nothing is queued that could go
// out after the program has said it failed.
#pragma once

#include "wordfile.h"
#include "wordlink.h"

#include <functional>
#include <optional>
#include <vector>

namespace rxmem {

using rxwords::Assignment;
using rxwords::Word;

// The EEPROM word the memory editor writes with a memory word (M22 -> E2, M36..M59 ->
// E16..E39). Written only for a file of the editor's words, where it means that.
std::optional<Word> eepromTwin(Word word);

// A file whose words are all the editor's is written the editor's way, with the twins.
bool writtenWithTwins(const std::vector<Assignment>& items);

class WordWriter {
  public:
    using Progress = std::function<void(int written, int total, Word word)>;
    using Proceed = std::function<bool()>;

    explicit WordWriter(rxline::WordLink& link) : link_(link) {}

    // Writes the items in order, each with its twin when `twins`; `done` runs once the last
    // group has gone. `proceed` is asked before each word: false ends the writing there.
    void write(std::vector<Assignment> items, bool twins, Progress progress, Proceed proceed,
               std::function<void()> done);

    bool started() const { return started_; }
    int written() const { return written_; }
    int total() const { return int(items_.size()); }
    std::optional<Word> lastWritten() const { return last_; }
    // The word whose group was queued and has not gone whole: the port went away under it.
    std::optional<Word> underWay() const { return underWay_; }

  private:
    void next();

    rxline::WordLink& link_;
    std::vector<Assignment> items_;
    bool twins_ = false;
    bool started_ = false;
    int written_ = 0;
    std::optional<Word> last_;
    std::optional<Word> underWay_;
    Progress progress_;
    Proceed proceed_;
    std::function<void()> done_;
};

} // namespace rxmem
