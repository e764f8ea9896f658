// Check marks of the nodes: a node's CheckType says what mark its children carry; the mark is
// shown as a state image (check images 1 to 8) when the control supports checks.
#include "controls/TreeEx.h"

namespace {

bool IsOn(TCheckState s) { return s == chChecked || s == chPartial; }

}  // namespace

void TTreeExNode::ShowStateImage(Integer image) {
    TCustomTreeEx* tree = TreeView();
    if (tree && tree->Options().Has(TTreeOption::toCheckSupport)) SetStateIndex(image);
}

void TTreeExNode::SetCheckState(TCheckState v) { ChangeCheck(v); }

void TTreeExNode::ChangeCheck(TCheckState value) {
    if (!enabled_ || !parent_) return;
    TCustomTreeEx* tree = TreeView();
    // The handlers may delete this node: the collection is kept aside to ask whether it lives.
    TTreeExNodes* owner = owner_;
    auto alive = [owner, this] { return owner->IsLive(this) && !deleting_; };
    if (tree && (!tree->CanCheck(this) || !alive())) return;
    TTreeExNode* p = parent_;
    bool upward = false;
    switch (p->checkType_) {
    case ctCheckBox:
        checkState_ = IsOn(value) ? chChecked : chUnchecked;
        ShowStateImage(checkState_ == chChecked ? 2 : 1);
        upward = true;
        break;
    case ctTriState:
        checkState_ = value;
        if (value == chUnchecked) ShowStateImage(1);
        else if (value == chChecked) ShowStateImage(2);
        else if (value == chPartial) ShowStateImage(4);
        if ((checkType_ == ctCheckBox || checkType_ == ctTriState) && (value == chUnchecked || value == chChecked)) {
            // Index walk: a handler may change the child list while the children are asked.
            for (Integer i = 0; i < children_.Count(); ++i) {
                children_.Get(i)->ChangeCheck(value);
                if (!alive()) return;
            }
        }
        upward = true;
        break;
    case ctRadioButton:
        if (IsOn(value)) {
            checkState_ = chChecked;
            ShowStateImage(6);
            for (Integer i = 0; i < p->children_.Count(); ++i) {
                TTreeExNode* sibling = p->children_.Get(i);
                if (sibling == this) continue;
                sibling->checkState_ = chUnchecked;
                sibling->ShowStateImage(sibling->enabled_ ? 5 : 7);
            }
        }
        break;
    default:
        break;
    }
    // The ancestors show their new marks before anyone hears of the change.
    if (upward && p != owner_->root_.get() && p->parent_ && p->parent_->checkType_ == ctTriState)
        p->UpdateCheckFromChildren();
    if (tree) tree->Checked(this);
}

void TTreeExNode::UpdateCheckFromChildren() {
    TTreeExNode* node = this;
    while (node) {
        Integer on = 0;
        for (Integer i = 0; i < node->children_.Count(); ++i)
            if (IsOn(node->children_.Get(i)->checkState_)) ++on;
        if (on == 0) {
            node->checkState_ = chUnchecked;
            node->ShowStateImage(1);
        } else if (on == node->children_.Count()) {
            node->checkState_ = chChecked;
            node->ShowStateImage(2);
        } else {
            node->checkState_ = chPartial;
            node->ShowStateImage(4);
        }
        TTreeExNode* p = node->parent_;
        if (!p || p == owner_->root_.get() || !p->parent_ || p->parent_->checkType_ != ctTriState) break;
        node = p;
    }
}

void TTreeExNode::SetCheckType(TCheckType v) {
    if (v == checkType_) return;
    switch (v) {
    case ctNone:
        for (Integer i = 0; i < children_.Count(); ++i) {
            TTreeExNode* c = children_.Get(i);
            c->checkState_ = chUnchecked;
            c->ShowStateImage(0);
        }
        break;
    case ctCheckBox:
        for (Integer i = 0; i < children_.Count(); ++i) {
            TTreeExNode* c = children_.Get(i);
            if (c->checkState_ == chChecked) c->ShowStateImage(c->enabled_ ? 2 : 4);
            else c->ShowStateImage(c->enabled_ ? 1 : 3);
        }
        break;
    case ctTriState:
        checkState_ = chUnchecked;
        for (Integer i = 0; i < children_.Count(); ++i) {
            TTreeExNode* c = children_.Get(i);
            c->ShowStateImage(c->enabled_ ? 1 : 3);
        }
        break;
    case ctRadioButton: {
        for (Integer i = 0; i < children_.Count(); ++i) {
            TTreeExNode* c = children_.Get(i);
            c->checkState_ = chUnchecked;
            c->ShowStateImage(c->enabled_ ? 5 : 7);
        }
        for (Integer i = 0; i < children_.Count(); ++i) {
            TTreeExNode* c = children_.Get(i);
            if (c->enabled_) {
                c->checkState_ = chChecked;
                c->ShowStateImage(6);
                break;
            }
        }
        break;
    }
    default:
        break;
    }
    checkType_ = v;
}

void TTreeExNode::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    if (!parent_ || parent_->checkType_ == ctNone) return;
    Integer image = stateIndex_;
    if (v) {
        if (image == 3) ShowStateImage(1);
        else if (image == 4 && parent_->checkType_ == ctCheckBox) ShowStateImage(2);
        else if (image == 7) ShowStateImage(5);
        else if (image == 8) ShowStateImage(6);
    } else {
        if (image == 1) ShowStateImage(3);
        else if (image == 2) ShowStateImage(4);
        else if (image == 5) ShowStateImage(7);
        else if (image == 6) ShowStateImage(8);
    }
}

void TTreeExNode::ToggleCheck() {
    if (!parent_) return;
    TCheckType kind = parent_->checkType_;
    if (enabled_) {
        const TCheckState before = checkState_;
        TTreeExNodes* owner = owner_;
        switch (kind) {
        case ctCheckBox:
            ChangeCheck(checkState_ == chUnchecked ? chChecked : chUnchecked);
            break;
        case ctTriState:
            ChangeCheck(checkState_ == chUnchecked ? chPartial : checkState_ == chPartial ? chChecked : chUnchecked);
            break;
        case ctRadioButton:
            ChangeCheck(chChecked);
            break;
        default:
            break;
        }
        // A change OnChecking refused leaves the pressed picture: show the mark as it stands.
        if (owner->IsLive(this) && !deleting_ && checkState_ == before) {
            switch (kind) {
            case ctCheckBox: ShowStateImage(checkState_ == chUnchecked ? 1 : 2); break;
            case ctTriState: ShowStateImage(checkState_ == chUnchecked ? 1 : checkState_ == chChecked ? 2 : 4); break;
            case ctRadioButton: ShowStateImage(checkState_ == chUnchecked ? 5 : 6); break;
            default: break;
            }
        }
        return;
    }
    // A disabled node only loses its pressed look.
    switch (kind) {
    case ctCheckBox:
        ShowStateImage(checkState_ == chUnchecked ? 1 : 2);
        break;
    case ctTriState:
        if (checkState_ == chUnchecked) ShowStateImage(1);
        else if (checkState_ == chChecked) ShowStateImage(2);
        break;
    case ctRadioButton:
        ShowStateImage(checkState_ == chUnchecked ? 5 : 6);
        break;
    default:
        break;
    }
}
