#include "platform/StdCtrls.h"

#include <algorithm>

#include "platform/Forms.h"
#include "platform/SysUtils.h"

namespace {

// Pixels between a box (check box, radio button) and its caption.
constexpr int kBoxSize = 13;
constexpr int kBoxGap = 4;

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
    TCanvas& c = *Canvas();
    if (!transparent_) FillBackground(c, *this);
    c.Font()->Assign(Font());
    c.Brush()->SetStyle(bsClear);
    String text = GetText();
    Integer w = c.TextWidth(text);
    Integer x = alignment_ == taRightJustify ? width_ - w : alignment_ == taCenter ? (width_ - w) / 2 : 0;
    Integer h = c.TextHeight(text);
    Integer y = layout_ == tlBottom ? height_ - h : layout_ == tlCenter ? (height_ - h) / 2 : 0;
    c.TextRect(ClientRect(), x, y, text);
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
    TWinControl::WndProc(Message);
}

void TButtonControl::PaintWindow(HDC DC) {
    TCanvas c;
    BeginOwnPaint(c, DC, *this);
    c.Brush()->SetStyle(bsClear);
    String text = GetText();
    c.TextOut((width_ - c.TextWidth(text)) / 2, (height_ - c.TextHeight(text)) / 2, text);
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
    TCanvas c;
    BeginOwnPaint(c, DC, *this);
    c.Brush()->SetColor(clWindow);
    c.Rectangle(0, (height_ - kBoxSize) / 2, kBoxSize, (height_ + kBoxSize) / 2);
    c.Brush()->SetStyle(bsClear);
    if (state_ != cbUnchecked) c.TextOut(2, (height_ - kBoxSize) / 2, state_ == cbChecked ? "x" : "-");
    c.TextOut(kBoxSize + kBoxGap, (height_ - c.TextHeight(GetText())) / 2, GetText());
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
    TCanvas c;
    BeginOwnPaint(c, DC, *this);
    c.Brush()->SetStyle(bsClear);
    c.TextOut(0, 0, checked_ ? "(o)" : "( )");
    c.TextOut(kBoxSize + kBoxGap, (height_ - c.TextHeight(GetText())) / 2, GetText());
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
    TCanvas c;
    BeginOwnPaint(c, DC, *this);
    c.Brush()->SetStyle(bsClear);
    c.TextOut(2, 2, GetText());
}

TCustomListBox::TCustomListBox(TComponent* AOwner) : TCustomListControl(AOwner) {
    width_ = 121;
    height_ = 97;
}

void TCustomListBox::WndProc(TMessage& Message) {
    if (Message.Msg == WM_LBUTTONDOWN) {
        Integer row = GET_Y_LPARAM(Message.LParam) / platform::FontCellHeight(font_.Height());
        if (row < items_->Count() && row != itemIndex_) {
            SetItemIndex(row);
        }
    }
    TWinControl::WndProc(Message);
}

void TCustomListBox::PaintWindow(HDC DC) {
    TCanvas c;
    BeginOwnPaint(c, DC, *this);
    Integer rowHeight = platform::FontCellHeight(font_.Height());
    for (Integer i = 0; i < items_->Count() && i * rowHeight < height_; ++i) {
        c.Brush()->SetColor(i == itemIndex_ ? clHighlight : Color());
        c.TextOut(0, i * rowHeight, items_->Strings(i));
    }
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
    TCanvas& c = *Canvas();
    c.Font()->Assign(Font());
    FillBackground(c, *this);
    Integer h = c.TextHeight("0");
    c.Brush()->SetColor(clBtnShadow);
    c.FrameRect(Rect(0, h / 2, width_, height_));
    c.Brush()->SetColor(Color());
    c.TextOut(8, 0, GetText());
}
