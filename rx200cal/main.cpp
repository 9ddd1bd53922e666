#include "app.h"
#include "commandline.h"
#include "rx200model.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (const auto status = rxport::startProgram(
            argc, argv,
            {"rx200cal", "Calibração do controlador VELMORA RX-200 numa porta serial."}))
        return *status;
    QApplication app(argc, argv);
    return calcore::runTool(rx200::model());
}
