#include "session.h"

#include "linesettings.h"
#include "messages.h"
#include "portaccess.h"
#include "portnames.h"
#include "stopsignals.h"
#include "terminaltext.h"

#include <cstring>

namespace rxmem {

namespace {
QString openReason(int code) {
    switch (rxport::openRefusal(code)) {
    case rxport::OpenRefusal::Missing:
        return text("the port does not exist on this computer (is the cable or the USB adapter "
                    "plugged in?)");
    case rxport::OpenRefusal::Permission:
        return text("no permission to use the port: the user must belong to the group dialout");
    case rxport::OpenRefusal::Busy:
        return text("the port is in use by another program");
    case rxport::OpenRefusal::NotSerial:
        return text("this name is not a serial port's");
    case rxport::OpenRefusal::Other:
        break;
    }
    return QString::fromLocal8Bit(std::strerror(code));
}
} // namespace

Session::Session(const Options& options, const Job& job, QString port, Output& output, bool named)
    : options_(options), job_(job), port_(std::move(port)), shown_(rxport::escaped(port_)),
      output_(output), named_(named), reader_(link_, trust_), writer_(link_) {
    link_.setLineWatcher([this](rxline::WordLink::LineEvent event, const QString&) {
        if (event == rxline::WordLink::LineEvent::Lost) portLost();
        if (event == rxline::WordLink::LineEvent::Back) portBack();
    });
}

Session::~Session() = default;

void Session::start(Flow flow) {
    link_.open(port_, [this, flow](bool ok, const QString&) {
        if (!ok) {
            const QString reason = openReason(link_.openErrno());
            fail(text("cannot open port %1 (%2): %3")
                     .arg(shown_, rxport::escaped(rxport::resolvePortName(port_)), reason),
                 ExitLine, reason);
            return;
        }
        if (proceed()) flow(*this);
    });
}

void Session::stop(int signo) {
    if (ended_ || stopSignal_ != 0) return;
    if (stopHandler_) {
        stopHandler_();
        return;
    }
    stopSignal_ = signo;
    // Nothing under way: the boundary is now.
    if (!link_.busy()) proceed();
}

bool Session::proceed() {
    if (ended_) return false;
    if (stopSignal_ == 0) return true;
    QString why = text("stopped by %1").arg(signalName(stopSignal_));
    if (const QString far = howFar(); !far.isEmpty())
        why = text("stopped by %1 %2").arg(signalName(stopSignal_), far);
    fail(why, 128 + stopSignal_);
    return false;
}

void Session::portLost() {
    if (ended_) return;
    if (outliveLoss_) {
        message(text("the port %1 went away: cable or adapter unplugged? Trying again once a "
                     "second")
                    .arg(shown_));
        return;
    }
    ended_ = true;
    status_ = ExitLine;
    failure_ = text("the port %1 went away: cable or adapter unplugged?").arg(shown_);
    message(failure_);
    if (const QString far = howFar(); !far.isEmpty())
        message(text("port %1 lost %2").arg(shown_, far));
    // Nothing more goes out, even when the port comes back, and it is not opened again.
    link_.abandon([this] { emit finished(status_); });
}

void Session::portBack() {
    if (!ended_) message(text("the port %1 is back").arg(shown_));
}

QString Session::howFar() const {
    const auto number = [](int n) { return QString::number(n); };
    if (writer_.started()) {
        QString last = writer_.lastWritten()
                           ? text("last written %1").arg(rxwords::wordName(*writer_.lastWritten()))
                           : text("nothing written");
        if (const auto cut = writer_.underWay())
            last += QStringLiteral("; ") +
                    text("%1 may be written in part").arg(rxwords::wordName(*cut));
        return text("after %1 of %2 word (%3)", "after %1 of %2 words (%3)",
                    static_cast<unsigned long>(writer_.total()))
            .arg(number(writer_.written()), number(writer_.total()), last);
    }
    if (!reader_.started()) return {};
    const auto total = static_cast<unsigned long>(reader_.total());
    const QString taken = number(reader_.taken()), all = number(reader_.total());
    switch (options_.command) {
    case Command::Save:
        return text("after %1 of %2 word read, nothing saved",
                    "after %1 of %2 words read, nothing saved", total)
            .arg(taken, all);
    case Command::Load:
    case Command::Write:
        return text("after %1 of %2 word read, nothing written",
                    "after %1 of %2 words read, nothing written", total)
            .arg(taken, all);
    default:
        return text("after %1 of %2 word read", "after %1 of %2 words read", total).arg(taken, all);
    }
}

void Session::finish(int status) {
    if (ended_) return;
    end(status);
}

void Session::fail(const QString& why, int status, const QString& reason) {
    if (ended_) return;
    failure_ = reason.isEmpty() ? why : reason;
    message(why);
    end(status);
}

void Session::end(int status) {
    ended_ = true;
    status_ = status;
    output_.endProgress();
    link_.shutdown([this] { emit finished(status_); });
}

void Session::data(const QString& line) {
    output_.data(named_ ? shown_ + QStringLiteral(": ") + line : line);
    // Standard output went away or is full: nothing said from now on would arrive. The status
    // tells it at the end.
    if (output_.dataErrno() != 0) finish(ExitDone);
}

void Session::message(const QString& line) {
    output_.message((named_ ? shown_ : QStringLiteral("rxmem")) + QStringLiteral(": ") + line);
}

void Session::progress(int done, int total, Word word) {
    output_.progress(QStringLiteral("%1/%2 %3")
                         .arg(QStringLiteral("%1").arg(done, 4), QString::number(total),
                              rxwords::wordName(word)));
}

void Session::readAll(std::vector<Word> words,
                      std::function<void(std::vector<std::uint16_t>)> then) {
    reader_.read(
        std::move(words), [this](int done, int total, Word w) { progress(done, total, w); },
        [this] { return proceed(); },
        [this, then = std::move(then)](const WordReader::Result& r) {
            const QString word = rxwords::wordName(r.failedWord);
            const QString reads = QString::number(r.reads);
            switch (r.failure) {
            case WordReader::Failure::None:
                output_.endProgress();
                then(r.values);
                return;
            case WordReader::Failure::NoReply:
                fail(text("no reply from the controller to the read of %1 on port %2 (%3 bps, %4 "
                          "reads); 'rxmem ports' finds the port that answers")
                         .arg(word, shown_, QString::number(rxline::LineBaudRate), reads));
                return;
            case WordReader::Failure::Garbled:
                fail(text("garbled replies from the controller to the read of %1 on port %2 (%3 "
                          "reads, no value they agree on)")
                         .arg(word, shown_, reads));
                return;
            case WordReader::Failure::FewReplies:
                fail(text("too few replies from the controller to the read of %1 on port %2 (%3 "
                          "of %4 reads answered, no value they agree on)")
                         .arg(word, shown_, QString::number(r.replies), reads));
                return;
            case WordReader::Failure::Live: {
                QStringList seen;
                for (const std::uint16_t v : r.seen)
                    seen << QString::number(v);
                fail(text("%1 changes from read to read (%2): a live value; `rxmem watch %1` "
                          "logs it")
                         .arg(word, seen.join(QStringLiteral(", "))));
                return;
            }
            }
        });
}

} // namespace rxmem
