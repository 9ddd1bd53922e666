#include "panelfont.h"

#include <QFontDatabase>
#include <QStringList>

namespace rxport {

QFont panelFont() {
    // Looked up once: the installed faces do not change while a tool runs.
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char* face : {"Liberation Sans", "Arial", "DejaVu Sans"}) {
            if (installed.contains(QLatin1String(face))) return QString::fromLatin1(face);
        }
        return QFont().family();
    }();
    return QFont(family);
}

} // namespace rxport
