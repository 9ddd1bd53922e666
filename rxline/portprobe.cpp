#include "portprobe.h"

#include "codec.h"
#include "link.h"
#include "modelwords.h"
#include "portaccess.h"
#include "portnames.h"
#include "tracelog.h"
#include "wordlink.h"

#include <QFile>
#include <QSerialPort>
#include <QTimer>

#include <cerrno>
#include <sys/stat.h>

namespace rxline {

struct PortProbe::Asked {
    QSerialPort port;
    QTimer timer;
    QByteArray received;
};

namespace {
constexpr calcore::WordRead kWord = commonWord();
} // namespace

PortProbe::PortProbe(QObject* parent) : QObject(parent) {}

PortProbe::~PortProbe() {
    cancel();
}

Space PortProbe::wordSpace() {
    return kWord.space;
}

std::uint8_t PortProbe::wordNumber() {
    return kWord.word;
}

QString PortProbe::wordName() {
    return QLatin1Char(tagOf(kWord.space)) + QString::number(kWord.word);
}

void PortProbe::start(const QStringList& names, const LineSettings& line) {
    cancel();
    ++scan_;
    running_ = true;
    answers_.assign(std::size_t(names.size()), {});
    asked_.resize(answers_.size());
    for (std::size_t i = 0; i < answers_.size(); ++i) {
        answers_[i].name = names[qsizetype(i)];
        ask(i, line);
    }
    finishWhenDone();
}

void PortProbe::ask(std::size_t index, const LineSettings& line) {
    PortAnswer& answer = answers_[index];
    answer.device = rxport::resolvePortName(answer.name);
    // Only a serial device is opened: a COMn link that leads nowhere, a file or a disk is not.
    struct stat st {};
    if (::stat(QFile::encodeName(answer.device).constData(), &st) != 0) {
        settle(index, PortAnswer::State::CannotOpen, errno);
        return;
    }
    if (!rxport::isSerialDevice(answer.device)) {
        settle(index, PortAnswer::State::CannotOpen, ENOTTY);
        return;
    }
    auto asked = std::make_unique<Asked>();
    line.applyTo(asked->port);
    if (const int code = openExclusive(asked->port, answer.device); code != 0) {
        rxport::trace().event("OPENFAIL", answer.device);
        switch (rxport::openRefusal(code)) {
        case rxport::OpenRefusal::Busy:
            settle(index, PortAnswer::State::Busy, code);
            return;
        case rxport::OpenRefusal::Permission:
            settle(index, PortAnswer::State::NoPermission, code);
            return;
        default:
            settle(index, PortAnswer::State::CannotOpen, code);
            return;
        }
    }
    rxport::trace().event("OPEN", answer.device);
    Asked& a = *asked;
    asked_[index] = std::move(asked);
    ++pending_;
    a.timer.setSingleShot(true);
    a.timer.setTimerType(Qt::PreciseTimer);
    connect(&a.timer, &QTimer::timeout, this, [this, index] {
        rxport::trace().event("TIMEOUT", answers_[index].device);
        settle(index, PortAnswer::State::Silent);
    });
    connect(&a.port, &QSerialPort::readyRead, this, [this, index] { collect(index); });
    const QByteArray frame = toBytes(readFrame(kWord.space, kWord.word));
    rxport::trace().bytes("TX", frame);
    a.port.write(frame);
    a.port.flush();
    a.timer.start(ProbeReplyMs);
}

void PortProbe::collect(std::size_t index) {
    Asked& asked = *asked_[index];
    asked.received += asked.port.readAll();
    for (qsizetype cr; (cr = asked.received.indexOf(char(CR))) >= 0;) {
        const QByteArray line = asked.received.left(cr + 1);
        asked.received.remove(0, cr + 1);
        const ReplyLine reply =
            parseReply(std::string_view(line.constData(), std::size_t(line.size())),
                       tagOf(kWord.space), kWord.word);
        if (reply.kind != ReplyKind::Value) {
            // Noise, another word's line, a garbled one: no controller is told by it.
            rxport::trace().bytes("DROP", line);
            continue;
        }
        rxport::trace().bytes("RX", line);
        answers_[index].value =
            QString::fromLatin1(reply.text.data(), qsizetype(reply.text.size()));
        settle(index, PortAnswer::State::Answers);
        return;
    }
}

void PortProbe::settle(std::size_t index, PortAnswer::State state, int error) {
    PortAnswer& answer = answers_[index];
    if (answer.state != PortAnswer::State::Asking) return;
    answer.state = state;
    answer.error = error;
    if (Asked* asked = asked_[index].get(); asked && asked->port.isOpen()) {
        asked->timer.stop();
        rxport::trace().event("CLOSE", answer.device);
        asked->port.close();
        --pending_;
        finishWhenDone();
    }
}

void PortProbe::finishWhenDone() {
    if (!running_ || pending_ > 0) return;
    // Never inside start(), nor inside a port's own signal: the receiver may start again.
    QMetaObject::invokeMethod(
        this,
        [this, scan = scan_] {
            if (scan != scan_ || !running_) return;
            running_ = false;
            emit finished();
        },
        Qt::QueuedConnection);
}

void PortProbe::cancel() {
    for (std::size_t i = 0; i < asked_.size(); ++i) {
        if (asked_[i] && asked_[i]->port.isOpen()) {
            rxport::trace().event("CLOSE", answers_[i].device);
            asked_[i]->port.close();
        }
    }
    asked_.clear();
    pending_ = 0;
    running_ = false;
    ++scan_;
}

int PortProbe::firstAnswering() const {
    for (std::size_t i = 0; i < answers_.size(); ++i)
        if (answers_[i].state == PortAnswer::State::Answers) return int(i);
    return -1;
}

} // namespace rxline
