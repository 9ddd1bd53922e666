// The editor's box values and reply cut on arbitrary text.
#include "errors.h"
#include "wordcommands.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int pending = data[0]; // 0 none, 1..39 M21..M59, then M100.. as the editor numbers them
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));

    // A box value converts back to itself; anything else is a conversion error, never a crash.
    const QString text = QString::fromLatin1(bytes);
    try {
        const qint32 v = memedit::boxValue(text);
        require(memedit::boxValue(QString::number(v)) == v);
    } catch (const memedit::ConversionError&) {
    }

    // The receive handler hands over one line up to its CR. Its value goes to the pending
    // word's box, without the tag, the echoed number or the CR.
    QByteArray reply = bytes;
    reply.replace('\r', QByteArray());
    reply.append('\r');
    const memedit::ReplyValue got = memedit::replyValue(reply, pending);
    const bool low = pending >= 1 && pending <= 39;
    const bool high = pending >= 100 && pending <= 240;
    require(got.word == (low ? pending + 20 : high ? pending : 0));
    require(!got.text.contains(QLatin1Char('\r')));
    if (low || high) {
        const qsizetype cut = low ? 4 : 5;
        require(got.text.size() == (reply.size() > cut ? reply.size() - cut : 0));
    }
    return 0;
}
