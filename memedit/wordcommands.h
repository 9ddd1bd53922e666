// Box values and reply cutting for the word commands.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace memedit {

// The box text as a signed 32-bit decimal whole number (leading blanks and a sign allowed);
// throws ConversionError for anything else, the empty text included.
qint32 boxValue(const QString& text);

struct ReplyValue {
    int word = 0; // the word whose box takes the value, 0 for none
    QString text;
};

// The lines of a received text that ends in CR, each with its CR.
QList<QByteArray> replyLines(const QByteArray& received);

// The value of a reply line (ending in CR) for the word read last (`pendingWord`: 1..39 for
// M21..M59, 100..240 for M100..M240): the text between the echoed word number and the CR,
// parsed by rxline::parseReply. A line that does not name that word gives word 0.
ReplyValue replyValue(const QByteArray& line, int pendingWord);

} // namespace memedit
