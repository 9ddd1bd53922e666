#include "app.h"
#include "rx300model.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return calcore::runTool(rx300::model());
}
