#include "app.h"

#include "catalogs.h"
#include "portselect.h"

#include <QApplication>

#include <cstdio>

namespace calcore {

int runTool(const Model& model) {
    // A table that names a control the window does not have would leave a dead button.
    if (const auto faults = checkModel(model); !faults.empty()) {
        for (const auto& f : faults)
            std::fprintf(stderr, "%s\n", f.c_str());
        return 70; // EX_SOFTWARE
    }
    // The windows speak Portuguese, and so do Qt's own dialogs.
    rxport::loadQtPortuguese();
    // The program ends when the main window's link has let its last frames leave, not when the
    // last window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    PortSelectForm form2(model);
    QObject::connect(&form2, &PortSelectForm::finished, qApp, &QApplication::quit);
    form2.show();
    return QApplication::exec();
}

} // namespace calcore
