// Form2 "Ajuste Serial": the port selection window every calibration tool starts with.
#pragma once

#include "calform.h"
#include "model.h"
#include "portprobe.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace calcore {

class PortSelectForm : public QWidget {
    Q_OBJECT
  public:
    explicit PortSelectForm(const Model& model, QWidget* parent = nullptr);

    // Fills the list with the ports that exist and selects the first (the window's load).
    void fillPorts();

    QComboBox* portBox() const { return box_; }
    // "Procurar": asks the listed ports at once and selects the first where a controller
    // answers. Nothing is sent unless it is pressed.
    QPushButton* probeButton() const { return probeButton_; }
    QLabel* probeLabel() const { return probeLabel_; }
    CalForm* mainForm() const { return form_; }

  signals:
    // The main window was closed (or this one, before a main window existed): the program ends.
    void finished();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void openProgram();
    void portFailed(const QString& message);
    void probe();
    void probeDone();
    void endProbe();

    const Model& model_;
    QComboBox* box_;
    QPushButton* button_;
    QPushButton* probeButton_;
    QLabel* probeLabel_;
    rxline::PortProbe probe_;
    QPointer<CalForm> form_;
};

} // namespace calcore
