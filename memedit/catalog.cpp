#include "catalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libintl.h>

namespace memedit {

namespace {
constexpr const char* kSetupDomain = "serialsetup";
constexpr const char* kMessageDomain = "default";

// The folder of the running program; /proc names it before the application object exists.
QString programDir() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path();
}
} // namespace

QString catalogDir() {
    const QString fromEnv = qEnvironmentVariable("MEMEDIT_LOCALEDIR");
    if (!fromEnv.isEmpty()) return fromEnv;
    // Found from the program's own place, so one build serves /usr (the package), /usr/local
    // (cmake --install) and a package unpacked anywhere.
    const QDir dir(programDir());
    const QString installed =
        QDir::cleanPath(dir.filePath(QStringLiteral(MEMEDIT_INSTALLED_LOCALEDIR)));
    if (QFileInfo(installed).isDir()) return installed;
    const QString built = QDir::cleanPath(dir.filePath(QStringLiteral(MEMEDIT_BUILD_LOCALEDIR)));
    if (QFileInfo(built).isDir()) return built;
    return installed;
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
