#include "app.h"

#include "portselect.h"

#include <QApplication>

namespace calcore {

int runTool(const Model& model) {
    PortSelectForm form2(model);
    // Closing the selection window before a main window exists also ends the program.
    QObject::connect(&form2, &PortSelectForm::finished, qApp, &QApplication::quit);
    form2.show();
    return QApplication::exec();
}

} // namespace calcore
