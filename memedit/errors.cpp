#include "errors.h"

#include "catalog.h"

namespace memedit {

namespace {
QString portMessage(PortErrorNumber number, int systemCode) {
    QString tail = messageText(" (win error code: %d)");
    tail.replace(QLatin1String("%d"), QString::number(systemCode));
    return messageText(PortError::baseText(number)) + tail;
}
} // namespace

const char* PortError::baseText(PortErrorNumber number) {
    switch (number) {
    case PortErrorNumber::Open:
        return "Unable to open com port";
    case PortErrorNumber::WriteFile:
        return "WriteFile function failed";
    case PortErrorNumber::ReadFile:
        return "ReadFile function failed";
    case PortErrorNumber::Purge:
        return "PurgeComm function failed";
    case PortErrorNumber::SetState:
        return "SetCommState function failed";
    case PortErrorNumber::Registry:
        return "Registry error";
    }
    return "";
}

PortError::PortError(PortErrorNumber number, int systemCode)
    : EditorError(portMessage(number, systemCode)), number_(number), systemCode_(systemCode) {}

ConversionError::ConversionError(const QString& text)
    : EditorError(
          messageText("'%s' is not a valid integer value").replace(QLatin1String("%s"), text)) {}

} // namespace memedit
