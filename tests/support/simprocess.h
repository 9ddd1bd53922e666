// The controller simulator as a process of the test's own, publishing its pseudo-terminal as
// DIR/COM1 and logging frames to DIR/frames.log; it ends with the object.
#pragma once

#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTest>

class SimProcess {
  public:
    SimProcess(QString dir, QStringList options)
        : dir_(std::move(dir)), options_(std::move(options)) {}
    ~SimProcess() { stop(); }
    QString log() const { return dir_ + "/frames.log"; }
    bool start() {
        process_.start(RXSIM_PROGRAM,
                       QStringList{"--link", dir_ + "/COM1", "--log", log()} + options_);
        return process_.waitForStarted(10000) &&
               QTest::qWaitFor([this] { return QFileInfo(dir_ + "/COM1").isSymLink(); }, 10000);
    }
    void stop() {
        process_.terminate();
        process_.waitForFinished(10000);
    }

  private:
    QString dir_;
    QStringList options_;
    QProcess process_;
};
