// Words and the parameter file: one WORD=VALUE a line, VALUE in decimal from 0 to 65535, lines
// beginning with '#' are comments and blank lines are ignored. A technician reads, edits and
// compares the file in any editor. rxmem and the memory editor read and write the same files,
// with the same rules and the same messages.
#pragma once

#include "wordspace.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace rxwords {

using rxline::Space;

struct Word {
    Space space = Space::Memory;
    std::uint8_t number = 0;
    bool operator==(const Word&) const = default;
    auto operator<=>(const Word&) const = default;
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
// Why `text` is no word, as every program says it.
QString unknownWord(const QString& text);
// A value as the file and the controller write it: decimal digits, 0 to 65535.
std::optional<std::uint16_t> parseValue(const QString& text);

// The memory editor's words, M21 to M59 then M100 to M240, and whether a word is one of them.
std::vector<Word> editorWords();
bool isEditorWord(Word word);
// The header line that says a file holds the editor's words.
QString editorWordsLine();

// Text from a file or an argument as a message quotes it: at most about 40 characters, control
// characters written as \n, \t, \r or \xHH, so that a line of junk cannot garble the terminal.
QString quoted(const QString& text);

// What went wrong with one line; `line` is 0 for a command-line argument.
struct InputError {
    int line = 0;
    QString reason;
};

// Parses the whole of a file's text, lines numbered from 1. A word given twice is an error: the
// file would not say which value it means.
struct ParseResult {
    std::vector<Assignment> items;
    std::optional<InputError> error;
};
ParseResult parseAssignments(const QStringList& lines);
// One WORD=VALUE per command-line argument, numbered from 1: unlike a file's line, an argument
// that is blank or begins with '#' is an error, since it would write nothing.
ParseResult parseArguments(const QStringList& arguments);

// A parameter file is refused unread above this size: no controller has that many words.
constexpr qint64 MaxFileBytes = 1 << 20;

// Reads and parses a parameter file. The message of a failure is whole: "FILE:LINE: reason"
// for a bad line, "FILE: reason" for a file that cannot be read, is a folder, is too large or
// holds no word.
struct FileResult {
    std::vector<Assignment> items;
    QString error;     // empty when the file was read
    int errorLine = 0; // the bad line's number, 0 when the fault is the whole file's
};
FileResult readFile(const QString& path);

// Why a file cannot be read or written at `path`, in the same words for every program and every
// file (parameter file, trace): a folder given as a file, a missing file, a folder that does not
// exist or cannot be written. Empty when nothing is seen in the way.
enum class Access { Read, Write };
QString pathProblem(const QString& path, Access access);
// The reason a file could not be created at `path`: pathProblem() where it sees one, else the
// folder cannot be written.
QString writeFailure(const QString& path);

// What `path` is when it is no regular file a reader can take whole at once ("a named pipe
// (FIFO), not a file"); empty for a regular file, or one that does not exist (readFile says so).
QString notARegularFile(const QString& path);

// The file's text: the header comment lines, then WORD=VALUE for each item.
QByteArray formatFile(const QStringList& header, const std::vector<Assignment>& items);

// The header every program writes above the words: program and version, local time, port, and
// what the words are.
QStringList fileHeader(const QString& program, const QString& port, const QString& words);

// Binds the library's text domain ("rxwords") to the catalog folder the program found.
void initCatalog(const QString& dir);

} // namespace rxwords
