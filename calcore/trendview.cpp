#include "trendview.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <climits>
#include <cmath>

namespace calcore {

namespace {

// Two rows further apart than this are not joined: the port was gone between them.
constexpr qint64 BreakMs = 5000;
// The steps of the time marks, the first that leaves room for its labels is taken.
constexpr qint64 TimeSteps[] = {1000,   2000,   5000,   10000,  15000,   30000,  60000,
                                120000, 300000, 600000, 900000, 1800000, 3600000};

QString figure(std::optional<std::uint16_t> v) {
    return v ? QString::number(*v) : QStringLiteral("—");
}

qint64 floorTo(qint64 v, qint64 step) {
    return (v >= 0 ? v : v - step + 1) / step * step;
}

} // namespace

NiceAxis niceAxis(qint64 low, qint64 high, int marks, qint64 minStep) {
    const double raw = double(std::max<qint64>(high - low, 1)) / std::max(marks, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    qint64 step = minStep;
    for (const double f : {1.0, 2.0, 5.0, 10.0}) {
        step = std::max(minStep, qint64(std::llround(f * power)));
        if (double(step) >= raw) break;
    }
    return {.first = floorTo(low + step - 1, step), .step = step};
}

TrendView::TrendView(const SampleStore& store, QStringList names, QWidget* parent)
    : QWidget(parent), store_(store), names_(std::move(names)) {
    setObjectName("TrendView");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    measure();
}

void TrendView::setSpanMs(qint64 spanMs) {
    if (spanMs == spanMs_) return;
    spanMs_ = spanMs;
    update();
}

void TrendView::setPaused(bool paused) {
    if (paused == this->paused()) return;
    paused_ = paused ? std::optional<qint64>(store_.newest()) : std::nullopt;
    update();
}

void TrendView::rowAdded() {
    if (paused()) return;
    // The curves move only once the new row is a pixel further on: until then only the figures
    // are drawn again.
    const qint64 msPerPixel = spanMs_ / std::max(1, plotRect(0).width());
    if (pointer_ || store_.newest() - drawnEnd_ >= msPerPixel) {
        update();
    } else {
        update(0, 0, layout_.infoWidth, height());
    }
}

qint64 TrendView::viewEnd() const {
    return paused_ ? *paused_ : store_.newest();
}

void TrendView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) measure();
    QWidget::changeEvent(event);
}

// Sizes from the font, once: a drawing measures no text but what it draws.
void TrendView::measure() {
    laidOut_[0].clear();
    laidOut_[1].clear();
    const QFontMetrics fm = fontMetrics();
    bold_ = font();
    bold_.setBold(true);
    Layout& l = layout_;
    l.infoWidth = fm.horizontalAdvance(QStringLiteral("mín 65535  máx 65535"));
    const QFontMetrics boldMetrics(bold_);
    for (const QString& n : names_)
        l.infoWidth = std::max(l.infoWidth, boldMetrics.horizontalAdvance(n));
    l.infoWidth += fm.height();
    l.axisWidth = fm.horizontalAdvance(QStringLiteral("65535")) + fm.height() / 2;
    l.stripHeight = 4 * fm.lineSpacing() + fm.height();
    l.timeAxisHeight = fm.height() + fm.height() / 2;
    updateGeometry();
}

QSize TrendView::sizeHint() const {
    const Layout& l = layout();
    return {l.infoWidth + l.axisWidth + 40 * fontMetrics().height(),
            strips() * l.stripHeight + l.timeAxisHeight};
}

QSize TrendView::minimumSizeHint() const {
    const Layout& l = layout();
    return {l.infoWidth + l.axisWidth + 12 * fontMetrics().height(),
            strips() * l.stripHeight + l.timeAxisHeight};
}

QRect TrendView::stripRect(int strip) const {
    const int h = layout().stripHeight;
    return {0, strip * h, width(), h};
}

QRect TrendView::plotRect(int strip) const {
    const Layout& l = layout();
    const int pad = fontMetrics().height() / 2;
    const QRect s = stripRect(strip);
    return QRect(l.infoWidth + l.axisWidth, s.top() + pad,
                 std::max(1, width() - l.infoWidth - l.axisWidth - pad), s.height() - 2 * pad);
}

QStringList TrendView::stripText(int strip) const {
    const SampleStats s = store_.stats(std::size_t(strip), viewEnd());
    const QString spread = s.min ? QString::number(s.spread()) : QStringLiteral("—");
    return {names_.value(strip), QStringLiteral("atual %1").arg(figure(s.current)),
            QStringLiteral("mín %1  máx %2").arg(figure(s.min), figure(s.max)),
            QStringLiteral("variação %1 em 10 s").arg(spread)};
}

QString TrendView::hoverText() const {
    if (!pointer_ || store_.rows() == 0) return {};
    for (int i = 0; i < strips(); ++i) {
        const QRect plot = plotRect(i);
        if (!plot.contains(*pointer_)) continue;
        const qint64 end = viewEnd();
        const qint64 t =
            end - spanMs_ +
            qint64(pointer_->x() - plot.left()) * spanMs_ / std::max(1, plot.width() - 1);
        // The row nearest the pointer's time, among those shown.
        std::size_t r = store_.rowAt(t);
        if (r == store_.rows() || (r > 0 && t - store_.timeAt(r - 1) < store_.timeAt(r) - t)) --r;
        const qint64 at = store_.timeAt(r);
        if (at < end - spanMs_ || at > end) return {};
        const auto v = store_.valueAt(r, std::size_t(i));
        return QStringLiteral("%1  %2  %3")
            .arg(names_.value(i),
                 QDateTime::fromMSecsSinceEpoch(at).toString(QStringLiteral("HH:mm:ss.zzz")),
                 v ? QString::number(*v) : QStringLiteral("sem resposta"));
    }
    return {};
}

void TrendView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), palette().window());
    for (int i = 0; i < strips(); ++i) {
        if (stripRect(i).intersects(event->rect())) drawFigures(p, i);
    }
    if (event->rect().right() < layout_.infoWidth) return; // the figures only
    const qint64 end = viewEnd();
    const qint64 start = end - spanMs_;
    drawnEnd_ = end;
    for (int i = 0; i < strips(); ++i) {
        if (stripRect(i).intersects(event->rect())) drawPlot(p, i, start, end);
    }
    drawTimeAxis(p, start, end);
    const QString hover = hoverText();
    if (!hover.isEmpty()) {
        const QFontMetrics fm = fontMetrics();
        QRect box = fm.boundingRect(hover).adjusted(-4, -2, 4, 2);
        box.moveTopLeft(*pointer_ + QPoint(12, 12));
        if (box.right() > width()) box.moveRight(pointer_->x() - 12);
        if (box.bottom() > height()) box.moveBottom(pointer_->y() - 12);
        p.setPen(palette().toolTipText().color());
        p.drawLine(pointer_->x(), 0, pointer_->x(), strips() * layout().stripHeight);
        p.fillRect(box, palette().toolTipBase());
        p.drawRect(box.adjusted(0, 0, -1, -1));
        p.drawText(box, Qt::AlignCenter, hover);
    }
}

const QStaticText& TrendView::laidOut(const QString& text, bool bold) {
    auto& kept = laidOut_[bold ? 1 : 0];
    if (const auto it = kept.constFind(text); it != kept.cend()) return *it;
    if (kept.size() >= 4096) kept.clear(); // the clock's labels and the values come and go
    QStaticText t(text);
    t.setTextFormat(Qt::PlainText);
    t.prepare(QTransform(), bold ? bold_ : font());
    return *kept.insert(text, t);
}

void TrendView::drawLaidOut(QPainter& p, QPoint topLeft, const QStaticText& text, bool bold) {
    p.setFont(bold ? bold_ : font()); // the font it was laid out in, or it is laid out again
    p.drawStaticText(topLeft, text);
}

void TrendView::drawFigures(QPainter& p, int strip) {
    const QFontMetrics fm = fontMetrics();
    const QRect s = stripRect(strip);
    const Layout& l = layout();
    p.setPen(palette().windowText().color());
    const QStringList text = stripText(strip);
    int y = s.top() + fm.height() / 2;
    p.setClipRect(QRect(0, s.top(), l.infoWidth, s.height()));
    for (int line = 0; line < text.size(); ++line) {
        drawLaidOut(p, QPoint(fm.height() / 2, y), laidOut(text[line], line == 0), line == 0);
        y += fm.lineSpacing();
    }
    p.setClipping(false);
    p.setFont(font());
}

void TrendView::drawPlot(QPainter& p, int strip, qint64 start, qint64 end) {
    const QFontMetrics fm = fontMetrics();
    const QRect plot = plotRect(strip);
    const Layout& l = layout();
    const auto column = std::size_t(strip);

    p.fillRect(plot, palette().base());
    p.setPen(palette().mid().color());
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    // The value axis spans what is shown, out to whole marks.
    const std::size_t first = store_.rowAt(start);
    const std::size_t last = store_.rowAt(end + 1);
    std::optional<qint64> low, high;
    for (std::size_t r = first; r < last; ++r) {
        if (const auto v = store_.valueAt(r, column)) {
            low = std::min<qint64>(low.value_or(*v), *v);
            high = std::max<qint64>(high.value_or(*v), *v);
        }
    }
    if (!low) {
        p.setPen(palette().placeholderText().color());
        const QStaticText& none = laidOut(QStringLiteral("sem valores"), false);
        const QSize size = none.size().toSize();
        drawLaidOut(p, plot.center() - QPoint(size.width() / 2, size.height() / 2), none, false);
        return;
    }
    const NiceAxis axis = niceAxis(*low, *high, std::max(1, plot.height() / (2 * fm.height())));
    // A flat curve runs through the middle of its strip.
    const qint64 bottom =
        std::max<qint64>(0, floorTo(*low, axis.step) - (*low == *high ? axis.step : 0));
    const qint64 top = std::max(bottom + 2 * axis.step, floorTo(*high + axis.step - 1, axis.step));
    const double yScale = double(plot.height() - 1) / double(top - bottom);
    const double xScale = double(plot.width() - 1) / double(spanMs_);
    auto yOf = [&](qint64 v) { return plot.bottom() - double(v - bottom) * yScale; };
    auto xOf = [&](qint64 t) { return plot.left() + int(double(t - start) * xScale); };

    for (qint64 m = bottom; m <= top; m += axis.step) {
        const int my = int(std::lround(yOf(m)));
        p.setPen(palette().midlight().color());
        p.drawLine(plot.left() + 1, my, plot.right() - 1, my);
        p.setPen(palette().windowText().color());
        const QStaticText& label = laidOut(QString::number(m), false);
        drawLaidOut(p,
                    QPoint(l.infoWidth + l.axisWidth - fm.height() / 4 -
                               int(std::ceil(label.size().width())),
                           my - fm.height() / 2),
                    label, false);
    }

    // The curve, at most four points a pixel column: the column's first, lowest, highest and
    // last value. A read without reply breaks it and leaves a red mark at the foot.
    // Plain lines: antialiased ones cost ten times as much at the cycle's pace.
    const QPen pen(palette().highlight().color(), 0);
    QPolygonF run;
    int colX = INT_MIN;
    double colFirst = 0, colMin = 0, colMax = 0, colLast = 0;
    int lastGapX = INT_MIN;
    qint64 prevT = 0;
    bool joined = false;
    auto flushColumn = [&] {
        if (colX == INT_MIN) return;
        run << QPointF(colX, colFirst);
        if (colMin != colMax) run << QPointF(colX, colMin) << QPointF(colX, colMax);
        run << QPointF(colX, colLast);
        colX = INT_MIN;
    };
    auto endRun = [&] {
        flushColumn();
        p.setPen(pen);
        if (run.size() > 1) p.drawPolyline(run);
        joined = false;
        run.clear();
    };
    for (std::size_t r = first; r < last; ++r) {
        const qint64 t = store_.timeAt(r);
        const int x = xOf(t);
        const auto v = store_.valueAt(r, column);
        if (!v) {
            endRun();
            if (x != lastGapX) {
                p.setPen(QPen(QColor(200, 0, 0), 1));
                p.drawLine(QPointF(x, plot.bottom() - 3), QPointF(x, plot.bottom()));
                lastGapX = x;
            }
            continue;
        }
        if (joined && t - prevT > BreakMs) endRun();
        const double vy = yOf(*v);
        if (x != colX) {
            flushColumn();
            colX = x;
            colFirst = colMin = colMax = colLast = vy;
        } else {
            colMin = std::min(colMin, vy);
            colMax = std::max(colMax, vy);
            colLast = vy;
        }
        // A lone value between gaps still shows, as a dot.
        if (!joined) run << QPointF(x - 0.5, vy);
        prevT = t;
        joined = true;
    }
    endRun();
}

void TrendView::drawTimeAxis(QPainter& p, qint64 start, qint64 end) {
    const QFontMetrics fm = fontMetrics();
    const QRect plot = plotRect(0);
    const int top = strips() * layout().stripHeight;
    const int labelWidth = fm.horizontalAdvance(QStringLiteral("00:00:00")) * 2;
    qint64 step = TimeSteps[std::size(TimeSteps) - 1];
    for (const qint64 s : TimeSteps) {
        if (double(spanMs_) / double(s) * labelWidth <= plot.width()) {
            step = s;
            break;
        }
    }
    // Marks on the local clock's whole steps.
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(end).offsetFromUtc()) * 1000;
    const QString format = step < 60000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    p.setPen(palette().windowText().color());
    for (qint64 t = floorTo(start + offset + step - 1, step) - offset; t <= end; t += step) {
        const int x = plot.left() + int(double(t - start) * double(plot.width() - 1) / spanMs_);
        p.drawLine(x, top, x, top + fm.height() / 3);
        const QStaticText& label =
            laidOut(QDateTime::fromMSecsSinceEpoch(t).toString(format), false);
        drawLaidOut(p, QPoint(x - int(label.size().width()) / 2, top + fm.height() / 3), label,
                    false);
    }
}

void TrendView::mouseMoveEvent(QMouseEvent* event) {
    pointer_ = event->position().toPoint();
    update();
}

void TrendView::leaveEvent(QEvent*) {
    pointer_.reset();
    update();
}

void TrendView::resizeEvent(QResizeEvent*) {
    update();
}

} // namespace calcore
