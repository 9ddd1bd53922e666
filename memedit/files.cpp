// The menu "Arquivo": the boxes go into a parameter file and come back from one, in the form
// rxmem reads and writes. Nothing of it goes on the line: the technician writes what a file
// brought with the buttons that write, and sees beforehand which boxes a write would change.
#include "mainwindow.h"

#include "catalog.h"
#include "errors.h"
#include "savefile.h"
#include "serialport.h"
#include "terminaltext.h"
#include "wordfile.h"
#include "wordmap.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>

#ifndef RX_VERSION
#error "RX_VERSION must name the package's version"
#endif

namespace memedit {

namespace {

const QColor kMarkedBase(255, 236, 150);

// The folder of the last file opened or saved, kept from one run to the next.
constexpr const char* kFolderKey = "files/folder";
QString lastFolder() {
    const QSettings settings(QStringLiteral("velmora"), QStringLiteral("memedit"));
    const QString folder = settings.value(QLatin1String(kFolderKey)).toString();
    // The kernel's own folders hold files that block a reader (/proc/kmsg): never offered, even
    // when an older run kept one.
    static const QRegularExpression systemFolder(QStringLiteral("^/(proc|sys|dev)(/|$)"));
    if (folder.isEmpty() || !QFileInfo(folder).isDir() || systemFolder.match(folder).hasMatch())
        return QDir::homePath();
    return folder;
}
void keepFolder(const QString& file) {
    QSettings settings(QStringLiteral("velmora"), QStringLiteral("memedit"));
    settings.setValue(QLatin1String(kFolderKey), QFileInfo(file).absolutePath());
}

// "E28, M5, M60-M62": in order, three or more neighbours as one range.
QString wordList(std::vector<rxwords::Word> words) {
    std::sort(words.begin(), words.end());
    QStringList parts;
    for (std::size_t i = 0; i < words.size();) {
        std::size_t end = i + 1;
        while (end < words.size() && words[end].space == words[i].space &&
               words[end].number == words[end - 1].number + 1)
            ++end;
        if (end - i >= 3) {
            parts << rxwords::wordName(words[i]) + QLatin1Char('-') +
                         rxwords::wordName(words[end - 1]);
        } else {
            for (std::size_t k = i; k < end; ++k)
                parts << rxwords::wordName(words[k]);
        }
        i = end;
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

void Form1::buildFileMenu() {
    // Captions of the main window, which speaks Portuguese whatever the language of the
    // messages.
    auto* button = new QPushButton(QStringLiteral("Arquivo"), this);
    button->setObjectName(QStringLiteral("FileButton"));
    button->setGeometry(8, 8, 89, 33);
    auto* menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("FileMenu"));
    auto* open = menu->addAction(QStringLiteral("Abrir palavras…"));
    open->setObjectName(QStringLiteral("OpenWords"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, [this] { askForFile(false); });
    auto* save = menu->addAction(QStringLiteral("Salvar palavras…"));
    save->setObjectName(QStringLiteral("SaveWords"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, [this] { askForFile(true); });
    button->setMenu(menu);
    // The keys work while the menu is closed.
    addAction(open);
    addAction(save);
}

void Form1::askForFile(bool save) {
    acted();
    auto* dialog =
        new QFileDialog(this, save ? messageText("Save words") : messageText("Open words"),
                        lastFolder(), messageText("Word files (*.txt);;All files (*)"));
    dialog->setObjectName(save ? QStringLiteral("SaveDialog") : QStringLiteral("OpenDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setDefaultSuffix(QStringLiteral("txt"));
        dialog->selectFile(messageText("words.txt"));
    } else {
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    connect(dialog, &QFileDialog::fileSelected, this, [this, save](const QString& path) {
        acted();
        if (save)
            saveWords(path);
        else
            openWords(path);
    });
    dialog->open();
}

void Form1::saveWords(const QString& path) {
    // Once chosen, the file is written even when the window closes meanwhile.
    queue_.post(
        {[this, path] {
            std::vector<rxwords::Assignment> items;
            for (const RowInfo& row : rows()) {
                // A box still at its start text never held the controller's value.
                if (!filled_.contains(row.word)) continue;
                if (const auto value = rxwords::parseValue(box(row.word)->text().trimmed()))
                    items.push_back({{rxwords::Space::Memory, std::uint8_t(row.word)}, *value, 0});
            }
            if (items.empty())
                throw EditorError(
                    messageText("Nothing to save: no box holds a value read, typed or opened."));
            QStringList header =
                rxwords::fileHeader(QStringLiteral("memedit " RX_VERSION),
                                    comPort_->settings().port, rxwords::editorWordsLine());
            header << QStringLiteral("the editor's rows E16-E39 are the words M36-M59, "
                                     "its rows E100-E240 the words M100-M240");
            if (const QString failure =
                    rxwords::saveWhole(path, rxwords::formatFile(header, items));
                !failure.isEmpty())
                throw EditorError(
                    messageText("%1: %2; nothing saved").arg(rxport::escaped(path), failure));
            keepFolder(path);

            const qint64 saved = qint64(items.size());
            const qint64 left = qint64(rows().size()) - saved;
            QString message =
                messageText("%1 word saved in %2", "%1 words saved in %2", saved)
                    .arg(QString::number(saved), rxport::escaped(QFileInfo(path).fileName()));
            if (left > 0)
                message += messageText("; %1 box left out (not read or typed, or no "
                                       "number from 0 to 65535)",
                                       "; %1 boxes left out (not read or typed, or no "
                                       "number from 0 to 65535)",
                                       left)
                               .arg(left);
            showInTitle(message);
            return 0;
        }},
        QString(), ActionQueue::Completion::MustFinish);
}

void Form1::openWords(const QString& path) {
    queue_.post({[this, path] {
        // A pipe, a device or a socket could keep the window waiting for its end: only a file
        // that can be read whole at once is opened.
        if (const QString what = rxwords::notARegularFile(path); !what.isEmpty())
            throw EditorError(QStringLiteral("%1: %2").arg(rxport::escaped(path), what));
        // The whole file is checked before a box changes.
        const rxwords::FileResult file = rxwords::readFile(path);
        if (!file.error.isEmpty()) throw EditorError(file.error);
        keepFolder(path);
        std::vector<rxwords::Word> outside;
        std::vector<rxwords::Assignment> inside;
        for (const rxwords::Assignment& a : file.items) {
            if (rxwords::isEditorWord(a.word))
                inside.push_back(a);
            else
                outside.push_back(a.word);
        }
        if (inside.empty())
            throw EditorError(QStringLiteral("%1: %2").arg(
                rxport::escaped(path),
                messageText("no word of the file is on the editor's pages: %1")
                    .arg(wordList(outside))));

        qint64 changed = 0;
        for (const rxwords::Assignment& a : inside) {
            const int word = a.word.number;
            QLineEdit* edit = box(word);
            const QString text = QString::number(a.value);
            filled(word);
            if (edit->text() == text) continue;
            edit->setText(text);
            setMarked(word, true);
            ++changed;
        }
        const qint64 opened = qint64(inside.size());
        QString message =
            messageText("%1 word opened from %2", "%1 words opened from %2", opened)
                .arg(QString::number(opened), rxport::escaped(QFileInfo(path).fileName())) +
            messageText("; %1 changed, marked until written or read",
                        "; %1 changed, marked until written or read", changed)
                .arg(changed);
        if (!outside.empty())
            message +=
                messageText("; left out, not on the editor's pages: %1").arg(wordList(outside));
        showInTitle(message);
        return 0;
    }});
}

void Form1::setMarked(int word, bool on) {
    QLineEdit* edit = box(word);
    if (edit == nullptr || marked(word) == on) return;
    if (on) {
        marked_.insert(word);
        QPalette pale;
        pale.setColor(QPalette::Base, kMarkedBase);
        edit->setPalette(pale);
    } else {
        marked_.erase(word);
        edit->setPalette(QPalette()); // back to the window's
    }
}

} // namespace memedit
