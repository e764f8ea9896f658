#include "detail/TreeViewWindow.h"

#include <algorithm>
#include <cstring>


namespace platform::detail {

namespace {

TreeImageSizeQuery g_imageSizeQuery = nullptr;
TreeDragImageFactory g_dragImageFactory = nullptr;

void ImageSize(HIMAGELIST list, int& w, int& h) {
    w = h = 0;
    if (!list) return;
    if (!g_imageSizeQuery || !g_imageSizeQuery(list, &w, &h)) w = h = 16;
}

void CopyText(const std::string& text, char* buffer, int size) {
    if (!buffer || size <= 0) return;
    size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

}  // namespace

}  // namespace platform::detail

void SetTreeImageSizeQuery(TreeImageSizeQuery query) { platform::detail::g_imageSizeQuery = query; }
void SetTreeDragImageFactory(TreeDragImageFactory factory) { platform::detail::g_dragImageFactory = factory; }

namespace platform::detail {

TreeViewWindow::TreeViewWindow() { model_.SetTextSource(this); }

TreeViewWindow::~TreeViewWindow() = default;

TreeItem* TreeViewWindow::FindLive(HTREEITEM handle) { return model_.Find(handle); }

// ---- notifications

void TreeViewWindow::FillItemRecord(TreeItem* item, TVITEMA& record) {
    record = TVITEMA{};
    if (!item) return;
    record.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
    record.hItem = item->Handle();
    record.state = item->state;
    record.stateMask = 0xFFFF;
    record.lParam = item->param;
}

LRESULT TreeViewWindow::NotifyTree(UINT code, UINT action, TreeItem* oldItem, TreeItem* newItem, POINT pt) {
    if (!sink_) return 0;
    NMTREEVIEWA nm;
    nm.hdr.hwndFrom = hwnd_;
    nm.hdr.idFrom = id_;
    nm.hdr.code = code;
    nm.action = action;
    FillItemRecord(oldItem, nm.itemOld);
    FillItemRecord(newItem, nm.itemNew);
    nm.ptDrag = pt;
    return sink_->Notify(nm.hdr);
}

LRESULT TreeViewWindow::NotifySimple(UINT code) {
    if (!sink_) return 0;
    NMHDR hdr;
    hdr.hwndFrom = hwnd_;
    hdr.idFrom = id_;
    hdr.code = code;
    return sink_->Notify(hdr);
}

std::string TreeViewWindow::DisplayText(TreeItem& item) {
    if (!item.textCallback) return item.text;
    if (!sink_) return std::string();
    // Room for the longest text the layer's short-string users keep, and then some.
    char buffer[1024] = {};
    NMTVDISPINFOA nm;
    nm.hdr.hwndFrom = hwnd_;
    nm.hdr.idFrom = id_;
    nm.hdr.code = TVN_GETDISPINFOA;
    nm.item.mask = TVIF_TEXT;
    nm.item.hItem = item.Handle();
    nm.item.state = item.state;
    nm.item.lParam = item.param;
    nm.item.pszText = buffer;
    nm.item.cchTextMax = sizeof buffer;
    sink_->Notify(nm.hdr);
    if (nm.item.pszText == nullptr || nm.item.pszText == LPSTR_TEXTCALLBACKA) return std::string();
    // A handler may point at its own buffer; a foreign text is read only up to our limit.
    if (nm.item.pszText != buffer) return std::string(nm.item.pszText, strnlen(nm.item.pszText, 4096));
    buffer[sizeof buffer - 1] = '\0';
    return std::string(buffer);
}

int TreeViewWindow::DisplayImage(TreeItem& item, bool selected) {
    int value = selected ? item.selectedImage : item.image;
    if (value != I_IMAGECALLBACK || !sink_) return value;
    NMTVDISPINFOA nm;
    nm.hdr.hwndFrom = hwnd_;
    nm.hdr.idFrom = id_;
    nm.hdr.code = TVN_GETDISPINFOA;
    nm.item.mask = selected ? TVIF_SELECTEDIMAGE : TVIF_IMAGE;
    nm.item.hItem = item.Handle();
    nm.item.state = item.state;
    nm.item.lParam = item.param;
    sink_->Notify(nm.hdr);
    return selected ? nm.item.iSelectedImage : nm.item.iImage;
}

// ---- the message switch

LRESULT TreeViewWindow::Message(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
    if (handled) *handled = true;
    switch (msg) {
    case TVM_INSERTITEMA:
        return InsertItem(reinterpret_cast<const TVINSERTSTRUCTA*>(lParam));
    case TVM_DELETEITEM:
        return DeleteItem(reinterpret_cast<HTREEITEM>(lParam));
    case TVM_EXPAND: {
        TreeItem* item = FindLive(reinterpret_cast<HTREEITEM>(lParam));
        return item ? Expand(*item, static_cast<UINT>(wParam)) : 0;
    }
    case TVM_GETITEMRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (!rect) return 0;
        HTREEITEM handle;
        std::memcpy(&handle, static_cast<const void*>(rect), sizeof handle);
        TreeItem* item = FindLive(handle);
        return item && model_.ItemRect(*item, wParam != 0, *rect);
    }
    case TVM_GETCOUNT:
        return model_.Count();
    case TVM_GETINDENT:
        return model_.Indent();
    case TVM_SETINDENT:
        model_.SetIndent(static_cast<int>(wParam));
        Invalidate();
        return 0;
    case TVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(wParam == TVSIL_STATE ? stateImages : normalImages);
    case TVM_SETIMAGELIST: {
        HIMAGELIST& slot = wParam == TVSIL_STATE ? stateImages : normalImages;
        HIMAGELIST old = slot;
        slot = reinterpret_cast<HIMAGELIST>(lParam);
        UpdateImageSizes();
        return reinterpret_cast<LRESULT>(old);
    }
    case TVM_GETNEXTITEM:
        return GetNextItem(static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
    case TVM_SELECTITEM:
        return SelectItem(static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
    case TVM_GETITEMA:
        return GetItem(reinterpret_cast<TVITEMA*>(lParam));
    case TVM_SETITEMA:
        return SetItem(reinterpret_cast<const TVITEMA*>(lParam));
    case TVM_EDITLABELA: {
        TreeItem* item = FindLive(reinterpret_cast<HTREEITEM>(lParam));
        return item ? reinterpret_cast<LRESULT>(BeginEdit(*item)) : 0;
    }
    case TVM_GETEDITCONTROL:
        return reinterpret_cast<LRESULT>(editing_ ? editor_ : nullptr);
    case TVM_GETVISIBLECOUNT:
        return model_.FullyVisibleCount();
    case TVM_HITTEST: {
        auto* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
        if (!info) return 0;
        TreeItem* item = model_.HitTest(info->pt, info->flags);
        info->hItem = item ? item->Handle() : nullptr;
        return reinterpret_cast<LRESULT>(info->hItem);
    }
    case TVM_CREATEDRAGIMAGE: {
        // The picture of the item's icon and label on the window's background, as a new image
        // list of one image that the caller frees.
        TreeItem* item = FindLive(reinterpret_cast<HTREEITEM>(lParam));
        TreeViewModel::RowLayout l;
        if (!item || !model_.Layout(*item, l)) return 0;
        int left = normalImages ? l.iconLeft : l.labelLeft;
        int width = std::max(l.labelRight - left, 1), height = std::max(l.bottom - l.top, 1);
        if (!g_dragImageFactory) return 0;
        COLORREF bk = bkColor == 0xFFFFFFFF ? GetSysColor(COLOR_WINDOW) : bkColor;
        // The item's icon as its list holds it, then its label as a selected label looks: the
        // picture shows what is dragged rather than a blank box.
        TreeDragPicture picture;
        picture.width = width;
        picture.height = height;
        picture.background = bk;
        picture.icons = normalImages;
        picture.iconIndex = normalImages ? DisplayImage(*item, false) : -1;
        picture.labelLeft = l.labelLeft - left;
        picture.textLeft = picture.labelLeft + kTreeLabelPadding;
        picture.textRight = width - kTreeLabelPadding;
        picture.accent = GetSysColor(COLOR_HIGHLIGHT);
        picture.ink = GetSysColor(COLOR_HIGHLIGHTTEXT);
        return reinterpret_cast<LRESULT>(g_dragImageFactory(picture));
    }
    case TVM_SORTCHILDREN: {
        TreeItem* parent = model_.FindParent(reinterpret_cast<HTREEITEM>(lParam));
        return parent && SortChildren(*parent, nullptr, 0, wParam != 0);
    }
    case TVM_SORTCHILDRENCB: {
        const auto* cb = reinterpret_cast<const TVSORTCB*>(lParam);
        if (!cb) return 0;
        TreeItem* parent = model_.FindParent(cb->hParent);
        return parent && SortChildren(*parent, cb->lpfnCompare, cb->lParam, wParam != 0);
    }
    case TVM_ENSUREVISIBLE: {
        TreeItem* item = FindLive(reinterpret_cast<HTREEITEM>(lParam));
        if (!item) return 0;
        EnsureVisible(*item);
        return 1;
    }
    case TVM_ENDEDITLABELNOW:
        return EndEdit(wParam != 0);
    case TVM_GETISEARCHSTRINGA: {
        if (search_.empty()) return 0;
        CopyText(search_, reinterpret_cast<char*>(lParam), static_cast<int>(search_.size()) + 1);
        return static_cast<LRESULT>(search_.size());
    }
    case TVM_SETTOOLTIPS: {
        HWND old = tooltips;
        tooltips = reinterpret_cast<HWND>(wParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case TVM_GETTOOLTIPS:
        return reinterpret_cast<LRESULT>(tooltips);
    case TVM_SETINSERTMARK: {
        TreeItem* item = FindLive(reinterpret_cast<HTREEITEM>(lParam));
        insertMark_ = item ? item->Handle() : nullptr;
        Invalidate();
        return 1;
    }
    case TVM_SETITEMHEIGHT: {
        int old = model_.ItemHeight();
        model_.SetItemHeight(static_cast<int>(static_cast<short>(wParam & 0xFFFF)));
        Invalidate();
        return old;
    }
    case TVM_GETITEMHEIGHT:
        return model_.ItemHeight();
    case TVM_SETBKCOLOR: {
        COLORREF old = bkColor;
        bkColor = static_cast<COLORREF>(lParam);
        Invalidate();
        return static_cast<LRESULT>(static_cast<std::int32_t>(old));
    }
    case TVM_SETTEXTCOLOR: {
        COLORREF old = textColor;
        textColor = static_cast<COLORREF>(lParam);
        Invalidate();
        return static_cast<LRESULT>(static_cast<std::int32_t>(old));
    }
    case TVM_GETBKCOLOR:
        return static_cast<LRESULT>(static_cast<std::int32_t>(bkColor));
    case TVM_GETTEXTCOLOR:
        return static_cast<LRESULT>(static_cast<std::int32_t>(textColor));
    case TVM_SETSCROLLTIME: {
        UINT old = scrollTime;
        scrollTime = static_cast<UINT>(wParam);
        return old;
    }
    case TVM_GETSCROLLTIME:
        return scrollTime;
    case TVM_SETINSERTMARKCOLOR: {
        COLORREF old = insertMarkColor;
        insertMarkColor = static_cast<COLORREF>(lParam);
        return old;
    }
    case TVM_GETINSERTMARKCOLOR:
        return insertMarkColor;
    case TVM_GETITEMSTATE: {
        TreeItem* item = FindLive(reinterpret_cast<HTREEITEM>(wParam));
        return item ? static_cast<LRESULT>(item->state & static_cast<UINT>(lParam)) : 0;
    }
    default:
        if (handled) *handled = false;
        return 0;
    }
}

void TreeViewWindow::UpdateImageSizes() {
    int nw, nh, sw, sh;
    ImageSize(normalImages, nw, nh);
    ImageSize(stateImages, sw, sh);
    model_.SetImageSizes(nw, nh, sw, sh);
    model_.ClampScroll();
    Invalidate();
}

// ---- items

LRESULT TreeViewWindow::InsertItem(const TVINSERTSTRUCTA* ins) {
    if (!ins) return 0;
    TreeItem* parent = model_.FindParent(ins->hParent);
    if (!parent) return 0;
    HTREEITEM after = ins->hInsertAfter;
    const TVITEMEXA& r = ins->item;
    std::string text;
    bool callback = false;
    if (r.mask & TVIF_TEXT) {
        if (r.pszText == LPSTR_TEXTCALLBACKA) callback = true;
        else if (r.pszText) text = r.pszText;
    }
    if (after == TVI_SORT) {
        // Sorted insertion: before the first sibling whose text sorts after the new one.
        after = TVI_FIRST;
        for (TreeItem* c = parent->firstChild; c; c = c->next) {
            if (!callback && !c->textCallback && c->text.compare(text) > 0) break;
            after = c->Handle();
        }
    }
    TreeItem* item = model_.Insert(*parent, after);
    if (!item) return 0;
    item->text = std::move(text);
    item->textCallback = callback;
    if (r.mask & TVIF_IMAGE) item->image = r.iImage;
    if (r.mask & TVIF_SELECTEDIMAGE) item->selectedImage = r.iSelectedImage;
    if (r.mask & TVIF_PARAM) item->param = r.lParam;
    if (r.mask & TVIF_STATE) {
        // The expanded bits are the window's own; everything else is the caller's.
        UINT mask = r.stateMask & ~(TVIS_EXPANDEDONCE | TVIS_SELECTED);
        item->state = r.state & mask;
    }
    if (r.mask & TVIF_CHILDREN) {
        item->children = r.cChildren;
        item->childrenSet = true;
    }
    if (r.mask & TVIF_INTEGRAL) item->integral = std::max(r.iIntegral, 1);
    model_.InvalidateLayout();
    Invalidate();
    return reinterpret_cast<LRESULT>(item->Handle());
}

void TreeViewWindow::MoveCaretAwayFrom(TreeItem& top, bool toParent) {
    TreeItem* caret = Caret();
    if (!caret || !model_.IsDescendant(*caret, top)) return;
    TreeItem* target;
    if (toParent) {
        target = &top;
    } else {
        // The caret goes to the next sibling, else the previous one, else the parent.
        target = top.next ? top.next : top.prev ? top.prev : top.parent;
        if (model_.IsRoot(target)) target = nullptr;
    }
    if (target == caret) return;
    // This move cannot be refused, so only its outcome is reported; both items are alive.
    if (caret) caret->state &= ~TVIS_SELECTED;
    caret_ = target ? target->Handle() : nullptr;
    if (target) target->state |= TVIS_SELECTED;
    NotifyTree(TVN_SELCHANGEDA, TVC_UNKNOWN, caret, target);
}

void TreeViewWindow::DeleteSubtree(TreeItem& top) {
    if (top.dying) return;
    MoveCaretAwayFrom(top, false);
    if (editing_ && EditItem() && model_.IsDescendant(*EditItem(), top)) EndEdit(true);

    // Children first, in order; collected before anything is reported, and every item is
    // marked so that handlers reacting to one deletion cannot reach the others.
    std::vector<TreeItem*> order;
    std::vector<std::pair<TreeItem*, bool>> stack{{&top, false}};
    while (!stack.empty()) {
        auto [item, expanded] = stack.back();
        stack.pop_back();
        if (expanded) {
            order.push_back(item);
            continue;
        }
        stack.push_back({item, true});
        std::vector<TreeItem*> kids;
        for (TreeItem* c = item->firstChild; c; c = c->next) kids.push_back(c);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, false});
    }
    for (TreeItem* item : order) {
        item->dying = true;
        if (dropHilite_ == item->Handle()) dropHilite_ = nullptr;
        if (insertMark_ == item->Handle()) insertMark_ = nullptr;
    }
    for (TreeItem* item : order) {
        NotifyTree(TVN_DELETEITEMA, 0, item, nullptr);
        model_.Unlink(*item);
        model_.Free(*item);
    }
    model_.ClampScroll();
    Invalidate();
}

bool TreeViewWindow::DeleteItem(HTREEITEM handle) {
    if (handle == nullptr || handle == TVI_ROOT) {
        DeleteAll();
        return true;
    }
    TreeItem* item = FindLive(handle);
    if (!item) return false;
    DeleteSubtree(*item);
    return true;
}

void TreeViewWindow::DeleteAll() {
    if (editing_) EndEdit(true);
    if (TreeItem* caret = Caret()) {
        caret->state &= ~TVIS_SELECTED;
        caret_ = nullptr;
        NotifyTree(TVN_SELCHANGEDA, TVC_UNKNOWN, caret, nullptr);
    }
    while (TreeItem* first = model_.Root().firstChild) {
        if (first->dying) break;  // a handler is already deleting it
        DeleteSubtree(*first);
    }
}

bool TreeViewWindow::GetItem(TVITEMA* r) {
    if (!r) return false;
    TreeItem* item = FindLive(r->hItem);
    if (!item) return false;
    if (r->mask & TVIF_TEXT) CopyText(DisplayText(*item), r->pszText, r->cchTextMax);
    if (r->mask & TVIF_IMAGE) r->iImage = item->image;
    if (r->mask & TVIF_SELECTEDIMAGE) r->iSelectedImage = item->selectedImage;
    if (r->mask & TVIF_PARAM) r->lParam = item->param;
    if (r->mask & TVIF_STATE) r->state = item->state & r->stateMask;
    if (r->mask & TVIF_CHILDREN) r->cChildren = item->childrenSet ? item->children : (item->firstChild ? 1 : 0);
    if (r->mask & TVIF_INTEGRAL) r->iIntegral = item->integral;
    return true;
}

bool TreeViewWindow::SetItem(const TVITEMA* r) {
    if (!r) return false;
    TreeItem* item = FindLive(r->hItem);
    if (!item) return false;
    if (r->mask & TVIF_TEXT) {
        item->textCallback = r->pszText == LPSTR_TEXTCALLBACKA;
        item->text = item->textCallback || !r->pszText ? std::string() : std::string(r->pszText);
    }
    if (r->mask & TVIF_IMAGE) item->image = r->iImage;
    if (r->mask & TVIF_SELECTEDIMAGE) item->selectedImage = r->iSelectedImage;
    if (r->mask & TVIF_PARAM) item->param = r->lParam;
    if (r->mask & TVIF_STATE) {
        UINT old = item->state;
        item->state = (item->state & ~r->stateMask) | (r->state & r->stateMask);
        if ((old ^ item->state) & TVIS_EXPANDED) model_.InvalidateLayout();
    }
    if (r->mask & TVIF_CHILDREN) {
        item->children = r->cChildren;
        item->childrenSet = true;
    }
    if (r->mask & TVIF_INTEGRAL) item->integral = std::max(r->iIntegral, 1);
    Invalidate();
    return true;
}

// ---- navigation and selection

LRESULT TreeViewWindow::GetNextItem(UINT relation, HTREEITEM handle) {
    auto out = [](TreeItem* item) { return reinterpret_cast<LRESULT>(item ? item->Handle() : nullptr); };
    TreeViewModel& m = model_;
    switch (relation) {
    case TVGN_ROOT:
        return out(m.Root().firstChild);
    case TVGN_CARET:
        return out(Caret());
    case TVGN_DROPHILITE:
        return out(DropHilite());
    case TVGN_FIRSTVISIBLE: {
        const auto& v = m.VisibleItems();
        return out(static_cast<size_t>(m.TopIndex()) < v.size() ? v[static_cast<size_t>(m.TopIndex())] : nullptr);
    }
    case TVGN_LASTVISIBLE: {
        const auto& v = m.VisibleItems();
        return out(v.empty() ? nullptr : v.back());
    }
    default:
        break;
    }
    TreeItem* item = relation == TVGN_CHILD ? m.FindParent(handle) : FindLive(handle);
    if (!item) return 0;
    switch (relation) {
    case TVGN_NEXT:
        return out(item->next);
    case TVGN_PREVIOUS:
        return out(item->prev);
    case TVGN_PARENT:
        return out(m.IsRoot(item->parent) ? nullptr : item->parent);
    case TVGN_CHILD:
        return out(item->firstChild);
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
        int index = m.VisibleIndex(*item);
        if (index < 0) return 0;
        const auto& v = m.VisibleItems();
        int next = index + (relation == TVGN_NEXTVISIBLE ? 1 : -1);
        return out(next >= 0 && static_cast<size_t>(next) < v.size() ? v[static_cast<size_t>(next)] : nullptr);
    }
    default:
        return 0;
    }
}

void TreeViewWindow::EnsureVisible(TreeItem& item) {
    // Expanding an ancestor is asked like any expansion; a refusal leaves the item hidden.
    std::vector<TreeItem*> chain;
    for (TreeItem* p = item.parent; p && !model_.IsRoot(p); p = p->parent) chain.push_back(p);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        if (!(*it)->Expanded() && !(*it)->dying) Expand(**it, TVE_EXPAND);
    model_.ScrollIntoView(item);
}

bool TreeViewWindow::SelectCaret(TreeItem* item, UINT cause) {
    TreeItem* old = Caret();
    if (item == old) {
        if (item) EnsureVisible(*item);
        return true;
    }
    if (NotifyTree(TVN_SELCHANGINGA, cause, old, item) != 0) return false;
    // The handler may have deleted either item meanwhile.
    old = Caret();
    if (item && (item->dying || !model_.Find(item->Handle()))) return false;
    if (old) old->state &= ~TVIS_SELECTED;
    caret_ = item ? item->Handle() : nullptr;
    if (item) {
        item->state |= TVIS_SELECTED;
        EnsureVisible(*item);
    }
    Invalidate();
    NotifyTree(TVN_SELCHANGEDA, cause, old, item);
    return true;
}

bool TreeViewWindow::SetDropHilite(TreeItem* item) {
    if (TreeItem* old = DropHilite()) old->state &= ~TVIS_DROPHILITED;
    dropHilite_ = item ? item->Handle() : nullptr;
    if (item) item->state |= TVIS_DROPHILITED;
    Invalidate();
    return true;
}

bool TreeViewWindow::SelectItem(UINT relation, HTREEITEM handle) {
    TreeItem* item = FindLive(handle);
    if (handle && !item) return false;
    switch (relation) {
    case TVGN_CARET:
        return SelectCaret(item, TVC_UNKNOWN);
    case TVGN_DROPHILITE:
        return SetDropHilite(item);
    case TVGN_FIRSTVISIBLE: {
        if (!item) return false;
        int index = model_.VisibleIndex(*item);
        if (index < 0) return false;
        model_.SetTopIndex(index);
        Invalidate();
        return true;
    }
    default:
        return false;
    }
}

bool TreeViewWindow::Expand(TreeItem& item, UINT action) {
    UINT kind = action & TVE_ACTIONMASK;
    if (kind == TVE_TOGGLE) kind = item.Expanded() ? TVE_COLLAPSE : TVE_EXPAND;
    if (kind == TVE_EXPAND) {
        if (item.Expanded()) return true;
        if (!model_.HasChildrenShown(item)) return false;
        if (NotifyTree(TVN_ITEMEXPANDINGA, TVE_EXPAND, nullptr, &item) != 0) return false;
        if (item.dying) return false;
        item.state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
        model_.InvalidateLayout();
        Invalidate();
        NotifyTree(TVN_ITEMEXPANDEDA, TVE_EXPAND, nullptr, &item);
        return true;
    }
    if (kind != TVE_COLLAPSE) return false;
    if (item.Expanded()) {
        if (NotifyTree(TVN_ITEMEXPANDINGA, TVE_COLLAPSE, nullptr, &item) != 0) return false;
        if (item.dying) return false;
        // A caret that the collapse hides moves up to the collapsed item.
        MoveCaretAwayFrom(item, true);
        item.state &= ~TVIS_EXPANDED;
        model_.InvalidateLayout();
        model_.ClampScroll();
        Invalidate();
        NotifyTree(TVN_ITEMEXPANDEDA, TVE_COLLAPSE, nullptr, &item);
    }
    if ((action & TVE_COLLAPSERESET) && !item.dying) {
        item.state &= ~TVIS_EXPANDEDONCE;
        while (TreeItem* child = item.firstChild) {
            if (child->dying) break;
            DeleteSubtree(*child);
        }
    }
    return true;
}

bool TreeViewWindow::SortChildren(TreeItem& parent, PFNTVCOMPARE compare, LPARAM data, bool recurse) {
    std::vector<TreeItem*> order;
    for (TreeItem* c = parent.firstChild; c; c = c->next) order.push_back(c);
    if (compare) {
        BoundedMergeSort(order, [&](TreeItem* a, TreeItem* b) { return compare(a->param, b->param, data) < 0; });
    } else {
        std::vector<std::pair<std::string, TreeItem*>> keyed;
        for (TreeItem* c : order) keyed.emplace_back(DisplayText(*c), c);
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t i = 0; i < order.size(); ++i) order[i] = keyed[i].second;
    }
    // The callback may have deleted items; only the children still linked here are kept.
    std::vector<TreeItem*> live;
    for (TreeItem* c = parent.firstChild; c; c = c->next) live.push_back(c);
    std::vector<TreeItem*> result;
    for (TreeItem* c : order)
        if (std::find(live.begin(), live.end(), c) != live.end()) result.push_back(c);
    if (result.size() != live.size()) return false;
    model_.ReorderChildren(parent, result);
    Invalidate();
    if (recurse)
        for (TreeItem* c : result) SortChildren(*c, compare, data, true);
    return true;
}

// ---- label editing

HWND TreeViewWindow::BeginEdit(TreeItem& item) {
    if (editing_) EndEdit(false);
    if (item.dying) return nullptr;
    EnsureVisible(item);
    HTREEITEM handle = item.Handle();
    std::string text = DisplayText(item);
    // The editor exists while the parent is asked, so that it can adjust or subclass it.
    RECT rect{};
    model_.ItemRect(item, true, rect);
    editing_ = true;
    editItem_ = handle;
    editText_ = text;
    editor_ = editorHost_ ? editorHost_->CreateEditor(rect, text) : reinterpret_cast<HWND>(&editText_);
    if (sink_) {
        NMTVDISPINFOA nm;
        nm.hdr.hwndFrom = hwnd_;
        nm.hdr.idFrom = id_;
        nm.hdr.code = TVN_BEGINLABELEDITA;
        FillItemRecord(&item, nm.item);
        nm.item.mask |= TVIF_TEXT;
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        nm.item.pszText = buffer.data();
        nm.item.cchTextMax = static_cast<int>(buffer.size());
        if (sink_->Notify(nm.hdr) != 0 || !model_.Find(handle)) {
            HWND editor = editor_;
            editing_ = false;
            editItem_ = nullptr;
            editor_ = nullptr;
            if (editor && editorHost_ && editor != reinterpret_cast<HWND>(&editText_)) editorHost_->DestroyEditor(editor);
            return nullptr;
        }
    }
    return editor_;
}

bool TreeViewWindow::EndEdit(bool cancel) {
    if (!editing_) return false;
    editing_ = false;
    HWND editor = editor_;
    bool ownWindow = editorHost_ && editor != reinterpret_cast<HWND>(&editText_);
    std::string text = editor && ownWindow ? editorHost_->EditorText(editor) : editText_;
    TreeItem* item = model_.Find(editItem_);
    editItem_ = nullptr;
    if (item && sink_) {
        NMTVDISPINFOA nm;
        nm.hdr.hwndFrom = hwnd_;
        nm.hdr.idFrom = id_;
        nm.hdr.code = TVN_ENDLABELEDITA;
        FillItemRecord(item, nm.item);
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        if (!cancel) {
            nm.item.mask |= TVIF_TEXT;
            nm.item.pszText = buffer.data();
            nm.item.cchTextMax = static_cast<int>(buffer.size());
        }
        LRESULT keep = sink_->Notify(nm.hdr);
        // A handler that answers True has the window keep the edited text itself.
        if (keep && !cancel && (item = model_.Find(nm.item.hItem)) != nullptr && !item->textCallback)
            item->text = text;
    }
    if (editor && ownWindow) editorHost_->DestroyEditor(editor);
    if (editor_ == editor) editor_ = nullptr;
    Invalidate();
    return true;
}

}  // namespace platform::detail
