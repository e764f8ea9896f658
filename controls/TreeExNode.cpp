#include <cstdio>
#include <cstring>

#include "controls/TreeEx.h"

TTreeExNode::TTreeExNode(TTreeExNodes* owner) : owner_(owner) {
    if (owner_) owner_->liveNodes_.insert(this);
}

TTreeExNode::~TTreeExNode() {
    deleting_ = true;
    TCustomTreeEx* tree = TreeView();
    // Nothing the collection or the control keeps may name this node once it is gone; the
    // references are dropped now and again at the end, after every handler has run.
    owner_->NodeGone(this);
    if (tree) tree->NodeGone(this);
    if (parent_) {
        // The node always leaves its parent's list, even while the parent itself is being
        // deleted, so that handlers running meanwhile never walk onto a freed child.
        parent_->children_.Remove(this);
        if (!parent_->deleting_ && parent_->children_.Count() == 0 && parent_ != owner_->root_.get()) {
            parent_->Collapse(false);
            parent_->SetHasChildren(false);
        }
    }
    if (itemId_ && tree && tree->HandleAllocated()) {
        HTREEITEM item = itemId_;
        // The window deletes the child items; their nodes go through the deletion notices.
        tree->Perform(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
    }
    itemId_ = nullptr;
    // Children the window did not report (no window, or a failed deletion) go here, last first.
    while (children_.Count() > 0) {
        TTreeExNode* child = children_.Get(children_.Count() - 1);
        if (child->deleting_) {
            children_.Delete(children_.Count() - 1);
            continue;
        }
        delete child;
    }
    data_ = 0;
    owner_->NodeGone(this);
    if (tree) tree->NodeGone(this);
    owner_->liveNodes_.erase(this);
}

TCustomTreeEx* TTreeExNode::TreeView() const { return owner_ ? owner_->Owner() : nullptr; }

// ---- window item access

bool TTreeExNode::GetItemField(TVITEMA& item) const {
    TCustomTreeEx* tree = TreeView();
    if (!itemId_ || !tree || !tree->HandleAllocated()) return false;
    item.hItem = itemId_;
    return tree->Perform(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

bool TTreeExNode::SetItemField(TVITEMA& item) {
    TCustomTreeEx* tree = TreeView();
    if (!itemId_ || !tree || !tree->HandleAllocated()) return false;
    item.hItem = itemId_;
    return tree->Perform(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

void TTreeExNode::SetItemState(UINT mask, UINT state) {
    TVITEMA item;
    item.mask = TVIF_STATE;
    item.stateMask = mask;
    item.state = state;
    SetItemField(item);
}

// ---- properties

void TTreeExNode::SetText(const String& v) {
    text_ = v;
    TVITEMA item;
    item.mask = TVIF_TEXT;
    item.pszText = LPSTR_TEXTCALLBACKA;
    SetItemField(item);
    TCustomTreeEx* tree = TreeView();
    if (tree && inTree_ && (tree->sortType_ == TSortType::stText || tree->sortType_ == TSortType::stBoth)) ReSort();
}

void TTreeExNode::SetData(Integer v) {
    data_ = v;
    TCustomTreeEx* tree = TreeView();
    if (tree && inTree_ && !deleting_ &&
        (tree->sortType_ == TSortType::stData || tree->sortType_ == TSortType::stBoth) && tree->OnCompare)
        ReSort();
}

void TTreeExNode::ReSort() {
    // Inside a batch of changes (a tree being read) the whole tree is sorted once at its end.
    if (owner_->updateCount_ > 0) {
        owner_->resortPending_ = true;
        return;
    }
    if (TTreeExNode* parent = Parent()) parent->SortByText();
    else if (TCustomTreeEx* tree = TreeView()) tree->SortByText();
}

void TTreeExNode::SetImageIndex(Integer v) {
    imageIndex_ = v;
    TVITEMA item;
    item.mask = TVIF_IMAGE;
    item.iImage = I_IMAGECALLBACK;
    SetItemField(item);
}

void TTreeExNode::SetSelectedIndex(Integer v) {
    selectedIndex_ = v;
    TVITEMA item;
    item.mask = TVIF_SELECTEDIMAGE;
    item.iSelectedImage = I_IMAGECALLBACK;
    SetItemField(item);
}

void TTreeExNode::SetOverlayIndex(Integer v) {
    overlayIndex_ = v;
    SetItemState(TVIS_OVERLAYMASK, INDEXTOOVERLAYMASK(static_cast<UINT>(v + 1)) & TVIS_OVERLAYMASK);
}

void TTreeExNode::SetStateIndex(Integer v) {
    stateIndex_ = v;
    SetItemState(TVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(v < 0 ? 0u : static_cast<UINT>(v)) & TVIS_STATEIMAGEMASK);
}

Integer TTreeExNode::IntegralHeight() const {
    TVITEMA item;
    item.mask = TVIF_INTEGRAL;
    return GetItemField(item) ? item.iIntegral : 0;
}

void TTreeExNode::SetIntegralHeight(Integer v) {
    TVITEMA item;
    item.mask = TVIF_INTEGRAL;
    item.iIntegral = v;
    SetItemField(item);
    if (TCustomTreeEx* tree = TreeView()) tree->Invalidate();
}

void TTreeExNode::SetExpanded(bool v) {
    if (v) Expand(false);
    else Collapse(false);
}

bool TTreeExNode::Selected() const { return owner_->selection_.IndexOf(this) >= 0; }

void TTreeExNode::SetSelected(bool v) { owner_->SelectNode(this, v ? TSelectMode::smSelect : TSelectMode::smUnselect); }

void TTreeExNode::SetFocused(bool v) { SetItemState(TVIS_FOCUSED, v ? TVIS_FOCUSED : 0); }

bool TTreeExNode::DropTarget() const {
    TVITEMA item;
    item.mask = TVIF_STATE;
    item.stateMask = TVIS_DROPHILITED;
    return GetItemField(item) && (item.state & TVIS_DROPHILITED) != 0;
}

void TTreeExNode::SetDropTarget(bool v) {
    TCustomTreeEx* tree = TreeView();
    if (!tree) return;
    if (v) {
        tree->Perform(TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(itemId_));
        tree->lastDropTarget_ = this;
    } else if (DropTarget()) {
        tree->Perform(TVM_SELECTITEM, TVGN_DROPHILITE, 0);
    }
}

bool TTreeExNode::HasChildren() const {
    TVITEMA item;
    item.mask = TVIF_CHILDREN;
    return GetItemField(item) && item.cChildren > 0;
}

void TTreeExNode::SetHasChildren(bool v) {
    TVITEMA item;
    item.mask = TVIF_CHILDREN;
    item.cChildren = v ? 1 : 0;
    SetItemField(item);
}

TColor TTreeExNode::Color() const {
    if (!parentColor_) return color_;
    TCustomTreeEx* tree = TreeView();
    return tree ? tree->Color() : clWindow;
}

TTreeFont* TTreeExNode::Font() {
    if (!font_) {
        font_ = std::make_unique<TTreeFont>();
        if (TCustomTreeEx* tree = TreeView()) font_->Assign(tree->Font());
        font_->OnChange = [this](TObject*) { NodeFontChanged(); };
    }
    return font_.get();
}

void TTreeExNode::NodeFontChanged() {
    parentFont_ = false;
    owner_->Repaint(this);
}

// ---- structure and navigation

TTreeExNode* TTreeExNode::Parent() const {
    return parent_ == owner_->root_.get() ? nullptr : parent_;
}

Integer TTreeExNode::Level() const {
    Integer level = 0;
    for (TTreeExNode* p = Parent(); p; p = p->Parent()) ++level;
    return level;
}

Integer TTreeExNode::Index() const { return parent_ ? parent_->children_.IndexOf(this) : -1; }

Integer TTreeExNode::AbsoluteIndex() const { return owner_->IndexInCache(this); }

TTreeExNode* TTreeExNode::Item(Integer index) const {
    if (index > children_.Count() - 1) {
        char text[64];
        std::snprintf(text, sizeof text, "List index out of bounds (%d)", static_cast<int>(index));
        throw ETreeExError(text);
    }
    return children_.Get(index);
}

void TTreeExNode::Delete() {
    if (!deleting_) delete this;
}

void TTreeExNode::DeleteChildren() {
    TCustomTreeEx* tree = TreeView();
    if (children_.Count() > 0 && itemId_ && tree && tree->HandleAllocated())
        tree->Perform(TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, reinterpret_cast<LPARAM>(itemId_));
    SetHasChildren(false);
    // Children whose items the window did not delete are freed here, so none is left behind.
    while (children_.Count() > 0) {
        TTreeExNode* child = children_.Get(children_.Count() - 1);
        if (child->deleting_) children_.Delete(children_.Count() - 1);
        else delete child;
    }
    children_.Clear();
}

void TTreeExNode::Expand(bool recurse) { ExpandItem(true, recurse); }
void TTreeExNode::Collapse(bool recurse) { ExpandItem(false, recurse); }

void TTreeExNode::ExpandItem(bool expand, bool recurse) {
    TCustomTreeEx* tree = TreeView();
    if (!tree) return;
    // Every handler may delete this node: the collection is kept aside to ask whether it lives.
    TTreeExNodes* owner = owner_;
    auto alive = [owner, this] { return owner->IsLive(this) && !deleting_; };
    bool saved = tree->expandingByCode_;
    tree->expandingByCode_ = true;
    try {
        UINT action = 0;
        if (expand) {
            if (HasChildren() && tree->CanExpand(this) && alive()) {
                tree->Expand(this);
                if (alive()) {
                    expanded_ = true;
                    action = TVE_EXPAND;
                }
            }
        } else if (HasChildren() && tree->CanCollapse(this) && alive()) {
            tree->Collapse(this);
            if (alive()) {
                expanded_ = false;
                action = TVE_COLLAPSE;
            }
        }
        if (action && itemId_ && tree->HandleAllocated())
            tree->Perform(TVM_EXPAND, action, reinterpret_cast<LPARAM>(itemId_));
    } catch (...) {
        tree->expandingByCode_ = saved;
        throw;
    }
    tree->expandingByCode_ = saved;
    if (recurse && alive()) {
        // Handlers may delete children, or this node, meanwhile; the index walk re-reads the
        // list each time and stops once this node is gone.
        for (Integer i = 0; i < children_.Count(); ++i) {
            children_.Get(i)->ExpandItem(expand, true);
            if (!alive()) return;
        }
    }
}

bool TTreeExNode::HasAsParent(const TTreeExNode* value) const {
    if (!value || value == this) return true;
    TTreeExNode* parent = Parent();
    return parent ? parent->HasAsParent(value) : false;
}

bool TTreeExNode::IsVisible() const {
    for (TTreeExNode* p = parent_; p; p = p->parent_) {
        if (p == owner_->root_.get()) return true;
        if (!p->expanded_) return false;
    }
    return false;
}

RECT TTreeExNode::ItemRect(bool textOnly) const {
    RECT rect{};
    TCustomTreeEx* tree = TreeView();
    if (!itemId_ || !tree || !tree->HandleAllocated()) return rect;
    HTREEITEM item = itemId_;
    static_assert(sizeof(RECT) >= sizeof(HTREEITEM), "the item handle travels in the rectangle");
    std::memcpy(static_cast<void*>(&rect), &item, sizeof item);
    if (!tree->Perform(TVM_GETITEMRECT, textOnly ? 1 : 0, reinterpret_cast<LPARAM>(&rect))) rect = RECT{};
    return rect;
}

TTreeExNode* TTreeExNode::GetFirstChild() const { return children_.Count() > 0 ? children_.Get(0) : nullptr; }

TTreeExNode* TTreeExNode::GetLastChild() const {
    return children_.Count() > 0 ? children_.Get(children_.Count() - 1) : nullptr;
}

TTreeExNode* TTreeExNode::GetNextSibling() const {
    if (!parent_) return nullptr;
    Integer i = parent_->children_.IndexOf(this);
    return i >= 0 && i + 1 < parent_->children_.Count() ? parent_->children_.Get(i + 1) : nullptr;
}

TTreeExNode* TTreeExNode::GetPrevSibling() const {
    if (!parent_) return nullptr;
    Integer i = parent_->children_.IndexOf(this);
    return i > 0 ? parent_->children_.Get(i - 1) : nullptr;
}

TTreeExNode* TTreeExNode::GetNext() const {
    Integer i = AbsoluteIndex();
    if (i < 0) return nullptr;
    owner_->FillItemCache();
    return i + 1 < owner_->itemCache_->Count() ? owner_->itemCache_->Get(i + 1) : nullptr;
}

TTreeExNode* TTreeExNode::GetPrev() const {
    if (TTreeExNode* node = GetPrevSibling()) {
        while (TTreeExNode* last = node->GetLastChild()) node = last;
        return node;
    }
    return Parent();
}

TTreeExNode* TTreeExNode::GetNextVisible() const {
    Integer i = AbsoluteIndex();
    if (i < 0) return nullptr;
    const TTreeNodeList& cache = *owner_->itemCache_;
    for (Integer k = i + 1; k < cache.Count(); ++k)
        if (cache.Get(k)->IsVisible()) return cache.Get(k);
    return nullptr;
}

TTreeExNode* TTreeExNode::GetPrevVisible() const {
    TTreeExNode* node = GetPrev();
    while (node && !node->IsVisible()) node = node->GetPrev();
    return node;
}

TTreeExNode* TTreeExNode::GetNextSelected() const {
    const TTreeNodeList& sel = owner_->selection_;
    Integer i = sel.IndexOf(this);
    return i >= 0 && i + 1 < sel.Count() ? sel.Get(i + 1) : nullptr;
}

bool TTreeExNode::SortChildren(TTreeNodeCompare sortProc, LPARAM data) {
    TCustomTreeEx* tree = TreeView();
    bool result = tree && tree->InvokeSort(this, sortProc, data);
    owner_->InvalidateItemCache();
    return result;
}

bool TTreeExNode::IsEqual(const TTreeExNode* node) const {
    return node && text_ == node->text_ && data_ == node->data_;
}

void TTreeExNode::Assign(TPersistent* source) {
    auto* node = dynamic_cast<TTreeExNode*>(source);
    if (!node) {
        TPersistent::Assign(source);
        return;
    }
    SetText(node->Text());
    SetData(node->Data());
    SetImageIndex(node->ImageIndex());
    SetSelectedIndex(node->SelectedIndex());
    SetStateIndex(node->StateIndex());
    SetCheckType(node->CheckType());
    SetCheckState(node->CheckState());
    SetEnabled(node->Enabled());
    SetOverlayIndex(node->OverlayIndex());
    SetExpanded(node->Expanded());
    SetIntegralHeight(node->IntegralHeight());
    SetHasChildren(node->HasChildren());
    parentColor_ = node->parentColor_;
    if (!parentColor_) color_ = node->Color();
    parentFont_ = node->parentFont_;
    if (parentFont_) {
        font_.reset();
    } else {
        TTreeFont* own = Font();
        auto handler = std::move(own->OnChange);
        own->OnChange = nullptr;
        own->Assign(node->Font());
        fontPitch_ = node->fontPitch_;
        own->OnChange = std::move(handler);
    }
}
