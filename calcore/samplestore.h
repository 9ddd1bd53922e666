// The live values of a session, kept for the trend window and its CSV: one row a round of the
// cycle's live reads, the time it began and each word's value, or none where the read got no
// reply. No window: the tests feed it in virtual time.
#pragma once

#include "wordfile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace calcore {

// What a word did over a stretch of time.
struct SampleStats {
    std::optional<std::uint16_t> current;  // the last round's value (none: no reply)
    std::optional<std::uint16_t> min, max; // over the rounds that gave a value
    int spread() const { return min && max ? *max - *min : 0; }
};

class SampleStore {
  public:
    // A shift: rows older than this before the newest are dropped.
    static constexpr qint64 KeepMs = 8LL * 60 * 60 * 1000;
    // The stretch that tells whether an input has settled.
    static constexpr qint64 StatsMs = 10 * 1000;

    explicit SampleStore(std::vector<rxwords::Word> words);

    // One round, stamped `msecs` (milliseconds since the epoch), a value per word in the order
    // of words(); a time earlier than the last row's is taken as the last row's.
    void add(qint64 msecs, std::span<const std::optional<std::uint16_t>> values);
    void clear();

    const std::vector<rxwords::Word>& words() const { return words_; }
    std::size_t rows() const { return times_.size(); }
    qint64 timeAt(std::size_t row) const { return times_[row]; }
    std::optional<std::uint16_t> valueAt(std::size_t row, std::size_t column) const;
    // The first row at or after `msecs`.
    std::size_t rowAt(qint64 msecs) const;
    // Over the rows of the `spanMs` up to `end`, the row at `end` included; `current` is the
    // value of the last of them.
    SampleStats stats(std::size_t column, qint64 end, qint64 spanMs = StatsMs) const;
    // The time of the newest row, 0 when there is none.
    qint64 newest() const { return times_.empty() ? 0 : times_.back(); }

    // Every row kept, in the form of rxmem watch: header, then a row a round in local time.
    QByteArray csv() const;

  private:
    static constexpr std::int32_t NoValue = -1;

    std::vector<rxwords::Word> words_;
    std::deque<qint64> times_;
    std::deque<std::int32_t> values_; // words_.size() a row
};

} // namespace calcore
