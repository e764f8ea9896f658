#include "zip/EntryNames.h"

#include <array>

#include "zip/ZipConstants.h"

namespace entrynames {
namespace {

// CP437 bytes 128..255 as code points; made by tools/cp437_table.sh.
constexpr std::array<std::uint16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

void AppendUtf8(String& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

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

String Cp437ToUtf8(const String& bytes) {
    String out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, b < 0x80 ? b : kCp437High[b - 0x80]);
    }
    return out;
}

std::optional<String> Utf8ToCp437(const String& text) {
    String out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        long cp = NextCodePoint(text, i);
        if (cp < 0) return std::nullopt;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        size_t k = 0;
        while (k < kCp437High.size() && kCp437High[k] != cp) ++k;
        if (k == kCp437High.size()) return std::nullopt;
        out += static_cast<char>(0x80 + k);
    }
    return out;
}

bool StoredAsUtf8(Word flags, Word versionMadeBy) {
    return (flags & zipconst::kFlagUtf8) != 0 || (versionMadeBy >> 8) == zipconst::kHostUnix;
}

bool IsValidUtf8(const String& text) {
    for (size_t i = 0; i < text.size();)
        if (NextCodePoint(text, i) < 0) return false;
    return true;
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
