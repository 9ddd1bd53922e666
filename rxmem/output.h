// What rxmem says: data on standard output (WORD=VALUE lines, differences, CSV), messages and
// the progress line on standard error. Every line goes out whole, so the lines of several
// ports never mix inside one line.
#pragma once

#include <QString>

namespace rxmem {

// A message on standard error, in one write, before any session runs.
void complain(const QString& line);

class Output {
  public:
    // `progress`: a progress line runs on standard error (a terminal, no --quiet, one port).
    explicit Output(bool progress) : progress_(progress) {}

    void data(const QString& line);
    void message(const QString& line);
    void progress(const QString& text);
    void endProgress();

    // The system's reason (an errno value) a write of standard output failed; 0 when none did.
    int dataErrno() const { return dataErrno_; }

  private:
    bool progress_;
    bool progressShown_ = false;
    int dataErrno_ = 0;
};

} // namespace rxmem
