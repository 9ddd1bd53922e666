// A pseudo-terminal the test plays the controller on: it sees exactly what the tool writes and
// answers byte by byte when and how the test wants. The tools reach its slave through a COMn
// link (publish, linkAs) in the folder they read from RX_COM_DIR.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

class PtyPeer : public QObject {
    Q_OBJECT
  public:
    PtyPeer() {
        clock_.start();
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        slave_ = QString::fromLocal8Bit(::ptsname(master_));
        // Raw from the start, so nothing the test writes is echoed or translated. The peer
        // holds the slave open itself, so the master never hangs up between the tool's opens.
        held_ = ::open(slave_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (held_ >= 0) {
            termios t{};
            ::tcgetattr(held_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(held_, TCSANOW, &t);
        }
        notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &PtyPeer::drain);
    }
    ~PtyPeer() override { hangUp(); }

    bool ok() const { return master_ >= 0 && !slave_.isEmpty(); }
    QString slavePath() const { return slave_; }
    // Publishes the slave as `link` (a COMn entry of RX_COM_DIR).
    bool linkAs(const QString& link) {
        if (::symlink(slave_.toLocal8Bit().constData(), link.toLocal8Bit().constData()) != 0)
            return false;
        links_ << link;
        return true;
    }
    // A folder of the peer's own for COMn links, made on first use and removed with the peer.
    QString comDir() {
        if (!dir_) dir_ = std::make_unique<QTemporaryDir>();
        return dir_->path();
    }
    // Publishes the slave as `name` in comDir().
    bool publish(const QString& name) { return linkAs(QDir(comDir()).filePath(name)); }

    void send(const QByteArray& bytes) {
        (void)!::write(master_, bytes.constData(), size_t(bytes.size()));
    }

    // Everything the tool wrote, in order. A test may empty it; clear() also forgets the times.
    QByteArray received;
    void clear() {
        received.clear();
        arrivals_.clear();
        seen_ = 0;
    }
    // Milliseconds since the peer was made, and when the byte at `pos` of `received` arrived
    // (-1: unknown).
    qint64 now() const { return clock_.elapsed(); }
    qint64 timeOf(qsizetype pos) const {
        for (const Arrival& a : arrivals_) {
            if (pos < a.end) return a.ms;
        }
        return -1;
    }

    // Stops (or restarts) what the tool's side sends, as a flow control would: written bytes
    // wait in the tool's transmit queue.
    void holdOutput(bool hold) const { ::tcflow(held_, hold ? TCOOFF : TCOON); }
    // The controller goes away: the tool's side sees a hang-up. The names it was published under
    // stay but lead nowhere, so an open fails as for a device just unplugged: a link left on the
    // slave would lead the tool to whichever test's terminal takes the freed number next.
    void hangUp() {
        const QByteArray nowhere = slave_.toLocal8Bit() + ".gone";
        for (const QString& link : std::as_const(links_)) {
            const QByteArray path = link.toLocal8Bit();
            const QByteArray temp = path + ".gone";
            if (::symlink(nowhere.constData(), temp.constData()) != 0 ||
                ::rename(temp.constData(), path.constData()) != 0)
                ::unlink(temp.constData());
        }
        links_.clear();
        delete notifier_;
        notifier_ = nullptr;
        if (held_ >= 0) ::close(held_);
        held_ = -1;
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    // Answers every memory read "RM" w CR, delayMs later, with "M", w in decimal, value(w), CR.
    void answerReads(int delayMs, std::function<int(int)> value) {
        answerDelay_ = delayMs;
        value_ = std::move(value);
    }

  signals:
    void bytesReceived();

  private:
    struct Arrival {
        qsizetype end; // one past the last byte of the piece in `received`
        qint64 ms;
    };

    void drain() {
        if (received.size() != seen_) arrivals_.clear(); // the test changed `received`
        char buf[512];
        for (;;) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) break;
            received.append(buf, n);
            arrivals_.push_back({received.size(), clock_.elapsed()});
            if (value_) unanswered_.append(buf, n);
        }
        seen_ = received.size();
        answer();
        emit bytesReceived();
    }

    void answer() {
        for (qsizetype at; (at = unanswered_.indexOf('\r')) >= 0;) {
            const QByteArray frame = unanswered_.left(at + 1);
            unanswered_.remove(0, at + 1);
            if (frame.size() != 4 || !frame.startsWith("RM")) continue;
            const int word = quint8(frame[2]);
            const QByteArray reply =
                "M" + QByteArray::number(word) + QByteArray::number(value_(word)) + "\r";
            QTimer::singleShot(answerDelay_, this, [this, reply] { send(reply); });
        }
    }

    int master_ = -1;
    int held_ = -1;
    QString slave_;
    QStringList links_;
    QSocketNotifier* notifier_ = nullptr;
    std::unique_ptr<QTemporaryDir> dir_;
    QElapsedTimer clock_;
    QList<Arrival> arrivals_;
    qsizetype seen_ = 0;
    QByteArray unanswered_;
    int answerDelay_ = 0;
    std::function<int(int)> value_;
};
