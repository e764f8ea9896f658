// The window class "SysTreeView32": the window procedure that puts the tree window's model on
// real windows (mouse, keyboard, focus, scrolling, painting, label editor) and sends its
// notifications to the parent as WM_NOTIFY.
#include "platform/TreeView.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/Canvas.h"
#include "platform/Clock.h"
#include "detail/TreeViewWindow.h"

namespace platform::detail {
void PaintTree(TreeViewWindow& window, HWND hwnd, HDC dc, HFONT font, bool focused);
}

namespace {

using platform::detail::TreeItem;
using platform::detail::TreeViewModel;
using platform::detail::TreeViewWindow;

constexpr const char* kDataProp = "TarvikTreeView";
constexpr LRESULT kDlgcWantArrows = 0x0001, kDlgcWantChars = 0x0080;
constexpr std::uint64_t kSearchResetMillis = 1000;

class ParentSink final : public platform::detail::TreeNotifySink {
public:
    explicit ParentSink(HWND hwnd) : hwnd_(hwnd) {}
    LRESULT Notify(NMHDR& header) override {
        HWND parent = GetParent(hwnd_);
        return parent ? SendMessageA(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header)) : 0;
    }

private:
    HWND hwnd_;
};

// The label editor: a child window of the tree holding one line of text with a caret.
class EditorHost final : public platform::detail::TreeLabelEditorHost {
public:
    explicit EditorHost(HWND tree) : tree_(tree) {}
    HWND CreateEditor(const RECT& rect, const std::string& text) override {
        HWND edit = CreateWindowExA(0, kTreeLabelEditClass, text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER, rect.left,
                                    rect.top, std::max<LONG>(rect.right - rect.left, 20), rect.bottom - rect.top, tree_,
                                    nullptr, nullptr, nullptr);
        if (edit) {
            HFONT font = reinterpret_cast<HFONT>(SendMessageA(tree_, WM_GETFONT, 0, 0));
            if (font) SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
            SetFocus(edit);
        }
        return edit;
    }
    std::string EditorText(HWND editor) override {
        int n = GetWindowTextLengthA(editor);
        std::string s(static_cast<size_t>(n) + 1, '\0');
        GetWindowTextA(editor, s.data(), n + 1);
        s.resize(static_cast<size_t>(n));
        return s;
    }
    void DestroyEditor(HWND editor) override {
        bool hadFocus = GetFocus() == editor;
        DestroyWindow(editor);
        if (hadFocus && IsWindow(tree_)) SetFocus(tree_);
    }

private:
    HWND tree_;
};

struct TreeWindowData {
    explicit TreeWindowData(HWND hwnd) : sink(hwnd), editors(hwnd) {
        window.SetSink(&sink);
        window.SetEditorHost(&editors);
    }
    TreeViewWindow window;
    ParentSink sink;
    EditorHost editors;
    bool focused = false;
    HTREEITEM hover = nullptr;
    std::string lastTip;
    std::string lastToolTip;
    HWND toolTip = nullptr;
    std::uint64_t lastSearchTick = 0;
    platform::ScrollBarDriver vbar{SB_VERT};
    platform::ScrollBarDriver hbar{SB_HORZ};
};

// The window's scroll bars lie over the edges of its rows, shown only while the rows overflow.
struct TreeBars {
    bool vertical = false;
    bool horizontal = false;
    RECT v{};
    RECT h{};
};

TreeBars BarsOf(TreeWindowData& d, HWND hwnd) {
    TreeBars b;
    if (GetWindowLongA(hwnd, GWL_STYLE) & static_cast<LONG>(TVS_NOSCROLL)) return b;
    platform::detail::TreeScrollInfo v = d.window.Model().VerticalScroll();
    platform::detail::TreeScrollInfo h = d.window.Model().HorizontalScroll();
    SCROLLINFO vi, hi;
    vi.nMax = v.max;
    vi.nPage = static_cast<UINT>(v.page);
    hi.nMax = h.max;
    hi.nPage = static_cast<UINT>(h.page);
    b.vertical = platform::ScrollNeeded(vi);
    b.horizontal = platform::ScrollNeeded(hi);
    RECT client;
    GetClientRect(hwnd, &client);
    b.v = platform::VerticalBarRect(client, b.horizontal);
    b.h = platform::HorizontalBarRect(client, b.vertical);
    return b;
}

TreeWindowData* Data(HWND hwnd) { return static_cast<TreeWindowData*>(GetPropA(hwnd, kDataProp)); }

void SyncStyle(TreeWindowData& d, HWND hwnd) {
    DWORD style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
    if (style != d.window.Model().Style()) d.window.Model().SetStyle(style);
}

void Repaint(HWND hwnd) { InvalidateRect(hwnd, nullptr, TRUE_); }

TreeItem* VisibleAt(TreeViewModel& m, int index) {
    const auto& v = m.VisibleItems();
    if (v.empty()) return nullptr;
    index = std::clamp(index, 0, static_cast<int>(v.size()) - 1);
    return v[static_cast<size_t>(index)];
}

void OnButtonDown(TreeWindowData& d, HWND hwnd, LPARAM lParam, bool doubleClick) {
    TreeViewModel& m = d.window.Model();
    if (GetFocus() != hwnd) SetFocus(hwnd);
    if (d.window.Editor()) d.window.EndEdit(false);
    UINT flags = 0;
    TreeItem* item = m.HitTest(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, flags);
    if (!item) return;
    HTREEITEM handle = item->Handle();
    if (flags & TVHT_ONITEMBUTTON) {
        d.window.Expand(*item, TVE_TOGGLE);
        return;
    }
    bool onRow = (flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)) ||
                 ((m.Style() & TVS_FULLROWSELECT) && (flags & (TVHT_ONITEMINDENT | TVHT_ONITEMRIGHT)));
    if (!onRow) return;
    if (doubleClick) {
        // Only a double click on the item itself opens or closes it; the empty part of a full
        // row is left to the control on the window.
        if (d.window.NotifySimple(NM_DBLCLK) == 0 && (item = m.Find(handle)) != nullptr &&
            (flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL)))
            d.window.Expand(*item, TVE_TOGGLE);
        return;
    }
    // A click on the label of the item that already has the caret edits it.
    if (item == d.window.Caret() && (flags & TVHT_ONITEMLABEL) && (m.Style() & TVS_EDITLABELS)) {
        d.window.BeginEdit(*item);
        return;
    }
    TreeItem* previous = d.window.Caret();
    HTREEITEM previousHandle = previous ? previous->Handle() : nullptr;
    if (!d.window.SelectCaret(item, TVC_BYMOUSE) || !(m.Style() & TVS_SINGLEEXPAND)) return;
    // One branch open at a time: the parent may keep the old one open or leave the new one.
    item = m.Find(handle);
    previous = m.Find(previousHandle);
    if (!item) return;
    LRESULT answer = d.window.NotifyTree(TVN_SINGLEEXPAND, 0, previous, item);
    item = m.Find(handle);
    previous = m.Find(previousHandle);
    if (!(answer & TVNRET_SKIPOLD) && previous && item && previous != item && !m.IsDescendant(*item, *previous))
        d.window.Expand(*previous, TVE_COLLAPSE);
    if (!(answer & TVNRET_SKIPNEW) && (item = m.Find(handle)) != nullptr) d.window.Expand(*item, TVE_TOGGLE);
}

void OnKeyDown(TreeWindowData& d, HWND hwnd, WPARAM key) {
    TreeViewModel& m = d.window.Model();
    NMTVKEYDOWN nm;
    nm.hdr.hwndFrom = hwnd;
    nm.hdr.idFrom = static_cast<std::uintptr_t>(GetWindowLongPtrA(hwnd, GWLP_ID));
    nm.hdr.code = TVN_KEYDOWN;
    nm.wVKey = static_cast<WORD>(key);
    d.sink.Notify(nm.hdr);
    if (!IsWindow(hwnd) || Data(hwnd) != &d) return;
    TreeItem* caret = d.window.Caret();
    int index = caret ? m.VisibleIndex(*caret) : -1;
    int page = std::max(m.FullyVisibleCount() - 1, 1);
    TreeItem* target = nullptr;
    switch (static_cast<int>(key)) {
    case VK_UP: target = index < 0 ? VisibleAt(m, 0) : VisibleAt(m, index - 1); break;
    case VK_DOWN: target = index < 0 ? VisibleAt(m, 0) : VisibleAt(m, index + 1); break;
    case VK_PRIOR: target = VisibleAt(m, index - page); break;
    case VK_NEXT: target = VisibleAt(m, index + page); break;
    case VK_HOME: target = VisibleAt(m, 0); break;
    case VK_END: target = VisibleAt(m, static_cast<int>(m.VisibleItems().size()) - 1); break;
    case VK_LEFT:
        if (caret && caret->Expanded()) d.window.Expand(*caret, TVE_COLLAPSE);
        else if (caret && !m.IsRoot(caret->parent)) target = caret->parent;
        break;
    case VK_RIGHT:
        if (caret && !caret->Expanded() && m.HasChildrenShown(*caret)) d.window.Expand(*caret, TVE_EXPAND);
        else if (caret && caret->Expanded()) target = caret->firstChild;
        break;
    case VK_ADD:
        if (caret) d.window.Expand(*caret, TVE_EXPAND);
        break;
    case VK_SUBTRACT:
        if (caret) d.window.Expand(*caret, TVE_COLLAPSE);
        break;
    case VK_F2:
        if (caret && (m.Style() & TVS_EDITLABELS)) d.window.BeginEdit(*caret);
        break;
    case VK_RETURN:
        d.window.NotifySimple(NM_RETURN);
        break;
    default:
        break;
    }
    if (target) d.window.SelectCaret(target, TVC_BYKEYBOARD);
}

// Incremental search: typed characters collect into a prefix; the caret moves to the next
// visible item whose text starts with it (without regard to ASCII case).
void OnChar(TreeWindowData& d, WPARAM ch) {
    if (ch < 0x20 || ch == 0x7F) return;
    std::uint64_t now = platform::CurrentClock().TickMillis();
    std::string search = now - d.lastSearchTick > kSearchResetMillis ? std::string() : d.window.SearchString();
    d.lastSearchTick = now;
    search.push_back(static_cast<char>(ch));
    d.window.SetSearchString(search);
    TreeViewModel& m = d.window.Model();
    const auto& v = m.VisibleItems();
    if (v.empty()) return;
    TreeItem* caret = d.window.Caret();
    int start = caret ? std::max(m.VisibleIndex(*caret), 0) : 0;
    if (search.size() == 1) ++start;  // a new search begins after the caret
    auto fold = [](std::string s) {
        for (char& c : s)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        return s;
    };
    std::string wanted = fold(search);
    for (size_t k = 0; k < v.size(); ++k) {
        TreeItem* item = v[(static_cast<size_t>(start) + k) % v.size()];
        if (fold(d.window.DisplayText(*item)).rfind(wanted, 0) == 0) {
            d.window.SelectCaret(item, TVC_BYKEYBOARD);
            return;
        }
    }
}

void OnScroll(TreeWindowData& d, bool vertical, WPARAM request) {
    TreeViewModel& m = d.window.Model();
    WORD code = LOWORD(request);
    if (vertical) {
        int page = std::max(m.FullyVisibleCount(), 1);
        int top = m.TopIndex();
        switch (code) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= page; break;
        case SB_PAGEDOWN: top += page; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: top = HIWORD(request); break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = static_cast<int>(m.VisibleItems().size()); break;
        default: return;
        }
        m.SetTopIndex(top);
    } else {
        int pos = m.HScroll();
        switch (code) {
        case SB_LINELEFT: pos -= platform::detail::kTreeHScrollLine; break;
        case SB_LINERIGHT: pos += platform::detail::kTreeHScrollLine; break;
        case SB_PAGELEFT: pos -= m.ClientWidth(); break;
        case SB_PAGERIGHT: pos += m.ClientWidth(); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: pos = HIWORD(request); break;
        case SB_LEFT: pos = 0; break;
        case SB_RIGHT: pos = 1 << 20; break;
        default: return;
        }
        m.SetHScroll(pos);
    }
}

// A label the window cuts off gets a tooltip; its text is asked of the tree window itself
// (the control on it may answer), else the window gives the item's text.
void ShowToolTip(TreeWindowData& d, HWND hwnd, TreeItem& item) {
    TreeViewModel& m = d.window.Model();
    TreeViewModel::RowLayout l;
    if (!m.Layout(item, l) || (l.labelRight <= m.ClientWidth() && l.labelLeft >= 0)) return;
    if (!d.toolTip) {
        d.toolTip = CreateWindowExA(0, kTreeToolTipClass, "", WS_POPUP, 0, 0, 0, 0, hwnd, nullptr, nullptr, nullptr);
        d.window.tooltips = d.toolTip;
    }
    NMTTDISPINFOW nm;
    nm.hdr.hwndFrom = d.toolTip;
    nm.hdr.idFrom = reinterpret_cast<std::uintptr_t>(hwnd);
    nm.hdr.code = TTN_NEEDTEXTW;
    nm.uFlags = TTF_IDISHWND;
    HTREEITEM handle = item.Handle();
    SendMessageA(hwnd, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm.hdr));
    if (!IsWindow(hwnd) || Data(hwnd) != &d || !m.Find(handle)) return;
    const WCHAR* text = nm.lpszText ? nm.lpszText : nm.szText;
    d.lastToolTip = TreeUtf16ToUtf8(text, nm.lpszText ? 4096 : 80);
}

void OnMouseMove(TreeWindowData& d, HWND hwnd, LPARAM lParam) {
    TreeViewModel& m = d.window.Model();
    UINT flags = 0;
    TreeItem* item = m.HitTest(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, flags);
    HTREEITEM handle = item ? item->Handle() : nullptr;
    if (handle == d.hover) return;
    d.hover = handle;
    if (!item) return;
    if (!(m.Style() & TVS_INFOTIP)) {
        if (!(m.Style() & TVS_NOTOOLTIPS)) ShowToolTip(d, hwnd, *item);
        return;
    }
    // The tip names the item under the pointer; the parent fills the text.
    char buffer[1024] = {};
    std::string text = d.window.DisplayText(*item);
    std::strncpy(buffer, text.c_str(), sizeof buffer - 1);
    NMTVGETINFOTIPA nm;
    nm.hdr.hwndFrom = hwnd;
    nm.hdr.idFrom = static_cast<std::uintptr_t>(GetWindowLongPtrA(hwnd, GWLP_ID));
    nm.hdr.code = TVN_GETINFOTIPA;
    nm.pszText = buffer;
    nm.cchTextMax = sizeof buffer;
    nm.hItem = handle;
    nm.lParam = item->param;
    d.sink.Notify(nm.hdr);
    buffer[sizeof buffer - 1] = '\0';
    d.lastTip = buffer;
}

LRESULT CALLBACK_TreeViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* d = new TreeWindowData(hwnd);
        SetPropA(hwnd, kDataProp, d);
        d->window.SetIdentity(hwnd, static_cast<std::uintptr_t>(GetWindowLongPtrA(hwnd, GWLP_ID)));
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (cs) d->window.Model().SetStyle(static_cast<DWORD>(cs->style));
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    TreeWindowData* d = Data(hwnd);
    if (!d) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        RemovePropA(hwnd, kDataProp);
        if (d->toolTip && IsWindow(d->toolTip)) DestroyWindow(d->toolTip);
        delete d;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    SyncStyle(*d, hwnd);
    TreeViewWindow& w = d->window;
    if (msg >= TV_FIRST && msg < TV_FIRST + 0x100) {
        LRESULT r = w.Message(msg, wParam, lParam);
        if (w.Redraw() && msg != TVM_GETCOUNT && msg != TVM_GETITEMA && msg != TVM_GETNEXTITEM &&
            msg != TVM_GETITEMRECT && msg != TVM_HITTEST && msg != TVM_GETEDITCONTROL)
            Repaint(hwnd);
        return r;
    }
    switch (msg) {
    case WM_CREATE:
    case WM_SIZE: {
        RECT rc;
        GetClientRect(hwnd, &rc);
        w.Model().SetClientSize(rc.right - rc.left, rc.bottom - rc.top);
        return 0;
    }
    case WM_STYLECHANGED:
        SyncStyle(*d, hwnd);
        Repaint(hwnd);
        return 0;
    case WM_SETFONT: {
        // Labels are measured in the font they are drawn in: the window's, else the stock one.
        LOGFONTA lf{};
        auto font = reinterpret_cast<HFONT>(wParam);
        const bool known = font && GetObjectA(font, sizeof lf, &lf);
        if (!known) GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
        platform::FontSpec labels;
        labels.name = String(lf.lfFaceName, strnlen(lf.lfFaceName, sizeof lf.lfFaceName));
        labels.height = known ? lf.lfHeight : 0;
        labels.weight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
        labels.italic = lf.lfItalic != 0;
        w.Model().SetFont(labels);
        w.Model().ClampScroll();
        DefWindowProcA(hwnd, msg, wParam, 0);
        if (lParam) Repaint(hwnd);
        return 0;
    }
    case WM_SETREDRAW:
        w.SetRedraw(wParam != 0);
        if (wParam) Repaint(hwnd);
        return 0;
    case WM_DESTROY:
        w.DeleteAll();
        return 0;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT rc;
        GetClientRect(hwnd, &rc);
        COLORREF bk = w.bkColor == CLR_NONE ? GetSysColor(COLOR_WINDOW) : w.bkColor;
        HBRUSH brush = CreateSolidBrush(bk);
        FillRect(dc, &rc, brush);
        DeleteObject(brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (w.Redraw()) {
            platform::detail::PaintTree(w, hwnd, dc, reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)),
                                        d->focused);
            TreeBars bars = BarsOf(*d, hwnd);
            if (platform::Canvas* canvas = platform::CanvasOf(dc)) {
                if (bars.vertical) d->vbar.Paint(hwnd, *canvas, bars.v);
                if (bars.horizontal) d->hbar.Paint(hwnd, *canvas, bars.h);
            }
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SETFOCUS:
        d->focused = true;
        w.NotifySimple(NM_SETFOCUS);
        Repaint(hwnd);
        return 0;
    case WM_KILLFOCUS:
        d->focused = false;
        if (IsWindow(hwnd)) {
            w.NotifySimple(NM_KILLFOCUS);
            Repaint(hwnd);
        }
        return 0;
    case WM_NCHITTEST: {
        // Outside the client area (the border, the scroll bars) the pointer is not over items.
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(hwnd, &pt);
        RECT rc;
        GetClientRect(hwnd, &rc);
        return PtInRect(&rc, pt) ? HTCLIENT : HTNOWHERE;
    }
    case SBM_GETSCROLLINFO: {
        auto* info = reinterpret_cast<SCROLLINFO*>(lParam);
        if (!info) return FALSE_;
        platform::detail::TreeScrollInfo s = wParam == SB_VERT ? w.Model().VerticalScroll() : w.Model().HorizontalScroll();
        info->nMin = s.min;
        info->nMax = s.max;
        info->nPage = static_cast<UINT>(s.page);
        info->nPos = s.pos;
        info->nTrackPos = s.pos;
        return TRUE_;
    }
    case WM_MOUSEWHEEL: {
        int lines = -static_cast<short>(HIWORD(wParam)) / 120 * 3;
        for (int i = 0; i < std::abs(lines); ++i) OnScroll(*d, true, lines > 0 ? SB_LINEDOWN : SB_LINEUP);
        Repaint(hwnd);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        TreeBars bars = BarsOf(*d, hwnd);
        if ((bars.vertical && d->vbar.MouseDown(hwnd, bars.v, pt)) ||
            (bars.horizontal && d->hbar.MouseDown(hwnd, bars.h, pt))) {
            SetCapture(hwnd);
            return 0;
        }
        OnButtonDown(*d, hwnd, lParam, msg == WM_LBUTTONDBLCLK);
        return 0;
    }
    case WM_LBUTTONUP: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        TreeBars bars = BarsOf(*d, hwnd);
        if (d->vbar.MouseUp(hwnd, bars.v, pt) || d->hbar.MouseUp(hwnd, bars.h, pt)) {
            if (GetCapture() == hwnd) ReleaseCapture();
            return 0;
        }
        w.NotifySimple(NM_CLICK);
        return 0;
    }
    case WM_RBUTTONDOWN:
        if (GetFocus() != hwnd) SetFocus(hwnd);
        w.NotifySimple(NM_RCLICK);
        return 0;
    case WM_MOUSEMOVE: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        TreeBars bars = BarsOf(*d, hwnd);
        bool onBars = (bars.vertical && d->vbar.MouseMove(hwnd, bars.v, pt)) ||
                      (bars.horizontal && d->hbar.MouseMove(hwnd, bars.h, pt));
        if (onBars || d->vbar.Active() || d->hbar.Active()) return 0;
        OnMouseMove(*d, hwnd, lParam);
        return 0;
    }
    case WM_KEYDOWN:
        OnKeyDown(*d, hwnd, wParam);
        if (IsWindow(hwnd)) Repaint(hwnd);
        return 0;
    case WM_CHAR:
        OnChar(*d, wParam);
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
        OnScroll(*d, msg == WM_VSCROLL, wParam);
        Repaint(hwnd);
        return 0;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr && hdr->code == TTN_NEEDTEXTW && d->hover) {
            // The window's own answer: the hovered item's text, in the record's buffer.
            auto* nm = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            if (TreeItem* item = w.Model().Find(d->hover)) {
                std::u16string wide = TreeUtf8ToUtf16(w.DisplayText(*item));
                size_t n = std::min<size_t>(wide.size(), 79);
                std::memset(nm->szText, 0, sizeof nm->szText);
                std::memcpy(nm->szText, wide.data(), n * sizeof(WCHAR));
                nm->lpszText = nm->szText;
            }
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_GETDLGCODE:
        return kDlgcWantArrows | kDlgcWantChars;
    case CCM_SETUNICODEFORMAT:
    case CCM_GETUNICODEFORMAT:
        return 0;  // the window always talks in the ANSI record forms
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// ---- the label editor window

struct EditData {
    size_t caret = 0;
};

LRESULT LabelEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* e = static_cast<EditData*>(GetPropA(hwnd, "TarvikEditData"));
    switch (msg) {
    case WM_NCCREATE: {
        auto* data = new EditData;
        SetPropA(hwnd, "TarvikEditData", data);
        LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
        data->caret = static_cast<size_t>(GetWindowTextLengthA(hwnd));
        return r;
    }
    case WM_NCDESTROY:
        RemovePropA(hwnd, "TarvikEditData");
        delete e;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_KEYDOWN: {
        if (!e) return 0;
        std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
        GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
        text.resize(text.size() - 1);
        auto charStart = [&](size_t i) {
            while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
            return i;
        };
        auto charEnd = [&](size_t i) {
            if (i < text.size()) ++i;
            while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
            return i;
        };
        HWND tree = GetParent(hwnd);
        switch (static_cast<int>(wParam)) {
        case VK_LEFT: e->caret = e->caret ? charStart(e->caret - 1) : 0; break;
        case VK_RIGHT: e->caret = charEnd(e->caret); break;
        case VK_HOME: e->caret = 0; break;
        case VK_END: e->caret = text.size(); break;
        case VK_DELETE:
            if (e->caret < text.size()) {
                text.erase(e->caret, charEnd(e->caret) - e->caret);
                SetWindowTextA(hwnd, text.c_str());
            }
            break;
        case VK_BACK:
            if (e->caret > 0) {
                size_t from = charStart(e->caret - 1);
                text.erase(from, e->caret - from);
                e->caret = from;
                SetWindowTextA(hwnd, text.c_str());
            }
            break;
        case VK_RETURN:
            if (tree) SendMessageA(tree, TVM_ENDEDITLABELNOW, 0, 0);
            break;
        case VK_ESCAPE:
            if (tree) SendMessageA(tree, TVM_ENDEDITLABELNOW, 1, 0);
            break;
        default:
            break;
        }
        return 0;
    }
    case WM_CHAR: {
        if (!e || wParam < 0x20 || wParam == 0x7F) return 0;
        std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
        GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
        text.resize(text.size() - 1);
        text.insert(std::min(e->caret, text.size()), 1, static_cast<char>(wParam));
        ++e->caret;
        SetWindowTextA(hwnd, text.c_str());
        return 0;
    }
    case WM_GETDLGCODE:
        return kDlgcWantArrows | kDlgcWantChars;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

bool InitTreeViewClass() {
    static const bool registered = [] {
        WNDCLASSA wc;
        wc.style = CS_DBLCLKS | CS_GLOBALCLASS;
        wc.lpfnWndProc = CALLBACK_TreeViewProc;
        wc.lpszClassName = WC_TREEVIEWA;
        bool ok = RegisterClassA(&wc) != 0;
        WNDCLASSA edit;
        edit.lpfnWndProc = LabelEditProc;
        edit.lpszClassName = kTreeLabelEditClass;
        ok = RegisterClassA(&edit) != 0 && ok;
        WNDCLASSA tip;
        tip.lpfnWndProc = DefWindowProcA;
        tip.lpszClassName = kTreeToolTipClass;
        return RegisterClassA(&tip) != 0 && ok;
    }();
    return registered;
}

BOOL GetTreeScrollInfo(HWND hwnd, int bar, SCROLLINFO* info) {
    TreeWindowData* d = Data(hwnd);
    if (!d || !info) return FALSE_;
    platform::detail::TreeScrollInfo s =
        bar == SB_VERT ? d->window.Model().VerticalScroll() : d->window.Model().HorizontalScroll();
    info->nMin = s.min;
    info->nMax = s.max;
    info->nPage = static_cast<UINT>(s.page);
    info->nPos = s.pos;
    info->nTrackPos = s.pos;
    return TRUE_;
}

bool TreeScrollBarAt(HWND hwnd, POINT pt) {
    TreeWindowData* d = Data(hwnd);
    if (!d) return false;
    if (d->vbar.Active() || d->hbar.Active()) return true;
    TreeBars bars = BarsOf(*d, hwnd);
    return (bars.vertical && PtInRect(&bars.v, pt)) || (bars.horizontal && PtInRect(&bars.h, pt));
}

String TreeViewLastInfoTip(HWND hwnd) {
    TreeWindowData* d = Data(hwnd);
    return d ? d->lastTip : String();
}

namespace platform::detail {
TreeViewWindow* TreeViewWindowOf(HWND hwnd) {
    TreeWindowData* d = IsWindow(hwnd) ? Data(hwnd) : nullptr;
    return d ? &d->window : nullptr;
}
}  // namespace platform::detail

String TreeViewLastToolTip(HWND hwnd) {
    TreeWindowData* d = Data(hwnd);
    return d ? d->lastToolTip : String();
}

std::u16string TreeUtf8ToUtf16(const String& text) {
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        char32_t cp;
        size_t len;
        if (c < 0x80) cp = c, len = 1;
        else if ((c & 0xE0) == 0xC0) cp = c & 0x1F, len = 2;
        else if ((c & 0xF0) == 0xE0) cp = c & 0x0F, len = 3;
        else if ((c & 0xF8) == 0xF0) cp = c & 0x07, len = 4;
        else cp = 0xFFFD, len = 1;
        if (len > 1) {
            if (i + len > text.size()) {
                cp = 0xFFFD;
                len = text.size() - i;
            } else {
                for (size_t k = 1; k < len; ++k) {
                    auto cc = static_cast<unsigned char>(text[i + k]);
                    if ((cc & 0xC0) != 0x80) {
                        cp = 0xFFFD;
                        len = k;
                        break;
                    }
                    cp = (cp << 6) | (cc & 0x3F);
                }
            }
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp > 0x10FFFF ? 0xFFFD : cp));
        }
        i += len;
    }
    return out;
}

String TreeUtf16ToUtf8(const WCHAR* text, size_t maxLength) {
    String out;
    if (!text) return out;
    for (size_t i = 0; i < maxLength && text[i]; ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < maxLength && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}
