#include "wordcommands.h"

#include "errors.h"

#include <limits>

namespace memedit {

qint32 boxValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size()) throw ConversionError(text);
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) throw ConversionError(text);
        magnitude = magnitude * 10 + (c.unicode() - '0');
        if (magnitude > qint64(std::numeric_limits<qint32>::max()) + 1) throw ConversionError(text);
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<qint32>::max()) throw ConversionError(text);
    return qint32(value);
}

ReplyValue replyValue(const QByteArray& reply, int pendingWord) {
    ReplyValue result;
    const qsizetype n = reply.size();
    if (pendingWord >= 1 && pendingWord <= 39) {
        result.word = pendingWord + 20;
        if (n >= 5) result.text = QString::fromLatin1(reply.mid(3, n - 4));
    } else if (pendingWord >= 100 && pendingWord <= 240) {
        result.word = pendingWord;
        if (n >= 6) result.text = QString::fromLatin1(reply.mid(4, n - 5));
    }
    return result;
}

} // namespace memedit
