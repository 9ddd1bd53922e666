#include "app.h"
#include "commandline.h"
#include "rx100model.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (const auto status = rxport::startProgram(
            argc, argv,
            {"rx100cal", "Calibração do controlador VELMORA RX-100 numa porta serial."}))
        return *status;
    QApplication app(argc, argv);
    return calcore::runTool(rx100::model());
}
