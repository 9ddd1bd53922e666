#include "wordreader.h"

#include <algorithm>

namespace rxmem {

std::optional<std::uint16_t> valueOf(const rxline::WordLink::ReadReply& reply) {
    if (reply.kind != rxline::ReplyKind::Value) return std::nullopt;
    return rxwords::parseValue(QString::fromLatin1(reply.text));
}

void WordReader::read(std::vector<Word> words, Progress progress, Proceed proceed,
                      std::function<void(const Result&)> done) {
    entries_.clear();
    for (const Word& w : words) {
        Entry e;
        e.word = w;
        entries_.push_back(std::move(e));
    }
    cursor_ = 0;
    taken_ = 0;
    progress_ = std::move(progress);
    proceed_ = std::move(proceed);
    done_ = std::move(done);
    next();
}

void WordReader::next() {
    if (!proceed_()) return;
    while (cursor_ < entries_.size() && entries_[cursor_].taken)
        ++cursor_;
    if (cursor_ == entries_.size()) {
        Result result;
        for (const Entry& e : entries_)
            result.values.push_back(e.value);
        done_(result);
        return;
    }
    const std::size_t index = cursor_;
    const Word word = entries_[index].word;
    link_.readReply(word.space, word.number,
                    [this, index](const rxline::WordLink::ReadReply& reply) {
                        // A read cut short by the end of the session counts for nothing.
                        if (!proceed_()) return;
                        take(entries_[index], reply);
                    });
}

void WordReader::take(Entry& e, const rxline::WordLink::ReadReply& reply) {
    ++e.reads;
    const auto value = valueOf(reply);
    if (reply.kind != rxline::ReplyKind::Other && !value) {
        e.garbled = true; // names its word, but holds no value from 0 to 65535
        trust_.garbled = true;
    } else if (value) {
        auto it = std::find_if(e.counts.begin(), e.counts.end(),
                               [&](const auto& c) { return c.first == *value; });
        if (it == e.counts.end()) {
            e.counts.emplace_back(*value, 1);
        } else {
            ++it->second;
        }
    }
    if (e.troubled()) lineChangesReplies();

    int total = 0;
    const std::pair<std::uint16_t, int>* best = nullptr;
    for (const auto& c : e.counts) {
        total += c.second;
        if (!best || c.second > best->second) best = &c;
    }
    const int lead = trust_.changesReplies ? LeadOnChangingLine : LeadOnSoundLine;
    if (best && best->second - (total - best->second) >= lead) {
        e.taken = true;
        e.value = best->first;
        ++taken_;
        if (progress_) progress_(taken_, int(entries_.size()), e.word);
        next();
        return;
    }
    if ((!e.answered() && e.reads >= SilentReads) || e.reads >= MaxReads) {
        fail(e, total);
        return;
    }
    next();
}

void WordReader::fail(const Entry& e, int replies) {
    Result result;
    result.failedWord = e.word;
    result.reads = e.reads;
    result.replies = replies;
    if (!e.answered()) {
        result.failure = Failure::NoReply;
    } else if (e.counts.size() > 1 && !e.garbled && !trust_.garbled) {
        // Well-formed replies that keep changing on a line that garbles nothing: a live input
        // moves by a count or two from one read to the next, and no rule of agreement holds it.
        result.failure = Failure::Live;
        for (std::size_t i = 0; i < e.counts.size() && i < 3; ++i)
            result.seen.push_back(e.counts[i].first);
    } else if (e.troubled()) {
        result.failure = Failure::Garbled;
    } else {
        result.failure = Failure::FewReplies;
    }
    done_(result);
}

void WordReader::lineChangesReplies() {
    if (trust_.changesReplies) return;
    trust_.changesReplies = true;
    // The words already taken rest on two replies each: read them again by the stricter rule.
    for (Entry& e : entries_) {
        if (!e.taken) continue;
        e.taken = false;
        --taken_;
    }
    cursor_ = 0;
}

} // namespace rxmem
