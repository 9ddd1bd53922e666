// A link to a controller that lives in the test, on a virtual clock: every frame is recorded
// with the virtual time it went out, reads are answered (or not) as the test says, pauses and
// time-outs move the clock instead of waiting. The queue is the one the serial link uses.
#pragma once

#include "pollcycle.h"
#include "queuedlink.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class FakeLink : public rxline::QueuedLink {
  public:
    struct Frame {
        qint64 ms;
        QByteArray bytes;
    };

    // The line a controller gives to a read, or nothing (silence). Default: tag, word, "0", CR.
    std::function<std::optional<QByteArray>(rxline::Space, std::uint8_t)> answer;
    int latencyMs = 3;
    bool failOpen = false;
    // Runs as a frame goes out, before its reply: the test may click in the middle of a step.
    std::function<void(const Frame&)> onFrame;

    qint64 now = 0;
    std::vector<Frame> frames;

    bool isOpen() const override { return open_; }
    // The device goes away, and comes back with the port opened again.
    void lose() {
        open_ = false;
        lineEvent(LineEvent::Lost, QStringLiteral("Input/output error"));
    }
    void comeBack() {
        open_ = true;
        lineEvent(LineEvent::Back);
    }
    // Carries out the queue until it is empty.
    void run() { pump(); }

    // The write frames, as hex ("57 45 1d 00 07 0d"), in order.
    QStringList writes() const;
    // Every frame as "RE70", "RM15", "WE29", ... in order.
    QStringList names() const;

  protected:
    void startOp(Op& op) override;
    void schedulePump() override {}

  private:
    void record(const QByteArray& bytes);
    bool open_ = false;
};

// Runs a poll cycle in virtual time: Timer1 ticks 30 ms after each step has ended, as it does
// on the real clock, and the link's work takes the virtual time it would take on the line.
class VirtualTime {
  public:
    VirtualTime(FakeLink& link, calcore::PollCycle& cycle);

    // Runs until `done` holds (checked whenever the line is quiet); false past `limitMs` of
    // virtual time from now.
    bool runUntil(const std::function<bool()>& done, qint64 limitMs = 600000);
    // Runs until `count` more steps numbered `tick` have ended.
    bool runSteps(int tick, int count = 1);
    // Every step that has ended, in order.
    QList<int> steps;

  private:
    FakeLink& link_;
    calcore::PollCycle& cycle_;
    qint64 nextTick_;
    QObject context_; // the step connection ends with this runner
};
