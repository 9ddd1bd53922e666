#include "calform.h"

#include "formbuilder.h"
#include "linesettings.h"
#include "link.h"
#include "portnames.h"
#include "trendwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

namespace calcore {

using namespace rxline;

namespace {

std::vector<rxwords::Word> liveWords(const Model& model) {
    std::vector<rxwords::Word> words;
    for (const auto& r : model.liveReads)
        words.push_back({r.space, r.word});
    return words;
}

} // namespace

QString portFailureMessage(const QString& portText, const QString& reason) {
    if (portText.trimmed().isEmpty())
        return QStringLiteral("Nenhuma porta foi escolhida: escolha uma porta da lista ou digite "
                              "o nome dela (COM1, ttyUSB0, /dev/ttyACM0).");
    return QStringLiteral("Não foi possível abrir a porta %1 (%2).\n%3")
        .arg(portText, rxport::resolvePortName(portText), reason);
}

QString silenceText(const QString& portText) {
    return QStringLiteral(" — sem resposta do controlador em %1 (%2 bps); \"Procurar\" na janela "
                          "\"Ajuste Serial\" acha a porta que responde")
        .arg(portText, QString::number(rxline::LineBaudRate));
}

CalForm::CalForm(const Model& model, QString portText, std::unique_ptr<WordLink> link,
                 QWidget* parent)
    : QWidget(parent), model_(model), portText_(std::move(portText)),
      link_(link ? std::move(link) : std::make_unique<Link>()), cycle_(model, *link_, *this, this),
      samples_(liveWords(model)), clock_(&QDateTime::currentMSecsSinceEpoch) {
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8(model.caption));
    setFont(panelFont());
    setFixedSize(twipsToPixels(model.clientWidthTwips), twipsToPixels(model.clientHeightTwips));
    controls_ = buildControls(this, model.controls);
    wireRequests();
    link_->setLineWatcher([this](WordLink::LineEvent event, const QString&) {
        lineLost_ = event == WordLink::LineEvent::Lost;
        if (!lineLost_ && !ending_) {
            // A controller that was unplugged starts afresh: greet it as at the load. Not once
            // the program ends: after the answer frame nothing of ours may follow.
            sendLoadFrame();
            cycle_.resume();
        }
        updateTitle();
    });
    connect(&cycle_, &PollCycle::answeringChanged, this, [this](bool answering) {
        silent_ = !answering;
        updateTitle();
    });
    connect(&cycle_, &PollCycle::liveRound, this, &CalForm::keepRound);
    if (auto* button = qobject_cast<QPushButton*>(control(QStringLiteral("TrendButton"))))
        connect(button, &QPushButton::clicked, this, &CalForm::showTrend);
    auto* trendKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this);
    connect(trendKey, &QShortcut::activated, this, &CalForm::showTrend);
    if (model.attach) model.attach(*this);
}

void CalForm::keepRound(const std::vector<std::string>& values) {
    std::vector<std::optional<std::uint16_t>> row;
    row.reserve(values.size());
    for (const auto& v : values) {
        const std::string shown = displayText(v); // as the label shows it, without its CR
        row.push_back(
            rxwords::parseValue(QString::fromLatin1(shown.data(), qsizetype(shown.size()))));
    }
    samples_.add(clock_(), row);
    if (trend_) trend_->rowAdded();
}

TrendWindow* CalForm::showTrend() {
    if (!trend_) {
        QStringList names;
        for (const auto& r : model_.liveReads) {
            const QString word = rxwords::wordName({r.space, r.word});
            names << (r.caption ? QStringLiteral("%1 (%2)").arg(QString::fromUtf8(r.caption), word)
                                : word);
        }
        // "Config. Calibração RX-200" gives "rx200".
        const QString model = QString::fromUtf8(model_.caption).section(' ', -1);
        trend_ = new TrendWindow(samples_, names, model.toLower().remove('-'), this);
        trend_->setWindowTitle(QStringLiteral("Tendência — %1").arg(model));
    }
    trend_->show();
    trend_->raise();
    trend_->activateWindow();
    return trend_;
}

CalForm::~CalForm() {
    delete question_;
}

void CalForm::wireRequests() {
    for (const auto& r : model_.requests) {
        auto* button = qobject_cast<QPushButton*>(control(QString::fromLatin1(r.button)));
        auto* entry = qobject_cast<QLineEdit*>(control(QString::fromLatin1(r.entry)));
        if (r.kind == RequestKind::CodeOnly) {
            connect(button, &QPushButton::clicked, this,
                    [this, code = r.code] { cycle_.requestCodeOnly(code); });
            continue;
        }
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
    for (const auto& f : model_.flags) {
        auto* box = qobject_cast<QCheckBox*>(control(QString::fromLatin1(f.box)));
        connect(box, &QCheckBox::clicked, this,
                [this, code = f.code](bool checked) { cycle_.checkClicked(code, checked); });
    }
    for (const auto& f : model_.fetches) {
        auto* button = qobject_cast<QPushButton*>(control(QString::fromLatin1(f.button)));
        connect(button, &QPushButton::clicked, this,
                [this, reads = f.reads] { cycle_.fetchNow(reads); });
    }
}

void CalForm::load() {
    cycle_.start();
    link_->open(portText_, [this](bool ok, const QString& error) { onOpened(ok, error); });
    sendLoadFrame();
}

void CalForm::sendLoadFrame() {
    if (!model_.loadFrame.empty()) link_->send(toBytes(model_.loadFrame));
}

void CalForm::reopenPort() {
    link_->close();
    link_->open(portText_, [this](bool ok, const QString& error) { onOpened(ok, error); });
}

void CalForm::onOpened(bool ok, const QString& error) {
    if (ok || failed_) return;
    failed_ = true;
    cycle_.stop();
    emit portFailed(portFailureMessage(portText_, error));
}

void CalForm::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    // The program ends only once the link has let its frames leave.
    event->ignore();
    if (model_.exitQuestion && !failed_) {
        ask(*model_.exitQuestion);
    } else {
        endProgram();
    }
}

void CalForm::ask(const ExitQuestion& q) {
    if (question_) {
        question_->raise();
        question_->activateWindow();
        return;
    }
    // Not modal: the cycle and the main window go on while the question is open.
    auto* form = new QWidget(nullptr, Qt::Dialog);
    question_ = form;
    form->setObjectName(QString::fromLatin1(q.name));
    form->setWindowTitle(QString::fromUtf8(q.caption));
    form->setFont(panelFont());
    form->setFixedSize(twipsToPixels(q.clientWidthTwips), twipsToPixels(q.clientHeightTwips));
    const auto controls = buildControls(form, q.controls);
    connect(qobject_cast<QPushButton*>(controls.value(QString::fromLatin1(q.yesButton))),
            &QPushButton::clicked, this, [this] { endAfterAnswer(true); });
    connect(qobject_cast<QPushButton*>(controls.value(QString::fromLatin1(q.noButton))),
            &QPushButton::clicked, this, [this] { endAfterAnswer(false); });
    form->installEventFilter(this);
    form->show();
}

bool CalForm::eventFilter(QObject* watched, QEvent* event) {
    // Closing the question without an answer ends the program as "no" does.
    if (watched == question_ && event->type() == QEvent::Close && !ending_) endAfterAnswer(false);
    return QWidget::eventFilter(watched, event);
}

void CalForm::endAfterAnswer(bool yes) {
    if (answered_) return;
    answered_ = true;
    const ExitQuestion& q = *model_.exitQuestion;
    if (yes) {
        // After the answer frame the port speaks another protocol: the last write goes first,
        // and nothing of ours follows.
        finishWork();
        link_->send(toBytes(q.yesFrame));
    }
    // On "no" the cycle goes on during the pause; then the program ends.
    link_->Wait(q.pauseMs);
    link_->then([this] { endProgram(); });
}

void CalForm::updateTitle() {
    // Says what the line is doing without a box; clears itself when answers come back.
    QString title = QString::fromUtf8(model_.caption);
    if (lineLost_) {
        title += QStringLiteral(" — porta %1 desconectada, tentando de novo").arg(portText_);
    } else if (silent_) {
        title += silenceText(portText_);
    }
    setWindowTitle(title);
}

void CalForm::finishWork() {
    if (ending_) return;
    ending_ = true;
    cycle_.stop();
    // A write the technician asked for leaves before the port closes.
    cycle_.sendPendingWrite();
    if (question_) question_->hide();
    if (trend_) trend_->hide();
    hide();
}

void CalForm::endProgram() {
    if (ended_) return;
    ended_ = true;
    finishWork();
    link_->shutdown([this] {
        emit closed();
        // The close event was held for the link; the window goes now as a closed one would.
        if (testAttribute(Qt::WA_DeleteOnClose)) deleteLater();
    });
}

void CalForm::showValue(const char* label, const std::string& valueText) {
    if (auto* l = qobject_cast<QLabel*>(control(QString::fromLatin1(label)))) {
        // Reply bytes are not UTF-8; each byte is one character.
        const auto text = displayText(valueText);
        const QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
        if (l->text() != shown) l->setText(shown); // a steady value costs no repaint
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
