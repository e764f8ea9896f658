// Standard controls: labels, edits, memos, buttons, check boxes, radio buttons, combo boxes,
// list boxes and group boxes, with the behaviour the system's forms use.
//
// The windowed ones are windows of their own classes; what the user does reaches them as
// messages: typed characters (WM_CHAR, limited by MaxLength and ReadOnly), clicks (button
// up after a press) and arrow keys in a combo box. Setting properties from code raises the
// events the class library raises for it (an edit's OnChange, a check box's OnClick) and no
// others (setting a combo box's ItemIndex raises nothing).
#pragma once

#include "platform/Controls.h"
#include "platform/EditText.h"
#include "platform/ScrollBar.h"
#include "platform/StringList.h"
#include "platform/Style.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TCustomLabel : public TGraphicControl {
public:
    explicit TCustomLabel(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TLabel"; }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment Value);
    // With AutoSize the label takes the size of its text (set again whenever text or font change).
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool Value);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout Value) { layout_ = Value; Invalidate(); }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool Value) { transparent_ = Value; Invalidate(); }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool Value) { wordWrap_ = Value; Invalidate(); }
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* Value) { focusControl_ = Value; }

protected:
    void Paint() override;
    void TextChanged() override { AdjustBounds(); }
    void FontChanged() override;
    void AdjustBounds();

private:
    TAlignment alignment_ = taLeftJustify;
    bool autoSize_ = true;
    TTextLayout layout_ = tlTop;
    bool transparent_ = false;
    bool wordWrap_ = false;
    TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
public:
    explicit TLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}
};

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// Edits work on characters, never bytes: the caret, the selection, Backspace and Delete
// step over whole UTF-8 characters. SelStart and SelLength count bytes of the text, always on
// character boundaries. The keyboard moves and selects as desktop edits do (arrows, Ctrl+arrows
// by word, Home/End, Shift to extend, Ctrl+A), the mouse places the caret and selects by
// dragging (a double click selects a word); cut, copy and paste go through the clipboard
// selection, and a selection made is also offered as the primary one, which a middle click
// pastes. One undo step is kept (Ctrl+Z). A password edit shows its mask and never copies.
class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* AOwner);
    ~TCustomEdit() override;
    const char* ClassName() const noexcept override { return "TEdit"; }
    // 0: no limit, counted in bytes. Limits what the user types; text set by code is kept whole.
    Integer MaxLength() const { return maxLength_; }
    void SetMaxLength(Integer Value) { maxLength_ = Value; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool Value) { readOnly_ = Value; Invalidate(); }
    char PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char Value) { passwordChar_ = Value; Invalidate(); }
    TEditCharCase CharCase() const { return charCase_; }
    void SetCharCase(TEditCharCase Value) { charCase_ = Value; }
    bool Modified() const { return modified_; }
    void SetModified(bool Value) { modified_ = Value; }
    Integer SelStart() const;
    void SetSelStart(Integer Value);
    Integer SelLength() const;
    void SetSelLength(Integer Value);
    String SelText() const;
    void SelectAll();
    void Clear() { SetText(""); }
    void ClearSelection();
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard();
    bool CanUndo() const;
    void Undo();
    TNotifyEvent OnChange;
    void WndProc(TMessage& Message) override;
    bool WantsEditKey(Word Key, TShiftState Shift) override;

protected:
    virtual void Change();
    void TextChanged() override;
    void CreateParams(TCreateParams& Params) override;
    void PaintWindow(HDC DC) override;
    // A typed ASCII character or control code: inserts or edits, within MaxLength.
    virtual void TypeChar(char Key);
    // Inserts typed or pasted text in place of the selection (checked against ReadOnly and
    // MaxLength); true when the text changed.
    bool InsertText(const String& Text, bool Typing);
    virtual bool MultiLine() const { return false; }
    // The keys of the caret: true when Key was one of them.
    virtual bool CaretKey(Word Key, TShiftState Shift);
    // Where a client point falls in the text, and where a text position is drawn.
    virtual std::size_t PositionAt(int X, int Y);
    virtual TPoint CaretPoint();
    // Scrolls so that the caret is inside the field.
    virtual void ScrollToCaret();
    // The text as drawn (the mask of a password edit).
    String Shown(std::string_view Text) const;
    // The inside of the field, in the state it is drawn in.
    platform::PartState PaintField(platform::Canvas& c);
    int Measure(std::string_view Text) const;
    int LineHeight() const;
    // After the editor changed the text: the control's text follows, OnChange runs.
    void Commit();
    // After the caret or the selection moved.
    void SelectionMoved();
    platform::TextEditor& Editor();
    const platform::TextEditor& Editor() const;

    Integer maxLength_ = 0;
    bool readOnly_ = false;
    char passwordChar_ = 0;
    TEditCharCase charCase_ = ecNormal;
    bool modified_ = false;
    int scrollX_ = 0;

private:
    void MouseDownAt(int X, int Y, bool Extend);
    void MiddlePaste(int X, int Y);
    mutable platform::TextEditor editor_;
    platform::Utf8Assembler typed_;
    bool mouseSelecting_ = false;
};

class TEdit : public TCustomEdit {
public:
    explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo;

// The lines of a memo: a string list whose every change rewrites the memo's text.
class TMemoStrings : public TStringList {
public:
    explicit TMemoStrings(TMemo* Memo) : memo_(Memo) {}
    const char* ClassName() const noexcept override { return "TMemoStrings"; }

protected:
    void Changed() override;

private:
    TMemo* memo_;
};

// A memo is an edit of many lines: Up and Down keep the caret's place across lines, Page
// keys move by a page, and a vertical scroll bar appears when the lines overflow (or always,
// with ScrollBars vertical); the wheel and the bar scroll it. Lines are shown as they are,
// without wrapping.
class TMemo : public TCustomEdit {
public:
    explicit TMemo(TComponent* AOwner);
    ~TMemo() override;
    const char* ClassName() const noexcept override { return "TMemo"; }
    TStrings* Lines() { return lines_.get(); }
    void SetLines(TStrings* Value) { lines_->Assign(Value); }
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle Value) { scrollBars_ = Value; Invalidate(); }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool Value) { wordWrap_ = Value; }
    bool WantReturns() const { return wantReturns_; }
    void SetWantReturns(bool Value) { wantReturns_ = Value; }
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool Value) { wantTabs_ = Value; }
    // The first line shown.
    Integer TopLine() const { return topLine_; }
    void SetTopLine(Integer Value);
    void WndProc(TMessage& Message) override;

protected:
    friend class TMemoStrings;
    void TextChanged() override;
    void TypeChar(char Key) override;
    void PaintWindow(HDC DC) override;
    bool MultiLine() const override { return true; }
    bool CaretKey(Word Key, TShiftState Shift) override;
    std::size_t PositionAt(int X, int Y) override;
    TPoint CaretPoint() override;
    void ScrollToCaret() override;

private:
    Integer LineCount() const;
    Integer LineOf(std::size_t Pos) const;
    std::size_t LineStart(Integer Line) const;
    Integer VisibleLines() const;
    bool ShowsScrollBar() const;
    RECT ScrollBarRect() const;
    void MoveLines(Integer Delta, bool Extend);

    std::unique_ptr<TMemoStrings> lines_;
    TScrollStyle scrollBars_ = ssNone;
    bool wordWrap_ = true;
    bool wantReturns_ = true;
    bool wantTabs_ = false;
    bool syncing_ = false;
    Integer topLine_ = 0;
    std::unique_ptr<platform::ScrollBarDriver> vbar_;
};

class TButtonControl : public TWinControl {
public:
    explicit TButtonControl(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TButtonControl"; }
    void WndProc(TMessage& Message) override;

protected:
    void PaintWindow(HDC DC) override;
    // Check boxes and radio buttons: the box, the caption, and the focus mark around it.
    void PaintBoxAndCaption(platform::Canvas& c, platform::PartState state, bool radio);
};

class TButton : public TButtonControl {
public:
    explicit TButton(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TButton"; }
    Integer ModalResult() const { return modalResult_; }
    void SetModalResult(Integer Value) { modalResult_ = Value; }
    bool Default() const { return default_; }
    void SetDefault(bool Value) { default_ = Value; }
    bool Cancel() const { return cancel_; }
    void SetCancel(bool Value) { cancel_ = Value; }
    // OnClick, then the button's ModalResult becomes its form's.
    void Click() override;
    bool DialogChar(Word Key) override;

private:
    Integer modalResult_ = 0;
    bool default_ = false;
    bool cancel_ = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
public:
    explicit TCustomCheckBox(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TCheckBox"; }
    bool Checked() const { return state_ == cbChecked; }
    // Raises OnClick when the state changes, as the class library does.
    void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return state_; }
    void SetState(TCheckBoxState Value);
    bool AllowGrayed() const { return allowGrayed_; }
    void SetAllowGrayed(bool Value) { allowGrayed_ = Value; }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment Value) { alignment_ = Value; }
    // The user's click: the next state, then (through the state change) OnClick.
    void Toggle();
    void Click() override;

protected:
    void PaintWindow(HDC DC) override;

private:
    TCheckBoxState state_ = cbUnchecked;
    bool allowGrayed_ = false;
    bool inClick_ = false;
    TAlignment alignment_ = taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
public:
    explicit TCheckBox(TComponent* AOwner) : TCustomCheckBox(AOwner) {}
};

class TRadioButton : public TButtonControl {
public:
    explicit TRadioButton(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TRadioButton"; }
    bool Checked() const { return checked_; }
    // Checking one clears the other radio buttons of the same parent; OnClick on checking.
    void SetChecked(bool Value);
    void Click() override;

protected:
    void PaintWindow(HDC DC) override;

private:
    bool checked_ = false;
    bool inClick_ = false;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomListControl : public TWinControl {
public:
    explicit TCustomListControl(TComponent* AOwner);
    ~TCustomListControl() override;
    TStrings* Items() { return items_.get(); }
    void SetItems(TStrings* Value) { items_->Assign(Value); }
    Integer ItemIndex() const { return itemIndex_; }
    // Out of range values select nothing (-1). Raises no event.
    virtual void SetItemIndex(Integer Value);
    bool Sorted() const { return items_->Sorted(); }
    void SetSorted(bool Value) { items_->SetSorted(Value); }
    void Clear();

protected:
    virtual void ItemsChanged();
    std::unique_ptr<TStringList> items_;
    Integer itemIndex_ = -1;
};

namespace platform::detail {
class ComboList;
}

// A combo box drops its list down as a popup of its own below the field (above it when the
// screen has no room below): a click on the field of a drop-down list or on the arrow, Alt+Down
// or F4 open it. While it is open the pointer hovers over its items, a click picks one, and the
// keys move through them (arrows, Home, End, page keys, an item's first letter); Return, F4 or
// Alt+Up pick the item under the highlight, Escape, a press outside the list or the focus
// leaving close it with the choice unchanged. A pick raises OnChange and OnSelect as a keyed
// choice does.
class TCustomComboBox : public TCustomListControl {
public:
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;
    const char* ClassName() const noexcept override { return "TComboBox"; }
    bool DroppedDown() const { return list_ != nullptr; }
    void SetDroppedDown(bool Value);
    // The open list's window and an item's rectangle in its client area (empty when closed).
    HWND DropDownHandle() const;
    RECT DropDownItemRect(Integer Index) const;
    // The item under the open list's highlight, -1 when none.
    Integer DropDownHotIndex() const;
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle Value) { style_ = Value; }
    Integer DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(Integer Value) { dropDownCount_ = Value; }
    Integer MaxLength() const { return maxLength_; }
    void SetMaxLength(Integer Value) { maxLength_ = Value; }
    void SetItemIndex(Integer Value) override;
    TNotifyEvent OnChange;
    TNotifyEvent OnSelect;
    void WndProc(TMessage& Message) override;

protected:
    virtual void Change();
    void PaintWindow(HDC DC) override;
    void ItemsChanged() override;

private:
    friend class platform::detail::ComboList;
    // The user's choice of an item: the text follows, then OnChange and OnSelect.
    void UserSelect(Integer Index);
    // Closes the open list; Index >= 0 is the item picked in it.
    void CloseUp(Integer Index);
    // A key while the list is open: true when the list took it.
    bool DropDownKey(Word Key, TShiftState Shift);
    bool OnArrow(int X) const;
    std::unique_ptr<platform::detail::ComboList> list_;
    TComboBoxStyle style_ = csDropDown;
    Integer dropDownCount_ = 8;
    Integer maxLength_ = 0;
};

class TComboBox : public TCustomComboBox {
public:
    explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
};

// A list box scrolls when its items overflow (wheel, bar, keys); the arrow, Home, End and
// page keys choose an item as a click does.
class TCustomListBox : public TCustomListControl {
public:
    explicit TCustomListBox(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TListBox"; }
    Integer Count() const { return items_->Count(); }
    Integer TopIndex() const { return topIndex_; }
    void SetTopIndex(Integer Value);
    void WndProc(TMessage& Message) override;

protected:
    void PaintWindow(HDC DC) override;
    void ItemsChanged() override;

private:
    Integer RowHeight() const;
    Integer VisibleRows() const;
    bool ShowsScrollBar() const;
    void UserSelect(Integer Index);
    Integer topIndex_ = 0;
    platform::ScrollBarDriver vbar_{SB_VERT};
};

class TListBox : public TCustomListBox {
public:
    explicit TListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
};

class TCustomGroupBox : public TCustomControl {
public:
    explicit TCustomGroupBox(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TGroupBox"; }

protected:
    void AdjustClientRect(TRect& Rect) const override;
    void Paint() override;
};

class TGroupBox : public TCustomGroupBox {
public:
    explicit TGroupBox(TComponent* AOwner) : TCustomGroupBox(AOwner) {}
};
