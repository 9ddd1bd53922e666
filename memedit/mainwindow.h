// The editor's main window Form1: the top bar, the five pages of word rows, the word
// commands, the receive handler and the five page sweeps.
#pragma once

#include "actionqueue.h"

#include <QByteArray>
#include <QWidget>

#include <map>
#include <memory>

class QLineEdit;
class QProgressBar;
class QTabWidget;
class QTimer;

namespace memedit {

class SerialPort;
struct RowInfo;

// "MS Sans Serif" at a pixel height, mapped to a sans face this system has.
QFont designFont(int pixelHeight, bool bold = false);

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    SerialPort* comPort() const { return comPort_; }
    QLineEdit* box(int word) const;
    int pendingWord() const { return pendingWord_; }
    const QByteArray& replyBuffer() const { return replyBuffer_; }
    int sweepCounter() const { return sweepCounter_; }
    bool busy() const { return queue_.busy(); }

    // Grabs each page in turn into DIR/memedit-pageN.png.
    bool saveScreenshots(const QString& dir);

    static constexpr int kSweeps = 5;

  private:
    void buildTopBar();
    void buildPages();
    void showError(const QString& message);

    // Word commands. They throw EditorError; the action queue shows it and ends the action.
    void readWord(int word);
    ActionQueue::Steps writeSteps(const RowInfo& row, std::shared_ptr<QString> text,
                                  int pauseAfter);
    void postWrite(int word);
    void postBlockWrite();
    int receive(int count);

    void startSweep(int sweep);
    int tick(int sweep, bool late);

    SerialPort* comPort_ = nullptr;
    ActionQueue queue_;
    QTabWidget* pageControl_ = nullptr;
    std::map<int, QLineEdit*> boxes_;
    QTimer* timers_[kSweeps] = {};
    QProgressBar* bars_[kSweeps] = {};

    int pendingWord_ = 0;
    QByteArray replyBuffer_;
    int sweepCounter_ = 0;
};

} // namespace memedit
