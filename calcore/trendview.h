// The strips of the trend window: one a live word, its value against time, drawn with QPainter
// from a SampleStore. A plain widget: it draws when told of a new row or when its view changes,
// at most four points a pixel column, the curves only once a new row moves them a pixel (the
// figures beside them at every row), and never reads the line.
#pragma once

#include "samplestore.h"

#include <QHash>
#include <QPoint>
#include <QStaticText>
#include <QStringList>
#include <QWidget>

#include <optional>

namespace calcore {

// Axis marks at 1, 2 or 5 times a power of ten, at least `minStep` apart, for a range from `low`
// to `high` that holds about `marks` of them. The first mark is the first multiple of the step
// at or above `low`.
struct NiceAxis {
    qint64 first = 0;
    qint64 step = 1;
};
NiceAxis niceAxis(qint64 low, qint64 high, int marks, qint64 minStep = 1);

class TrendView : public QWidget {
    Q_OBJECT
  public:
    // `names`, one a column of `store` ("Ain1 (M15)").
    TrendView(const SampleStore& store, QStringList names, QWidget* parent = nullptr);

    // The time shown, right edge to left edge.
    void setSpanMs(qint64 spanMs);
    qint64 spanMs() const { return spanMs_; }
    // A paused view keeps its right edge while rows go on being kept.
    void setPaused(bool paused);
    bool paused() const { return paused_.has_value(); }
    // A row was added: drawn unless paused.
    void rowAdded();

    int strips() const { return int(names_.size()); }
    // What strip `strip` shows beside its curve: its name, then the current value and the
    // minimum, maximum and spread of the last 10 s, a line each.
    QStringList stripText(int strip) const;
    // The time and value under the pointer ("Ain1 (M15)  10:55:02.120  1234"), empty when the
    // pointer is off the curves.
    QString hoverText() const;
    // The time at the right edge of the curves.
    qint64 viewEnd() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct Layout {
        int infoWidth = 0; // the names and figures, left
        int axisWidth = 0; // the value marks
        int stripHeight = 0;
        int timeAxisHeight = 0;
    };
    const Layout& layout() const { return layout_; }
    void measure();
    QRect stripRect(int strip) const;
    QRect plotRect(int strip) const;
    void drawFigures(QPainter& p, int strip);
    void drawPlot(QPainter& p, int strip, qint64 start, qint64 end);
    void drawTimeAxis(QPainter& p, qint64 start, qint64 end);
    // A text laid out once and kept: most texts of a drawing are those of the drawing before.
    const QStaticText& laidOut(const QString& text, bool bold);
    void drawLaidOut(QPainter& p, QPoint topLeft, const QStaticText& text, bool bold);

    const SampleStore& store_;
    QStringList names_;
    qint64 spanMs_ = 60 * 1000;
    std::optional<qint64> paused_; // the frozen right edge
    std::optional<QPoint> pointer_;
    Layout layout_;
    qint64 drawnEnd_ = 0;                    // the right edge of the curves last drawn
    QFont bold_;                             // the strips' names
    QHash<QString, QStaticText> laidOut_[2]; // in the widget's font, in bold_
};

} // namespace calcore
