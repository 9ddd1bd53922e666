// Which port a controller answers on. Every port named is asked at once with one harmless read,
// a word every model answers, and given ProbeReplyMs to reply; a reply counts only when it is
// the word's own line (parseReply). A port is opened only when it exists and is a serial device,
// and taken as every tool takes its port. Nothing is sent but that one read. rxmem's `ports`
// and the port windows' "Procurar" ask through it.
#pragma once

#include "linesettings.h"
#include "wordspace.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace rxline {

// How long a port's reply is waited for.
constexpr int ProbeReplyMs = 500;

struct PortAnswer {
    enum class State { Asking, Answers, Silent, Busy, NoPermission, CannotOpen };
    QString name;   // as listed or given: COM3, ttyUSB0, /dev/ttyACM0
    QString device; // the path the name leads to
    State state = State::Asking;
    QString value; // Answers: the value the controller gave the word
    int error = 0; // Busy, NoPermission, CannotOpen: the system's reason (an errno value);
                   // ENOTTY for a device that is no serial port
};

class PortProbe : public QObject {
    Q_OBJECT
  public:
    explicit PortProbe(QObject* parent = nullptr);
    ~PortProbe() override;

    // The word asked and its name ("E28").
    static Space wordSpace();
    static std::uint8_t wordNumber();
    static QString wordName();

    // Asks every port of `names` at once at `line`; finished() comes once each has answered,
    // stayed silent or refused, never inside this call. A scan under way is cancelled first.
    void start(const QStringList& names, const LineSettings& line = {});
    // Closes the ports still asked; no finished() for this scan.
    void cancel();
    bool running() const { return running_; }

    const std::vector<PortAnswer>& answers() const { return answers_; }
    // The first port, in the order given, where a controller answered; -1 for none.
    int firstAnswering() const;

  signals:
    void finished();

  private:
    struct Asked;
    void ask(std::size_t index, const LineSettings& line);
    void collect(std::size_t index);
    void settle(std::size_t index, PortAnswer::State state, int error = 0);
    void finishWhenDone();

    std::vector<PortAnswer> answers_;
    std::vector<std::unique_ptr<Asked>> asked_;
    int pending_ = 0;
    unsigned scan_ = 0;
    bool running_ = false;
};

} // namespace rxline
