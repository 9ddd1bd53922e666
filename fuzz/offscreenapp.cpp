#include "offscreenapp.h"

#include <QApplication>
#include <QByteArray>

namespace fuzzcheck {

void offscreenApp() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(argc, argv); // lives as long as the process
}

} // namespace fuzzcheck

// The system's font library keeps pattern caches it never frees; the leak check would report
// them as a finding of every run that draws text. Nothing of ours is hidden by this.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
