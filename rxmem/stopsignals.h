// SIGINT, SIGTERM and SIGHUP as events of the loop: the signals are blocked and read from a
// signalfd, so that the program stops at a safe point (a word's boundary), never in the middle
// of a word's frames.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace rxmem {

// Blocks the stop signals for the whole process; called first thing in main(), before any
// thread exists, so that no thread takes one the default way.
void blockStopSignals();

class StopSignals : public QObject {
    Q_OBJECT
  public:
    StopSignals();
    ~StopSignals() override;

  signals:
    void stopRequested(int signo);

  private:
    void take();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// "SIGINT", "SIGTERM", "SIGHUP".
QString signalName(int signo);

} // namespace rxmem
