// The look of every control: one palette and one paint function per control part.
//
// Controls never pick colours of their own: they describe what they are (a button, pressed and
// focused; a check box, checked and disabled) and the style draws it. The look is flat and
// light, at home on a current Linux desktop: a light grey window background, white fields,
// one blue accent for selection and focus, one-pixel borders. The system colours
// (GetSysColor, and so clBtnFace, clWindow, clHighlight...) answer from the same palette, so
// colours that code names by their system name stay in tune with the parts drawn here.
//
// Everything is drawn through the canvas interface (the display list headless); text is
// measured only through the canvas (TextExtent), never by assuming character widths. The
// style owns no state besides its palette and must never look at windows or controls.
#pragma once

#include <string_view>

#include "platform/Canvas.h"

namespace platform {

// What a part looks like right now; parts combine these freely.
using PartState = unsigned;
inline constexpr PartState psNormal = 0;
inline constexpr PartState psHover = 0x01;
inline constexpr PartState psPressed = 0x02;
inline constexpr PartState psFocused = 0x04;
inline constexpr PartState psDisabled = 0x08;
inline constexpr PartState psChecked = 0x10;   // check boxes, radio buttons, down tool buttons, the selected tab
inline constexpr PartState psMixed = 0x20;     // a grayed check box
inline constexpr PartState psDefault = 0x40;   // the button Enter presses
inline constexpr PartState psReadOnly = 0x80;  // fields that show text they do not let anyone change

struct Palette {
    COLORREF window;         // forms, panels, buttons' surroundings
    COLORREF windowText;
    COLORREF base;           // fields, lists, trees
    COLORREF baseText;
    COLORREF button;
    COLORREF buttonHover;
    COLORREF buttonPressed;
    COLORREF buttonText;
    COLORREF border;         // every one-pixel outline
    COLORREF borderStrong;   // outlines under the pointer
    COLORREF accent;         // selection and focus
    COLORREF accentText;     // text on the accent
    COLORREF inactiveSelection;  // a selection in a control without the focus
    COLORREF disabledText;
    COLORREF disabledBase;   // fields that are disabled or read-only
    COLORREF light;          // the lit edge of a raised bevel
    COLORREF shadow;         // the dark edge of a bevel, separators
    COLORREF darkShadow;
    COLORREF grid;           // list view grid lines
    COLORREF treeLine;       // the tree's connecting lines
    COLORREF link;           // flat, link-like buttons
    COLORREF scrollTrack;
    COLORREF scrollThumb;
    COLORREF scrollThumbHover;
    COLORREF tipBase;
    COLORREF tipText;
    COLORREF desktop;
    COLORREF caption;
};

// Metrics the parts are drawn with; layout code reads them instead of repeating numbers.
inline constexpr int kCheckBoxSize = 13;      // check box and radio button squares
inline constexpr int kCheckBoxGap = 5;        // between the box and the caption
inline constexpr int kScrollBarSize = 14;     // width of a vertical bar, height of a horizontal one
inline constexpr int kScrollMinThumb = 12;    // the thumb never gets smaller than this
inline constexpr int kExpandButtonSize = 9;   // the tree's plus and minus boxes
inline constexpr int kFieldPadding = 3;       // from a field's border to its text
inline constexpr int kDropDownButtonWidth = 16;  // the arrow part of a combo box
inline constexpr int kToolDropDownWidth = 12;    // the arrow part of a tool button with a menu

enum class ArrowDirection { Up, Down, Left, Right };
enum class BevelKind { Raised, Lowered };

class Style {
public:
    // The one style of the process.
    static const Style& Current();

    const Palette& Colors() const { return palette_; }
    // The palette colour behind a GetSysColor index.
    COLORREF SystemColor(int index) const;

    // Text in a part's state (disabled text is greyed); color is the text's normal colour.
    void Text(Canvas& c, int x, int y, std::string_view text, COLORREF color, PartState state) const;
    // A caption as it is shown: '&' marks the access key and is not drawn ("&&" is one '&').
    static String CaptionText(std::string_view caption);
    void TextClipped(Canvas& c, const RECT& clip, int x, int y, std::string_view text, COLORREF color,
                     PartState state) const;

    // Push buttons: face, border, the default button's accent border, the focus ring.
    void Button(Canvas& c, const RECT& r, PartState state) const;
    // Flat buttons: nothing until hovered or pressed (tool buttons, speed buttons).
    void FlatButton(Canvas& c, const RECT& r, PartState state) const;
    // A link-like caption: accent colour, underlined while hovered.
    void LinkText(Canvas& c, int x, int y, std::string_view text, PartState state) const;
    // The check box's square and its mark (psChecked, psMixed).
    void CheckBox(Canvas& c, const RECT& box, PartState state) const;
    // The radio button's disc and its dot (psChecked).
    void RadioButton(Canvas& c, const RECT& box, PartState state) const;
    // The focus mark around a caption or an item that takes no ring of its own.
    void FocusMark(Canvas& c, const RECT& r) const;
    // An edit field's frame and interior (white; grey when disabled or read-only; accent
    // border when focused).
    void Field(Canvas& c, const RECT& r, PartState state) const;
    // A list, tree or memo frame: like a field, the focus leaves it grey (the selection shows it).
    void ListFrame(Canvas& c, const RECT& r, PartState state) const;
    // The drop-down part of a combo box (arrow on the right).
    void DropDownButton(Canvas& c, const RECT& r, PartState state) const;
    // A group box's frame with a gap for the caption (from captionLeft to captionRight).
    void GroupFrame(Canvas& c, const RECT& r, int captionLeft, int captionRight) const;
    // Panels and status panels: a flat one-pixel bevel.
    void Bevel(Canvas& c, const RECT& r, BevelKind kind) const;
    // A line between two areas (tool bar separators, menu separators).
    void Separator(Canvas& c, int x1, int y1, int x2, int y2) const;
    // A splitter's bar with its grip.
    void Splitter(Canvas& c, const RECT& r, bool vertical, PartState state) const;
    // Selection behind an item: the accent with focus, a quiet grey-blue without.
    void Selection(Canvas& c, const RECT& r, bool focused) const;
    COLORREF SelectionText(bool focused) const;
    // One header section of a report list view.
    void HeaderSection(Canvas& c, const RECT& r, PartState state) const;
    // A tab of a page control (psChecked: the selected one) and the pane below the tabs.
    void Tab(Canvas& c, const RECT& r, PartState state) const;
    void TabPane(Canvas& c, const RECT& r) const;
    // A small filled triangle, for scroll arrows and drop-downs.
    void Arrow(Canvas& c, const RECT& r, ArrowDirection direction, PartState state) const;
    // Scroll bar pieces.
    void ScrollTrack(Canvas& c, const RECT& r, bool vertical) const;
    void ScrollThumb(Canvas& c, const RECT& r, PartState state) const;
    void ScrollArrow(Canvas& c, const RECT& r, ArrowDirection direction, PartState state) const;
    // The tree's expand button (plus when collapsed, minus when expanded) centred in r.
    void ExpandButton(Canvas& c, const RECT& r, bool expanded, PartState state) const;
    // A dotted line of the tree, horizontal or vertical.
    void TreeLine(Canvas& c, int x1, int y1, int x2, int y2) const;
    // Grid lines of a report list view.
    void GridLine(Canvas& c, int x1, int y1, int x2, int y2) const;
    // A tip window's body.
    void Tip(Canvas& c, const RECT& r) const;
    // The caret of a text field: a one-pixel bar.
    void Caret(Canvas& c, int x, int top, int bottom) const;

private:
    Style();
    void Fill(Canvas& c, const RECT& r, COLORREF color) const;
    void Frame(Canvas& c, const RECT& r, COLORREF color) const;
    void Line(Canvas& c, int x1, int y1, int x2, int y2, COLORREF color) const;

    Palette palette_;
};

// Blends two colours: weight 0 gives a, 255 gives b.
COLORREF BlendColor(COLORREF a, COLORREF b, int weight);

}  // namespace platform
