#include "platform/EditText.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The bytes a character takes, told by its lead byte (0 for a byte that cannot lead).
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

enum class CharKind { Space, Word, Other };

// Letters and digits of any script count as word characters; only ASCII is told apart
// further, as the layer's case rules are ASCII only.
CharKind KindAt(std::string_view text, std::size_t pos) {
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c >= 0x80) return CharKind::Word;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return CharKind::Space;
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') return CharKind::Word;
    return CharKind::Other;
}

}  // namespace

std::size_t NextCharBoundary(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return text.size();
    ++pos;
    while (pos < text.size() && IsContinuation(static_cast<unsigned char>(text[pos]))) ++pos;
    return pos;
}

std::size_t PrevCharBoundary(std::string_view text, std::size_t pos) {
    pos = std::min(pos, text.size());
    if (pos == 0) return 0;
    --pos;
    while (pos > 0 && IsContinuation(static_cast<unsigned char>(text[pos]))) --pos;
    return pos;
}

std::size_t CharBoundaryAtOrBefore(std::string_view text, std::size_t pos) {
    pos = std::min(pos, text.size());
    while (pos > 0 && pos < text.size() && IsContinuation(static_cast<unsigned char>(text[pos]))) --pos;
    return pos;
}

std::size_t PrevWordStart(std::string_view text, std::size_t pos) {
    pos = CharBoundaryAtOrBefore(text, pos);
    while (pos > 0 && KindAt(text, PrevCharBoundary(text, pos)) == CharKind::Space) pos = PrevCharBoundary(text, pos);
    if (pos == 0) return 0;
    CharKind kind = KindAt(text, PrevCharBoundary(text, pos));
    while (pos > 0 && KindAt(text, PrevCharBoundary(text, pos)) == kind) pos = PrevCharBoundary(text, pos);
    return pos;
}

std::size_t NextWordStart(std::string_view text, std::size_t pos) {
    pos = CharBoundaryAtOrBefore(text, pos);
    if (pos >= text.size()) return text.size();
    CharKind kind = KindAt(text, pos);
    if (kind != CharKind::Space)
        while (pos < text.size() && KindAt(text, pos) == kind) pos = NextCharBoundary(text, pos);
    while (pos < text.size() && KindAt(text, pos) == CharKind::Space) pos = NextCharBoundary(text, pos);
    return pos;
}

std::pair<std::size_t, std::size_t> WordAround(std::string_view text, std::size_t pos) {
    pos = CharBoundaryAtOrBefore(text, pos);
    if (text.empty()) return {0, 0};
    if (pos >= text.size()) pos = PrevCharBoundary(text, text.size());
    CharKind kind = KindAt(text, pos);
    std::size_t first = pos, last = pos;
    while (first > 0 && KindAt(text, PrevCharBoundary(text, first)) == kind) first = PrevCharBoundary(text, first);
    while (last < text.size() && KindAt(text, last) == kind) last = NextCharBoundary(text, last);
    return {first, last};
}

bool Utf8Assembler::Feed(unsigned char byte, String& character) {
    if (!IsContinuation(byte)) {
        pending_.clear();
        expected_ = SequenceLength(byte);
        if (expected_ == 0) return false;
        pending_.push_back(static_cast<char>(byte));
    } else {
        if (pending_.empty()) return false;  // a continuation without its lead
        pending_.push_back(static_cast<char>(byte));
    }
    if (pending_.size() < expected_) return false;
    character = pending_;
    pending_.clear();
    return true;
}

std::size_t OffsetAtX(std::string_view line, int x, const TextMeasure& measure) {
    std::size_t best = 0;
    int bestDistance = std::abs(x);
    for (std::size_t pos = NextCharBoundary(line, 0); pos > best && pos <= line.size();) {
        int distance = std::abs(measure(line.substr(0, pos)) - x);
        if (distance < bestDistance) {
            best = pos;
            bestDistance = distance;
        } else if (measure(line.substr(0, pos)) > x) {
            break;  // widths only grow from here
        }
        std::size_t next = NextCharBoundary(line, pos);
        if (next == pos) break;
        pos = next;
    }
    return best;
}

// ---- editor

void TextEditor::SetText(const String& text) {
    text_ = text;
    typingRun_ = false;
    Select(anchor_, caret_);
}

void TextEditor::Select(std::size_t anchor, std::size_t caret) {
    anchor_ = CharBoundaryAtOrBefore(text_, anchor);
    caret_ = CharBoundaryAtOrBefore(text_, caret);
    typingRun_ = false;
}

void TextEditor::SetCaret(std::size_t pos, bool extend) {
    caret_ = CharBoundaryAtOrBefore(text_, pos);
    if (!extend) anchor_ = caret_;
    typingRun_ = false;
}

void TextEditor::MoveCaret(Move move, bool extend) {
    std::size_t to = caret_;
    switch (move) {
        case Move::CharLeft:
            if (!extend && HasSelection()) {
                SetCaret(SelStart(), false);
                return;
            }
            to = PrevCharBoundary(text_, caret_);
            // A line break is one step.
            if (to > 0 && text_[to] == '\n' && text_[to - 1] == '\r') --to;
            break;
        case Move::CharRight:
            if (!extend && HasSelection()) {
                SetCaret(SelStart() + SelLength(), false);
                return;
            }
            to = NextCharBoundary(text_, caret_);
            if (caret_ < text_.size() && text_[caret_] == '\r' && to < text_.size() && text_[to] == '\n') ++to;
            break;
        case Move::WordLeft: to = PrevWordStart(text_, caret_); break;
        case Move::WordRight: to = NextWordStart(text_, caret_); break;
        case Move::LineStart: to = LineStartOf(caret_); break;
        case Move::LineEnd: to = LineEndOf(caret_); break;
        case Move::TextStart: to = 0; break;
        case Move::TextEnd: to = text_.size(); break;
    }
    SetCaret(to, extend);
}

void TextEditor::Remember(bool typing) {
    if (typing && typingRun_) return;
    hasUndo_ = true;
    undoText_ = text_;
    undoCaret_ = caret_;
    undoAnchor_ = anchor_;
}

void TextEditor::Replace(std::size_t start, std::size_t length, std::string_view with) {
    text_.replace(start, length, with);
    caret_ = anchor_ = start + with.size();
}

bool TextEditor::Insert(std::string_view text, bool typing) {
    if (text.empty() && !HasSelection()) return false;
    bool join = typing && typingRun_ && !HasSelection();
    Remember(join);
    Replace(SelStart(), SelLength(), text);
    typingRun_ = typing;
    return true;
}

bool TextEditor::DeleteSelection() {
    if (!HasSelection()) return false;
    Remember(false);
    Replace(SelStart(), SelLength(), {});
    typingRun_ = false;
    return true;
}

bool TextEditor::DeleteBack() {
    if (HasSelection()) return DeleteSelection();
    if (caret_ == 0) return false;
    std::size_t from = PrevCharBoundary(text_, caret_);
    if (from > 0 && text_[from] == '\n' && text_[from - 1] == '\r') --from;
    Remember(false);
    Replace(from, caret_ - from, {});
    typingRun_ = false;
    return true;
}

bool TextEditor::DeleteForward() {
    if (HasSelection()) return DeleteSelection();
    if (caret_ >= text_.size()) return false;
    std::size_t to = NextCharBoundary(text_, caret_);
    if (text_[caret_] == '\r' && to < text_.size() && text_[to] == '\n') ++to;
    Remember(false);
    Replace(caret_, to - caret_, {});
    typingRun_ = false;
    return true;
}

bool TextEditor::Undo() {
    if (!hasUndo_) return false;
    std::swap(text_, undoText_);
    std::swap(caret_, undoCaret_);
    std::swap(anchor_, undoAnchor_);
    typingRun_ = false;
    return true;
}

std::size_t TextEditor::LineStartOf(std::size_t pos) const {
    pos = std::min(pos, text_.size());
    std::size_t nl = pos == 0 ? String::npos : text_.rfind('\n', pos - 1);
    return nl == String::npos ? 0 : nl + 1;
}

std::size_t TextEditor::LineEndOf(std::size_t pos) const {
    std::size_t nl = text_.find('\n', std::min(pos, text_.size()));
    if (nl == String::npos) return text_.size();
    return nl > 0 && text_[nl - 1] == '\r' ? nl - 1 : nl;
}

std::size_t TextEditor::NextLineStart(std::size_t pos) const {
    std::size_t nl = text_.find('\n', std::min(pos, text_.size()));
    return nl == String::npos ? String::npos : nl + 1;
}

std::size_t TextEditor::PrevLineStart(std::size_t pos) const {
    std::size_t start = LineStartOf(pos);
    return start == 0 ? String::npos : LineStartOf(start - 1);
}

}  // namespace platform
