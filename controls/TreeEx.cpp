// The tree control: construction, properties, options, window creation and re-creation,
// sorting, hit tests and the node references the control keeps.
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "controls/TreeEx.h"

#include "controls/CheckImages.h"

namespace {

// Window styles the control adds.
constexpr DWORD kWsBorder = WS_BORDER;
constexpr DWORD kWsClipChildren = WS_CLIPCHILDREN;
constexpr DWORD kWsExClientEdge = WS_EX_CLIENTEDGE;
constexpr DWORD kCsVRedraw = CS_VREDRAW, kCsHRedraw = CS_HREDRAW;

int CompareTextFolded(const String& a, const String& b) {
    // Without regard to case: ASCII letters fold to upper case, other bytes compare as they are.
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// The difference of two Data values as a sign: a plain subtraction could overflow.
int CompareData(Integer a, Integer b) { return (a > b) - (a < b); }

// Orders the window's items like the node list: data points at the positions of the nodes.
int ListOrderCompare(LPARAM node1, LPARAM node2, LPARAM data) {
    const auto& order = *reinterpret_cast<const std::unordered_map<LPARAM, Integer>*>(data);
    auto a = order.find(node1), b = order.find(node2);
    Integer x = a == order.end() ? 0 : a->second, y = b == order.end() ? 0 : b->second;
    return (x > y) - (x < y);
}

}  // namespace

TCustomTreeEx::TCustomTreeEx(TComponent* AOwner) : TWinControl(AOwner) {
    SetTabStop(true);
    width_ = 121;
    height_ = 97;
    SetColor(clWindow);
    SetParentColor(false);
    items_ = std::make_unique<TTreeExNodes>(this);
    expandTimer_ = std::make_unique<TTreeTimer>(nullptr);
    expandTimer_->SetEnabled(false);
    expandTimer_->SetInterval(1000);
    scrollTimer_ = std::make_unique<TTreeTimer>(nullptr);
    scrollTimer_->SetEnabled(false);
    scrollTimer_->SetInterval(300);
    changeTimer_ = std::make_unique<TTreeTimer>(nullptr);
    changeTimer_->SetEnabled(false);
    changeTimer_->SetInterval(0);
    changeTimer_->OnTimer = [this](TObject*) { ChangeTimerTick(); };
    scrollTimer_->OnTimer = [this](TObject*) { ScrollTimerTick(); };
    expandTimer_->OnTimer = [this](TObject*) { ExpandTimerTick(); };
    options_ = DefaultTreeOptions;
    imageLink_ = std::make_unique<TChangeLink>();
    imageLink_->OnChange = [this](TObject*) {
        if (HandleAllocated() && images_)
            Perform(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images_->Handle()));
    };
    stateImageLink_ = std::make_unique<TChangeLink>();
    stateImageLink_->OnChange = [this](TObject*) {
        if (HandleAllocated() && stateImages_)
            Perform(TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(stateImages_->Handle()));
    };
}

void TCustomTreeEx::FontChanged() {
    TWinControl::FontChanged();
    if (!HandleAllocated()) return;
    Perform(WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 1);
    Perform(TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Font()->Color())));
}

void TCustomTreeEx::BeforeDestruction() {
    // No event may reach a form that is going away, and no timer may fire into a control
    // without a window: both are cut before the window and the nodes go.
    destroying_ = true;
    changeTimer_->SetEnabled(false);
    changeTimer_->SetTag(0);
    expandTimer_->SetEnabled(false);
    scrollTimer_->SetEnabled(false);
    savedTree_.reset();
    TWinControl::BeforeDestruction();
}

TCustomTreeEx::~TCustomTreeEx() {
    destroying_ = true;
    changeTimer_->SetEnabled(false);
    changeTimer_->SetTag(0);
    expandTimer_->SetEnabled(false);
    scrollTimer_->SetEnabled(false);
    savedTree_.reset();
    DestroyHandle();
    items_.reset();
    changeTimer_.reset();
    expandTimer_.reset();
    scrollTimer_.reset();
}

bool TCustomTreeEx::EventsLive() const { return !destroying_ && !Destroying(); }

// ---- events through the dynamic operations

namespace {

// Stores a property's new value; whether it changed.
template <class T>
bool StoreIfChanged(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

// Asks a handler whether an operation on node may go ahead; with no handler, or while the
// tree is going away, it may.
template <class Handler>
bool Allows(const Handler& handler, TCustomTreeEx* tree, TTreeExNode* node, bool live) {
    bool allow = true;
    if (handler && live) handler(tree, node, allow);
    return allow;
}

}  // namespace

bool TCustomTreeEx::CanCheck(TTreeExNode* node) { return Allows(OnChecking, this, node, EventsLive()); }

bool TCustomTreeEx::CanEditLabel(TTreeExNode* node) { return Allows(OnEditing, this, node, EventsLive()); }

bool TCustomTreeEx::CanChangeSelection(TTreeExNode* node) { return Allows(OnChanging, this, node, EventsLive()); }

bool TCustomTreeEx::CanCollapse(TTreeExNode* node) { return Allows(OnCollapsing, this, node, EventsLive()); }

bool TCustomTreeEx::CanExpand(TTreeExNode* node) { return Allows(OnExpanding, this, node, EventsLive()); }

void TCustomTreeEx::Change(TTreeExNode* node) {
    if (OnChange && EventsLive()) OnChange(this, node);
}

void TCustomTreeEx::Checked(TTreeExNode* node) {
    if (OnChecked && EventsLive()) OnChecked(this, node);
}

void TCustomTreeEx::Collapse(TTreeExNode* node) {
    if (OnCollapsed && EventsLive()) OnCollapsed(this, node);
}

void TCustomTreeEx::Expand(TTreeExNode* node) {
    if (OnExpanded && EventsLive()) OnExpanded(this, node);
}

void TCustomTreeEx::Edit(const TVITEMA& item) {
    if (!item.pszText) return;  // the edit was cancelled
    String s = item.pszText;
    TTreeExNode* node = NodeFromItem(item);
    if (OnEdited && EventsLive()) OnEdited(this, node, s);
    if (node && items_->IsLive(node) && !node->Deleting()) node->SetText(s);
}

// ---- change notices

Integer TCustomTreeEx::ChangeDelay() const { return static_cast<Integer>(changeTimer_->Interval()); }

void TCustomTreeEx::SetChangeDelay(Integer v) { changeTimer_->SetInterval(v < 0 ? 0u : static_cast<UINT>(v)); }

void TCustomTreeEx::DelayedChange(TTreeExNode* node) {
    // While the window is being rebuilt from its saved tree, nodes are half made; the one
    // notice for the restored selection follows once they are complete.
    if (restoring_) return;
    // While the window goes, its nodes are about to be freed: handlers hear of none of them,
    // only of the empty selection once the window is gone.
    if (destroyingWindow_) {
        changeDuringDestroy_ = true;
        return;
    }
    if (changeTimer_->Interval() == 0) {
        Change(node);
        return;
    }
    changeTimer_->SetEnabled(false);
    changeTimer_->SetTag(reinterpret_cast<NativeInt>(node));
    changeTimer_->SetEnabled(true);
}

void TCustomTreeEx::ChangeTimerTick() {
    changeTimer_->SetEnabled(false);
    auto* node = reinterpret_cast<TTreeExNode*>(changeTimer_->Tag());
    changeTimer_->SetTag(0);
    Change(items_->IsLive(node) ? node : nullptr);
}

TTreeExNode* TCustomTreeEx::PendingChangeNode() const {
    return changeTimer_->Enabled() ? reinterpret_cast<TTreeExNode*>(changeTimer_->Tag()) : nullptr;
}

void TCustomTreeEx::NodeGone(TTreeExNode* node) {
    if (shiftAnchor_ == node) shiftAnchor_ = nullptr;
    if (pressedNode_ == node) pressedNode_ = nullptr;
    if (dragNode_ == node) dragNode_ = nullptr;
    if (rightClickNode_ == node) rightClickNode_ = nullptr;
    if (lastDropTarget_ == node) lastDropTarget_ = nullptr;
    if (changeTimer_ && changeTimer_->Tag() == reinterpret_cast<NativeInt>(node)) {
        changeTimer_->SetEnabled(false);
        changeTimer_->SetTag(0);
    }
    if (rubberNodes_) rubberNodes_->Remove(node);
    if (pendingClick_.old == node) pendingClick_.old = nullptr;
    if (pendingClick_.node == node) pendingClick_.node = nullptr;
}

// ---- node creation

TTreeExNode* TCustomTreeEx::CreateNode() {
    TTreeExNodeClass nodeClass = [](TTreeExNodes* owner) { return new TTreeExNode(owner); };
    if (OnCreateNode && EventsLive()) OnCreateNode(this, nodeClass);
    return nodeClass(items_.get());
}

void TCustomTreeEx::SetItems(TTreeExNodes* value) { items_->Assign(value); }

// ---- window creation and destruction

void TCustomTreeEx::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    CreateSubClass(params, WC_TREEVIEWA);
    const TTreeOptions o = options_;
    DWORD style = params.Style;
    if (o.Has(TTreeOption::toShowLines)) style |= TVS_HASLINES;
    if (o.Has(TTreeOption::toShowRoot)) style |= TVS_LINESATROOT;
    if (o.Has(TTreeOption::toShowButtons)) style |= TVS_HASBUTTONS;
    if (!o.Has(TTreeOption::toReadOnly)) style |= TVS_EDITLABELS;
    if (!o.Has(TTreeOption::toHideSelection)) style |= TVS_SHOWSELALWAYS;
    if (DragMode() == dmManual) style |= TVS_DISABLEDRAGDROP;
    if (o.Has(TTreeOption::toHotTrack)) style |= TVS_TRACKSELECT;
    if (!o.Has(TTreeOption::toToolTips)) style |= TVS_NOTOOLTIPS;
    if (o.Has(TTreeOption::toSingleExpand)) style |= TVS_SINGLEEXPAND;
    if (o.Has(TTreeOption::toInfoTip)) style |= TVS_INFOTIP;
    if (o.Has(TTreeOption::toNoScroll)) style |= TVS_NOSCROLL;
    if (o.Has(TTreeOption::toFullRowSelect)) style |= TVS_FULLROWSELECT;
    if (!o.Has(TTreeOption::toEvenHeight)) style |= TVS_NONEVENHEIGHT;
    style |= kWsClipChildren;
    if (borderStyle_ == bsSingle) {
        style |= kWsBorder;
        if (Ctl3D()) params.ExStyle |= kWsExClientEdge;
    }
    params.Style = style;
    params.WindowClass.style &= ~(kCsHRedraw | kCsVRedraw);
}

void TCustomTreeEx::CreateWnd() {
    destroyingWindow_ = false;
    InitTreeViewClass();
    TWinControl::CreateWnd();
    if (savedTree_) {
        std::unique_ptr<TMemoryStream> stream = std::move(savedTree_);
        items_->selection_.Clear();
        restoring_ = true;
        // Fields the node stream does not carry come back by pre-order position, so that a
        // backup's loaded plug-in and its page are known to the new node objects (also to
        // those read before a failure).
        auto restoreFields = [this] {
            Integer count = std::min<Integer>(static_cast<Integer>(savedPluginFields_.size()), items_->Count());
            for (Integer i = 0; i < count; ++i) {
                TTreeExNode* node = items_->Item(i);
                const SavedPluginFields& f = savedPluginFields_[static_cast<size_t>(i)];
                node->SetSavedExpanded(f.savedExpanded);
                node->SetPluginHandle(f.pluginHandle);
                node->SetPluginChildID(f.pluginChildID);
            }
            savedPluginFields_.clear();
            restoring_ = false;
        };
        try {
            items_->ReadTree(*stream);
        } catch (...) {
            restoreFields();
            throw;
        }
        restoreFields();
        Integer total = items_->Count();
        if (savedTopIndex_ >= 0 && savedTopIndex_ < total) SetTopNode(items_->Item(savedTopIndex_));
        savedTopIndex_ = 0;
        // Only a node that was selected is selected again (a tree without a selection keeps none).
        if (savedSelectedIndex_ >= 0 && savedSelectedIndex_ < total) SetSelected(items_->Item(savedSelectedIndex_));
        savedSelectedIndex_ = 0;
    }
    if (savedIndent_ != -1) SetIndent(savedIndent_);
    if (savedItemHeight_ != -1) SetItemHeight(static_cast<std::int8_t>(savedItemHeight_ & 0xFF));
    ApplyImageLists();
    Perform(TVM_SETSCROLLTIME, static_cast<WPARAM>(scrollTimeCache_), 0);
    ScrollTime();
    Perform(WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 1);
    Perform(TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Font()->Color())));
    Perform(CCM_SETUNICODEFORMAT, 0, 0);
}

void TCustomTreeEx::DestroyWnd() {
    destroyingWindow_ = true;
    if (!destroying_ && !Destroying() && items_ && items_->root_->Count() > 0) {
        savedTree_ = std::make_unique<TMemoryStream>();
        items_->WriteTree(*savedTree_);
        savedTree_->SetPosition(0);
        TTreeExNode* top = TopNode();
        savedTopIndex_ = top ? top->AbsoluteIndex() : 0;
        TTreeExNode* selected = Selected();
        savedSelectedIndex_ = selected ? selected->AbsoluteIndex() : -1;
        savedPluginFields_.clear();
        items_->FillItemCache();
        for (Integer i = 0; i < items_->itemCache_->Count(); ++i) {
            TTreeExNode* node = items_->itemCache_->Get(i);
            savedPluginFields_.push_back({node->SavedExpanded(), node->PluginHandle(), node->PluginChildID()});
        }
    }
    if (HandleAllocated()) {
        savedIndent_ = Indent();
        savedItemHeight_ = ItemHeight();
    }
    changeDuringDestroy_ = false;
    TWinControl::DestroyWnd();
    ForgetNodeReferences();
    if (changeDuringDestroy_ && !destroying_ && !Destroying()) {
        changeDuringDestroy_ = false;
        destroyingWindow_ = false;
        DelayedChange(nullptr);
        destroyingWindow_ = true;
    }
}

void TCustomTreeEx::ForgetNodeReferences() {
    shiftAnchor_ = pressedNode_ = dragNode_ = rightClickNode_ = lastDropTarget_ = nullptr;
    changeTimer_->SetEnabled(false);
    changeTimer_->SetTag(0);
    savedFont_ = nullptr;
}

// ---- properties

void TCustomTreeEx::SetBorderStyle(TBorderStyle v) {
    if (v == borderStyle_) return;
    borderStyle_ = v;
    RecreateWnd();
}

void TCustomTreeEx::SetColorDropSelected(TColor v) {
    if (StoreIfChanged(colorDropSelected_, v)) Invalidate();
}

void TCustomTreeEx::SetColorSelected(TColor v) {
    if (StoreIfChanged(colorSelected_, v)) Invalidate();
}

void TCustomTreeEx::SetColorUnfocusedSelected(TColor v) {
    if (StoreIfChanged(colorUnfocusedSelected_, v)) Invalidate();
}

void TCustomTreeEx::SetDragMode(TDragMode mode) {
    if (mode != DragMode() && HandleAllocated()) {
        if (mode == dmManual) ChangeStyle(TVS_DISABLEDRAGDROP, 0);
        else ChangeStyle(0, TVS_DISABLEDRAGDROP);
    }
    TWinControl::SetDragMode(mode);
}

void TCustomTreeEx::ApplyImageLists() {
    if (!HandleAllocated()) return;
    if (images_ && images_->Handle())
        Perform(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images_->Handle()));
    // Without own state images the module's check images are shown.
    TTreeImageList* state = stateImages_ ? stateImages_ : CheckImages;
    if (state) Perform(TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(state->Handle()));
}

void TCustomTreeEx::HoldImageList(TTreeImageList*& slot, TChangeLink& link, TTreeImageList* list) {
    // A list that is being freed has already forgotten the link (Sender is nil then).
    if (TCustomImageList* old = link.Sender()) old->UnRegisterChanges(&link);
    TTreeImageList* old = slot;
    slot = list;
    // One list may serve both properties: its notification stays while either holds it.
    if (old && old != list && old != images_ && old != stateImages_) RemoveFreeNotification(old);
    if (list) {
        list->RegisterChanges(&link);
        list->FreeNotification(this);
    }
}

void TCustomTreeEx::ComponentRemoved(TComponent* component) {
    TWinControl::ComponentRemoved(component);
    if (component && component == images_) SetImages(nullptr);
    if (component && component == stateImages_) SetStateImages(nullptr);
}

void TCustomTreeEx::SetImages(TTreeImageList* v) {
    HoldImageList(images_, *imageLink_, v);
    if (HandleAllocated())
        Perform(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(v ? v->Handle() : nullptr));
}

void TCustomTreeEx::SetStateImages(TTreeImageList* v) {
    HoldImageList(stateImages_, *stateImageLink_, v);
    if (!v) v = CheckImages;
    if (HandleAllocated())
        Perform(TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(v ? v->Handle() : nullptr));
}

Integer TCustomTreeEx::Indent() {
    HandleNeeded();
    return static_cast<Integer>(Perform(TVM_GETINDENT, 0, 0));
}

void TCustomTreeEx::SetIndent(Integer v) {
    if (v != Indent()) Perform(TVM_SETINDENT, static_cast<WPARAM>(v), 0);
}

TColor TCustomTreeEx::InsertMarkColor() {
    HandleNeeded();
    return static_cast<TColor>(Perform(TVM_GETINSERTMARKCOLOR, 0, 0));
}

void TCustomTreeEx::SetInsertMarkColor(TColor v) {
    HandleNeeded();
    Perform(TVM_SETINSERTMARKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(v)));
}

std::int8_t TCustomTreeEx::ItemHeight() {
    HandleNeeded();
    auto h = static_cast<std::int8_t>(Perform(TVM_GETITEMHEIGHT, 0, 0) & 0xFF);
    if (h == 0) {
        if (TTreeExNode* first = items_->GetFirstNode()) {
            RECT r = first->ItemRect(false);
            h = static_cast<std::int8_t>((r.bottom - r.top) & 0xFF);
        }
    }
    return h;
}

void TCustomTreeEx::SetItemHeight(std::int8_t v) {
    HandleNeeded();
    Perform(TVM_SETITEMHEIGHT, v > 0 ? static_cast<WPARAM>(v) : static_cast<WPARAM>(-1), 0);
}

Integer TCustomTreeEx::ScrollTime() {
    HandleNeeded();
    scrollTimeCache_ = static_cast<Integer>(Perform(TVM_GETSCROLLTIME, 0, 0));
    return scrollTimeCache_;
}

void TCustomTreeEx::SetScrollTime(Integer v) {
    if (v == scrollTimeCache_) return;
    scrollTimeCache_ = std::max(v, 100);
    HandleNeeded();
    Perform(TVM_SETSCROLLTIME, static_cast<WPARAM>(scrollTimeCache_), 0);
}

String TCustomTreeEx::SearchString() {
    HandleNeeded();
    auto length = static_cast<Integer>(Perform(TVM_GETISEARCHSTRINGA, 0, 0));
    if (length <= 0) return String();
    String s(static_cast<size_t>(length) + 1, '\0');
    Perform(TVM_GETISEARCHSTRINGA, 0, reinterpret_cast<LPARAM>(s.data()));
    s.resize(strnlen(s.c_str(), static_cast<size_t>(length)));
    return s;
}

void TCustomTreeEx::SetSortType(TSortType v) {
    if (v == sortType_) return;
    sortType_ = v;
    if (v != TSortType::stNone) SortByText();
}

void TCustomTreeEx::ChangeStyle(DWORD add, DWORD remove) {
    if (!HandleAllocated()) return;
    HWND h = Handle();
    SetWindowLongA(h, GWL_STYLE, static_cast<LONG>((static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)) | add) & ~remove));
}

void TCustomTreeEx::SetOptions(TTreeOptions value) {
    using O = TTreeOption;
    if (value.Has(O::toFullRowSelect)) value = value.Without(O::toShowLines);
    TTreeOptions added(value.Bits() & ~options_.Bits());
    TTreeOptions removed(options_.Bits() & ~value.Bits());
    if (HandleAllocated()) {
        DWORD add = 0, remove = 0;
        auto apply = [&](O o, DWORD style, bool setWhenAdded) {
            if (added.Has(o)) (setWhenAdded ? add : remove) |= style;
            if (removed.Has(o)) (setWhenAdded ? remove : add) |= style;
        };
        apply(O::toEvenHeight, TVS_NONEVENHEIGHT, false);
        apply(O::toHideSelection, TVS_SHOWSELALWAYS, false);
        apply(O::toInfoTip, TVS_INFOTIP, true);
        apply(O::toShowLines, TVS_HASLINES, true);
        apply(O::toShowRoot, TVS_LINESATROOT, true);
        apply(O::toShowButtons, TVS_HASBUTTONS, true);
        apply(O::toSingleExpand, TVS_SINGLEEXPAND, true);
        ChangeStyle(add, remove);
    }
    if (removed.Has(O::toMultiSelect)) ClearSelection();
    options_ = value;
    constexpr TTreeOptions live{O::toAutoExpand, O::toAutoScroll,    O::toCheckSupport,
                                O::toNoEraseBkgnd, O::toEvenHeight,  O::toHideSelection,
                                O::toInfoTip,     O::toLevelSelectConstraint, O::toMultiSelect,
                                O::toRightClickSelect, O::toShowButtons, O::toShowLines,
                                O::toShowRoot,    O::toWantReturn};
    if (((added.Bits() | removed.Bits()) & ~live.Bits()) != 0) RecreateWnd();
}

// ---- selection and special nodes

TTreeExNode* TCustomTreeEx::Selected() {
    if (!HandleAllocated()) return nullptr;
    if (options_.Has(TTreeOption::toRightClickSelect) && rightClickNode_) return rightClickNode_;
    return items_->GetNode(reinterpret_cast<HTREEITEM>(Perform(TVM_GETNEXTITEM, TVGN_CARET, 0)));
}

void TCustomTreeEx::SetSelected(TTreeExNode* node) {
    HandleNeeded();
    Perform(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node ? node->ItemId() : nullptr));
}

TTreeExNode* TCustomTreeEx::TopNode() {
    if (!HandleAllocated()) return nullptr;
    return items_->GetNode(reinterpret_cast<HTREEITEM>(Perform(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0)));
}

void TCustomTreeEx::SetTopNode(TTreeExNode* node) {
    if (HandleAllocated() && node)
        Perform(TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(node->ItemId()));
}

TTreeExNode* TCustomTreeEx::DropTargetNode() {
    if (!HandleAllocated()) return nullptr;
    return items_->GetNode(reinterpret_cast<HTREEITEM>(Perform(TVM_GETNEXTITEM, TVGN_DROPHILITE, 0)));
}

void TCustomTreeEx::SetDropTargetNode(TTreeExNode* node) {
    if (!HandleAllocated()) return;
    if (node) node->SetDropTarget(true);
    else Perform(TVM_SELECTITEM, TVGN_DROPHILITE, 0);
}

void TCustomTreeEx::ClearSelection() {
    TTreeExNodes& items = *items_;
    if (items.selection_.Count() == 0) return;
    items.LockSelection();
    items.multiSelecting_ = true;
    try {
        std::vector<TTreeExNode*> nodes(items.selection_.List(), items.selection_.List() + items.selection_.Count());
        for (TTreeExNode* node : nodes)
            if (items.IsLive(node)) items.SelectNode(node, TSelectMode::smUnselect);
    } catch (...) {
        items.multiSelecting_ = false;
        items.UnlockSelection();
        throw;
    }
    items.selection_.Clear();
    items.multiSelecting_ = false;
    DelayedChange(nullptr);
    items.UnlockSelection();
}

void TCustomTreeEx::CollapseAll() {
    for (TTreeExNode* node = items_->GetFirstNode(); node;) {
        TTreeExNode* next = node->GetNextSibling();
        node->Collapse(true);
        node = items_->IsLive(next) ? next : nullptr;
    }
}

void TCustomTreeEx::InvalidateNodeRow(TTreeExNode* node) {
    if (!HandleAllocated()) return;
    RECT row = node->ItemRect(false);
    InvalidateRect(Handle(), &row, TRUE_);
}

// ---- sorting

int TCustomTreeEx::ListSortCompare(LPARAM node1, LPARAM node2, LPARAM data) {
    auto* a = reinterpret_cast<TTreeExNode*>(node1);
    auto* b = reinterpret_cast<TTreeExNode*>(node2);
    TCustomTreeEx* tree = a->TreeView();
    if (tree && tree->OnCompare && tree->EventsLive()) {
        Integer compare = 0;
        tree->OnCompare(tree, a, b, data, compare);
        return compare;
    }
    switch (tree ? tree->sortType_ : TSortType::stNone) {
    case TSortType::stData:
        return CompareData(a->Data(), b->Data());
    case TSortType::stBoth: {
        int c = CompareTextFolded(a->Text(), b->Text());
        return c != 0 ? c : CompareData(a->Data(), b->Data());
    }
    default:
        return CompareTextFolded(a->Text(), b->Text());
    }
}

namespace {

// The comparison runs user code, which may delete nodes: the sort works on a copy of the child
// list, and a pair with a node that is gone compares equal instead of being followed.
struct SortContext {
    TTreeNodeCompare compare;
    LPARAM data;
    TTreeExNodes* items;
};

int GuardedCompare(LPARAM node1, LPARAM node2, LPARAM context) {
    const auto& c = *reinterpret_cast<const SortContext*>(context);
    if (!c.items->IsLive(reinterpret_cast<TTreeExNode*>(node1)) || !c.items->IsLive(reinterpret_cast<TTreeExNode*>(node2)))
        return 0;
    return c.compare(node1, node2, c.data);
}

}  // namespace

bool TCustomTreeEx::InvokeSort(TTreeExNode* parent, TTreeNodeCompare sortProc, LPARAM data) {
    SortContext context{sortProc ? sortProc : &ListSortCompare, data, items_.get()};
    TTreeNodeList sorted;
    sorted.SetCapacity(parent->children_.Count());
    for (Integer i = 0; i < parent->children_.Count(); ++i) sorted.Add(parent->children_.Get(i));
    sorted.Sort(&GuardedCompare, reinterpret_cast<LPARAM>(&context));
    // Write back what is still a child here, in the sorted order; children added meanwhile
    // keep their places at the end.
    if (items_->IsLive(parent) || parent == items_->root_.get()) {
        std::unordered_set<const TTreeExNode*> children;
        for (Integer i = 0; i < parent->children_.Count(); ++i) children.insert(parent->children_.Get(i));
        std::vector<TTreeExNode*> order;
        std::unordered_set<const TTreeExNode*> placed;
        for (Integer i = 0; i < sorted.Count(); ++i) {
            TTreeExNode* node = sorted.Get(i);
            if (items_->IsLive(node) && node->parent_ == parent && children.count(node) && placed.insert(node).second)
                order.push_back(node);
        }
        for (Integer i = 0; i < parent->children_.Count(); ++i)
            if (placed.insert(parent->children_.Get(i)).second) order.push_back(parent->children_.Get(i));
        for (size_t i = 0; i < order.size(); ++i) parent->children_.Put(static_cast<Integer>(i), order[i]);
    }
    items_->InvalidateItemCache();
    if (!HandleAllocated()) return false;
    // The window follows the node list, so what is shown and what navigation, indexes and
    // streams see never disagree.
    std::unordered_map<LPARAM, Integer> order;
    for (Integer i = 0; i < parent->children_.Count(); ++i)
        order[reinterpret_cast<LPARAM>(parent->children_.Get(i))] = i;
    TVSORTCB cb;
    cb.hParent = parent == items_->root_.get() ? TVI_ROOT : parent->ItemId();
    if (!cb.hParent) return false;
    cb.lpfnCompare = &ListOrderCompare;
    cb.lParam = reinterpret_cast<LPARAM>(&order);
    return Perform(TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&cb)) != 0;
}

bool TCustomTreeEx::SortByText() { return HandleAllocated() && SortChildren(nullptr, 0); }

bool TCustomTreeEx::SortChildren(TTreeNodeCompare sortProc, LPARAM data) {
    bool result = false;
    if (HandleAllocated()) {
        result = InvokeSort(items_->root_.get(), sortProc, data);
        // The parents are listed first: each sort drops the item cache that a walk by GetNext
        // would rebuild, and the comparison may delete nodes.
        std::vector<TTreeExNode*> parents;
        for (TTreeExNode* node = items_->GetFirstNode(); node; node = node->GetNext())
            if (node->Count() > 0) parents.push_back(node);
        for (TTreeExNode* node : parents)
            if (items_->IsLive(node) && !node->Deleting() && node->Count() > 0) node->SortChildren(sortProc, data);
    }
    items_->InvalidateItemCache();
    return result;
}

// ---- hit tests

TTreeExNode* TCustomTreeEx::NodeAtPoint(Integer x, Integer y) {
    TVHITTESTINFO info;
    info.pt.x = x;
    info.pt.y = y;
    HandleNeeded();
    auto item = reinterpret_cast<HTREEITEM>(Perform(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    return items_->GetNode(item);
}

TTreeHitTests TCustomTreeEx::HitTestAt(Integer x, Integer y) {
    using H = TTreeHitTest;
    TVHITTESTINFO info;
    info.pt.x = x;
    info.pt.y = y;
    HandleNeeded();
    Perform(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info));
    UINT f = info.flags;
    TTreeHitTests result = 0;
    if (f & TVHT_ABOVE) result |= HitBit(H::thAbove);
    if (f & TVHT_BELOW) result |= HitBit(H::thBelow);
    if (f & TVHT_NOWHERE) result |= HitBit(H::thNowhere);
    if (f & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)) result |= HitBit(H::thOnItem);
    if (f & TVHT_ONITEMBUTTON) result |= HitBit(H::thOnButton);
    if (f & TVHT_ONITEMICON) result |= HitBit(H::thOnIcon);
    if (f & TVHT_ONITEMINDENT) result |= HitBit(H::thOnIndent);
    if (f & TVHT_ONITEMLABEL) result |= HitBit(H::thOnLabel);
    if (f & TVHT_ONITEMRIGHT) result |= HitBit(H::thOnRight);
    if (f & TVHT_ONITEMSTATEICON) result |= HitBit(H::thOnStateIcon);
    if (f & TVHT_TOLEFT) result |= HitBit(H::thToLeft);
    if (f & TVHT_TORIGHT) result |= HitBit(H::thToRight);
    return result;
}

bool TCustomTreeEx::IsEditing() {
    if (!HandleAllocated()) return false;
    auto editor = reinterpret_cast<HWND>(Perform(TVM_GETEDITCONTROL, 0, 0));
    // Visible by its own style: the form around the control may not be shown yet.
    return editor && IsWindow(editor) && (GetWindowLongA(editor, GWL_STYLE) & WS_VISIBLE);
}

TTreeExNode* TCustomTreeEx::NodeFromItem(const TVITEMA& item) {
    if (item.mask & TVIF_PARAM) {
        auto* node = reinterpret_cast<TTreeExNode*>(item.lParam);
        return items_->IsLive(node) ? node : nullptr;
    }
    return items_->GetNode(item.hItem);
}
