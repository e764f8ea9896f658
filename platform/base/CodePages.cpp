#include "platform/CodePages.h"

#include <cstring>

namespace {

// Unicode code points of CP437 0x80..0xFF (checked against Python's cp437 codec).
const char16_t kCp437High[128] = {
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

// Decodes one UTF-8 character at text[i]; advances i. -1 for an invalid sequence.
long NextCodePoint(const unsigned char* text, std::size_t size, std::size_t& i) {
    unsigned char c = text[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
    if (extra < 0 || c > 0xF4) {
        ++i;
        return -1;
    }
    long cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= size || (text[i + k] & 0xC0) != 0x80) {
            i += k;
            return -1;
        }
        cp = (cp << 6) | (text[i + k] & 0x3F);
    }
    i += extra + 1;
    // Overlong forms and surrogates are not characters.
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    return cp;
}

int OemByteOf(long cp) {
    if (cp >= 0 && cp < 0x80) return static_cast<int>(cp);
    for (int b = 0; b < 128; ++b)
        if (kCp437High[b] == cp) return 0x80 + b;
    return -1;
}

void AppendUtf8(String& out, char32_t cp) {
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

String Convert(const String& text, bool& allRepresentable) {
    String out;
    allRepresentable = true;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        int b = OemByteOf(NextCodePoint(p, text.size(), i));
        if (b < 0) {
            allRepresentable = false;
            b = '?';
        }
        out += static_cast<char>(b);
    }
    return out;
}

}  // namespace

String CharToOem(const String& text) {
    bool all;
    return Convert(text, all);
}

BOOL CharToOemA(const char* src, char* dst) {
    if (!src || !dst) return 0;
    String out = CharToOem(src);
    std::memmove(dst, out.c_str(), out.size() + 1);
    return 1;
}

String OemToChar(const String& text) {
    String out;
    out.reserve(text.size());
    for (unsigned char c : text) AppendUtf8(out, c < 0x80 ? c : kCp437High[c - 0x80]);
    return out;
}

namespace platform {
bool TryCharToOem(const String& text, String& out) {
    bool all;
    String converted = Convert(text, all);
    if (all) out = std::move(converted);
    return all;
}
}  // namespace platform
