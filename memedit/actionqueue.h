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

    // A write, once clicked, goes out to its last frame even when the window closes; reads,
    // ticks and receive events may be abandoned then.
    enum class Completion { MayAbandon, MustFinish };

    explicit ActionQueue(QObject* parent = nullptr);

    // Runs the action at once when nothing is running, else queues it. An action with a
    // key is dropped when one with the same key still waits (a timer does not tick twice
    // while the window is frozen).
    void post(Steps steps, const QString& key = QString(),
              Completion completion = Completion::MayAbandon);
    bool busy() const { return running_ || !waiting_.empty(); }

    // From now on only actions that must finish run: the others, waiting or under way, are
    // dropped, and later ones refused.
    void finishWritesOnly();

  signals:
    void busyChanged(bool busy);
    // An action ended with an error; its remaining steps were dropped. portError: the error
    // came from the port, not from a box's text.
    void failed(const QString& message, bool portError);

  private:
    struct Action {
        Steps steps;
        QString key;
        Completion completion = Completion::MayAbandon;
    };
    void pump();

    std::deque<Action> waiting_;
    Steps current_;
    Completion currentCompletion_ = Completion::MayAbandon;
    bool running_ = false;
    bool pumping_ = false;
    bool writesOnly_ = false;
    QTimer pause_;
};

} // namespace memedit
