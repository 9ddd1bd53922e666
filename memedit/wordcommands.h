// Box values and reply cutting for the word commands.
#pragma once

#include <QByteArray>
#include <QString>

namespace memedit {

// The box text as a signed 32-bit decimal whole number (leading blanks and a sign allowed);
// throws ConversionError for anything else, the empty text included.
qint32 boxValue(const QString& text);

struct ReplyValue {
    int word = 0; // the word whose box takes the value, 0 for none
    QString text;
};

// Cuts the value out of a complete reply (ending in CR) for the pending word: words 21..59
// (pending 1..39) drop the tag letter and two digits, words 100..240 the tag and three.
ReplyValue replyValue(const QByteArray& reply, int pendingWord);

} // namespace memedit
