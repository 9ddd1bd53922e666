// Form1: a calibration tool's main window, built from its model's tables.
#pragma once

#include "model.h"
#include "pollcycle.h"
#include "samplestore.h"
#include "trendwindow.h"
#include "wordlink.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace calcore {

class CalForm : public QWidget, public Panel {
    Q_OBJECT
  public:
    // `portText` is the port box text of the selection window (COM1, /dev/ttyACM0, ...).
    // `link` is the line to the controller; without one the window opens a serial link.
    CalForm(const Model& model, QString portText, std::unique_ptr<rxline::WordLink> link = {},
            QWidget* parent = nullptr);
    ~CalForm() override;

    // The window's load: the cycle's state to its start values with Timer1 running, the port
    // opened, then the model's load frame. Called once, before the window is shown.
    void load();
    // Lets what was sent leave, closes the port and opens it again (the selection window's
    // "Abrir programa" does so after the load).
    void reopenPort();

    const Model& model() const { return model_; }
    rxline::WordLink& link() { return *link_; }
    PollCycle& cycle() { return cycle_; }
    QWidget* control(const QString& name) const { return controls_.value(name); }
    // The exit question while it is open.
    QWidget* question() const { return question_; }

    // The live values of the session, a row a cycle (the last 8 hours).
    const SampleStore& samples() const { return samples_; }
    // Where the rows take their time from (milliseconds since the epoch); tests give virtual
    // time.
    void setClock(std::function<qint64()> clock) { clock_ = std::move(clock); }
    // Shows the trend window ("Tendência", Ctrl+T or the button "TrendButton"), made at its first
    // opening; the window once made.
    TrendWindow* showTrend();
    TrendWindow* trend() const { return trend_; }

    // Panel
    void showValue(const char* label, const std::string& valueText) override;
    std::string entryText(const char* entry) const override;
    bool isChecked(const char* box) const override;
    void setChecked(const char* box, bool checked) override;

  signals:
    // The port could not be opened; `message` names the port and the system's reason.
    void portFailed(const QString& message);
    // The window was closed and the link has finished its work: the program ends.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void wireRequests();
    void onOpened(bool ok, const QString& error);
    void ask(const ExitQuestion& q);
    void endAfterAnswer(bool yes);
    // The cycle stops, the pending write is queued and the windows hide.
    void finishWork();
    void endProgram();
    void updateTitle();
    void sendLoadFrame();
    void keepRound(const std::vector<std::string>& values);

    const Model& model_;
    QString portText_;
    std::unique_ptr<rxline::WordLink> link_;
    PollCycle cycle_;
    QHash<QString, QWidget*> controls_;
    QPointer<QWidget> question_;
    SampleStore samples_;
    std::function<qint64()> clock_;
    QPointer<TrendWindow> trend_;
    bool failed_ = false;
    bool answered_ = false;
    bool ending_ = false;
    bool ended_ = false;
    bool lineLost_ = false;
    bool silent_ = false;
};

// The text shown when a port cannot be opened.
QString portFailureMessage(const QString& portText, const QString& reason);

// What the title adds when the controller stopped answering: the port and the speed tried, and
// where the port that answers is found.
QString silenceText(const QString& portText);

} // namespace calcore
