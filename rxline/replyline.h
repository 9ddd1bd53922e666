// The controller's reply line, parsed once for every program: the tag letter ("M" after "RM",
// "E" after "RE"), the word number in decimal, the value and CR. Plain C++ with no Qt, header
// only, so that the editor uses it without the line library.
//
// The line has no separator between number and value, so word 7 with the value "0123" reads
// the same as word 70 with "123": a read takes the line that begins with its own number.
#pragma once

#include "wordspace.h"

#include <cstdint>
#include <string_view>

namespace rxline {

enum class ReplyKind : std::uint8_t {
    Value,    // the word's own line: 1 to 5 digits, then CR
    Garbled,  // names the word, but what follows is not 1 to 5 digits (a letter, nothing)
    Overlong, // names the word, but more than five characters follow it
    Other,    // another word's line, another space's, noise, or not a whole line
};

struct ReplyLine {
    ReplyKind kind = ReplyKind::Other;
    std::string_view text; // what follows the echoed number, without the CR; empty for Other
};

// What `line` (one whole line, its CR last) is to a read of `word` in the space of `tag`.
constexpr ReplyLine parseReply(std::string_view line, char tag, int word) {
    if (line.empty() || line.back() != '\r' || line.front() != tag || word < 0 || word > 255)
        return {};
    char digits[3] = {};
    int count = 0;
    for (int rest = word;; rest /= 10) {
        digits[count++] = static_cast<char>('0' + rest % 10);
        if (rest < 10) break;
    }
    std::string_view after = line.substr(1, line.size() - 2); // between the tag and the CR
    for (int i = count - 1; i >= 0; --i) {
        if (after.empty() || after.front() != digits[i]) return {};
        after.remove_prefix(1);
    }
    if (after.size() > 5) return {ReplyKind::Overlong, after};
    if (after.empty()) return {ReplyKind::Garbled, after};
    for (char c : after)
        if (c < '0' || c > '9') return {ReplyKind::Garbled, after};
    return {ReplyKind::Value, after};
}

// The shortest line that answers a read of `word`: the tag, the echoed number, one digit, CR.
constexpr int shortestReplyTo(int word) {
    return 1 + (word >= 100 ? 3 : word >= 10 ? 2 : 1) + 1 + 1;
}

} // namespace rxline
