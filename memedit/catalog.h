// Message catalogs: the setup dialog's captions live in the text domain "serialsetup",
// the message texts (port errors, the conversion message) in the text domain "default".
#pragma once

#include <QString>

namespace memedit {

// Binds both text domains to $MEMEDIT_LOCALEDIR, or to the install prefix's share/locale.
// Safe to call again: a new binding makes gettext drop what it had looked up before.
void initCatalogs();

// The catalog directory initCatalogs() binds.
QString catalogDir();

// Translation of a setup dialog caption.
QString setupText(const char* msgid);

// Translation of a message text.
QString messageText(const char* msgid);

} // namespace memedit
