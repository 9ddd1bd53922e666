// The serial settings dialog (SerialSetupForm, "Setup") run by "Ajuste Serial".
#pragma once

#include "portprobe.h"
#include "serialport.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace memedit {

class SerialSetupForm : public QDialog {
    Q_OBJECT
  public:
    // Offers `ports`, with current.port put first when the list lacks it.
    SerialSetupForm(const PortSettings& current, const QStringList& ports,
                    QWidget* parent = nullptr);

    // The six lists applied to the settings the dialog was opened with.
    PortSettings choice() const;

  signals:
    // OK was pressed; the six choices applied to the settings the dialog started from.
    void chosen(const PortSettings& settings);

  private:
    // "Search": asks the listed ports at the speed and framing the lists hold, and selects the
    // first where a controller answers.
    void probe();
    void probeDone();

    PortSettings start_;
    QComboBox* lists_[6] = {};
    QPushButton* probeButton_ = nullptr;
    QLabel* probeLabel_ = nullptr;
    rxline::PortProbe probe_;
};

} // namespace memedit
