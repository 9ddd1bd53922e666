#include "catalog.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("memedit"));
    memedit::initCatalogs();
    memedit::Form1 window;
    window.show();
    return app.exec();
}
