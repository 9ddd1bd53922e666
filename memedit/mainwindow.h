// The editor's main window Form1: the top bar, the five pages of word rows, the word
// commands, the receive handler and the five page sweeps.
#pragma once

#include "actionqueue.h"

#include <QByteArray>
#include <QWidget>

#include <map>
#include <memory>
#include <set>

class QCloseEvent;
class QLineEdit;
class QProgressBar;
class QTabWidget;
class QTimer;

namespace memedit {

class SerialPort;
struct RowInfo;

// Where a window wanted at `window` (frame included) stands on `screen`: where wanted when it
// fits, else moved just enough to fit.
QPoint placeWithin(const QRect& screen, const QRect& window);

class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    SerialPort* comPort() const { return comPort_; }
    QLineEdit* box(int word) const;
    int pendingWord() const { return PendingWord; }
    const QByteArray& replyBuffer() const { return ReplyBuffer; }
    int sweepCounter() const { return SweepCounter; }
    bool busy() const { return queue_.busy(); }
    // The word's box shows a value a file brought that has not been written or read since.
    bool marked(int word) const { return marked_.contains(word); }

    // The menu "Arquivo" without its dialogs: the boxes of a parameter file's words take its
    // values, or the boxes that hold a value go into a file. Nothing goes on the line. Both
    // wait their turn behind the actions already clicked; an error is shown in the error box,
    // a success in the title for a few seconds.
    void openWords(const QString& path);
    void saveWords(const QString& path);

    // Grabs each page in turn into DIR/memedit-pageN.png.
    bool saveScreenshots(const QString& dir);

    static constexpr int kSweeps = 5;

  signals:
    // The window was closed and every write it held has gone out (and any error box of theirs
    // was dismissed): the program may end now.
    void finished();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildTopBar();
    void buildPages();
    void buildFileMenu();
    void askForFile(bool save);
    // Marks a box a file changed, or clears its mark once the word is written or read.
    void setMarked(int word, bool on);
    // A value a read or the technician put in a box: saved with the others.
    void filled(int word) { filled_.insert(word); }
    void showInTitle(const QString& message);
    // A click of the technician: the next failure is reported again.
    void acted() { reportedSinceAct_ = false; }
    void reportFailure(const QString& message, bool portError);
    void showError(const QString& message);
    bool errorBoxShown() const;
    void stopSweeps();
    void endIfDone();

    // Word commands. They throw EditorError; the action queue shows it and ends the action.
    void ReadWord(int word);
    // A read that no line of its word follows within SilentAfterMs is told in the title, with
    // the port and the speed tried.
    void watchForSilence();
    ActionQueue::Steps writeSteps(const RowInfo& row, std::shared_ptr<QString> text,
                                  int pauseAfter);
    void WriteWord(int word);
    void WriteBlock();
    int receive(int count);

    void startSweep(int sweep);
    int tick(int sweep, bool late);

    SerialPort* comPort_ = nullptr;
    ActionQueue queue_;
    QTabWidget* pageControl_ = nullptr;
    std::map<int, QLineEdit*> boxes_;
    QTimer* timers_[kSweeps] = {};
    QProgressBar* bars_[kSweeps] = {};
    QTimer* titleTimer_ = nullptr;
    QTimer* silence_ = nullptr;
    std::set<int> filled_; // boxes read, typed into or opened: the start text "0" is no value
    std::set<int> marked_;

    int PendingWord = 0;
    QByteArray ReplyBuffer;
    int SweepCounter = 0;

    bool reportedSinceAct_ = false;
    bool closing_ = false;
    bool ended_ = false;
};

} // namespace memedit
