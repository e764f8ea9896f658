// Menus: menu items in trees, main menus, popup menus, shortcuts.
//
// Items own their sub-items. Clicking an item raises its OnClick; an item whose sub-menu
// opens is clicked first, as the class library does when a drop-down opens. A popup menu
// that opens is recorded and handed to the popup hook, which may choose an item to click (a
// test's way of picking from the menu). With no hook and a person at the display the menu
// opens as a window and its menu loop lets the person choose (platform/MenuLoop.h);
// headless with no hook nothing is chosen.
#pragma once

#include <functional>
#include <vector>

#include "platform/Controls.h"

TARVIK_EXCEPTION(EMenuError, Exception);

using TShortCut = Word;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr TShortCut scNone = 0;

TShortCut ShortCut(Word Key, TShiftState Shift);
void ShortCutToKey(TShortCut ShortCut, Word& Key, TShiftState& Shift);
// "Ctrl+Ins", "Shift+F1", "Alt+Enter", "Del", "F12"...
String ShortCutToText(TShortCut ShortCut);

class TMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;
    const char* ClassName() const noexcept override { return "TMenuItem"; }

    const String& Caption() const { return caption_; }
    void SetCaption(const String& Value) { caption_ = Value; }
    bool Checked() const { return checked_; }
    void SetChecked(bool Value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool Value) { enabled_ = Value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool Value) { visible_ = Value; }
    bool Default() const { return default_; }
    void SetDefault(bool Value) { default_ = Value; }
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut Value) { shortCut_ = Value; }
    const String& Hint() const { return hint_; }
    void SetHint(const String& Value) { hint_ = Value; }
    Integer ImageIndex() const { return imageIndex_; }
    void SetImageIndex(Integer Value) { imageIndex_ = Value; }
    bool RadioItem() const { return radioItem_; }
    void SetRadioItem(bool Value) { radioItem_ = Value; }
    Byte GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(Byte Value) { groupIndex_ = Value; }
    bool AutoCheck() const { return autoCheck_; }
    void SetAutoCheck(bool Value) { autoCheck_ = Value; }
    // A separator: the caption "-".
    bool IsLine() const { return caption_ == "-"; }

    Integer Count() const { return static_cast<Integer>(items_.size()); }
    TMenuItem* Items(Integer Index) const;
    TMenuItem* operator[](Integer Index) const { return Items(Index); }
    TMenuItem* Parent() const { return parent_; }
    Integer MenuIndex() const;
    Integer IndexOf(const TMenuItem* Item) const;
    void Add(TMenuItem* Item);
    void Insert(Integer Index, TMenuItem* Item);
    void Delete(Integer Index);
    void Remove(TMenuItem* Item);
    // Frees every sub-item.
    void Clear();
    // The sub-item with this caption (without regard to case and "&"), or nullptr.
    TMenuItem* Find(const String& ACaption) const;
    // The menu the item belongs to (nullptr for a free item).
    TMenu* GetParentMenu() const;
    // Unique number of the item, used as the WM_COMMAND identifier.
    Word Command() const { return command_; }

    virtual void Click();
    TNotifyEvent OnClick;

protected:
    void ComponentRemoved(TComponent* AComponent) override;

private:
    friend class TMenu;
    String caption_;
    bool checked_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    bool default_ = false;
    bool radioItem_ = false;
    bool autoCheck_ = false;
    Byte groupIndex_ = 0;
    TShortCut shortCut_ = 0;
    String hint_;
    Integer imageIndex_ = -1;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;
    std::vector<TMenuItem*> items_;
    Word command_;
};

enum TMenuAutoFlag { maAutomatic, maManual, maParent };

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;
    const char* ClassName() const noexcept override { return "TMenu"; }
    TMenuItem* Items() const { return items_; }
    TMenuAutoFlag AutoHotkeys() const { return autoHotkeys_; }
    void SetAutoHotkeys(TMenuAutoFlag Value) { autoHotkeys_ = Value; }
    TComponent* Images() const { return images_; }
    void SetImages(TComponent* Value) { images_ = Value; }
    // The item (at any depth) with this command number, or nullptr.
    TMenuItem* FindItem(Word Command) const;
    // Clicks the enabled, visible item (at any depth) with this shortcut; true when found.
    bool IsShortCut(Word Key, TShiftState Shift);

private:
    TMenuItem* items_;
    TMenuAutoFlag autoHotkeys_ = maAutomatic;
    TComponent* images_ = nullptr;
};

class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
    const char* ClassName() const noexcept override { return "TMainMenu"; }
};

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}
    const char* ClassName() const noexcept override { return "TPopupMenu"; }
    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool Value) { autoPopup_ = Value; }
    TComponent* PopupComponent() const { return popupComponent_; }
    void SetPopupComponent(TComponent* Value) { popupComponent_ = Value; }
    // Raises OnPopup, records the menu and lets the popup hook choose an item (screen point).
    virtual void Popup(Integer X, Integer Y);
    TNotifyEvent OnPopup;

protected:
    void ComponentRemoved(TComponent* AComponent) override;

private:
    bool autoPopup_ = true;
    TComponent* popupComponent_ = nullptr;
};

namespace platform {

// A popup menu (or a sub-menu dropped from a tool button) as it opened.
struct ShownPopup {
    String menuName;   // component name of the menu, or of the item whose sub-menu opened
    POINT at;          // screen point
    std::vector<String> captions;  // visible top-level items, separators as "-"
};
// Chooses the item to click, or nullptr for none.
using PopupHook = std::function<TMenuItem*(TMenu& Menu, TMenuItem& Items, POINT At)>;
void SetPopupHook(PopupHook Hook);
std::vector<ShownPopup> ShownPopups();
void ClearShownPopups();
// Opens the sub-menu of Item (clicking Item first) through the popup hook.
void DropDownMenuItem(TMenuItem* Item, POINT At);

}  // namespace platform
