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
#include "platform/StringList.h"

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

class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TEdit"; }
    // 0: no limit. Limits what the user types; text set by code is kept whole.
    Integer MaxLength() const { return maxLength_; }
    void SetMaxLength(Integer Value) { maxLength_ = Value; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool Value) { readOnly_ = Value; }
    char PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char Value) { passwordChar_ = Value; Invalidate(); }
    TEditCharCase CharCase() const { return charCase_; }
    void SetCharCase(TEditCharCase Value) { charCase_ = Value; }
    bool Modified() const { return modified_; }
    void SetModified(bool Value) { modified_ = Value; }
    Integer SelStart() const { return selStart_; }
    void SetSelStart(Integer Value);
    Integer SelLength() const { return selLength_; }
    void SetSelLength(Integer Value);
    String SelText() const;
    void SelectAll();
    void Clear() { SetText(""); }
    TNotifyEvent OnChange;
    void WndProc(TMessage& Message) override;

protected:
    virtual void Change();
    void TextChanged() override;
    void CreateParams(TCreateParams& Params) override;
    void PaintWindow(HDC DC) override;
    // A typed character: replaces the selection, within MaxLength.
    virtual void TypeChar(char Key);

    Integer maxLength_ = 0;
    bool readOnly_ = false;
    char passwordChar_ = 0;
    TEditCharCase charCase_ = ecNormal;
    bool modified_ = false;
    Integer selStart_ = 0;
    Integer selLength_ = 0;
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

class TMemo : public TCustomEdit {
public:
    explicit TMemo(TComponent* AOwner);
    ~TMemo() override;
    const char* ClassName() const noexcept override { return "TMemo"; }
    TStrings* Lines() { return lines_.get(); }
    void SetLines(TStrings* Value) { lines_->Assign(Value); }
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle Value) { scrollBars_ = Value; }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool Value) { wordWrap_ = Value; }
    bool WantReturns() const { return wantReturns_; }
    void SetWantReturns(bool Value) { wantReturns_ = Value; }
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool Value) { wantTabs_ = Value; }

protected:
    friend class TMemoStrings;
    void TextChanged() override;
    void TypeChar(char Key) override;
    void PaintWindow(HDC DC) override;

private:
    std::unique_ptr<TMemoStrings> lines_;
    TScrollStyle scrollBars_ = ssNone;
    bool wordWrap_ = true;
    bool wantReturns_ = true;
    bool wantTabs_ = false;
    bool syncing_ = false;
};

class TButtonControl : public TWinControl {
public:
    explicit TButtonControl(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TButtonControl"; }
    void WndProc(TMessage& Message) override;

protected:
    void PaintWindow(HDC DC) override;
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

class TCustomComboBox : public TCustomListControl {
public:
    explicit TCustomComboBox(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TComboBox"; }
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
    // The user's choice of an item: the text follows, then OnChange and OnSelect.
    void UserSelect(Integer Index);
    TComboBoxStyle style_ = csDropDown;
    Integer dropDownCount_ = 8;
    Integer maxLength_ = 0;
};

class TComboBox : public TCustomComboBox {
public:
    explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
};

class TCustomListBox : public TCustomListControl {
public:
    explicit TCustomListBox(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TListBox"; }
    Integer Count() const { return items_->Count(); }
    void WndProc(TMessage& Message) override;

protected:
    void PaintWindow(HDC DC) override;
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
