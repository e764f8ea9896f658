#include "zip/WildMatch.h"

namespace {

String Lower(const String& s) {
    String r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

// One-based access; a position past the end reads as "no character", which equals none of
// the pattern's special characters.
int At(const String& s, size_t pos) {
    return pos >= 1 && pos <= s.size() ? static_cast<unsigned char>(s[pos - 1]) : -1;
}

// Both texts are already lower-cased.
int MatchLowered(const String& P, const String& T);

int AfterStarLowered(const String& P0, const String& T0) {
    String P = P0, T = T0;
    size_t n = P.size(), m = T.size(), p = 1, t = 1;
    int r = 0;
    // A "?" right after the star eats one character while it is not the pattern's last and
    // text is left; further stars are simply taken.
    while ((t <= m && p < n && At(P, p) == '?') || At(P, p) == '*') {
        if (At(P, p) == '?') ++t;
        ++p;
    }
    if (t > m) return wmTextEnded;
    if (p > n) return wmMatch;
    do {
        if (At(P, p) == At(T, t) || At(P, p) == '[') {
            P = P.substr(p - 1);
            T = T.substr(t - 1);
            p = 1;
            t = 1;
            m = T.size();
            r = MatchLowered(P, T);
        }
        ++t;
    } while (r != wmMatch && t <= m);
    return r;
}

int MatchLowered(const String& P, const String& T) {
    const size_t n = P.size(), m = T.size();
    size_t p = 1, t = 1;
    int r = 0;
    while (r == 0 && p <= n) {
        if (t > m) {
            r = (At(P, p) == '*' && p == n) ? wmMatch : wmTextEnded;
            break;
        }
        const int pc = At(P, p);
        const int tc = At(T, t);
        if (pc == '*') {
            r = AfterStarLowered(P.substr(p - 1), T.substr(t - 1));
            // 0: the star stands for exactly one character and matching goes on.
        } else if (pc == '[') {
            ++p;
            bool negated = false;
            if (At(P, p) == '!' || At(P, p) == '^') {
                negated = true;
                ++p;
            }
            if (At(P, p) == ']') return wmMalformed;  // empty set
            bool member = false;
            while (!member && At(P, p) != ']') {
                size_t s = p, e = p;
                ++p;
                if (p > n) return wmMalformed;
                if (At(P, p) == '-') {
                    ++p;
                    e = p;
                    if (p > n || At(P, e) == ']') return wmMalformed;
                    ++p;
                }
                if (p > n) return wmMalformed;
                if (s < e)
                    member = At(P, s) <= tc && tc <= At(P, e);
                else
                    member = tc == At(P, s);
            }
            if (negated == member) return wmSetRejected;
            while (p <= n && At(P, p) != ']') ++p;
            if (p > n) return wmMalformed;
        } else if (pc == '?') {
            // any one character
        } else if (pc != tc) {
            r = wmCharDiffered;
        }
        ++p;
        ++t;
    }
    if (r == 0) r = t <= m ? wmPatternEnded : wmMatch;
    return r;
}

}  // namespace

int WildMatchCode(const String& pattern, const String& text) {
    return MatchLowered(Lower(pattern), Lower(text));
}

int WildMatchAfterStar(const String& pattern, const String& text) {
    return AfterStarLowered(Lower(pattern), Lower(text));
}

bool IsWildMatch(const String& pattern, const String& text) {
    return WildMatchCode(pattern, text) == wmMatch;
}
