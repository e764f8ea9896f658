// Edits and memos: the editor behind them, the keys and the mouse, the clipboard, painting.
#include <algorithm>

#include "platform/ControlStyle.h"
#include "platform/Display.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

namespace {

using platform::display::Selection;

constexpr int kMemoWheelLines = 3;  // lines per wheel notch
constexpr int kWheelDelta = 120;

bool Ctrl(TShiftState s) { return (s & ssCtrl) != 0; }
bool Shift(TShiftState s) { return (s & ssShift) != 0; }

// Typed text in the edit's character case (ASCII only, as the layer's case rules are).
String Cased(String text, TEditCharCase charCase) {
    for (char& ch : text) {
        if (charCase == ecUpperCase && ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
        if (charCase == ecLowerCase && ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    }
    return text;
}

}  // namespace

// ---- edit

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle(ControlStyle() | csPaintsItself);
    width_ = 121;
    height_ = 21;
    SetTabStop(true);
    SetColor(clWindow);
    SetParentColor(false);
    SetCursor(crIBeam);
}

TCustomEdit::~TCustomEdit() = default;

void TCustomEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

platform::TextEditor& TCustomEdit::Editor() {
    // Text set from outside (SetWindowText, a memo's lines) reaches the editor here.
    if (editor_.Text() != GetText()) editor_.SetText(GetText());
    return editor_;
}

const platform::TextEditor& TCustomEdit::Editor() const {
    if (editor_.Text() != GetText()) editor_.SetText(GetText());
    return editor_;
}

void TCustomEdit::Change() {
    if (CanRunEvents() && OnChange) OnChange(this);
}

void TCustomEdit::TextChanged() {
    (void)Editor();
    Change();
}

Integer TCustomEdit::SelStart() const { return static_cast<Integer>(Editor().SelStart()); }
Integer TCustomEdit::SelLength() const { return static_cast<Integer>(Editor().SelLength()); }

void TCustomEdit::SetSelStart(Integer Value) {
    Editor().SetCaret(static_cast<std::size_t>(std::max<Integer>(Value, 0)), false);
    SelectionMoved();
}

void TCustomEdit::SetSelLength(Integer Value) {
    platform::TextEditor& e = Editor();
    std::size_t start = e.SelStart();
    e.Select(start, start + static_cast<std::size_t>(std::max<Integer>(Value, 0)));
    SelectionMoved();
}

String TCustomEdit::SelText() const { return Editor().SelectedText(); }

void TCustomEdit::SelectAll() {
    Editor().SelectAll();
    SelectionMoved();
}

void TCustomEdit::ClearSelection() {
    if (readOnly_) return;
    if (Editor().DeleteSelection()) Commit();
}

void TCustomEdit::CopyToClipboard() {
    if (passwordChar_ || !Editor().HasSelection()) return;
    platform::display::SetSelectionText(Selection::Clipboard, Editor().SelectedText());
}

void TCustomEdit::CutToClipboard() {
    if (readOnly_ || passwordChar_) return;
    CopyToClipboard();
    ClearSelection();
}

void TCustomEdit::PasteFromClipboard() {
    String text = platform::display::SelectionText(Selection::Clipboard);
    // A single-line edit takes the first line of what was copied.
    if (!MultiLine()) text = text.substr(0, text.find_first_of("\r\n"));
    InsertText(text, false);
}

bool TCustomEdit::CanUndo() const { return !readOnly_ && Editor().CanUndo(); }

void TCustomEdit::Undo() {
    if (readOnly_) return;
    if (Editor().Undo()) Commit();
}

void TCustomEdit::Commit() {
    modified_ = true;
    platform::TextEditor saved = editor_;
    SetText(editor_.Text());
    editor_ = saved;  // the caret and the undo step stay as the editor left them
    ScrollToCaret();
    Invalidate();
}

void TCustomEdit::SelectionMoved() {
    // A selection made is offered to the desktop as the primary selection (middle-click
    // paste elsewhere), as every edit on an X desktop does; a password never is.
    if (editor_.HasSelection() && !passwordChar_)
        platform::display::SetSelectionText(Selection::Primary, editor_.SelectedText());
    ScrollToCaret();
    Invalidate();
}

bool TCustomEdit::InsertText(const String& Text, bool Typing) {
    if (readOnly_) return false;
    platform::TextEditor& e = Editor();
    String text = Cased(Text, charCase_);
    if (maxLength_ > 0) {
        std::size_t kept = e.Text().size() - e.SelLength();
        std::size_t room = kept >= static_cast<std::size_t>(maxLength_) ? 0 : static_cast<std::size_t>(maxLength_) - kept;
        if (text.size() > room) {
            // Cut on a character boundary: never half a character.
            text = text.substr(0, platform::CharBoundaryAtOrBefore(text, room));
            if (text.empty()) {
                MessageBeep(0);
                return false;
            }
        }
    }
    if (text.empty() && !e.HasSelection()) return false;
    if (!e.Insert(text, Typing)) return false;
    Commit();
    return true;
}

void TCustomEdit::TypeChar(char Key) {
    if (readOnly_) return;
    if (Key == VK_BACK) {
        if (Editor().DeleteBack()) Commit();
        return;
    }
    if (static_cast<unsigned char>(Key) < 0x20) return;
    InsertText(String(1, Key), true);
}

String TCustomEdit::Shown(std::string_view Text) const {
    if (!passwordChar_) return String(Text);
    return String(static_cast<std::size_t>(platform::TextCharCount(Text)), passwordChar_);
}

int TCustomEdit::Measure(std::string_view Text) const { return platform::TextExtent(font_.Spec(), Shown(Text)).cx; }

int TCustomEdit::LineHeight() const { return platform::TextExtent(font_.Spec(), "Wg").cy; }

std::size_t TCustomEdit::PositionAt(int X, int Y) {
    (void)Y;
    return platform::OffsetAtX(Editor().Text(), X - platform::kFieldPadding + scrollX_,
                               [this](std::string_view s) { return Measure(s); });
}

TPoint TCustomEdit::CaretPoint() {
    const platform::TextEditor& e = Editor();
    return Point(platform::kFieldPadding + Measure(std::string_view(e.Text()).substr(0, e.Caret())) - scrollX_,
                 platform::kFieldPadding);
}

void TCustomEdit::ScrollToCaret() {
    int inner = std::max<int>(ClientWidth() - 2 * platform::kFieldPadding, 1);
    const platform::TextEditor& e = Editor();
    int x = Measure(std::string_view(e.Text()).substr(0, e.Caret()));
    if (x - scrollX_ > inner) scrollX_ = x - inner;
    if (x < scrollX_) scrollX_ = x;
    // No blank space kept on the right once the text fits again.
    scrollX_ = std::clamp(scrollX_, 0, std::max(Measure(e.Text()) - inner, 0));
}

bool TCustomEdit::CaretKey(Word Key, TShiftState Shift) {
    using Move = platform::TextEditor::Move;
    platform::TextEditor& e = Editor();
    bool extend = ::Shift(Shift);
    switch (Key) {
        case VK_LEFT: e.MoveCaret(Ctrl(Shift) ? Move::WordLeft : Move::CharLeft, extend); break;
        case VK_RIGHT: e.MoveCaret(Ctrl(Shift) ? Move::WordRight : Move::CharRight, extend); break;
        case VK_HOME: e.MoveCaret(MultiLine() && !Ctrl(Shift) ? Move::LineStart : Move::TextStart, extend); break;
        case VK_END: e.MoveCaret(MultiLine() && !Ctrl(Shift) ? Move::LineEnd : Move::TextEnd, extend); break;
        default: return false;
    }
    SelectionMoved();
    return true;
}

// Keys an edit keeps from the menus' shortcuts. Insert combinations are left to the menus:
// the system's forms give Ctrl+Insert a command of their own.
bool TCustomEdit::WantsEditKey(Word Key, TShiftState Shift) {
    if (Ctrl(Shift) && (Key == 'A' || Key == 'C' || Key == 'X' || Key == 'V' || Key == 'Z')) return true;
    switch (Key) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_HOME:
        case VK_END:
        case VK_DELETE:
        case VK_BACK: return true;
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT: return MultiLine();
        case VK_TAB:
        case VK_RETURN: {
            auto* memo = dynamic_cast<TMemo*>(this);
            return memo && (Key == VK_TAB ? memo->WantTabs() : memo->WantReturns()) && !(Shift & (ssCtrl | ssAlt));
        }
        default: return false;
    }
}

void TCustomEdit::MouseDownAt(int X, int Y, bool Extend) {
    if (CanFocus() && !Focused()) ::SetFocus(Handle());
    Editor().SetCaret(PositionAt(X, Y), Extend);
    mouseSelecting_ = true;
    SetCapture(Handle());
    SelectionMoved();
}

void TCustomEdit::MiddlePaste(int X, int Y) {
    if (readOnly_) return;
    String text = platform::display::SelectionText(Selection::Primary);
    if (!MultiLine()) text = text.substr(0, text.find_first_of("\r\n"));
    if (CanFocus() && !Focused()) ::SetFocus(Handle());
    Editor().SetCaret(PositionAt(X, Y), false);
    InsertText(text, false);
}

void TCustomEdit::WndProc(TMessage& Message) {
    const int x = GET_X_LPARAM(Message.LParam), y = GET_Y_LPARAM(Message.LParam);
    switch (Message.Msg) {
        case WM_CHAR: {
            char key = static_cast<char>(Message.WParam);
            if (DoKeyPress(key)) return;
            unsigned char byte = static_cast<unsigned char>(key);
            if (byte < 0x80) {
                typed_.Reset();
                TypeChar(key);
            } else if (String character; typed_.Feed(byte, character)) {
                InsertText(character, true);
            }
            return;
        }
        case WM_KEYDOWN: {
            Word key = static_cast<Word>(Message.WParam);
            TShiftState shift = KeyboardStateToShiftState();
            if (DoKeyDown(key, shift)) return;
            if (CaretKey(key, shift)) return;
            if (key == VK_DELETE) {
                if (::Shift(shift)) {
                    CutToClipboard();
                } else if (!readOnly_ && Editor().DeleteForward()) {
                    Commit();
                }
                return;
            }
            if (key == VK_INSERT) {
                if (Ctrl(shift)) CopyToClipboard();
                else if (::Shift(shift)) PasteFromClipboard();
                return;
            }
            if (Ctrl(shift)) {
                switch (key) {
                    case 'A': SelectAll(); return;
                    case 'C': CopyToClipboard(); return;
                    case 'X': CutToClipboard(); return;
                    case 'V': PasteFromClipboard(); return;
                    case 'Z': Undo(); return;
                    default: break;
                }
            }
            Message.WParam = key;
            break;
        }
        case WM_CUT: CutToClipboard(); return;
        case WM_COPY: CopyToClipboard(); return;
        case WM_PASTE: PasteFromClipboard(); return;
        case WM_SETFOCUS:
            Invalidate();
            break;
        case WM_KILLFOCUS:
            mouseSelecting_ = false;
            Invalidate();
            break;
        case WM_LBUTTONDOWN:
            if (Enabled()) MouseDownAt(x, y, (Message.WParam & MK_SHIFT) != 0);
            break;
        case WM_LBUTTONDBLCLK:
            if (Enabled()) {
                auto word = platform::WordAround(Editor().Text(), PositionAt(x, y));
                Editor().Select(word.first, word.second);
                SelectionMoved();
            }
            break;
        case WM_MOUSEMOVE:
            if (mouseSelecting_) {
                Editor().SetCaret(PositionAt(x, y), true);
                ScrollToCaret();
                Invalidate();
            }
            break;
        case WM_LBUTTONUP:
            if (mouseSelecting_) {
                mouseSelecting_ = false;
                if (GetCapture() == Handle()) ReleaseCapture();
                SelectionMoved();
            }
            break;
        case WM_MBUTTONUP:
            if (Enabled()) MiddlePaste(x, y);
            break;
        default: break;
    }
    TWinControl::WndProc(Message);
}

platform::PartState TCustomEdit::PaintField(platform::Canvas& c) {
    platform::PartState state = ControlPartState(*this, Focused());
    if (readOnly_) state |= platform::psReadOnly;
    // The field's frame is drawn by the parent around the window; inside is the field.
    c.brushColor = (state & (platform::psDisabled | platform::psReadOnly)) ? platform::Style::Current().Colors().disabledBase
                                                                         : ColorToRGB(Color());
    c.FillRect(ClientRect());
    return state;
}

void TCustomEdit::PaintWindow(HDC DC) {
    const platform::Style& style = platform::Style::Current();
    TCanvas canvas;
    canvas.SetHandle(DC);
    canvas.Font()->Assign(Font());
    TStyleCanvas c(canvas);
    RECT client = ClientRect();
    platform::PartState state = PaintField(c);
    const platform::TextEditor& e = Editor();
    const String& text = e.Text();
    int top = std::max((client.bottom - LineHeight()) / 2, 0);
    int left = platform::kFieldPadding - scrollX_;
    COLORREF ink = ColorToRGB(Font()->Color());
    bool focused = Focused();
    if (e.HasSelection() && (focused || readOnly_)) {
        int from = Measure(std::string_view(text).substr(0, e.SelStart()));
        int to = Measure(std::string_view(text).substr(0, e.SelStart() + e.SelLength()));
        std::string_view before = std::string_view(text).substr(0, e.SelStart());
        std::string_view picked = std::string_view(text).substr(e.SelStart(), e.SelLength());
        std::string_view after = std::string_view(text).substr(e.SelStart() + e.SelLength());
        style.Text(c, left, top, Shown(before), ink, state);
        style.Selection(c, RECT{left + from, top, left + to, top + LineHeight()}, focused);
        style.Text(c, left + from, top, Shown(picked), style.SelectionText(focused), state);
        style.Text(c, left + to, top, Shown(after), ink, state);
    } else {
        style.Text(c, left, top, Shown(text), ink, state);
    }
    if (focused && !e.HasSelection()) {  // read-only too: the caret moves and selects there
        TPoint p = CaretPoint();
        style.Caret(c, p.x, top, top + LineHeight());
    }
}

// ---- memo

void TMemoStrings::Changed() {
    TStringList::Changed();
    if (memo_ && !memo_->syncing_) {
        memo_->syncing_ = true;
        String text = Text();
        memo_->TControl::SetText(text);
        memo_->syncing_ = false;
    }
}

TMemo::TMemo(TComponent* AOwner)
    : TCustomEdit(AOwner), lines_(std::make_unique<TMemoStrings>(this)),
      vbar_(std::make_unique<platform::ScrollBarDriver>(SB_VERT)) {
    width_ = 185;
    height_ = 89;
}

TMemo::~TMemo() = default;

void TMemo::TextChanged() {
    if (!syncing_) {
        syncing_ = true;
        lines_->SetText(GetText());
        syncing_ = false;
    }
    TCustomEdit::TextChanged();
    SetTopLine(topLine_);
}

void TMemo::TypeChar(char Key) {
    if (Key == '\r') {
        if (!wantReturns_ || readOnly_) return;
        InsertText("\r\n", false);
        return;
    }
    if (Key == '\t') {
        if (wantTabs_) InsertText("\t", true);
        return;
    }
    TCustomEdit::TypeChar(Key);
}

Integer TMemo::LineCount() const {
    const String& text = Editor().Text();
    return static_cast<Integer>(std::count(text.begin(), text.end(), '\n')) + 1;
}

Integer TMemo::LineOf(std::size_t Pos) const {
    const String& text = Editor().Text();
    return static_cast<Integer>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(Pos, text.size())), '\n'));
}

std::size_t TMemo::LineStart(Integer Line) const {
    const String& text = Editor().Text();
    std::size_t pos = 0;
    for (Integer i = 0; i < Line; ++i) {
        std::size_t nl = text.find('\n', pos);
        if (nl == String::npos) return text.size();
        pos = nl + 1;
    }
    return pos;
}

Integer TMemo::VisibleLines() const {
    return std::max<Integer>((ClientRect().bottom - 2 * platform::kFieldPadding) / std::max(LineHeight(), 1), 1);
}

bool TMemo::ShowsScrollBar() const {
    return scrollBars_ == ssVertical || scrollBars_ == ssBoth || LineCount() > VisibleLines();
}

RECT TMemo::ScrollBarRect() const { return platform::VerticalBarRect(ClientRect(), false); }

void TMemo::SetTopLine(Integer Value) {
    Integer top = std::clamp<Integer>(Value, 0, std::max<Integer>(LineCount() - VisibleLines(), 0));
    if (HandleAllocated()) {
        SCROLLINFO si;
        si.fMask = SIF_ALL;
        si.nMin = 0;
        si.nMax = LineCount() - 1;
        si.nPage = static_cast<UINT>(VisibleLines());
        si.nPos = top;
        SetScrollInfo(Handle(), SB_VERT, &si, FALSE_);
    }
    if (top == topLine_) return;
    topLine_ = top;
    Invalidate();
}

std::size_t TMemo::PositionAt(int X, int Y) {
    Integer line = std::clamp<Integer>(topLine_ + (Y - platform::kFieldPadding) / std::max(LineHeight(), 1), 0,
                                       LineCount() - 1);
    const platform::TextEditor& e = Editor();
    std::size_t start = LineStart(line);
    std::size_t end = e.LineEndOf(start);
    return start + platform::OffsetAtX(std::string_view(e.Text()).substr(start, end - start),
                                       X - platform::kFieldPadding + scrollX_,
                                       [this](std::string_view s) { return Measure(s); });
}

TPoint TMemo::CaretPoint() {
    const platform::TextEditor& e = Editor();
    std::size_t start = e.LineStartOf(e.Caret());
    int x = Measure(std::string_view(e.Text()).substr(start, e.Caret() - start));
    return Point(platform::kFieldPadding + x - scrollX_,
                 platform::kFieldPadding + (LineOf(e.Caret()) - topLine_) * LineHeight());
}

void TMemo::ScrollToCaret() {
    Integer line = LineOf(Editor().Caret());
    if (line < topLine_) SetTopLine(line);
    else if (line >= topLine_ + VisibleLines()) SetTopLine(line - VisibleLines() + 1);
    else SetTopLine(topLine_);
}

void TMemo::MoveLines(Integer Delta, bool Extend) {
    platform::TextEditor& e = Editor();
    std::size_t start = e.LineStartOf(e.Caret());
    int x = Measure(std::string_view(e.Text()).substr(start, e.Caret() - start));
    Integer line = std::clamp<Integer>(LineOf(e.Caret()) + Delta, 0, LineCount() - 1);
    std::size_t target = LineStart(line);
    std::size_t end = e.LineEndOf(target);
    // The caret keeps its place across the lines, measured on screen rather than counted.
    std::size_t at = target + platform::OffsetAtX(std::string_view(e.Text()).substr(target, end - target), x,
                                                  [this](std::string_view s) { return Measure(s); });
    e.SetCaret(at, Extend);
    SelectionMoved();
}

bool TMemo::CaretKey(Word Key, TShiftState Shift) {
    bool extend = (Shift & ssShift) != 0;
    switch (Key) {
        case VK_UP: MoveLines(-1, extend); return true;
        case VK_DOWN: MoveLines(1, extend); return true;
        case VK_PRIOR: MoveLines(-VisibleLines(), extend); return true;
        case VK_NEXT: MoveLines(VisibleLines(), extend); return true;
        default: return TCustomEdit::CaretKey(Key, Shift);
    }
}

void TMemo::WndProc(TMessage& Message) {
    POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
    switch (Message.Msg) {
        case WM_VSCROLL:
            SetTopLine(platform::ScrollRequestPos(Message.WParam, topLine_, VisibleLines(), LineCount()));
            return;
        case WM_MOUSEWHEEL: {
            int notches = static_cast<short>(HIWORD(Message.WParam)) / kWheelDelta;
            SetTopLine(topLine_ - notches * kMemoWheelLines);
            return;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (HandleAllocated() && ShowsScrollBar() && vbar_->MouseDown(Handle(), ScrollBarRect(), p)) {
                SetCapture(Handle());
                return;
            }
            break;
        case WM_MOUSEMOVE:
            if (HandleAllocated() && ShowsScrollBar() && (vbar_->MouseMove(Handle(), ScrollBarRect(), p) || vbar_->Active()))
                return;
            break;
        case WM_LBUTTONUP:
            if (HandleAllocated() && vbar_->MouseUp(Handle(), ScrollBarRect(), p)) {
                if (GetCapture() == Handle()) ReleaseCapture();
                return;
            }
            break;
        case WM_SIZE:
            TCustomEdit::WndProc(Message);
            SetTopLine(topLine_);
            return;
        default: break;
    }
    TCustomEdit::WndProc(Message);
}

void TMemo::PaintWindow(HDC DC) {
    const platform::Style& style = platform::Style::Current();
    TCanvas canvas;
    canvas.SetHandle(DC);
    canvas.Font()->Assign(Font());
    TStyleCanvas c(canvas);
    RECT client = ClientRect();
    platform::PartState state = PaintField(c);
    const platform::TextEditor& e = Editor();
    std::string_view text = e.Text();
    bool focused = Focused();
    COLORREF ink = ColorToRGB(Font()->Color());
    int lineHeight = LineHeight();
    int left = platform::kFieldPadding - scrollX_;
    std::size_t selFrom = e.SelStart(), selTo = e.SelStart() + e.SelLength();
    bool showSelection = e.HasSelection() && (focused || readOnly_);
    std::size_t start = LineStart(topLine_);
    for (Integer line = topLine_; start <= text.size(); ++line) {
        int y = platform::kFieldPadding + (line - topLine_) * lineHeight;
        if (y >= client.bottom) break;
        std::size_t end = e.LineEndOf(start);
        std::string_view row = text.substr(start, end - start);
        std::size_t a = std::clamp(selFrom, start, end), b = std::clamp(selTo, start, end);
        if (showSelection && (a < b || (selFrom <= end && selTo > end))) {
            int from = Measure(row.substr(0, a - start));
            int to = Measure(row.substr(0, b - start));
            if (selTo > end) to += Measure(" ");  // the selected line break
            style.Selection(c, RECT{left + from, y, left + to, y + lineHeight}, focused);
            style.Text(c, left, y, row.substr(0, a - start), ink, state);
            style.Text(c, left + from, y, row.substr(a - start, b - a), style.SelectionText(focused), state);
            style.Text(c, left + Measure(row.substr(0, b - start)), y, row.substr(b - start), ink, state);
        } else if (!row.empty()) {
            style.Text(c, left, y, row, ink, state);
        }
        std::size_t next = e.NextLineStart(start);
        if (next == String::npos) break;
        start = next;
    }
    if (focused && !e.HasSelection()) {  // read-only too: the caret moves and selects there
        TPoint p = CaretPoint();
        if (p.y >= 0 && p.y < client.bottom) style.Caret(c, p.x, p.y, p.y + lineHeight);
    }
    if (ShowsScrollBar()) vbar_->Paint(Handle(), c, ScrollBarRect());
}
