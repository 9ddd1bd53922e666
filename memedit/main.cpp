#include "catalog.h"
#include "catalogs.h"
#include "commandline.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    if (const auto status = rxport::startProgram(
            argc, argv,
            {"memedit", "Leitura e escrita das palavras de memória (M21 a M59, M100 a M240) de um "
                        "controlador VELMORA RX."}))
        return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("memedit"));
    memedit::initCatalogs();
    // Qt's own dialogs (the file dialog of "Arquivo") speak the messages' language.
    if (memedit::speaksPortuguese()) rxport::loadQtPortuguese();
    memedit::Form1 window;
    // Closing the window hides it at once, but the writes it holds still go out: the program
    // ends when the window says so, not when its last window is gone.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &memedit::Form1::finished, &app, &QCoreApplication::quit);
    window.show();
    return app.exec();
}
