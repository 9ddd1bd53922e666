#include "formbuilder.h"

#include "panelfont.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace calcore {

QFont panelFont(double points) {
    QFont f = rxport::panelFont();
    f.setPointSizeF(points);
    return f;
}

void WrapButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    p.drawItemText(area.adjusted(1, 0, -1, 0), Qt::AlignCenter | Qt::TextWordWrap, palette(),
                   isEnabled(), caption, QPalette::ButtonText);
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
    return byName;
}

} // namespace calcore
