#include "transfer.h"

#include <memory>

namespace rxmem {

using rxline::Space;

std::optional<Word> eepromTwin(Word word) {
    if (word.space != Space::Memory) return std::nullopt;
    const int twin = rxline::eepromTwinOf(word.number);
    if (twin < 0) return std::nullopt;
    return Word{Space::Eeprom, static_cast<std::uint8_t>(twin)};
}

std::optional<std::uint16_t> valueOf(const std::string& valueText) {
    std::string digits = valueText;
    if (!digits.empty() && digits.back() == char(rxline::CR)) digits.pop_back();
    return rxwords::parseValue(QString::fromLatin1(digits.data(), qsizetype(digits.size())));
}

struct Transfer::ReadJob {
    std::vector<Word> words;
    std::function<void(const ReadResult&)> done;
    ReadResult result;
    int tries = 0;
};

void Transfer::read(std::vector<Word> words, std::function<void(const ReadResult&)> done) {
    auto job = std::make_shared<ReadJob>();
    job->words = std::move(words);
    job->done = std::move(done);
    readNext(job);
}

void Transfer::readNext(std::shared_ptr<ReadJob> job) {
    const std::size_t index = job->result.values.size();
    if (index == job->words.size()) {
        link_.then([job] { job->done(job->result); });
        return;
    }
    const Word word = job->words[index];
    link_.readWord(word.space, word.number, [this, job, word](const std::string& valueText) {
        if (const auto value = valueOf(valueText)) {
            job->result.values.push_back(*value);
            job->tries = 0;
            if (progress_) progress_(int(job->result.values.size()), int(job->words.size()), word);
        } else if (++job->tries >= ReadTries) {
            job->result.failed = word;
            job->done(job->result);
            return;
        }
        readNext(job);
    });
}

void Transfer::write(const std::vector<Assignment>& items, std::function<void()> done) {
    int count = 0;
    for (const Assignment& a : items) {
        const auto bytes = rxline::splitValue(a.value);
        link_.send(
            rxline::toBytes(rxline::writeFrame(a.word.space, a.word.number, bytes.hi, bytes.lo)));
        if (const auto twin = eepromTwin(a.word)) {
            link_.Wait(rxline::pauseBeforeTwinMs(a.word.number));
            link_.send(
                rxline::toBytes(rxline::writeFrame(twin->space, twin->number, bytes.hi, bytes.lo)));
        }
        link_.Wait(rxline::PauseAfterWriteMs);
        link_.then([this, written = ++count, total = int(items.size()), word = a.word] {
            if (progress_) progress_(written, total, word);
        });
    }
    link_.then(std::move(done));
}

} // namespace rxmem
