// The RX-300 tables and window without a controller: the write rule at its edges, the legend of
// the range codes, the controls the technician must not see, and captions that fit.
#include "calform.h"
#include "rx300model.h"

#include <QLabel>
#include <QTest>
#include <QTextLayout>

using namespace calcore;

class TestRx300Window : public QObject {
    Q_OBJECT
  private slots:
    void tablesAgree();
    void dispatch_data();
    void dispatch();
    void legendPutsEachRangeOnItsLine();
    void controlsShownAndFitting();
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

QTEST_MAIN(TestRx300Window)
#include "tst_rx300_window.moc"
