// The pure model behind the tree window: item storage, navigation, the visible rows, fixed
// metrics, item rectangles and hit tests. It knows no messages and sends no notifications; the
// window (TreeViewWindow) builds its behaviour on top of it.
//
// Items are addressed by handles that are never reused, so a handle that outlived its item is
// recognised as stale instead of reaching freed memory. Geometry follows the layer's fixed font
// metrics: a font of Height h < 0 has a cell height of |h| + 2 and characters ceil(cell / 2)
// wide; rows, indents and paddings are the named constants below.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Canvas.h"
#include "platform/TreeView.h"

namespace platform::detail {

// Layout constants of the tree window.
inline constexpr int kTreeDefaultIndent = 19;
inline constexpr int kTreeMinIndent = 5;           // an indent below this is raised to it
inline constexpr int kTreeRowPadding = 3;          // row height = font cell + this
inline constexpr int kTreeLabelPadding = 2;        // blank space on each side of a label
inline constexpr int kTreeImageGap = 1;            // gap after a state image or an icon
inline constexpr int kTreeDefaultFontHeight = -11;  // the font before WM_SETFONT
inline constexpr int kTreeHScrollLine = 5;         // pixels per horizontal line step
inline constexpr int kTreeMaxItemHeight = 32000;

struct TreeItem {
    std::uintptr_t id = 0;
    TreeItem* parent = nullptr;  // the model's root sentinel for top-level items
    TreeItem* firstChild = nullptr;
    TreeItem* lastChild = nullptr;
    TreeItem* prev = nullptr;
    TreeItem* next = nullptr;

    std::string text;
    bool textCallback = false;
    int image = 0;
    int selectedImage = 0;
    UINT state = 0;
    int children = 0;           // as set through TVIF_CHILDREN (I_CHILDRENCALLBACK allowed)
    bool childrenSet = false;   // false: the child count follows the real children
    LPARAM param = 0;
    int integral = 1;
    bool dying = false;  // its deletion has begun: no longer found by handle

    HTREEITEM Handle() const { return reinterpret_cast<HTREEITEM>(id); }
    bool Expanded() const { return (state & TVIS_EXPANDED) != 0; }
};

// Answers what the model cannot know by itself: callback texts.
class TreeTextSource {
public:
    virtual ~TreeTextSource() = default;
    virtual std::string DisplayText(TreeItem& item) = 0;
};

// A merge sort that stays within bounds and ends after O(n log n) comparisons whatever the
// comparison answers, even when it contradicts itself (user callbacks may).
template <typename T, typename Less>
void BoundedMergeSort(std::vector<T>& v, Less less) {
    std::vector<T> tmp(v.size());
    for (size_t width = 1; width < v.size(); width *= 2) {
        for (size_t lo = 0; lo < v.size(); lo += 2 * width) {
            size_t mid = std::min(lo + width, v.size()), hi = std::min(lo + 2 * width, v.size());
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) tmp[k++] = less(v[j], v[i]) ? v[j++] : v[i++];
            while (i < mid) tmp[k++] = v[i++];
            while (j < hi) tmp[k++] = v[j++];
        }
        v.swap(tmp);
    }
}

struct TreeScrollInfo {
    int min = 0;
    int max = 0;
    int page = 0;
    int pos = 0;
};

class TreeViewModel {
public:
    TreeViewModel();
    ~TreeViewModel();
    TreeViewModel(const TreeViewModel&) = delete;
    TreeViewModel& operator=(const TreeViewModel&) = delete;

    // --- storage ---
    TreeItem& Root() { return root_; }
    // nullptr for 0, the root handle, a sentinel or a handle whose item is gone.
    TreeItem* Find(HTREEITEM handle) const;
    // Parent item from a parent handle: nullptr/TVI_ROOT give the root; stale gives nullptr.
    TreeItem* FindParent(HTREEITEM handle);
    // Links a new item into parent after `after` (TVI_FIRST, TVI_LAST, TVI_SORT or a child).
    // Returns nullptr when `after` is a handle that is not a child of parent.
    TreeItem* Insert(TreeItem& parent, HTREEITEM after);
    // Unlinks item and its subtree from the tree; the items stay allocated until Free.
    void Unlink(TreeItem& item);
    // Frees an unlinked item (not its children: free those first).
    void Free(TreeItem& item);
    int Count() const { return static_cast<int>(items_.size()); }

    // --- navigation ---
    static int Level(const TreeItem& item);  // 0 for a top-level item
    bool IsRoot(const TreeItem* item) const { return item == &root_; }
    bool HasChildrenShown(const TreeItem& item) const;  // button shown / expandable
    // True when every ancestor is expanded.
    bool IsVisible(const TreeItem& item) const;
    // Pre-order successor / predecessor over the whole tree (the root excluded).
    TreeItem* NextInOrder(const TreeItem& item) const;
    const std::vector<TreeItem*>& VisibleItems();
    int VisibleIndex(TreeItem& item);  // -1 when not visible
    bool IsDescendant(const TreeItem& item, const TreeItem& ancestor) const;
    void ReorderChildren(TreeItem& parent, const std::vector<TreeItem*>& order);
    void InvalidateLayout() { visibleDirty_ = true; }

    // --- metrics ---
    void SetFontHeight(int height);
    int FontHeight() const { return fontHeight_; }
    // The font labels are measured in (its height is the one above).
    void SetFont(const FontSpec& font);
    int CellHeight() const;
    int CharWidth() const;
    int DefaultItemHeight() const;
    int ItemHeight() const;
    void SetItemHeight(int height);  // -1 or below 1: back to the default
    bool ItemHeightIsDefault() const { return itemHeight_ < 0; }
    int Indent() const { return indent_; }
    void SetIndent(int indent);
    // Indent columns left of an item's pictures: one per ancestor, and one more for the
    // top-level items' lines and buttons when the tree has lines at the root.
    int IndentColumns(const TreeItem& item) const;
    void SetStyle(DWORD style) { style_ = style; visibleDirty_ = true; }
    DWORD Style() const { return style_; }
    void SetClientSize(int width, int height);
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    void SetImageSizes(int normalW, int normalH, int stateW, int stateH);
    int NormalImageWidth() const { return normalW_; }
    int StateImageWidth() const { return stateW_; }

    // --- layout ---
    void SetTextSource(TreeTextSource* source) { textSource_ = source; }
    std::string TextOf(TreeItem& item);
    int TextWidth(const std::string& text) const;
    int RowHeight(const TreeItem& item) const;
    // Pieces of a visible row, in client x coordinates.
    struct RowLayout {
        int top = 0;
        int bottom = 0;
        int indentLeft = 0;    // where indentation starts
        int buttonLeft = 0;    // the button column (equal to buttonRight when none)
        int buttonRight = 0;
        int stateLeft = 0;
        int stateRight = 0;
        int iconLeft = 0;
        int iconRight = 0;
        int labelLeft = 0;
        int labelRight = 0;
    };
    bool Layout(TreeItem& item, RowLayout& out);
    bool ItemRect(TreeItem& item, bool textOnly, RECT& rect);
    TreeItem* HitTest(POINT pt, UINT& flags);

    // --- scrolling (vertical in items, horizontal in pixels) ---
    int TopIndex() {
        ApplyClamp();
        return topIndex_;
    }
    void SetTopIndex(int index);
    int HScroll() {
        ApplyClamp();
        return hScroll_;
    }
    void SetHScroll(int pos);
    int FullyVisibleCount();  // rows that fit the client height from the top item
    TreeScrollInfo VerticalScroll();
    TreeScrollInfo HorizontalScroll();
    // Scrolls the least needed so that item's row is on the page.
    void ScrollIntoView(TreeItem& item);
    // Marks the scroll positions for clamping to the content; done when they are next read,
    // so that a burst of changes (a tree being cleared) clamps once.
    void ClampScroll() { clampPending_ = true; }

private:
    void RebuildVisible();
    void ApplyClamp();
    int ContentWidth();
    int RightOf(TreeItem& item);  // label end at scroll position 0, without the row's y

    TreeItem root_;
    std::unordered_map<std::uintptr_t, std::unique_ptr<TreeItem>> items_;
    std::uintptr_t nextId_ = 1;
    std::vector<TreeItem*> visible_;
    bool visibleDirty_ = true;
    TreeTextSource* textSource_ = nullptr;

    int fontHeight_ = kTreeDefaultFontHeight;
    FontSpec font_;
    // Label widths by text in that font: the scroll range measures every visible label, on
    // every pointer move, and measuring on a real display lays the text out.
    mutable std::unordered_map<std::string, int> widths_;
    int itemHeight_ = -1;
    int indent_ = kTreeDefaultIndent;
    DWORD style_ = 0;
    int clientWidth_ = 117;
    int clientHeight_ = 93;
    int normalW_ = 0, normalH_ = 0, stateW_ = 0, stateH_ = 0;
    int topIndex_ = 0;
    int hScroll_ = 0;
    bool clampPending_ = false;
};

}  // namespace platform::detail
