// Builds a calibration window from its control table.
#pragma once

#include "model.h"

#include <QFont>
#include <QHash>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace calcore {

// The design's "MS Sans Serif" at `points`; Linux has no such font, so it stands for
// Liberation Sans (metric twin of Arial), then DejaVu Sans.
QFont designFont(double points = 8.0);

// A push button whose caption wraps to its width, as the original toolkit's buttons did.
class WrapButton : public QPushButton {
    Q_OBJECT
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// Creates every control of `controls` on `form` (frames first, so children find their frame),
// at its place and size, with its caption, font and visibility. Returns the controls by name.
QHash<QString, QWidget*> buildControls(QWidget* form, std::span<const ControlSpec> controls);

} // namespace calcore
