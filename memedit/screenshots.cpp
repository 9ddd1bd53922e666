// Not part of the editor: shows its window, saves a picture of each page and leaves
// (scripts/memedit-screenshots runs it under Xvfb).
//   memedit_screenshots OUTPUT_DIR
#include "catalog.h"
#include "mainwindow.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: memedit_screenshots OUTPUT_DIR\n");
        return 2;
    }
    memedit::initCatalogs();
    memedit::Form1 window;
    window.show();
    return window.saveScreenshots(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
