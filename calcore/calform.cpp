#include "calform.h"

#include "formbuilder.h"
#include "ports.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace calcore {

QString portFailureMessage(const QString& portText, const QString& reason) {
    const auto path = resolvePortName(portText.toStdString(), PortEnvironment::fromSystem());
    return QStringLiteral("Não foi possível abrir a porta %1 (%2).\n%3")
        .arg(portText, QString::fromStdString(path), reason);
}

CalForm::CalForm(const Model& model, QString portText, QWidget* parent)
    : QWidget(parent), model_(model), portText_(std::move(portText)), link_(this),
      cycle_(model, link_, *this, this) {
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8(model.caption));
    setFont(designFont());
    setFixedSize(twipsToPixels(model.clientWidthTwips), twipsToPixels(model.clientHeightTwips));
    link_.setMemoryEcho(model.memoryEcho);
    controls_ = buildControls(this, model.controls);
    wireRequests();
}

void CalForm::wireRequests() {
    for (const auto& r : model_.requests) {
        auto* button = qobject_cast<QPushButton*>(control(QString::fromLatin1(r.button)));
        auto* entry = qobject_cast<QLineEdit*>(control(QString::fromLatin1(r.entry)));
        if (!button) continue;
        if (r.kind == RequestKind::CodeOnly) {
            connect(button, &QPushButton::clicked, this,
                    [this, code = r.code] { cycle_.requestCodeOnly(code); });
            continue;
        }
        if (!entry) continue;
        connect(entry, &QLineEdit::textEdited, entry, [entry] {
            if (!entry->property("invalid").toBool()) return;
            entry->setProperty("invalid", false);
            entry->setStyleSheet({});
            entry->setToolTip({});
        });
        connect(button, &QPushButton::clicked, this, [this, entry, code = r.code] {
            if (cycle_.requestEntryWrite(code, entry->text().toStdString())) return;
            // Nothing is written for a number that does not fit in 32 bits.
            entry->setProperty("invalid", true);
            entry->setStyleSheet(QStringLiteral("QLineEdit { background: #ffb0b0; }"));
            entry->setToolTip(QStringLiteral("Número grande demais: nada foi gravado."));
        });
    }
    for (const auto& c : model_.checks) {
        auto* box = qobject_cast<QCheckBox*>(control(QString::fromLatin1(c.box)));
        if (!box) continue;
        connect(box, &QCheckBox::clicked, this,
                [this, code = c.code](bool checked) { cycle_.checkClicked(code, checked); });
    }
}

void CalForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        load();
    }
}

void CalForm::load() {
    cycle_.start();
    link_.open(portText_, [this](bool ok, const QString& error) { onOpened(ok, error); });
}

void CalForm::reopenPort() {
    link_.close();
    link_.open(portText_, [this](bool ok, const QString& error) { onOpened(ok, error); });
}

void CalForm::onOpened(bool ok, const QString& error) {
    if (ok || failed_) return;
    failed_ = true;
    cycle_.timer().stop();
    emit portFailed(portFailureMessage(portText_, error));
}

void CalForm::closeEvent(QCloseEvent* event) {
    event->accept();
    cycle_.timer().stop();
    emit closed();
}

void CalForm::showValue(const char* label, const std::string& valueText) {
    if (auto* l = qobject_cast<QLabel*>(control(QString::fromLatin1(label)))) {
        // Reply bytes are not UTF-8; each byte is one character.
        const auto text = displayText(valueText);
        l->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
}

std::string CalForm::entryText(const char* entry) const {
    if (auto* e = qobject_cast<QLineEdit*>(control(QString::fromLatin1(entry)))) {
        return e->text().toStdString();
    }
    return {};
}

bool CalForm::isChecked(const char* box) const {
    auto* b = qobject_cast<QCheckBox*>(control(QString::fromLatin1(box)));
    return b && b->isChecked();
}

void CalForm::setChecked(const char* box, bool checked) {
    if (auto* b = qobject_cast<QCheckBox*>(control(QString::fromLatin1(box)))) {
        b->setChecked(checked); // setChecked does not emit clicked
    }
}

} // namespace calcore
