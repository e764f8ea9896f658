// The thin base the tree control stands on until the component classes exist: an object root,
// persistent objects, colours, fonts, timers, image lists and a windowed control that owns one
// tree window and routes its messages through the control's WndProc.
//
// Everything here lives in controls::base so that swapping it for the component classes is a
// matter of changing the aliases at the bottom of TreeEx.h. It offers only what the tree
// control uses.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Exceptions.h"
#include "platform/TreeView.h"

#include "platform/Messages.h"
#include "platform/Windows.h"

namespace controls::base {

class TObject {
public:
    virtual ~TObject();
};

class TPersistent : public TObject {
public:
    // Copies from another object of a kind the receiver understands; others raise the
    // conversion error.
    virtual void CopyFromSource(TPersistent* source);
};

// Colours: RGB values, or system colours with the top bit set and the index below.
using TColor = std::int32_t;
inline constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor cl3DLight = clSystemColor | 22;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clNone = 0x1FFFFFFF;
COLORREF ColorToRGB(TColor color);

enum class TFontPitch : Byte { fpDefault, fpVariable, fpFixed };
// Font style set: bold 1, italic 2, underline 4, strike-out 8.
using TFontStyles = Byte;
inline constexpr TFontStyles fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;

class TFont : public TPersistent {
public:
    TFont() = default;
    ~TFont() override;
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;
    Integer Height() const { return height_; }
    void SetHeight(Integer v);
    const String& Name() const { return name_; }
    void SetName(const String& v);
    TFontPitch Pitch() const { return pitch_; }
    void SetPitch(TFontPitch v);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles v);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    void Assign(const TFont& other);
    void CopyFromSource(TPersistent* source) override;
    // The device font of this description (made on demand, kept while the font is unchanged).
    HFONT Handle();

    std::function<void(TFont*)> OnChange;

private:
    void Changed();
    Integer height_ = -11;
    String name_ = "MS Sans Serif";
    TFontPitch pitch_ = TFontPitch::fpDefault;
    TFontStyles style_ = 0;
    TColor color_ = clWindowText;
    HFONT handle_ = nullptr;
};

class TImageList : public TObject {
public:
    HIMAGELIST Handle() const { return handle_; }
    void SetHandle(HIMAGELIST h) { handle_ = h; }
    Integer Width() const { return 16; }
    Integer Height() const { return 16; }

private:
    HIMAGELIST handle_ = nullptr;
};

class TWinControl;

// The application's help for a context number (the application object replaces it); shown
// contexts are recorded, as the layer records every box it shows.
void ShowHelpContext(Integer context);
Integer LastHelpContext();

// A popup menu as the tree control needs it: it can be shown at a screen point and remembers
// which component popped it up. The menu classes replace it.
class TPopupMenu : public TObject {
public:
    virtual void Popup(Integer x, Integer y) {
        PoppedAt = POINT{x, y};
        ++PopupCount;
    }
    TObject* PopupComponent = nullptr;
    POINT PoppedAt{};
    Integer PopupCount = 0;
};

// A timer of the control: fires OnTimer every Interval milliseconds while enabled; an
// interval of 0 never fires. It runs on a hidden utility window of its own, so it needs no
// window of the control and stops the moment it is disabled or freed.
class TTimer : public TObject {
public:
    explicit TTimer(TWinControl* owner);
    ~TTimer() override;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    UINT Interval() const { return interval_; }
    void SetInterval(UINT v);
    NativeInt Tag = 0;
    std::function<void(TTimer*)> OnTimer;

private:
    static LRESULT TimerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Update();
    bool enabled_ = true;
    UINT interval_ = 1000;
    HWND window_ = nullptr;
};

enum class TBorderStyle : Byte { bsNone, bsSingle };
enum class TDragMode : Byte { dmManual, dmAutomatic };

// Component state flags.
inline constexpr unsigned csLoading = 1, csDesigning = 2, csDestroying = 4;

// Window creation parameters the control fills in.
struct TCreateParams {
    DWORD Style = 0;
    DWORD ExStyle = 0;
    DWORD WindowClassStyle = 0;
};

// A windowed control over one window of the tree window class, subclassed so that every
// message goes through the virtual WndProc first; what it does not handle goes on to the
// class's own procedure through DefaultHandler. The parent window must reflect WM_NOTIFY back
// as CN_NOTIFY (platform::ReflectControlMessage); without a parent window of its own the
// control lives in a hidden host window that does so.
class TWinControl : public TPersistent {
public:
    TWinControl();
    ~TWinControl() override;

    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded() { Handle(); }
    void RecreateWnd();
    void DestroyHandle();
    LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
    HWND ParentWindow() const { return parentWindow_; }
    void SetParentWindow(HWND parent) { parentWindow_ = parent; }

    unsigned ComponentState() const { return componentState_; }
    void SetComponentState(unsigned flags) { componentState_ = flags; }
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool v) { parentColor_ = v; }
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool v);
    TFont* Font() { return &font_; }
    TDragMode DragMode() const { return dragMode_; }
    virtual void SetDragMode(TDragMode mode) { dragMode_ = mode; }
    bool Dragging() const { return dragging_; }
    bool Focused() const;
    void SetFocus();
    Integer Width() const { return width_; }
    Integer Height() const { return height_; }
    void SetBounds(Integer width, Integer height);
    Integer ClientWidth() const;
    Integer ClientHeight() const;
    bool TabStop = false;
    Integer HelpContext = 0;
    // The control whose HelpContext is asked next when this one has none.
    TWinControl* ParentControl = nullptr;
    void Invalidate();
    void Refresh() { Invalidate(); }

    // Window style of the live window.
    DWORD WindowStyle() const;
    void SetWindowStyle(DWORD style);

    // Stand-in for the drag state the drag support keeps.
    void SetDraggingForTest(bool v) { dragging_ = v; }

protected:
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    virtual void WndProc(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    static LRESULT ControlWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND HostWindow();

    HWND handle_ = nullptr;
    WNDPROC oldProc_ = nullptr;
    HWND parentWindow_ = nullptr;
    HWND host_ = nullptr;
    unsigned componentState_ = 0;
    TColor color_ = clWindow;
    bool parentColor_ = true;
    bool ctl3D_ = true;
    TFont font_;
    TDragMode dragMode_ = TDragMode::dmManual;
    bool dragging_ = false;
    Integer width_ = 121, height_ = 97;
};

}  // namespace controls::base

// Selects a font into a device context and returns the one it replaced.
HFONT SelectTreeFont(HDC dc, HFONT font);
