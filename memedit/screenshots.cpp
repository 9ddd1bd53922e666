// Not part of the editor: shows its window, saves a picture of each page and leaves
// (scripts/run and scripts/readme-pictures run it under Xvfb).
//   memedit_screenshots [--sweep] OUTPUT_DIR
// With --sweep, a controller (scripts/run: the simulator) answers on COM1: the sweep of the
// page shown at start reads that page first, so its picture shows the controller's values as
// a technician sees them.
#include "catalog.h"
#include "mainwindow.h"
#include "sweeps.h"

#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <iterator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    const bool sweep = args.size() == 2 && args.first() == QStringLiteral("--sweep");
    if (args.size() != (sweep ? 2 : 1)) {
        std::fprintf(stderr, "usage: memedit_screenshots [--sweep] OUTPUT_DIR\n");
        return 2;
    }
    memedit::initCatalogs();
    memedit::Form1 window;
    window.show();
    const QString dir = args.last();
    if (!sweep) return window.saveScreenshots(dir) ? 0 : 1;

    // The sweep of the page the editor opens on, as a technician's first click; the pictures
    // are taken once its timer has stopped and its last reply is in.
    const int page =
        window.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->currentIndex() + 1;
    const auto* info =
        std::find_if(std::begin(memedit::kSweepTable), std::end(memedit::kSweepTable),
                     [page](const memedit::SweepInfo& s) { return s.page == page; });
    auto* timer = window.findChild<QTimer*>(QLatin1String(info->timer));
    window.findChild<QPushButton*>(QLatin1String(info->button))->click();
    int status = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (timer->isActive() || window.busy()) return;
        if (!window.saveScreenshots(dir)) status = 1;
        QApplication::quit();
    });
    poll.start(50);
    // A controller that stops answering leaves the sweep waiting: give up rather than hang.
    QTimer::singleShot(60000, &app, [&] {
        std::fprintf(stderr, "memedit_screenshots: the sweep did not end\n");
        status = 1;
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
