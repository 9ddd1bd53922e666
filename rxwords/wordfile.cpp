#include "wordfile.h"

#include "terminaltext.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libintl.h>

#include <map>

#include <sys/stat.h>

namespace rxwords {

namespace {

constexpr const char* kDomain = "rxwords";

QString text(const char* msgid) {
    return QString::fromUtf8(dgettext(kDomain, msgid));
}

bool allDigits(const QString& text) {
    if (text.isEmpty()) return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

} // namespace

void initCatalog(const QString& dir) {
    bindtextdomain(kDomain, QFile::encodeName(dir).constData());
    bind_textdomain_codeset(kDomain, "UTF-8");
}

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
    return Word{tag == QLatin1Char('M') ? Space::Memory : Space::Eeprom,
                static_cast<std::uint8_t>(number)};
}

QString unknownWord(const QString& text) {
    return rxwords::text("unknown word \"%1\": M or E and 0 to 255").arg(quoted(text));
}

std::optional<std::uint16_t> parseValue(const QString& text) {
    if (!allDigits(text) || text.size() > 10) return std::nullopt;
    const qulonglong value = text.toULongLong();
    if (value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::vector<Word> editorWords() {
    std::vector<Word> words;
    for (int w = 21; w <= 59; ++w)
        words.push_back({Space::Memory, std::uint8_t(w)});
    for (int w = 100; w <= 240; ++w)
        words.push_back({Space::Memory, std::uint8_t(w)});
    return words;
}

bool isEditorWord(Word word) {
    const int n = word.number;
    return word.space == Space::Memory && ((n >= 21 && n <= 59) || (n >= 100 && n <= 240));
}

QString editorWordsLine() {
    return QStringLiteral("words of the memory editor: M21-M59, M100-M240");
}

QString quoted(const QString& text) {
    return rxport::escaped(text, 40);
}

ParseResult parseAssignments(const QStringList& lines) {
    ParseResult result;
    std::map<Word, int> seen; // word -> its line
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
        if (!word) return fail(unknownWord(name));
        const auto value = parseValue(valueText);
        if (!value)
            return fail(
                text("value \"%1\" is not a whole number from 0 to 65535").arg(quoted(valueText)));
        const auto [at, fresh] = seen.try_emplace(*word, lineNo);
        if (!fresh)
            return fail(
                text("%1 is already on line %2").arg(wordName(*word), QString::number(at->second)));
        result.items.push_back({*word, *value, lineNo});
    }
    return result;
}

ParseResult parseArguments(const QStringList& arguments) {
    for (int i = 0; i < arguments.size(); ++i) {
        const QString arg = arguments[i].trimmed();
        if (arg.isEmpty() || arg.startsWith(QLatin1Char('#')))
            return {{}, InputError{i + 1, text("expected WORD=VALUE, like M150=300")}};
    }
    return parseAssignments(arguments);
}

QString pathProblem(const QString& path, Access access) {
    const QFileInfo info(path);
    if (info.isDir()) return text("this is a folder, not a file");
    if (access == Access::Read) {
        if (!info.exists()) return text("no such file");
        if (info.size() > MaxFileBytes) return text("larger than 1 MiB: not a parameter file");
        return {};
    }
    const QFileInfo folder(info.absolutePath());
    const QString shown = rxport::escaped(folder.filePath());
    if (!folder.exists()) return text("the folder %1 does not exist").arg(shown);
    if (!folder.isDir()) return text("%1 is not a folder").arg(shown);
    if (!folder.isWritable()) return text("the folder %1 cannot be written").arg(shown);
    return {};
}

QString writeFailure(const QString& path) {
    const QString problem = pathProblem(path, Access::Write);
    if (!problem.isEmpty()) return problem;
    return text("the folder %1 cannot be written")
        .arg(rxport::escaped(QFileInfo(path).absolutePath()));
}

QString notARegularFile(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    switch (st.st_mode & S_IFMT) {
    case S_IFREG:
        return {};
    case S_IFDIR:
        return text("this is a folder, not a file");
    case S_IFIFO:
        return text("this is a named pipe (FIFO), not a file");
    case S_IFSOCK:
        return text("this is a socket, not a file");
    case S_IFCHR:
    case S_IFBLK:
        return text("this is a device, not a file");
    default:
        return text("this is no regular file");
    }
}

FileResult readFile(const QString& path) {
    FileResult result;
    const auto failWith = [&](const QString& reason) {
        result.error = QStringLiteral("%1: %2").arg(rxport::escaped(path), reason);
        return result;
    };
    if (const QString problem = pathProblem(path, Access::Read); !problem.isEmpty())
        return failWith(problem);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return failWith(file.errorString());
    // A device or a pipe has no size to check: read one byte past the limit at most.
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes)
        return failWith(text("larger than 1 MiB: not a parameter file"));
    const ParseResult parsed = parseAssignments(QString::fromUtf8(bytes).split(QLatin1Char('\n')));
    if (parsed.error) {
        result.error = QStringLiteral("%1:%2: %3")
                           .arg(rxport::escaped(path), QString::number(parsed.error->line),
                                parsed.error->reason);
        result.errorLine = parsed.error->line;
        return result;
    }
    if (parsed.items.empty()) return failWith(text("the file holds no word"));
    result.items = parsed.items;
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

QStringList fileHeader(const QString& program, const QString& port, const QString& words) {
    return {program, QDateTime::currentDateTime().toString(Qt::ISODate),
            QStringLiteral("port %1").arg(port), words};
}

} // namespace rxwords
