// The editor's receive handling on arbitrary deliveries: reads of any row (or any word number at
// all) make the pending word, the controller's bytes arrive in pieces of any size, and each time
// the collected bytes end with a CR the editor's reply cut decides which box takes which text.
// The handler's steps are taken here as Form1::receive takes them (collect, wait for the CR, cut
// for the pending word, set the box, start again); the cut and the boxes are the editor's own,
// in a window built once on the offscreen platform.
//
// Checked: a line fills a box only when it names the pending row's word (M21..M59 for 1..39,
// M100..M240 as they are, none otherwise); the text is exactly the bytes after the tag and the
// echoed number, without the closing CR; every word the cut names has a box, the box shows the
// text, and no other box changes.
#include "fuzzinput.h"
#include "mainwindow.h"
#include "offscreenapp.h"
#include "wordcommands.h"
#include "wordmap.h"

#include <QByteArray>
#include <QLineEdit>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <map>

using fuzzcheck::FuzzInput;
using fuzzcheck::require;

namespace {

memedit::Form1& window() {
    fuzzcheck::offscreenApp();
    static auto* form = new memedit::Form1; // kept with the application
    return *form;
}

// The value text of a complete reply line for the pending word, by the editor's rule: the line
// must begin with "M" and that word's number as the controller prints it.
memedit::ReplyValue expectedReply(const QByteArray& line, int pending) {
    int word = 0;
    if (pending >= 1 && pending <= 39) word = pending + 20;
    if (pending >= 100 && pending <= 240) word = pending;
    if (word == 0) return {};
    const QByteArray echo = QByteArray("M") + QByteArray::number(word);
    if (line.left(echo.size()) != echo) return {};
    const qsizetype end = line.size() - 1; // the closing CR is no part of the value
    return {word, QString::fromLatin1(line.mid(echo.size(), end - echo.size()))};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memedit::Form1& form = window();
    const auto& rows = memedit::rows();

    std::map<int, QString> shown;
    for (const auto& row : rows) {
        QLineEdit* box = form.box(row.word);
        require(box != nullptr);
        shown[row.word] = box->text();
    }

    FuzzInput in(data, size);
    int pending = 0;
    QByteArray buffer;
    for (int op = 0; op < 512 && !in.empty(); ++op) {
        const std::uint8_t b = in.byte();
        switch (b % 4) {
        case 0: {
            // A row's Read button: words below 100 are numbered from M21 as 1.
            const int word = rows[in.byte() % rows.size()].word;
            pending = word < 100 ? word - 20 : word;
            buffer.clear();
            break;
        }
        case 1:
            // Any pending word at all, the values no row makes included.
            pending = static_cast<std::int16_t>(in.word16());
            buffer.clear();
            break;
        default: {
            buffer += QByteArray::fromStdString(in.text(10));
            if (buffer.isEmpty() || !buffer.endsWith('\r')) break;
            for (const QByteArray& line : memedit::replyLines(buffer)) {
                const memedit::ReplyValue got = memedit::replyValue(line, pending);
                const memedit::ReplyValue want = expectedReply(line, pending);
                require(got.word == want.word);
                require(got.text == want.text);
                if (got.word > 0) {
                    QLineEdit* box = form.box(got.word);
                    require(box != nullptr);
                    box->setText(got.text);
                    require(box->text() == got.text);
                    shown[got.word] = got.text;
                }
            }
            buffer.clear();
            break;
        }
        }
    }

    for (const auto& [word, text] : shown)
        require(form.box(word)->text() == text);
    return 0;
}
