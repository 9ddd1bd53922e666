#include "wordcommands.h"

#include "errors.h"
#include "replyline.h"

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

QList<QByteArray> replyLines(const QByteArray& received) {
    QList<QByteArray> lines;
    for (qsizetype from = 0, cr; (cr = received.indexOf('\r', from)) >= 0; from = cr + 1)
        lines.push_back(received.mid(from, cr + 1 - from));
    return lines;
}

ReplyValue replyValue(const QByteArray& line, int pendingWord) {
    int word = 0;
    if (pendingWord >= 1 && pendingWord <= 39) word = pendingWord + 20;
    if (pendingWord >= 100 && pendingWord <= 240) word = pendingWord;
    if (word == 0) return {};
    const rxline::ReplyLine reply =
        rxline::parseReply(std::string_view(line.constData(), std::size_t(line.size())), 'M', word);
    if (reply.kind == rxline::ReplyKind::Other) return {};
    // The box shows whatever the word's own line holds, garbled or not: the technician sees it.
    return {word, QString::fromLatin1(reply.text.data(), qsizetype(reply.text.size()))};
}

} // namespace memedit
