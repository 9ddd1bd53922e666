// Form1: a calibration tool's main window, built from its model's tables.
#pragma once

#include "link.h"
#include "model.h"
#include "pollcycle.h"

#include <QHash>
#include <QWidget>

namespace calcore {

class CalForm : public QWidget, public Panel {
    Q_OBJECT
  public:
    // `portText` is the port box text of the selection window (COM1, /dev/ttyACM0, ...).
    CalForm(const Model& model, QString portText, QWidget* parent = nullptr);

    // Closes the port and opens it again (the selection window's "Abrir programa" does so after
    // the load has opened it).
    void reopenPort();

    Link& link() { return link_; }
    PollCycle& cycle() { return cycle_; }
    QWidget* control(const QString& name) const { return controls_.value(name); }

    // Panel
    void showValue(const char* label, const std::string& valueText) override;
    std::string entryText(const char* entry) const override;
    bool isChecked(const char* box) const override;
    void setChecked(const char* box, bool checked) override;

  signals:
    // The port could not be opened; `message` names the port and the system's reason.
    void portFailed(const QString& message);
    // The window was closed: the program ends.
    void closed();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void load();
    void wireRequests();
    void onOpened(bool ok, const QString& error);

    const Model& model_;
    QString portText_;
    Link link_;
    PollCycle cycle_;
    QHash<QString, QWidget*> controls_;
    bool loaded_ = false;
    bool failed_ = false;
};

// The text shown when a port cannot be opened.
QString portFailureMessage(const QString& portText, const QString& reason);

} // namespace calcore
