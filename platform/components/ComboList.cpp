#include "detail/ComboList.h"

#include <algorithm>

#include "platform/ControlStyle.h"
#include "platform/Forms.h"

namespace platform::detail {
namespace {

constexpr const char* kClass = "TarvikComboList";
constexpr const char* kProp = "TarvikComboList";
constexpr int kFrame = 1;
constexpr int kRowPadding = 2;   // above and below an item's text
constexpr LRESULT kNoActivate = 3;  // WM_MOUSEACTIVATE: a drop-down never takes activation

LRESULT CALLBACK_ComboListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* list = static_cast<ComboList*>(GetPropA(hwnd, kProp));
    if (!list) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return list->Proc(msg, wParam, lParam);
}

void RegisterListClass() {
    static const bool registered = [] {
        WNDCLASSA wc;
        wc.lpfnWndProc = CALLBACK_ComboListProc;
        wc.lpszClassName = kClass;
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
}

bool IsPress(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN || m == WM_LBUTTONDBLCLK ||
           m == WM_RBUTTONDBLCLK || m == WM_MBUTTONDBLCLK;
}

}  // namespace

ComboList::ComboList(TCustomComboBox& combo) : combo_(combo) {}

ComboList::~ComboList() {
    closing_ = true;
    if (hwnd_ && IsWindow(hwnd_)) {
        RemovePropA(hwnd_, kProp);
        if (GetCapture() == hwnd_) ReleaseCapture();
        DestroyWindow(hwnd_);
    }
}

int ComboList::Count() const { return combo_.Items()->Count(); }

bool ComboList::Open() {
    const int count = Count();
    if (count == 0 || !combo_.HandleAllocated()) return false;
    rowHeight_ = TextExtent(combo_.Font()->Spec(), "Wg").cy + 2 * kRowPadding;
    rows_ = std::clamp<int>(combo_.DropDownCount(), 1, count);
    RECT field;
    GetWindowRect(combo_.Handle(), &field);
    const int width = std::max<int>(field.right - field.left, 40);
    const int height = rows_ * rowHeight_ + 2 * kFrame;
    // Below the field; above it when the screen ends first and there is room there.
    int y = field.bottom;
    if (y + height > GetSystemMetrics(SM_CYSCREEN) && field.top - height >= 0) y = field.top - height;
    int x = std::clamp<int>(field.left, 0, std::max<int>(GetSystemMetrics(SM_CXSCREEN) - width, 0));

    RegisterListClass();
    TCustomForm* form = combo_.ParentForm();
    HWND owner = form && form->HandleAllocated() ? form->Handle() : nullptr;
    hwnd_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClass, "", WS_POPUP, x, y, width, height, owner, nullptr,
                            nullptr, nullptr);
    if (!hwnd_) return false;
    SetPropA(hwnd_, kProp, this);
    SetHot(combo_.ItemIndex() >= 0 ? combo_.ItemIndex() : 0);
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    SetCapture(hwnd_);
    UpdateWindow(hwnd_);
    return true;
}

RECT ComboList::BarRect() const {
    RECT client;
    GetClientRect(hwnd_, &client);
    InflateRect(&client, -kFrame, -kFrame);
    return VerticalBarRect(client, false);
}

RECT ComboList::ItemRect(int index) const {
    if (!hwnd_ || index < top_ || index >= top_ + rows_ || index >= Count()) return RECT{};
    RECT client;
    GetClientRect(hwnd_, &client);
    const int right = client.right - kFrame - (HasBar() ? kScrollBarSize : 0);
    const int y = kFrame + (index - top_) * rowHeight_;
    return RECT{kFrame, y, right, y + rowHeight_};
}

int ComboList::RowAt(POINT p) const {
    for (int i = top_; i < std::min(top_ + rows_, Count()); ++i) {
        RECT r = ItemRect(i);
        if (PtInRect(&r, p)) return i;
    }
    return -1;
}

void ComboList::SetTop(int top) {
    top = std::clamp(top, 0, std::max(Count() - rows_, 0));
    if (hwnd_) {
        SCROLLINFO si;
        si.fMask = SIF_ALL;
        si.nMax = std::max(Count() - 1, 0);
        si.nPage = static_cast<UINT>(rows_);
        si.nPos = top;
        SetScrollInfo(hwnd_, SB_VERT, &si, FALSE_);
    }
    if (top == top_) return;
    top_ = top;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE_);
}

void ComboList::SetHot(int index) {
    if (Count() == 0) return;
    index = std::clamp(index, 0, Count() - 1);
    if (index < top_) SetTop(index);
    else if (index >= top_ + rows_) SetTop(index - rows_ + 1);
    else SetTop(top_);
    if (index == hot_) return;
    hot_ = index;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE_);
}

void ComboList::ScrollBy(int rows) { SetTop(top_ + rows); }

void ComboList::Mouse(UINT msg, POINT p) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const bool inside = PtInRect(&client, p) != 0;
    if (IsPress(msg) && !inside) {
        // A press anywhere else closes the list; the press is spent on that (a click on the
        // field's arrow closes rather than opening it again).
        combo_.CloseUp(-1);
        return;
    }
    if (HasBar() && (bar_.Active() || (msg == WM_LBUTTONDOWN && PtInRect(&client, p) && p.x >= BarRect().left))) {
        if (msg == WM_LBUTTONDOWN) bar_.MouseDown(hwnd_, BarRect(), p);
        else if (msg == WM_MOUSEMOVE) bar_.MouseMove(hwnd_, BarRect(), p);
        else if (msg == WM_LBUTTONUP) bar_.MouseUp(hwnd_, BarRect(), p);
        InvalidateRect(hwnd_, nullptr, FALSE_);
        return;
    }
    const int row = RowAt(p);
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) armed_ = true;
    if (msg == WM_MOUSEMOVE) {
        if (row >= 0 && row != hot_) armed_ = true;
        if (row >= 0) SetHot(row);
        else if (HasBar()) bar_.MouseMove(hwnd_, BarRect(), p);  // hover looks of the bar
        return;
    }
    // The release picks: also the release of the press that opened the list, once the pointer
    // was dragged onto another item meanwhile (a list that opens under the pointer picks
    // nothing on that release).
    if (msg == WM_LBUTTONUP && row >= 0 && armed_) combo_.CloseUp(row);
}

LRESULT ComboList::Proc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_MOUSEACTIVATE: return kNoActivate;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            Mouse(msg, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_MOUSEWHEEL:
            ScrollBy(-static_cast<short>(HIWORD(wParam)) / 120 * 3);
            return 0;
        case WM_VSCROLL:
            SetTop(ScrollRequestPos(wParam, top_, rows_, Count()));
            return 0;
        case WM_CAPTURECHANGED:
            // Someone else took the mouse (a box came up): the list goes.
            if (!closing_) combo_.CloseUp(-1);
            return 0;
        default: return DefWindowProcA(hwnd_, msg, wParam, lParam);
    }
}

void ComboList::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    Canvas* c = CanvasOf(dc);
    if (!c) {
        EndPaint(hwnd_, &ps);
        return;
    }
    const Style& style = Style::Current();
    RECT client;
    GetClientRect(hwnd_, &client);
    style.ListFrame(*c, client, psNormal);
    c->font = combo_.Font()->Spec();
    const COLORREF ink = ColorToRGB(combo_.Font()->Color());
    const int cell = c->TextHeight("Wg");
    for (int i = top_; i < std::min(top_ + rows_, Count()); ++i) {
        RECT r = ItemRect(i);
        COLORREF color = ink;
        if (i == hot_) {
            // The highlight is the list's focus: drawn as a focused selection.
            style.Selection(*c, r, true);
            color = style.SelectionText(true);
        }
        style.TextClipped(*c, r, r.left + kFieldPadding, r.top + (rowHeight_ - cell) / 2, combo_.Items()->Strings(i), color,
                          psNormal);
    }
    if (HasBar()) bar_.Paint(hwnd_, *c, BarRect());
    EndPaint(hwnd_, &ps);
}

}  // namespace platform::detail
