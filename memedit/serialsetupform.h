// The serial settings dialog (SerialSetupForm, "Setup") run by "Ajuste Serial".
#pragma once

#include "serialport.h"

#include <QDialog>

class QComboBox;

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
    PortSettings start_;
    QComboBox* lists_[6] = {};
};

} // namespace memedit
