// Drives one program against the simulator for a while with random clicks and random entry
// texts, and says how it went: frames exchanged (from the simulator's log), resident memory
// after a warm-up and at the end. A crash ends the process, which scripts/soak reports.
//   soak rx200|rx100|rx300|memedit MINUTES SEED FRAMELOG
#include "allmodels.h"
#include "calform.h"
#include "framelog.h"
#include "mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace {

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// What a technician might type, and what no one expects.
QString randomText(std::mt19937& rng) {
    static const char* const samples[] = {"0",     "1",   "12",  "500",         "1000",
                                          "65535", "-1",  "45",  "99999999999", "",
                                          " 7",    "1e3", "abc", "3.5",         "+2"};
    std::uniform_int_distribution<int> pick(0, int(std::size(samples)));
    const int k = pick(rng);
    if (k < int(std::size(samples))) return QString::fromLatin1(samples[k]);
    QString junk;
    std::uniform_int_distribution<int> ch(1, 255), len(0, 12);
    for (int n = len(rng); n > 0; --n)
        junk += QChar(ch(rng));
    return junk;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc != 5) {
        std::fprintf(stderr, "usage: soak rx200|rx100|rx300|memedit MINUTES SEED FRAMELOG\n");
        return 2;
    }
    const std::string tool = argv[1];
    const double minutes = std::atof(argv[2]);
    std::mt19937 rng(static_cast<unsigned>(std::atoi(argv[3])));
    rxsim::FrameLog log(argv[4]);

    QWidget* window = nullptr;
    if (tool == "memedit") {
        window = new memedit::Form1;
    } else if (const calcore::Model* model = modelNamed(QString::fromStdString(tool))) {
        auto* form = new calcore::CalForm(*model, "COM1");
        form->load();
        window = form;
    } else {
        std::fprintf(stderr, "soak: unknown program %s\n", tool.c_str());
        return 2;
    }
    window->show();

    // Only what a technician can reach: visible, enabled buttons, boxes and entries. The
    // settings dialog and the exit question are left out; they end or stop the soak. So is a
    // button with a menu (the editor's "Arquivo"): its menu and file dialogs run a loop of their
    // own inside the click, where this timer does not fire again, and the soak would stand still.
    QList<QPushButton*> buttons;
    for (auto* b : window->findChildren<QPushButton*>())
        if (b->isVisibleTo(window) && b->objectName() != "Button1" && !b->menu()) buttons << b;
    const auto entries = window->findChildren<QLineEdit*>();
    const auto boxes = window->findChildren<QCheckBox*>();
    long clicks = 0;
    QTimer clicker;
    clicker.setInterval(700);
    QObject::connect(&clicker, &QTimer::timeout, &app, [&] {
        // An error box waits for its OK; the technician reads it and goes on.
        for (auto* box : window->findChildren<QMessageBox*>())
            box->accept();
        std::uniform_int_distribution<int> what(0, 9);
        const int w = what(rng);
        if (w < 4 && !entries.isEmpty()) {
            auto* e = entries[std::uniform_int_distribution<int>(0, int(entries.size()) - 1)(rng)];
            if (e->isVisibleTo(window)) e->setText(randomText(rng));
        } else if (w < 9 && !buttons.isEmpty()) {
            auto* b = buttons[std::uniform_int_distribution<int>(0, int(buttons.size()) - 1)(rng)];
            if (b->isEnabled()) {
                b->click();
                ++clicks;
            }
        } else {
            for (auto* c : boxes)
                if (c->isVisibleTo(window) && c->isEnabled()) c->click();
        }
    });
    clicker.start();

    // Caches (glyphs of odd characters, the style's pixmaps) fill in the first minutes; a leak
    // goes on growing in the second half as much as in the first.
    long startKiB = 0, halfKiB = 0;
    QTimer::singleShot(20000, &app, [&] { startKiB = residentKiB(); });
    QTimer::singleShot(int(minutes * 30000), &app, [&] { halfKiB = residentKiB(); });
    QTimer::singleShot(int(minutes * 60000), &app, [&] {
        clicker.stop();
        const long endKiB = residentKiB();
        long frames = 0, replies = 0;
        for (const auto& e : log.entries()) {
            frames += e.kind == "RX";
            replies += e.kind == "TX";
        }
        std::printf("%s: %.1f min, %ld clicks, %ld frames to the controller, %ld replies, "
                    "resident %ld KiB after 20 s, %ld KiB at half time, %ld KiB at the end "
                    "(%+ld KiB in all, %+ld KiB in the second half)\n",
                    tool.c_str(), minutes, clicks, frames, replies, startKiB, halfKiB, endKiB,
                    endKiB - startKiB, endKiB - halfKiB);
        std::fflush(stdout);
        std::_Exit(0); // windows, links and timers go with the process; nothing more to measure
    });
    return app.exec();
}
