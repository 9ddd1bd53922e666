// A pseudo-terminal the test plays the controller on: it sees exactly what the tool writes and
// answers byte by byte when and how the test wants.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

class PtyPeer : public QObject {
    Q_OBJECT
  public:
    PtyPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        slave_ = QString::fromLocal8Bit(::ptsname(master_));
        // Raw from the start, so nothing the test writes is echoed or translated. The peer
        // holds the slave open itself, so the master never hangs up between the tool's opens.
        held_ = ::open(slave_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        if (held_ >= 0) {
            termios t{};
            ::tcgetattr(held_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(held_, TCSANOW, &t);
        }
        notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &PtyPeer::drain);
    }
    ~PtyPeer() override {
        if (held_ >= 0) ::close(held_);
        if (master_ >= 0) ::close(master_);
    }

    bool ok() const { return master_ >= 0 && !slave_.isEmpty(); }
    QString slavePath() const { return slave_; }
    // Publishes the slave as `link` (a COMn entry of RX_COM_DIR).
    bool linkAs(const QString& link) const {
        return ::symlink(slave_.toLocal8Bit().constData(), link.toLocal8Bit().constData()) == 0;
    }

    void send(const QByteArray& bytes) {
        (void)!::write(master_, bytes.constData(), size_t(bytes.size()));
    }

    QByteArray received;

  signals:
    void bytesReceived();

  private:
    void drain() {
        char buf[512];
        for (;;) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                received.append(buf, n);
                continue;
            }
            break;
        }
        emit bytesReceived();
    }

    int master_ = -1;
    int held_ = -1;
    QString slave_;
    QSocketNotifier* notifier_ = nullptr;
};
