// The ten-step poll cycle shared by the calibration tools.
//
// Timer1 ticks every 30 ms; each tick advances Tick. The stored parameters are read at steps 2
// and 7 after a request, the live words at step 3, the one pending write goes out at step 5 and
// each check box is set once from the controller, at the end of the first cycle that got an
// answer for its flag. Buttons and check boxes only record requests here; they never send
// frames.
#pragma once

#include "model.h"
#include "wordlink.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <map>
#include <string>
#include <vector>

namespace calcore {

// What the cycle needs of the window.
class Panel {
  public:
    virtual ~Panel() = default;
    virtual void showValue(const char* label, const std::string& valueText) = 0;
    virtual std::string entryText(const char* entry) const = 0;
    virtual bool isChecked(const char* box) const = 0;
    // Sets the box without running its click handling.
    virtual void setChecked(const char* box, bool checked) = 0;
};

struct PollState {
    std::int16_t Tick = 0;
    std::int16_t RefreshPending = 1;
    std::int16_t PendingWrite = 0;
    std::uint8_t PendingHigh = 0;
    std::uint8_t PendingLow = 0;
    std::int16_t SyncChecksPending = 1;
};

class PollCycle : public QObject {
    Q_OBJECT
  public:
    static constexpr int TickMs = 30;
    // Reads in a row without an answer before the controller is told silent.
    static constexpr int SilentAfterMissedReads = 3;

    PollCycle(const Model& model, rxline::WordLink& link, Panel& panel, QObject* parent = nullptr);

    // The main window load: counters to their start values and Timer1 running.
    void start();
    // Timer1 stops for good (the program is ending).
    void stop();

    // One step of the cycle: what Timer1 runs every 30 ms. A tick that falls due while a step
    // or other traffic still runs starts nothing.
    void tick();

    // A button's request with the value of its entry box. Returns false, and records nothing,
    // when the entry's number does not fit in 32 bits.
    bool requestEntryWrite(int code, const std::string& entryText);
    // A request that records the code only (the clock's "D").
    void requestCodeOnly(int code);
    // The click handling of a flag check box.
    void checkClicked(int code, bool checked);

    // The line is back after the port was lost: the count starts again with a parameter
    // refresh, as after the window's load; a pending write is kept.
    void resume();
    // Sends the pending write now, if there is one (the program is ending).
    void sendPendingWrite();

    // Reads every parameter word of the model and shows the value texts.
    void RefreshParameters();
    // Reads `reads` at once, ahead of the queued frames, and asks for a parameter refresh;
    // Tick and PendingWrite are left as they are.
    void fetchNow(std::span<const WordRead> reads);

    // The value text last read for a word (empty before its first read).
    std::string valueText(rxline::Space space, std::uint8_t word) const;

    const PollState& state() const { return state_; }
    QTimer& timer() { return timer_; }

  signals:
    // A step has run to its end (tests and benchmarks follow the cycle with it).
    void stepDone(int tick);
    // False once SilentAfterMissedReads reads in a row got no answer; true again at the first
    // answer.
    void answeringChanged(bool answering);
    // The live reads of step 3 are done: the value text of each, in the order of the model's
    // live reads, empty where the read got no reply. Only what the cycle read; nothing more is
    // sent for it.
    void liveRound(const std::vector<std::string>& values);

  private:
    // `keep`, when given, also takes the value text.
    void readInto(const WordRead& b, std::string* keep = nullptr);
    void carryOutPendingWrite();
    void queueWrite(const rxline::WriteAction& action);
    // True when every flag box has been set from an answer.
    bool syncChecks();
    void restartRequested();
    void noteAnswer(bool answered);

    const Model& model_;
    rxline::WordLink& link_;
    Panel& panel_;
    QTimer timer_;
    PollState state_;
    bool stepRunning_ = false;
    bool stopped_ = false;
    bool answering_ = true;
    int missedInARow_ = 0;
    unsigned requestSerial_ = 0;
    std::map<std::pair<rxline::Space, std::uint8_t>, std::string> values_;
    std::vector<bool> flagSynced_;   // by the model's flag rows
    std::vector<std::string> round_; // the live values of the step 3 under way
};

} // namespace calcore
