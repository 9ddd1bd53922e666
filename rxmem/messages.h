// The program's texts, in English in the code and in the user's language where the catalog
// (text domain "rxmem", in the package's locale folder beside the editor's) has them.
#pragma once

#include <QString>

namespace rxmem {

// Binds the text domain to the package's catalog folder.
void initCatalog();

QString text(const char* msgid);
// Marks a text for the catalog where it is looked up later.
constexpr const char* N_(const char* msgid) {
    return msgid;
}
// The form of a counted text for `n`, by the language's plural rule ("1 word", "2 words").
QString text(const char* one, const char* many, unsigned long n);

} // namespace rxmem
