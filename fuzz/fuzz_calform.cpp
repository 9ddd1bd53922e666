// A calibration tool's window and poll cycle on a fake link in virtual time, the input playing
// both the technician and the controller. From the front come clicks on the model's request
// buttons (with typed entry texts), flag and other check boxes, fetch buttons, clicks in the
// middle of a step, the device going away and coming back, the port reopened, the window closed
// and the exit question answered; from the last bytes (their count is given up front) come the
// controller's replies to each read: silence, well-formed lines, wrong tags, arbitrary bytes,
// junk after the CR, and ahead of any of these lines for other words (a late reply to the read
// before, a neighbouring word, the same number in the other space, noise). Once they run out the
// controller answers every read with 0.
//
// What must hold whatever happens:
// - every frame is a 4-byte read of a word the model reads, a 6-byte write the model can make,
//   or one of the model's own fixed frames; the first frame after a load or a return of the
//   device is the model's greeting, when it has one;
// - a write carries what was asked for, at most once for each asking: the value of an entry
//   that was accepted (high byte first), 0 or 1 for a flag box clicked to that state, or for a
//   box the cycle set from an answer (1 only when the flag word's value text reads as 1), the
//   BCD of a clock entry followed by its set command;
// - after a memory word write the line rests for the controller's settle time;
// - an entry that does not fit in 32 bits records nothing and marks the box; one that fits
//   records its low 16 bits and restarts the count;
// - a read takes the value of the first line of its reply that names its word, or the empty
//   text when none does; the cycle keeps, for each word, what its last read took; a label shows
//   its start text or what the last read into it took, never a line for another word;
// - a flag box changes only when clicked, or at the end of a cycle that finds its flag word
//   answered while the box has not yet been set: then it shows whether the answer reads as 1;
//   the setting is over once every box has been set;
// - steps run 1 to 10 in order (a request or a return starts again at 1), and the cycle never
//   stalls while the line is there; nothing goes out while it is away, and the pending write
//   is kept for its return;
// - the last request goes out with its value, unless a box the cycle set since wrote over it;
//   closing the window lets the pending write leave, sends the exit question's frame only on
//   "yes", closes the port and ends the program;
// - no widget outlives its input.
#include "calform.h"
#include "fakelink.h"
#include "fuzzinput.h"
#include "offscreenapp.h"
#include "oracles.h"
#include "rx100model.h"
#include "rx200model.h"
#include "rx300model.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace calcore;
using namespace rxline;
using fuzzcheck::FuzzInput;
using fuzzcheck::require;

namespace {

using Word = std::pair<Space, std::uint8_t>;
using Bytes = std::pair<std::uint8_t, std::uint8_t>;

std::vector<const Model*> models() {
    return {&rx200::model(), &rx100::model(), &rx300::model()};
}

QByteArray bytesOf(std::span<const std::uint8_t> frame) {
    return QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
}

// How much virtual time a step may take: every read of the model timing out, with room for the
// pauses that clicks and writes add. Fetch clicks between two steps each queue their reads
// ahead of the next step, so a run of steps gets a budget for those too.
constexpr qint64 StepLimitMs = 60000;
constexpr qint64 QueuedWorkLimitMs = 600000;

class Session {
  public:
    Session(const Model& model, FuzzInput& actions, FuzzInput& replies, bool failOpen)
        : model_(model), in_(actions), replies_(replies) {
        auto link = std::make_unique<FakeLink>();
        link_ = link.get();
        link_->failOpen = failOpen;
        link_->answer = [this](Space space, std::uint8_t word) { return replyTo(space, word); };
        link_->onFrame = [this](const FakeLink::Frame&) { onFrame(); };
        form_ = std::make_unique<CalForm>(model_, QStringLiteral("COM1"), std::move(link));
        time_ = std::make_unique<VirtualTime>(*link_, form_->cycle());
        QObject::connect(&form_->cycle(), &PollCycle::stepDone, form_.get(),
                         [this](int tick) { onStep(tick); });
        QObject::connect(form_.get(), &CalForm::closed, form_.get(), [this] { ++closed_; });
        QObject::connect(form_.get(), &CalForm::portFailed, form_.get(), [this] { ++portFailed_; });
        learnModel();
    }

    // RX_FUZZ_TRACE=1 prints every frame and step of a run, to follow a saved input.
    static bool tracing() {
        static const bool on = qEnvironmentVariableIntValue("RX_FUZZ_TRACE") != 0;
        return on;
    }

    ~Session() {
        // The runner goes before the window, whose link and cycle it drives.
        time_.reset();
        form_.reset();
    }

    void run() {
        form_->load();
        greetingAt_ = 0;
        link_->run();
        checkFrames();
        if (link_->failOpen) {
            // Nothing goes out on a port that did not open, and the cycle does not run.
            require(portFailed_ == 1 && link_->frames.empty());
            time_->runUntil([] { return false; }, 2000);
            require(link_->frames.empty() && time_->steps.isEmpty());
            closeWindow();
            return;
        }
        require(link_->isOpen() && portFailed_ == 0);
        for (int action = 0; action < 48 && !in_.empty() && closed_ == 0; ++action) {
            if (!link_->isOpen()) awayAndBack();
            act(in_.byte(), false);
            checkAll();
        }
        if (closed_ == 0) finish();
    }

  private:
    // The last request recorded: its code, its value and the frame count at its click.
    struct Last {
        int code;
        std::uint8_t hi;
        std::uint8_t lo;
        std::size_t clickedAt;
    };

    // What the model's tables say may be read, written and shown.
    void learnModel() {
        require(checkModel(model_).empty());
        auto addReads = [this](std::span<const WordRead> reads) {
            for (const auto& r : reads) {
                readable_.insert({r.space, r.word});
                readsInto_[{r.space, r.word}].insert(r.label ? r.label : "");
                if (!r.label) continue;
                auto* label = qobject_cast<QLabel*>(control(r.label));
                require(label != nullptr);
                shown_[r.label] = {label->text()};
            }
        };
        addReads(model_.refreshReads);
        addReads(model_.liveReads);
        for (const auto& f : model_.fetches)
            addReads(f.reads);
        for (const auto& c : model_.clockEntries) {
            auto* entry = qobject_cast<QLineEdit*>(control(c.entry));
            require(entry != nullptr);
            clockBcds_[c.code].insert(fuzzcheck::bcdOracle(entry->text().toStdString()));
        }
        for (const auto& f : model_.flags) {
            auto* box = qobject_cast<QCheckBox*>(control(f.box));
            require(box != nullptr);
            flagChecked_.push_back(box->isChecked());
        }
        flagSet_.assign(model_.flags.size(), false);
    }

    QWidget* control(const char* name) const { return form_->control(QString::fromLatin1(name)); }

    // The controller's answer to a read, from the replies part of the input.
    std::optional<QByteArray> replyTo(Space space, std::uint8_t word) {
        const char tag = tagOf(space);
        const QByteArray echo = QByteArray::number(word);
        std::optional<QByteArray> reply;
        if (replies_.empty()) {
            reply = tag + echo + "0\r";
        } else {
            const std::uint8_t mode = replies_.byte();
            QByteArray others;
            for (int n = (mode >> 4) & 3; n > 0; --n)
                others += otherLine(space, word);
            switch (mode % 8) {
            case 0:
                break; // silence
            case 1:
            case 2:
            case 3: {
                QByteArray digits = QByteArray::number(replies_.word16());
                if (mode & 0x08) digits = digits.rightJustified(5, '0');
                reply = tag + echo + digits + '\r';
                break;
            }
            case 4:
                reply =
                    (tag == 'M' ? 'E' : 'M') + echo + QByteArray::number(replies_.byte()) + '\r';
                break;
            case 5:
                reply = QByteArray::fromStdString(replies_.text(12));
                break;
            case 6: {
                // One read at a time: the operands of + may be taken in any order.
                const QByteArray value = QByteArray::number(replies_.byte());
                const QByteArray junk = QByteArray::fromStdString(replies_.text(6));
                reply = tag + echo + value + '\r' + junk;
                break;
            }
            default:
                reply = tag + echo + QByteArray::fromStdString(replies_.text(6)) + '\r';
                break;
            }
            if (!others.isEmpty()) reply = others + reply.value_or(QByteArray());
        }
        previousRead_ = {space, word};
        answeredRead_ = Word{space, word};
        // A read whose line went away while it ran tells nothing: the word keeps its text.
        if (!link_->isOpen()) return reply;
        // The value of the first whole line that names the word; without one the read waits past
        // every other line to its time-out and takes the empty text.
        std::string value;
        for (qsizetype from = 0, cr; reply && (cr = reply->indexOf('\r', from)) >= 0;
             from = cr + 1) {
            const QByteArray line = reply->mid(from, cr + 1 - from);
            if (auto v = fuzzcheck::lineOracle(line.toStdString(), tag, word)) {
                value = *v;
                break;
            }
        }
        values_[{space, word}] = value;
        // A label that only this word's reads fill shows this value from now on; where the
        // word is read more than once into different places, each place may have it.
        const auto& into = readsInto_[{space, word}];
        const QString text = QString::fromLatin1(fuzzcheck::shownOracle(value));
        for (const std::string& label : into) {
            if (label.empty()) continue;
            if (into.size() == 1) shown_[label].clear();
            shown_[label].insert(text);
        }
        return reply;
    }

    // A whole line for another word than the one read: the late reply to the read before, the
    // neighbouring word, the same number in the other space, or noise.
    QByteArray otherLine(Space space, std::uint8_t word) {
        const std::uint8_t kind = replies_.byte();
        const QByteArray value = QByteArray::number(replies_.word16());
        switch (kind % 4) {
        case 0:
            if (previousRead_)
                return tagOf(previousRead_->first) + QByteArray::number(previousRead_->second) +
                       value + '\r';
            [[fallthrough]];
        case 1: {
            const auto next = static_cast<std::uint8_t>(kind & 0x80 ? word - 1 : word + 1);
            return tagOf(space) + QByteArray::number(next) + value + '\r';
        }
        case 2:
            return (space == Space::Memory ? 'E' : 'M') + QByteArray::number(word) + value + '\r';
        default:
            return QByteArray::fromStdString(replies_.text(8)) + '\r';
        }
    }

    void onFrame() {
        checkAnsweredRead();
        lossAt_.push_back(losses_);
        if (tracing()) {
            const auto& f = link_->frames.back();
            std::fprintf(stderr, "%7lld ms  %s\n", static_cast<long long>(f.ms),
                         f.bytes.toHex(' ').constData());
        }
        if (armed_ && link_->frames.size() >= armedAt_) {
            auto action = std::move(armed_);
            armed_ = nullptr;
            action();
        }
    }

    // The cycle keeps what the read answered last took; a read the loss of the line cut short
    // changes nothing.
    void checkAnsweredRead() {
        if (!answeredRead_) return;
        const Word w = *answeredRead_;
        answeredRead_.reset();
        require(form_->cycle().valueText(w.first, w.second) == values_[w]);
    }

    void onStep(int tick) {
        if (tracing()) std::fprintf(stderr, "%7lld ms  step %d\n", link_->now, tick);
        require(tick >= 1 && tick <= 10);
        if (lastTick_ != 0) require(tick == 1 || tick == lastTick_ + 1);
        lastTick_ = tick;
        if (tick == 10 && settingBoxes_) setBoxes();
    }

    // The end of a cycle that began with boxes still to set: each such box whose flag word has
    // been answered takes the answer; a box that changes so asks for its write.
    void setBoxes() {
        bool all = true;
        for (std::size_t i = 0; i < model_.flags.size(); ++i) {
            const FlagDef& f = model_.flags[i];
            if (flagSet_[i]) continue;
            const std::string& value = values_[{f.space, f.word}];
            if (value.empty()) {
                all = false;
                continue;
            }
            flagSet_[i] = true;
            const bool one = fuzzcheck::readsAsOneOracle(value);
            if (flagChecked_[i] == one) continue;
            flagChecked_[i] = one;
            allowWrite(f.code, {0, static_cast<std::uint8_t>(one)});
            boxSetSinceLast_ = true;
        }
        checkBoxes();
        require(form_->cycle().state().SyncChecksPending == (all ? 0 : 1));
        settingBoxes_ = !all;
    }

    void checkBoxes() {
        for (std::size_t i = 0; i < model_.flags.size(); ++i)
            require(qobject_cast<QCheckBox*>(control(model_.flags[i].box))->isChecked() ==
                    flagChecked_[i]);
    }

    void allowWrite(int code, Bytes value) {
        const WriteAction a = model_.dispatch[static_cast<std::size_t>(code)];
        if (a.kind == WriteAction::Memory) asked_[{Space::Memory, a.word}].insert(value);
        if (a.kind == WriteAction::Eeprom) asked_[{Space::Eeprom, a.word}].insert(value);
    }

    // One action of the technician (or of the line). Inside a frame only what a technician
    // can do in the middle of a step is done.
    void act(std::uint8_t b, bool midStep) {
        if (tracing()) std::fprintf(stderr, "action %d%s\n", b % 10, midStep ? " (mid-step)" : "");
        switch (b % 10) {
        case 0:
        case 1:
            if (!midStep) runSteps(1 + in_.byte() % 12);
            break;
        case 2:
        case 3: {
            const auto& r = model_.requests[in_.byte() % model_.requests.size()];
            request(r, QString::fromUtf8(QByteArray::fromStdString(in_.text(14))));
            break;
        }
        case 4:
            request(model_.requests[in_.byte() % model_.requests.size()], std::nullopt);
            break;
        case 5:
            clickBox(in_.byte());
            break;
        case 6:
            if (!model_.fetches.empty()) {
                const auto& f = model_.fetches[in_.byte() % model_.fetches.size()];
                auto* button = qobject_cast<QPushButton*>(control(f.button));
                require(button != nullptr);
                const bool enabled = button->isEnabled();
                const int before = form_->cycle().state().RefreshPending;
                button->click();
                // A fetch asks for the usual words back with a parameter refresh.
                require(form_->cycle().state().RefreshPending == (enabled ? 1 : before));
            }
            break;
        case 7:
            if (!midStep) {
                // Something happens as the k-th frame from now goes out.
                armedAt_ = link_->frames.size() + 1 + in_.byte() % 48;
                const std::uint8_t next = in_.byte();
                armed_ = [this, next] { act(next, true); };
                runSteps(1 + in_.byte() % 4);
                armed_ = nullptr;
            }
            break;
        case 8:
            if (link_->isOpen()) {
                ++losses_;
                link_->lose();
            }
            break;
        default:
            if (!midStep) endings(in_.byte());
            break;
        }
    }

    void request(const RequestDef& r, const std::optional<QString>& typed) {
        auto* entry = qobject_cast<QLineEdit*>(control(r.entry));
        auto* button = qobject_cast<QPushButton*>(control(r.button));
        require(entry && button);
        if (typed) {
            entry->setText(*typed);
            noteClockEntry(r.entry);
        }
        const PollState before = form_->cycle().state();
        const bool enabled = button->isEnabled();
        const auto clickedAt = link_->frames.size();
        button->click();
        const PollState& after = form_->cycle().state();
        if (!enabled) {
            require(after.PendingWrite == before.PendingWrite && after.Tick == before.Tick);
            return;
        }
        if (r.kind == RequestKind::CodeOnly) {
            require(after.PendingWrite == r.code && after.Tick == before.Tick);
            setLast({r.code, 0, 0, clickedAt});
            return;
        }
        const auto v = fuzzcheck::entryOracle(entry->text().toStdString());
        if (!v) {
            // Nothing is recorded for a number that does not fit, and the box says so.
            require(entry->property("invalid").toBool());
            require(after.PendingWrite == before.PendingWrite &&
                    after.PendingHigh == before.PendingHigh &&
                    after.PendingLow == before.PendingLow && after.Tick == before.Tick);
            return;
        }
        const auto low16 = static_cast<std::uint32_t>(*v) & 0xFFFFu;
        const auto hi = static_cast<std::uint8_t>(low16 >> 8);
        const auto lo = static_cast<std::uint8_t>(low16 & 0xFF);
        require(after.PendingWrite == r.code && after.PendingHigh == hi && after.PendingLow == lo);
        require(after.Tick == 0 && after.RefreshPending == 1);
        allowWrite(r.code, {hi, lo});
        setLast({r.code, hi, lo, clickedAt});
    }

    void setLast(const Last& last) {
        last_ = last;
        boxSetSinceLast_ = false;
    }

    void noteClockEntry(const char* entryName) {
        for (const auto& c : model_.clockEntries) {
            if (std::string_view(c.entry) != entryName) continue;
            auto* entry = qobject_cast<QLineEdit*>(control(c.entry));
            clockBcds_[c.code].insert(fuzzcheck::bcdOracle(entry->text().toStdString()));
        }
    }

    // Any check box of the window: a flag records its write of 1 or 0; any other box records
    // nothing in the cycle (the RX-100's mask boxes rebuild the mask text).
    void clickBox(std::uint8_t pick) {
        std::vector<const ControlDef*> boxes;
        for (const auto& c : model_.controls)
            if (c.kind == ControlKind::CheckBox) boxes.push_back(&c);
        if (boxes.empty()) return;
        const ControlDef& c = *boxes[pick % boxes.size()];
        auto* box = qobject_cast<QCheckBox*>(control(c.name));
        require(box != nullptr);
        const PollState before = form_->cycle().state();
        const bool was = box->isChecked();
        const bool enabled = box->isEnabled();
        const auto clickedAt = link_->frames.size();
        box->click();
        const PollState& after = form_->cycle().state();
        if (!enabled) {
            require(box->isChecked() == was && after.PendingWrite == before.PendingWrite);
            return;
        }
        require(box->isChecked() == !was);
        for (std::size_t i = 0; i < model_.flags.size(); ++i) {
            const FlagDef& f = model_.flags[i];
            if (std::string_view(f.box) != c.name) continue;
            const auto value = static_cast<std::uint8_t>(was ? 0 : 1);
            require(after.PendingWrite == f.code && after.PendingHigh == 0 &&
                    after.PendingLow == value);
            flagChecked_[i] = !was;
            allowWrite(f.code, {0, value});
            setLast({f.code, 0, value, clickedAt});
            return;
        }
        require(after.PendingWrite == before.PendingWrite);
        // The mask text may have changed under its entry.
    }

    // Runs `n` more steps; the cycle must get there while the line is there.
    void runSteps(int n) {
        const auto before = time_->steps.size();
        const auto want = before + static_cast<qsizetype>(n);
        const bool ok =
            time_->runUntil([&] { return time_->steps.size() >= want || !link_->isOpen(); },
                            QueuedWorkLimitMs + StepLimitMs * n);
        if (link_->isOpen()) require(ok);
        checkAll();
    }

    // The device is away for a while, then comes back.
    void awayAndBack() {
        const auto frames = link_->frames.size();
        const auto steps = time_->steps.size();
        const int pending = form_->cycle().state().PendingWrite;
        time_->runUntil([] { return false; }, 1000 + 500 * (in_.byte() % 8));
        require(link_->frames.size() == frames && time_->steps.size() == steps);
        require(form_->cycle().state().PendingWrite == pending);
        greetingAt_ = link_->frames.size();
        link_->comeBack();
        lastTick_ = 0;
        require(form_->cycle().state().Tick == 0 && form_->cycle().state().RefreshPending == 1);
        require(form_->cycle().state().PendingWrite == pending);
    }

    void endings(std::uint8_t b) {
        switch (b % 4) {
        case 0:
            // "Abrir programa": the port is closed and opened again.
            if (!link_->isOpen() || ending_) break;
            form_->reopenPort();
            link_->run();
            require(link_->isOpen());
            break;
        case 1:
            closeWindow();
            break;
        default:
            answerQuestion((b & 0x04) != 0, (b & 0x08) != 0);
            break;
        }
    }

    void closeWindow() {
        if (!ending_) {
            ending_ = true;
            closedAt_ = link_->frames.size();
            lossesAtClose_ = losses_;
            openAtClose_ = link_->isOpen();
        }
        form_->close();
        if (!model_.exitQuestion || link_->failOpen) {
            link_->run();
            require(closed_ == 1);
            afterClose();
            return;
        }
        require(form_->question() != nullptr);
    }

    // The exit question's answer: "yes", "no" or the question window closed.
    void answerQuestion(bool yes, bool closeQuestion) {
        QWidget* q = form_->question();
        if (!q || closed_ != 0 || answered_) return;
        answered_ = true;
        saidYes_ = yes && !closeQuestion;
        if (closeQuestion) {
            q->close();
        } else {
            const ExitQuestion& e = *model_.exitQuestion;
            auto* button =
                q->findChild<QPushButton*>(QString::fromLatin1(yes ? e.yesButton : e.noButton));
            require(button != nullptr);
            button->click();
        }
        // The cycle goes on during the question's pause; then the program ends.
        require(time_->runUntil([this] { return closed_ != 0; }, QueuedWorkLimitMs + StepLimitMs));
        afterClose();
    }

    void afterClose() {
        require(closed_ == 1);
        require(!link_->isOpen());
        checkAll();
        const bool lineStayed = openAtClose_ && losses_ == lossesAtClose_;
        if (model_.exitQuestion && !link_->failOpen && lineStayed) {
            int yesFrames = 0;
            const QByteArray yesFrame = bytesOf(model_.exitQuestion->yesFrame);
            for (std::size_t i = closedAt_; i < link_->frames.size(); ++i)
                if (link_->frames[i].bytes == yesFrame) ++yesFrames;
            require(yesFrames == (saidYes_ ? 1 : 0));
        }
        // A write the technician asked for leaves before the port closes.
        if (lineStayed) {
            require(form_->cycle().state().PendingWrite == 0);
            checkLastWent();
        }
        // Nothing more goes out, whatever time passes.
        const auto frames = link_->frames.size();
        time_->runUntil([] { return false; }, 5000);
        require(link_->frames.size() == frames);
    }

    // At the end: the device is there, the question (if any) is answered, two whole cycles run;
    // the pending write must be gone and the last request must have gone out.
    void finish() {
        if (!link_->isOpen()) awayAndBack();
        if (form_->question()) {
            answerQuestion(false, false);
            return;
        }
        if (ending_) return;
        const auto tens = time_->steps.count(10);
        require(time_->runUntil([&] { return time_->steps.count(10) >= tens + 2; },
                                QueuedWorkLimitMs + StepLimitMs * 20));
        checkAll();
        require(form_->cycle().state().PendingWrite == 0);
        checkLastWent();
    }

    // The last recorded request's write is among the frames since its click, with its value,
    // unless a box the cycle set since then put its own write in its place.
    void checkLastWent() {
        if (!last_ || boxSetSinceLast_) return;
        const std::size_t from = last_->clickedAt;
        const WriteAction a = model_.dispatch[static_cast<std::size_t>(last_->code)];
        if (a.kind == WriteAction::Drop) return;
        bool found = false;
        for (std::size_t i = from; i < link_->frames.size() && !found; ++i) {
            const QByteArray& f = link_->frames[i].bytes;
            if (f.size() != 6 || f[0] != 'W') continue;
            const auto word = static_cast<std::uint8_t>(f[2]);
            const auto hi = static_cast<std::uint8_t>(f[3]);
            const auto lo = static_cast<std::uint8_t>(f[4]);
            switch (a.kind) {
            case WriteAction::Memory:
            case WriteAction::Eeprom:
                found = f[1] == (a.kind == WriteAction::Memory ? 'M' : 'E') && word == a.word &&
                        hi == last_->hi && lo == last_->lo;
                break;
            case WriteAction::Clock:
                found = f[1] == 'M' && word == a.word;
                break;
            case WriteAction::Drop:
                break;
            }
        }
        require(found);
    }

    void checkAll() {
        checkAnsweredRead();
        checkFrames();
        checkLabels();
        checkBoxes();
    }

    void checkLabels() {
        for (const auto& [name, texts] : shown_) {
            auto* label = qobject_cast<QLabel*>(control(name.c_str()));
            require(texts.count(label->text()) == 1);
        }
    }

    void checkFrames() {
        const auto& frames = link_->frames;
        const QByteArray greeting = bytesOf(model_.loadFrame);
        const QByteArray yesFrame =
            model_.exitQuestion ? bytesOf(model_.exitQuestion->yesFrame) : QByteArray();
        for (; checked_ < frames.size(); ++checked_) {
            const std::size_t i = checked_;
            const QByteArray& f = frames[i].bytes;
            if (greetingAt_ && *greetingAt_ == i) {
                if (!greeting.isEmpty()) require(f == greeting);
                greetingAt_.reset();
            }
            if (f.size() == 4 && f[0] == 'R') {
                require((f[1] == 'M' || f[1] == 'E') && f[3] == '\r');
                require(readable_.count({space(f[1]), static_cast<std::uint8_t>(f[2])}) == 1);
                require(!clockSetDue(i));
                continue;
            }
            if (f.size() == 6 && f[0] == 'W') {
                require((f[1] == 'M' || f[1] == 'E') && f[5] == '\r');
                checkWrite(i);
                continue;
            }
            require(!clockSetDue(i));
            require((!greeting.isEmpty() && f == greeting) ||
                    (!yesFrame.isEmpty() && f == yesFrame));
        }
        // The controller's settle time after each memory word write.
        for (std::size_t i = std::max<std::size_t>(settled_, 1); i < frames.size(); ++i) {
            const QByteArray& prev = frames[i - 1].bytes;
            if (prev.size() == 6 && prev[0] == 'W' && prev[1] == 'M')
                require(frames[i].ms - frames[i - 1].ms >= MemoryWriteSettleMs);
        }
        settled_ = frames.size();
    }

    static Space space(char letter) { return letter == 'M' ? Space::Memory : Space::Eeprom; }

    // True when frame i should be the clock set command that follows a clock word write, and
    // no loss of the line came between them.
    bool clockSetDue(std::size_t i) const {
        if (i == 0) return false;
        const QByteArray& prev = link_->frames[i - 1].bytes;
        if (prev.size() != 6 || prev[0] != 'W' || prev[1] != 'M') return false;
        const auto word = static_cast<std::uint8_t>(prev[2]);
        if (word < 66 || word > 69) return false;
        return lossAt_[i] == lossAt_[i - 1];
    }

    void checkWrite(std::size_t i) {
        const QByteArray& f = link_->frames[i].bytes;
        const Word w{space(f[1]), static_cast<std::uint8_t>(f[2])};
        const Bytes value{static_cast<std::uint8_t>(f[3]), static_cast<std::uint8_t>(f[4])};
        // The clock: the BCD of an entry the clock code reads, then the set command.
        if (w.first == Space::Memory && w.second == ClockSetWord) {
            require(i > 0);
            const QByteArray& prev = link_->frames[i - 1].bytes;
            require(prev.size() == 6 && prev[0] == 'W' && prev[1] == 'M');
            require(value.first == 0 && value.second == clockCommand(std::uint8_t(prev[2])));
            require(value.second >= 1 && value.second <= 4);
            return;
        }
        require(!clockSetDue(i));
        // Each request lets one write of its value go out.
        bool ok = false;
        if (auto it = asked_.find(w); it != asked_.end()) {
            if (auto v = it->second.find(value); v != it->second.end()) {
                it->second.erase(v);
                ok = true;
            }
        }
        if (w.first == Space::Memory && clockBcds_.count(w.second) &&
            model_.dispatch[w.second].kind == WriteAction::Clock && value.first == 0 &&
            clockBcds_.at(w.second).count(value.second))
            ok = true;
        require(ok);
    }

    const Model& model_;
    FuzzInput& in_;      // the technician and the line
    FuzzInput& replies_; // the controller
    FakeLink* link_ = nullptr;
    std::unique_ptr<CalForm> form_;
    std::unique_ptr<VirtualTime> time_;

    std::set<Word> readable_;
    std::map<Word, std::set<std::string>> readsInto_; // labels, "" for a read kept unshown
    std::map<std::string, std::set<QString>> shown_;  // what each label may show now
    std::map<Word, std::string> values_;              // what each word's last read took
    std::map<Word, std::multiset<Bytes>> asked_;      // writes asked for and not yet seen
    std::map<int, std::set<std::uint8_t>> clockBcds_;
    std::vector<bool> flagChecked_; // what each flag box must show
    std::vector<bool> flagSet_;     // set from an answer already
    bool settingBoxes_ = true;
    bool boxSetSinceLast_ = false;

    std::size_t checked_ = 0;
    std::size_t settled_ = 0;
    std::optional<std::size_t> greetingAt_;
    std::vector<int> lossAt_;
    int losses_ = 0;
    int lastTick_ = 0;
    std::function<void()> armed_;
    std::size_t armedAt_ = 0;
    std::optional<Last> last_;
    std::optional<Word> answeredRead_;
    std::optional<Word> previousRead_;

    int closed_ = 0;
    int portFailed_ = 0;
    bool ending_ = false;
    bool answered_ = false;
    bool saidYes_ = false;
    bool openAtClose_ = false;
    std::size_t closedAt_ = 0;
    int lossesAtClose_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzcheck::offscreenApp();
    static const std::vector<const Model*> all = models();
    // The model and the port, then how many of the last bytes are the controller's replies.
    FuzzInput head(data, size);
    const std::uint8_t pick = head.byte();
    const std::size_t wanted = head.word16(); // read before what is left is counted
    const std::size_t replyBytes = std::min(wanted, head.left());
    const std::size_t actionBytes = head.left() - replyBytes;
    const std::uint8_t* rest = data + (size - head.left());
    FuzzInput actions(rest, actionBytes);
    FuzzInput replies(rest + actionBytes, replyBytes);
    const Model& model = *all[pick % all.size()];
    const bool failOpen = (pick & 0xF0) == 0xF0;
    {
        Session session(model, actions, replies, failOpen);
        session.run();
    }
    // Whatever the windows left for later is carried out before the next input.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    require(QApplication::allWidgets().isEmpty());
    return 0;
}
