// The RX-300 tables and window without a controller: the write rule at its edges, the legend of
// the range codes, the controls the technician must not see, and captions that fit; in a face
// without Arial's widths, every tool's captions kept whole and off their neighbours.
#include "allmodels.h"
#include "calform.h"
#include "formbuilder.h"
#include "panelfont.h"
#include "rx300model.h"

#include <QImage>
#include <QLabel>
#include <QTest>
#include <QTextLayout>

using namespace calcore;
using namespace rxline;

class TestRx300Window : public QObject {
    Q_OBJECT
  private slots:
    void tablesAgree();
    void dispatch_data();
    void dispatch();
    void legendPutsEachRangeOnItsLine();
    void controlsShownAndFitting();
    void captionsKeepOffTheirNeighbours_data();
    void captionsKeepOffTheirNeighbours();
};

void TestRx300Window::tablesAgree() {
    const auto faults = checkModel(rx300::model());
    QVERIFY2(faults.empty(), faults.empty() ? "" : faults.front().c_str());
}

void TestRx300Window::dispatch_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("word");
    QTest::newRow("none") << 0 << int(WriteAction::Drop) << 0;
    QTest::newRow("E1") << 1 << int(WriteAction::Eeprom) << 1;
    QTest::newRow("E29") << 29 << int(WriteAction::Eeprom) << 29;
    QTest::newRow("30 dropped") << 30 << int(WriteAction::Drop) << 0;
    QTest::newRow("61 writes M27") << 61 << int(WriteAction::Memory) << 27;
    QTest::newRow("62 writes M28") << 62 << int(WriteAction::Memory) << 28;
    QTest::newRow("65 dropped") << 65 << int(WriteAction::Drop) << 0;
    QTest::newRow("75 dropped") << 75 << int(WriteAction::Drop) << 0;
}

void TestRx300Window::dispatch() {
    QFETCH(int, code);
    QFETCH(int, kind);
    QFETCH(int, word);
    const WriteAction a = rx300::model().dispatch[std::size_t(code)];
    QCOMPARE(int(a.kind), kind);
    QCOMPARE(int(a.word), word);
}

void TestRx300Window::legendPutsEachRangeOnItsLine() {
    // Wrapped the way the label paints it: blanks at a line's end take no room.
    CalForm form(rx300::model(), "COM1");
    auto* legend = form.findChild<QLabel*>("Label49");
    QCOMPARE(legend->text().size(), 139);
    QTextLayout layout(legend->text(), legend->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QStringList lines;
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(legend->contentsRect().width());
        lines << legend->text().mid(line.textStart(), line.textLength()).trimmed();
        height += line.height();
    }
    layout.endLayout();
    QCOMPARE(lines, QStringList({"PARA:", "Modelo TRAFO  0-250 V = 0", "Com Trafo 0-425 V= 460",
                                 "NOVO SEM TRAFO 0-425V = 500"}));
    QVERIFY(height <= legend->height());
}

void TestRx300Window::controlsShownAndFitting() {
    // Hidden controls are never shown; every visible caption, wrapped to its control's width
    // in the font the window really uses, fits the control's height.
    CalForm form(rx300::model(), "COM1");
    form.show();
    QCOMPARE(form.size(), QSize(406, 382));
    int hidden = 0;
    for (const auto& c : rx300::model().controls) {
        auto* w = form.findChild<QWidget*>(c.name);
        QVERIFY2(w && w->isVisible() == c.visible, c.name);
        hidden += !c.visible;
        if (!c.visible || c.kind == ControlKind::Entry) continue;
        const int room = w->width() - (c.kind == ControlKind::Button ? 4 : 0);
        const QRect need = QFontMetrics(w->font()).boundingRect(
            QRect(0, 0, room, 10000), Qt::TextWordWrap, QString::fromUtf8(c.caption));
        QVERIFY2(need.width() <= room && need.height() <= w->height() + 2, c.name);
    }
    // The flag boxes and the labels that only "Busca parâmetros" fills.
    QCOMPARE(hidden, 6);
}

namespace {

// What `w` paints of itself, without its background: a label's text, on transparent pixels.
QImage paintedBy(QWidget* w) {
    QImage image(w->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Whether `image`, painted at `at`, has ink in `part` (with `over`, where `over` has ink too).
bool anyInk(const QImage& image, QPoint at, const QRect& part, const QImage* over = nullptr,
            QPoint overAt = {}) {
    for (int y = part.top(); y <= part.bottom(); ++y) {
        for (int x = part.left(); x <= part.right(); ++x) {
            if (qAlpha(image.pixel(QPoint(x, y) - at)) == 0) continue;
            if (!over || qAlpha(over->pixel(QPoint(x, y) - overAt)) != 0) return true;
        }
    }
    return false;
}

} // namespace

void TestRx300Window::captionsKeepOffTheirNeighbours_data() {
    QTest::addColumn<QString>("tool");
    for (const auto& [sim, model] : availableModels())
        QTest::newRow(qPrintable(sim)) << sim;
}

void TestRx300Window::captionsKeepOffTheirNeighbours() {
    // The CTest entries *_dejavu run with DejaVu Sans as the only face; they say so here, so that
    // a font set-up that does not take effect fails instead of passing in the usual face.
    const QString face = qEnvironmentVariable("RX_TEST_PANEL_FACE");
    if (!face.isEmpty()) QCOMPARE(panelFont().family(), face);
    if (rxport::hasArialWidths(panelFont()))
        QSKIP("the windows are laid out in this face's widths");
    QFETCH(QString, tool);
    const Model& model = *modelNamed(tool);
    CalForm form(model, "COM1");
    QWidget question;
    question.setFont(panelFont());
    if (model.exitQuestion) buildControls(&question, model.exitQuestion->controls);
    int labels = 0, buttons = 0;
    for (QWidget* window : {static_cast<QWidget*>(&form), &question}) {
        for (auto* label : window->findChildren<QLabel*>()) {
            if (!label->isVisibleTo(window)) continue;
            const QImage text = paintedBy(label);
            // Laid out the same in a label with room to spare around it: no text beyond the box.
            QLabel whole(label->text());
            whole.setFont(label->font());
            whole.setAlignment(label->alignment());
            whole.setWordWrap(label->wordWrap());
            whole.setContentsMargins(0, 0, 100, 100);
            whole.resize(label->size() + QSize(100, 100));
            const QImage wholeText = paintedBy(&whole);
            QVERIFY2(!anyInk(wholeText, {}, QRect(label->width(), 0, 100, wholeText.height())) &&
                         !anyInk(wholeText, {}, QRect(0, label->height(), wholeText.width(), 100)),
                     qPrintable(label->objectName() + " is cut"));
            // Off the box of every other control, off the text of every other label.
            for (auto* other :
                 label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (other == label || other->isHidden()) continue;
                const QRect shared = other->geometry().intersected(label->geometry());
                if (shared.isEmpty()) continue;
                const QImage otherText = paintedBy(other);
                const bool reaches =
                    qobject_cast<QLabel*>(other)
                        ? anyInk(text, label->pos(), shared, &otherText, other->pos())
                        : anyInk(text, label->pos(), shared);
                QVERIFY2(!reaches,
                         qPrintable(label->objectName() + " reaches " + other->objectName()));
            }
            ++labels;
        }
        for (auto* button : window->findChildren<WrapButton*>()) {
            if (!button->isVisibleTo(window)) continue;
            const QRect area = button->captionArea();
            const QRect need = button->fontMetrics().boundingRect(
                area, Qt::AlignCenter | Qt::TextWordWrap, button->text());
            QVERIFY2(area.contains(need), qPrintable(button->objectName() + " is cut"));
            ++buttons;
        }
    }
    QVERIFY(labels >= 8 && buttons >= 5);
}

QTEST_MAIN(TestRx300Window)
#include "tst_rx300_window.moc"
