// Words and the parameter file: one WORD=VALUE a line, VALUE in decimal from 0 to 65535, lines
// beginning with '#' are comments and blank lines are ignored. A technician reads, edits and
// compares the file in any editor.
#pragma once

#include "codec.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace rxmem {

struct Word {
    rxline::Space space = rxline::Space::Memory;
    std::uint8_t number = 0;
    bool operator==(const Word&) const = default;
};

struct Assignment {
    Word word;
    std::uint16_t value = 0;
    int line = 0; // where it stands in its file (0 on the command line)
};

// "M150", "E28".
QString wordName(Word word);
// "M150" or "e28": M or E, then 0 to 255 in decimal.
std::optional<Word> parseWord(const QString& text);
// A value as the file and the controller write it: decimal digits, 0 to 65535.
std::optional<std::uint16_t> parseValue(const QString& text);

// What went wrong with one line; `line` is 0 for a command-line argument.
struct InputError {
    int line = 0;
    QString reason;
};

// Parses the whole of a file's text, or one WORD=VALUE per command-line argument (lines
// numbered from 1 either way). A word given twice is an error: the file would not say which
// value it means.
struct ParseResult {
    std::vector<Assignment> items;
    std::optional<InputError> error;
};
ParseResult parseAssignments(const QStringList& lines);

// The file's text: the header comment lines, then WORD=VALUE for each item.
QByteArray formatFile(const QStringList& header, const std::vector<Assignment>& items);

} // namespace rxmem
