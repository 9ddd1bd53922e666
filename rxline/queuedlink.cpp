#include "queuedlink.h"

#include <algorithm>
#include <iterator>

namespace rxline {

void QueuedLink::open(const QString& portText, OpenDone done) {
    Op op{Op::Open};
    op.name = portText;
    op.openDone = std::move(done);
    enqueue(std::move(op));
}

void QueuedLink::close() {
    enqueue(Op{Op::Close});
}

void QueuedLink::readReply(Space space, std::uint8_t word, ReplyDone done) {
    Op op{Op::Read};
    op.space = space;
    op.word = word;
    op.bytes = toBytes(readFrame(space, word));
    op.replyDone = std::move(done);
    enqueue(std::move(op));
}

void QueuedLink::send(const QByteArray& bytes) {
    Op op{Op::Send};
    op.bytes = bytes;
    enqueue(std::move(op));
}

void QueuedLink::Wait(int ms) {
    Op op{Op::Pause};
    op.ms = ms;
    enqueue(std::move(op));
}

void QueuedLink::then(std::function<void()> fn) {
    Op op{Op::Call};
    op.call = std::move(fn);
    enqueue(std::move(op));
}

void QueuedLink::ahead(std::function<void()> fn) {
    Op op{Op::Call};
    op.call = std::move(fn);
    enqueue(std::move(op), true);
}

void QueuedLink::together(std::function<void()> fn) {
    if (openGroup_ != 0) { // already inside one
        fn();
        return;
    }
    openGroup_ = ++lastGroup_;
    fn();
    openGroup_ = 0;
}

void QueuedLink::shutdown(std::function<void()> done) {
    if (shutDown_) return;
    // Reads and callbacks serve a window that is going away; frames and pauses were asked for.
    auto unwanted = [](const Op& op) { return op.kind == Op::Read || op.kind == Op::Call; };
    std::erase_if(queue_, unwanted);
    std::erase_if(urgent_, unwanted);
    // A callback that ends the program may have queued a last write just before: it goes first.
    std::erase_if(inserted_, unwanted);
    queue_.insert(queue_.begin(), std::make_move_iterator(urgent_.begin()),
                  std::make_move_iterator(urgent_.end()));
    urgent_.clear();
    queue_.push_back(Op{Op::Close});
    Op last{Op::Call};
    last.call = std::move(done);
    queue_.push_back(std::move(last));
    shutDown_ = true;
    if (!active_) schedulePump();
}

void QueuedLink::abandon(std::function<void()> done) {
    dropQueued();
    shutDown_ = false; // an end already under way is replaced by this one, which keeps nothing
    shutdown(std::move(done));
}

void QueuedLink::enqueue(Op op, bool urgent) {
    if (shutDown_) return;
    op.group = openGroup_;
    if (inCall_) {
        inserted_.push_back(std::move(op));
        return;
    }
    (urgent ? urgent_ : queue_).push_back(std::move(op));
    if (!active_) schedulePump();
}

void QueuedLink::pump() {
    if (pumping_) return;
    pumping_ = true;
    while (!active_ && (!urgent_.empty() || !queue_.empty())) {
        // The rest of a group goes on before anything else; otherwise urgent work first.
        auto& previous = currentUrgent_ ? urgent_ : queue_;
        const bool groupGoesOn =
            runningGroup_ != 0 && !previous.empty() && previous.front().group == runningGroup_;
        if (!groupGoesOn) currentUrgent_ = !urgent_.empty();
        auto& from = currentUrgent_ ? urgent_ : queue_;
        current_ = std::move(from.front());
        from.pop_front();
        runningGroup_ = current_.group;
        active_ = true;
        if (current_.kind != Op::Call) {
            startOp(current_);
            continue;
        }
        auto fn = std::move(current_.call);
        inCall_ = true;
        if (fn) fn();
        inCall_ = false;
        // What the callback queued runs next, in its order.
        auto& into = currentUrgent_ ? urgent_ : queue_;
        for (auto it = inserted_.rbegin(); it != inserted_.rend(); ++it)
            into.push_front(std::move(*it));
        inserted_.clear();
        active_ = false;
        current_ = Op();
    }
    pumping_ = false;
}

void QueuedLink::finishOp() {
    active_ = false;
    current_ = Op();
    pump();
}

std::optional<WordLink::ReadReply> QueuedLink::answerFor(std::string_view line) const {
    const ReplyLine reply = parseReply(line, tagOf(current_.space), current_.word);
    if (reply.kind == ReplyKind::Other) return std::nullopt;
    return ReadReply{reply.kind, std::string(reply.text)};
}

void QueuedLink::finishRead(const ReadReply& reply) {
    auto done = std::move(current_.replyDone);
    if (done) done(reply);
    finishOp();
}

void QueuedLink::dropQueued() {
    queue_.clear();
    urgent_.clear();
    inserted_.clear();
}

} // namespace rxline
