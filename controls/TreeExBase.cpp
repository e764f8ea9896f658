#include "controls/TreeExBase.h"

#include <algorithm>

#include <cstring>

#include "platform/MessageLoop.h"

namespace controls::base {

TObject::~TObject() = default;

void TPersistent::CopyFromSource(TPersistent* source) {
    throw EConvertError(String("Cannot assign a ") + (source ? "object" : "nil") + " to a persistent object");
}

COLORREF ColorToRGB(TColor color) {
    if (!(color & clSystemColor)) return static_cast<COLORREF>(color) & 0xFFFFFF;
    return GetSysColor(color & 0xFF);
}

// ---- fonts

void TFont::Changed() {
    if (handle_) DeleteObject(handle_);
    handle_ = nullptr;
    if (OnChange) OnChange(this);
}
void TFont::SetHeight(Integer v) {
    if (v != height_) { height_ = v; Changed(); }
}
void TFont::SetName(const String& v) {
    if (v != name_) { name_ = v; Changed(); }
}
void TFont::SetPitch(TFontPitch v) {
    if (v != pitch_) { pitch_ = v; Changed(); }
}
void TFont::SetStyle(TFontStyles v) {
    if (v != style_) { style_ = v; Changed(); }
}
void TFont::SetColor(TColor v) {
    if (v != color_) { color_ = v; Changed(); }
}
void TFont::Assign(const TFont& other) {
    height_ = other.height_;
    name_ = other.name_;
    pitch_ = other.pitch_;
    style_ = other.style_;
    color_ = other.color_;
    Changed();
}
void TFont::CopyFromSource(TPersistent* source) {
    if (auto* f = dynamic_cast<TFont*>(source)) Assign(*f);
    else TPersistent::CopyFromSource(source);
}
HFONT TFont::Handle() {
    if (!handle_) {
        LOGFONTA lf;
        lf.lfHeight = height_;
        lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style_ & fsItalic) ? 1 : 0;
        lf.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
        lf.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
        std::strncpy(lf.lfFaceName, name_.c_str(), sizeof lf.lfFaceName - 1);
        handle_ = CreateFontIndirectA(&lf);
    }
    return handle_;
}

TFont::~TFont() {
    if (handle_) DeleteObject(handle_);
}

namespace {
Integer g_lastHelpContext = 0;
}

void ShowHelpContext(Integer context) { g_lastHelpContext = context; }
Integer LastHelpContext() { return g_lastHelpContext; }

// ---- timers

namespace {
constexpr const char* kTimerProp = "TarvikTimer";
constexpr const char* kControlProp = "TarvikControl";
constexpr const char* kHostClass = "TarvikControlHost";
constexpr UINT_PTR kTimerId = 1;

LRESULT HostWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (platform::ReflectControlMessage(hwnd, msg, wParam, lParam, &result)) return result;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

TTimer::TTimer(TWinControl*) {
    window_ = AllocateHWnd(&TTimer::TimerWndProc);
    SetPropA(window_, kTimerProp, this);
}

TTimer::~TTimer() {
    KillTimer(window_, kTimerId);
    RemovePropA(window_, kTimerProp);
    DeallocateHWnd(window_);
}

LRESULT TTimer::TimerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) {
        auto* timer = static_cast<TTimer*>(GetPropA(hwnd, kTimerProp));
        if (timer && timer->enabled_ && timer->OnTimer) timer->OnTimer(timer);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void TTimer::Update() {
    KillTimer(window_, kTimerId);
    if (enabled_ && interval_ > 0) SetTimer(window_, kTimerId, interval_, nullptr);
}

void TTimer::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Update();
}

void TTimer::SetInterval(UINT v) {
    if (v == interval_) return;
    interval_ = v;
    Update();
}

// ---- the windowed control

TWinControl::TWinControl() = default;

TWinControl::~TWinControl() {
    DestroyHandle();
    if (host_) DestroyWindow(host_);
}

HWND TWinControl::HostWindow() {
    if (parentWindow_) return parentWindow_;
    if (!host_) {
        static const bool registered = [] {
            WNDCLASSA wc;
            wc.lpfnWndProc = HostWndProc;
            wc.lpszClassName = kHostClass;
            return RegisterClassA(&wc) != 0;
        }();
        (void)registered;
        host_ = CreateWindowExA(0, kHostClass, "", WS_OVERLAPPED, 0, 0, width_ + 8, height_ + 8, nullptr, nullptr,
                                nullptr, nullptr);
    }
    return host_;
}

HWND TWinControl::Handle() {
    if (!handle_) CreateWnd();
    return handle_;
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.Style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
}

void TWinControl::CreateWnd() {
    InitTreeViewClass();
    TCreateParams params;
    CreateParams(params);
    HWND handle = CreateWindowExA(params.ExStyle, WC_TREEVIEWA, "", params.Style, 0, 0, width_, height_, HostWindow(),
                                  reinterpret_cast<HMENU>(static_cast<std::intptr_t>(1)), nullptr, nullptr);
    if (!handle) throw EOutOfResources("Error creating window");
    SetPropA(handle, kControlProp, this);
    oldProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::ControlWndProc)));
    handle_ = handle;
}

LRESULT TWinControl::ControlWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* control = static_cast<TWinControl*>(GetPropA(hwnd, kControlProp));
    if (!control) return DefWindowProcA(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    control->WndProc(msg, wParam, lParam, result);
    if (msg == WM_NCDESTROY) {
        RemovePropA(hwnd, kControlProp);
        if (control->handle_ == hwnd) control->handle_ = nullptr;
    }
    return result;
}

void TWinControl::DestroyWnd() {
    if (!handle_) return;
    HWND handle = handle_;
    DestroyWindow(handle);
    handle_ = nullptr;
}

void TWinControl::DestroyHandle() {
    if (handle_) DestroyWnd();
}

void TWinControl::RecreateWnd() {
    if (!handle_) return;
    DestroyHandle();
    CreateWnd();
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    WndProc(msg, wParam, lParam, result);
    return result;
}

void TWinControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DefaultHandler(msg, wParam, lParam, result);
}

void TWinControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = handle_ && oldProc_ ? CallWindowProcA(oldProc_, handle_, msg, wParam, lParam) : 0;
}

void TWinControl::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    parentColor_ = false;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TWinControl::SetCtl3D(bool v) {
    if (v == ctl3D_) return;
    ctl3D_ = v;
    Perform(CM_CTL3DCHANGED, 0, 0);
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

void TWinControl::SetBounds(Integer width, Integer height) {
    width_ = width;
    height_ = height;
    if (handle_) MoveWindow(handle_, 0, 0, width, height, TRUE_);
}

Integer TWinControl::ClientWidth() const {
    RECT rc{};
    if (handle_ && GetClientRect(handle_, &rc)) return rc.right - rc.left;
    return width_;
}

Integer TWinControl::ClientHeight() const {
    RECT rc{};
    if (handle_ && GetClientRect(handle_, &rc)) return rc.bottom - rc.top;
    return height_;
}

void TWinControl::Invalidate() {
    if (handle_) InvalidateRect(handle_, nullptr, TRUE_);
}

DWORD TWinControl::WindowStyle() const { return handle_ ? static_cast<DWORD>(GetWindowLongA(handle_, GWL_STYLE)) : 0; }

void TWinControl::SetWindowStyle(DWORD style) {
    if (handle_) SetWindowLongA(handle_, GWL_STYLE, static_cast<LONG>(style));
}

}  // namespace controls::base

HFONT SelectTreeFont(HDC dc, HFONT font) { return static_cast<HFONT>(SelectObject(dc, font)); }
