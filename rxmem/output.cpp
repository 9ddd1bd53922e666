#include "output.h"

#include <cerrno>
#include <cstdio>

namespace rxmem {

namespace {
// One write for the whole line: a line never shares a write with another line.
bool writeLine(FILE* to, const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toLocal8Bit();
    errno = 0;
    const bool ok = std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to) ==
                        std::size_t(bytes.size()) &&
                    std::fflush(to) == 0;
    return ok;
}
} // namespace

void complain(const QString& line) {
    writeLine(stderr, line);
}

void Output::data(const QString& line) {
    if (dataErrno_ != 0) return; // the first failure is the one told
    endProgress();
    if (!writeLine(stdout, line)) dataErrno_ = errno != 0 ? errno : EIO;
}

void Output::message(const QString& line) {
    endProgress();
    complain(line);
}

void Output::progress(const QString& text) {
    if (!progress_) return;
    std::fprintf(stderr, "\r%-24s", text.toLocal8Bit().constData());
    std::fflush(stderr);
    progressShown_ = true;
}

void Output::endProgress() {
    if (!progressShown_) return;
    std::fputs("\r                        \r", stderr);
    std::fflush(stderr);
    progressShown_ = false;
}

} // namespace rxmem
