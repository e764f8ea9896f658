// The tray icon component: the shell record, the callback window, the cycle timer and the two
// window subclasses.
#include "controls/TrayIcon.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/Forms.h"
#include "platform/TrayHost.h"

namespace {

constexpr const char* kTrayProp = "TarvikTrayIcon";
// The shell record as the shell knows it: its size, identifier and the valid fields.
constexpr DWORD kRecordSize = 88;
constexpr UINT kRecordFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
static_assert(kRecordFlags == 7);
static_assert(TTrayIcon::kTipChars + 1 == sizeof(NOTIFYICONDATAA{}.szTip));

// Windows subclassed by tray icons. Every icon that hooks one window shares one procedure, so
// the window's first procedure is kept once and icons may go in any order; a window whose
// procedure someone else replaced after us keeps forwarding through the chain, never to an
// icon that is gone.
struct HookChain {
    WNDPROC original = nullptr;
    std::vector<TTrayIcon*> icons;
};
using HookChains = std::unordered_map<HWND, HookChain>;
HookChains& ApplicationChains() {
    static HookChains chains;
    return chains;
}
HookChains& OwnerChains() {
    static HookChains chains;
    return chains;
}
HookChains& ChainsOf(WNDPROC hook, WNDPROC applicationHook) {
    return hook == applicationHook ? ApplicationChains() : OwnerChains();
}

// The icons of a chain as they stand now; each is checked again before use, as handlers may
// free icons.
std::vector<TTrayIcon*> IconsOf(HookChains& chains, HWND hwnd) {
    auto it = chains.find(hwnd);
    return it == chains.end() ? std::vector<TTrayIcon*>{} : it->second.icons;
}
bool StillHooked(HookChains& chains, HWND hwnd, TTrayIcon* icon) {
    auto it = chains.find(hwnd);
    return it != chains.end() && std::find(it->second.icons.begin(), it->second.icons.end(), icon) != it->second.icons.end();
}
LRESULT Forward(HookChains& chains, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = chains.find(hwnd);
    if (it == chains.end()) return DefWindowProcA(hwnd, msg, wParam, lParam);
    WNDPROC original = it->second.original;
    LRESULT result = CallWindowProcA(original, hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) chains.erase(hwnd);
    return result;
}

TShiftState KeysNow() { return KeyboardStateToShiftState() & (ssShift | ssAlt | ssCtrl); }

}  // namespace

TTrayIcon::TTrayIcon(TComponent* AOwner) : TComponent(AOwner) {
    auto* ownerControl = dynamic_cast<TWinControl*>(AOwner);
    if (AOwner && !ownerControl) throw EInvalidCast("Invalid class typecast");
    icon_ = std::make_unique<TIcon>();
    record_.cbSize = kRecordSize;
    record_.uID = kIconId;
    record_.uFlags = kRecordFlags;
    record_.uCallbackMessage = kCallbackMessage;
    callbackWindow_ = AllocateHWnd(&TTrayIcon::CallbackProc);
    SetPropA(callbackWindow_, kTrayProp, this);
    record_.hWnd = callbackWindow_;
    cycleTimer_ = std::make_unique<TTimer>(nullptr);
    cycleTimer_->SetEnabled(false);
    cycleTimer_->SetInterval(cycleInterval_);
    cycleTimer_->OnTimer = [this](TObject*) { CycleStep(); };
    if (!(ComponentState() & csDesigning)) {
        Hook(Application->Handle(), &TTrayIcon::ApplicationHook, savedApplicationProc_);
        applicationWindow_ = Application->Handle();
        if (ownerControl) {
            ownerWindow_ = ownerControl->Handle();
            Hook(ownerWindow_, &TTrayIcon::OwnerHook, savedOwnerProc_);
        }
    }
}

TTrayIcon::~TTrayIcon() {
    SetIconVisible(false);
    platform::SetNotifyIconMenu(callbackWindow_, kIconId, nullptr);
    icon_.reset();
    RemovePropA(callbackWindow_, kTrayProp);
    DeallocateHWnd(callbackWindow_);
    cycleTimer_.reset();
    Unhook(applicationWindow_, &TTrayIcon::ApplicationHook, savedApplicationProc_);
    Unhook(ownerWindow_, &TTrayIcon::OwnerHook, savedOwnerProc_);
    if (iconList_) iconList_->RemoveFreeNotification(this);
    if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
}

void TTrayIcon::Hook(HWND window, WNDPROC hook, WNDPROC& saved) {
    if (!window) return;
    HookChains& chains = ChainsOf(hook, &TTrayIcon::ApplicationHook);
    HookChain& chain = chains[window];
    auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    if (chain.icons.empty() && current != hook) {
        chain.original = current;
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook));
    }
    saved = chain.original;
    chain.icons.push_back(this);
}

void TTrayIcon::Unhook(HWND window, WNDPROC hook, WNDPROC saved) {
    if (!window) return;
    HookChains& chains = ChainsOf(hook, &TTrayIcon::ApplicationHook);
    auto it = chains.find(window);
    if (it == chains.end()) return;  // the window is gone
    auto& icons = it->second.icons;
    icons.erase(std::remove(icons.begin(), icons.end(), this), icons.end());
    if (!icons.empty() || !IsWindow(window)) return;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) == hook) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
        chains.erase(it);
    }
}

void TTrayIcon::AfterLoad() {
    TComponent::AfterLoad();
    const bool hide = startMinimized_ && !(ComponentState() & csDesigning);
    if (hide) {
        Application->SetShowMainForm(false);
        ShowWindow(Application->Handle(), SW_HIDE);
    }
    ModifyIcon();
    ApplyIconVisible(iconVisible_);
    // A desktop without a notification area cannot show the icon the program hides into: the
    // program starts with its main window shown instead, so that the person can reach it.
    if (hide && iconVisible_ && !InTray()) Application->SetShowMainForm(true);
}

bool TTrayIcon::InTray() { return ModifyIcon(); }

// ---- the shell record

bool TTrayIcon::FillRecord() {
    if ((ComponentState() & csDesigning) && !previewing_ && !designPreview_) return false;
    record_.hIcon = icon_ ? icon_->Handle() : nullptr;
    std::memset(record_.szTip, 0, sizeof record_.szTip);
    if (!hint_.empty() && showHint_) {
        size_t n = std::min(hint_.size(), kTipChars);
        // Never half a character: a cut inside a UTF-8 sequence goes back to its start.
        if (n < hint_.size())
            while (n > 0 && (static_cast<unsigned char>(hint_[n]) & 0xC0) == 0x80) --n;
        std::memcpy(record_.szTip, hint_.data(), n);
    }
    return true;
}

bool TTrayIcon::Notify(DWORD message) { return FillRecord() && Shell_NotifyIconA(message, &record_) != 0; }

bool TTrayIcon::ShowIcon() {
    if (!previewing_) iconVisible_ = true;
    if (!(ComponentState() & csDesigning) || previewing_) return Notify(NIM_ADD);
    return false;
}

bool TTrayIcon::HideIcon() {
    if (!previewing_) iconVisible_ = false;
    if (!(ComponentState() & csDesigning) || previewing_) return Notify(NIM_DELETE);
    return false;
}

bool TTrayIcon::ModifyIcon() { return Notify(NIM_MODIFY); }

void TTrayIcon::ApplyIconVisible(bool visible) {
    if (visible) ShowIcon();
    else HideIcon();
}

// ---- properties

void TTrayIcon::SetDesignPreview(bool Value) {
    designPreview_ = Value;
    previewing_ = true;
    try {
        ApplyIconVisible(Value);
    } catch (...) {
        previewing_ = false;
        throw;
    }
    previewing_ = false;
}

void TTrayIcon::SetIconList(TCustomImageList* Value) {
    if (iconList_) iconList_->RemoveFreeNotification(this);
    iconList_ = Value;
    if (iconList_) iconList_->FreeNotification(this);
    SetIconIndex(0);
}

void TTrayIcon::SetCycleIcons(bool Value) {
    cycleIcons_ = Value;
    if (Value) SetIconIndex(0);
    cycleTimer_->SetEnabled(Value);
}

void TTrayIcon::SetCycleInterval(Cardinal Value) {
    cycleInterval_ = Value;
    cycleTimer_->SetInterval(Value);
}

void TTrayIcon::SetHint(const String& Value) {
    hint_ = Value;
    ModifyIcon();
}

void TTrayIcon::SetShowHint(bool Value) {
    showHint_ = Value;
    ModifyIcon();
}

void TTrayIcon::SetIcon(TIcon* Value) {
    if (Value) icon_->Assign(Value);
    else icon_ = std::make_unique<TIcon>();
    ModifyIcon();
}

void TTrayIcon::SetIconVisible(bool Value) { ApplyIconVisible(Value); }

void TTrayIcon::SetIconIndex(Integer Value) {
    if (iconList_) {
        iconIndex_ = std::min(Value, iconList_->Count() - 1);
        // Below the first image (or an empty list) there is nothing to show: index 0, the icon
        // as it was.
        if (iconIndex_ < 0) iconIndex_ = 0;
        if (iconIndex_ < iconList_->Count()) iconList_->GetIcon(iconIndex_, icon_.get());
    } else {
        iconIndex_ = 0;
    }
    ModifyIcon();
}

void TTrayIcon::SetPopupMenu(TPopupMenu* Value) {
    if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
    popupMenu_ = Value;
    if (popupMenu_) popupMenu_->FreeNotification(this);
    // Panels that show an icon's menu themselves get it from the notification area.
    platform::SetNotifyIconMenu(callbackWindow_, kIconId, popupMenu_);
}

void TTrayIcon::ComponentRemoved(TComponent* AComponent) {
    TComponent::ComponentRemoved(AComponent);
    if (AComponent == iconList_) {
        iconList_ = nullptr;
        iconIndex_ = 0;
        ModifyIcon();
    }
    if (AComponent == popupMenu_) {
        popupMenu_ = nullptr;
        platform::SetNotifyIconMenu(callbackWindow_, kIconId, nullptr);
    }
}

// ---- events

void TTrayIcon::Click() {
    if (OnClick) OnClick(this);
}
void TTrayIcon::DblClick() {
    if (OnDblClick) OnDblClick(this);
}
void TTrayIcon::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}
void TTrayIcon::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
void TTrayIcon::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TTrayIcon::CycleIcon() {
    if (!OnCycle) return;
    Integer next = iconIndex_ + 1;
    if (!iconList_ || iconList_->Count() == 0 || iconIndex_ >= iconList_->Count() - 1) next = 0;
    OnCycle(this, next);
}

void TTrayIcon::CycleStep() {
    if (!iconList_) return;
    std::weak_ptr<bool> alive = AliveToken();
    if (iconIndex_ >= 0 && iconIndex_ < iconList_->Count()) iconList_->GetIcon(iconIndex_, icon_.get());
    CycleIcon();
    if (alive.expired() || !iconList_) return;
    ModifyIcon();
    SetIconIndex(iconIndex_ + 1 < iconList_->Count() ? iconIndex_ + 1 : 0);
}

void TTrayIcon::DoMinimizeToTray() {
    SetIconVisible(true);
    // Without a notification area the program would be lost off-screen: it stays minimised.
    if (!InTray()) return;
    // Hidden as a form (not only its window), so that showing it again brings it back.
    if (TCustomForm* main = Application->MainForm()) main->Hide();
    ShowWindow(Application->Handle(), SW_HIDE);
}

// ---- the popup menu

void TTrayIcon::PopupAtCursor() {
    POINT at{};
    if (!popupMenu_ || !popupMenu_->AutoPopup() || !GetCursorPos(&at)) return;
    std::weak_ptr<bool> alive = AliveToken();
    Application->ProcessMessages();
    if (alive.expired() || !popupMenu_) return;
    if (TWinControl* active = Screen->ActiveControl()) {
        if (auto* owner = dynamic_cast<TWinControl*>(active->Owner()); owner && owner->HandleAllocated())
            SetForegroundWindow(owner->Handle());
    }
    popupMenu_->SetPopupComponent(this);
    popupMenu_->Popup(at.x, at.y);
    if (alive.expired()) return;
    // The menu closes properly when the user clicks elsewhere only after a message reaches
    // the owner's window.
    if (ownerWindow_ && IsWindow(ownerWindow_)) PostMessageA(ownerWindow_, WM_NULL, 0, 0);
}

// ---- the callback window

LRESULT TTrayIcon::CallbackProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* icon = static_cast<TTrayIcon*>(GetPropA(hwnd, kTrayProp));
    if (!icon) return DefWindowProcA(hwnd, msg, wParam, lParam);
    try {
        return icon->CallbackMessage(msg, wParam, lParam);
    } catch (...) {
        Application->HandleException(icon);
        return 0;
    }
}

LRESULT TTrayIcon::CallbackMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kCallbackMessage) {
        if (enabled_) IconMouse(static_cast<UINT>(lParam));
        return 0;
    }
    // The icon never holds up a log-off or a shutdown.
    if (msg == WM_QUERYENDSESSION) return 1;
    return DefWindowProcA(callbackWindow_, msg, wParam, lParam);
}

void TTrayIcon::IconMouse(UINT mouseMessage) {
    POINT at{};
    GetCursorPos(&at);
    const TShiftState keys = KeysNow();
    switch (mouseMessage) {
    case WM_MOUSEMOVE:
        MouseMove(keys, at.x, at.y);
        break;
    case WM_LBUTTONDOWN:
        MouseDown(mbLeft, keys | ssLeft, at.x, at.y);
        clickPending_ = true;
        if (leftPopup_) PopupAtCursor();
        break;
    case WM_LBUTTONUP: {
        std::weak_ptr<bool> alive = AliveToken();
        if (clickPending_) {
            clickPending_ = false;
            Click();
            if (alive.expired()) return;
        }
        MouseUp(mbLeft, keys | ssLeft, at.x, at.y);
        break;
    }
    case WM_LBUTTONDBLCLK: {
        std::weak_ptr<bool> alive = AliveToken();
        DblClick();
        if (alive.expired() || !popupMenu_ || !popupMenu_->AutoPopup() || leftPopup_) return;
        TMenuItem* items = popupMenu_->Items();
        for (Integer i = 0; i < items->Count(); ++i) {
            if (items->Items(i)->Default()) {
                items->Items(i)->Click();
                break;
            }
        }
        break;
    }
    case WM_RBUTTONDOWN:
        MouseDown(mbRight, keys | ssRight, at.x, at.y);
        PopupAtCursor();
        break;
    case WM_RBUTTONUP:
        MouseUp(mbRight, keys | ssRight, at.x, at.y);
        break;
    case WM_MBUTTONDOWN:
        MouseDown(mbMiddle, keys | ssMiddle, at.x, at.y);
        break;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, keys | ssMiddle, at.x, at.y);
        break;
    default:
        break;
    }
}

// ---- the subclassed windows

LRESULT TTrayIcon::ApplicationHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HookChains& chains = ApplicationChains();
    if (msg == WM_SIZE && wParam == SIZE_MINIMIZED) {
        for (TTrayIcon* icon : IconsOf(chains, hwnd))
            if (StillHooked(chains, hwnd, icon) && icon->minimizeToTray_) icon->DoMinimizeToTray();
    }
    return Forward(chains, hwnd, msg, wParam, lParam);
}

LRESULT TTrayIcon::OwnerHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HookChains& chains = OwnerChains();
    if (!IconsOf(chains, hwnd).empty()) {
        TCustomForm* main = Application->MainForm();
        if (msg == WM_SIZE && wParam == SIZE_MINIMIZED && main && main->HandleAllocated() && main->Handle() == hwnd) {
            // The desktop minimises the main window itself, never the application's window:
            // for the person that is minimising the program.
            for (TTrayIcon* icon : IconsOf(chains, hwnd))
                if (StillHooked(chains, hwnd, icon) && icon->minimizeToTray_) icon->DoMinimizeToTray();
        } else if (msg == WM_SHOWWINDOW && wParam != 0 && lParam == 0) {
            // Shown again (say by a menu item of the icon): the program comes back to the front.
            HWND app = Application->Handle();
            ShowWindow(app, SW_RESTORE);
            SetForegroundWindow(app);
            SetForegroundWindow(hwnd);
        } else if (msg == WM_WINDOWPOSCHANGED) {
            if (TWinControl* active = Screen->ActiveControl(); active && active->HandleAllocated())
                ::SetFocus(active->Handle());
        }
    }
    return Forward(chains, hwnd, msg, wParam, lParam);
}
