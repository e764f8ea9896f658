// Trimming, case, comparison, 1-based substrings, replacement and quoting.
#include <algorithm>

#include "platform/SysUtils.h"

namespace platform::detail {
namespace {

constexpr char FoldUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char FoldLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

template <class Fold>
Integer CompareBytes(const String& a, const String& b, Fold fold) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = static_cast<unsigned char>(fold(a[i]));
        const int cb = static_cast<unsigned char>(fold(b[i]));
        if (ca != cb) return ca - cb;
    }
    // Lengths of real strings fit an Integer comfortably; clamp for the sign alone.
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

constexpr char Same(char c) { return c; }

Integer Sign(Integer v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace
}  // namespace platform::detail

using namespace platform::detail;

String Trim(const String& S) { return TrimLeft(TrimRight(S)); }

String TrimLeft(const String& S) {
    std::size_t i = 0;
    while (i < S.size() && IsTrimmed(S[i])) ++i;
    return S.substr(i);
}

String TrimRight(const String& S) {
    std::size_t n = S.size();
    while (n > 0 && IsTrimmed(S[n - 1])) --n;
    return S.substr(0, n);
}

String UpperCase(const String& S) {
    String r = S;
    std::transform(r.begin(), r.end(), r.begin(), FoldUpper);
    return r;
}

String LowerCase(const String& S) {
    String r = S;
    std::transform(r.begin(), r.end(), r.begin(), FoldLower);
    return r;
}

String AnsiUpperCase(const String& S) { return UpperCase(S); }
String AnsiLowerCase(const String& S) { return LowerCase(S); }

Integer CompareStr(const String& S1, const String& S2) { return CompareBytes(S1, S2, Same); }
Integer CompareText(const String& S1, const String& S2) { return CompareBytes(S1, S2, FoldUpper); }
bool SameText(const String& S1, const String& S2) { return S1.size() == S2.size() && CompareText(S1, S2) == 0; }
Integer AnsiCompareStr(const String& S1, const String& S2) { return Sign(CompareStr(S1, S2)); }
Integer AnsiCompareText(const String& S1, const String& S2) { return Sign(CompareText(S1, S2)); }
bool AnsiSameStr(const String& S1, const String& S2) { return S1 == S2; }
bool AnsiSameText(const String& S1, const String& S2) { return SameText(S1, S2); }

Integer Pos(const String& Substr, const String& S) {
    if (Substr.empty()) return 0;
    const std::size_t at = S.find(Substr);
    return at == String::npos ? 0 : static_cast<Integer>(at + 1);
}

String Copy(const String& S, Integer Index, Integer Count) {
    if (Index < 1) Index = 1;
    const auto start = static_cast<std::size_t>(Index - 1);
    if (Count <= 0 || start >= S.size()) return String();
    return S.substr(start, static_cast<std::size_t>(Count));
}

void Delete(String& S, Integer Index, Integer Count) {
    if (Index < 1 || Count <= 0 || static_cast<std::size_t>(Index) > S.size()) return;
    S.erase(static_cast<std::size_t>(Index - 1), static_cast<std::size_t>(Count));
}

void Insert(const String& Source, String& S, Integer Index) {
    if (Index < 1) Index = 1;
    const std::size_t at = std::min(static_cast<std::size_t>(Index - 1), S.size());
    S.insert(at, Source);
}

String StringReplace(const String& S, const String& OldPattern, const String& NewPattern, TReplaceFlags Flags) {
    if (OldPattern.empty()) return S;
    const bool ignoreCase = (Flags & rfIgnoreCase) != 0;
    const String haystack = ignoreCase ? UpperCase(S) : S;
    const String needle = ignoreCase ? UpperCase(OldPattern) : OldPattern;
    String result;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = haystack.find(needle, from);
        if (at == String::npos) break;
        result.append(S, from, at - from);
        result += NewPattern;
        from = at + needle.size();
        if ((Flags & rfReplaceAll) == 0) break;
    }
    result.append(S, from, String::npos);
    return result;
}

String AnsiQuotedStr(const String& S, char Quote) {
    String r;
    r.reserve(S.size() + 2);
    r += Quote;
    for (char c : S) {
        r += c;
        if (c == Quote) r += Quote;
    }
    r += Quote;
    return r;
}

String QuotedStr(const String& S) { return AnsiQuotedStr(S, '\''); }
