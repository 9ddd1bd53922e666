// The queue every link runs its work through: one operation at a time, in order, with
// callbacks that may queue more work ahead of what was queued after them, urgent work that goes
// ahead of the queue, and an end that lets frames leave but drops reads. A link only says how
// each kind of operation starts on its line and when it has ended.
#pragma once

#include "wordlink.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace rxline {

// How the work runs. One operation is on the line at a time (active_): the next starts only when
// the link ends the current one, and pump() never runs inside itself. What waits sits in three
// lists. queue_ holds what was asked, in the order asked; urgent_ holds what ahead() asked, and its
// front goes before queue_'s each time an operation ends. While a callback runs, what it asks goes
// to inserted_, which is put, in its order, at the front of the list the callback came from once it
// returns: a callback's work goes before all that list held (urgent work may still go before the
// work of a callback from queue_). together() gives what it asks one group number; once an
// operation of a group has started, the rest of that group goes next, ahead of urgent work too, so
// a write and the controller's pause after it, or a clock value and its set command, are never
// split by a fetch. After shutdown() nothing more is taken in.
class QueuedLink : public WordLink {
  public:
    void open(const QString& portText, OpenDone done = {}) override;
    void close() override;
    void readReply(Space space, std::uint8_t word, ReplyDone done) override;
    void send(const QByteArray& bytes) override;
    void Wait(int ms) override;
    void then(std::function<void()> fn) override;
    void ahead(std::function<void()> fn) override;
    void together(std::function<void()> fn) override;
    bool busy() const override { return active_ || !queue_.empty() || !urgent_.empty(); }
    void shutdown(std::function<void()> done) override;
    void abandon(std::function<void()> done) override;

  protected:
    struct Op {
        enum Kind { Open, Close, Send, Read, Pause, Call };
        explicit Op(Kind k = Call) : kind(k) {}
        Kind kind;
        QByteArray bytes; // the frame of a Send or Read
        Space space = Space::Memory;
        std::uint8_t word = 0;
        int ms = 0;         // a Pause's length; a Close counts its waiting here
        unsigned group = 0; // ops queued by one together() share a number
        QString name;
        ReplyDone replyDone;
        OpenDone openDone;
        std::function<void()> call;
    };

    // Starts `op` (never a Call) on the line; the link calls finishOp() when it has ended,
    // at once or later.
    virtual void startOp(Op& op) = 0;
    // Arranges for pump() to run later, outside the call that queued the work.
    virtual void schedulePump() = 0;

    // Starts queued work until an operation waits for the line.
    void pump();
    void finishOp();
    // What a complete reply line (ending in CR) gives the running read; std::nullopt when the
    // line names another word, which the read drops and waits on.
    std::optional<ReadReply> answerFor(std::string_view line) const;
    // Ends the running read with `reply` (kind Other: no line of its own came).
    void finishRead(const ReadReply& reply);
    // Drops all queued work (the link is going away).
    void dropQueued();

    bool active() const { return active_; }
    Op& current() { return current_; }

  private:
    void enqueue(Op op, bool urgent = false);

    std::deque<Op> queue_;
    std::deque<Op> urgent_;   // taken before queue_
    std::deque<Op> inserted_; // work queued by a running callback
    Op current_;
    bool currentUrgent_ = false;
    unsigned openGroup_ = 0;    // the group being queued
    unsigned lastGroup_ = 0;    // the last group number given
    unsigned runningGroup_ = 0; // the group of the op started last
    bool active_ = false;
    bool pumping_ = false;
    bool inCall_ = false;
    bool shutDown_ = false;
};

} // namespace rxline
