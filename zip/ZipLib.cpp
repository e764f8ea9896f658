#include "zip/ZipLib.h"

#include <cmath>
#include <cstring>

Integer IntMin(Integer a, Integer b) { return a < b ? a : b; }
Integer IntMax(Integer a, Integer b) { return a > b ? a : b; }

Integer CompPercentage(Int64 total, Int64 done) {
    if (total <= 0) return 0;
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    long double p = std::nearbyint(static_cast<long double>(done) * 100.0L / static_cast<long double>(total));
    if (p > 100) p = 100;
    return static_cast<Integer>(p);
}

Integer Percentage(Integer total, Integer part) { return CompPercentage(total, part); }

void DOSToUnixFilename(String& name) {
    for (char& c : name)
        if (c == '\\') c = '/';
}

void UnixToDOSFilename(String& name) {
    for (char& c : name)
        if (c == '/') c = '\\';
}

String RightStr(const String& s, Integer n) {
    if (n <= 0) return String();
    return static_cast<size_t>(n) >= s.size() ? s : s.substr(s.size() - static_cast<size_t>(n));
}

String LeftStr(const String& s, Integer n) {
    if (n <= 0) return String();
    return s.substr(0, static_cast<size_t>(n));
}

bool IsWildcard(const String& s) { return s.find_first_of("*?[]") != String::npos; }

bool BytesEqual(const void* a, const void* b, Integer count) {
    return count <= 0 || std::memcmp(a, b, static_cast<size_t>(count)) == 0;
}
