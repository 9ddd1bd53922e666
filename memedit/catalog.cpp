#include "catalog.h"

#include <QFile>

#include <libintl.h>

namespace memedit {

namespace {
constexpr const char* kSetupDomain = "serialsetup";
constexpr const char* kMessageDomain = "default";
} // namespace

QString catalogDir() {
    const QString fromEnv = qEnvironmentVariable("MEMEDIT_LOCALEDIR");
    if (!fromEnv.isEmpty()) return fromEnv;
    return QStringLiteral(MEMEDIT_DEFAULT_LOCALEDIR);
}

void initCatalogs() {
    const QByteArray dir = QFile::encodeName(catalogDir());
    for (const char* domain : {kSetupDomain, kMessageDomain}) {
        bindtextdomain(domain, dir.constData());
        bind_textdomain_codeset(domain, "UTF-8");
    }
}

QString setupText(const char* msgid) {
    return QString::fromUtf8(dgettext(kSetupDomain, msgid));
}

QString messageText(const char* msgid) {
    return QString::fromUtf8(dgettext(kMessageDomain, msgid));
}

} // namespace memedit
