// The word commands of the main window and its receive handler.
#include "mainwindow.h"

#include "errors.h"
#include "serialport.h"
#include "wordcommands.h"
#include "wordmap.h"

#include <QLineEdit>

namespace memedit {

namespace {
constexpr int kPauseAfterWrite = 100;
constexpr int kPauseBetweenBlockWords = 100;
constexpr int kPauseAfterReply = 500;
constexpr int kBlockFirst = 21;
constexpr int kBlockLast = 35;

QByteArray byte(int value) {
    return QByteArray(1, char(value & 0xFF));
}
} // namespace

void MainWindow::readWord(int word) {
    if (!comPort_->connected()) comPort_->open();
    pendingWord_ = word < 100 ? word - 20 : word;
    replyBuffer_.clear();
    comPort_->sendText("RM");
    comPort_->sendText(byte(word));
    comPort_->sendText(byte(0x0D));
}

ActionQueue::Steps MainWindow::writeSteps(const RowInfo& row, std::shared_ptr<QString> text,
                                          int pauseAfter) {
    const int word = row.word;
    auto value = std::make_shared<qint32>(0);
    ActionQueue::Steps steps;
    steps.push_back([this, word, text, value, eepromPause = row.eepromPause] {
        if (!comPort_->connected()) comPort_->open();
        comPort_->sendText("WM");
        comPort_->sendText(byte(word));
        // What has gone out stays out when the box does not hold a number.
        *value = boxValue(*text);
        comPort_->sendText(byte(*value >> 8));
        comPort_->sendText(byte(*value));
        comPort_->sendText(byte(0x0D));
        return eepromPause > 0 ? eepromPause : kPauseAfterWrite;
    });
    if (row.eepromWord >= 0) {
        steps.push_back([this, value, eeprom = row.eepromWord] {
            comPort_->sendText("WE");
            comPort_->sendText(byte(eeprom));
            comPort_->sendText(byte(*value >> 8));
            comPort_->sendText(byte(*value));
            comPort_->sendText(byte(0x0D));
            return kPauseAfterWrite;
        });
    }
    steps.push_back([this, pauseAfter] {
        comPort_->close();
        return pauseAfter;
    });
    return steps;
}

void MainWindow::postWrite(int word) {
    const RowInfo* row = rowForWord(word);
    auto text = std::make_shared<QString>();
    ActionQueue::Steps steps = writeSteps(*row, text, 0);
    // The box is read when the write runs, not when a click made during a pause came.
    steps.push_front([this, text, word] {
        *text = box(word)->text();
        return 0;
    });
    queue_.post(std::move(steps));
}

void MainWindow::postBlockWrite() {
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
    queue_.post(std::move(steps));
}

int MainWindow::receive(int count) {
    if (!comPort_->connected()) return 0;
    replyBuffer_ += comPort_->receiveText(count);
    if (replyBuffer_.isEmpty() || !replyBuffer_.endsWith('\r')) return 0;
    const ReplyValue reply = replyValue(replyBuffer_, pendingWord_);
    if (reply.word > 0) {
        if (QLineEdit* edit = box(reply.word)) edit->setText(reply.text);
    }
    replyBuffer_.clear();
    return kPauseAfterReply;
}

} // namespace memedit
