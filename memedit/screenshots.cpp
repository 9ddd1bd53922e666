// Not part of the editor: shows its window, saves a picture of each page and leaves
// (scripts/run and scripts/readme-pictures run it under Xvfb).
//   memedit_screenshots [--sweep] [--open FILE] OUTPUT_DIR
// With --sweep, a controller (scripts/run: the simulator) answers on COM1: the sweep of the
// page shown at start reads that page first, so its picture shows the controller's values as
// a technician sees them. With --open, the parameter file FILE is opened after that, so the
// pictures show the boxes it changed, marked.
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
    QStringList args = QApplication::arguments().mid(1);
    const bool sweep = args.removeAll(QStringLiteral("--sweep")) > 0;
    QString open;
    if (const qsizetype at = args.indexOf(QStringLiteral("--open"));
        at >= 0 && at + 1 < args.size()) {
        open = args.takeAt(at + 1);
        args.removeAt(at);
    }
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: memedit_screenshots [--sweep] [--open FILE] OUTPUT_DIR\n");
        return 2;
    }
    memedit::initCatalogs();
    memedit::Form1 window;
    window.show();
    const QString dir = args.last();
    int status = 0;
    // The pictures are taken once every action is done: the sweep's timer has stopped, its
    // last reply is in, the file is open.
    const auto takePictures = [&] {
        if (!open.isEmpty()) window.openWords(open);
        QTimer* poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, &app, [&] {
            if (window.busy()) return;
            if (!window.saveScreenshots(dir)) status = 1;
            QApplication::quit();
        });
        poll->start(50);
    };
    // A controller that stops answering leaves a sweep waiting: give up rather than hang.
    QTimer::singleShot(60000, &app, [&] {
        std::fprintf(stderr, "memedit_screenshots: the window did not finish its actions\n");
        status = 1;
        QApplication::quit();
    });
    if (!sweep) {
        takePictures();
        QApplication::exec();
        return status;
    }

    // The sweep of the page the editor opens on, as a technician's first click; the pictures
    // are taken once its timer has stopped and its last reply is in.
    const int page =
        window.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->currentIndex() + 1;
    const auto* info =
        std::find_if(std::begin(memedit::kSweepTable), std::end(memedit::kSweepTable),
                     [page](const memedit::SweepInfo& s) { return s.page == page; });
    auto* timer = window.findChild<QTimer*>(QLatin1String(info->timer));
    window.findChild<QPushButton*>(QLatin1String(info->button))->click();
    QTimer sweepDone;
    QObject::connect(&sweepDone, &QTimer::timeout, &app, [&] {
        if (timer->isActive() || window.busy()) return;
        sweepDone.stop();
        takePictures();
    });
    sweepDone.start(50);
    QApplication::exec();
    return status;
}
