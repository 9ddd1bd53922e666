#include "codec.h"

#include <cstdint>
#include <string>

namespace rxline {

std::array<std::uint8_t, 4> readFrame(Space space, std::uint8_t word) {
    return {'R', static_cast<std::uint8_t>(tagOf(space)), word, CR};
}

std::array<std::uint8_t, 6> writeFrame(Space space, std::uint8_t word, std::uint8_t hi,
                                       std::uint8_t lo) {
    return {'W', static_cast<std::uint8_t>(tagOf(space)), word, hi, lo, CR};
}

std::optional<std::string> replyValue(std::string_view line, char tag, std::uint8_t word) {
    const ReplyLine reply = parseReply(line, tag, word);
    if (reply.kind == ReplyKind::Other) return std::nullopt;
    return valueTextOf(reply.text);
}

std::string valueTextOf(std::string_view afterNumber) {
    std::string text(afterNumber.substr(0, 5));
    if (text.size() < 5) text += char(CR);
    return text;
}

std::string displayText(std::string_view valueText) {
    std::string out;
    out.reserve(valueText.size());
    for (char c : valueText) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out.push_back(c);
    }
    return out;
}

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

bool readsAsOne(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    text = text.substr(b, e - b);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    bool seenOne = false;
    for (char c : text) {
        if (!isDigit(c)) return false;
        if (c == '0') {
            if (seenOne) return false;
        } else if (c == '1' && !seenOne) {
            seenOne = true;
        } else {
            return false;
        }
    }
    return seenOne;
}

std::optional<std::int32_t> entryValue(std::string_view text) {
    // Blanks are skipped wherever they stand: a technician who types "1 000" means 1000.
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && isBlank(text[i]))
            ++i;
    };
    skipBlanks();
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint64_t whole = 0;
    bool overflow = false;
    for (skipBlanks(); i < text.size() && isDigit(text[i]); ++i, skipBlanks()) {
        whole = whole * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (whole > 0xFFFFFFFFull) overflow = true, whole = 0xFFFFFFFFull;
    }
    // Rounding needs the first fraction digit and whether anything non-zero follows it.
    int firstFraction = 0;
    bool restNonZero = false;
    if (i < text.size() && text[i] == '.') {
        ++i;
        bool first = true;
        for (skipBlanks(); i < text.size() && isDigit(text[i]); ++i, skipBlanks()) {
            if (first) {
                firstFraction = text[i] - '0';
                first = false;
            } else if (text[i] != '0') {
                restNonZero = true;
            }
        }
    }
    if (firstFraction > 5 || (firstFraction == 5 && (restNonZero || (whole & 1u)))) ++whole;
    const std::uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    if (overflow || whole > limit) return std::nullopt;
    if (negative) return static_cast<std::int32_t>(-static_cast<std::int64_t>(whole));
    return static_cast<std::int32_t>(whole);
}

std::int32_t LShiftLong(std::int32_t value, int shift) {
    if (shift < 0 || shift > 31) return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << shift);
}

std::uint8_t clockBcd(std::string_view entry) {
    // The entry is UTF-8: a character that is not a digit may take several bytes.
    std::int32_t digits[2] = {0, 0};
    std::size_t chars = 0;
    for (std::size_t i = 0; i < entry.size() && chars < 2; ++i) {
        const auto byte = static_cast<unsigned char>(entry[i]);
        if ((byte & 0xC0) == 0x80) continue; // continues the character before it
        digits[chars++] = isDigit(entry[i]) ? entry[i] - '0' : 0;
    }
    return static_cast<std::uint8_t>(LShiftLong(digits[0], 4) + digits[1]);
}

} // namespace rxline
