#include "messages.h"

#include "catalogs.h"
#include "wordfile.h"

#include <libintl.h>

namespace rxmem {

namespace {
constexpr const char* kDomain = "rxmem";
}

void initCatalog() {
    const QString dir = rxport::catalogDir("RXMEM_LOCALEDIR");
    rxport::bindCatalog(kDomain, dir);
    rxwords::initCatalog(dir);
}

QString text(const char* msgid) {
    return QString::fromUtf8(dgettext(kDomain, msgid));
}

QString text(const char* one, const char* many, unsigned long n) {
    return QString::fromUtf8(dngettext(kDomain, one, many, n));
}

} // namespace rxmem
