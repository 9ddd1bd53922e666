// A pseudo-terminal standing in for the controller: the editor opens its slave side through
// a COMn link in a private RX_COM_DIR; the test reads what the editor sends and answers.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

class PtyLine {
  public:
    struct Chunk {
        qint64 ms;
        QByteArray bytes;
    };

    // Publishes the slave as DIR/name (DIR = a fresh temporary folder, or the given one).
    explicit PtyLine(const QString& name = QStringLiteral("COM1"), const QString& dir = {}) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        slavePath_ = QString::fromLocal8Bit(ptsname(master_));
        // Keep one slave descriptor of our own so that the master never sees a hang-up when
        // the editor closes its side.
        keeper_ = ::open(slavePath_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        tcgetattr(keeper_, &tio);
        cfmakeraw(&tio);
        tcsetattr(keeper_, TCSANOW, &tio);
        dir_ = dir.isEmpty() ? tmp_.path() : dir;
        link_ = QDir(dir_).filePath(name);
        QFile::link(slavePath_, link_);
        notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drain(); });
        clock_.start();
    }
    ~PtyLine() {
        QFile::remove(link_);
        hangUp();
        if (keeper_ >= 0) ::close(keeper_);
    }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    bool isValid() const { return master_ >= 0 && keeper_ >= 0; }
    QString dir() const { return dir_; }
    QString slavePath() const { return slavePath_; }

    void reply(const QByteArray& bytes) const {
        if (::write(master_, bytes.constData(), size_t(bytes.size())) != bytes.size())
            qWarning("short write to the pseudo-terminal");
    }
    // Stops (or restarts) the output of the editor's side, as a flow control would.
    void holdEditorOutput(bool hold) const { ::tcflow(keeper_, hold ? TCOOFF : TCOON); }
    // The controller goes away: the editor's side sees a hang-up.
    void hangUp() {
        notifier_.reset();
        if (master_ >= 0) ::close(master_);
        master_ = -1;
        if (keeper_ >= 0) ::close(keeper_);
        keeper_ = -1;
    }

    QByteArray received() const {
        QByteArray all;
        for (const Chunk& c : chunks_)
            all += c.bytes;
        return all;
    }
    void clear() { chunks_.clear(); }

    // Answers every read frame "RM" w CR after delayMs with "M", w in decimal, value(w), CR.
    void answerReads(int delayMs, std::function<int(int)> value) {
        answerDelay_ = delayMs;
        value_ = std::move(value);
    }
    qint64 now() const { return clock_.elapsed(); }
    // The time the byte at offset pos of received() arrived.
    qint64 timeOf(qsizetype pos) const {
        for (const Chunk& c : chunks_) {
            if (pos < c.bytes.size()) return c.ms;
            pos -= c.bytes.size();
        }
        return -1;
    }

  private:
    void drain() {
        char buf[256];
        for (;;) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) break;
            chunks_.push_back({clock_.elapsed(), QByteArray(buf, n)});
            pending_ += QByteArray(buf, n);
        }
        if (!value_) return;
        for (qsizetype at; (at = pending_.indexOf('\r')) >= 0;) {
            const QByteArray frame = pending_.left(at + 1);
            pending_.remove(0, at + 1);
            if (frame.size() == 4 && frame.startsWith("RM")) {
                const int word = quint8(frame[2]);
                const QByteArray answer =
                    "M" + QByteArray::number(word) + QByteArray::number(value_(word)) + "\r";
                QTimer::singleShot(answerDelay_, [this, answer] { reply(answer); });
            }
        }
    }

    QTemporaryDir tmp_;
    QString dir_;
    QString link_;
    QString slavePath_;
    int master_ = -1;
    int keeper_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QList<Chunk> chunks_;
    QByteArray pending_;
    int answerDelay_ = 0;
    std::function<int(int)> value_;
    QElapsedTimer clock_;
};

// Bytes written as hex pairs, for readable comparisons: "52 4D 15 0D".
inline QByteArray hex(const QByteArray& bytes) {
    return bytes.toHex(' ').toUpper();
}

#include <QApplication>
#include <QMessageBox>

// The error boxes the editor shows, newest last.
inline QList<QMessageBox*> errorBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box != nullptr && box->isVisible()) boxes << box;
    }
    return boxes;
}

inline QString errorBoxText() {
    const QList<QMessageBox*> boxes = errorBoxes();
    return boxes.isEmpty() ? QString() : boxes.last()->text();
}

inline void closeErrorBoxes() {
    for (QMessageBox* box : errorBoxes())
        box->close();
}
