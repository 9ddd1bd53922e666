// Builds a calibration window from its control table.
#pragma once

#include "model.h"

#include <QFont>
#include <QHash>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace calcore {

// The panel face (rxport::panelFont) at `points`.
QFont panelFont(double points = 8.0);

// A push button whose caption wraps to its width: a 33-pixel-high button holds two lines.
class WrapButton : public QPushButton {
    Q_OBJECT
  public:
    using QPushButton::QPushButton;

    // Where the caption is drawn, centred, in the button's own coordinates.
    QRect captionArea() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// Creates every control of `controls` on `form` (frames first, so children find their frame),
// at its place and size, with its caption, font and visibility. In a face without Arial's widths
// a caption that does not fit its control, or reaches a visible neighbour, is drawn at the
// largest size that fits (rxport::captionFont). Returns the controls by name.
QHash<QString, QWidget*> buildControls(QWidget* form, std::span<const ControlDef> controls);

} // namespace calcore
