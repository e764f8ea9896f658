// The behaviour of one tree window: the TVM_* message switch on top of TreeViewModel, the
// caret and drop highlight, expansion, sorting, label editing, and every notification the
// window reports to its parent.
//
// Notifications are built here and nowhere else, and always go out while the items they name
// are alive: a deleted caret moves before any deletion is reported, deletions are reported
// children first, and an item is unlinked and freed only after its own TVN_DELETEITEM has
// returned. Items whose deletion has begun no longer answer messages, so a handler that reacts
// to a deletion cannot reach them.
#pragma once

#include <functional>
#include <string>

#include "TreeViewModel.h"

namespace platform::detail {

// Where notifications go (the parent window, or a test).
class TreeNotifySink {
public:
    virtual ~TreeNotifySink() = default;
    virtual LRESULT Notify(NMHDR& header) = 0;
};

// Makes and removes the label editor window; without one, editing keeps its text in memory.
class TreeLabelEditorHost {
public:
    virtual ~TreeLabelEditorHost() = default;
    virtual HWND CreateEditor(const RECT& rect, const std::string& text) = 0;
    virtual std::string EditorText(HWND editor) = 0;
    virtual void DestroyEditor(HWND editor) = 0;
};

class TreeViewWindow final : private TreeTextSource {
public:
    TreeViewWindow();
    ~TreeViewWindow() override;

    void SetSink(TreeNotifySink* sink) { sink_ = sink; }
    void SetIdentity(HWND hwnd, std::uintptr_t id) { hwnd_ = hwnd, id_ = id; }
    void SetEditorHost(TreeLabelEditorHost* host) { editorHost_ = host; }
    TreeViewModel& Model() { return model_; }

    // The TVM_* messages. Anything else answers 0 and `handled` is set false.
    LRESULT Message(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled = nullptr);

    // Removes every item (window destruction); deletions are reported as usual.
    void DeleteAll();

    // --- user actions (mouse and keyboard handlers of the window call these) ---
    // Moves the caret as the user would: asks TVN_SELCHANGING, then reports TVN_SELCHANGED.
    bool SelectCaret(TreeItem* item, UINT cause);
    bool SetDropHilite(TreeItem* item);
    // Expands, collapses or toggles with TVN_ITEMEXPANDING / TVN_ITEMEXPANDED.
    bool Expand(TreeItem& item, UINT action);
    HWND BeginEdit(TreeItem& item);
    // Ends a running edit: commits the editor's text unless cancel is set.
    bool EndEdit(bool cancel);
    HWND Editor() const { return editor_; }
    TreeItem* EditItem() { return model_.Find(editItem_); }
    std::string& EditText() { return editText_; }  // the in-memory editor's text

    TreeItem* Caret() { return model_.Find(caret_); }
    TreeItem* DropHilite() { return model_.Find(dropHilite_); }
    const std::string& SearchString() const { return search_; }
    void SetSearchString(std::string s) { search_ = std::move(s); }

    // --- notifications ---
    LRESULT NotifyTree(UINT code, UINT action, TreeItem* oldItem, TreeItem* newItem, POINT pt = {});
    LRESULT NotifySimple(UINT code);
    LRESULT Notify(NMHDR& header) { return sink_ ? sink_->Notify(header) : 0; }
    HTREEITEM HotItem() const { return hot_; }
    void SetHotItem(HTREEITEM item) { hot_ = item; }
    std::string DisplayText(TreeItem& item) override;
    int DisplayImage(TreeItem& item, bool selected);
    void FillItemRecord(TreeItem* item, TVITEMA& record);

    // Redraw bookkeeping: the window marks what changed; painting is done elsewhere.
    void SetRedraw(bool on) { redraw_ = on; }
    bool Redraw() const { return redraw_; }
    int InvalidationCount() const { return invalidations_; }
    void Invalidate() { ++invalidations_; }

    // Colours and other plain values kept for the painter.
    COLORREF textColor = 0xFFFFFFFF;  // CLR_NONE: system colour
    COLORREF bkColor = 0xFFFFFFFF;
    COLORREF insertMarkColor = 0;
    COLORREF lineColor = 0xFFFFFFFF;
    HIMAGELIST normalImages = nullptr;
    HIMAGELIST stateImages = nullptr;
    HWND tooltips = nullptr;
    UINT scrollTime = 200;

private:
    LRESULT InsertItem(const TVINSERTSTRUCTA* ins);
    bool DeleteItem(HTREEITEM handle);
    void DeleteSubtree(TreeItem& top);
    bool GetItem(TVITEMA* record);
    bool SetItem(const TVITEMA* record);
    LRESULT GetNextItem(UINT relation, HTREEITEM handle);
    bool SelectItem(UINT relation, HTREEITEM handle);
    bool SortChildren(TreeItem& parent, PFNTVCOMPARE compare, LPARAM data, bool recurse);
    void UpdateImageSizes();
    void MoveCaretAwayFrom(TreeItem& top, bool toParent);
    void EnsureVisible(TreeItem& item);
    TreeItem* FindLive(HTREEITEM handle);

    TreeViewModel model_;
    TreeNotifySink* sink_ = nullptr;
    TreeLabelEditorHost* editorHost_ = nullptr;
    HWND hwnd_ = nullptr;
    std::uintptr_t id_ = 0;
    HTREEITEM caret_ = nullptr;
    HTREEITEM dropHilite_ = nullptr;
    HTREEITEM insertMark_ = nullptr;
    HTREEITEM editItem_ = nullptr;
    HWND editor_ = nullptr;
    std::string editText_;
    bool editing_ = false;
    HTREEITEM hot_ = nullptr;
    std::string search_;
    bool redraw_ = true;
    int invalidations_ = 0;
};

// The tree window behind a window of the tree class (nullptr for any other window).
TreeViewWindow* TreeViewWindowOf(HWND hwnd);

}  // namespace platform::detail
