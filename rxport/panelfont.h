// The face of the tools' panels, and the size a caption is drawn at to keep to its place.
#pragma once

#include <QFont>
#include <QList>
#include <QRect>
#include <QString>

namespace rxport {

// The face the panels' sizes and positions are measured in, "MS Sans Serif", is not installed
// on Linux. Every caption's place was chosen for the widths of Arial, so the panel face is the
// first installed face with those widths: Liberation Sans, Arimo, Arial, Helvetica, Nimbus Sans,
// FreeSans. Without any of them it is DejaVu Sans (wider), else the application's default face,
// and captionFont() shrinks a caption that no longer fits. The caller sets the point or pixel
// size.
QFont panelFont();

// Whether `font` is drawn in one of the faces with Arial's widths.
bool hasArialWidths(const QFont& font);

// Where a caption is drawn, in the coordinates of its control's parent.
struct CaptionPlace {
    QRect area; // laid out in it: wrapped at its width when `wrap`, placed by `align`
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop;
    bool wrap = false;
    // What its ink must not reach: the boxes of the controls beside it, or, for a label beside
    // it, that label's ink (side by side, two labels' boxes may share a pixel or more).
    QList<QRect> neighbours{};
};

// The box of `caption`'s ink at `place` in `font`: whole pixels, shaded edges included.
QRect captionInk(const QString& caption, const QFont& font, const CaptionPlace& place);

// The font `caption` is drawn in at `place`: `font` itself in a face with Arial's widths, or when
// the caption fits; otherwise `font` at the largest smaller size at which it fits. A caption
// fits when its lines lie inside the area, its ink keeps off the neighbours and, wrapped, it
// takes no more lines than it takes with Arial's widths at `font`'s size (a run of blanks that
// puts a word on the next line still does).
QFont captionFont(const QString& caption, const QFont& font, const CaptionPlace& place);

} // namespace rxport
