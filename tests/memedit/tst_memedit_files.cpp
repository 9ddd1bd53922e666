// The menu "Arquivo" against a pseudo-terminal that plays the controller: which boxes a save
// puts in the file, which boxes an open changes and marks, what a bad file leaves, and that
// neither sends a byte: the next frame on the line is the write the technician clicks.
#include "editortest.h"
#include "mainwindow.h"
#include "ptypeer.h"
#include "wordfile.h"
#include "wordmap.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using memedit::Form1;
using Texts = QMap<int, QString>;

namespace {
constexpr int kWait = 10000;

// The controller's value of every word: ten times its number.
int controllerValue(int word) {
    return word * 10;
}
QByteArray readFrame(int word) {
    return QByteArray("RM") + char(word) + '\r';
}
QByteArray writeFrame(int word, int value) {
    return QByteArray("WM") + char(word) + char(value >> 8) + char(value & 0xFF) + '\r';
}
} // namespace

class FilesTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // The folder the dialogs remember goes to a settings file of the test's own.
        QVERIFY(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    void init() {
        line = std::make_unique<PtyPeer>();
        QVERIFY(line->ok() && line->publish(QStringLiteral("COM1")));
        qputenv("RX_COM_DIR", line->comDir().toLocal8Bit());
        line->answerReads(0, controllerValue);
        window = std::make_unique<Form1>();
        window->show();
        activate();
    }
    void cleanup() {
        closeErrorBoxes();
        window.reset();
        line.reset();
    }

    void saveAndOpen_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QList<int>>("reads");  // words read from the controller first
        QTest::addColumn<Texts>("typed");       // then typed into their boxes
        QTest::addColumn<QByteArray>("file");   // the file an open opens
        QTest::addColumn<QStringList>("saved"); // the words a save writes
        QTest::addColumn<Texts>("shown");       // boxes after the action
        QTest::addColumn<QList<int>>("marked");
        QTest::addColumn<QString>(
            "told"); // the title (%1 the file's name) or the error box (%1 its path)
        QTest::addColumn<int>("m150"); // what the write of M150 sends afterwards

        QTest::newRow("save: read and typed boxes; start text, junk and empty left out")
            << "save" << QList<int>{150, 36}
            << Texts{{151, "12"}, {152, "abc"}, {153, ""}, {154, "70000"}, {21, "0"}}
            << QByteArray() << QStringList{"M21=0", "M36=360", "M150=1500", "M151=12"}
            << Texts{{150, "1500"}, {152, "abc"}} << QList<int>{}
            << "4 words saved in %1; 176 boxes left out (not read or typed, or no number from 0 "
               "to 65535)"
            << 1500;
        QTest::newRow("open: changed boxes marked, an unchanged one not")
            << "open" << QList<int>{151} << Texts{}
            << QByteArray("# page 3\nM150=1234\nM151=1510\n\nM36=5\nM100=9\n") << QStringList{}
            << Texts{{150, "1234"}, {151, "1510"}, {36, "5"}, {100, "9"}, {101, "0"}}
            << QList<int>{36, 100, 150}
            << "4 words opened from %1; 3 changed, marked until written or read" << 1234;
        QTest::newRow("open: words outside the pages named, not shown")
            << "open" << QList<int>{} << Texts{}
            << QByteArray("E28=1\nM5=2\nM60=3\nM61=3\nM62=3\nM150=1234\nM241=4\n") << QStringList{}
            << Texts{{150, "1234"}, {21, "0"}, {240, "0"}} << QList<int>{150}
            << "1 word opened from %1; 1 changed, marked until written or read; left out, not on "
               "the editor's pages: M5, M60-M62, M241, E28"
            << 1234;
        QTest::newRow("open: a bad second line changes no box")
            << "open" << QList<int>{150} << Texts{} << QByteArray("M151=7\nM150=x\n")
            << QStringList{} << Texts{{150, "1500"}, {151, "0"}} << QList<int>{}
            << "%1:2: value \"x\" is not a whole number from 0 to 65535" << 1500;
        QTest::newRow("open: a named pipe is refused unopened, the window goes on")
            << "open-fifo" << QList<int>{150} << Texts{} << QByteArray() << QStringList{}
            << Texts{{150, "1500"}} << QList<int>{} << "%1: this is a named pipe (FIFO), not a file"
            << 1500;
        // "file" is the older file, which must stay byte for byte.
        QTest::newRow("save that does not fit: an error box, the older file unchanged")
            << "save-full" << QList<int>{150} << Texts{} << QByteArray("# older\nM150=1\n")
            << QStringList{} << Texts{{150, "1500"}} << QList<int>{}
            << "%1: the file is larger than this session may write; nothing saved" << 1500;
    }
    void saveAndOpen() {
        QFETCH(QString, action);
        QFETCH(QList<int>, reads);
        QFETCH(Texts, typed);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, saved);
        QFETCH(Texts, shown);
        QFETCH(QList<int>, marked);
        QFETCH(QString, told);
        QFETCH(int, m150);

        for (int word : reads) {
            click(QStringLiteral("Read%1").arg(word));
            QTRY_COMPARE_WITH_TIMEOUT(window->box(word)->text(),
                                      QString::number(controllerValue(word)), kWait);
        }
        for (auto it = typed.cbegin(); it != typed.cend(); ++it) {
            QLineEdit* box = window->box(it.key());
            box->selectAll();
            QTest::keyClick(box, Qt::Key_Delete);
            QTest::keyClicks(box, it.value());
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page3.txt"));
        if (action == "open" || action == "save-full") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
        }
        if (action == "open-fifo") QCOMPARE(::mkfifo(QFile::encodeName(path), 0600), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), kWait); // the last reply's pause is over
        line->clear();

        const bool saving = action.startsWith("save");
        QFileDialog* dialog = fileDialog(saving ? Qt::Key_S : Qt::Key_O);
        QVERIFY(dialog);
        dialog->selectFile(path);
        // A full disk, as a file size limit: a write past 100 bytes fails.
        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        if (action == "save-full") {
            dialog->setOption(QFileDialog::DontConfirmOverwrite); // the older file is meant
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{100, before.rlim_max};
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        }
        static_cast<QDialog*>(dialog)->accept(); // the button "Open" or "Save"
        const bool failed = told.startsWith("%1:");
        if (failed) {
            QTRY_COMPARE_WITH_TIMEOUT(errorBoxText(), told.arg(path), kWait);
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &before), 0);
            closeErrorBoxes();
            activate();
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), told.arg("page3.txt"), kWait);
        }
        for (auto it = shown.cbegin(); it != shown.cend(); ++it)
            QCOMPARE(window->box(it.key())->text(), it.value());
        QCOMPARE(markedWords(), marked);

        if (action == "save-full") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), file);
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"page3.txt"});
        }
        if (action == "save") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QStringList lines =
                QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
            QStringList words;
            QStringList comments;
            for (const QString& l : lines)
                (l.startsWith('#') ? comments : words) << l;
            QCOMPARE(words, saved);
            // rxmem's header, which says the words are the editor's, and the one name of a row.
            QCOMPARE(comments.size(), 5);
            QVERIFY(comments[0].startsWith("# memedit "));
            QCOMPARE(comments[2], QStringLiteral("# port COM1"));
            QCOMPARE(comments[3], "# " + rxwords::editorWordsLine());
            QCOMPARE(comments[4], QStringLiteral("# the editor's rows E16-E39 are the words "
                                                 "M36-M59, its rows E100-E240 the words "
                                                 "M100-M240"));
            QCOMPARE(rxwords::readFile(path).items.size(), size_t(saved.size()));
        }

        // The next dialog starts in the folder of this one's file, when it opened or saved.
        dialog = fileDialog(Qt::Key_O);
        QVERIFY(dialog);
        QCOMPARE(QFileInfo(dialog->directory().absolutePath()).canonicalFilePath() ==
                     QFileInfo(dir.path()).canonicalFilePath(),
                 !failed);
        dialog->reject();

        // Nothing went on the line: the first frames are those clicked now. Writing a word and
        // reading another clears their marks and only theirs.
        click("Write150");
        click("Read36");
        QTRY_COMPARE_WITH_TIMEOUT(hex(line->received), hex(writeFrame(150, m150) + readFrame(36)),
                                  kWait);
        QTRY_COMPARE_WITH_TIMEOUT(window->box(36)->text(), QStringLiteral("360"), kWait);
        marked.removeAll(150);
        marked.removeAll(36);
        QCOMPARE(markedWords(), marked);
    }

    void captionTipsNameTheWord() {
        const QList<std::pair<int, QString>> tips{{21, "M21"},
                                                  {22, "M22 — grava também E2"},
                                                  {36, "M36 — grava também E16"},
                                                  {59, "M59 — grava também E39"},
                                                  {150, "M150"},
                                                  {240, "M240"}};
        for (const auto& [word, tip] : tips)
            QCOMPARE(window->findChild<QLabel*>(QStringLiteral("Caption%1").arg(word))->toolTip(),
                     tip);
        // The button "Arquivo" takes free space of the top bar.
        auto* file = window->findChild<QPushButton*>("FileButton");
        QVERIFY(file);
        QCOMPARE(file->text(), QString("Arquivo"));
        for (QPushButton* other : window->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
            QVERIFY(other == file || !other->geometry().intersects(file->geometry()));
    }

  private:
    void click(const QString& name) {
        auto* button = window->findChild<QPushButton*>(name);
        QVERIFY2(button, qPrintable(name));
        button->click();
    }
    void activate() {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    // The dialog the key (Ctrl+S or Ctrl+O) opens.
    QFileDialog* fileDialog(Qt::Key key) {
        QTest::keyClick(window.get(), key, Qt::ControlModifier);
        for (QFileDialog* d : window->findChildren<QFileDialog*>()) {
            if (d->isVisible()) return d;
        }
        return nullptr;
    }
    QList<int> markedWords() const {
        QList<int> words;
        for (const memedit::RowInfo& row : memedit::rows()) {
            // A marked box stands out from the others.
            const bool pale = window->box(row.word)->palette().color(QPalette::Base) !=
                              window->palette().color(QPalette::Base);
            if (window->marked(row.word) != pale) return {-1};
            if (window->marked(row.word)) words << row.word;
        }
        return words;
    }

    QTemporaryDir config;
    std::unique_ptr<PtyPeer> line;
    std::unique_ptr<Form1> window;
};

QTEST_MAIN(FilesTest)
#include "tst_memedit_files.moc"
