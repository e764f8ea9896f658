#include <cstdio>
#include <vector>

#include "controls/TreeEx.h"

TTreeExNodes::TTreeExNodes(TCustomTreeEx* owner) : owner_(owner) {
    root_ = std::make_unique<TTreeExNode>(this);
    root_->expanded_ = true;
}

TTreeExNodes::~TTreeExNodes() {
    Clear();
    // Nodes left without a window (none normally) are freed with the root.
    root_.reset();
}

void TTreeExNodes::NodeGone(TTreeExNode* node) {
    // Removed whatever the selection lock says: the list must never hold a freed node.
    selection_.Remove(node);
    if (itemCache_ && cacheIndex_.count(node)) InvalidateItemCache();
}

Integer TTreeExNodes::Count() const {
    if (!owner_ || !owner_->HandleAllocated()) return 0;
    return static_cast<Integer>(owner_->Perform(TVM_GETCOUNT, 0, 0));
}

HWND TTreeExNodes::Handle() const { return owner_ ? owner_->Handle() : nullptr; }

TTreeExNode* TTreeExNodes::Item(Integer index) {
    FillItemCache();
    return itemCache_->Get(index);
}

TTreeExNode* TTreeExNodes::GetNode(HTREEITEM itemId) const {
    if (!itemId || !owner_ || !owner_->HandleAllocated()) return nullptr;
    TVITEMA item;
    item.mask = TVIF_PARAM;
    item.hItem = itemId;
    if (!owner_->Perform(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    auto* node = reinterpret_cast<TTreeExNode*>(item.lParam);
    return IsLive(node) ? node : nullptr;
}

TTreeExNode* TTreeExNodes::GetFirstNode() const { return root_->GetFirstChild(); }

TTreeExNode* TTreeExNodes::FirstSelected() const { return selection_.Count() > 0 ? selection_.Get(0) : nullptr; }

TTreeExNode* TTreeExNodes::AddChild(TTreeExNode* parent, const String& s) {
    return InternalAddObject(parent, s, 0);
}

TTreeExNode* TTreeExNodes::Add(TTreeExNode* sibling, const String& s) {
    return InternalAddObject(sibling ? sibling->Parent() : nullptr, s, 0);
}

TTreeExNode* TTreeExNodes::InternalAddObject(TTreeExNode* parent, const String& s, Integer data) {
    if (parent == root_.get()) parent = nullptr;
    if (parent && parent->Level() >= kMaxTreeLevel) {
        char text[96];
        std::snprintf(text, sizeof text, "A node cannot be nested deeper than %d levels", static_cast<int>(kMaxTreeLevel));
        throw ETreeExError(text);
    }
    TTreeExNode* node = owner_->CreateNode();
    try {
        node->SetData(data);
        node->SetText(s);
        TVINSERTSTRUCTA ins;
        ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
        static_assert((TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE | TVIF_CHILDREN) == 0x67);
        ins.item.pszText = LPSTR_TEXTCALLBACKA;
        ins.item.iImage = I_IMAGECALLBACK;
        ins.item.iSelectedImage = I_IMAGECALLBACK;
        ins.item.cChildren = 0;
        ins.item.lParam = reinterpret_cast<LPARAM>(node);
        node->inTree_ = true;
        InvalidateItemCache();
        owner_->ChangeTimer()->SetEnabled(false);
        owner_->HandleNeeded();
        ins.hParent = parent ? parent->itemId_ : nullptr;
        ins.hInsertAfter = TVI_LAST;
        // A parent without an item (it is being deleted) cannot take children.
        HTREEITEM item = nullptr;
        if (!parent || parent->itemId_)
            item = reinterpret_cast<HTREEITEM>(owner_->Perform(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
        if (!item) throw EOutOfResources("Unable to insert an item");
        node->itemId_ = item;
        TTreeExNode* p = parent ? parent : root_.get();
        node->parent_ = p;
        AddedNode(p);
        p->children_.Add(node);
        switch (p->checkType_) {
        case ctNone: node->ShowStateImage(0); break;
        case ctCheckBox:
        case ctTriState: node->ShowStateImage(1); break;
        case ctRadioButton: node->ShowStateImage(5); break;
        default: break;
        }
        InvalidateItemCache();
        owner_->DelayedChange(node);
    } catch (...) {
        if (IsLive(node) && !node->deleting_) delete node;
        throw;
    }
    return node;
}

void TTreeExNodes::AddedNode(TTreeExNode* parent) {
    if (parent == root_.get()) return;
    parent->SetHasChildren(true);
    Repaint(parent);
}

void TTreeExNodes::Delete(TTreeExNode* node) {
    if (!node) return;
    if (!node->itemId_ && owner_->OnDeletion && owner_->EventsLive()) {
        owner_->OnDeletion(this, node);
        if (!IsLive(node)) return;
    }
    node->Delete();
}

void TTreeExNodes::Clear() {
    if (!owner_ || !owner_->HandleAllocated() || Count() == 0) {
        // Without a window there are no items; nodes can only be left over from a failed
        // insertion path, and are freed so that none stays reachable from the root.
        if (!owner_ || !owner_->HandleAllocated()) {
            root_->deleting_ = true;
            while (root_->children_.Count() > 0) {
                TTreeExNode* node = root_->children_.Get(root_->children_.Count() - 1);
                if (node->deleting_) root_->children_.Delete(root_->children_.Count() - 1);
                else delete node;
            }
            root_->deleting_ = false;
            InvalidateItemCache();
        }
        return;
    }
    clearing_ = true;
    root_->deleting_ = true;
    try {
        while (root_->children_.Count() > 0) {
            TTreeExNode* node = root_->children_.Get(root_->children_.Count() - 1);
            if (node->deleting_) {
                root_->children_.Delete(root_->children_.Count() - 1);
                continue;
            }
            node->DeleteChildren();
            if (IsLive(node) && !node->deleting_) delete node;
        }
    } catch (...) {
        root_->deleting_ = false;
        clearing_ = false;
        throw;
    }
    root_->deleting_ = false;
    clearing_ = false;
    root_->children_.Clear();
    InvalidateItemCache();
}

void TTreeExNodes::BeginChanges() {
    if (updateCount_ == 0) ApplyUpdateState(true);
    ++updateCount_;
}

void TTreeExNodes::EndChanges() {
    if (updateCount_ <= 0) return;
    --updateCount_;
    if (updateCount_ != 0) return;
    if (resortPending_) {
        resortPending_ = false;
        if (owner_->SortType() != TSortType::stNone) owner_->SortByText();
    }
    ApplyUpdateState(false);
}

void TTreeExNodes::ApplyUpdateState(bool updating) {
    if (!owner_->HandleAllocated()) return;
    owner_->Perform(WM_SETREDRAW, updating ? 0 : 1, 0);
    if (!updating) owner_->Refresh();
}

void TTreeExNodes::Repaint(TTreeExNode* node) {
    if (updateCount_ > 0 || !node) return;
    while (node && !node->IsVisible()) node = node->Parent();
    if (!node) return;
    owner_->InvalidateNodeRow(node);
}

void TTreeExNodes::InvalidateItemCache() {
    itemCache_.reset();
    cacheIndex_.clear();
}

void TTreeExNodes::FillItemCache() {
    if (itemCache_) return;
    auto cache = std::make_unique<TTreeNodeList>();
    cache->SetCapacity(std::max<Integer>(Count(), 0));
    // Pre-order without recursion: trees read from a stream may be deep.
    std::vector<std::pair<TTreeExNode*, Integer>> stack{{root_.get(), 0}};
    while (!stack.empty()) {
        auto& [parent, next] = stack.back();
        if (next >= parent->children_.Count()) {
            stack.pop_back();
            continue;
        }
        TTreeExNode* child = parent->children_.Get(next++);
        cacheIndex_[child] = cache->Add(child);
        stack.push_back({child, 0});
    }
    itemCache_ = std::move(cache);
}

Integer TTreeExNodes::IndexInCache(const TTreeExNode* node) {
    FillItemCache();
    auto it = cacheIndex_.find(node);
    return it == cacheIndex_.end() ? -1 : it->second;
}

void TTreeExNodes::AddToSelection(TTreeExNode* node) {
    if (node && !node->deleting_ && selectionLock_ == 0 && selection_.IndexOf(node) < 0) selection_.Add(node);
}

void TTreeExNodes::RemoveFromSelection(TTreeExNode* node) {
    if (selectionLock_ == 0) selection_.Remove(node);
}

Integer TTreeExNodes::LockSelection() { return ++selectionLock_; }

Integer TTreeExNodes::UnlockSelection() {
    if (selectionLock_ > 0) --selectionLock_;
    return selectionLock_;
}

void TTreeExNodes::ChangeNotice(TTreeExNode* node) {
    if (!multiSelecting_) owner_->DelayedChange(node);
}

void TTreeExNodes::SelectNode(TTreeExNode* node, TSelectMode mode) {
    if (!IsLive(node) || node->deleting_) return;
    if (!owner_->CanChangeSelection(node) || !IsLive(node) || node->deleting_) return;
    bool select = mode == TSelectMode::smSelect || (mode == TSelectMode::smToggle && !node->Selected());
    if (select) {
        if (owner_->Options().Has(TTreeOption::toLevelSelectConstraint) && node->Level() != selectLevel_) return;
        AddToSelection(node);
    } else {
        RemoveFromSelection(node);
    }
    node->SetItemState(TVIS_SELECTED, select ? TVIS_SELECTED : 0);
    ChangeNotice(node);
}

void TTreeExNodes::ToggleRange(TTreeExNode* from, TTreeExNode* to) {
    if (from == to || !IsLive(from) || !IsLive(to)) return;
    multiSelecting_ = true;
    try {
        bool forward = from->AbsoluteIndex() < to->AbsoluteIndex();
        TTreeExNode* node = forward ? from->GetNextVisible() : from->GetPrevVisible();
        while (node && node != to) {
            SelectNode(node, TSelectMode::smToggle);
            if (!IsLive(node) || !IsLive(to)) break;
            node = forward ? node->GetNextVisible() : node->GetPrevVisible();
        }
    } catch (...) {
        multiSelecting_ = false;
        throw;
    }
    multiSelecting_ = false;
    if (IsLive(to)) ChangeNotice(to);
}

void TTreeExNodes::SelectNodes(TTreeExNode* from, TTreeExNode* to, bool addOnly) {
    if (!IsLive(from) || !IsLive(to)) return;
    multiSelecting_ = true;
    TTreeExNode* first = from;
    TTreeExNode* last = to;
    try {
        if (from->AbsoluteIndex() > to->AbsoluteIndex()) std::swap(first, last);
        TTreeNodeList range;
        for (TTreeExNode* n = first; n; n = n->GetNextVisible()) {
            range.Add(n);
            if (n == last) break;
        }
        if (range.Count() > 0) {
            std::vector<TTreeExNode*> outside;
            if (!addOnly)
                for (Integer i = 0; i < selection_.Count(); ++i)
                    if (range.IndexOf(selection_.Get(i)) < 0) outside.push_back(selection_.Get(i));
            for (Integer i = 0; i < range.Count(); ++i)
                if (range.Get(i)->Selected()) range.Put(i, nullptr);
            range.Pack();
            for (TTreeExNode* n : outside)
                if (IsLive(n)) SelectNode(n, TSelectMode::smUnselect);
            for (Integer i = 0; i < range.Count(); ++i)
                if (IsLive(range.Get(i))) SelectNode(range.Get(i), TSelectMode::smSelect);
        }
    } catch (...) {
        multiSelecting_ = false;
        if (IsLive(last)) ChangeNotice(last);
        throw;
    }
    multiSelecting_ = false;
    ChangeNotice(IsLive(last) ? last : nullptr);
}

void TTreeExNodes::SetCheckType(TCheckType v) {
    checkType_ = v;
    root_->SetCheckType(v);
}

void TTreeExNodes::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TTreeExNodes*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    Clear();
    TMemoryStream stream;
    BeginChanges();
    try {
        other->WriteTree(stream);
        stream.SetPosition(0);
        ReadTree(stream);
    } catch (...) {
        EndChanges();
        throw;
    }
    EndChanges();
}
