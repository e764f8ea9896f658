// Common controls: list view, status bar, page control with tab sheets, tool bar with tool
// buttons, and cool bar.
//
// They are drawn by the layer itself (headless, into the display list) and keep their models
// as the class library's classes do: a list view's columns and items with sub-items and
// selection, a status bar's panels, a page control's pages. Selection changes of a list view
// raise OnSelectItem for the item that lost and the item that gained the selection, whether
// the user or code changed it. Setting a page control's ActivePage raises the sheets' OnHide
// and OnShow but not the control's OnChange, which only a tab click raises.
#pragma once

#include <memory>
#include <vector>

#include "platform/Controls.h"
#include "platform/ImgList.h"
#include "platform/Menus.h"
#include "platform/ScrollBar.h"
#include "platform/StringList.h"

// ---- list view

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TCustomListView;
class TListItems;

class TListColumn : public TObject {
public:
    const char* ClassName() const noexcept override { return "TListColumn"; }
    const String& Caption() const { return caption_; }
    void SetCaption(const String& Value);
    // An AutoSize column takes what the other columns leave of the client width.
    Integer Width() const;
    void SetWidth(Integer Value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment Value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool Value);
    Integer Index() const;

private:
    friend class TListColumns;
    TCustomListView* view_ = nullptr;
    String caption_;
    Integer width_ = 50;
    TAlignment alignment_ = taLeftJustify;
    bool autoSize_ = false;
};

class TListColumns {
public:
    explicit TListColumns(TCustomListView* View) : view_(View) {}
    TListColumn* Add();
    Integer Count() const { return static_cast<Integer>(columns_.size()); }
    TListColumn* Items(Integer Index) const;
    TListColumn* operator[](Integer Index) const { return Items(Index); }
    void Delete(Integer Index);
    void Clear();

private:
    friend class TListColumn;
    TCustomListView* view_;
    std::vector<std::unique_ptr<TListColumn>> columns_;
};

class TListItem : public TObject {
public:
    const char* ClassName() const noexcept override { return "TListItem"; }
    const String& Caption() const { return caption_; }
    void SetCaption(const String& Value);
    TStrings* SubItems() { return &subItems_; }
    void* Data() const { return data_; }
    void SetData(void* Value) { data_ = Value; }
    Integer ImageIndex() const { return imageIndex_; }
    void SetImageIndex(Integer Value) { imageIndex_ = Value; }
    bool Selected() const { return selected_; }
    void SetSelected(bool Value);
    bool Focused() const { return focused_; }
    void SetFocused(bool Value);
    Integer Index() const;
    TListItems* Owner() const { return owner_; }
    TCustomListView* ListView() const;
    // Removes the item from its list and frees it.
    void Delete();

private:
    friend class TListItems;
    friend class TCustomListView;
    TListItems* owner_ = nullptr;
    String caption_;
    TStringList subItems_;
    void* data_ = nullptr;
    Integer imageIndex_ = -1;
    bool selected_ = false;
    bool focused_ = false;
};

class TListItems {
public:
    explicit TListItems(TCustomListView* View) : view_(View) {}
    ~TListItems();
    TListItem* Add();
    TListItem* Insert(Integer Index);
    Integer Count() const { return static_cast<Integer>(items_.size()); }
    TListItem* Item(Integer Index) const;
    TListItem* operator[](Integer Index) const { return Item(Index); }
    Integer IndexOf(const TListItem* Item) const;
    void Delete(Integer Index);
    // Removes every item; raises no selection events.
    void Clear();
    void BeginUpdate() { ++updating_; }
    void EndUpdate();
    TCustomListView* Owner() const { return view_; }

private:
    friend class TListItem;
    friend class TCustomListView;
    TCustomListView* view_;
    std::vector<TListItem*> items_;
    int updating_ = 0;
};

using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVDeletedEvent = std::function<void(TObject* Sender, TListItem* Item)>;
using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;

class TCustomListView : public TCustomControl {
public:
    explicit TCustomListView(TComponent* AOwner);
    ~TCustomListView() override;
    const char* ClassName() const noexcept override { return "TListView"; }

    TListColumns* Columns() { return &columns_; }
    TListItems* Items() { return &items_; }
    TViewStyle ViewStyle() const { return viewStyle_; }
    void SetViewStyle(TViewStyle Value) { viewStyle_ = Value; Invalidate(); }
    bool GridLines() const { return gridLines_; }
    void SetGridLines(bool Value) { gridLines_ = Value; Invalidate(); }
    bool RowSelect() const { return rowSelect_; }
    void SetRowSelect(bool Value) { rowSelect_ = Value; Invalidate(); }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool Value) { readOnly_ = Value; }
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool Value) { multiSelect_ = Value; }
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool Value) { hideSelection_ = Value; }
    bool ShowColumnHeaders() const { return showColumnHeaders_; }
    void SetShowColumnHeaders(bool Value) { showColumnHeaders_ = Value; Invalidate(); }
    TCustomImageList* SmallImages() const { return smallImages_; }
    void SetSmallImages(TCustomImageList* Value);
    TCustomImageList* LargeImages() const { return largeImages_; }
    void SetLargeImages(TCustomImageList* Value);

    // The first selected item, or nullptr; setting selects that item alone.
    TListItem* Selected() const;
    void SetSelected(TListItem* Value);
    Integer SelCount() const;
    TListItem* ItemFocused() const;
    void SetItemFocused(TListItem* Value);
    void ClearSelection();
    // The item on the row at a client point, or nullptr.
    TListItem* GetItemAt(Integer X, Integer Y) const;
    Integer RowHeight() const;
    Integer HeaderHeight() const;
    // The column whose right edge (the header's divider) is at a client point, -1 for none.
    // A person drags a divider to set that column's width; the pointer shows it can.
    Integer ColumnDividerAt(Integer X, Integer Y) const;
    // The first row shown; rows that overflow scroll by wheel, bar and keys.
    Integer TopIndex() const { return topIndex_; }
    void SetTopIndex(Integer Value);
    void ScrollIntoView(TListItem* Item);

    TLVSelectItemEvent OnSelectItem;
    TLVDeletedEvent OnDeletion;
    TLVColumnClickEvent OnColumnClick;
    TNotifyEvent OnChange;
    void WndProc(TMessage& Message) override;

protected:
    friend class TListItem;
    friend class TListItems;
    friend class TListColumn;
    virtual void SelectItem(TListItem* Item, bool Selected);
    void Paint() override;
    void ComponentRemoved(TComponent* AComponent) override;
    // The user's choice of a row (click or arrow key).
    void UserSelect(TListItem* Item, TShiftState Shift);

private:
    TListColumns columns_;
    TListItems items_;
    TViewStyle viewStyle_ = vsIcon;
    bool gridLines_ = false;
    bool rowSelect_ = false;
    bool readOnly_ = false;
    bool multiSelect_ = false;
    bool hideSelection_ = true;
    bool showColumnHeaders_ = true;
    TCustomImageList* smallImages_ = nullptr;
    TCustomImageList* largeImages_ = nullptr;
    Integer topIndex_ = 0;
    platform::ScrollBarDriver vbar_{SB_VERT};
    // A divider being dragged: its column, and the pointer's distance from the edge at the press.
    Integer sizingColumn_ = -1;
    Integer sizingOffset_ = 0;
    bool dividerCursor_ = false;
    TCursor restCursor_ = crDefault;
    void UpdateDividerCursor();
    Integer VisibleRows() const;
    RECT ScrollBarRect() const;
    bool ShowsScrollBar() const;
};

class TListView : public TCustomListView {
public:
    explicit TListView(TComponent* AOwner) : TCustomListView(AOwner) {}
};

// ---- status bar

enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };

class TStatusBar;

class TStatusPanel : public TObject {
public:
    const char* ClassName() const noexcept override { return "TStatusPanel"; }
    const String& Text() const { return text_; }
    void SetText(const String& Value);
    Integer Width() const { return width_; }
    void SetWidth(Integer Value);
    TStatusPanelBevel Bevel() const { return bevel_; }
    void SetBevel(TStatusPanelBevel Value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment Value);
    TBiDiMode BiDiMode() const { return biDiMode_; }
    void SetBiDiMode(TBiDiMode Value);
    Integer Index() const;

private:
    friend class TStatusPanels;
    TStatusBar* bar_ = nullptr;
    String text_;
    Integer width_ = 50;
    TStatusPanelBevel bevel_ = pbLowered;
    TAlignment alignment_ = taLeftJustify;
    TBiDiMode biDiMode_ = bdLeftToRight;
};

class TStatusPanels {
public:
    explicit TStatusPanels(TStatusBar* Bar) : bar_(Bar) {}
    TStatusPanel* Add();
    Integer Count() const { return static_cast<Integer>(panels_.size()); }
    TStatusPanel* Items(Integer Index) const;
    TStatusPanel* operator[](Integer Index) const { return Items(Index); }
    void Delete(Integer Index);
    void Clear();

private:
    friend class TStatusPanel;
    TStatusBar* bar_;
    std::vector<std::unique_ptr<TStatusPanel>> panels_;
};

class TStatusBar : public TCustomControl {
public:
    explicit TStatusBar(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TStatusBar"; }
    TStatusPanels* Panels() { return &panels_; }
    bool SimplePanel() const { return simplePanel_; }
    void SetSimplePanel(bool Value) { simplePanel_ = Value; Invalidate(); }
    const String& SimpleText() const { return simpleText_; }
    void SetSimpleText(const String& Value) { simpleText_ = Value; Invalidate(); }
    bool SizeGrip() const { return sizeGrip_; }
    void SetSizeGrip(bool Value) { sizeGrip_ = Value; Invalidate(); }
    // Left and right edge of a panel; the last one reaches the bar's right edge.
    TRect PanelRect(Integer Index) const;

protected:
    void Paint() override;

private:
    TStatusPanels panels_;
    bool simplePanel_ = false;
    String simpleText_;
    bool sizeGrip_ = true;
};

// ---- page control

enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };
enum TTabPosition { tpTop, tpBottom, tpLeft, tpRight };

class TPageControl;

class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;
    const char* ClassName() const noexcept override { return "TTabSheet"; }
    TPageControl* PageControl() const { return pageControl_; }
    void SetPageControl(TPageControl* Value);
    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool Value);
    Integer PageIndex() const;
    void SetPageIndex(Integer Value);
    // Index among the visible tabs, -1 when the tab is hidden.
    Integer TabIndex() const;
    Integer ImageIndex() const { return imageIndex_; }
    void SetImageIndex(Integer Value) { imageIndex_ = Value; }
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

protected:
    void VisibleChanged() override;
    void TextChanged() override;

private:
    friend class TPageControl;
    TPageControl* pageControl_ = nullptr;
    bool tabVisible_ = true;
    Integer imageIndex_ = -1;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TWinControl {
public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;
    const char* ClassName() const noexcept override { return "TPageControl"; }
    Integer PageCount() const { return static_cast<Integer>(pages_.size()); }
    TTabSheet* Pages(Integer Index) const;
    TTabSheet* ActivePage() const { return activePage_; }
    void SetActivePage(TTabSheet* Value);
    Integer ActivePageIndex() const { return activePage_ ? activePage_->PageIndex() : -1; }
    void SetActivePageIndex(Integer Value);
    TTabStyle Style() const { return style_; }
    void SetStyle(TTabStyle Value) { style_ = Value; Realign(); Invalidate(); }
    TTabPosition TabPosition() const { return tabPosition_; }
    void SetTabPosition(TTabPosition Value) { tabPosition_ = Value; Realign(); Invalidate(); }
    bool MultiLine() const { return multiLine_; }
    void SetMultiLine(bool Value) { multiLine_ = Value; Invalidate(); }
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* Value);
    // The page after (or before) CurrentPage among those with visible tabs, wrapping around.
    TTabSheet* FindNextPage(TTabSheet* CurrentPage, bool GoForward, bool CheckTabVisible) const;
    // The tab rectangle of a page with a visible tab (empty for a hidden one).
    TRect TabRect(const TTabSheet* Page) const;
    TRect DisplayRect() const;

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;
    void WndProc(TMessage& Message) override;

protected:
    friend class TTabSheet;
    void AdjustClientRect(TRect& Rect) const override;
    void PaintWindow(HDC DC) override;
    void ComponentRemoved(TComponent* AComponent) override;
    void InsertPage(TTabSheet* Page);
    void RemovePage(TTabSheet* Page);
    // A tab clicked by the user: OnChanging may refuse, then the page changes and OnChange.
    void UserSelect(TTabSheet* Page);

private:
    Integer TabExtent(const TTabSheet* Page) const;
    std::vector<TTabSheet*> pages_;
    TTabSheet* activePage_ = nullptr;
    TTabStyle style_ = tsTabs;
    TTabPosition tabPosition_ = tpTop;
    bool multiLine_ = false;
    TCustomImageList* images_ = nullptr;
};

// ---- tool bar

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

class TToolBar;

class TToolButton : public TGraphicControl {
public:
    explicit TToolButton(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TToolButton"; }
    TToolButtonStyle Style() const { return style_; }
    void SetStyle(TToolButtonStyle Value);
    Integer ImageIndex() const { return imageIndex_; }
    void SetImageIndex(Integer Value) { imageIndex_ = Value; Invalidate(); }
    TPopupMenu* DropdownMenu() const { return dropdownMenu_; }
    void SetDropdownMenu(TPopupMenu* Value);
    TMenuItem* MenuItem() const { return menuItem_; }
    void SetMenuItem(TMenuItem* Value);
    bool Down() const { return down_; }
    void SetDown(bool Value);
    bool Grouped() const { return grouped_; }
    void SetGrouped(bool Value) { grouped_ = Value; }
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool Value) { allowAllUp_ = Value; }
    // Opens the button's drop-down menu or its menu item's sub-menu; false when it has none.
    bool CheckMenuDropdown();
    // A button with a menu item drops its sub-menu; a check button toggles; then OnClick.
    void Click() override;
    TToolBar* ToolBar() const;
    // A tool bar may serve as the form's menu bar: the drop-down menu answers its shortcuts
    // wherever on the form they are typed.
    bool IsFormShortCut(Word Key, TShiftState Shift) override;

protected:
    void Paint() override;
    void ComponentRemoved(TComponent* AComponent) override;

private:
    TToolButtonStyle style_ = tbsButton;
    Integer imageIndex_ = -1;
    TPopupMenu* dropdownMenu_ = nullptr;
    TMenuItem* menuItem_ = nullptr;
    bool down_ = false;
    bool grouped_ = false;
    bool allowAllUp_ = false;
};

class TToolBar : public TWinControl {
public:
    explicit TToolBar(TComponent* AOwner);
    const char* ClassName() const noexcept override { return "TToolBar"; }
    Integer ButtonWidth() const { return buttonWidth_; }
    void SetButtonWidth(Integer Value) { buttonWidth_ = Value; Realign(); }
    Integer ButtonHeight() const { return buttonHeight_; }
    void SetButtonHeight(Integer Value) { buttonHeight_ = Value; Realign(); }
    bool Flat() const { return flat_; }
    void SetFlat(bool Value) { flat_ = Value; Invalidate(); }
    bool ShowCaptions() const { return showCaptions_; }
    void SetShowCaptions(bool Value) { showCaptions_ = Value; Realign(); }
    // Captions beside the images rather than below them.
    bool List() const { return list_; }
    void SetList(bool Value) { list_ = Value; Realign(); }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool Value) { autoSize_ = Value; Realign(); }
    bool Wrapable() const { return wrapable_; }
    void SetWrapable(bool Value) { wrapable_ = Value; }
    Integer Indent() const { return indent_; }
    void SetIndent(Integer Value) { indent_ = Value; Realign(); }
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* Value);
    Integer ButtonCount() const;
    TToolButton* Buttons(Integer Index) const;

protected:
    // Children sit left to right in the order they were added, each button ButtonWidth wide.
    void AlignControls(TControl* AControl) override;
    bool PlacesChildren() const override { return true; }
    void ComponentRemoved(TComponent* AComponent) override;

private:
    Integer buttonWidth_ = 23;
    Integer buttonHeight_ = 22;
    bool flat_ = false;
    bool showCaptions_ = false;
    bool list_ = false;
    bool autoSize_ = false;
    bool wrapable_ = true;
    Integer indent_ = 0;
    TCustomImageList* images_ = nullptr;
    bool laying_ = false;
};

// ---- cool bar

class TCoolBar;

class TCoolBand : public TObject {
public:
    const char* ClassName() const noexcept override { return "TCoolBand"; }
    TWinControl* Control() const { return control_; }
    void SetControl(TWinControl* Value);
    bool Break() const { return break_; }
    void SetBreak(bool Value) { break_ = Value; }
    Integer Width() const { return width_; }
    void SetWidth(Integer Value) { width_ = Value; }
    const String& Text() const { return text_; }
    void SetText(const String& Value) { text_ = Value; }

private:
    friend class TCoolBar;
    TCoolBar* bar_ = nullptr;
    TWinControl* control_ = nullptr;
    bool break_ = true;
    Integer width_ = 0;
    String text_;
};

class TCoolBar : public TWinControl {
public:
    explicit TCoolBar(TComponent* AOwner);
    ~TCoolBar() override;
    const char* ClassName() const noexcept override { return "TCoolBar"; }
    TCoolBand* AddBand();
    Integer BandCount() const { return static_cast<Integer>(bands_.size()); }
    TCoolBand* Bands(Integer Index) const;
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool Value) { autoSize_ = Value; Realign(); }

protected:
    // Each band's control on a row of its own, the full width less the band's grip.
    void AlignControls(TControl* AControl) override;
    bool PlacesChildren() const override { return true; }
    void ComponentRemoved(TComponent* AComponent) override;

private:
    friend class TCoolBand;
    std::vector<std::unique_ptr<TCoolBand>> bands_;
    bool autoSize_ = true;
    bool laying_ = false;
};
