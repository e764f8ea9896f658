#include "platform/Menus.h"

#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/Forms.h"
#include "platform/MenuLoop.h"
#include "platform/SysUtils.h"
#include "detail/LayerFormat.h"

namespace {

Word g_nextCommand = 100;

struct PopupState {
    platform::PopupHook hook;
    std::vector<platform::ShownPopup> shown;
};

PopupState& Popups() {
    static PopupState s;
    return s;
}

String StripAmpersands(const String& s) {
    String out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += s[i];
    }
    return out;
}

void Record(const String& name, POINT at, TMenuItem& items) {
    platform::ShownPopup p;
    p.menuName = name;
    p.at = at;
    for (Integer i = 0; i < items.Count(); ++i)
        if (items[i]->Visible()) p.captions.push_back(items[i]->Caption());
    Popups().shown.push_back(std::move(p));
}

// The application of the form that owns the menu (the process's first one otherwise).
TApplication* ApplicationOfMenu(const TComponent* c) {
    for (; c; c = c->Owner())
        if (auto* form = dynamic_cast<const TCustomForm*>(c)) return form->ModuleApplication();
    return platform::ProcessApplication();
}

// The window an open menu belongs to: the form of the component it pops up for, else the
// active window.
HWND OwnerWindow(const TComponent* c) {
    for (; c; c = c->Owner())
        if (auto* form = dynamic_cast<const TCustomForm*>(c); form && form->HandleAllocated())
            return const_cast<TCustomForm*>(form)->Handle();
    return GetActiveWindow();
}

// Lets the hook choose from an open menu, or the person when one is at the display, and
// clicks what was chosen (enabled items only) once the menu has closed. The chosen item's
// hint becomes the application's, as when the user moves onto it.
void Choose(TMenu& menu, TMenuItem& items, POINT at, const TComponent* context) {
    TMenuItem* chosen = nullptr;
    if (Popups().hook) {
        chosen = Popups().hook(menu, items, at);
    } else if (platform::PersonAtDisplay()) {
        // The item under the pointer or the keyboard shows its hint while the menu is open;
        // the hint goes when the menu closes.
        TApplication* app = ApplicationOfMenu(context);
        std::weak_ptr<bool> appAlive = app ? app->AliveToken() : std::weak_ptr<bool>{};
        chosen = platform::TrackMenu(items, at, OwnerWindow(context), [app, appAlive](TMenuItem* item) {
            if (app && !appAlive.expired()) app->SetHint(GetLongHint(item->Hint()));
        });
        if (app && !appAlive.expired()) app->SetHint("");
    }
    if (!chosen || !chosen->Enabled() || !chosen->Visible()) return;
    if (TApplication* app = ApplicationOfMenu(chosen)) app->SetHint(GetLongHint(chosen->Hint()));
    chosen->Click();
}

}  // namespace

TShortCut ShortCut(Word Key, TShiftState Shift) {
    if (Key & 0xFF00) return 0;
    TShortCut s = Key;
    if (Shift & ssShift) s |= scShift;
    if (Shift & ssCtrl) s |= scCtrl;
    if (Shift & ssAlt) s |= scAlt;
    return s;
}

void ShortCutToKey(TShortCut Value, Word& Key, TShiftState& Shift) {
    Key = Value & 0xFF;
    Shift = 0;
    if (Value & scShift) Shift |= ssShift;
    if (Value & scCtrl) Shift |= ssCtrl;
    if (Value & scAlt) Shift |= ssAlt;
}

String ShortCutToText(TShortCut Value) {
    Word key = Value & 0xFF;
    String name;
    if (key >= VK_F1 && key <= VK_F1 + 23)
        name = "F" + IntToStr(key - VK_F1 + 1);
    else if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        name = String(1, static_cast<char>(key));
    else {
        switch (key) {
            case VK_BACK: name = "BkSp"; break;
            case VK_TAB: name = "Tab"; break;
            case VK_RETURN: name = "Enter"; break;
            case VK_ESCAPE: name = "Esc"; break;
            case VK_SPACE: name = "Space"; break;
            case VK_PRIOR: name = "PgUp"; break;
            case VK_NEXT: name = "PgDn"; break;
            case VK_END: name = "End"; break;
            case VK_HOME: name = "Home"; break;
            case VK_LEFT: name = "Left"; break;
            case VK_UP: name = "Up"; break;
            case VK_RIGHT: name = "Right"; break;
            case VK_DOWN: name = "Down"; break;
            case VK_INSERT: name = "Ins"; break;
            case VK_DELETE: name = "Del"; break;
            default: return "";
        }
    }
    String prefix;
    if (Value & scShift) prefix += "Shift+";
    if (Value & scCtrl) prefix += "Ctrl+";
    if (Value & scAlt) prefix += "Alt+";
    return prefix + name;
}

// ---- TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), command_(g_nextCommand++) {
    if (g_nextCommand == 0) g_nextCommand = 100;
}

TMenuItem::~TMenuItem() {
    Clear();
    if (parent_) parent_->Remove(this);
}

TMenuItem* TMenuItem::Items(Integer Index) const {
    if (Index < 0 || Index >= Count()) throw EMenuError(platform::detail::LayerFormat("Index %d out of bounds", {Index}));
    return items_[static_cast<std::size_t>(Index)];
}

Integer TMenuItem::IndexOf(const TMenuItem* Item) const {
    auto it = std::find(items_.begin(), items_.end(), Item);
    return it == items_.end() ? -1 : static_cast<Integer>(it - items_.begin());
}

Integer TMenuItem::MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(Integer Index, TMenuItem* Item) {
    if (!Item) return;
    if (Item->parent_) throw EMenuError("Menu inserted twice");
    if (Index < 0 || Index > Count()) throw EMenuError(platform::detail::LayerFormat("Index %d out of bounds", {Index}));
    items_.insert(items_.begin() + Index, Item);
    Item->parent_ = this;
    Item->FreeNotification(this);
}

void TMenuItem::Delete(Integer Index) {
    TMenuItem* item = Items(Index);
    items_.erase(items_.begin() + Index);
    item->parent_ = nullptr;
    RemoveFreeNotification(item);
}

void TMenuItem::Remove(TMenuItem* Item) {
    Integer i = IndexOf(Item);
    if (i < 0) throw EMenuError("Sub-menu is not in menu");
    Delete(i);
}

void TMenuItem::Clear() {
    while (!items_.empty()) {
        TMenuItem* item = items_.back();
        Delete(Count() - 1);
        item->Free();
    }
}

void TMenuItem::ComponentRemoved(TComponent* AComponent) {
    auto it = std::find(items_.begin(), items_.end(), AComponent);
    if (it != items_.end()) {
        (*it)->parent_ = nullptr;
        items_.erase(it);
    }
}

TMenuItem* TMenuItem::Find(const String& ACaption) const {
    String wanted = UpperCase(StripAmpersands(ACaption));
    for (TMenuItem* i : items_)
        if (UpperCase(StripAmpersands(i->caption_)) == wanted) return i;
    return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* i = this;
    while (i->parent_) i = i->parent_;
    return i->menu_;
}

void TMenuItem::SetChecked(bool Value) {
    if (checked_ == Value) return;
    checked_ = Value;
    // Radio items of one group: checking one clears the others.
    if (Value && radioItem_ && parent_)
        for (TMenuItem* other : parent_->items_)
            if (other != this && other->radioItem_ && other->groupIndex_ == groupIndex_) other->checked_ = false;
}

void TMenuItem::Click() {
    if (!enabled_ || Destroying()) return;
    if (autoCheck_) SetChecked(!checked_);
    if (OnClick) OnClick(this);
}

// ---- TMenu

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), items_(new TMenuItem(nullptr)) { items_->menu_ = this; }

TMenu::~TMenu() { items_->Free(); }

TMenuItem* TMenu::FindItem(Word Command) const {
    std::function<TMenuItem*(TMenuItem*)> find = [&](TMenuItem* item) -> TMenuItem* {
        if (item->Command() == Command) return item;
        for (Integer i = 0; i < item->Count(); ++i)
            if (TMenuItem* f = find(item->Items(i))) return f;
        return nullptr;
    };
    return find(items_);
}

bool TMenu::IsShortCut(Word Key, TShiftState Shift) {
    TShortCut wanted = ShortCut(Key, Shift & (ssShift | ssCtrl | ssAlt));
    if (!wanted) return false;
    std::function<TMenuItem*(TMenuItem*)> find = [&](TMenuItem* item) -> TMenuItem* {
        for (Integer i = 0; i < item->Count(); ++i) {
            TMenuItem* c = item->Items(i);
            if (!c->Enabled() || !c->Visible()) continue;
            if (c->ShortCut() == wanted) return c;
            if (TMenuItem* f = find(c)) return f;
        }
        return nullptr;
    };
    TMenuItem* item = find(items_);
    if (!item) return false;
    // The parents are clicked first, as when the user opens the menus down to the item.
    std::vector<TMenuItem*> chain;
    for (TMenuItem* p = item->Parent(); p && p != items_; p = p->Parent()) chain.insert(chain.begin(), p);
    for (TMenuItem* p : chain) p->Click();
    item->Click();
    return true;
}

// ---- TPopupMenu

void TPopupMenu::Popup(Integer X, Integer Y) {
    if (OnPopup && !Destroying()) OnPopup(this);
    POINT at{X, Y};
    Record(Name(), at, *Items());
    Choose(*this, *Items(), at, popupComponent_ ? popupComponent_ : this);
}

void TPopupMenu::ComponentRemoved(TComponent* AComponent) {
    if (AComponent == popupComponent_) popupComponent_ = nullptr;
}

namespace platform {

void SetPopupHook(PopupHook Hook) { Popups().hook = std::move(Hook); }
std::vector<ShownPopup> ShownPopups() { return Popups().shown; }
void ClearShownPopups() { Popups().shown.clear(); }

void DropDownMenuItem(TMenuItem* Item, POINT At) {
    if (!Item || !Item->Enabled()) return;
    std::weak_ptr<bool> alive = Item->AliveToken();
    Item->Click();
    if (alive.expired()) return;
    Record(Item->Name(), At, *Item);
    if (TMenu* menu = Item->GetParentMenu()) {
        Choose(*menu, *Item, At, menu);
    } else {
        // A free item: no menu to name, but the hook or the person can still choose.
        TMenu dummy(nullptr);
        Choose(dummy, *Item, At, Item);
    }
}

}  // namespace platform
