#include "actionqueue.h"

#include "errors.h"

#include <algorithm>

namespace memedit {

ActionQueue::ActionQueue(QObject* parent) : QObject(parent) {
    pause_.setSingleShot(true);
    pause_.setTimerType(Qt::PreciseTimer);
    connect(&pause_, &QTimer::timeout, this, &ActionQueue::pump);
}

void ActionQueue::post(Steps steps, const QString& key, Completion completion) {
    if (writesOnly_ && completion != Completion::MustFinish) return;
    if (!key.isEmpty() && std::any_of(waiting_.begin(), waiting_.end(),
                                      [&](const Action& a) { return a.key == key; }))
        return;
    waiting_.push_back(Action{std::move(steps), key, completion});
    pump();
}

void ActionQueue::finishWritesOnly() {
    writesOnly_ = true;
    std::erase_if(waiting_, [](const Action& a) { return a.completion != Completion::MustFinish; });
    if (running_ && currentCompletion_ != Completion::MustFinish) {
        // A reply's pause or a read under way: nothing of it needs to reach the controller.
        pause_.stop();
        current_.clear();
    }
    pump();
}

void ActionQueue::pump() {
    if (pumping_ || pause_.isActive()) return;
    pumping_ = true;
    for (;;) {
        if (current_.empty()) {
            if (waiting_.empty()) {
                if (running_) {
                    running_ = false;
                    pumping_ = false;
                    emit busyChanged(false);
                    return;
                }
                break;
            }
            current_ = std::move(waiting_.front().steps);
            currentCompletion_ = waiting_.front().completion;
            waiting_.pop_front();
            if (!running_) {
                running_ = true;
                emit busyChanged(true);
            }
            continue;
        }
        Step step = std::move(current_.front());
        current_.pop_front();
        int pauseMs = 0;
        try {
            pauseMs = step();
        } catch (const EditorError& error) {
            current_.clear();
            emit failed(error.message(), dynamic_cast<const PortError*>(&error) != nullptr);
        }
        if (pauseMs < 0) {
            current_.push_front(std::move(step));
            pause_.start(-pauseMs);
            break;
        }
        if (pauseMs > 0) {
            pause_.start(pauseMs);
            break;
        }
    }
    pumping_ = false;
}

} // namespace memedit
