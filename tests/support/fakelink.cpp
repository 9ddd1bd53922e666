#include "fakelink.h"

using rxline::Space;

void FakeLink::record(const QByteArray& bytes) {
    frames.push_back({now, bytes});
    if (onFrame) onFrame(frames.back());
}

void FakeLink::startOp(Op& op) {
    switch (op.kind) {
    case Op::Open: {
        open_ = !failOpen;
        auto done = std::move(op.openDone);
        if (done) done(open_, open_ ? QString() : QStringLiteral("No such file or directory"));
        finishOp();
        return;
    }
    case Op::Close:
        open_ = false;
        finishOp();
        return;
    case Op::Send:
        if (open_) record(op.bytes);
        finishOp();
        return;
    case Op::Pause:
        now += op.ms;
        finishOp();
        return;
    case Op::Read: {
        if (!open_) {
            finishRead({});
            return;
        }
        record(op.bytes);
        const auto reply = answer ? answer(op.space, op.word)
                                  : std::optional<QByteArray>(rxline::tagOf(op.space) +
                                                              QByteArray::number(op.word) + "0\r");
        // The read takes the first line that names its word; anything else it waits past.
        for (qsizetype from = 0, cr; reply && (cr = reply->indexOf('\r', from)) >= 0;
             from = cr + 1) {
            const QByteArray line = reply->mid(from, cr + 1 - from);
            if (auto reply =
                    answerFor(std::string_view(line.constData(), std::size_t(line.size())))) {
                now += latencyMs;
                finishRead(*reply);
                return;
            }
        }
        now += rxline::ReplyTimeoutMs;
        finishRead({});
        return;
    }
    case Op::Call:
        return;
    }
}

QStringList FakeLink::writes() const {
    QStringList out;
    for (const auto& f : frames)
        if (f.bytes.startsWith('W')) out << QString::fromLatin1(f.bytes.toHex(' '));
    return out;
}

QStringList FakeLink::names() const {
    QStringList out;
    for (const auto& f : frames) {
        if (f.bytes.size() < 3) continue;
        out << QString::fromLatin1(f.bytes.left(2)) + QString::number(quint8(f.bytes[2]));
    }
    return out;
}

VirtualTime::VirtualTime(FakeLink& link, calcore::PollCycle& cycle)
    : link_(link), cycle_(cycle), nextTick_(link.now + calcore::PollCycle::TickMs) {
    QObject::connect(&cycle_, &calcore::PollCycle::stepDone, &context_, [this](int tick) {
        steps.push_back(tick);
        nextTick_ = link_.now + calcore::PollCycle::TickMs;
    });
}

bool VirtualTime::runUntil(const std::function<bool()>& done, qint64 limitMs) {
    const qint64 end = link_.now + limitMs;
    for (;;) {
        link_.run();
        if (done()) return true;
        if (link_.now > end) return false;
        link_.now = std::max(link_.now, nextTick_);
        nextTick_ = link_.now + calcore::PollCycle::TickMs;
        cycle_.tick();
    }
}

bool VirtualTime::runSteps(int tick, int count) {
    const auto already = steps.count(tick);
    return runUntil([&] { return steps.count(tick) >= already + count; });
}
