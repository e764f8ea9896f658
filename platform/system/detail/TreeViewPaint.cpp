// Painting of the tree window: one pass over the visible rows with the custom-draw stages,
// into the canvas of the device context (the display list, headless).
#include <algorithm>

#include "platform/Canvas.h"
#include "detail/TreeViewWindow.h"
#include "platform/Style.h"

namespace platform::detail {

namespace {

LRESULT Draw(TreeViewWindow& w, HWND hwnd, NMTVCUSTOMDRAW& cd, DWORD stage) {
    cd.nmcd.hdr.hwndFrom = hwnd;
    cd.nmcd.hdr.idFrom = static_cast<std::uintptr_t>(GetWindowLongPtrA(hwnd, GWLP_ID));
    cd.nmcd.hdr.code = NM_CUSTOMDRAW;
    cd.nmcd.dwDrawStage = stage;
    return w.Notify(cd.nmcd.hdr);
}

// The lines that join an item to its parent and siblings, and its expand button: drawn in
// the indent columns the layout reserves, so the hit test's button column is where the
// button is seen.
void PaintGuides(Canvas& c, TreeViewModel& m, TreeItem& item, const TreeViewModel::RowLayout& l, bool hot) {
    const Style& style = Style::Current();
    const DWORD treeStyle = m.Style();
    const int level = TreeViewModel::Level(item);
    const int columns = m.IndentColumns(item);
    if (columns <= 0) return;
    const int indent = m.Indent();
    const int mid = (l.top + l.bottom) / 2;
    auto centre = [&](int column) { return l.indentLeft + column * indent + indent / 2; };
    if (treeStyle & TVS_HASLINES) {
        int own = centre(columns - 1);
        // The first item of the whole tree has nothing above it to join.
        int top = (item.prev || level > 0) ? l.top : mid;
        int bottom = item.next ? l.bottom : mid;
        if (bottom > top) style.TreeLine(c, own, top, own, bottom);
        style.TreeLine(c, own, mid, l.indentLeft + columns * indent, mid);
        int column = columns - 2;
        for (TreeItem* a = item.parent; a && !m.IsRoot(a) && column >= 0; a = a->parent, --column)
            if (a->next) style.TreeLine(c, centre(column), l.top, centre(column), l.bottom);
    }
    if ((treeStyle & TVS_HASBUTTONS) && l.buttonRight > l.buttonLeft)
        style.ExpandButton(c, RECT{l.buttonLeft, l.top, l.buttonRight, l.bottom}, item.Expanded(),
                           hot ? psHover : psNormal);
}

}  // namespace

void PaintTree(TreeViewWindow& w, HWND hwnd, HDC dc, HFONT font, bool focused) {
    TreeViewModel& m = w.Model();
    RECT client{0, 0, m.ClientWidth(), m.ClientHeight()};
    COLORREF windowBk = w.bkColor == CLR_NONE ? GetSysColor(COLOR_WINDOW) : w.bkColor;
    COLORREF windowText = w.textColor == CLR_NONE ? GetSysColor(COLOR_WINDOWTEXT) : w.textColor;
    HFONT baseFont = font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    NMTVCUSTOMDRAW cd;
    cd.nmcd.hdc = dc;
    cd.nmcd.rc = client;
    LRESULT paintAnswer = Draw(w, hwnd, cd, CDDS_PREPAINT);
    if (paintAnswer & CDRF_SKIPDEFAULT) return;

    const DWORD style = m.Style();
    const bool showSelection = focused || (style & TVS_SHOWSELALWAYS);
    // Copied: handlers may change the tree while it is painted; rows are looked up afresh.
    std::vector<HTREEITEM> rows;
    const auto& visible = m.VisibleItems();
    for (size_t i = static_cast<size_t>(std::max(m.TopIndex(), 0)); i < visible.size(); ++i)
        rows.push_back(visible[i]->Handle());

    for (HTREEITEM handle : rows) {
        TreeItem* item = m.Find(handle);
        if (!item) continue;
        TreeViewModel::RowLayout l;
        if (!m.Layout(*item, l)) continue;
        if (l.top >= client.bottom) break;
        bool selected = (item->state & TVIS_SELECTED) && showSelection;
        bool isCaret = item == w.Caret();
        SelectObject(dc, baseFont);

        cd = NMTVCUSTOMDRAW{};
        cd.nmcd.hdc = dc;
        cd.nmcd.rc = RECT{0, l.top, client.right, l.bottom};
        cd.nmcd.dwItemSpec = reinterpret_cast<std::uintptr_t>(handle);
        cd.nmcd.lItemlParam = item->param;
        cd.nmcd.uItemState = (selected ? CDIS_SELECTED : 0) | (isCaret && focused ? CDIS_FOCUS : 0) |
                             (handle == w.HotItem() ? CDIS_HOT : 0);
        cd.iLevel = TreeViewModel::Level(*item);
        cd.clrText = selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : windowText;
        cd.clrTextBk = selected ? GetSysColor(COLOR_HIGHLIGHT) : windowBk;
        LRESULT answer = (paintAnswer & CDRF_NOTIFYITEMDRAW) ? Draw(w, hwnd, cd, CDDS_ITEMPREPAINT) : 0;
        item = m.Find(handle);
        if (!item) continue;
        if (!(answer & CDRF_SKIPDEFAULT)) {
            Canvas* canvas = CanvasOf(dc);
            if (canvas) PaintGuides(*canvas, m, *item, l, handle == w.HotItem());
            int cell = m.CellHeight();
            int textY = l.top + std::max((l.bottom - l.top - cell) / 2, 0);
            UINT stateImage = (item->state & TVIS_STATEIMAGEMASK) >> 12;
            if (canvas && w.stateImages && stateImage > 0)
                canvas->DrawImage(reinterpret_cast<std::uintptr_t>(w.stateImages), static_cast<int>(stateImage),
                                  l.stateLeft, l.top, true);
            if (canvas && w.normalImages) {
                int image = w.DisplayImage(*item, isCaret);
                if ((item = m.Find(handle)) == nullptr) continue;
                if (image >= 0)
                    canvas->DrawImage(reinterpret_cast<std::uintptr_t>(w.normalImages), image, l.iconLeft, l.top, true);
            }
            std::string text = w.DisplayText(*item);
            if ((item = m.Find(handle)) == nullptr) continue;
            RECT label{l.labelLeft, l.top, l.labelRight, l.bottom};
            bool opaque = selected || cd.clrTextBk != windowBk || (item->state & TVIS_DROPHILITED);
            SetBkMode(dc, opaque ? OPAQUE : TRANSPARENT);
            SetBkColor(dc, cd.clrTextBk);
            SetTextColor(dc, cd.clrText);
            TextOutA(dc, l.labelLeft + kTreeLabelPadding, textY, text.c_str(), static_cast<int>(text.size()));
            if (isCaret && focused) DrawFocusRect(dc, &label);
        }
        if (answer & (CDRF_NOTIFYPOSTPAINT | CDRF_SKIPDEFAULT)) Draw(w, hwnd, cd, CDDS_ITEMPOSTPAINT);
    }
    if (paintAnswer & CDRF_NOTIFYPOSTPAINT) {
        cd = NMTVCUSTOMDRAW{};
        cd.nmcd.hdc = dc;
        cd.nmcd.rc = client;
        Draw(w, hwnd, cd, CDDS_POSTPAINT);
    }
}

}  // namespace platform::detail
