// Registry access on any key of HKEY_CURRENT_USER (the shell folders, the installation
// entries), beside the settings key of Settings.h.
#pragma once

#include "platform/Registry.h"

namespace manager {

// The text of Ident in the subkey Section of KeyPath, or Default. Section, Ident and KeyPath
// are trimmed; when any is then empty the result is Default. KeyPath is created when missing.
String ReadRegIniString(const String& KeyPath, const String& Section, const String& Ident,
                        const String& Default);

// Write mode (ReadMode false): stores Value as REG_SZ under Ident in the subkey Section of
// KeyPath, creating both keys when missing; an empty Ident stores the subkey's default value.
// Read mode: when KeyPath exists, reads Ident of Section with Value as the default. Nothing is
// trimmed. Gives the text read or Value. A key that cannot be created raises
// ERegistryException.
String RegIniString(const String& KeyPath, const String& Section, const String& Ident, bool ReadMode,
                    const String& Value);

// The raw text of one value (up to its first zero byte), or empty when the key or the value
// cannot be read. Never creates anything.
String GetRegValue(HKEY RootKey, const String& KeyPath, const String& ValueName);

}  // namespace manager
