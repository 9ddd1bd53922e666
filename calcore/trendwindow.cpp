#include "trendwindow.h"

#include "formbuilder.h"
#include "savefile.h"
#include "trendview.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

namespace calcore {

namespace {
// The spans a technician picks, in minutes.
constexpr int SpanMinutes[] = {1, 10, 60};
} // namespace

TrendWindow::TrendWindow(const SampleStore& store, QStringList names, QString fileStem,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), fileStem_(std::move(fileStem)) {
    setObjectName("TrendWindow");
    setFont(panelFont());
    auto* top = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    top->addLayout(bar);
    bar->addWidget(new QLabel(QStringLiteral("Intervalo:"), this));
    auto* spans = new QButtonGroup(this);
    for (const int minutes : SpanMinutes) {
        auto* b = new QPushButton(QStringLiteral("%1 min").arg(minutes), this);
        b->setObjectName(QStringLiteral("Span%1").arg(minutes));
        b->setCheckable(true);
        spans->addButton(b, minutes);
        bar->addWidget(b);
    }
    auto* pause = new QPushButton(QStringLiteral("Pausar"), this);
    pause->setObjectName("PauseButton");
    pause->setCheckable(true);
    bar->addSpacing(fontMetrics().height());
    bar->addWidget(pause);
    bar->addStretch();
    auto* save = new QPushButton(QStringLiteral("Salvar CSV…"), this);
    save->setObjectName("SaveCsvButton");
    save->setToolTip(QStringLiteral("Salva todas as amostras guardadas (Ctrl+S)"));
    bar->addWidget(save);

    view_ = new TrendView(store, std::move(names), this);
    if (view_->strips() == 0) {
        auto* note = new QLabel(QStringLiteral("O ciclo deste controlador não lê valores ao vivo: "
                                               "não há o que mostrar."),
                                this);
        note->setObjectName("NoLiveValues");
        note->setWordWrap(true);
        top->addWidget(note);
        view_->hide();
    } else {
        auto* scroll = new QScrollArea(this);
        scroll->setWidgetResizable(true);
        scroll->setWidget(view_);
        scroll->setFrameShape(QFrame::NoFrame);
        top->addWidget(scroll, 1);
    }

    connect(spans, &QButtonGroup::idClicked, this,
            [this](int minutes) { view_->setSpanMs(qint64(minutes) * 60 * 1000); });
    spans->button(1)->setChecked(true);
    view_->setSpanMs(60 * 1000);
    connect(pause, &QPushButton::toggled, this, [this](bool on) { view_->setPaused(on); });
    connect(save, &QPushButton::clicked, this, &TrendWindow::askAndSave);
    auto* saveKey = new QShortcut(QKeySequence::Save, this);
    connect(saveKey, &QShortcut::activated, this, &TrendWindow::askAndSave);

    const QSize hint = view_->sizeHint();
    resize(hint.width(),
           std::min(hint.height(), 9 * fontMetrics().height() * 4) + 4 * fontMetrics().height());
}

void TrendWindow::rowAdded() {
    if (isVisible()) view_->rowAdded();
}

QString TrendWindow::saveCsv(const QString& path) const {
    return rxwords::saveWhole(path, store_.csv());
}

void TrendWindow::askAndSave() {
    const QString suggested = QDir::home().filePath(
        QStringLiteral("%1-tendencia-%2.csv")
            .arg(fileStem_,
                 QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmm"))));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Salvar CSV"), suggested,
                                                      QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty()) return;
    if (const QString reason = saveCsv(path); !reason.isEmpty()) {
        QMessageBox::critical(this, QStringLiteral("Salvar CSV"),
                              QStringLiteral("Não foi possível salvar %1:\n%2").arg(path, reason));
    }
}

} // namespace calcore
