#include "portselect.h"

#include "calform.h"
#include "formbuilder.h"
#include "portnames.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace calcore {

namespace {
QRect pixels(Twips t) {
    return QRect(twipsToPixels(t.left), twipsToPixels(t.top), twipsToPixels(t.width),
                 twipsToPixels(t.height));
}
} // namespace

PortSelectForm::PortSelectForm(const Model& model, QWidget* parent)
    : QWidget(parent), model_(model), box_(new QComboBox(this)),
      button_(new WrapButton(QStringLiteral("Abrir programa"), this)),
      probeButton_(new QPushButton(QStringLiteral("&Procurar"), this)),
      probeLabel_(new QLabel(this)) {
    setObjectName("Form2");
    setWindowTitle(QStringLiteral("Ajuste Serial"));
    setFont(panelFont());
    setFixedSize(twipsToPixels(3060), twipsToPixels(2580));
    button_->setObjectName("Command1");
    button_->setGeometry(pixels({840, 720, 1335, 615}));
    box_->setObjectName("Combo1");
    box_->setEditable(true);
    box_->setInsertPolicy(QComboBox::NoInsert);
    box_->setGeometry(pixels({720, 1680, 1575, 315}));
    // In the free space under the list: the scan and, beside it, what it found.
    probeButton_->setObjectName("Command2");
    probeButton_->setGeometry(pixels({120, 2100, 1095, 360}));
    probeLabel_->setObjectName("Label1");
    probeLabel_->setGeometry(pixels({1290, 2040, 1680, 480}));
    probeLabel_->setWordWrap(true);
    connect(probeButton_, &QPushButton::clicked, this, &PortSelectForm::probe);
    connect(&probe_, &rxline::PortProbe::finished, this, &PortSelectForm::probeDone);
    connect(button_, &QPushButton::clicked, this, &PortSelectForm::openProgram);
    // Enter in the port box opens the program too (a typed port name needs no mouse).
    connect(box_->lineEdit(), &QLineEdit::returnPressed, this, &PortSelectForm::openProgram);
    fillPorts();
}

void PortSelectForm::fillPorts() {
    box_->clear();
    box_->addItems(rxport::probePorts());
    // With no port at all the list stays empty and the technician may type a name.
    if (box_->count() > 0) box_->setCurrentIndex(0);
}

void PortSelectForm::probe() {
    QStringList names;
    for (int i = 0; i < box_->count(); ++i)
        names << box_->itemText(i);
    if (names.isEmpty()) {
        probeLabel_->setText(QStringLiteral("nenhuma porta na lista"));
        return;
    }
    probeButton_->setEnabled(false);
    probeButton_->setText(QStringLiteral("Procurando…"));
    probeLabel_->clear();
    probe_.start(names);
}

void PortSelectForm::probeDone() {
    endProbe();
    const int first = probe_.firstAnswering();
    if (first < 0) {
        probeLabel_->setText(QStringLiteral("nenhum controlador respondeu"));
        return;
    }
    box_->setCurrentIndex(first);
    probeLabel_->setText(QStringLiteral("controlador em %1").arg(box_->itemText(first)));
}

void PortSelectForm::endProbe() {
    probeButton_->setText(QStringLiteral("&Procurar"));
    probeButton_->setEnabled(true);
}

void PortSelectForm::openProgram() {
    const QString text = box_->currentText().trimmed();
    if (form_) return; // a main window is already up
    // A scan under way holds the ports it asks: it gives them up for the port chosen.
    if (probe_.running()) {
        probe_.cancel();
        endProbe();
    }
    form_ = new CalForm(model_, text);
    form_->setAttribute(Qt::WA_DeleteOnClose);
    connect(form_, &CalForm::portFailed, this, &PortSelectForm::portFailed);
    connect(form_, &CalForm::closed, this, &PortSelectForm::finished);
    // The load opens the port and the line then sees it closed and opened again; a failure
    // comes back later through portFailed, never inside this click.
    form_->load();
    form_->show();
    hide();
    form_->reopenPort();
}

void PortSelectForm::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    // Closing the selection window before a main window exists ends the program.
    if (!form_) emit finished();
}

void PortSelectForm::portFailed(const QString& message) {
    // Back to the port selection, so another port can be chosen.
    if (form_) {
        disconnect(form_, nullptr, this, nullptr);
        form_->hide();
        form_->deleteLater();
        form_ = nullptr;
    }
    show();
    auto* box =
        new QMessageBox(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box->setObjectName("PortErrorBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace calcore
