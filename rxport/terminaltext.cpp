#include "terminaltext.h"

namespace rxport {

namespace {

bool shownAsEscape(char32_t u) {
    return u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0)           // C0, DEL, C1
           || u == 0xFFFD                                             // a byte that was no text
           || u == 0x061C || u == 0x200E || u == 0x200F               // direction marks
           || (u >= 0x202A && u <= 0x202E)                            // embeddings and overrides
           || (u >= 0x2066 && u <= 0x2069)                            // isolates
           || (u >= 0xD800 && u <= 0xDFFF)                            // a surrogate alone
           || (u >= 0xFDD0 && u <= 0xFDEF) || (u & 0xFFFE) == 0xFFFE; // non-characters
}

} // namespace

QString escaped(const QString& text, qsizetype atMost) {
    QString out;
    qsizetype shown = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (atMost >= 0 && shown == atMost) {
            out += QStringLiteral("...");
            break;
        }
        ++shown;
        char32_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            u = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        switch (u) {
        case '\n':
            out += QStringLiteral("\\n");
            continue;
        case '\t':
            out += QStringLiteral("\\t");
            continue;
        case '\r':
            out += QStringLiteral("\\r");
            continue;
        case '\\':
            out += QStringLiteral("\\\\");
            continue;
        default:
            break;
        }
        if (!shownAsEscape(u))
            out += QString::fromUcs4(&u, 1);
        else if (u < 0x100)
            out += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(unsigned(u), 4, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace rxport
