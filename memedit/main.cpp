#include "catalog.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("memedit"));
    memedit::initCatalogs();
    memedit::MainWindow window;
    window.show();
    // For the screenshot script: grab every page and leave.
    if (const QString dir = qEnvironmentVariable("MEMEDIT_SCREENSHOT_DIR"); !dir.isEmpty())
        return window.saveScreenshots(dir) ? 0 : 1;
    return app.exec();
}
