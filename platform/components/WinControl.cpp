// TWinControl: the windowed control, its window and its children.
#include <algorithm>

#include "platform/ControlStyle.h"
#include "platform/Controls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"
#include "detail/LayerFormat.h"

namespace {

// The window property that leads from a window to its control.
constexpr const char* kControlProp = "TarvikControl";

// The control whose window CreateWindowExA is making on this thread: its first message binds
// the window to it.
thread_local TWinControl* t_creating = nullptr;

}  // namespace

LRESULT ControlWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* control = static_cast<TWinControl*>(GetPropA(hwnd, kControlProp));
    if (!control) return DefWindowProcA(hwnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    control->MainWndProc(m);
    return m.Result;
}

LRESULT ControlInitProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWinControl* control = t_creating;
    if (!control) return DefWindowProcA(hwnd, msg, wParam, lParam);
    t_creating = nullptr;
    control->handle_ = hwnd;
    SetPropA(hwnd, kControlProp, control);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlWindowProc));
    return ControlWindowProc(hwnd, msg, wParam, lParam);
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    // Reached without Free() (a plain delete): the window and the children still go.
    while (!controls_.empty()) {
        TControl* c = controls_.back();
        c->Free();
    }
    if (handle_) {
        HWND h = handle_;
        RemovePropA(h, kControlProp);
        handle_ = nullptr;
        DestroyWindow(h);
    }
}

void TWinControl::BeforeDestruction() {
    TControl::BeforeDestruction();
    DestroyHandle();
    // Children go while this control still stands whole, as a parent frees its controls.
    while (!controls_.empty()) {
        TControl* c = controls_.back();
        c->Free();
    }
}

// ---- window life

HWND TWinControl::Handle() {
    if (!handle_) CreateHandle();
    return handle_;
}

void TWinControl::CreateParams(TCreateParams& Params) {
    Params = TCreateParams{};
    Params.Caption = text_;
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (ControlStyle() & csAcceptsControls) {
        Params.Style |= WS_CLIPCHILDREN;
        Params.ExStyle |= WS_EX_CONTROLPARENT;
    }
    if (Visible()) Params.Style |= WS_VISIBLE;
    if (!Enabled()) Params.Style |= WS_DISABLED;
    if (tabStop_) Params.Style |= WS_TABSTOP;
    Params.X = left_;
    Params.Y = top_;
    Params.Width = width_;
    Params.Height = height_;
    Params.WndParent = Parent() ? Parent()->Handle() : parentWindow_;
    Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    Params.WindowClass.lpfnWndProc = &DefWindowProcA;
    Params.WinClassName = ClassName();
}

void TWinControl::CreateSubClass(TCreateParams& Params, const char* ControlClassName) {
    WNDCLASSA wc;
    if (!GetClassInfoA(nullptr, ControlClassName, &wc))
        throw EOutOfResources(platform::detail::LayerFormat("Window class \"%s\" is not registered", {ControlClassName}));
    Params.WindowClass = wc;
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    if ((params.Style & WS_CHILD) && !params.WndParent)
        throw EInvalidOperation(platform::detail::LayerFormat("Control '%s' has no parent window", {Name()}));
    defWndProc_ = params.WindowClass.lpfnWndProc ? params.WindowClass.lpfnWndProc : &DefWindowProcA;
    WNDCLASSA existing;
    if (GetClassInfoA(nullptr, params.WinClassName.c_str(), &existing)) {
        if (existing.lpfnWndProc != &ControlInitProc)
            throw EOutOfResources(platform::detail::LayerFormat("Window class \"%s\" is taken", {params.WinClassName}));
    } else {
        WNDCLASSA wc = params.WindowClass;
        wc.lpfnWndProc = &ControlInitProc;
        wc.lpszClassName = params.WinClassName.c_str();
        wc.lpszMenuName = nullptr;
        if (!RegisterClassA(&wc)) throw EOutOfResources("Error creating window class");
    }
    CreateWindowHandle(params);
    if (!handle_) throw EOutOfResources("Error creating window");
}

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
    t_creating = this;
    HWND h = CreateWindowExA(Params.ExStyle, Params.WinClassName.c_str(), Params.Caption.c_str(), Params.Style,
                             Params.X, Params.Y, Params.Width, Params.Height, Params.WndParent, nullptr, nullptr,
                             Params.Param);
    t_creating = nullptr;
    if (!h) handle_ = nullptr;
}

void TWinControl::CreateHandle() {
    if (handle_) return;
    if (Parent()) Parent()->HandleNeeded();
    if (handle_) return;  // made while the parent made its children
    SetControlState(ControlState() | csCreating);
    try {
        CreateWnd();
    } catch (...) {
        SetControlState(ControlState() & ~csCreating);
        throw;
    }
    SetControlState(ControlState() & ~csCreating);
    creatingChildren_ = true;
    std::vector<TControl*> children = controls_;
    for (TControl* c : children)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && !w->handle_) w->CreateHandle();
    creatingChildren_ = false;
    WindowCreated();
    if (alignDisabled_ == 0) AlignControls(nullptr);
}

void TWinControl::DestroyHandle() {
    if (!handle_) return;
    for (TControl* c : std::vector<TControl*>(controls_))
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    if (handle_) DestroyWnd();
}

void TWinControl::DestroyWnd() {
    text_ = GetText();
    DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle() {
    if (!handle_) return;
    SetControlState(ControlState() | csDestroyingHandle);
    HWND h = handle_;
    DestroyWindow(h);
    if (handle_ == h) {
        RemovePropA(h, kControlProp);
        handle_ = nullptr;
    }
    SetControlState(ControlState() & ~csDestroyingHandle);
}

void TWinControl::RecreateWnd() {
    if (!handle_) return;
    DestroyHandle();
    CreateHandle();
}

void TWinControl::SetParentWindow(HWND Value) {
    if (parentWindow_ == Value) return;
    parentWindow_ = Value;
    if (!Parent() && handle_) RecreateWnd();
}

// ---- children

TControl* TWinControl::Controls(Integer Index) const {
    if (Index < 0 || Index >= ControlCount()) throw EListError(platform::detail::LayerFormat("List index out of bounds (%d)", {Index}));
    return controls_[static_cast<std::size_t>(Index)];
}

bool TWinControl::ContainsControl(const TControl* Control) const {
    for (const TControl* c = Control; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(const TPoint& Pos, bool AllowDisabled) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        if (!c->Visible() || (!AllowDisabled && !c->Enabled())) continue;
        TRect r = c->BoundsRect();
        if (PtInRect(&r, Pos)) return c;
    }
    return nullptr;
}

void TWinControl::InsertControl(TControl* AControl) {
    controls_.push_back(AControl);
    AControl->parent_ = this;
    if (AControl->ParentFont()) AControl->ParentFontChanged();
    if (AControl->ParentColor()) AControl->ParentColorChanged();
    if (handle_ && !creatingChildren_)
        if (auto* w = dynamic_cast<TWinControl*>(AControl)) w->CreateHandle();
    if (AControl->Align() != alNone || PlacesChildren()) AlignControls(AControl);
    AControl->Invalidate();
}

void TWinControl::RemoveControl(TControl* AControl) {
    auto it = std::find(controls_.begin(), controls_.end(), AControl);
    if (it == controls_.end()) return;
    AControl->Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) w->DestroyHandle();
    it = std::find(controls_.begin(), controls_.end(), AControl);
    if (it != controls_.end()) controls_.erase(it);
    AControl->parent_ = nullptr;
    if ((AControl->Align() != alNone || PlacesChildren()) && !Destroying()) Realign();
}

void TWinControl::Broadcast(TMessage& Message) {
    for (TControl* c : std::vector<TControl*>(controls_)) {
        c->WndProc(Message);
        if (Message.Result != 0) return;
    }
}

// ---- properties

void TWinControl::SetTabStop(bool Value) {
    if (tabStop_ == Value) return;
    tabStop_ = Value;
    if (handle_) {
        LONG style = GetWindowLongA(handle_, GWL_STYLE);
        SetWindowLongA(handle_, GWL_STYLE, Value ? (style | static_cast<LONG>(WS_TABSTOP)) : (style & ~static_cast<LONG>(WS_TABSTOP)));
    }
}

Integer TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    Integer n = 0;
    for (TControl* c : Parent()->controls_) {
        if (c == this) return n;
        if (dynamic_cast<TWinControl*>(c)) ++n;
    }
    return -1;
}

void TWinControl::SetTabOrder(Integer Value) {
    if (!Parent()) return;
    auto& list = Parent()->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    Integer n = 0;
    auto it = list.begin();
    for (; it != list.end(); ++it) {
        if (!dynamic_cast<TWinControl*>(*it)) continue;
        if (n == Value) break;
        ++n;
    }
    list.insert(it, this);
}

void TWinControl::SetCtl3D(bool Value) {
    if (ctl3D_ == Value) return;
    ctl3D_ = Value;
    Perform(CM_CTL3DCHANGED, 0, 0);
}

void TWinControl::SetBorderWidth(Integer Value) {
    if (borderWidth_ == Value) return;
    borderWidth_ = std::max(Value, 0);
    Realign();
    Invalidate();
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

bool TWinControl::CanFocus() const {
    for (const TWinControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    ::SetFocus(Handle());
}

void TWinControl::SetEnabled(bool Value) {
    if (Enabled() == Value) return;
    TControl::SetEnabled(Value);
    if (handle_) EnableWindow(handle_, Value ? TRUE_ : FALSE_);
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

bool TWinControl::Showing() const {
    if (handle_) return Visible() && IsWindowVisible(handle_);
    return Visible() && Parent() && Parent()->Showing();
}

void TWinControl::VisibleChanged() { UpdateShowing(); }

void TWinControl::UpdateShowing() {
    if (handle_) ShowWindow(handle_, Visible() ? SW_SHOWNA : SW_HIDE);
    Perform(CM_VISIBLECHANGED, Visible() ? 1 : 0, 0);
}

TRect TWinControl::ClientRect() const {
    if (handle_) {
        RECT r;
        GetClientRect(handle_, &r);
        return r;
    }
    return RECT{0, 0, width_, height_};
}

void TWinControl::Invalidate() {
    if (handle_) InvalidateRect(handle_, nullptr, TRUE_);
}

void TWinControl::Update() {
    if (handle_) UpdateWindow(handle_);
}

void TWinControl::BringToFront() {
    TControl::BringToFront();
    if (handle_) SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::SendToBack() {
    TControl::SendToBack();
    if (handle_) SetWindowPos(handle_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

String TWinControl::GetText() const {
    if (!handle_) return text_;
    int n = GetWindowTextLengthA(handle_);
    String s(static_cast<std::size_t>(n) + 1, '\0');
    int got = GetWindowTextA(handle_, s.data(), n + 1);
    s.resize(static_cast<std::size_t>(std::max(got, 0)));
    return s;
}

void TWinControl::SetTextValue(const String& Value) {
    text_ = Value;
    if (handle_) SetWindowTextA(handle_, Value.c_str());
}

// ---- bounds and alignment

void TWinControl::ApplyBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
    bool sized = AWidth != width_ || AHeight != height_;
    left_ = ALeft;
    top_ = ATop;
    width_ = AWidth;
    height_ = AHeight;
    if (handle_) SetWindowPos(handle_, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    if (sized) {
        AlignControls(nullptr);
        Resize();
    }
}

void TWinControl::UpdateBounds() {
    if (!handle_ || IsIconic(handle_)) return;
    RECT r;
    GetWindowRect(handle_, &r);
    if (GetWindowLongA(handle_, GWL_STYLE) & static_cast<LONG>(WS_CHILD)) {
        HWND parent = GetParent(handle_);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    }
    Integer w = r.right - r.left, h = r.bottom - r.top;
    if (r.left == left_ && r.top == top_ && w == width_ && h == height_) return;
    bool sized = w != width_ || h != height_;
    left_ = r.left;
    top_ = r.top;
    width_ = w;
    height_ = h;
    if (sized) {
        AlignControls(nullptr);
        Resize();
    }
}

void TWinControl::AdjustClientRect(TRect& Rect) const { InflateRect(&Rect, -borderWidth_, -borderWidth_); }

void TWinControl::EnableAlign() {
    if (alignDisabled_ > 0) --alignDisabled_;
    if (alignDisabled_ == 0 && (ControlState() & csAlignmentNeeded)) {
        SetControlState(ControlState() & ~csAlignmentNeeded);
        Realign();
    }
}

void TWinControl::AlignControls(TControl* AControl) {
    if (alignDisabled_ > 0) {
        SetControlState(ControlState() | csAlignmentNeeded);
        return;
    }
    if (aligning_ || Destroying()) return;
    aligning_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{aligning_};
    TRect rect = ClientRect();
    AdjustClientRect(rect);
    for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
        std::vector<TControl*> list;
        for (TControl* c : controls_)
            if (c->Align() == align && c->Visible()) list.push_back(c);
        // Ordered by their place along the side they stick to; a control that just moved
        // goes before others at the same place.
        auto key = [align](const TControl* c) -> long {
            switch (align) {
                case alTop: return c->Top();
                case alBottom: return -static_cast<long>(c->Top() + c->Height());
                case alLeft: return c->Left();
                case alRight: return -static_cast<long>(c->Left() + c->Width());
                default: return 0;
            }
        };
        std::stable_sort(list.begin(), list.end(), [&](const TControl* a, const TControl* b) {
            long ka = key(a), kb = key(b);
            if (ka != kb) return ka < kb;
            return a == AControl && b != AControl;
        });
        for (TControl* c : list) {
            Integer w = std::max<Integer>(rect.right - rect.left, 0);
            Integer h = std::max<Integer>(rect.bottom - rect.top, 0);
            switch (align) {
                case alTop:
                    c->SetBounds(rect.left, rect.top, w, c->Height());
                    rect.top += c->Height();
                    break;
                case alBottom:
                    c->SetBounds(rect.left, rect.bottom - c->Height(), w, c->Height());
                    rect.bottom -= c->Height();
                    break;
                case alLeft:
                    c->SetBounds(rect.left, rect.top, c->Width(), h);
                    rect.left += c->Width();
                    break;
                case alRight:
                    c->SetBounds(rect.right - c->Width(), rect.top, c->Width(), h);
                    rect.right -= c->Width();
                    break;
                case alClient: c->SetBounds(rect.left, rect.top, w, h); break;
                default: break;
            }
        }
    }
}

// ---- messages

void TWinControl::MainWndProc(TMessage& Message) {
    try {
        WndProc(Message);
    } catch (...) {
        HandleControlException(this, this);
    }
}

void TWinControl::DefaultHandler(TMessage& Message) {
    if (!handle_) return;
    Message.Result = CallWindowProcA(defWndProc_ ? defWndProc_ : &DefWindowProcA, handle_, Message.Msg,
                                     Message.WParam, Message.LParam);
}

bool TWinControl::DoKeyDown(Word& Key, TShiftState Shift) {
    if (CanRunEvents() && OnKeyDown) {
        OnKeyDown(this, Key, Shift);
        if (Key == 0) return true;
    }
    TCustomForm* form = ParentForm();
    if (form && !form->Destroying()) {
        // Tab moves the focus on, Shift+Tab back, unless the control takes tabs as text.
        if (Key == VK_TAB && !(Shift & (ssCtrl | ssAlt)) && !WantsEditKey(Key, Shift)) {
            form->SelectNext(this, !(Shift & ssShift), true);
            return true;
        }
        if ((Key == VK_RETURN || Key == VK_ESCAPE) && !(Key == VK_RETURN && WantsEditKey(Key, Shift))) {
            if (static_cast<TWinControl*>(form)->DialogKey(Key)) return true;
        }
        // A key the control edits with (Delete in a label editor) is not a shortcut.
        if (WantsEditKey(Key, Shift)) return false;
        // The Menu key and Shift+F10 open the control's context menu, as a right click does.
        if (Key == VK_APPS || (Key == VK_F10 && (Shift & (ssShift | ssCtrl | ssAlt)) == ssShift)) {
            Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(handle_), kContextMenuFromKeyboard);
            return true;
        }
        // Only the menus of the control that has the key and of the controls around it: a
        // popup menu elsewhere on the form must not act on a key typed here.
        for (TControl* c = this; c; c = c->Parent())
            if (TPopupMenu* pm = c->PopupMenu(); pm && pm->IsShortCut(Key, Shift)) return true;
        if (form->IsShortCut(Key, Shift)) return true;
    }
    return false;
}

bool TWinControl::DoKeyPress(char& Key) {
    if (CanRunEvents() && OnKeyPress) {
        OnKeyPress(this, Key);
        if (Key == 0) return true;
    }
    return false;
}

bool TWinControl::DoKeyUp(Word& Key, TShiftState Shift) {
    if (CanRunEvents() && OnKeyUp) {
        OnKeyUp(this, Key, Shift);
        if (Key == 0) return true;
    }
    return false;
}

namespace {

// A windowed child with a sunken client edge: its field frame is drawn by the parent,
// around the child's client area, as windows draw nothing outside their client area.
bool HasClientEdge(TControl* c) {
    auto* w = dynamic_cast<TWinControl*>(c);
    return w && w->Visible() && w->HandleAllocated() &&
           (GetWindowLongA(w->Handle(), GWL_EXSTYLE) & static_cast<LONG>(WS_EX_CLIENTEDGE));
}

}  // namespace

void TWinControl::PaintChildFrames(HDC DC) {
    platform::Canvas* canvas = platform::CanvasOf(DC);
    if (!canvas) return;
    for (TControl* c : controls_) {
        if (!HasClientEdge(c)) continue;
        auto* w = static_cast<TWinControl*>(c);
        platform::PartState state = ControlPartState(*w, w->Focused());
        if (auto* edit = dynamic_cast<TCustomEdit*>(w); edit && edit->ReadOnly()) state |= platform::psReadOnly;
        platform::Style::Current().Field(*canvas, w->BoundsRect(), state);
    }
}

void TWinControl::WMPaint(TMessage& Message) {
    bool graphicChildren = false;
    for (TControl* c : controls_)
        if ((!dynamic_cast<TWinControl*>(c) && c->Visible()) || HasClientEdge(c)) graphicChildren = true;
    if (!graphicChildren && !(ControlStyle() & csPaintsItself)) {
        DefaultHandler(Message);
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(handle_, &ps);
    try {
        PaintWindow(dc);
        PaintChildFrames(dc);
        PaintControls(dc);
    } catch (...) {
        EndPaint(handle_, &ps);
        throw;
    }
    EndPaint(handle_, &ps);
}

void TWinControl::PaintWindow(HDC DC) { (void)DC; }

void TWinControl::FocusLookChanged() {
    if (ControlStyle() & csPaintsItself) Invalidate();
    // The frame of a field shows the focus too, and the parent draws it.
    if (HasClientEdge(this) && Parent() && Parent()->HandleAllocated()) {
        RECT r = BoundsRect();
        InvalidateRect(Parent()->Handle(), &r, FALSE_);
    }
}

void TWinControl::PaintControls(HDC DC) {
    for (TControl* c : std::vector<TControl*>(controls_)) {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (g && g->Visible()) g->PaintOn(DC);
    }
}

void TWinControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case CM_SYSCOLORCHANGE:
            // Every control below hears of the change, whatever an earlier one answered.
            for (TControl* c : std::vector<TControl*>(controls_)) {
                TMessage notice{Message.Msg, Message.WParam, Message.LParam, 0};
                c->WndProc(notice);
            }
            break;
        case WM_SIZE:
        case WM_MOVE:
            DefaultHandler(Message);
            UpdateBounds();
            return;
        case WM_NOTIFY:
        case WM_COMMAND:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: {
            LRESULT r = 0;
            if (handle_ && platform::ReflectControlMessage(handle_, Message.Msg, Message.WParam, Message.LParam, &r)) {
                Message.Result = r;
                return;
            }
            break;
        }
        case WM_PAINT: WMPaint(Message); return;
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(handle_, &r);
            HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
            ::FillRect(reinterpret_cast<HDC>(Message.WParam), &r, brush);
            DeleteObject(brush);
            Message.Result = 1;
            return;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            Word key = static_cast<Word>(Message.WParam);
            if (DoKeyDown(key, KeyboardStateToShiftState())) return;
            Message.WParam = key;
            break;
        }
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            Word key = static_cast<Word>(Message.WParam);
            if (DoKeyUp(key, KeyboardStateToShiftState())) return;
            Message.WParam = key;
            break;
        }
        case WM_CHAR: {
            char key = static_cast<char>(Message.WParam);
            if (DoKeyPress(key)) return;
            Message.WParam = static_cast<unsigned char>(key);
            break;
        }
        case WM_SETFOCUS:
            FocusLookChanged();
            if (TCustomForm* form = ParentForm(); form && form != this && !form->Destroying()) form->SetActiveControl(this);
            if (CanRunEvents() && OnEnter) OnEnter(this);
            break;
        case WM_KILLFOCUS:
            FocusLookChanged();
            if (CanRunEvents() && OnExit) OnExit(this);
            break;
        case WM_NCDESTROY: {
            HWND h = handle_;
            DefaultHandler(Message);
            if (h) RemovePropA(h, kControlProp);
            handle_ = nullptr;
            return;
        }
        default:
            if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST && Message.Msg != WM_MOUSEWHEEL) {
                // During a drag the source takes the mouse, also a graphic one on this window.
                if (TControl* source = CurrentDragSource()) {
                    if (source == this) break;
                    if (source->Parent() == this && !dynamic_cast<TWinControl*>(source)) {
                        source->Perform(Message.Msg, Message.WParam, Message.LParam);
                        return;
                    }
                }
                // A graphic child under the pointer takes the mouse, as it has no window.
                TPoint p = Point(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
                TControl* c = ControlAtPos(p);
                if (c && !dynamic_cast<TWinControl*>(c)) {
                    c->Perform(Message.Msg, Message.WParam, MAKELPARAM(p.x - c->Left(), p.y - c->Top()));
                    return;
                }
            }
            break;
    }
    TControl::WndProc(Message);
}
