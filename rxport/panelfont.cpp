#include "panelfont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QTextLayout>

#include <algorithm>
#include <climits>

namespace rxport {

namespace {

// In the order they are looked for.
const char* const kArialWidthFaces[] = {"Liberation Sans", "Arimo",       "Arial",
                                        "Helvetica",       "Nimbus Sans", "FreeSans"};

// The advances of Arial's characters 32 (blank) to 126 (~), in thousandths of an em.
// clang-format off
constexpr short kArialAdvances[95] = {
     278,  278,  355,  556,  556,  889,  667,  191,  333,  333,  389,  584,  278,  333,  278,  278,
     556,  556,  556,  556,  556,  556,  556,  556,  556,  556,  278,  278,  584,  584,  584,  556,
    1015,  667,  667,  722,  722,  667,  611,  778,  722,  278,  500,  667,  556,  833,  722,  778,
     667,  778,  722,  667,  611,  722,  667,  944,  667,  667,  611,  278,  278,  278,  469,  556,
     333,  556,  556,  500,  556,  556,  278,  556,  556,  222,  222,  500,  222,  833,  556,  556,
     556,  556,  333,  500,  278,  556,  500,  722,  500,  500,  500,  334,  260,  334,  584,
};
// clang-format on

// A letter with a mark (ç, ã, é) is as wide as its letter; anything else the table lacks is
// taken as wide as a digit.
int arialAdvance(QChar c) {
    char16_t u = c.unicode();
    if (u > 126) {
        const QString parts = c.decomposition();
        if (!parts.isEmpty()) u = parts.front().unicode();
    }
    return u >= 32 && u <= 126 ? kArialAdvances[u - 32] : 556;
}

// The lines `text` takes wrapped at blanks to `width` pixels with Arial's widths at `pixels`
// per em. Blanks that end a line take no room; a word wider than the line stands alone on it.
int arialLineCount(const QString& text, int pixels, int width) {
    const qreal limit = qreal(width) * 1000 / std::max(pixels, 1);
    int lines = 1;
    qreal used = 0, blanks = 0;
    bool lineHasWord = false;
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == QLatin1Char(' ')) {
            blanks += arialAdvance(text[i++]);
            continue;
        }
        qreal word = 0;
        while (i < text.size() && text[i] != QLatin1Char(' '))
            word += arialAdvance(text[i++]);
        if (lineHasWord && used + blanks + word > limit) {
            ++lines;
            used = word;
        } else {
            used += blanks + word;
        }
        blanks = 0;
        lineHasWord = true;
    }
    return lines;
}

// A caption laid out at its place the way a label or a button draws it.
struct Layout {
    int lines = 0;
    qreal height = 0;     // of its lines
    qreal widest = 0;     // its widest line
    QList<QRectF> inks{}; // of each line with text; whole pixels, shaded edges included
};

Layout layOut(const QString& caption, const QFont& font, const CaptionPlace& place) {
    const QRectF area(place.area);
    QTextLayout layout(caption, font);
    QTextOption option(place.align);
    option.setWrapMode(place.wrap ? QTextOption::WordWrap : QTextOption::NoWrap);
    layout.setTextOption(option);
    Layout result;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        line.setPosition(QPointF(0, result.height));
        result.height += line.height();
        result.widest = std::max(result.widest, line.naturalTextWidth());
        ++result.lines;
    }
    layout.endLayout();

    qreal top = area.top();
    if (place.align & Qt::AlignVCenter) top += (area.height() - result.height) / 2;
    if (place.align & Qt::AlignBottom) top += area.height() - result.height;
    const QFontMetricsF metrics(font);
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        QString text = caption.mid(line.textStart(), line.textLength());
        while (!text.isEmpty() && text.back().isSpace())
            text.chop(1);
        if (text.trimmed().isEmpty()) continue;
        qreal left = area.left();
        if (place.align & Qt::AlignHCenter) left += (area.width() - line.naturalTextWidth()) / 2;
        if (place.align & Qt::AlignRight) left += area.width() - line.naturalTextWidth();
        result.inks << metrics.tightBoundingRect(text).translated(left,
                                                                  top + line.y() + line.ascent());
    }
    return result;
}

bool fits(const QString& caption, const QFont& font, const CaptionPlace& place, int maxLines) {
    const Layout laid = layOut(caption, font, place);
    const QRectF area(place.area);
    if (laid.lines > maxLines || laid.widest > area.width() || laid.height > area.height())
        return false;
    for (const QRectF& ink : laid.inks) {
        if (!area.contains(ink)) return false;
        for (const QRect& neighbour : place.neighbours) {
            if (ink.intersects(QRectF(neighbour))) return false;
        }
    }
    return true;
}

// One step down, or false at the smallest size a caption is drawn at.
bool shrink(QFont& font) {
    if (font.pixelSize() > 0) {
        if (font.pixelSize() <= 6) return false;
        font.setPixelSize(font.pixelSize() - 1);
        return true;
    }
    if (font.pointSizeF() <= 4.5) return false;
    font.setPointSizeF(font.pointSizeF() - 0.25);
    return true;
}

} // namespace

QFont panelFont() {
    // Looked up once: the installed faces do not change while a tool runs.
    static const QString family = [] {
        for (const char* face : kArialWidthFaces) {
            if (QFontDatabase::hasFamily(QLatin1String(face))) return QString::fromLatin1(face);
        }
        if (QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans")))
            return QStringLiteral("DejaVu Sans");
        return QFont().family();
    }();
    return QFont(family);
}

bool hasArialWidths(const QFont& font) {
    const QString family = QFontInfo(font).family();
    return std::any_of(std::begin(kArialWidthFaces), std::end(kArialWidthFaces),
                       [&family](const char* face) { return family == QLatin1String(face); });
}

QRect captionInk(const QString& caption, const QFont& font, const CaptionPlace& place) {
    QRectF ink;
    for (const QRectF& line : layOut(caption, font, place).inks)
        ink |= line;
    return ink.toAlignedRect();
}

QFont captionFont(const QString& caption, const QFont& font, const CaptionPlace& place) {
    if (caption.trimmed().isEmpty() || hasArialWidths(font)) return font;
    const int maxLines =
        place.wrap ? arialLineCount(caption, QFontInfo(font).pixelSize(), place.area.width())
                   : INT_MAX;
    for (QFont fitted = font;;) {
        if (fits(caption, fitted, place, maxLines) || !shrink(fitted)) return fitted;
    }
}

} // namespace rxport
