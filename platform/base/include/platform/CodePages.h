// The layer's two code pages: "ANSI" is UTF-8 and "OEM" is CP437 (zip entry names).
//
// Conversions never fail: a character CP437 cannot hold becomes "?", and so does a byte
// sequence that is not UTF-8. Bytes below 0x80 are the same in both.
#pragma once

#include "platform/Types.h"

// UTF-8 -> CP437. The result is never longer than the source, so dst may equal src.
BOOL CharToOemA(const char* src, char* dst);
String CharToOem(const String& text);
// CP437 -> UTF-8. The result may be up to three times as long as the source, so the
// system's in-place form is offered only for strings.
String OemToChar(const String& text);
inline String CharToOemA(const String& text) { return CharToOem(text); }
inline String OemToCharA(const String& text) { return OemToChar(text); }

namespace platform {
// UTF-8 -> CP437 when every character has a CP437 form; false (out unchanged) otherwise.
bool TryCharToOem(const String& text, String& out);
}  // namespace platform
