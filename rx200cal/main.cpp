#include "app.h"
#include "rx200model.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return calcore::runTool(rx200::model());
}
