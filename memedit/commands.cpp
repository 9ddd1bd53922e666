// The word commands of the main window and its receive handler.
#include "mainwindow.h"

#include "catalog.h"
#include "errors.h"
#include "portaccess.h"
#include "serialport.h"
#include "tracelog.h"
#include "wordcommands.h"
#include "wordmap.h"
#include "wordwrites.h"

#include <QLineEdit>
#include <QTimer>

#include <cerrno>

namespace memedit {

namespace {
constexpr int kPauseBetweenBlockWords = 100;
constexpr int kPauseAfterReply = 500;
constexpr int kBlockFirst = 21;
constexpr int kBlockLast = 35;
constexpr int kSilentAfterMs = 1500;

QByteArray byte(int value) {
    return QByteArray(1, char(value & 0xFF));
}
} // namespace

void Form1::ReadWord(int word) {
    if (!comPort_->Connected()) comPort_->Open();
    PendingWord = word < 100 ? word - 20 : word;
    ReplyBuffer.clear();
    comPort_->SendText("RM");
    comPort_->SendText(byte(word));
    comPort_->SendText(byte(0x0D));
    watchForSilence();
}

void Form1::watchForSilence() {
    if (!silence_) {
        silence_ = new QTimer(this);
        silence_->setSingleShot(true);
        silence_->setInterval(kSilentAfterMs);
        connect(silence_, &QTimer::timeout, this, [this] {
            const PortSettings& s = comPort_->settings();
            showInTitle(messageText("no reply from the controller on %1 (%2 bps): \"Search\" in "
                                    "\"Ajuste Serial\" or 'rxmem ports' finds the port that "
                                    "answers")
                            .arg(s.port, QString::number(s.effectiveBaudRate())));
        });
    }
    // Counted from the first read left without an answer: a sweep's next reads do not put it off.
    if (!silence_->isActive()) silence_->start();
}

ActionQueue::Steps Form1::writeSteps(const RowInfo& row, std::shared_ptr<QString> text,
                                     int pauseAfter) {
    const int word = row.word;
    auto value = std::make_shared<qint32>(0);
    ActionQueue::Steps steps;
    steps.push_back([this, word, text, value, eepromPause = row.eepromPause] {
        // A box that holds no number sends nothing: half a frame would make the controller take
        // the next frame's bytes as this one's data.
        *value = boxValue(*text);
        if (!comPort_->Connected()) comPort_->Open();
        comPort_->SendText("WM");
        comPort_->SendText(byte(word));
        comPort_->SendText(byte(*value >> 8));
        comPort_->SendText(byte(*value));
        comPort_->SendText(byte(0x0D));
        setMarked(word, false); // the controller holds what the box shows
        return eepromPause > 0 ? eepromPause : rxline::PauseAfterWriteMs;
    });
    if (row.eepromWord >= 0) {
        steps.push_back([this, value, eeprom = row.eepromWord] {
            comPort_->SendText("WE");
            comPort_->SendText(byte(eeprom));
            comPort_->SendText(byte(*value >> 8));
            comPort_->SendText(byte(*value));
            comPort_->SendText(byte(0x0D));
            return rxline::PauseAfterWriteMs;
        });
    }
    // Closing discards what the device has not sent yet: at a slow rate or with the flow held,
    // a frame may still be on its way after the pause. Wait for it, as long as the calibration
    // tools do.
    steps.push_back([this, waited = 0]() mutable {
        if (!comPort_->outputPending()) return 0;
        if (waited >= rxport::DrainLimitMs) {
            // The frame did not leave: say so rather than report a write that never happened.
            comPort_->Close();
            throw PortError(PortErrorNumber::WriteFile, ETIMEDOUT);
        }
        waited += rxport::DrainPollMs;
        return ActionQueue::again(rxport::DrainPollMs);
    });
    steps.push_back([this, pauseAfter] {
        comPort_->Close();
        return pauseAfter;
    });
    return steps;
}

void Form1::WriteWord(int word) {
    const RowInfo* row = rowForWord(word);
    auto text = std::make_shared<QString>();
    ActionQueue::Steps steps = writeSteps(*row, text, 0);
    // The box is read when the write runs, not when a click made during a pause came.
    steps.push_front([this, text, word] {
        *text = box(word)->text();
        return 0;
    });
    queue_.post(std::move(steps), QString(), ActionQueue::Completion::MustFinish);
}

void Form1::WriteBlock() {
    ActionQueue::Steps steps;
    std::vector<std::shared_ptr<QString>> texts;
    for (int word = kBlockFirst; word <= kBlockLast; ++word) {
        texts.push_back(std::make_shared<QString>());
        ActionQueue::Steps wordSteps =
            writeSteps(*rowForWord(word), texts.back(), kPauseBetweenBlockWords);
        std::move(wordSteps.begin(), wordSteps.end(), std::back_inserter(steps));
    }
    // The window stays frozen for the whole block: the boxes are taken as they stand
    // when it begins.
    steps.push_front([this, texts] {
        for (int word = kBlockFirst; word <= kBlockLast; ++word)
            *texts[size_t(word - kBlockFirst)] = box(word)->text();
        return 0;
    });
    queue_.post(std::move(steps), QString(), ActionQueue::Completion::MustFinish);
}

int Form1::receive(int count) {
    if (!comPort_->Connected()) return 0;
    ReplyBuffer += comPort_->ReceiveText(count);
    if (ReplyBuffer.isEmpty() || !ReplyBuffer.endsWith('\r')) return 0;
    // Only a line that names the word read last fills its box; a late reply to an earlier read,
    // or any other line, changes nothing. Such a line is not the answer either: the editor goes
    // on listening without the pause after a reply, or line noise that ends in a CR would hold
    // the real answer back until the next tick had taken its word away.
    bool answered = false;
    for (const QByteArray& line : replyLines(ReplyBuffer)) {
        const ReplyValue reply = replyValue(line, PendingWord);
        if (reply.word == 0) {
            rxport::trace().bytes("DROP", line);
        } else if (QLineEdit* edit = box(reply.word)) {
            if (silence_) silence_->stop();
            edit->setText(reply.text);
            filled(reply.word);
            setMarked(reply.word, false);
            answered = true;
        }
    }
    ReplyBuffer.clear();
    return answered ? kPauseAfterReply : 0;
}

} // namespace memedit
