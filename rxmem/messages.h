// The program's texts, in English in the code and in the user's language where the catalog
// (text domain "rxmem", in the package's locale folder beside the editor's) has them.
#pragma once

#include <QString>

namespace rxmem {

// Binds the text domain to the package's catalog folder.
void initCatalog();

QString text(const char* msgid);
// The form of a counted text for `n`, by the language's plural rule ("1 word", "2 words").
QString text(const char* one, const char* many, unsigned long n);

} // namespace rxmem
