#include "wordfile.h"

#include "messages.h"

#include <map>

namespace rxmem {

namespace {
bool allDigits(const QString& text) {
    if (text.isEmpty()) return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}
} // namespace

QString wordName(Word word) {
    return QLatin1Char(rxline::tagOf(word.space)) + QString::number(word.number);
}

std::optional<Word> parseWord(const QString& text) {
    if (text.size() < 2 || text.size() > 4) return std::nullopt;
    const QChar tag = text[0].toUpper();
    const QString digits = text.mid(1);
    if ((tag != QLatin1Char('M') && tag != QLatin1Char('E')) || !allDigits(digits))
        return std::nullopt;
    const int number = digits.toInt();
    if (number > 255) return std::nullopt;
    return Word{tag == QLatin1Char('M') ? rxline::Space::Memory : rxline::Space::Eeprom,
                static_cast<std::uint8_t>(number)};
}

std::optional<std::uint16_t> parseValue(const QString& text) {
    if (!allDigits(text) || text.size() > 10) return std::nullopt;
    const qulonglong value = text.toULongLong();
    if (value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

ParseResult parseAssignments(const QStringList& lines) {
    ParseResult result;
    std::map<std::pair<rxline::Space, int>, int> seen; // word -> its line
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        auto fail = [&](const QString& reason) {
            result.items.clear();
            result.error = InputError{lineNo, reason};
            return result;
        };
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) return fail(text("expected WORD=VALUE, like M150=300"));
        const QString name = line.left(eq).trimmed();
        const QString valueText = line.mid(eq + 1).trimmed();
        const auto word = parseWord(name);
        if (!word) return fail(text("unknown word \"%1\": M or E and 0 to 255").arg(name));
        const auto value = parseValue(valueText);
        if (!value)
            return fail(text("value \"%1\" is not a whole number from 0 to 65535").arg(valueText));
        const auto [at, fresh] = seen.try_emplace({word->space, word->number}, lineNo);
        if (!fresh)
            return fail(text("%1 is already on line %2").arg(wordName(*word)).arg(at->second));
        result.items.push_back({*word, *value, lineNo});
    }
    return result;
}

QByteArray formatFile(const QStringList& header, const std::vector<Assignment>& items) {
    QByteArray out;
    for (const QString& line : header)
        out += "# " + line.toUtf8() + '\n';
    for (const Assignment& a : items)
        out += wordName(a.word).toLatin1() + '=' + QByteArray::number(a.value) + '\n';
    return out;
}

} // namespace rxmem
