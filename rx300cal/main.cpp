#include "app.h"
#include "commandline.h"
#include "rx300model.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (const auto status = rxport::startProgram(
            argc, argv,
            {"rx300cal", "Calibração do controlador VELMORA RX-300 numa porta serial."}))
        return *status;
    QApplication app(argc, argv);
    return calcore::runTool(rx300::model());
}
