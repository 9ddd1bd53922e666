// Where a program finds the package's message catalogs. They are the package's own
// (share/velmora-rx-tools/locale), never the system's: the editor's domain "default" is too
// common a name for the system-wide locale folder.
#pragma once

#include <QString>

namespace rxport {

// $<envVariable> when set; else, for an installed program (<prefix>/bin/...),
// <prefix>/share/velmora-rx-tools/locale; else, for a program run in the build tree, the folder
// "locale" beside it, where the build compiles its catalogs.
QString catalogDir(const char* envVariable);

// Binds `domain` to `dir` with UTF-8 texts. Safe to call again: a new binding makes gettext drop
// what it had looked up before.
void bindCatalog(const char* domain, const QString& dir);

// Qt's own texts in Portuguese (the file dialog's "Examinar", "Nome do arquivo", "Cancelar"):
// installs Qt's catalog qtbase_pt_BR from Qt's translations folder in the application. False when
// that catalog is not there (Debian ships it in qt6-translations-l10n); Qt then speaks English.
bool loadQtPortuguese();

} // namespace rxport
