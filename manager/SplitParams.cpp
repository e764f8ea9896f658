#include "manager/SplitParams.h"

namespace manager {
namespace {

// Works on bytes: every byte of a multi-byte UTF-8 character is 0x80 or above, so no step
// below ever lands inside one (the quote, the separators and the control codes are ASCII).
class Cursor {
public:
    explicit Cursor(const String& text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size() || text_[pos_] == '\0'; }
    unsigned char Current() const { return AtEnd() ? 0 : static_cast<unsigned char>(text_[pos_]); }
    unsigned char Next() const {
        return pos_ + 1 < text_.size() ? static_cast<unsigned char>(text_[pos_ + 1]) : 0;
    }
    void Step(std::size_t n = 1) { pos_ += n; }

    // Codes 1 to 32: blanks and control characters between tokens.
    void SkipBlanks() {
        while (!AtEnd() && Current() <= 32) Step();
    }

private:
    const String& text_;
    std::size_t pos_ = 0;
};

String QuotedToken(Cursor& c) {
    String token;
    c.Step();  // the opening quote
    while (!c.AtEnd()) {
        if (c.Current() == '"') {
            if (c.Next() == '"') {
                token += '"';
                c.Step(2);
                continue;
            }
            c.Step();  // the closing quote
            break;
        }
        token += static_cast<char>(c.Current());
        c.Step();
    }
    return token;
}

String PlainToken(Cursor& c, unsigned char separator) {
    String token;
    while (!c.AtEnd() && c.Current() >= 32 && c.Current() != separator) {
        token += static_cast<char>(c.Current());
        c.Step();
    }
    return token;
}

}  // namespace

std::vector<String> SplitParamsTokens(const String& text, char separator) {
    const auto sep = static_cast<unsigned char>(separator);
    std::vector<String> tokens;
    Cursor c(text);
    c.SkipBlanks();
    while (!c.AtEnd()) {
        tokens.push_back(c.Current() == '"' ? QuotedToken(c) : PlainToken(c, sep));
        c.SkipBlanks();
        if (!c.AtEnd() && c.Current() == sep) {
            c.Step();
            c.SkipBlanks();
        }
    }
    return tokens;
}

}  // namespace manager
