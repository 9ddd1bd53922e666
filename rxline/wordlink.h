// What the poll cycle and the main window need of the line to the controller. The serial link
// is the one implementation that touches a port; tests drive the cycle through a fake one with a
// virtual clock.
//
// Every operation is queued: one frame's reply is awaited (or times out) before the next frame
// goes out, whoever asked for it, and no callback ever runs inside the call that queued it.
#pragma once

#include "codec.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <span>
#include <string>

namespace rxline {

// Frame bytes as the port takes them.
inline QByteArray toBytes(std::span<const std::uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// How long a read waits for its reply line before it gives the empty value text.
constexpr int ReplyTimeoutMs = 500;
// The controller needs this long after a memory word write before the next frame.
constexpr int MemoryWriteSettleMs = 50;

class WordLink {
  public:
    // The port went away (the device was unplugged), or came back after the link opened it
    // again by itself.
    enum class LineEvent { Lost, Back };
    using LineWatcher = std::function<void(LineEvent event, const QString& why)>;

    // What a read got: the kind of its own line and what follows the echoed number, without the
    // CR. Kind Other when no line naming the word came within ReplyTimeoutMs.
    struct ReadReply {
        ReplyKind kind = ReplyKind::Other;
        std::string text;
    };
    using ReplyDone = std::function<void(const ReadReply& reply)>;
    using ReadDone = std::function<void(const std::string& valueText)>;
    using OpenDone = std::function<void(bool ok, const QString& error)>;

    virtual ~WordLink() = default;

    // Opens the port `portText` names (COMn, a device name or a path) at 19200 8N1 without
    // handshaking; `done` says whether it worked and why not.
    virtual void open(const QString& portText, OpenDone done = {}) = 0;
    // Lets bytes still waiting to go out leave, then closes the port.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Sends the read frame and hands its own reply line, parsed, to `done`. Lines that name other
    // words are dropped.
    virtual void readReply(Space space, std::uint8_t word, ReplyDone done) = 0;
    // The same read, for a label: the value text of its reply line (the five characters after the
    // echoed number), empty when no line naming the word came within ReplyTimeoutMs.
    void readWord(Space space, std::uint8_t word, ReadDone done) {
        readReply(space, word, [done = std::move(done)](const ReadReply& reply) {
            done(reply.kind == ReplyKind::Other ? std::string() : valueTextOf(reply.text));
        });
    }
    // Sends bytes in one write; nothing is awaited.
    virtual void send(const QByteArray& bytes) = 0;
    // A pause in the queue: nothing goes out for `ms` milliseconds.
    virtual void Wait(int ms) = 0;
    // Runs `fn` when everything queued before it is done. What `fn` queues runs before anything
    // queued after it.
    virtual void then(std::function<void()> fn) = 0;
    // Runs `fn` as soon as the operation in progress has ended, ahead of everything queued;
    // what `fn` queues goes ahead too, in its order. Two such requests keep their order.
    virtual void ahead(std::function<void()> fn) = 0;
    // Everything `fn` queues goes out as one piece: work sent ahead waits until its end. A write
    // and the controller's pause after it, or a clock value and its set command, stay together.
    virtual void together(std::function<void()> fn) = 0;
    // True while an operation runs or waits in the queue.
    virtual bool busy() const = 0;
    // The end of the link's work: queued reads and callbacks are dropped, queued frames and
    // pauses still go out, the port closes once its bytes have left, then `done` runs. Nothing
    // queued later is carried out.
    virtual void shutdown(std::function<void()> done) = 0;
    // The end of the link's work when nothing queued may go out any more (the port went away in
    // the middle of a job): everything queued is dropped, frames and pauses too, a lost port is
    // not opened again, the port closes, then `done` runs.
    virtual void abandon(std::function<void()> done) = 0;

    // A memory word write is followed by the controller's settle pause.
    void writeWord(Space space, std::uint8_t word, std::uint8_t hi, std::uint8_t lo) {
        together([&] {
            send(toBytes(writeFrame(space, word, hi, lo)));
            if (space == Space::Memory) Wait(MemoryWriteSettleMs);
        });
    }
    void WriteMemoryWord(std::uint8_t word, std::uint8_t hi, std::uint8_t lo) {
        writeWord(Space::Memory, word, hi, lo);
    }
    void WriteEepromWord(std::uint8_t word, std::uint8_t hi, std::uint8_t lo) {
        writeWord(Space::Eeprom, word, hi, lo);
    }

    void setLineWatcher(LineWatcher watcher) { watcher_ = std::move(watcher); }

  protected:
    void lineEvent(LineEvent event, const QString& why = {}) {
        if (watcher_) watcher_(event, why);
    }

  private:
    LineWatcher watcher_;
};

} // namespace rxline
