// TTrayIcon: one icon in the notification area of the taskbar. The icon's mouse messages come
// to a hidden window of the component and become events and the popup menu; a timer can cycle
// the icon through an image list. At run time the component also subclasses the application
// window (minimising may hide the program into the icon) and its owner form's window (showing
// the form brings the program back).
//
// The component never raises for a refused shell call: ShowIcon, HideIcon and ModifyIcon only
// answer whether the call succeeded. Subclassed procedures are put back at destruction only on
// windows that still carry them.
#pragma once

#include <functional>
#include <memory>

#include "platform/Controls.h"
#include "platform/ExtCtrls.h"
#include "platform/ImgList.h"
#include "platform/Menus.h"

// A cast to a class the object is not of (here: an owner that is no windowed control).

using TCycleEvent = std::function<void(TObject* Sender, Integer NextIndex)>;

class TTrayIcon : public TComponent {
public:
    // The message the icon's mouse messages arrive as, at the callback window.
    static constexpr UINT kCallbackMessage = 0x0800;
    static constexpr UINT kIconId = 1;
    // Characters of the tip the notification area shows; longer hints are cut.
    static constexpr size_t kTipChars = 63;

    explicit TTrayIcon(TComponent* AOwner);
    ~TTrayIcon() override;
    const char* ClassName() const noexcept override { return "TTrayIcon"; }
    void AfterLoad() override;

    virtual bool ShowIcon();
    virtual bool HideIcon();
    virtual bool ModifyIcon();

    bool DesignPreview() const { return designPreview_; }
    void SetDesignPreview(bool Value);
    TCustomImageList* IconList() const { return iconList_; }
    void SetIconList(TCustomImageList* Value);
    bool CycleIcons() const { return cycleIcons_; }
    void SetCycleIcons(bool Value);
    Cardinal CycleInterval() const { return cycleInterval_; }
    void SetCycleInterval(Cardinal Value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool Value) { enabled_ = Value; }
    const String& Hint() const { return hint_; }
    void SetHint(const String& Value);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool Value);
    TIcon* Icon() const { return icon_.get(); }
    void SetIcon(TIcon* Value);
    bool IconVisible() const { return iconVisible_; }
    void SetIconVisible(bool Value);
    Integer IconIndex() const { return iconIndex_; }
    void SetIconIndex(Integer Value);
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* Value);
    bool LeftPopup() const { return leftPopup_; }
    void SetLeftPopup(bool Value) { leftPopup_ = Value; }
    bool StartMinimized() const { return startMinimized_; }
    void SetStartMinimized(bool Value) { startMinimized_ = Value; }
    bool MinimizeToTray() const { return minimizeToTray_; }
    void SetMinimizeToTray(bool Value) { minimizeToTray_ = Value; }

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TCycleEvent OnCycle;

    // The hidden window that receives the icon's messages.
    HWND CallbackWindow() const { return callbackWindow_; }
    TTimer* CycleTimer() const { return cycleTimer_.get(); }

protected:
    void ComponentRemoved(TComponent* AComponent) override;
    virtual void Click();
    virtual void DblClick();
    virtual void CycleIcon();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void DoMinimizeToTray();
    // For components made at design time by a designer.
    void SetDesignTime(bool Value) { SetDesigning(Value); }

private:
    static LRESULT CallbackProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT ApplicationHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT OwnerHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT CallbackMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void IconMouse(UINT mouseMessage);
    bool Notify(DWORD message);
    // The desktop shows the icon (the shell accepts a change of it).
    bool InTray();
    // False when the shell call is to be skipped (design time without a preview).
    bool FillRecord();
    void ApplyIconVisible(bool visible);
    void PopupAtCursor();
    void CycleStep();
    void Hook(HWND window, WNDPROC hook, WNDPROC& saved);
    void Unhook(HWND window, WNDPROC hook, WNDPROC saved);

    bool designPreview_ = false;
    bool previewing_ = false;
    TCustomImageList* iconList_ = nullptr;
    bool cycleIcons_ = false;
    Cardinal cycleInterval_ = 0;
    bool enabled_ = true;
    String hint_;
    bool showHint_ = false;
    std::unique_ptr<TIcon> icon_;
    bool iconVisible_ = true;
    Integer iconIndex_ = 0;
    TPopupMenu* popupMenu_ = nullptr;
    bool leftPopup_ = false;
    bool startMinimized_ = false;
    bool minimizeToTray_ = false;

    bool clickPending_ = false;
    std::unique_ptr<TTimer> cycleTimer_;
    HWND callbackWindow_ = nullptr;
    NOTIFYICONDATAA record_;
    HWND applicationWindow_ = nullptr;
    WNDPROC savedApplicationProc_ = nullptr;
    HWND ownerWindow_ = nullptr;
    WNDPROC savedOwnerProc_ = nullptr;
};
