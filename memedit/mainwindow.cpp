#include "mainwindow.h"

#include "catalog.h"
#include "panelfont.h"
#include "serialport.h"
#include "sweeps.h"
#include "wordmap.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

namespace memedit {

namespace {
constexpr const char* kWebAddress = "www.velmora.com.br";
constexpr const char* kTitle = "Ajuste memória não volátil- VELMORA";
constexpr int kTitleMessageMs = 6000;

// The editor's rows are laid out in pixels, so its text is sized in pixels too.
QFont panelFontPixels(int pixelHeight, bool bold = false) {
    QFont font = rxport::panelFont();
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}
constexpr QPoint kPlace(156, 115);
constexpr QSize kOuterSize(1193, 530);
constexpr QSize kFrameSize(16, 38);
} // namespace

QPoint placeWithin(const QRect& screen, const QRect& window) {
    if (screen.isEmpty() || screen.contains(window)) return window.topLeft();
    // Moved no further than needed; a screen smaller than the window shows its top left.
    const int left =
        std::max(screen.left(), std::min(window.left(), screen.right() + 1 - window.width()));
    const int top =
        std::max(screen.top(), std::min(window.top(), screen.bottom() + 1 - window.height()));
    return {left, top};
}

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kTitle));
    setFont(panelFontPixels(11));
    // 1193 x 530 is the window with its frame, which takes about 16 pixels of the width and 38
    // of the height: the tab control keeps the same margin on its right as on its left.
    resize(kOuterSize - kFrameSize);
    const QScreen* screen = QGuiApplication::primaryScreen();
    move(placeWithin(screen ? screen->availableGeometry() : QRect(), QRect(kPlace, kOuterSize)));

    comPort_ = new SerialPort(this);
    comPort_->setObjectName(QStringLiteral("ComPort1"));
    connect(comPort_, &SerialPort::OnRxChar, this,
            [this](int count) { queue_.post({[this, count] { return receive(count); }}); });
    connect(comPort_, &SerialPort::failed, this,
            [this](const QString& message) { reportFailure(message, true); });
    connect(&queue_, &ActionQueue::failed, this, &Form1::reportFailure);
    // While an action runs or pauses, receive events wait in the device like every
    // other event of the editor.
    connect(&queue_, &ActionQueue::busyChanged, comPort_, &SerialPort::holdEvents);
    connect(&queue_, &ActionQueue::busyChanged, this, [this](bool busy) {
        if (!busy) endIfDone();
    });

    buildTopBar();
    buildFileMenu();
    buildPages();
    pageControl_->setCurrentIndex(2);
}

Form1::~Form1() = default;

QLineEdit* Form1::box(int word) const {
    const auto it = boxes_.find(word);
    return it == boxes_.end() ? nullptr : it->second;
}

void Form1::buildTopBar() {
    auto* setup = new QPushButton(QStringLiteral("Ajuste Serial"), this);
    setup->setObjectName(QStringLiteral("Button1"));
    setup->setGeometry(104, 8, 113, 33);
    connect(setup, &QPushButton::clicked, this, [this] {
        acted();
        queue_.post({[this] {
            comPort_->ShowSetup(this);
            return 0;
        }});
    });

    auto* block = new QPushButton(QStringLiteral("ESCREVER M21 ~ M35"), this);
    block->setObjectName(QStringLiteral("Button80"));
    block->setGeometry(352, 16, 145, 33);
    connect(block, &QPushButton::clicked, this, [this] {
        acted();
        WriteBlock();
    });

    for (int k = 0; k < kSweeps; ++k) {
        const SweepInfo& info = kSweepTable[k];
        auto* button = new QPushButton(QString::fromLatin1(info.caption), this);
        button->setObjectName(QLatin1String(info.button));
        button->setGeometry(info.geometry);
        connect(button, &QPushButton::clicked, this, [this, k] {
            acted();
            queue_.post({[this, k] {
                startSweep(k);
                return 0;
            }});
        });

        auto* timer = new QTimer(this);
        timer->setObjectName(QLatin1String(info.timer));
        timer->setInterval(kSweepInterval);
        timer->setTimerType(Qt::PreciseTimer); // a coarse timer may tick up to 5 % early
        connect(timer, &QTimer::timeout, this, [this, k] {
            const bool late = queue_.busy();
            queue_.post({[this, k, late] { return tick(k, late); }},
                        QStringLiteral("tick%1").arg(k));
        });
        timers_[k] = timer;
    }
}

void Form1::buildPages() {
    pageControl_ = new QTabWidget(this);
    pageControl_->setObjectName(QStringLiteral("PageControl1"));
    pageControl_->setGeometry(8, 56, 1161, 425);

    std::vector<QWidget*> sheets;
    for (const PageInfo& page : pages()) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QLatin1String(page.name));
        pageControl_->addTab(sheet, QString::fromUtf8(page.caption));
        auto* web = new QLabel(QLatin1String(kWebAddress), sheet);
        web->setObjectName(QStringLiteral("WebLabel%1").arg(page.number));
        web->move(416, 0);
        web->adjustSize();
        sheets.push_back(sheet);
    }

    const QFont captionFont = panelFontPixels(19, true);
    for (const RowInfo& row : rows()) {
        QWidget* sheet = sheets[size_t(row.page - 1)];
        const int word = row.word;
        auto* caption = new QLabel(row.caption, sheet);
        caption->setObjectName(QStringLiteral("Caption%1").arg(word));
        caption->setGeometry(row.captionRect);
        caption->setFont(rxport::captionFont(row.caption, captionFont,
                                             {.area = row.captionRect,
                                              .align = caption->alignment(),
                                              .neighbours = {row.editRect}}));
        // The caption is the controller's old name of the row; the tip names the word the row
        // reads and writes, as rxmem, the files and the simulator's log name it.
        const QString name = QStringLiteral("M%1").arg(word);
        caption->setToolTip(row.eepromWord < 0 ? name
                                               : QStringLiteral("%1 — grava também E%2")
                                                     .arg(name, QString::number(row.eepromWord)));

        auto* edit = new QLineEdit(QStringLiteral("0"), sheet);
        edit->setObjectName(row.editName);
        edit->setGeometry(row.editRect);
        boxes_[word] = edit;
        connect(edit, &QLineEdit::textEdited, this, [this, word] { filled(word); });

        auto* read = new QPushButton(QStringLiteral("Ler"), sheet);
        read->setObjectName(QStringLiteral("Read%1").arg(word));
        read->setGeometry(row.readRect);
        connect(read, &QPushButton::clicked, this, [this, word] {
            acted();
            queue_.post({[this, word] {
                ReadWord(word);
                return 0;
            }});
        });

        auto* write = new QPushButton(QStringLiteral("Escrever"), sheet);
        write->setObjectName(QStringLiteral("Write%1").arg(word));
        write->setGeometry(row.writeRect);
        connect(write, &QPushButton::clicked, this, [this, word] {
            acted();
            WriteWord(word);
        });
    }

    for (int k = 0; k < kSweeps; ++k) {
        const SweepInfo& info = kSweepTable[k];
        auto* bar = new QProgressBar(sheets[size_t(info.page - 1)]);
        bar->setObjectName(QLatin1String(info.bar));
        bar->setGeometry(976, info.page == 1 ? 8 : 16, 169, 25);
        bar->setRange(info.barMinimum, info.barMaximum);
        bar->setValue(info.barMinimum);
        bar->setTextVisible(false);
        bars_[k] = bar;
    }
}

void Form1::showInTitle(const QString& message) {
    // Told without a box: a technician who saves often is not stopped each time.
    setWindowTitle(message);
    if (!titleTimer_) {
        titleTimer_ = new QTimer(this);
        titleTimer_->setSingleShot(true);
        connect(titleTimer_, &QTimer::timeout, this,
                [this] { setWindowTitle(QString::fromUtf8(kTitle)); });
    }
    titleTimer_->start(kTitleMessageMs);
}

void Form1::reportFailure(const QString& message, bool portError) {
    // A port that fails once fails every read after it: the sweep stops at the first error
    // instead of raising one per tick.
    if (portError) stopSweeps();
    // One failure, one box: a controller that goes away fails the command under way, then the
    // port's watch, then whatever was queued behind. Only a new click of the technician makes
    // the next failure worth another box.
    if (reportedSinceAct_) return;
    reportedSinceAct_ = true;
    showError(message);
}

void Form1::showError(const QString& message) {
    auto* box = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(), message,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("ErrorBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    // A write that fails after the window closed is still told; the program ends once the
    // technician has seen it.
    connect(box, &QDialog::finished, this, &Form1::endIfDone);
    box->show();
}

bool Form1::errorBoxShown() const {
    const auto boxes = findChildren<QMessageBox*>(QStringLiteral("ErrorBox"));
    return std::any_of(boxes.begin(), boxes.end(), [](QMessageBox* b) { return b->isVisible(); });
}

void Form1::stopSweeps() {
    for (QTimer* timer : timers_)
        timer->stop();
}

void Form1::closeEvent(QCloseEvent* event) {
    // Reads only refresh boxes that are going away: the sweeps and any read, tick or reply
    // pause stop here. A write already clicked goes out to its last word, with its pauses,
    // before the program ends: the window hides now and the end waits for the queue.
    closing_ = true;
    stopSweeps();
    queue_.finishWritesOnly();
    endIfDone();
    if (ended_) {
        event->accept();
        return;
    }
    // Refused, so that no quit-on-last-window rule ends the program under the writes.
    event->ignore();
    hide();
}

void Form1::endIfDone() {
    if (!closing_ || ended_ || queue_.busy() || errorBoxShown()) return;
    ended_ = true;
    emit finished();
}

void Form1::startSweep(int sweep) {
    // Two sweeps never share the counter: a start stops every other sweep.
    for (int k = 0; k < kSweeps; ++k) {
        if (k != sweep) timers_[k]->stop();
    }
    const SweepInfo& info = kSweepTable[sweep];
    SweepCounter = info.startCounter;
    if (!timers_[sweep]->isActive()) timers_[sweep]->start();
    bars_[sweep]->setValue(info.barMinimum);
}

int Form1::tick(int sweep, bool late) {
    QTimer* timer = timers_[sweep];
    if (!timer->isActive()) return 0; // stopped while this tick waited
    // A tick that waited for a pause runs as the pause ends; the timer's next period must
    // count from here, or it can send the next read before this read's answer is in, and
    // that answer would land in the next word's box.
    if (late) timer->start();
    const SweepInfo& info = kSweepTable[sweep];
    const int counter = SweepCounter;
    // A read that fails ends the tick here, at this word; the report of the failure stops
    // the sweep.
    if (counter >= info.firstCounter && counter <= info.lastCounter)
        ReadWord(counter + info.wordOffset);
    if (counter == info.stopCounter) timer->stop();
    ++SweepCounter;
    bars_[sweep]->setValue(
        std::clamp(SweepCounter - info.barOffset, info.barMinimum, info.barMaximum));
    return 0;
}

bool Form1::saveScreenshots(const QString& dir) {
    bool ok = QDir().mkpath(dir);
    for (int i = 0; i < pageControl_->count(); ++i) {
        pageControl_->setCurrentIndex(i);
        const QString file = QDir(dir).filePath(QStringLiteral("memedit-page%1.png").arg(i + 1));
        ok = grab().save(file) && ok;
    }
    return ok;
}

} // namespace memedit
