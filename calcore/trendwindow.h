// "Tendência": the live values of the session against time, a strip a word, beside the main
// window. It shows what the cycle has read and sends nothing; "Salvar CSV…" keeps every row.
#pragma once

#include "samplestore.h"

#include <QWidget>

namespace calcore {

class TrendView;

class TrendWindow : public QWidget {
    Q_OBJECT
  public:
    // `names`, one a column of `store`; `fileStem` begins the CSV's suggested name ("rx200").
    TrendWindow(const SampleStore& store, QStringList names, QString fileStem,
                QWidget* parent = nullptr);

    TrendView& view() { return *view_; }
    // A row was added to the store.
    void rowAdded();
    // Writes every row kept to `path` whole; an empty string, else the reason.
    QString saveCsv(const QString& path) const;

  private:
    void askAndSave();

    const SampleStore& store_;
    QString fileStem_;
    TrendView* view_ = nullptr;
};

} // namespace calcore
