#include "session.h"

#include "messages.h"
#include "portaccess.h"
#include "portnames.h"
#include "stopsignals.h"

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
    : options_(options), job_(job), port_(std::move(port)), output_(output), named_(named),
      reader_(link_, trust_), writer_(link_) {
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
                     .arg(port_, rxport::resolvePortName(port_), reason),
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
    if (writer_.started()) why += QLatin1Char(' ') + written();
    fail(why, 128 + stopSignal_);
    return false;
}

void Session::portLost() {
    if (ended_) return;
    if (outliveLoss_) {
        message(text("the port %1 went away: cable or adapter unplugged? Trying again once a "
                     "second")
                    .arg(port_));
        return;
    }
    ended_ = true;
    status_ = ExitLine;
    failure_ = text("the port %1 went away: cable or adapter unplugged?").arg(port_);
    message(failure_);
    if (writer_.started()) message(text("port %1 lost %2").arg(port_, written()));
    // Nothing more goes out, even when the port comes back, and it is not opened again.
    link_.abandon([this] { emit finished(status_); });
}

void Session::portBack() {
    if (!ended_) message(text("the port %1 is back").arg(port_));
}

QString Session::written() const {
    QString last = writer_.lastWritten()
                       ? text("last written %1").arg(rxwords::wordName(*writer_.lastWritten()))
                       : text("nothing written");
    if (const auto cut = writer_.underWay())
        last +=
            QStringLiteral("; ") + text("%1 may be written in part").arg(rxwords::wordName(*cut));
    return text("after %1 of %2 word (%3)", "after %1 of %2 words (%3)",
                static_cast<unsigned long>(writer_.total()))
        .arg(writer_.written())
        .arg(writer_.total())
        .arg(last);
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
    output_.data(named_ ? port_ + QStringLiteral(": ") + line : line);
    // Standard output went away or is full: nothing said from now on would arrive. The status
    // tells it at the end.
    if (output_.dataErrno() != 0) finish(ExitDone);
}

void Session::message(const QString& line) {
    output_.message((named_ ? port_ : QStringLiteral("rxmem")) + QStringLiteral(": ") + line);
}

void Session::progress(int done, int total, Word word) {
    output_.progress(
        QStringLiteral("%1/%2 %3").arg(done, 4).arg(total).arg(rxwords::wordName(word)));
}

void Session::readAll(std::vector<Word> words,
                      std::function<void(std::vector<std::uint16_t>)> then) {
    reader_.read(
        std::move(words), [this](int done, int total, Word w) { progress(done, total, w); },
        [this] { return proceed(); },
        [this, then = std::move(then)](const WordReader::Result& r) {
            switch (r.failure) {
            case WordReader::Failure::None:
                output_.endProgress();
                then(r.values);
                return;
            case WordReader::Failure::NoReply:
                fail(text("no reply from the controller to the read of %1 on port %2 (%3 reads)")
                         .arg(rxwords::wordName(r.failedWord), port_)
                         .arg(r.reads));
                return;
            case WordReader::Failure::Garbled:
                fail(text("garbled replies from the controller to the read of %1 on port %2 (%3 "
                          "reads, no value they agree on)")
                         .arg(rxwords::wordName(r.failedWord), port_)
                         .arg(r.reads));
                return;
            }
        });
}

} // namespace rxmem
