#include "detail/TreeViewModel.h"

#include <algorithm>
#include <cstdlib>

namespace platform::detail {

namespace {
// Enough for every label of a large tree; past it the widths are measured afresh.
constexpr std::size_t kMaxKnownWidths = 4096;
}  // namespace

TreeViewModel::TreeViewModel() {
    root_.state = TVIS_EXPANDED;
}

TreeViewModel::~TreeViewModel() = default;

TreeItem* TreeViewModel::Find(HTREEITEM handle) const {
    auto id = reinterpret_cast<std::uintptr_t>(handle);
    if (id == 0) return nullptr;
    auto it = items_.find(id);
    return it == items_.end() || it->second->dying ? nullptr : it->second.get();
}

TreeItem* TreeViewModel::FindParent(HTREEITEM handle) {
    if (handle == nullptr || handle == TVI_ROOT) return &root_;
    return Find(handle);
}

TreeItem* TreeViewModel::Insert(TreeItem& parent, HTREEITEM after) {
    TreeItem* prev = nullptr;  // link after this sibling; nullptr = first
    if (after == TVI_FIRST) {
        prev = nullptr;
    } else if (after == TVI_LAST || after == TVI_SORT || after == nullptr) {
        // Sorted insertion is placed by the window, which knows the texts.
        prev = parent.lastChild;
    } else {
        prev = Find(after);
        if (!prev || prev->parent != &parent) return nullptr;
    }
    auto owned = std::make_unique<TreeItem>();
    TreeItem* item = owned.get();
    item->id = nextId_++;
    item->parent = &parent;
    item->prev = prev;
    item->next = prev ? prev->next : parent.firstChild;
    if (item->next) item->next->prev = item; else parent.lastChild = item;
    if (prev) prev->next = item; else parent.firstChild = item;
    items_.emplace(item->id, std::move(owned));
    visibleDirty_ = true;
    return item;
}

void TreeViewModel::Unlink(TreeItem& item) {
    TreeItem* parent = item.parent;
    if (!parent) return;
    if (item.prev) item.prev->next = item.next; else parent->firstChild = item.next;
    if (item.next) item.next->prev = item.prev; else parent->lastChild = item.prev;
    item.prev = item.next = nullptr;
    item.parent = nullptr;
    visibleDirty_ = true;
}

void TreeViewModel::Free(TreeItem& item) {
    items_.erase(item.id);
    visibleDirty_ = true;
}

int TreeViewModel::Level(const TreeItem& item) {
    int level = -1;
    for (const TreeItem* p = item.parent; p; p = p->parent) ++level;
    return level;
}

bool TreeViewModel::HasChildrenShown(const TreeItem& item) const {
    if (item.childrenSet && item.children != 0) return true;  // callback counts as "has"
    return item.firstChild != nullptr;
}

bool TreeViewModel::IsVisible(const TreeItem& item) const {
    for (const TreeItem* p = item.parent; p && p != &root_; p = p->parent)
        if (!p->Expanded()) return false;
    return item.parent != nullptr;
}

TreeItem* TreeViewModel::NextInOrder(const TreeItem& item) const {
    if (item.firstChild) return item.firstChild;
    for (const TreeItem* p = &item; p && p != &root_; p = p->parent)
        if (p->next) return p->next;
    return nullptr;
}

bool TreeViewModel::IsDescendant(const TreeItem& item, const TreeItem& ancestor) const {
    for (const TreeItem* p = &item; p; p = p->parent)
        if (p == &ancestor) return true;
    return false;
}

void TreeViewModel::ReorderChildren(TreeItem& parent, const std::vector<TreeItem*>& order) {
    parent.firstChild = parent.lastChild = nullptr;
    TreeItem* prev = nullptr;
    for (TreeItem* item : order) {
        item->prev = prev;
        item->next = nullptr;
        if (prev) prev->next = item; else parent.firstChild = item;
        prev = item;
    }
    parent.lastChild = prev;
    visibleDirty_ = true;
}

void TreeViewModel::RebuildVisible() {
    visible_.clear();
    // Pre-order over expanded branches, without recursion (trees may be deep).
    TreeItem* item = root_.firstChild;
    while (item) {
        visible_.push_back(item);
        if (item->firstChild && item->Expanded()) {
            item = item->firstChild;
            continue;
        }
        while (item && item != &root_ && !item->next) item = item->parent;
        item = (item && item != &root_) ? item->next : nullptr;
    }
    visibleDirty_ = false;
}

const std::vector<TreeItem*>& TreeViewModel::VisibleItems() {
    if (visibleDirty_) RebuildVisible();
    return visible_;
}

int TreeViewModel::VisibleIndex(TreeItem& item) {
    if (!IsVisible(item)) return -1;
    const auto& v = VisibleItems();
    auto it = std::find(v.begin(), v.end(), &item);
    return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

// ---- metrics

void TreeViewModel::SetFontHeight(int height) {
    fontHeight_ = height == 0 ? kTreeDefaultFontHeight : height;
    widths_.clear();
}

void TreeViewModel::SetFont(const FontSpec& font) {
    font_ = font;
    SetFontHeight(font.height);
}

int TreeViewModel::CellHeight() const {
    // Negative heights name the character height; positive ones the cell height itself.
    return fontHeight_ < 0 ? -fontHeight_ + 2 : fontHeight_;
}

int TreeViewModel::CharWidth() const { return (CellHeight() + 1) / 2; }

int TreeViewModel::DefaultItemHeight() const {
    int h = std::max({CellHeight() + kTreeRowPadding, normalH_, stateH_});
    if (!(style_ & TVS_NONEVENHEIGHT)) h &= ~1;
    return h;
}

int TreeViewModel::ItemHeight() const {
    if (itemHeight_ < 0) return DefaultItemHeight();
    int h = itemHeight_;
    if (!(style_ & TVS_NONEVENHEIGHT)) h &= ~1;
    return std::max(h, 1);
}

void TreeViewModel::SetItemHeight(int height) {
    itemHeight_ = height < 1 ? -1 : std::min(height, kTreeMaxItemHeight);
    ClampScroll();
}

void TreeViewModel::SetIndent(int indent) { indent_ = std::clamp(indent, kTreeMinIndent, 10000); }

void TreeViewModel::SetClientSize(int width, int height) {
    clientWidth_ = std::max(width, 0);
    clientHeight_ = std::max(height, 0);
    ClampScroll();
}

void TreeViewModel::SetImageSizes(int normalW, int normalH, int stateW, int stateH) {
    normalW_ = normalW;
    normalH_ = normalH;
    stateW_ = stateW;
    stateH_ = stateH;
}

// ---- layout

std::string TreeViewModel::TextOf(TreeItem& item) {
    if (item.textCallback && textSource_) return textSource_->DisplayText(item);
    return item.textCallback ? std::string() : item.text;
}

int TreeViewModel::TextWidth(const std::string& text) const {
    // Measured as the label is drawn, so that its rectangle and the scroll range fit the text
    // a person sees (one cell per character headless).
    if (auto known = widths_.find(text); known != widths_.end()) return known->second;
    FontSpec font = font_;
    font.height = fontHeight_;
    const int width = TextExtent(font, text).cx;
    if (widths_.size() >= kMaxKnownWidths) widths_.clear();
    widths_.emplace(text, width);
    return width;
}

int TreeViewModel::RowHeight(const TreeItem& item) const {
    return ItemHeight() * std::max(item.integral, 1);
}

int TreeViewModel::IndentColumns(const TreeItem& item) const {
    // Top-level items get a column for their lines and buttons only with lines at the root;
    // without, they start at the left edge and show no button.
    return Level(item) + ((style_ & TVS_LINESATROOT) ? 1 : 0);
}

bool TreeViewModel::Layout(TreeItem& item, RowLayout& out) {
    ApplyClamp();
    const auto& v = VisibleItems();
    int index = VisibleIndex(item);
    if (index < 0) return false;
    int y = 0;
    if (index >= topIndex_) {
        for (int i = topIndex_; i < index; ++i) y += RowHeight(*v[static_cast<size_t>(i)]);
    } else {
        for (int i = index; i < topIndex_; ++i) y -= RowHeight(*v[static_cast<size_t>(i)]);
    }
    out.top = y;
    out.bottom = y + RowHeight(item);

    int columns = IndentColumns(item);
    int x = -hScroll_;
    out.indentLeft = x;
    x += columns * indent_;
    // The button sits in the last indent column, next to the item's pictures.
    bool button = (style_ & TVS_HASBUTTONS) && columns > 0 && HasChildrenShown(item);
    out.buttonLeft = button ? x - indent_ : x;
    out.buttonRight = x;
    out.stateLeft = x;
    UINT stateImage = (item.state & TVIS_STATEIMAGEMASK) >> 12;
    if (stateW_ > 0 && stateImage > 0) x += stateW_ + kTreeImageGap;
    out.stateRight = x;
    out.iconLeft = x;
    if (normalW_ > 0) x += normalW_ + kTreeImageGap;
    out.iconRight = x;
    out.labelLeft = x;
    out.labelRight = x + TextWidth(TextOf(item)) + 2 * kTreeLabelPadding;
    return true;
}

bool TreeViewModel::ItemRect(TreeItem& item, bool textOnly, RECT& rect) {
    RowLayout l;
    if (!Layout(item, l)) return false;
    rect.top = l.top;
    rect.bottom = l.bottom;
    if (textOnly) {
        rect.left = l.labelLeft;
        rect.right = l.labelRight;
    } else {
        rect.left = 0;
        rect.right = clientWidth_;
    }
    return true;
}

TreeItem* TreeViewModel::HitTest(POINT pt, UINT& flags) {
    ApplyClamp();
    flags = 0;
    if (pt.y < 0) flags |= TVHT_ABOVE;
    if (pt.y >= clientHeight_) flags |= TVHT_BELOW;
    if (pt.x < 0) flags |= TVHT_TOLEFT;
    if (pt.x >= clientWidth_) flags |= TVHT_TORIGHT;
    if (flags) return nullptr;

    const auto& v = VisibleItems();
    int y = 0;
    TreeItem* hit = nullptr;
    for (size_t i = static_cast<size_t>(std::max(topIndex_, 0)); i < v.size() && y <= pt.y; ++i) {
        int h = RowHeight(*v[i]);
        if (pt.y < y + h) {
            hit = v[i];
            break;
        }
        y += h;
    }
    if (!hit) {
        flags = TVHT_NOWHERE;
        return nullptr;
    }
    RowLayout l;
    Layout(*hit, l);
    if (pt.x < l.buttonLeft) flags = TVHT_ONITEMINDENT;
    else if (pt.x < l.buttonRight) flags = TVHT_ONITEMBUTTON;
    else if (pt.x < l.stateRight) flags = TVHT_ONITEMSTATEICON;
    else if (pt.x < l.iconRight) flags = TVHT_ONITEMICON;
    else if (pt.x < l.labelRight) flags = TVHT_ONITEMLABEL;
    else flags = TVHT_ONITEMRIGHT;
    return hit;
}

// ---- scrolling

int TreeViewModel::FullyVisibleCount() {
    ApplyClamp();
    const auto& v = VisibleItems();
    int y = 0, n = 0;
    for (size_t i = static_cast<size_t>(std::max(topIndex_, 0)); i < v.size(); ++i) {
        y += RowHeight(*v[i]);
        if (y > clientHeight_) break;
        ++n;
    }
    // When the list ends early, count the rows that would fit.
    if (y <= clientHeight_) n += (clientHeight_ - y) / std::max(ItemHeight(), 1);
    return n;
}

void TreeViewModel::ApplyClamp() {
    if (!clampPending_) return;
    clampPending_ = false;
    const auto& v = VisibleItems();
    int count = static_cast<int>(v.size());
    // The last page is kept full: no empty space below the last row while scrolled.
    int perPage = std::max(clientHeight_ / std::max(ItemHeight(), 1), 1);
    int maxTop = std::max(count - perPage, 0);
    topIndex_ = std::clamp(topIndex_, 0, maxTop);
    int maxH = std::max(ContentWidth() - clientWidth_, 0);
    hScroll_ = std::clamp(hScroll_, 0, maxH);
}

void TreeViewModel::SetTopIndex(int index) {
    topIndex_ = index;
    clampPending_ = true;
    ApplyClamp();
}

void TreeViewModel::SetHScroll(int pos) {
    hScroll_ = pos;
    clampPending_ = true;
    ApplyClamp();
}

int TreeViewModel::RightOf(TreeItem& item) {
    // The same arithmetic as Layout, for x only: no walk over the rows above.
    int x = IndentColumns(item) * indent_;
    if (stateW_ > 0 && ((item.state & TVIS_STATEIMAGEMASK) >> 12) > 0) x += stateW_ + kTreeImageGap;
    if (normalW_ > 0) x += normalW_ + kTreeImageGap;
    return x + TextWidth(TextOf(item)) + 2 * kTreeLabelPadding;
}

int TreeViewModel::ContentWidth() {
    int widest = 0;
    for (TreeItem* item : VisibleItems()) widest = std::max(widest, RightOf(*item));
    return widest;
}

TreeScrollInfo TreeViewModel::VerticalScroll() {
    ApplyClamp();
    TreeScrollInfo info;
    int count = static_cast<int>(VisibleItems().size());
    info.max = std::max(count - 1, 0);
    info.page = std::max(clientHeight_ / std::max(ItemHeight(), 1), 0);
    info.pos = topIndex_;
    return info;
}

TreeScrollInfo TreeViewModel::HorizontalScroll() {
    ApplyClamp();
    TreeScrollInfo info;
    info.max = std::max(ContentWidth() - 1, 0);
    info.page = clientWidth_;
    info.pos = hScroll_;
    return info;
}

void TreeViewModel::ScrollIntoView(TreeItem& item) {
    ApplyClamp();
    int index = VisibleIndex(item);
    if (index < 0) return;
    if (index < topIndex_) {
        topIndex_ = index;
    } else {
        int fit = std::max(clientHeight_ / std::max(ItemHeight(), 1), 1);
        if (index >= topIndex_ + fit) topIndex_ = index - fit + 1;
    }
    clampPending_ = true;
    ApplyClamp();
}

}  // namespace platform::detail
