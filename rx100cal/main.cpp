#include "app.h"
#include "rx100model.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return calcore::runTool(rx100::model());
}
