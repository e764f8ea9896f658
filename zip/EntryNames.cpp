#include "zip/EntryNames.h"

#include "platform/CodePages.h"
#include "zip/ZipConstants.h"

namespace entrynames {
namespace {

// Next code point of a UTF-8 text; -1 for a malformed sequence.
long NextCodePoint(const String& s, size_t& i) {
    auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0) return -1;
    long cp = b & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return cp;
}

}  // namespace

bool IsValidUtf8(const String& text) {
    for (size_t i = 0; i < text.size();)
        if (NextCodePoint(text, i) < 0) return false;
    return true;
}

String Cp437ToUtf8(const String& bytes) { return OemToChar(bytes); }

std::optional<String> Utf8ToCp437(const String& text) {
    String out;
    if (!IsValidUtf8(text) || !platform::TryCharToOem(text, out)) return std::nullopt;
    return out;
}

bool StoredAsUtf8(Word flags, Word versionMadeBy) {
    return (flags & zipconst::kFlagUtf8) != 0 || (versionMadeBy >> 8) == zipconst::kHostUnix;
}

String DecodeName(const String& stored, Word flags, Word versionMadeBy) {
    // Tools on Unix often store CP437 or other single-byte names without any mark; bytes
    // that are not UTF-8 are read as CP437 so that the name in memory is always UTF-8.
    bool utf8 = StoredAsUtf8(flags, versionMadeBy) && IsValidUtf8(stored);
    String name = utf8 ? stored : Cp437ToUtf8(stored);
    for (char& c : name)
        if (c == '/') c = '\\';
    return name;
}

String EncodeName(const String& name, Word flags, Word versionMadeBy, bool& needUtf8) {
    String stored = name;
    for (char& c : stored)
        if (c == '\\') c = '/';
    needUtf8 = false;
    if (StoredAsUtf8(flags, versionMadeBy)) return stored;
    if (auto cp437 = Utf8ToCp437(stored)) return *cp437;
    needUtf8 = true;
    return stored;
}

}  // namespace entrynames
