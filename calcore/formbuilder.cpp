#include "formbuilder.h"

#include "panelfont.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <utility>

namespace calcore {

QFont panelFont(double points) {
    QFont f = rxport::panelFont();
    f.setPointSizeF(points);
    return f;
}

QRect WrapButton::captionArea() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()
        ->subElementRect(QStyle::SE_PushButtonContents, &option, this)
        .adjusted(1, 0, -1, 0);
}

void WrapButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option);
    p.drawItemText(captionArea(), Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(),
                   text(), QPalette::ButtonText);
}

namespace {

QRect pixels(const Twips& t) {
    return QRect(twipsToPixels(t.left), twipsToPixels(t.top), twipsToPixels(t.width),
                 twipsToPixels(t.height));
}

QWidget* makeControl(const ControlDef& c, QWidget* parent) {
    const QString caption = QString::fromUtf8(c.caption ? c.caption : "");
    switch (c.kind) {
    case ControlKind::Label: {
        auto* l = new QLabel(caption, parent);
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    }
    case ControlKind::Button:
        return new WrapButton(caption, parent);
    case ControlKind::Entry:
        return new QLineEdit(caption, parent);
    case ControlKind::CheckBox:
        return new QCheckBox(caption, parent);
    case ControlKind::Frame:
        return new QGroupBox(caption, parent);
    }
    return nullptr;
}

// The caption of `w` and where it is drawn; false for a control without one.
bool captionPlace(QWidget* w, QString& caption, rxport::CaptionPlace& place) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
        caption = label->text();
        place = {.area = w->geometry(), .align = label->alignment(), .wrap = label->wordWrap()};
    } else if (auto* button = qobject_cast<WrapButton*>(w)) {
        caption = button->text();
        place = {.area = button->captionArea().translated(w->pos()),
                 .align = Qt::AlignCenter,
                 .wrap = true};
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect area = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        caption = box->text();
        place = {.area = area.translated(w->pos()), .align = Qt::AlignLeft | Qt::AlignVCenter};
    } else if (auto* frame = qobject_cast<QGroupBox*>(w)) {
        // The title starts at the frame's indent and may run to the same indent from its right.
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect title = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxLabel, frame);
        caption = frame->title();
        place = {.area =
                     QRect(title.left(), title.top(), w->width() - 2 * title.left(), title.height())
                         .translated(w->pos()),
                 .align = Qt::AlignLeft | Qt::AlignVCenter};
    } else {
        return false;
    }
    return true;
}

// Whether `a` comes before `b` read from the left, then from the top.
bool readBefore(const QWidget* a, const QWidget* b) {
    return std::pair(a->x(), a->y()) < std::pair(b->x(), b->y());
}

// What the caption of `w` must keep off in `neighbour`: all its box; of a label read before `w`,
// only its text (a caption's box may run on under the value display to its right, its text may
// not).
QRect keepOff(const QWidget* w, QWidget* neighbour) {
    QString caption;
    rxport::CaptionPlace place;
    if (qobject_cast<QLabel*>(neighbour) && readBefore(neighbour, w) &&
        captionPlace(neighbour, caption, place))
        return rxport::captionInk(caption, neighbour->font(), place);
    return neighbour->geometry();
}

// In reading order, so that a label read before another has its final size when the other is
// held against its text.
void fitCaptions(QWidget* form, QList<QWidget*> controls) {
    if (rxport::hasArialWidths(form->font())) return; // the face every place was chosen for
    std::sort(controls.begin(), controls.end(), readBefore);
    for (QWidget* w : std::as_const(controls)) {
        QString caption;
        rxport::CaptionPlace place;
        if (w->isHidden() || !captionPlace(w, caption, place)) continue;
        // A caption stays inside its control: only a control over it can be in its way.
        for (QObject* o : w->parentWidget()->children()) {
            auto* sibling = qobject_cast<QWidget*>(o);
            if (sibling && sibling != w && !sibling->isHidden() &&
                sibling->geometry().intersects(w->geometry()))
                place.neighbours << keepOff(w, sibling);
        }
        const QFont font = rxport::captionFont(caption, w->font(), place);
        if (font != w->font()) w->setFont(font);
    }
}

} // namespace

QHash<QString, QWidget*> buildControls(QWidget* form, std::span<const ControlDef> controls) {
    QHash<QString, QWidget*> byName;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& c : controls) {
            if ((c.kind == ControlKind::Frame) != (pass == 0)) continue;
            QWidget* parent = form;
            if (c.parent) parent = byName.value(QString::fromLatin1(c.parent), form);
            QWidget* w = makeControl(c, parent);
            w->setObjectName(QString::fromLatin1(c.name));
            if (c.points > 0) w->setFont(panelFont(c.points));
            w->setGeometry(pixels(c.rect));
            w->setVisible(c.visible);
            w->setEnabled(c.enabled);
            byName.insert(w->objectName(), w);
        }
    }
    fitCaptions(form, byName.values());
    return byName;
}

} // namespace calcore
