#include "controls/TreeExBase.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/detail/TreeViewWindow.h"

namespace controls::base {

TObject::~TObject() = default;

void TPersistent::CopyFromSource(TPersistent* source) {
    throw EConvertError(String("Cannot assign a ") + (source ? "object" : "nil") + " to a persistent object");
}

COLORREF ColorToRGB(TColor color) {
    if (!(color & clSystemColor)) return static_cast<COLORREF>(color) & 0xFFFFFF;
    // The layer's fixed system colour scheme.
    switch (color & 0xFF) {
    case 5: return 0xFFFFFF;   // window
    case 8: return 0x000000;   // window text
    case 13: return 0x6A240A;  // highlight
    case 14: return 0xFFFFFF;  // highlight text
    case 15: return 0xC8D0D4;  // button face
    case 16: return 0x808080;  // button shadow
    case 22: return 0xE0E0E0;  // 3D light
    default: return 0x000000;
    }
}

// ---- fonts

void TFont::Changed() {
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
    // Until the window system's fonts are reached, a font is identified by its object.
    return reinterpret_cast<HFONT>(this);
}

// ---- timers (on the process clock's advance notices)

struct TTimer::Impl {
    TTimer* timer = nullptr;
    int listener = 0;
    std::uint64_t due = 0;
};

TTimer::TTimer(TWinControl*) : impl_(std::make_unique<Impl>()) {
    impl_->timer = this;
    Impl* impl = impl_.get();
    impl_->listener = platform::AddAdvanceListener([impl] {
        TTimer* t = impl->timer;
        if (!t->enabled_ || t->interval_ == 0) return;
        std::uint64_t now = platform::CurrentClock().TickMillis();
        if (now < impl->due) return;
        impl->due = now + t->interval_;
        if (t->OnTimer) t->OnTimer(t);
    });
}

TTimer::~TTimer() { platform::RemoveAdvanceListener(impl_->listener); }

void TTimer::Update() { impl_->due = platform::CurrentClock().TickMillis() + interval_; }

void TTimer::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    if (v) Update();
}

void TTimer::SetInterval(UINT v) {
    if (v == interval_) return;
    interval_ = v;
    Update();
}

// ---- the windowed control

class TWinControl::Sink : public platform::detail::TreeNotifySink {
public:
    explicit Sink(TWinControl* control) : control_(control) {}
    LRESULT Notify(NMHDR& header) override {
        return control_->Perform(CN_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    }

private:
    TWinControl* control_;
};

TWinControl::TWinControl() : sink_(std::make_unique<Sink>(this)) {}

TWinControl::~TWinControl() { DestroyHandle(); }

HWND TWinControl::Handle() {
    if (!window_) CreateWnd();
    // Without the window system there is no real handle; the window object stands for it.
    return reinterpret_cast<HWND>(window_.get());
}

bool TWinControl::HandleAllocated() const { return window_ != nullptr; }

void TWinControl::CreateParams(TCreateParams& params) {
    params.Style = 0x40000000 | 0x10000000;  // child, visible
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    style_ = params.Style;
    window_ = std::make_unique<platform::detail::TreeViewWindow>();
    window_->SetSink(sink_.get());
    window_->SetIdentity(reinterpret_cast<HWND>(window_.get()), 0);
    window_->Model().SetStyle(style_);
    window_->Model().SetClientSize(ClientWidth(), ClientHeight());
}

void TWinControl::DestroyWnd() {
    if (!window_) return;
    destroyingHandle_ = true;
    LRESULT r = 0;
    WndProc(WM_DESTROY, 0, 0, r);
    window_.reset();
    destroyingHandle_ = false;
}

void TWinControl::DestroyHandle() {
    if (window_) DestroyWnd();
}

void TWinControl::RecreateWnd() {
    if (!window_) return;
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
    if (!window_) {
        result = 0;
        return;
    }
    if (msg == WM_DESTROY) {
        window_->DeleteAll();
        result = 0;
        return;
    }
    if (msg == WM_SETREDRAW) {
        window_->SetRedraw(wParam != 0);
        result = 0;
        return;
    }
    result = window_->Message(msg, wParam, lParam);
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

void TWinControl::SetBounds(Integer width, Integer height) {
    width_ = width;
    height_ = height;
    if (window_) window_->Model().SetClientSize(ClientWidth(), ClientHeight());
}

// A single border takes two pixels on each side.
Integer TWinControl::ClientWidth() const { return std::max(width_ - ((style_ & 0x00800000) ? 4 : 0), 0); }
Integer TWinControl::ClientHeight() const { return std::max(height_ - ((style_ & 0x00800000) ? 4 : 0), 0); }

void TWinControl::Invalidate() {
    ++invalidates_;
    if (window_) window_->Invalidate();
}

DWORD TWinControl::WindowStyle() const { return style_; }

void TWinControl::SetWindowStyle(DWORD style) {
    style_ = style;
    if (window_) {
        window_->Model().SetStyle(style);
        window_->Model().ClampScroll();
    }
}

}  // namespace controls::base

#include <map>

HFONT SelectTreeFont(HDC dc, HFONT font) {
    // Until device contexts come from the window system, each context's font is kept here.
    static std::map<HDC, HFONT> selected;
    HFONT& slot = selected[dc];
    HFONT previous = slot;
    slot = font;
    return previous;
}
