// The text of an edit field and what editing does to it, apart from any window.
//
// Text is UTF-8 and every position is a byte offset on a character boundary: moving,
// deleting and selecting step over whole characters (Backspace after "é✓" removes "✓", all
// three bytes), never into the middle of one. Words for Ctrl+arrows are runs of letters,
// digits and every non-ASCII character, so words of any script move as words. Lines are
// separated by "\r\n" (a lone "\n" also ends a line). One undo step is kept: the text before
// the last change, a run of typing counting as one change; undoing twice gives the change
// back. The editor knows nothing of fonts: where a position lies on screen is asked of a
// measuring function the view passes in.
#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <string_view>

#include "platform/Types.h"

namespace platform {

// Character boundaries of UTF-8 text; positions are clamped to the text.
std::size_t NextCharBoundary(std::string_view text, std::size_t pos);
std::size_t PrevCharBoundary(std::string_view text, std::size_t pos);
// The boundary at or before pos (pos moved off a continuation byte).
std::size_t CharBoundaryAtOrBefore(std::string_view text, std::size_t pos);
// Ctrl+Left / Ctrl+Right: to the start of the previous word / the start of the next word.
std::size_t PrevWordStart(std::string_view text, std::size_t pos);
std::size_t NextWordStart(std::string_view text, std::size_t pos);
// The word (or run of other characters) around pos: [first, second).
std::pair<std::size_t, std::size_t> WordAround(std::string_view text, std::size_t pos);

// Composes the bytes of WM_CHAR messages into whole characters: the bytes of one character
// arrive one message each, the lead byte first. Feed returns true with the character once
// the last byte came; a stray byte is dropped.
class Utf8Assembler {
public:
    bool Feed(unsigned char byte, String& character);
    void Reset() { pending_.clear(); }

private:
    String pending_;
    std::size_t expected_ = 0;
};

// Width in pixels of a piece of text in the view's font.
using TextMeasure = std::function<int(std::string_view)>;
// The position in line whose left edge is nearest to x (line is one line's text).
std::size_t OffsetAtX(std::string_view line, int x, const TextMeasure& measure);

class TextEditor {
public:
    enum class Move { CharLeft, CharRight, WordLeft, WordRight, LineStart, LineEnd, TextStart, TextEnd };

    const String& Text() const { return text_; }
    // Replaces the text (not an undoable change); the selection is clamped to it.
    void SetText(const String& text);

    std::size_t Caret() const { return caret_; }
    std::size_t Anchor() const { return anchor_; }
    std::size_t SelStart() const { return caret_ < anchor_ ? caret_ : anchor_; }
    std::size_t SelLength() const { return caret_ < anchor_ ? anchor_ - caret_ : caret_ - anchor_; }
    bool HasSelection() const { return caret_ != anchor_; }
    String SelectedText() const { return text_.substr(SelStart(), SelLength()); }
    // Both ends are moved onto character boundaries.
    void Select(std::size_t anchor, std::size_t caret);
    void SelectAll() { Select(0, text_.size()); }
    // Moves the caret; extend keeps the anchor (Shift held), else the selection collapses. An
    // unextended left or right move over a selection stops at its edge, as desktop edits do.
    void MoveCaret(Move move, bool extend);
    // Moves the caret to pos (clamped, snapped), extending or not.
    void SetCaret(std::size_t pos, bool extend);

    // Replaces the selection with text; a typed run (typing true) joins the previous one in
    // the undo step. Returns false when nothing changed.
    bool Insert(std::string_view text, bool typing = false);
    // Backspace and Delete: the selection, else the character before / after the caret.
    bool DeleteBack();
    bool DeleteForward();
    // Cut: removes the selection (the caller copies it first).
    bool DeleteSelection();
    bool CanUndo() const { return hasUndo_; }
    // Swaps the text with the one before the last change.
    bool Undo();

    // Lines: the start and end (before the line break) of the line holding pos.
    std::size_t LineStartOf(std::size_t pos) const;
    std::size_t LineEndOf(std::size_t pos) const;
    // The start of the line after / before the one holding pos (npos when none).
    std::size_t NextLineStart(std::size_t pos) const;
    std::size_t PrevLineStart(std::size_t pos) const;

private:
    void Remember(bool typing);
    void Replace(std::size_t start, std::size_t length, std::string_view with);

    String text_;
    std::size_t caret_ = 0;
    std::size_t anchor_ = 0;
    bool hasUndo_ = false;
    String undoText_;
    std::size_t undoCaret_ = 0;
    std::size_t undoAnchor_ = 0;
    bool typingRun_ = false;  // the last change was typing that the next typed character joins
};

}  // namespace platform
