// The calibration tools' conversions written out a second time, as plainly as the rules read,
// so that the fuzz targets can hold the program's results against them: the value text of a
// reply, what a label shows, the flag reading, the entry number and the clock digits.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace fuzzcheck {

// The value text a complete reply line (its one CR last) gives a read: the line must begin with the
// tag and the word number as the controller prints it (decimal, no leading zeros); the value is the
// (up to) five characters after that. Nothing when the line names another word or space.
inline std::optional<std::string> lineOracle(std::string_view line, char tag, std::uint8_t word) {
    char echo[8];
    const int n = std::snprintf(echo, sizeof echo, "%c%u", tag, unsigned(word));
    if (line.size() < std::size_t(n) || line.compare(0, std::size_t(n), echo) != 0) return {};
    return std::string(line.substr(std::size_t(n), 5));
}

// What a label shows of a value text: every character that is not a control character.
inline std::string shownOracle(std::string_view text) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) out += c;
    }
    return out;
}

inline bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
inline bool digit(char c) {
    return c >= '0' && c <= '9';
}

// A value text reads as one when, without the blanks around it and an optional plus sign, it
// is a whole decimal number equal to 1.
inline bool readsAsOneOracle(std::string_view text) {
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    for (char c : text)
        if (!digit(c)) return false;
    while (text.size() > 1 && text.front() == '0')
        text.remove_prefix(1);
    return text == "1";
}

// Decimal digit strings without leading zeros, compared as numbers.
inline bool decimalGreater(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() > b.size() : a > b;
}

// The number an entry box begins with. The blanks a technician types are no part of the number,
// wherever they stand; then an optional sign, digits, an optional fraction; reading stops at the
// first character that cannot continue. Rounded to the nearest whole number, halves to the even
// neighbour; nothing when the result does not fit in 32 signed bits.
inline std::optional<std::int64_t> entryOracle(std::string_view text) {
    std::string s;
    for (char c : text)
        if (!blank(c)) s += c;
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::string whole;
    while (i < s.size() && digit(s[i]))
        whole += s[i++];
    std::string fraction;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && digit(s[i]))
            fraction += s[i++];
    }
    while (!whole.empty() && whole.front() == '0')
        whole.erase(whole.begin());
    const int first = fraction.empty() ? 0 : fraction[0] - '0';
    bool restNonZero = false;
    for (std::size_t k = 1; k < fraction.size(); ++k)
        restNonZero = restNonZero || fraction[k] != '0';
    const bool odd = !whole.empty() && (whole.back() - '0') % 2 == 1;
    if (first > 5 || (first == 5 && (restNonZero || odd))) {
        // Add one to the decimal digits.
        std::size_t k = whole.size();
        for (;;) {
            if (k == 0) {
                whole.insert(whole.begin(), '1');
                break;
            }
            --k;
            if (whole[k] == '9') {
                whole[k] = '0';
            } else {
                ++whole[k];
                break;
            }
        }
    }
    if (decimalGreater(whole, negative ? "2147483648" : "2147483647")) return std::nullopt;
    const std::int64_t magnitude = whole.empty() ? 0 : std::stoll(whole);
    return negative ? -magnitude : magnitude;
}

// The BCD byte of a clock entry (UTF-8): tens from its first character, units from its second,
// a missing or non-digit character counting 0.
inline std::uint8_t bcdOracle(std::string_view entry) {
    auto isLead = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; };
    std::string chars[2];
    int k = -1;
    for (char c : entry) {
        if (isLead(c) && ++k == 2) break;
        if (k >= 0) chars[k] += c;
    }
    auto value = [](const std::string& ch) {
        return ch.size() == 1 && digit(ch[0]) ? ch[0] - '0' : 0;
    };
    return static_cast<std::uint8_t>(value(chars[0]) * 16 + value(chars[1]));
}

} // namespace fuzzcheck
