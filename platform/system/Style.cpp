#include "platform/Style.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// Keeps a canvas's drawing state as the caller left it: the style sets colours for each
// stroke, and the component canvases expect to find their own state afterwards.
class KeepState {
public:
    explicit KeepState(Canvas& c)
        : c_(c), brush_(c.brushColor), clear_(c.brushClear), pen_(c.penColor), text_(c.textColor),
          bk_(c.bkColor), mode_(c.bkMode), pos_(c.penPos) {}
    ~KeepState() {
        c_.brushColor = brush_;
        c_.brushClear = clear_;
        c_.penColor = pen_;
        c_.textColor = text_;
        c_.bkColor = bk_;
        c_.bkMode = mode_;
        c_.penPos = pos_;
    }
    KeepState(const KeepState&) = delete;
    KeepState& operator=(const KeepState&) = delete;

private:
    Canvas& c_;
    COLORREF brush_;
    bool clear_;
    COLORREF pen_;
    COLORREF text_;
    COLORREF bk_;
    int mode_;
    POINT pos_;
};

RECT Inset(const RECT& r, int by) { return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by}; }
bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

COLORREF BlendColor(COLORREF a, COLORREF b, int weight) {
    auto mix = [weight](int x, int y) { return (x * (255 - weight) + y * weight + 127) / 255; };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

Style::Style() {
    Palette& p = palette_;
    p.window = RGB(239, 239, 239);
    p.windowText = RGB(0, 0, 0);
    p.base = RGB(255, 255, 255);
    p.baseText = RGB(0, 0, 0);
    p.button = RGB(246, 246, 246);
    p.buttonHover = RGB(252, 252, 252);
    p.buttonPressed = RGB(218, 218, 218);
    p.buttonText = RGB(0, 0, 0);
    p.border = RGB(176, 176, 176);
    p.borderStrong = RGB(120, 120, 120);
    p.accent = RGB(48, 140, 198);
    p.accentText = RGB(255, 255, 255);
    p.inactiveSelection = RGB(214, 214, 214);
    p.disabledText = RGB(160, 160, 160);
    p.disabledBase = RGB(245, 245, 245);
    p.light = RGB(255, 255, 255);
    p.shadow = RGB(190, 190, 190);
    p.darkShadow = RGB(110, 110, 110);
    p.grid = RGB(226, 226, 226);
    p.treeLine = RGB(165, 165, 165);
    p.link = RGB(26, 95, 170);
    p.scrollTrack = RGB(232, 232, 232);
    p.scrollThumb = RGB(188, 188, 188);
    p.scrollThumbHover = RGB(150, 150, 150);
    p.tipBase = RGB(255, 255, 225);
    p.tipText = RGB(0, 0, 0);
    p.desktop = RGB(58, 110, 165);
    p.caption = p.accent;
}

const Style& Style::Current() {
    static const Style style;
    return style;
}

COLORREF Style::SystemColor(int index) const {
    const Palette& p = palette_;
    switch (index) {
        case COLOR_SCROLLBAR: return p.scrollTrack;
        case COLOR_BACKGROUND: return p.desktop;
        case COLOR_ACTIVECAPTION: return p.caption;
        case COLOR_MENU: return p.base;
        case COLOR_WINDOW: return p.base;
        case COLOR_WINDOWFRAME: return p.darkShadow;
        case COLOR_MENUTEXT: return p.windowText;
        case COLOR_WINDOWTEXT: return p.baseText;
        case COLOR_CAPTIONTEXT: return p.accentText;
        case COLOR_HIGHLIGHT: return p.accent;
        case COLOR_HIGHLIGHTTEXT: return p.accentText;
        case COLOR_BTNFACE: return p.window;
        case COLOR_BTNSHADOW: return p.shadow;
        case COLOR_GRAYTEXT: return p.disabledText;
        case COLOR_BTNTEXT: return p.buttonText;
        case COLOR_BTNHIGHLIGHT: return p.light;
        case COLOR_3DDKSHADOW: return p.darkShadow;
        case COLOR_3DLIGHT: return p.inactiveSelection;
        case COLOR_INFOTEXT: return p.tipText;
        case COLOR_INFOBK: return p.tipBase;
        case COLOR_HOTLIGHT: return p.link;
        default: return 0;
    }
}

// ---- strokes

void Style::Fill(Canvas& c, const RECT& r, COLORREF color) const {
    if (Empty(r)) return;
    c.brushColor = color;
    c.brushClear = false;
    c.FillRect(r);
}

void Style::Frame(Canvas& c, const RECT& r, COLORREF color) const {
    if (Empty(r)) return;
    c.brushColor = color;
    c.brushClear = false;
    c.FrameRect(r);
}

void Style::Line(Canvas& c, int x1, int y1, int x2, int y2, COLORREF color) const {
    c.penColor = color;
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
}

// ---- text

void Style::Text(Canvas& c, int x, int y, std::string_view text, COLORREF color, PartState state) const {
    KeepState keep(c);
    c.textColor = (state & psDisabled) ? palette_.disabledText : color;
    c.bkMode = TRANSPARENT;
    c.TextOut(x, y, text);
}

String Style::CaptionText(std::string_view caption) {
    String shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return shown;
}

void Style::TextClipped(Canvas& c, const RECT& clip, int x, int y, std::string_view text, COLORREF color,
                        PartState state) const {
    KeepState keep(c);
    c.textColor = (state & psDisabled) ? palette_.disabledText : color;
    c.bkMode = TRANSPARENT;
    c.TextRect(clip, x, y, text);
}

void Style::LinkText(Canvas& c, int x, int y, std::string_view text, PartState state) const {
    KeepState keep(c);
    FontSpec font = c.font;
    c.font.underline = (state & (psHover | psFocused)) != 0;
    c.textColor = (state & psDisabled) ? palette_.disabledText
                  : (state & psPressed) ? palette_.accent
                                        : palette_.link;
    c.bkMode = TRANSPARENT;
    c.TextOut(x, y, text);
    c.font = font;
}

// ---- buttons

void Style::Button(Canvas& c, const RECT& r, PartState state) const {
    KeepState keep(c);
    const Palette& p = palette_;
    COLORREF face = (state & psDisabled)  ? p.disabledBase
                    : (state & (psPressed | psChecked)) ? p.buttonPressed
                    : (state & psHover)   ? p.buttonHover
                                          : p.button;
    Fill(c, r, face);
    COLORREF border = (state & psDisabled) ? p.shadow
                      : (state & (psDefault | psFocused)) ? p.accent
                      : (state & psHover) ? p.borderStrong
                                          : p.border;
    Frame(c, r, border);
    // The focus ring: a second accent line inside the border, so focus reads at a glance
    // and the default button (one line) stays told apart from the focused one (two).
    if ((state & psFocused) && !(state & psDisabled)) Frame(c, Inset(r, 1), BlendColor(p.accent, face, 96));
}

void Style::FlatButton(Canvas& c, const RECT& r, PartState state) const {
    if ((state & psDisabled) || !(state & (psHover | psPressed | psChecked | psFocused))) return;
    KeepState keep(c);
    const Palette& p = palette_;
    Fill(c, r, (state & (psPressed | psChecked)) ? p.buttonPressed : p.buttonHover);
    Frame(c, r, (state & psFocused) ? p.accent : p.border);
}

void Style::CheckBox(Canvas& c, const RECT& box, PartState state) const {
    KeepState keep(c);
    const Palette& p = palette_;
    bool marked = (state & (psChecked | psMixed)) != 0;
    bool disabled = (state & psDisabled) != 0;
    COLORREF inside = disabled ? p.disabledBase : marked ? p.accent : p.base;
    Fill(c, box, inside);
    Frame(c, box, disabled ? p.shadow : marked ? p.accent : (state & (psHover | psFocused)) ? p.accent : p.border);
    COLORREF mark = disabled ? p.disabledText : p.accentText;
    int w = box.right - box.left, h = box.bottom - box.top;
    if (state & psChecked) {
        // A tick of two strokes, two pixels thick.
        int x0 = box.left + w * 3 / 13, y0 = box.top + h * 6 / 13;
        int x1 = box.left + w * 5 / 13, y1 = box.top + h * 9 / 13;
        int x2 = box.left + w * 10 / 13, y2 = box.top + h * 3 / 13;
        for (int d = 0; d < 2; ++d) {
            Line(c, x0, y0 + d, x1, y1 + d, mark);
            Line(c, x1, y1 + d, x2 + 1, y2 + d - 1, mark);
        }
    } else if (state & psMixed) {
        Fill(c, RECT{box.left + 3, box.top + h / 2 - 1, box.right - 3, box.top + h / 2 + 1}, mark);
    }
}

void Style::RadioButton(Canvas& c, const RECT& box, PartState state) const {
    KeepState keep(c);
    const Palette& p = palette_;
    bool disabled = (state & psDisabled) != 0;
    bool checked = (state & psChecked) != 0;
    double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    double radius = std::min(box.right - box.left, box.bottom - box.top) / 2.0;
    // A disc is drawn as one span per pixel row, so it is round on every canvas.
    auto disc = [&](double rad, COLORREF color) {
        for (int y = box.top; y < box.bottom; ++y) {
            double dy = y + 0.5 - cy;
            if (std::fabs(dy) >= rad) continue;
            double half = std::sqrt(rad * rad - dy * dy);
            int left = static_cast<int>(std::lround(cx - half)), right = static_cast<int>(std::lround(cx + half));
            if (right > left) Fill(c, RECT{left, y, right, y + 1}, color);
        }
    };
    COLORREF border = disabled ? p.shadow : (checked || (state & (psHover | psFocused))) ? p.accent : p.border;
    disc(radius, border);
    disc(radius - 1, disabled ? p.disabledBase : p.base);
    if (checked) disc(radius * 0.45, disabled ? p.disabledText : p.accent);
}

void Style::FocusMark(Canvas& c, const RECT& r) const {
    KeepState keep(c);
    Frame(c, r, palette_.accent);
}

// ---- fields and frames

void Style::Field(Canvas& c, const RECT& r, PartState state) const {
    KeepState keep(c);
    const Palette& p = palette_;
    Fill(c, r, (state & (psDisabled | psReadOnly)) ? p.disabledBase : p.base);
    COLORREF border = (state & psDisabled) ? p.shadow
                      : (state & psFocused) ? p.accent
                      : (state & psHover) ? p.borderStrong
                                          : p.border;
    Frame(c, r, border);
}

void Style::ListFrame(Canvas& c, const RECT& r, PartState state) const {
    KeepState keep(c);
    Frame(c, r, (state & psDisabled) ? palette_.shadow : (state & psFocused) ? palette_.accent : palette_.border);
}

void Style::DropDownButton(Canvas& c, const RECT& r, PartState state) const {
    KeepState keep(c);
    const Palette& p = palette_;
    if (state & (psPressed | psHover)) Fill(c, Inset(r, 1), (state & psPressed) ? p.buttonPressed : p.buttonHover);
    Line(c, r.left, r.top + 3, r.left, r.bottom - 3, p.border);
    Arrow(c, r, ArrowDirection::Down, state);
}

void Style::GroupFrame(Canvas& c, const RECT& r, int captionLeft, int captionRight) const {
    KeepState keep(c);
    const COLORREF line = palette_.shadow;
    Line(c, r.left, r.top, r.left, r.bottom - 1, line);
    Line(c, r.left, r.bottom - 1, r.right - 1, r.bottom - 1, line);
    Line(c, r.right - 1, r.bottom - 1, r.right - 1, r.top, line);
    if (captionRight > captionLeft) {
        Line(c, r.left, r.top, captionLeft, r.top, line);
        Line(c, captionRight, r.top, r.right - 1, r.top, line);
    } else {
        Line(c, r.left, r.top, r.right - 1, r.top, line);
    }
}

void Style::Bevel(Canvas& c, const RECT& r, BevelKind kind) const {
    KeepState keep(c);
    // Flat: one line each side; a raised bevel lit at the top left, a lowered one at the
    // bottom right, both quiet enough to read as a border rather than a relief.
    COLORREF lit = kind == BevelKind::Raised ? palette_.light : palette_.shadow;
    COLORREF dark = kind == BevelKind::Raised ? palette_.shadow : palette_.light;
    Line(c, r.left, r.bottom - 1, r.left, r.top, lit);
    Line(c, r.left, r.top, r.right - 1, r.top, lit);
    Line(c, r.right - 1, r.top, r.right - 1, r.bottom - 1, dark);
    Line(c, r.right - 1, r.bottom - 1, r.left, r.bottom - 1, dark);
}

void Style::Separator(Canvas& c, int x1, int y1, int x2, int y2) const {
    KeepState keep(c);
    Line(c, x1, y1, x2, y2, palette_.shadow);
}

void Style::Splitter(Canvas& c, const RECT& r, bool vertical, PartState state) const {
    KeepState keep(c);
    const Palette& p = palette_;
    Fill(c, r, (state & psPressed) ? p.buttonPressed : (state & psHover) ? p.scrollTrack : p.window);
    // The grip: three dots across the middle of the bar.
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    for (int i = -1; i <= 1; ++i) {
        int x = vertical ? cx : cx + i * 4, y = vertical ? cy + i * 4 : cy;
        Fill(c, RECT{x - 1, y - 1, x + 1, y + 1}, p.shadow);
    }
}

void Style::Selection(Canvas& c, const RECT& r, bool focused) const {
    KeepState keep(c);
    Fill(c, r, focused ? palette_.accent : palette_.inactiveSelection);
}

COLORREF Style::SelectionText(bool focused) const { return focused ? palette_.accentText : palette_.baseText; }

void Style::HeaderSection(Canvas& c, const RECT& r, PartState state) const {
    KeepState keep(c);
    const Palette& p = palette_;
    Fill(c, r, (state & psPressed) ? p.buttonPressed : (state & psHover) ? p.buttonHover : p.button);
    Line(c, r.left, r.bottom - 1, r.right, r.bottom - 1, p.border);
    Line(c, r.right - 1, r.top + 3, r.right - 1, r.bottom - 4, p.border);
}

void Style::Tab(Canvas& c, const RECT& r, PartState state) const {
    KeepState keep(c);
    const Palette& p = palette_;
    bool selected = (state & psChecked) != 0;
    RECT face = selected ? RECT{r.left, r.top, r.right, r.bottom + 1} : RECT{r.left, r.top + 2, r.right, r.bottom};
    Fill(c, face, selected ? p.button : (state & psHover) ? p.buttonHover : p.window);
    Line(c, face.left, face.bottom - 1, face.left, face.top, p.border);
    Line(c, face.left, face.top, face.right - 1, face.top, p.border);
    Line(c, face.right - 1, face.top, face.right - 1, face.bottom - 1, p.border);
    // The selected tab wears the accent along its top edge.
    if (selected) Fill(c, RECT{face.left + 1, face.top + 1, face.right - 1, face.top + 3}, p.accent);
    if (state & psFocused) FocusMark(c, Inset(face, 3));
}

void Style::TabPane(Canvas& c, const RECT& r) const {
    KeepState keep(c);
    Fill(c, r, palette_.button);
    Frame(c, r, palette_.border);
}

void Style::Arrow(Canvas& c, const RECT& r, ArrowDirection direction, PartState state) const {
    KeepState keep(c);
    COLORREF color = (state & psDisabled) ? palette_.disabledText : palette_.buttonText;
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    int size = std::max(std::min(r.right - r.left, r.bottom - r.top) / 4, 2);
    // Rows of a triangle, the widest first.
    for (int i = 0; i < size; ++i) {
        int half = size - 1 - i;
        switch (direction) {
            case ArrowDirection::Down:
                Fill(c, RECT{cx - half - 1, cy - size / 2 + i, cx + half, cy - size / 2 + i + 1}, color);
                break;
            case ArrowDirection::Up:
                Fill(c, RECT{cx - half - 1, cy + size / 2 - i, cx + half, cy + size / 2 - i + 1}, color);
                break;
            case ArrowDirection::Right:
                Fill(c, RECT{cx - size / 2 + i, cy - half - 1, cx - size / 2 + i + 1, cy + half}, color);
                break;
            case ArrowDirection::Left:
                Fill(c, RECT{cx + size / 2 - i, cy - half - 1, cx + size / 2 - i + 1, cy + half}, color);
                break;
        }
    }
}

// ---- scroll bars

void Style::ScrollTrack(Canvas& c, const RECT& r, bool vertical) const {
    KeepState keep(c);
    Fill(c, r, palette_.scrollTrack);
    if (vertical)
        Line(c, r.left, r.top, r.left, r.bottom, palette_.grid);
    else
        Line(c, r.left, r.top, r.right, r.top, palette_.grid);
}

void Style::ScrollThumb(Canvas& c, const RECT& r, PartState state) const {
    KeepState keep(c);
    const Palette& p = palette_;
    COLORREF color = (state & psPressed) ? p.accent : (state & psHover) ? p.scrollThumbHover : p.scrollThumb;
    Fill(c, Inset(r, 2), color);
}

void Style::ScrollArrow(Canvas& c, const RECT& r, ArrowDirection direction, PartState state) const {
    KeepState keep(c);
    if (state & (psPressed | psHover)) Fill(c, r, (state & psPressed) ? palette_.buttonPressed : palette_.buttonHover);
    Arrow(c, r, direction, state);
}

// ---- trees and lists

void Style::ExpandButton(Canvas& c, const RECT& r, bool expanded, PartState state) const {
    KeepState keep(c);
    const Palette& p = palette_;
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    int half = kExpandButtonSize / 2;
    RECT box{cx - half, cy - half, cx + half + 1, cy + half + 1};
    Fill(c, box, p.base);
    Frame(c, box, (state & psHover) ? p.accent : p.treeLine);
    COLORREF sign = (state & psHover) ? p.accent : p.windowText;
    Line(c, box.left + 2, cy, box.right - 2, cy, sign);
    if (!expanded) Line(c, cx, box.top + 2, cx, box.bottom - 2, sign);
}

void Style::TreeLine(Canvas& c, int x1, int y1, int x2, int y2) const {
    KeepState keep(c);
    // Solid and quiet: the lines guide the eye without competing with the labels.
    Line(c, x1, y1, x2, y2, palette_.treeLine);
}

void Style::GridLine(Canvas& c, int x1, int y1, int x2, int y2) const {
    KeepState keep(c);
    Line(c, x1, y1, x2, y2, palette_.grid);
}

void Style::Tip(Canvas& c, const RECT& r) const {
    KeepState keep(c);
    Fill(c, r, palette_.tipBase);
    Frame(c, r, palette_.borderStrong);
}

void Style::Caret(Canvas& c, int x, int top, int bottom) const {
    KeepState keep(c);
    Fill(c, RECT{x, top, x + 1, bottom}, palette_.baseText);
}

}  // namespace platform
