#include "wordwriter.h"

#include "wordwrites.h"

#include <algorithm>

namespace rxmem {

using rxline::Space;

std::optional<Word> eepromTwin(Word word) {
    if (word.space != Space::Memory) return std::nullopt;
    const int twin = rxline::eepromTwinOf(word.number);
    if (twin < 0) return std::nullopt;
    return Word{Space::Eeprom, static_cast<std::uint8_t>(twin)};
}

bool writtenWithTwins(const std::vector<Assignment>& items) {
    return std::all_of(items.begin(), items.end(),
                       [](const Assignment& a) { return rxwords::isEditorWord(a.word); });
}

void WordWriter::write(std::vector<Assignment> items, bool twins, Progress progress,
                       Proceed proceed, std::function<void()> done) {
    items_ = std::move(items);
    twins_ = twins;
    started_ = true;
    written_ = 0;
    last_.reset();
    underWay_.reset();
    progress_ = std::move(progress);
    proceed_ = std::move(proceed);
    done_ = std::move(done);
    next();
}

void WordWriter::next() {
    if (!proceed_()) return;
    if (written_ == int(items_.size())) {
        done_();
        return;
    }
    const Assignment& a = items_[std::size_t(written_)];
    const auto bytes = rxline::splitValue(a.value);
    underWay_ = a.word;
    link_.together([&] {
        link_.send(
            rxline::toBytes(rxline::writeFrame(a.word.space, a.word.number, bytes.hi, bytes.lo)));
        if (const auto twin = twins_ ? eepromTwin(a.word) : std::nullopt) {
            link_.Wait(rxline::pauseBeforeTwinMs(a.word.number));
            link_.send(
                rxline::toBytes(rxline::writeFrame(twin->space, twin->number, bytes.hi, bytes.lo)));
        }
        link_.Wait(rxline::PauseAfterWriteMs);
    });
    // Dropped with the queue when the port goes away: the word then stays under way.
    link_.then([this] {
        last_ = underWay_;
        underWay_.reset();
        ++written_;
        if (progress_) progress_(written_, int(items_.size()), *last_);
        next();
    });
}

} // namespace rxmem
