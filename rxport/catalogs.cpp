#include "catalogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include <libintl.h>

namespace rxport {

namespace {
// The folder of the running program; /proc names it before the application object exists.
QString programDir() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path();
}
} // namespace

QString catalogDir(const char* envVariable) {
    const QString fromEnv = qEnvironmentVariable(envVariable);
    if (!fromEnv.isEmpty()) return fromEnv;
    // Found from the program's own place, so one build serves /usr (the package), /usr/local
    // (cmake --install) and a package unpacked anywhere.
    const QDir dir(programDir());
    const QString installed = QDir::cleanPath(dir.filePath(QStringLiteral(RX_INSTALLED_LOCALEDIR)));
    if (QFileInfo(installed).isDir()) return installed;
    const QString built = QDir::cleanPath(dir.filePath(QStringLiteral("locale")));
    if (QFileInfo(built).isDir()) return built;
    return installed;
}

void bindCatalog(const char* domain, const QString& dir) {
    bindtextdomain(domain, QFile::encodeName(dir).constData());
    bind_textdomain_codeset(domain, "UTF-8");
}

bool loadQtPortuguese() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_pt_BR"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace rxport
