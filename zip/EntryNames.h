// Coding of entry names between the archive and memory.
//
// On disk a name uses "/" and either CP437 or, with general-purpose flag bit 11 (or on
// archives made on Unix), UTF-8. In memory names are UTF-8 with "\" as the separator. Names
// are written in CP437 when every character has a CP437 form, else in UTF-8 with bit 11.
#pragma once

#include <optional>

#include "platform/Types.h"

namespace entrynames {

// Decodes CP437 bytes to UTF-8 (bytes below 128 are ASCII).
String Cp437ToUtf8(const String& bytes);
// Encodes UTF-8 as CP437; none when a character has no CP437 form or the text is not UTF-8.
std::optional<String> Utf8ToCp437(const String& text);

// Whether stored names of a record with these flags and "version made by" are UTF-8.
bool StoredAsUtf8(Word flags, Word versionMadeBy);

bool IsValidUtf8(const String& text);
// Stored bytes to the in-memory name: "/" becomes "\" and the code page is decoded.
String DecodeName(const String& stored, Word flags, Word versionMadeBy);
// In-memory name to stored bytes; sets needUtf8 when the name must be written as UTF-8.
String EncodeName(const String& name, Word flags, Word versionMadeBy, bool& needUtf8);

}  // namespace entrynames
