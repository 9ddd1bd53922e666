#include "pollcycle.h"

namespace calcore {

using namespace rxline;

namespace {
constexpr int CheckClickPauseMs = 100;
}

PollCycle::PollCycle(const Model& model, WordLink& link, Panel& panel, QObject* parent)
    : QObject(parent), model_(model), link_(link), panel_(panel), timer_(this) {
    timer_.setObjectName("Timer1");
    timer_.setInterval(TickMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PollCycle::tick);
}

void PollCycle::start() {
    state_ = PollState{};
    flagSynced_.clear();
    stopped_ = false;
    timer_.start();
}

void PollCycle::stop() {
    stopped_ = true;
    timer_.stop();
}

void PollCycle::resume() {
    restartRequested();
}

void PollCycle::sendPendingWrite() {
    if (state_.PendingWrite != 0) carryOutPendingWrite();
}

void PollCycle::restartRequested() {
    state_.Tick = 0;
    state_.RefreshPending = 1;
    ++requestSerial_;
}

bool PollCycle::requestEntryWrite(int code, const std::string& entryText) {
    const auto v = entryValue(entryText);
    if (!v) return false;
    const auto bytes = splitValue(*v);
    state_.PendingLow = bytes.lo;
    state_.PendingHigh = bytes.hi;
    state_.PendingWrite = static_cast<std::int16_t>(code);
    restartRequested();
    return true;
}

void PollCycle::requestCodeOnly(int code) {
    state_.PendingWrite = static_cast<std::int16_t>(code);
}

void PollCycle::checkClicked(int code, bool checked) {
    state_.PendingLow = checked ? 1 : 0;
    state_.PendingHigh = 0;
    state_.PendingWrite = static_cast<std::int16_t>(code);
    link_.Wait(CheckClickPauseMs);
    link_.then([this] { restartRequested(); });
}

void PollCycle::tick() {
    // While the port is gone nothing is counted: a pending write waits for the line.
    if (stopped_ || stepRunning_ || link_.busy() || !link_.isOpen()) return;
    stepRunning_ = true;
    timer_.stop(); // no idle wake-ups while the step waits for its replies
    const int tick = ++state_.Tick;
    if (tick == 2 && state_.RefreshPending == 1) RefreshParameters();
    if (tick == 3 && !model_.liveReads.empty()) {
        round_.assign(model_.liveReads.size(), {});
        for (std::size_t i = 0; i < model_.liveReads.size(); ++i)
            readInto(model_.liveReads[i], &round_[i]);
        link_.then([this] { emit liveRound(round_); });
    }
    if (tick == 5) link_.then([this] { carryOutPendingWrite(); });
    if (tick == 7 && state_.RefreshPending == 1) {
        const unsigned serial = requestSerial_;
        RefreshParameters();
        // A request made while these reads ran keeps its refresh.
        link_.then([this, serial] {
            if (serial == requestSerial_) state_.RefreshPending = 0;
        });
    }
    if (tick > 9) {
        if (state_.SyncChecksPending == 1) {
            link_.then([this] {
                if (syncChecks()) state_.SyncChecksPending = 0;
            });
        }
        state_.Tick = 0;
    }
    auto end = [this, tick] {
        stepRunning_ = false;
        // The next tick comes a full interval after the step ended.
        if (!stopped_) timer_.start();
        emit stepDone(tick);
    };
    // A step that only counts ends at once: no wake-up of the event loop for the link's queue.
    if (link_.busy()) {
        link_.then(end);
    } else {
        end();
    }
}

void PollCycle::fetchNow(std::span<const WordRead> reads) {
    state_.RefreshPending = 1;
    ++requestSerial_; // a refresh running now must not clear this one
    link_.ahead([this, reads] {
        for (const auto& b : reads)
            readInto(b);
    });
}

void PollCycle::readInto(const WordRead& b, std::string* keep) {
    link_.readWord(b.space, b.word, [this, &b, keep](const std::string& value) {
        // A read cut short by the loss of the port tells nothing of the controller.
        if (!link_.isOpen()) return;
        // A controller that lets this many reads in a row go unanswered is told silent; the
        // first answer clears it.
        missedInARow_ = value.empty() ? missedInARow_ + 1 : 0;
        if (value.empty() && missedInARow_ >= SilentAfterMissedReads) noteAnswer(false);
        if (!value.empty()) noteAnswer(true);
        values_[{b.space, b.word}] = value;
        if (keep) *keep = value;
        if (b.label) panel_.showValue(b.label, value);
    });
}

void PollCycle::RefreshParameters() {
    for (const auto& b : model_.refreshReads)
        readInto(b);
}

std::string PollCycle::valueText(Space space, std::uint8_t word) const {
    const auto it = values_.find({space, word});
    return it == values_.end() ? std::string() : it->second;
}

void PollCycle::noteAnswer(bool answered) {
    if (answered == answering_) return;
    answering_ = answered;
    emit answeringChanged(answered);
}

void PollCycle::carryOutPendingWrite() {
    if (!link_.isOpen()) return; // kept until the line is back
    const int code = state_.PendingWrite;
    const WriteAction action =
        code >= 0 && code < 256 ? model_.dispatch[static_cast<std::size_t>(code)] : WriteAction{};
    // Cleared as the frame is built, so a request made during the write's pause is kept.
    state_.PendingWrite = 0;
    // A fetch asked for meanwhile waits until the write and its pauses are out.
    link_.together([&] { queueWrite(action); });
}

void PollCycle::queueWrite(const WriteAction& action) {
    switch (action.kind) {
    case WriteAction::Drop:
        break;
    case WriteAction::Memory:
        link_.WriteMemoryWord(action.word, state_.PendingHigh, state_.PendingLow);
        break;
    case WriteAction::Eeprom:
        link_.WriteEepromWord(action.word, state_.PendingHigh, state_.PendingLow);
        break;
    case WriteAction::Clock: {
        const char* entry = nullptr;
        for (const auto& c : model_.clockEntries) {
            if (c.code == action.word) entry = c.entry;
        }
        state_.PendingLow = clockBcd(entry ? panel_.entryText(entry) : std::string());
        state_.PendingHigh = 0;
        link_.WriteMemoryWord(action.word, state_.PendingHigh, state_.PendingLow);
        state_.PendingLow = clockCommand(action.word);
        link_.WriteMemoryWord(ClockSetWord, state_.PendingHigh, state_.PendingLow);
        break;
    }
    }
}

bool PollCycle::syncChecks() {
    // A box follows only a flag the controller has answered for; the others wait for a cycle
    // that reads them.
    flagSynced_.resize(model_.flags.size());
    bool all = true;
    for (std::size_t i = 0; i < model_.flags.size(); ++i) {
        const FlagDef& c = model_.flags[i];
        if (flagSynced_[i]) continue;
        const std::string value = valueText(c.space, c.word);
        if (value.empty()) {
            all = false;
            continue;
        }
        flagSynced_[i] = true;
        const bool want = readsAsOne(value);
        if (panel_.isChecked(c.box) == want) continue;
        panel_.setChecked(c.box, want);
        checkClicked(c.code, want);
    }
    return all;
}

} // namespace calcore
