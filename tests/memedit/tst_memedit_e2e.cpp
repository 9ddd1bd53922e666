// The editor against the controller simulator, through the real serial path: the simulator
// publishes COM1 in RX_COM_DIR and logs every frame it receives to RX_SIM_LOG.
#include "editortest.h"
#include "framelog.h"
#include "mainwindow.h"
#include "serialport.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <time.h>

using memedit::Form1;

namespace {
constexpr int kWait = 10000;

double monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The RX frames since the mark, as hex text, one per frame.
QStringList rxHex(const rxsim::FrameLog& log) {
    QStringList frames;
    for (const auto& frame : log.rxFrames())
        frames << QString::fromStdString(rxsim::toHex(frame));
    return frames;
}

const rxsim::LogEntry* findEntry(const std::vector<rxsim::LogEntry>& entries, const char* kind,
                                 const QString& hexBytes = {}) {
    for (const auto& e : entries) {
        if (e.kind == kind &&
            (hexBytes.isEmpty() || QString::fromStdString(rxsim::toHex(e.bytes)) == hexBytes))
            return &e;
    }
    return nullptr;
}
} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("RX_COM_DIR"), "run through CTest");
        log = std::make_unique<rxsim::FrameLog>(qEnvironmentVariable("RX_SIM_LOG").toStdString());
        split = qEnvironmentVariableIntValue("MEMEDIT_E2E_SPLIT") != 0;
    }
    void init() {
        if (split && QByteArray(QTest::currentTestFunction()) != "replyInPiecesShownOnce")
            QSKIP("this run only checks split replies");
        log->mark();
        window = std::make_unique<Form1>();
    }
    void cleanup() {
        closeErrorBoxes();
        if (!window) return;
        const bool wasOpen = window->comPort()->Connected();
        const auto closes = closeCount();
        window.reset();
        // The simulator logs the close a moment later: let it land before the next mark.
        if (wasOpen) QTRY_VERIFY_WITH_TIMEOUT(closeCount() > closes, kWait);
    }

    void readM21() {
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(window->box(21)->text(), QStringLiteral("1234"), kWait);
        QCOMPARE(rxHex(*log), QStringList{"52 4D 15 0D"});
        QVERIFY(window->comPort()->Connected());
    }

    void readM150IntoEdit83() {
        click("Read150");
        QTRY_COMPARE_WITH_TIMEOUT(window->findChild<QLineEdit*>("Edit83")->text(),
                                  QStringLiteral("4321"), kWait);
        QCOMPARE(rxHex(*log), QStringList{"52 4D 96 0D"});
    }

    void writeM22AlsoWritesE2() {
        window->box(22)->setText(QStringLiteral("1000"));
        click("Write22");
        QTRY_VERIFY_WITH_TIMEOUT(findEntry(log->entries(), "CLOSE") != nullptr, kWait);
        const auto entries = log->entries();
        const auto* wm = findEntry(entries, "RX", QStringLiteral("57 4D 16 03 E8 0D"));
        const auto* we = findEntry(entries, "RX", QStringLiteral("57 45 02 03 E8 0D"));
        QVERIFY(wm && we);
        QCOMPARE(rxHex(*log), QStringList({"57 4D 16 03 E8 0D", "57 45 02 03 E8 0D"}));
        QVERIFY2(we->t - wm->t >= 0.045, qPrintable(QString::number(we->t - wm->t)));
        QVERIFY(findEntry(entries, "CLOSE")->t >= we->t);
        QVERIFY(!window->comPort()->Connected());
        // The controller took the value: reading the word back shows it.
        window->box(22)->clear();
        click("Read22");
        QTRY_COMPARE_WITH_TIMEOUT(window->box(22)->text(), QStringLiteral("1000"), kWait);
    }

    void blockWriteStopsAtBadBox() {
        for (int w = 21; w <= 35; ++w)
            window->box(w)->setText(QStringLiteral("7"));
        window->box(25)->setText(QStringLiteral("abc"));
        click("Button80");
        QTRY_COMPARE_WITH_TIMEOUT(errorBoxText(),
                                  QStringLiteral("'abc' is not a valid integer value"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), kWait);
        // Not one byte of the bad word: half a frame would make the controller take the next
        // frame's bytes as its data.
        QTRY_COMPARE_WITH_TIMEOUT(log->entries().back().kind, std::string("CLOSE"), kWait);
        QCOMPARE(rxHex(*log),
                 QStringList({"57 4D 15 00 07 0D", "57 4D 16 00 07 0D", "57 45 02 00 07 0D",
                              "57 4D 17 00 07 0D", "57 4D 18 00 07 0D"}));
        QVERIFY(findEntry(log->entries(), "STRAY") == nullptr);
        QCOMPARE(errorBoxes().size(), 1);
    }

    // Closed just after the block write began, the editor hides at once but ends only after
    // the last of the fifteen words has gone out, in order.
    void closeDuringBlockWriteWritesEveryWord() {
        QStringList expected;
        const auto frame = [](std::uint8_t space, int word, int value) {
            return QString::fromStdString(
                rxsim::toHex({0x57, space, std::uint8_t(word), std::uint8_t(value >> 8),
                              std::uint8_t(value), 0x0D}));
        };
        for (int w = 21; w <= 35; ++w) {
            window->box(w)->setText(QString::number(w * 100));
            expected << frame('M', w, w * 100);
            if (w == 22) expected << frame('E', 2, 2200);
        }
        window->show();
        QSignalSpy ended(window.get(), &Form1::finished);
        click("Button80");
        QTRY_VERIFY_WITH_TIMEOUT(!log->rxFrames().empty(), kWait);
        window->close();
        QVERIFY(!window->isVisible());
        QVERIFY(ended.isEmpty());
        QVERIFY(ended.wait(kWait));
        QVERIFY(!window->comPort()->Connected());
        QTRY_COMPARE_WITH_TIMEOUT(rxHex(*log), expected, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(log->entries().back().kind, std::string("CLOSE"), kWait);
    }

    // The first words of page one's sweep through the real line: each reply lands in its own
    // word's box and the next box is left alone. A whole page's order, bar and end are checked
    // by tst_memedit_sweeps.
    void sweepOfPageOne() {
        constexpr int kWords = 5; // M21 to M25
        auto* bar = window->findChild<QProgressBar*>("ProgressBar1");
        auto* timer = window->findChild<QTimer*>("Timer1");
        for (int w = 21; w <= 21 + kWords; ++w)
            window->box(w)->setText(QStringLiteral("x"));
        const double start = monotonicNow();
        click("Button81");
        QTRY_VERIFY_WITH_TIMEOUT(window->box(20 + kWords)->text() != QStringLiteral("x"), kWait);
        // The reply's pause holds the next tick: stopped now, the sweep sends nothing more.
        timer->stop();
        QStringList expected;
        for (int w = 21; w < 21 + kWords; ++w)
            expected << QString::fromStdString(rxsim::toHex({0x52, 0x4D, std::uint8_t(w), 0x0D}));
        QCOMPARE(rxHex(*log), expected);
        QCOMPARE(bar->value(), kWords + 1); // the first tick moves the bar without a read
        // Nothing goes out on the first tick: the first read comes with the second.
        const auto entries = log->entries();
        const auto* first = findEntry(entries, "RX");
        QVERIFY2(first->t - start >= 0.35, qPrintable(QString::number(first->t - start)));
        // Every reply landed in its own word's box, and none in the next one.
        for (int w = 21; w < 21 + kWords; ++w) {
            bool number = false;
            window->box(w)->text().toInt(&number);
            QVERIFY2(number, qPrintable(QString::number(w)));
        }
        QCOMPARE(window->box(21 + kWords)->text(), QStringLiteral("x"));
    }

    void missingPortSendsNothing() {
        memedit::PortSettings settings = window->comPort()->settings();
        settings.port = QStringLiteral("ttyNoSuchPort");
        window->comPort()->applySettings(settings);
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(
            errorBoxText(), QStringLiteral("Unable to open com port (win error code: 2)"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), kWait);
        QVERIFY(log->entries().empty());
    }

    void replyInPiecesShownOnce() {
        if (!split) QSKIP("needs the simulator that splits its replies");
        QLineEdit* box = window->box(21);
        QSignalSpy changes(box, &QLineEdit::textChanged);
        click("Read21");
        QTRY_COMPARE_WITH_TIMEOUT(box->text(), QStringLiteral("1234"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), kWait);
        QCOMPARE(changes.size(), 1);
        QVERIFY(findEntry(log->entries(), "FAULT") != nullptr);
    }

  private:
    std::size_t closeCount() const {
        const auto entries = log->entries();
        return std::size_t(
            std::count_if(entries.begin(), entries.end(),
                          [](const rxsim::LogEntry& e) { return e.kind == "CLOSE"; }));
    }

    void click(const QString& name) {
        auto* button = window->findChild<QPushButton*>(name);
        QVERIFY2(button, qPrintable(name));
        button->click();
    }

    std::unique_ptr<rxsim::FrameLog> log;
    std::unique_ptr<Form1> window;
    bool split = false;
};

QTEST_MAIN(EndToEndTest)
#include "tst_memedit_e2e.moc"
