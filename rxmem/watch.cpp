// rxmem watch: the words' live values as CSV, a row a round, at the line's own pace or at an
// interval, for a technician to plot. A round reads each word once; a word that gives no line of
// its own with a value in a round leaves its cell empty, never the value of an earlier round.
#include "csvlog.h"
#include "flows.h"
#include "messages.h"
#include "wordreader.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace rxmem {

namespace {

// How often rounds go while the port is gone and no interval was asked for: rows of empty
// cells keep the time regular in a plot without spinning.
constexpr int GoneRoundMs = 1000;

class Watch : public QObject {
  public:
    explicit Watch(Session& session) : session_(session) {
        pace_.setSingleShot(true);
        pace_.setTimerType(Qt::PreciseTimer);
        connect(&pace_, &QTimer::timeout, this, &Watch::round);
        clock_.start();
        session_.outliveLoss();
        session_.setStopHandler([this] {
            stopping_ = true;
            if (!inRound_) end(); // between rounds: the last row is whole already
        });
    }

    void start() {
        session_.data(rxwords::csvHeader(session_.job().words));
        if (!session_.ended()) round();
    }

  private:
    void round() {
        inRound_ = true;
        roundStart_ = clock_.elapsed();
        stamp_ = QDateTime::currentDateTime();
        cells_.clear();
        readNext();
    }

    void readNext() {
        const auto& words = session_.job().words;
        if (cells_.size() == qsizetype(words.size())) {
            rowDone();
            return;
        }
        const Word w = words[std::size_t(cells_.size())];
        session_.link().readReply(w.space, w.number,
                                  [this](const rxline::WordLink::ReadReply& reply) {
                                      if (session_.ended()) return;
                                      cells_.push_back(rxwords::csvCell(valueOf(reply)));
                                      readNext();
                                  });
    }

    void rowDone() {
        inRound_ = false;
        session_.data(rxwords::csvRow(stamp_, cells_));
        if (session_.ended()) return; // the output could not be written
        ++rows_;
        const Options& o = session_.options();
        const bool enough = (o.count > 0 && rows_ >= o.count) ||
                            (o.seconds > 0 && double(clock_.elapsed()) >= o.seconds * 1000);
        if (stopping_ || enough) {
            end();
            return;
        }
        int wait = 0;
        if (o.intervalMs > 0) {
            wait = int(std::max<qint64>(0, roundStart_ + o.intervalMs - clock_.elapsed()));
        } else if (!session_.link().isOpen()) {
            wait = int(std::max<qint64>(0, roundStart_ + GoneRoundMs - clock_.elapsed()));
        }
        // --duration ends the waiting too: no row is due after the time is up.
        if (o.seconds > 0) {
            const qint64 left = qint64(o.seconds * 1000) - clock_.elapsed();
            if (left < wait) {
                QTimer::singleShot(int(std::max<qint64>(0, left)), this, &Watch::end);
                return;
            }
        }
        pace_.start(wait);
    }

    void end() {
        pace_.stop();
        session_.finish(ExitDone);
    }

    Session& session_;
    QTimer pace_;
    QElapsedTimer clock_;
    qint64 roundStart_ = 0;
    QDateTime stamp_;
    QStringList cells_;
    long rows_ = 0;
    bool inRound_ = false;
    bool stopping_ = false;
};

} // namespace

void watchFlow(Session& session) {
    auto* watch = new Watch(session);
    watch->setParent(&session);
    watch->start();
}

} // namespace rxmem
