// One port's run of a command: its link, its reads and writes, how it ends (done, a lost port,
// a signal) and what it says. Several sessions run side by side in the one event loop, one per
// --port, each with its own link.
#pragma once

#include "cli.h"
#include "link.h"
#include "output.h"
#include "wordreader.h"
#include "wordwriter.h"

#include <QObject>

#include <memory>

namespace rxmem {

// What a command has checked and made ready before any port opens.
struct Job {
    std::vector<Word> words;       // read, save, watch
    std::vector<Assignment> items; // write, load, diff
    bool twins = false;            // write, load: the editor's words, each with its twin
};

class Session : public QObject {
    Q_OBJECT
  public:
    using Flow = void (*)(Session&);

    // `named`: several sessions run, and every line this one says begins with its port.
    Session(const Options& options, const Job& job, QString port, Output& output, bool named);
    ~Session() override;

    // Opens the port, then runs `flow`.
    void start(Flow flow);
    // A stop signal: the session ends at the boundary of the word under way, or as the command's
    // own stop says (setStopHandler).
    void stop(int signo);
    // A command that ends on a signal its own way (watch: after the row under way, status 0).
    void setStopHandler(std::function<void()> handler) { stopHandler_ = std::move(handler); }
    // A command that goes on when the port goes away (watch): the link opens it again as soon
    // as it can, and the session says so on standard error.
    void outliveLoss() { outliveLoss_ = true; }
    // Asked at every word's boundary: false when the session has ended, or ends now because a
    // stop was asked for.
    bool proceed();
    // The command's end, with its status; the port closes once its bytes have left.
    void finish(int status);
    // The end with a message on standard error; `reason`, when given, is the shorter form the
    // last line of several ports gives.
    void fail(const QString& message, int status = ExitLine, const QString& reason = {});

    // Standard output (data) and standard error (messages), with this session's port in front
    // when several run.
    void data(const QString& line);
    void message(const QString& line);
    void progress(int done, int total, Word word);

    const Options& options() const { return options_; }
    const Job& job() const { return job_; }
    const QString& port() const { return port_; }
    rxline::WordLink& link() { return link_; }
    WordReader& reader() { return reader_; }
    WordWriter& writer() { return writer_; }
    bool ended() const { return ended_; }
    int status() const { return status_; }
    // Why the session failed, for the last line of several ports.
    const QString& failure() const { return failure_; }

    // Reads `words` by the agreeing-replies rule; `then` gets their values. A word that gives
    // no value ends the session with a message.
    void readAll(std::vector<Word> words, std::function<void(std::vector<std::uint16_t>)> then);

  signals:
    void finished(int status);

  private:
    void portLost();
    void portBack();
    // How far the command got, for a stop or a lost port: "after 40 of 180 words read, nothing
    // saved"; empty before its first read or write.
    QString howFar() const;
    void end(int status);

    const Options& options_;
    const Job& job_;
    QString port_;
    QString shown_; // the port's name as a message shows it
    Output& output_;
    bool named_;
    rxline::Link link_;
    LineTrust trust_;
    WordReader reader_;
    WordWriter writer_;
    int stopSignal_ = 0;
    std::function<void()> stopHandler_;
    bool outliveLoss_ = false;
    bool ended_ = false;
    bool closed_ = false;
    int status_ = ExitDone;
    QString failure_;
};

} // namespace rxmem
