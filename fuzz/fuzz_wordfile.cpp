// The parameter-file parser on arbitrary bytes, as a file from anywhere reaches it. What it
// accepts, written back by the one writer and parsed again, gives the same words with the same
// values in the same order; what it refuses names a line the file has, and says so with no
// character that could steer a terminal.
#include "fuzzinput.h"
#include "wordfile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

using fuzzcheck::require;

namespace {

bool safeForTerminal(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0xFFFD ||
            (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            return false;
    }
    return true;
}

QStringList linesOf(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).split(QLatin1Char('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > std::size_t(rxwords::MaxFileBytes)) return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = linesOf(bytes);
    const rxwords::ParseResult parsed = rxwords::parseAssignments(lines);
    if (parsed.error) {
        require(parsed.items.empty());
        require(parsed.error->line >= 1 && parsed.error->line <= lines.size());
        require(!parsed.error->reason.isEmpty() && safeForTerminal(parsed.error->reason));
        return 0;
    }
    for (const rxwords::Assignment& a : parsed.items)
        require(a.line >= 1 && a.line <= lines.size());
    const QByteArray written = rxwords::formatFile({QStringLiteral("fuzz")}, parsed.items);
    const rxwords::ParseResult again = rxwords::parseAssignments(linesOf(written));
    require(!again.error);
    require(again.items.size() == parsed.items.size());
    for (std::size_t i = 0; i < parsed.items.size(); ++i) {
        require(again.items[i].word == parsed.items[i].word);
        require(again.items[i].value == parsed.items[i].value);
    }
    return 0;
}
