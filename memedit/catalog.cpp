#include "catalog.h"

#include "catalogs.h"
#include "wordfile.h"

#include <libintl.h>

namespace memedit {

namespace {
constexpr const char* kSetupDomain = "serialsetup";
constexpr const char* kMessageDomain = "default";
} // namespace

QString catalogDir() {
    return rxport::catalogDir("MEMEDIT_LOCALEDIR");
}

void initCatalogs() {
    for (const char* domain : {kSetupDomain, kMessageDomain})
        rxport::bindCatalog(domain, catalogDir());
    rxwords::initCatalog(catalogDir());
}

bool speaksPortuguese() {
    // The empty message id gives the header of the catalog in use, which names its language.
    return QString::fromUtf8(dgettext(kMessageDomain, "")).contains(QStringLiteral("Language: pt"));
}

QString setupText(const char* msgid) {
    return QString::fromUtf8(dgettext(kSetupDomain, msgid));
}

QString messageText(const char* msgid) {
    return QString::fromUtf8(dgettext(kMessageDomain, msgid));
}

QString messageText(const char* singular, const char* plural, qint64 n) {
    return QString::fromUtf8(dngettext(kMessageDomain, singular, plural, (unsigned long)n));
}

} // namespace memedit
