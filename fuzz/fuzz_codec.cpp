// The calibration tools' reply lines on arbitrary bytes, as the link's queue takes them: reads
// of any word of either space go out one at a time, the controller's bytes arrive in pieces of
// any size, before, during or after a read, and a read ends at the first line that names its
// word or at its time-out with nothing. The value text each read hands over is held against the
// rule written out in oracles.h, every line a read passed over must name another word, and what
// a label shows and the flag reading are held against theirs.
#include "codec.h"
#include "fuzzinput.h"
#include "oracles.h"
#include "queuedlink.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace rxline;
using fuzzcheck::FuzzInput;
using fuzzcheck::require;

namespace {

// A line to a controller whose bytes the input delivers. It collects lines as the serial link
// does: what waits on the line when a read starts is offered to it, bytes keep coming in pieces,
// a line that names another word is dropped, the read ends with its own line (the rest of that
// delivery is dropped with it) or at the time-out; bytes that come while no read runs wait for
// the next one.
class PieceLink : public QueuedLink {
  public:
    bool isOpen() const override { return true; }

    void deliver(const std::string& piece) {
        line_ += piece;
        if (reading_) collect();
    }
    void timeOut() {
        if (reading_) endRead();
    }
    // Runs the queue whenever it asked to be run, as the event loop would.
    void settle() {
        while (pumpWanted_) {
            pumpWanted_ = false;
            pump();
        }
    }

    std::string collected; // the reply the last read was cut from
    Space readingSpace = Space::Memory;
    std::uint8_t readingWord = 0;
    int readsStarted = 0;

  protected:
    void startOp(Op& op) override {
        if (op.kind != Op::Read) {
            finishOp();
            return;
        }
        // The frame a read sends: "R", the space letter, the word number, CR.
        const auto frame = readFrame(op.space, op.word);
        require(op.bytes == QByteArray(reinterpret_cast<const char*>(frame.data()), 4));
        require(frame[0] == 'R' && frame[1] == tagOf(op.space) && frame[2] == op.word &&
                frame[3] == CR);
        readingSpace = op.space;
        readingWord = op.word;
        ++readsStarted;
        reading_ = true;
        reply_.clear();
        collect();
    }
    void schedulePump() override { pumpWanted_ = true; }

  private:
    void collect() {
        reply_ += line_;
        line_.clear();
        for (std::size_t cr; (cr = reply_.find(char(CR))) != std::string::npos;) {
            const std::string line = reply_.substr(0, cr + 1);
            reply_.erase(0, cr + 1);
            const auto reply = answerFor(line);
            require((reply ? std::optional(valueTextOf(reply->text)) : std::nullopt) ==
                    fuzzcheck::lineOracle(line, tagOf(readingSpace), readingWord));
            if (!reply) continue;
            reading_ = false;
            reply_.clear();
            collected = line;
            finishRead(*reply);
            return;
        }
    }
    void endRead() {
        reading_ = false;
        reply_.clear();
        collected.clear();
        finishRead({});
    }

    std::string line_;
    std::string reply_;
    bool reading_ = false;
    bool pumpWanted_ = false;
};

void checkValueText(const std::string& value) {
    require(value.size() <= 5);
    require(displayText(value) == fuzzcheck::shownOracle(value));
    require(readsAsOne(value) == fuzzcheck::readsAsOneOracle(value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);

    // The rule itself on the input's first line, for every tag.
    if (const auto cr = std::string_view(reinterpret_cast<const char*>(data), size).find(char(CR));
        cr != std::string_view::npos) {
        const std::string_view text(reinterpret_cast<const char*>(data), cr + 1);
        const std::uint8_t word = size > 0 ? data[0] : 0;
        for (char tag : {'M', 'E'}) {
            const auto value = replyValue(text, tag, word);
            require(value == fuzzcheck::lineOracle(text, tag, word));
            if (value) checkValueText(*value);
        }
    }

    PieceLink link;
    int issued = 0;
    int answered = 0;
    std::vector<bool> done;

    auto issueRead = [&](Space space, std::uint8_t word) {
        const int id = issued++;
        done.push_back(false);
        link.readWord(space, word, [&, id, space, word](const std::string& value) {
            // Each read is answered once, with the reply its own frame brought.
            require(!done[static_cast<std::size_t>(id)]);
            done[static_cast<std::size_t>(id)] = true;
            ++answered;
            require(link.readingSpace == space && link.readingWord == word);
            // Its own line, or nothing at all.
            require(
                value ==
                fuzzcheck::lineOracle(link.collected, tagOf(space), word).value_or(std::string()));
            checkValueText(value);
        });
    };

    for (int op = 0; op < 256 && !in.empty(); ++op) {
        const std::uint8_t b = in.byte();
        switch (b % 7) {
        case 0:
        case 1:
            issueRead((b & 0x08) ? Space::Eeprom : Space::Memory, in.byte());
            break;
        case 2:
        case 3:
            link.deliver(in.text(12));
            break;
        case 4:
            link.timeOut();
            break;
        case 5:
            // A line for a word the input picks: often another one than the read's.
            link.deliver(((b & 0x08) ? 'E' : 'M') + std::to_string(in.byte()) + in.text(6) +
                         char(CR));
            break;
        case 6: {
            // A read asked for by a callback goes ahead of what was queued after the callback.
            const Space space = (b & 0x08) ? Space::Eeprom : Space::Memory;
            const std::uint8_t word = in.byte();
            link.then([&, space, word] { issueRead(space, word); });
            break;
        }
        }
        link.settle();
    }
    // Whatever is still waiting times out in turn.
    for (int guard = 0; link.busy() && guard < 1024; ++guard) {
        link.timeOut();
        link.settle();
    }
    require(!link.busy());
    require(answered == issued && link.readsStarted == issued);
    return 0;
}
