#include "zip/WildMatch.h"

#include <map>
#include <vector>

namespace {

String Lower(const String& s) {
    String r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

// The matcher's rules are those of a recursive search: at a "*" every later text position
// where the rest of the pattern could start is tried in turn, and the result is the first
// match or else the last position's code. Tried naively that is exponential in the number of
// stars ("*a" eight times against a long name). Every call works on a suffix of the pattern
// and a suffix of the text, so the results are remembered per pattern position behind a star
// and text position, which keeps the same codes in time about pattern length times text
// length. Positions count from 1; a position past the end reads as no character, which
// equals none of the special characters.
class Matcher {
public:
    Matcher(const String& pattern, const String& text)
        : P_(pattern), T_(text), n_(pattern.size()), m_(text.size()) {}

    // The pattern from p and the text from t (both already lower-cased).
    int Match(size_t p, size_t t) {
        int r = 0;
        while (r == 0 && p <= n_) {
            if (t > m_) {
                r = (P(p) == '*' && p == n_) ? wmMatch : wmTextEnded;
                break;
            }
            const int pc = P(p);
            const int tc = T(t);
            if (pc == '*') {
                r = AfterStar(p, t);
                // 0: the star stands for exactly one character and matching goes on.
            } else if (pc == '[') {
                ++p;
                bool negated = false;
                if (P(p) == '!' || P(p) == '^') {
                    negated = true;
                    ++p;
                }
                if (P(p) == ']') return wmMalformed;  // empty set
                bool member = false;
                while (!member && P(p) != ']') {
                    size_t s = p, e = p;
                    ++p;
                    if (p > n_) return wmMalformed;
                    if (P(p) == '-') {
                        ++p;
                        e = p;
                        if (p > n_ || P(e) == ']') return wmMalformed;
                        ++p;
                    }
                    if (p > n_) return wmMalformed;
                    if (s < e)
                        member = P(s) <= tc && tc <= P(e);
                    else
                        member = tc == P(s);
                }
                if (negated == member) return wmSetRejected;
                while (p <= n_ && P(p) != ']') ++p;
                if (p > n_) return wmMalformed;
            } else if (pc == '?') {
                // any one character
            } else if (pc != tc) {
                r = wmCharDiffered;
            }
            ++p;
            ++t;
        }
        if (r == 0) r = t <= m_ ? wmPatternEnded : wmMatch;
        return r;
    }

    // The pattern from the "*" at p and the text from t.
    int AfterStar(size_t p, size_t t) {
        // A "?" right after the star eats one character while it is not the pattern's last and
        // text is left; further stars are simply taken.
        while ((t <= m_ && p < n_ && P(p) == '?') || P(p) == '*') {
            if (P(p) == '?') ++t;
            ++p;
        }
        if (t > m_) return wmTextEnded;
        if (p > n_) return wmMatch;
        // The rest of the pattern is tried at every text position from t where its first
        // character could start: the first match wins, else the last position tried decides.
        Column& c = ColumnAt(p);
        while (c.lowest > t) {
            const size_t u = --c.lowest;
            bool one = c.anyMatch[u + 1];
            if (Candidate(p, u)) {
                const int r = Match(p, u);
                if (c.last == 0) {
                    c.last = u;
                    c.lastCode = r;
                }
                one = one || r == wmMatch;
            }
            c.anyMatch[u] = one;
        }
        if (c.anyMatch[t]) return wmMatch;
        return c.last >= t ? c.lastCode : 0;
    }

private:
    // What is known of the rest of the pattern from p, at every text position from lowest on.
    struct Column {
        size_t lowest = 0;               // anyMatch holds positions from here to the end
        std::vector<bool> anyMatch;      // some candidate at or after the position matches
        size_t last = 0;                 // the last candidate position (0 until found)
        int lastCode = 0;                // the code of the rest of the pattern there
    };

    Column& ColumnAt(size_t p) {
        auto [it, added] = columns_.try_emplace(p);
        if (added) {
            it->second.anyMatch.assign(m_ + 2, false);
            it->second.lowest = m_ + 1;
        }
        return it->second;
    }

    bool Candidate(size_t p, size_t t) const { return P(p) == T(t) || P(p) == '['; }
    int P(size_t pos) const { return pos >= 1 && pos <= n_ ? static_cast<unsigned char>(P_[pos - 1]) : -1; }
    int T(size_t pos) const { return pos >= 1 && pos <= m_ ? static_cast<unsigned char>(T_[pos - 1]) : -1; }

    const String& P_;
    const String& T_;
    const size_t n_, m_;
    std::map<size_t, Column> columns_;
};

}  // namespace

int WildMatchCode(const String& pattern, const String& text) {
    const String p = Lower(pattern), t = Lower(text);
    return Matcher(p, t).Match(1, 1);
}

int WildMatchAfterStar(const String& pattern, const String& text) {
    const String p = Lower(pattern), t = Lower(text);
    return Matcher(p, t).AfterStar(1, 1);
}

bool IsWildMatch(const String& pattern, const String& text) {
    return WildMatchCode(pattern, text) == wmMatch;
}
