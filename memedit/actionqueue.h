// Runs the editor's actions one at a time on the window's thread. An action is a list of
// steps; a step may ask for a pause before the next one. During a pause the window keeps
// painting, but nothing else of the editor runs: actions posted meanwhile (clicks, timer
// ticks, receive events) wait and run afterwards, in the order they came.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>

namespace memedit {

class ActionQueue : public QObject {
    Q_OBJECT
  public:
    // A step returns the pause in milliseconds to take before the next step (0: none), or
    // again(ms) to run itself once more after that pause.
    using Step = std::function<int()>;
    static constexpr int again(int ms) { return -ms; }
    using Steps = std::deque<Step>;

    explicit ActionQueue(QObject* parent = nullptr);

    // Runs the action at once when nothing is running, else queues it. An action with a
    // key is dropped when one with the same key still waits (a timer does not tick twice
    // while the window is frozen).
    void post(Steps steps, const QString& key = QString());
    bool busy() const { return running_ || !waiting_.empty(); }

  signals:
    void busyChanged(bool busy);
    // An action ended with an error; its remaining steps were dropped.
    void failed(const QString& message);

  private:
    struct Action {
        Steps steps;
        QString key;
    };
    void pump();

    std::deque<Action> waiting_;
    Steps current_;
    bool running_ = false;
    bool pumping_ = false;
    QTimer pause_;
};

} // namespace memedit
