#include "samplestore.h"

#include "csvlog.h"

#include <QDateTime>

#include <algorithm>

namespace calcore {

SampleStore::SampleStore(std::vector<rxwords::Word> words) : words_(std::move(words)) {}

void SampleStore::add(qint64 msecs, std::span<const std::optional<std::uint16_t>> values) {
    if (!times_.empty()) msecs = std::max(msecs, times_.back());
    times_.push_back(msecs);
    for (std::size_t c = 0; c < words_.size(); ++c) {
        const auto v = c < values.size() ? values[c] : std::nullopt;
        values_.push_back(v ? std::int32_t(*v) : NoValue);
    }
    // A deque gives its blocks back as rows leave, so memory stays flat once a shift is kept.
    while (times_.front() < msecs - KeepMs) {
        times_.pop_front();
        values_.erase(values_.begin(), values_.begin() + qsizetype(words_.size()));
    }
}

void SampleStore::clear() {
    times_.clear();
    values_.clear();
}

std::optional<std::uint16_t> SampleStore::valueAt(std::size_t row, std::size_t column) const {
    const std::int32_t v = values_[row * words_.size() + column];
    if (v == NoValue) return std::nullopt;
    return std::uint16_t(v);
}

std::size_t SampleStore::rowAt(qint64 msecs) const {
    return std::size_t(std::lower_bound(times_.begin(), times_.end(), msecs) - times_.begin());
}

SampleStats SampleStore::stats(std::size_t column, qint64 end, qint64 spanMs) const {
    SampleStats s;
    const std::size_t last = rowAt(end + 1);
    const std::size_t first = rowAt(end - spanMs + 1);
    if (first >= last) return s;
    s.current = valueAt(last - 1, column);
    for (std::size_t r = first; r < last; ++r) {
        const auto v = valueAt(r, column);
        if (!v) continue;
        if (!s.min || *v < *s.min) s.min = v;
        if (!s.max || *v > *s.max) s.max = v;
    }
    return s;
}

QByteArray SampleStore::csv() const {
    QByteArray out = rxwords::csvHeader(words_).toLatin1() + '\n';
    QStringList cells;
    for (std::size_t r = 0; r < rows(); ++r) {
        cells.clear();
        for (std::size_t c = 0; c < words_.size(); ++c)
            cells << rxwords::csvCell(valueAt(r, c));
        out += rxwords::csvRow(QDateTime::fromMSecsSinceEpoch(timeAt(r)), cells).toLatin1();
        out += '\n';
    }
    return out;
}

} // namespace calcore
