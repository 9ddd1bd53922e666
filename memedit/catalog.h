// Message catalogs: the setup dialog's captions live in the text domain "serialsetup",
// the message texts (port errors, the conversion message, the word files' captions and
// messages) in the text domain "default"; the word file library's own in "rxwords".
// The catalogs are the program's own (share/velmora-rx-tools/locale), never the system's:
// "default" is too common a name for the system-wide locale folder.
#pragma once

#include <QString>

namespace memedit {

// Binds both text domains, and the word file library's, to catalogDir().
// Safe to call again: a new binding makes gettext drop what it had looked up before.
void initCatalogs();

// The catalog folder: $MEMEDIT_LOCALEDIR when set; else, for an installed program
// (<prefix>/bin/memedit), <prefix>/share/velmora-rx-tools/locale; else, for a program run in
// the build tree, the folder "locale" beside it where the build compiles the catalogs.
QString catalogDir();

// True when the messages are in Portuguese: a catalog of the package answers for the language.
bool speaksPortuguese();

// Translation of a setup dialog caption.
QString setupText(const char* msgid);

// Translation of a message text.
QString messageText(const char* msgid);
// Translation of a message text that counts something: `singular` or `plural` as `n` asks.
QString messageText(const char* singular, const char* plural, qint64 n);

} // namespace memedit
