// rxmem: backs up, restores, verifies and compares a controller's words from the command line.
#include "cli.h"
#include "commands.h"
#include "messages.h"
#include "stdstreams.h"
#include "stopsignals.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    rxport::guardStandardStreams("rxmem", "cannot write the output"); // before any file opens
    rxmem::blockStopSignals();                                        // before any thread exists
    QCoreApplication app(argc, argv); // no display needed, --help included
    rxmem::initCatalog();
    rxport::setCannotWriteText(rxmem::text("cannot write the output").toLocal8Bit().constData());
    const auto request = rxmem::parseCommandLine(QCoreApplication::arguments().mid(1));
    if (request.exitNow) return *request.exitNow;
    return rxmem::run(request.options);
}
