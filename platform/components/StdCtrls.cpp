#include "platform/StdCtrls.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/ControlStyle.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"
#include "detail/ComboList.h"

namespace {

// F4 opens and closes a combo box's list.
constexpr Word kF4 = VK_F1 + 3;

void FillBackground(TCanvas& canvas, TControl& control) {
    canvas.Brush()->SetColor(control.Color());
    canvas.FillRect(control.ClientRect());
}

// The start every self-painting control shares: the canvas draws on DC in the
// control's font, over its background.
void BeginOwnPaint(TCanvas& canvas, HDC DC, TControl& control) {
    canvas.SetHandle(DC);
    canvas.Font()->Assign(control.Font());
    FillBackground(canvas, control);
}

// Runs Click once for a state change; a handler that changes the state again
// does not click a second time.
template <typename Fn>
void ClickOnce(bool& inClick, Fn&& click) {
    if (inClick) return;
    inClick = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{inClick};
    click();
}

}  // namespace

// ---- label

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 65;
    height_ = 17;
    SetControlStyle(ControlStyle() | csSetCaption);
}

void TCustomLabel::SetAlignment(TAlignment Value) {
    alignment_ = Value;
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool Value) {
    autoSize_ = Value;
    AdjustBounds();
}

void TCustomLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustBounds();
}

void TCustomLabel::AdjustBounds() {
    if (!autoSize_ || wordWrap_ || Destroying()) return;
    SIZE size = platform::TextExtent(font_.Spec(), GetText().empty() ? String(" ") : GetText());
    Integer x = left_;
    if (alignment_ == taRightJustify) x = left_ + width_ - size.cx;
    SetBounds(x, top_, size.cx, size.cy);
}

void TCustomLabel::Paint() {
    TCanvas& canvas = *Canvas();
    if (!transparent_) FillBackground(canvas, *this);
    canvas.Font()->Assign(Font());
    TStyleCanvas c(canvas);
    String text = platform::Style::CaptionText(GetText());
    SIZE size = c.TextExtent(text);
    Integer x = alignment_ == taRightJustify ? width_ - size.cx : alignment_ == taCenter ? (width_ - size.cx) / 2 : 0;
    Integer y = layout_ == tlBottom ? height_ - size.cy : layout_ == tlCenter ? (height_ - size.cy) / 2 : 0;
    platform::Style::Current().TextClipped(c, ClientRect(), x, y, text, ColorToRGB(Font()->Color()),
                                           Enabled() ? platform::psNormal : platform::psDisabled);
}

// ---- buttons

TButtonControl::TButtonControl(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle(ControlStyle() | csPaintsItself);
    SetTabStop(true);
}

void TButtonControl::WndProc(TMessage& Message) {
    // Space pressed on a focused button clicks it, as a mouse click does.
    if (Message.Msg == WM_KEYDOWN && Message.WParam == VK_SPACE) {
        Word key = VK_SPACE;
        if (DoKeyDown(key, KeyboardStateToShiftState())) return;
        Click();
        return;
    }
    // Enter presses the focused push button itself, rather than the form's default one.
    if (Message.Msg == WM_KEYDOWN && Message.WParam == VK_RETURN && dynamic_cast<TButton*>(this) &&
        !(KeyboardStateToShiftState() & (ssCtrl | ssAlt))) {
        if (CanRunEvents() && OnKeyDown) {
            Word key = VK_RETURN;
            OnKeyDown(this, key, KeyboardStateToShiftState());
            if (key == 0) return;
        }
        Click();
        return;
    }
    // Arrows move within a group of radio buttons, checking the one they reach.
    if (Message.Msg == WM_KEYDOWN && dynamic_cast<TRadioButton*>(this) && Parent() &&
        (Message.WParam == VK_UP || Message.WParam == VK_DOWN || Message.WParam == VK_LEFT || Message.WParam == VK_RIGHT)) {
        Word key = static_cast<Word>(Message.WParam);
        if (DoKeyDown(key, KeyboardStateToShiftState())) return;
        std::vector<TRadioButton*> group;
        for (Integer i = 0; i < Parent()->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(Parent()->Controls(i)); r && r->Visible() && r->Enabled())
                group.push_back(r);
        auto it = std::find(group.begin(), group.end(), this);
        if (it == group.end() || group.size() < 2) return;
        std::size_t at = static_cast<std::size_t>(it - group.begin());
        bool forward = key == VK_DOWN || key == VK_RIGHT;
        TRadioButton* next = group[forward ? (at + 1) % group.size() : (at + group.size() - 1) % group.size()];
        next->SetFocus();
        next->SetChecked(true);
        return;
    }
    TWinControl::WndProc(Message);
}

void TButtonControl::PaintWindow(HDC DC) {
    TCanvas canvas;
    BeginOwnPaint(canvas, DC, *this);
    TStyleCanvas c(canvas);
    const platform::Style& style = platform::Style::Current();
    platform::PartState state = ControlPartState(*this, Focused());
    if (auto* button = dynamic_cast<TButton*>(this); button && button->Default()) state |= platform::psDefault;
    style.Button(c, ClientRect(), state);
    String text = platform::Style::CaptionText(GetText());
    SIZE size = c.TextExtent(text);
    int shift = (state & platform::psPressed) ? 1 : 0;
    style.Text(c, (width_ - size.cx) / 2 + shift, (height_ - size.cy) / 2 + shift, text,
               style.Colors().buttonText, state);
}

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) {
    width_ = 75;
    height_ = 25;
}

void TButton::Click() {
    if (!Enabled() || !CanRunEvents()) return;
    std::weak_ptr<bool> alive = AliveToken();
    TControl::Click();
    if (alive.expired()) return;
    if (modalResult_ != 0)
        if (TCustomForm* form = ParentForm()) form->SetModalResult(modalResult_);
}

bool TButton::DialogChar(Word Key) {
    if (!Enabled()) return false;
    if ((Key == VK_RETURN && default_) || (Key == VK_ESCAPE && cancel_)) {
        Click();
        return true;
    }
    return false;
}

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
    width_ = 97;
    height_ = 17;
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
    if (state_ == Value) return;
    state_ = Value;
    Invalidate();
    ClickOnce(inClick_, [this] { TControl::Click(); });
}

void TCustomCheckBox::Toggle() {
    switch (state_) {
        case cbUnchecked: SetState(allowGrayed_ ? cbGrayed : cbChecked); break;
        case cbChecked: SetState(cbUnchecked); break;
        case cbGrayed: SetState(cbChecked); break;
    }
}

void TCustomCheckBox::Click() {
    if (!Enabled()) return;
    Toggle();
}

void TCustomCheckBox::PaintWindow(HDC DC) {
    TCanvas canvas;
    BeginOwnPaint(canvas, DC, *this);
    TStyleCanvas c(canvas);
    platform::PartState state = ControlPartState(*this, Focused());
    if (state_ == cbChecked) state |= platform::psChecked;
    if (state_ == cbGrayed) state |= platform::psMixed;
    PaintBoxAndCaption(c, state, false);
}

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {
    width_ = 113;
    height_ = 17;
}

void TRadioButton::SetChecked(bool Value) {
    if (checked_ == Value) return;
    checked_ = Value;
    Invalidate();
    if (!Value) return;
    if (Parent())
        for (Integer i = 0; i < Parent()->ControlCount(); ++i)
            if (auto* other = dynamic_cast<TRadioButton*>(Parent()->Controls(i)); other && other != this)
                other->SetChecked(false);
    ClickOnce(inClick_, [this] { TControl::Click(); });
}

void TRadioButton::Click() {
    if (Enabled()) SetChecked(true);
}

void TRadioButton::PaintWindow(HDC DC) {
    TCanvas canvas;
    BeginOwnPaint(canvas, DC, *this);
    TStyleCanvas c(canvas);
    platform::PartState state = ControlPartState(*this, Focused());
    if (checked_) state |= platform::psChecked;
    PaintBoxAndCaption(c, state, true);
}

void TButtonControl::PaintBoxAndCaption(platform::Canvas& c, platform::PartState state, bool radio) {
    const platform::Style& style = platform::Style::Current();
    const int box = platform::kCheckBoxSize;
    String text = platform::Style::CaptionText(GetText());
    SIZE size = c.TextExtent(text);
    // The box sits on the caption's left unless the caption is put on its left.
    auto* check = dynamic_cast<TCustomCheckBox*>(this);
    bool boxRight = check && check->Alignment() == taLeftJustify;
    int boxLeft = boxRight ? width_ - box : 0;
    int textLeft = boxRight ? 0 : box + platform::kCheckBoxGap;
    RECT r{boxLeft, (height_ - box) / 2, boxLeft + box, (height_ - box) / 2 + box};
    if (radio)
        style.RadioButton(c, r, state);
    else
        style.CheckBox(c, r, state);
    int textTop = (height_ - size.cy) / 2;
    style.Text(c, textLeft, textTop, text, ColorToRGB(Font()->Color()), state);
    if ((state & platform::psFocused) && !text.empty())
        style.FocusMark(c, RECT{textLeft - 2, textTop - 1, textLeft + size.cx + 2, textTop + size.cy + 1});
}

// ---- lists

TCustomListControl::TCustomListControl(TComponent* AOwner)
    : TWinControl(AOwner), items_(std::make_unique<TStringList>()) {
    SetControlStyle(ControlStyle() | csPaintsItself);
    SetTabStop(true);
    SetColor(clWindow);
    SetParentColor(false);
    items_->OnChange = [this](TObject*) { ItemsChanged(); };
}

TCustomListControl::~TCustomListControl() { items_->OnChange = nullptr; }

void TCustomListControl::SetItemIndex(Integer Value) {
    if (Value < 0 || Value >= items_->Count()) Value = -1;
    if (itemIndex_ == Value) return;
    itemIndex_ = Value;
    Invalidate();
}

void TCustomListControl::Clear() { items_->Clear(); }

void TCustomListControl::ItemsChanged() {
    if (itemIndex_ >= items_->Count()) itemIndex_ = -1;
    Invalidate();
}

TCustomComboBox::TCustomComboBox(TComponent* AOwner) : TCustomListControl(AOwner) {
    width_ = 145;
    height_ = 21;
}

TCustomComboBox::~TCustomComboBox() { list_.reset(); }

void TCustomComboBox::SetDroppedDown(bool Value) {
    if (Value == DroppedDown()) return;
    if (!Value) {
        CloseUp(-1);
        return;
    }
    if (!HandleAllocated() || !Enabled()) return;
    auto list = std::make_unique<platform::detail::ComboList>(*this);
    list_ = std::move(list);
    if (!list_->Open()) {
        list_.reset();
        return;
    }
    Invalidate();
}

void TCustomComboBox::CloseUp(Integer Index) {
    if (!list_) return;
    // Gone before anything else runs: the pick's events may open it again or free the form.
    std::unique_ptr<platform::detail::ComboList> gone = std::move(list_);
    gone.reset();
    if (HandleAllocated()) Invalidate();
    if (Index >= 0) UserSelect(Index);
}

HWND TCustomComboBox::DropDownHandle() const { return list_ ? list_->Handle() : nullptr; }

RECT TCustomComboBox::DropDownItemRect(Integer Index) const {
    return list_ ? list_->ItemRect(static_cast<int>(Index)) : RECT{};
}

Integer TCustomComboBox::DropDownHotIndex() const { return list_ ? list_->Hot() : -1; }

bool TCustomComboBox::OnArrow(int X) const { return X >= ClientRect().right - platform::kDropDownButtonWidth; }

bool TCustomComboBox::DropDownKey(Word Key, TShiftState Shift) {
    const bool alt = (Shift & ssAlt) != 0;
    if (!list_) {
        if ((alt && Key == VK_DOWN) || (Key == kF4 && !alt)) {
            SetDroppedDown(true);
            return true;
        }
        return false;
    }
    const int hot = list_->Hot(), page = std::max(list_->VisibleRows() - 1, 1);
    switch (Key) {
        case VK_UP:
            if (alt) CloseUp(hot);
            else list_->SetHot(hot - 1);
            return true;
        case VK_DOWN:
            if (!alt) list_->SetHot(hot + 1);
            return true;
        case VK_HOME: list_->SetHot(0); return true;
        case VK_END: list_->SetHot(items_->Count() - 1); return true;
        case VK_PRIOR: list_->SetHot(hot - page); return true;
        case VK_NEXT: list_->SetHot(hot + page); return true;
        case VK_RETURN:
        case kF4: CloseUp(hot); return true;
        case VK_ESCAPE: CloseUp(-1); return true;
        case VK_TAB:
            // Leaving by Tab keeps what the highlight was on, as desktop combo boxes do.
            CloseUp(hot);
            return false;
        default: return false;
    }
}

void TCustomComboBox::SetItemIndex(Integer Value) {
    TCustomListControl::SetItemIndex(Value);
    SetTextValue(itemIndex_ >= 0 ? items_->Strings(itemIndex_) : (style_ == csDropDownList ? String() : GetText()));
}

void TCustomComboBox::ItemsChanged() {
    bool had = itemIndex_ >= 0;
    TCustomListControl::ItemsChanged();
    // A cleared list leaves a drop-down list without text.
    if (had && itemIndex_ < 0 && style_ == csDropDownList) SetTextValue("");
}

void TCustomComboBox::Change() {
    if (CanRunEvents() && OnChange) OnChange(this);
}

void TCustomComboBox::UserSelect(Integer Index) {
    if (Index < 0 || Index >= items_->Count() || Index == itemIndex_) return;
    SetItemIndex(Index);
    std::weak_ptr<bool> alive = AliveToken();
    Change();
    if (!alive.expired() && CanRunEvents() && OnSelect) OnSelect(this);
}

void TCustomComboBox::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            Word key = static_cast<Word>(Message.WParam);
            TShiftState shift = KeyboardStateToShiftState();
            if (Message.Msg == WM_SYSKEYDOWN) shift |= ssAlt;  // the key came with Alt held
            if ((list_ || key == kF4 || (key == VK_DOWN && (shift & ssAlt))) && !(list_ && key == VK_TAB)) {
                if (!list_ && DoKeyDown(key, shift)) return;
                if (DropDownKey(key, shift)) return;
            } else if (list_ && key == VK_TAB) {
                DropDownKey(key, shift);
            }
            break;
        }
        case WM_CHAR:
            // A letter moves the open list's highlight to the next item starting with it.
            if (list_ && static_cast<unsigned char>(Message.WParam) > 0x20) {
                const char wanted = static_cast<char>(std::toupper(static_cast<unsigned char>(Message.WParam)));
                const Integer n = items_->Count();
                for (Integer step = 1; step <= n; ++step) {
                    Integer i = (list_->Hot() + step) % n;
                    const String& item = items_->Strings(i);
                    if (!item.empty() && std::toupper(static_cast<unsigned char>(item[0])) == wanted) {
                        list_->SetHot(static_cast<int>(i));
                        break;
                    }
                }
                return;
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (CanFocus() && HandleAllocated() && !Focused()) ::SetFocus(Handle());
            // A drop-down list opens anywhere on it, a combo with a text field on its arrow.
            if (style_ == csDropDownList || OnArrow(GET_X_LPARAM(Message.LParam))) SetDroppedDown(!DroppedDown());
            break;
        case WM_MOUSEWHEEL:
            if (list_) {
                SendMessageA(list_->Handle(), WM_MOUSEWHEEL, Message.WParam, Message.LParam);
                return;
            }
            break;
        case WM_KILLFOCUS:
        case WM_CANCELMODE:
        case WM_DESTROY: CloseUp(-1); break;
        default: break;
    }
    if (Message.Msg == WM_KEYDOWN && (Message.WParam == VK_DOWN || Message.WParam == VK_UP ||
                                      Message.WParam == VK_HOME || Message.WParam == VK_END)) {
        Word key = static_cast<Word>(Message.WParam);
        if (DoKeyDown(key, KeyboardStateToShiftState())) return;
        Integer last = items_->Count() - 1;
        if (last < 0) return;
        Integer next = itemIndex_;
        switch (key) {
            case VK_DOWN: next = std::min(itemIndex_ + 1, last); break;
            case VK_UP: next = std::max(itemIndex_ - 1, 0); break;
            case VK_HOME: next = 0; break;
            default: next = last; break;
        }
        UserSelect(next);
        return;
    }
    if (Message.Msg == WM_CHAR && style_ != csDropDownList) {
        char key = static_cast<char>(Message.WParam);
        if (DoKeyPress(key)) return;
        String text = GetText();
        if (key == VK_BACK) {
            if (text.empty()) return;
            text.pop_back();
        } else if (static_cast<unsigned char>(key) >= 0x20) {
            if (maxLength_ > 0 && static_cast<Integer>(text.size()) >= maxLength_) return;
            text += key;
        } else {
            return;
        }
        itemIndex_ = items_->IndexOf(text);
        SetText(text);
        Change();
        return;
    }
    TWinControl::WndProc(Message);
}

void TCustomComboBox::PaintWindow(HDC DC) {
    TCanvas canvas;
    BeginOwnPaint(canvas, DC, *this);
    TStyleCanvas c(canvas);
    const platform::Style& style = platform::Style::Current();
    platform::PartState state = ControlPartState(*this, Focused());
    RECT client = ClientRect();
    RECT arrow{client.right - platform::kDropDownButtonWidth, client.top, client.right, client.bottom};
    RECT text{client.left, client.top, arrow.left, client.bottom};
    String value = GetText();
    int top = (client.bottom - c.TextHeight(value)) / 2;
    // A drop-down list shows its choice selected while it has the focus, as a field does.
    if (style_ == csDropDownList && (state & platform::psFocused) && !value.empty()) {
        style.Selection(c, RECT{text.left + 1, text.top + 1, text.right - 1, text.bottom - 1}, true);
        style.TextClipped(c, text, platform::kFieldPadding, top, value, style.SelectionText(true), state);
    } else {
        style.TextClipped(c, text, platform::kFieldPadding, top, value, ColorToRGB(Font()->Color()), state);
    }
    style.DropDownButton(c, arrow, (state & ~platform::psFocused) | (list_ ? platform::psPressed : platform::psNormal));
}

TCustomListBox::TCustomListBox(TComponent* AOwner) : TCustomListControl(AOwner) {
    width_ = 121;
    height_ = 97;
}

Integer TCustomListBox::RowHeight() const { return platform::TextExtent(font_.Spec(), "Wg").cy; }

Integer TCustomListBox::VisibleRows() const { return std::max<Integer>(ClientRect().bottom / std::max<Integer>(RowHeight(), 1), 1); }

bool TCustomListBox::ShowsScrollBar() const { return items_->Count() > VisibleRows(); }

void TCustomListBox::SetTopIndex(Integer Value) {
    Integer top = std::clamp<Integer>(Value, 0, std::max<Integer>(items_->Count() - VisibleRows(), 0));
    if (HandleAllocated()) {
        SCROLLINFO si;
        si.fMask = SIF_ALL;
        si.nMax = std::max<Integer>(items_->Count() - 1, 0);
        si.nPage = static_cast<UINT>(VisibleRows());
        si.nPos = top;
        SetScrollInfo(Handle(), SB_VERT, &si, FALSE_);
    }
    if (top == topIndex_) return;
    topIndex_ = top;
    Invalidate();
}

void TCustomListBox::ItemsChanged() {
    TCustomListControl::ItemsChanged();
    SetTopIndex(topIndex_);
}

void TCustomListBox::UserSelect(Integer Index) {
    Index = std::clamp<Integer>(Index, 0, items_->Count() - 1);
    if (Index < topIndex_) SetTopIndex(Index);
    else if (Index >= topIndex_ + VisibleRows()) SetTopIndex(Index - VisibleRows() + 1);
    if (Index == itemIndex_) return;
    SetItemIndex(Index);
    Click();
}

void TCustomListBox::WndProc(TMessage& Message) {
    POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
    RECT bar = platform::VerticalBarRect(ClientRect(), false);
    switch (Message.Msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (HandleAllocated() && ShowsScrollBar() && vbar_.MouseDown(Handle(), bar, p)) {
                SetCapture(Handle());
                return;
            }
            if (Message.Msg == WM_LBUTTONDOWN) {
                if (CanFocus() && HandleAllocated() && !Focused()) ::SetFocus(Handle());
                Integer row = topIndex_ + p.y / std::max<Integer>(RowHeight(), 1);
                if (row < items_->Count() && row != itemIndex_) SetItemIndex(row);
            }
            break;
        case WM_MOUSEMOVE:
            if (HandleAllocated() && ShowsScrollBar() && (vbar_.MouseMove(Handle(), bar, p) || vbar_.Active())) return;
            break;
        case WM_LBUTTONUP:
            if (HandleAllocated() && vbar_.MouseUp(Handle(), bar, p)) {
                if (GetCapture() == Handle()) ReleaseCapture();
                return;
            }
            break;
        case WM_MOUSEWHEEL:
            SetTopIndex(topIndex_ - static_cast<short>(HIWORD(Message.WParam)) / 120 * 3);
            return;
        case WM_VSCROLL:
            SetTopIndex(platform::ScrollRequestPos(Message.WParam, topIndex_, VisibleRows(), items_->Count()));
            return;
        case WM_KEYDOWN: {
            Word key = static_cast<Word>(Message.WParam);
            if (key != VK_UP && key != VK_DOWN && key != VK_HOME && key != VK_END && key != VK_PRIOR && key != VK_NEXT)
                break;
            if (DoKeyDown(key, KeyboardStateToShiftState())) return;
            if (items_->Count() == 0) return;
            switch (key) {
                case VK_UP: UserSelect(itemIndex_ - 1); break;
                case VK_DOWN: UserSelect(itemIndex_ + 1); break;
                case VK_HOME: UserSelect(0); break;
                case VK_END: UserSelect(items_->Count() - 1); break;
                case VK_PRIOR: UserSelect(itemIndex_ - VisibleRows() + 1); break;
                default: UserSelect(itemIndex_ + VisibleRows() - 1); break;
            }
            return;
        }
        default: break;
    }
    TWinControl::WndProc(Message);
}

void TCustomListBox::PaintWindow(HDC DC) {
    TCanvas canvas;
    BeginOwnPaint(canvas, DC, *this);
    TStyleCanvas c(canvas);
    const platform::Style& style = platform::Style::Current();
    platform::PartState state = ControlPartState(*this, Focused());
    bool focused = (state & platform::psFocused) != 0;
    Integer rowHeight = RowHeight();
    RECT client = ClientRect();
    bool bar = ShowsScrollBar();
    int right = bar ? client.right - platform::kScrollBarSize : client.right;
    for (Integer i = topIndex_; i < items_->Count(); ++i) {
        int y = (i - topIndex_) * rowHeight;
        if (y >= client.bottom) break;
        RECT row{0, y, right, y + rowHeight};
        COLORREF ink = ColorToRGB(Font()->Color());
        if (i == itemIndex_) {
            style.Selection(c, row, focused);
            ink = style.SelectionText(focused);
            if (focused) style.FocusMark(c, row);
        }
        style.TextClipped(c, row, platform::kFieldPadding, y, items_->Strings(i), ink, state);
    }
    if (bar) vbar_.Paint(Handle(), c, platform::VerticalBarRect(client, false));
}

// ---- group box

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
    SetControlStyle(ControlStyle() | csAcceptsControls);
    width_ = 185;
    height_ = 105;
}

void TCustomGroupBox::AdjustClientRect(TRect& Rect) const {
    TCustomControl::AdjustClientRect(Rect);
    Rect.top += platform::FontCellHeight(font_.Height());
    InflateRect(&Rect, -1, -1);
}

void TCustomGroupBox::Paint() {
    TCanvas& canvas = *Canvas();
    canvas.Font()->Assign(Font());
    FillBackground(canvas, *this);
    TStyleCanvas c(canvas);
    const platform::Style& style = platform::Style::Current();
    String text = platform::Style::CaptionText(GetText());
    SIZE size = c.TextExtent(text.empty() ? String("0") : text);
    constexpr int kCaptionLeft = 8;
    style.GroupFrame(c, RECT{0, size.cy / 2, width_, height_}, text.empty() ? 0 : kCaptionLeft - 2,
                     text.empty() ? 0 : kCaptionLeft + size.cx + 2);
    style.Text(c, kCaptionLeft, 0, text, ColorToRGB(Font()->Color()),
               Enabled() ? platform::psNormal : platform::psDisabled);
}
