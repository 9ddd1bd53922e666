// The entry conversions of both programs on arbitrary text: the calibration tools' entry number
// and clock digits, and the memory editor's box value. Each is held against the rule written
// out in oracles.h (or here, for the box value), and the two programs against each other: a
// text the editor takes as a number is the same number to the calibration tools.
#include "codec.h"
#include "errors.h"
#include "fuzzinput.h"
#include "oracles.h"
#include "wordcommands.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using fuzzcheck::require;

namespace {

// The editor's box value: blanks and tabs in front, an optional sign, then nothing but decimal
// digits (at least one), within 32 signed bits.
std::optional<std::int64_t> boxOracle(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    std::string digits;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return std::nullopt;
        digits += static_cast<char>(c);
    }
    if (digits.empty()) return std::nullopt;
    while (digits.size() > 1 && digits.front() == '0')
        digits.erase(digits.begin());
    if (fuzzcheck::decimalGreater(digits, negative ? "2147483648" : "2147483647"))
        return std::nullopt;
    const std::int64_t magnitude = std::stoll(digits);
    return negative ? -magnitude : magnitude;
}

void checkEntry(std::string_view text) {
    const auto got = rxline::entryValue(text);
    const auto want = fuzzcheck::entryOracle(text);
    require(got.has_value() == want.has_value());
    if (got) {
        require(*got == *want);
        // What reaches the controller is the low 16 bits, high byte first.
        const rxline::ValueBytes bytes = rxline::splitValue(*got);
        const auto low16 = static_cast<std::uint32_t>(*got) & 0xFFFFu;
        require(bytes.hi == (low16 >> 8) && bytes.lo == (low16 & 0xFFu));
        // A number the tools took prints and converts back to itself.
        require(rxline::entryValue(std::to_string(*got)) == got);
    }
    const std::uint8_t bcd = rxline::clockBcd(text);
    require(bcd == fuzzcheck::bcdOracle(text));
    require((bcd >> 4) <= 9 && (bcd & 0x0F) <= 9);
}

void checkBox(const QString& text) {
    const auto want = boxOracle(text);
    try {
        const qint32 v = memedit::boxValue(text);
        require(want && *want == v);
        require(memedit::boxValue(QString::number(v)) == v);
        // The calibration tools read the same text as the same number.
        require(rxline::entryValue(text.toStdString()) == std::optional<std::int32_t>(v));
    } catch (const memedit::ConversionError&) {
        require(!want);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    // The tools get the entry as UTF-8 from the line edit; raw bytes cover everything else.
    checkEntry(raw);
    const QByteArray bytes(raw.data(), static_cast<qsizetype>(raw.size()));
    const QString latin = QString::fromLatin1(bytes);
    const QString utf8 = QString::fromUtf8(bytes);
    checkEntry(utf8.toStdString());
    checkBox(latin);
    checkBox(utf8);
    return 0;
}
