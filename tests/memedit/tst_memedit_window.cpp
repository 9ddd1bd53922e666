// The main window's controls: names, captions, positions and the box of every word, also in a
// face wider than Arial (tst_memedit_window_dejavu).
#include "mainwindow.h"
#include "panelfont.h"
#include "wordmap.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using memedit::Form1;

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // The entry tst_memedit_window_dejavu runs with DejaVu Sans as the only face; it says so
        // here, so that a font set-up that does not take effect fails instead of passing in the
        // usual face.
        const QString face = qEnvironmentVariable("RX_TEST_PANEL_FACE");
        if (!face.isEmpty()) QCOMPARE(rxport::panelFont().family(), face);
    }
    void init() { window = std::make_unique<Form1>(); }
    void cleanup() { window.reset(); }

    void placement_data() {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("place");
        const QRect wanted(156, 115, 1193, 530);
        QTest::newRow("fits") << QRect(0, 0, 1920, 1080) << wanted.topLeft();
        QTest::newRow("1280 wide") << QRect(0, 0, 1280, 1024) << QPoint(87, 115);
        QTest::newRow("short, panel on top") << QRect(0, 30, 1366, 600) << QPoint(156, 100);
        QTest::newRow("smaller than the window") << QRect(0, 0, 1024, 500) << QPoint(0, 0);
    }
    void placement() {
        QFETCH(QRect, screen);
        QFETCH(QPoint, place);
        QCOMPARE(memedit::placeWithin(screen, QRect(156, 115, 1193, 530)), place);
    }

    void startState() {
        QCOMPARE(window->objectName(), QStringLiteral("Form1"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Ajuste memória não volátil- VELMORA"));
        QCOMPARE(window->size(), QSize(1177, 492));
        auto* tabs = window->findChild<QTabWidget*>("PageControl1");
        QVERIFY(tabs);
        QCOMPARE(tabs->geometry(), QRect(8, 56, 1161, 425));
        QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("TabSheet3"));
        QVERIFY(window->findChild<QObject*>("ComPort1"));
        for (int k = 1; k <= 5; ++k) {
            auto* timer = window->findChild<QTimer*>(QStringLiteral("Timer%1").arg(k));
            QVERIFY(timer);
            QCOMPARE(timer->interval(), 200);
            QVERIFY(!timer->isActive());
        }
    }

    void pages_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("captions");
        QStringList page1;
        for (int w = 21; w <= 35; ++w)
            page1 << QStringLiteral("M%1").arg(w);
        for (int e = 16; e <= 39; ++e)
            page1 << QStringLiteral("E%1").arg(e);
        QTest::newRow("1") << 0 << "TabSheet1"
                           << "M21-M59" << page1;
        const int ranges[4][2] = {{100, 139}, {140, 179}, {180, 219}, {220, 240}};
        const char* captions[4] = {"M100-M139", "M140 - M179", "M180 - M219", "M220 - M240"};
        for (int p = 0; p < 4; ++p) {
            QStringList list;
            for (int w = ranges[p][0]; w <= ranges[p][1]; ++w)
                list << QStringLiteral("E%1").arg(w);
            QTest::newRow(qPrintable(QString::number(p + 2)))
                << p + 1 << QStringLiteral("TabSheet%1").arg(p + 2) << captions[p] << list;
        }
    }
    void pages() {
        QFETCH(int, index);
        QFETCH(QString, sheet);
        QFETCH(QString, caption);
        QFETCH(QStringList, captions);
        auto* tabs = window->findChild<QTabWidget*>("PageControl1");
        QCOMPARE(tabs->widget(index)->objectName(), sheet);
        QCOMPARE(tabs->tabText(index), caption);
        // Rows run down each column, then the next: order by column left, then top.
        QList<QLabel*> labels;
        for (QLabel* label : tabs->widget(index)->findChildren<QLabel*>()) {
            if (label->font().bold()) labels << label;
        }
        std::sort(labels.begin(), labels.end(), [](QLabel* a, QLabel* b) {
            return std::pair(a->x(), a->y()) < std::pair(b->x(), b->y());
        });
        QStringList shown;
        for (QLabel* label : labels)
            shown << label->text();
        QCOMPARE(shown, captions);
        QCOMPARE(tabs->widget(index)->findChildren<QLineEdit*>().size(), captions.size());
        for (QLineEdit* edit : tabs->widget(index)->findChildren<QLineEdit*>())
            QCOMPARE(edit->text(), QStringLiteral("0"));
    }

    void boxNames_data() {
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("M21") << 21 << "Edit1"
                             << "TabSheet1" << QRect(64, 56, 73, 21);
        QTest::newRow("M59") << 59 << "Edit39"
                             << "TabSheet1" << QRect(928, 312, 73, 21);
        QTest::newRow("M100") << 100 << "Edit40"
                              << "TabSheet2" << QRect(64, 56, 73, 21);
        QTest::newRow("M142") << 142 << "Edit82"
                              << "TabSheet3" << QRect(64, 120, 73, 21);
        QTest::newRow("M143") << 143 << "Edit90"
                              << "TabSheet3" << QRect(64, 152, 73, 21);
        QTest::newRow("M149") << 149 << "Edit96"
                              << "TabSheet3" << QRect(64, 344, 73, 21);
        QTest::newRow("M150") << 150 << "Edit83"
                              << "TabSheet3" << QRect(352, 56, 73, 21);
        QTest::newRow("M155") << 155 << "Edit88"
                              << "TabSheet3" << QRect(352, 216, 73, 21);
        QTest::newRow("M156") << 156 << "Edit89"
                              << "TabSheet3" << QRect(352, 248, 73, 21);
        QTest::newRow("M157") << 157 << "Edit97"
                              << "TabSheet3" << QRect(352, 280, 73, 21);
        QTest::newRow("M230") << 230 << "Edit170"
                              << "TabSheet5" << QRect(64, 352, 73, 21);
        QTest::newRow("M231") << 231 << "Edit171"
                              << "TabSheet5" << QRect(352, 32, 73, 21);
        QTest::newRow("M240") << 240 << "Edit180"
                              << "TabSheet5" << QRect(352, 320, 73, 21);
    }
    void boxNames() {
        QFETCH(int, word);
        QFETCH(QString, edit);
        QFETCH(QString, sheet);
        QFETCH(QRect, geometry);
        auto* box = window->findChild<QLineEdit*>(edit);
        QVERIFY(box);
        QCOMPARE(box, window->box(word));
        QCOMPARE(box->parentWidget()->objectName(), sheet);
        QCOMPARE(box->geometry(), geometry);
    }

    void everyBoxNameOnce() {
        QSet<QString> names;
        for (QLineEdit* edit : window->findChildren<QLineEdit*>())
            names.insert(edit->objectName());
        QCOMPARE(names.size(), 180);
        for (int n = 1; n <= 180; ++n)
            QVERIFY2(names.contains(QStringLiteral("Edit%1").arg(n)),
                     qPrintable(QString::number(n)));
    }

    void rowPositions_data() {
        QTest::addColumn<int>("word");
        QTest::addColumn<QPoint>("caption");
        QTest::addColumn<int>("captionWidth");
        QTest::addColumn<QPoint>("read");
        QTest::addColumn<QPoint>("write");
        QTest::newRow("M21") << 21 << QPoint(16, 56) << 40 << QPoint(144, 56) << QPoint(216, 56);
        QTest::newRow("M31") << 31 << QPoint(320, 56) << 40 << QPoint(448, 59) << QPoint(520, 56);
        QTest::newRow("M33") << 33 << QPoint(320, 120) << 40 << QPoint(448, 123)
                             << QPoint(520, 120);
        QTest::newRow("M34") << 34 << QPoint(320, 152) << 40 << QPoint(448, 152)
                             << QPoint(520, 152);
        QTest::newRow("E16") << 36 << QPoint(320, 216) << 37 << QPoint(448, 216)
                             << QPoint(520, 216);
        QTest::newRow("E39") << 59 << QPoint(880, 312) << 37 << QPoint(1008, 312)
                             << QPoint(1072, 312);
        QTest::newRow("M110") << 110 << QPoint(296, 56) << 48 << QPoint(432, 59) << QPoint(504, 56);
        QTest::newRow("M139") << 139 << QPoint(872, 344) << 48 << QPoint(1008, 344)
                              << QPoint(1072, 344);
        QTest::newRow("M150") << 150 << QPoint(296, 56) << 48 << QPoint(432, 56) << QPoint(504, 56);
        QTest::newRow("M219") << 219 << QPoint(872, 344) << 48 << QPoint(1008, 344)
                              << QPoint(1080, 344);
        QTest::newRow("M220") << 220 << QPoint(8, 32) << 48 << QPoint(144, 32) << QPoint(216, 32);
        QTest::newRow("M240") << 240 << QPoint(296, 320) << 48 << QPoint(432, 320)
                              << QPoint(504, 320);
    }
    void rowPositions() {
        QFETCH(int, word);
        QFETCH(QPoint, caption);
        QFETCH(int, captionWidth);
        QFETCH(QPoint, read);
        QFETCH(QPoint, write);
        QWidget* sheet = window->box(word)->parentWidget();
        QLabel* label = nullptr;
        QPushButton* readButton = nullptr;
        QPushButton* writeButton = nullptr;
        for (QLabel* l : sheet->findChildren<QLabel*>()) {
            if (l->pos() == caption) label = l;
        }
        for (QPushButton* b : sheet->findChildren<QPushButton*>()) {
            if (b->pos() == read && b->text() == QStringLiteral("Ler")) readButton = b;
            if (b->pos() == write && b->text() == QStringLiteral("Escrever")) writeButton = b;
        }
        QVERIFY(label && readButton && writeButton);
        QCOMPARE(label->width(), captionWidth);
        // The rows were laid out in Arial's widths: in such a face the caption is 19 px bold; in
        // a wider one it may be drawn smaller, never larger. In either it fits its place.
        QVERIFY(label->font().bold());
        if (rxport::hasArialWidths(label->font()))
            QCOMPARE(label->font().pixelSize(), 19);
        else
            QVERIFY2(label->font().pixelSize() <= 19,
                     qPrintable(QString::number(label->font().pixelSize())));
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width() &&
                     metrics.height() <= label->height(),
                 qPrintable(QStringLiteral("\"%1\" at %2 px in %3 x %4")
                                .arg(label->text())
                                .arg(label->font().pixelSize())
                                .arg(label->width())
                                .arg(label->height())));
        QCOMPARE(readButton->size(), QSize(65, 25));
        QCOMPARE(writeButton->size(), QSize(73, 25));
    }

    void topBar_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("width");
        QTest::newRow("Button1") << "Button1"
                                 << "Ajuste Serial" << QPoint(104, 8) << 113;
        QTest::newRow("Button80") << "Button80"
                                  << "ESCREVER M21 ~ M35" << QPoint(352, 16) << 145;
        QTest::newRow("Button81") << "Button81"
                                  << "LER M21-M59" << QPoint(504, 16) << 0;
        QTest::newRow("Button364") << "Button364"
                                   << "LER M100-M139" << QPoint(632, 16) << 0;
        QTest::newRow("Button365") << "Button365"
                                   << "LER M140-M179" << QPoint(752, 16) << 0;
        QTest::newRow("Button366") << "Button366"
                                   << "LER M180-M219" << QPoint(880, 16) << 0;
        QTest::newRow("Button367") << "Button367"
                                   << "LER M220-M240" << QPoint(1008, 16) << 0;
    }
    void topBar() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QPoint, pos);
        QFETCH(int, width);
        auto* button = window->findChild<QPushButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->parentWidget(), window.get());
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->pos(), pos);
        QCOMPARE(button->height(), 33);
        if (width > 0) QCOMPARE(button->width(), width);
    }

    void progressBars_data() {
        QTest::addColumn<QString>("bar");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::newRow("1") << "ProgressBar1"
                           << "TabSheet1" << 8 << 0 << 40;
        QTest::newRow("2") << "ProgressBar2"
                           << "TabSheet2" << 16 << 100 << 140;
        QTest::newRow("3") << "ProgressBar3"
                           << "TabSheet3" << 16 << 0 << 40;
        QTest::newRow("page 4 has bar 5") << "ProgressBar5"
                                          << "TabSheet4" << 16 << 0 << 40;
        QTest::newRow("page 5 has bar 4") << "ProgressBar4"
                                          << "TabSheet5" << 16 << 0 << 20;
    }
    void progressBars() {
        QFETCH(QString, bar);
        QFETCH(QString, sheet);
        QFETCH(int, top);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        auto* progress = window->findChild<QProgressBar*>(bar);
        QVERIFY(progress);
        QCOMPARE(progress->parentWidget()->objectName(), sheet);
        QCOMPARE(progress->geometry(), QRect(976, top, 169, 25));
        QCOMPARE(progress->minimum(), minimum);
        QCOMPARE(progress->maximum(), maximum);
        QCOMPARE(progress->value(), minimum);
    }

  private:
    std::unique_ptr<Form1> window;
};

QTEST_MAIN(WindowTest)
#include "tst_memedit_window.moc"
