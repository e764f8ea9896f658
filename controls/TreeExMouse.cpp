// Mouse and keys of the tree control: the set of selected nodes grows with Ctrl and Shift
// clicks, keyboard ranges and a rubber band drawn over empty space; a press on a check box
// shows it pressed and the release toggles it.
//
// The window itself knows one caret item only. The control keeps the selected nodes in the
// collection's Selection and marks their items; the window's selection notices keep the caret
// item in it. Handlers run inside these paths may delete nodes: a node is used again only when
// the collection still holds it.
#include "controls/TreeEx.h"

namespace {

constexpr TShiftState kClickKeys = ssShift | ssCtrl;

bool RectsMeet(const RECT& a, const RECT& b) {
    RECT common;
    return IntersectRect(&common, &a, &b) != 0;
}

}  // namespace

bool TCustomTreeEx::RubberBandVisible() const { return rubberBanding_ && !IsRectEmpty(&rubberRect_); }

// An XOR outline: drawing it twice at one place erases it.
void TCustomTreeEx::DrawRubberBand() {
    if (!HandleAllocated()) return;
    HDC dc = GetDC(Handle());
    if (!dc) return;
    DrawFocusRect(dc, &rubberRect_);
    ReleaseDC(Handle(), dc);
}

void TCustomTreeEx::LeftButtonDown(TMessage& message) {
    using H = TTreeHitTest;
    if (IsEditing()) {
        TWinControl::WndProc(message);
        return;
    }
    TTreeExNodes& items = *items_;
    ::SetFocus(Handle());
    const int x = GET_X_LPARAM(message.LParam), y = GET_Y_LPARAM(message.LParam);
    const TTreeHitTests hits = HitTestAt(x, y);
    const TShiftState shift = MouseKeysToShiftState(message.WParam) & kClickKeys;
    const bool multi = options_.Has(TTreeOption::toMultiSelect);

    if (((hits & HitBit(H::thOnItem)) || options_.Has(TTreeOption::toFullRowSelect)) &&
        !(hits & HitBit(H::thOnStateIcon))) {
        dragPending_ = false;
        dragNode_ = nullptr;
        TTreeExNode* old = Selected();
        TTreeExNode* node = NodeAtPoint(x, y);
        const bool wasSelected = node && node->Selected();
        if (!node || (!node->Selected() && shift == 0)) ClearSelection();
        const bool oldUnselected = !(old && items.IsLive(old) && old->Selected());
        if (shift != 0) {
            SetSelected(nullptr);
            items.multiSelecting_ = true;
        }
        try {
            InheritedLeftButtonDown(message);
        } catch (...) {
            items.multiSelecting_ = false;
            throw;
        }
        if (!items.IsLive(node)) node = nullptr;
        if (!items.IsLive(old)) old = nullptr;
        if (options_.Has(TTreeOption::toLevelSelectConstraint) && node) items.SelectNode(node, TSelectMode::smUnselect);
        items.multiSelecting_ = false;
        if (!HandleAllocated()) return;
        if (DragMode() == dmAutomatic) {
            // The class library's threshold stands in for the window's drag detection: a drag
            // that starts takes the node; a release before it applies the click.
            if (node) {
                dragNode_ = node;
                clickPending_ = multi;
                pendingClick_ = PendingClick{old, oldUnselected, shift, wasSelected, node};
                BeginDrag(false);
                return;
            }
            Perform(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
            if (multi) ApplyClickSelection(old, oldUnselected, shift, wasSelected, nullptr);
            return;
        }
        if (multi) ApplyClickSelection(old, oldUnselected, shift, wasSelected, node);
        return;
    }
    if ((hits & (HitBit(H::thNowhere) | HitBit(H::thOnIndent) | HitBit(H::thOnRight))) && multi) {
        rubberBanding_ = true;
        rubberOrigin_ = POINT{x, y};
        rubberRect_ = RECT{};
        rubberNodes_ = std::make_unique<TTreeNodeList>();
        rubberNodes_->SetCapacity(std::max<Integer>(items.Count(), 0));
        if (shift == 0) ClearSelection();
        InheritedLeftButtonDown(message);
        return;
    }
    if (hits & HitBit(H::thOnStateIcon)) {
        SetCapture(Handle());
        pressedNode_ = NodeAtPoint(x, y);
        if (pressedNode_ && options_.Has(TTreeOption::toCheckSupport)) {
            switch (pressedNode_->StateIndex()) {
            case 1: pressedNode_->ShowStateImage(3); break;
            case 2: pressedNode_->ShowStateImage(4); break;
            case 5: pressedNode_->ShowStateImage(7); break;
            case 6: pressedNode_->ShowStateImage(8); break;
            default: break;
            }
        }
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

void TCustomTreeEx::InheritedLeftButtonDown(TMessage& message) {
    if (DragMode() != dmAutomatic) {
        TWinControl::WndProc(message);
        return;
    }
    // Straight to the handlers: the control starts its drags itself, from nodes only.
    SetControlState(ControlState() | csLButtonDown | csClicked);
    std::weak_ptr<bool> alive = AliveToken();
    MouseDown(mbLeft, MouseKeysToShiftState(message.WParam) | ssLeft, GET_X_LPARAM(message.LParam),
              GET_Y_LPARAM(message.LParam));
    if (!alive.expired()) DefaultHandler(message);
}

void TCustomTreeEx::ApplyClickSelection(TTreeExNode* old, bool oldUnselected, TShiftState shift, bool wasSelected,
                                        TTreeExNode* node) {
    TTreeExNodes& items = *items_;
    auto live = [&](TTreeExNode*& n) { return n = items.IsLive(n) ? n : nullptr; };
    if ((shift & ssCtrl) && (shift & ssShift)) {
        if (live(old) && live(node)) items.SelectNodes(old, node, true);
    } else if (shift & ssCtrl) {
        // Old gets back the state it had before the click; the clicked node toggles.
        if (live(old)) items.SelectNode(old, oldUnselected ? TSelectMode::smUnselect : TSelectMode::smSelect);
        if (live(node)) items.SelectNode(node, wasSelected ? TSelectMode::smUnselect : TSelectMode::smSelect);
    } else if (shift & ssShift) {
        if (!shiftAnchor_) shiftAnchor_ = live(node);
        else if (live(node)) items.SelectNodes(shiftAnchor_, node, false);
    } else if (live(node)) {
        ClearSelection();
        if (live(node)) items.SelectNode(node, TSelectMode::smSelect);
        if (live(node)) {
            shiftAnchor_ = node;
            items.selectLevel_ = node->Level();
        }
    }
    if (live(node)) items.Repaint(node);
}

void TCustomTreeEx::LeftButtonUp(TMessage& message) {
    // Released before a drag started: the press was a click after all, and a later drag takes
    // the node under the cursor, never this press's node.
    const bool clickPending = clickPending_;
    const PendingClick c = pendingClick_;
    clickPending_ = false;
    dragNode_ = nullptr;
    pendingClick_ = PendingClick{};
    if (clickPending) ApplyClickSelection(c.old, c.oldUnselected, c.shift, c.wasSelected, c.node);
    if (rubberBanding_) {
        bool visible = RubberBandVisible();
        rubberBanding_ = false;
        rubberNodes_.reset();
        if (visible) DrawRubberBand();
    }
    if (pressedNode_) {
        // The release toggles wherever the pointer is.
        TTreeExNode* node = pressedNode_;
        pressedNode_ = nullptr;
        if (GetCapture() == Handle()) ReleaseCapture();
        node->ToggleCheck();
    }
    if (HandleAllocated()) TWinControl::WndProc(message);
}

void TCustomTreeEx::LeftDoubleClick(TMessage& message) {
    TWinControl::WndProc(message);
    if (!HandleAllocated() || !options_.Has(TTreeOption::toFullRowSelect) || options_.Has(TTreeOption::toSingleExpand))
        return;
    const int x = GET_X_LPARAM(message.LParam), y = GET_Y_LPARAM(message.LParam);
    if (!(HitTestAt(x, y) & HitBit(TTreeHitTest::thOnRight))) return;
    if (TTreeExNode* node = NodeAtPoint(x, y)) {
        if (node->Expanded()) node->Collapse(false);
        else node->Expand(false);
    }
}

void TCustomTreeEx::MouseMove(TShiftState shift, int x, int y) {
    // With or without a button held, and during a rubber band too, whose rectangle then moves
    // with the scrolled content.
    if (options_.Has(TTreeOption::toAutoScroll)) DoAutoScroll(x, y);
    if (!rubberBanding_) {
        TWinControl::MouseMove(shift, x, y);
        return;
    }
    if (RubberBandVisible()) DrawRubberBand();
    rubberRect_ = RECT{std::min<int>(rubberOrigin_.x, x), std::min<int>(rubberOrigin_.y, y),
                       std::max<int>(rubberOrigin_.x, x), std::max<int>(rubberOrigin_.y, y)};
    if (items_->Count() > 0) UpdateRubberBand(shift, rubberRect_);
    if (!HandleAllocated() || !rubberBanding_) return;
    UpdateWindow(Handle());
    if (RubberBandVisible()) DrawRubberBand();
}

void TCustomTreeEx::UpdateRubberBand(TShiftState shift, const RECT& rect) {
    TTreeExNodes& items = *items_;
    items.multiSelecting_ = true;
    bool changed = false;
    TTreeExNode* first = NodeAtPoint(0, rect.top);
    if (!first) first = items.GetFirstNode();
    TTreeExNode* last = NodeAtPoint(ClientWidth(), rect.bottom);
    // A snapshot of the nodes in pre-order: handlers may change the tree while nodes are
    // selected, so each entry is checked before it is used.
    items.FillItemCache();
    std::vector<TTreeExNode*> cache(items.itemCache_->List(), items.itemCache_->List() + items.itemCache_->Count());
    const Integer count = static_cast<Integer>(cache.size());
    Integer end = last ? std::min(items.IndexInCache(last) + 1, count - 1) : count - 1;
    Integer start = std::max<Integer>(items.IndexInCache(first), 0);
    auto textRect = [&](TTreeExNode* n) { return n->ItemRect(true); };
    try {
        if (shift & ssCtrl) {
            for (Integer i = start; i <= end && rubberNodes_; ++i) {
                TTreeExNode* n = cache[static_cast<size_t>(i)];
                if (!items.IsLive(n) || rubberNodes_->IndexOf(n) >= 0 || !RectsMeet(textRect(n), rect)) continue;
                rubberNodes_->Add(n);
                items.SelectNode(n, TSelectMode::smToggle);
                changed = true;
            }
            for (Integer i = 0; rubberNodes_ && i < rubberNodes_->Count(); ++i) {
                TTreeExNode* n = rubberNodes_->Get(i);
                if (!n || !items.IsLive(n) || RectsMeet(textRect(n), rect)) continue;
                rubberNodes_->Put(i, nullptr);
                items.SelectNode(n, TSelectMode::smToggle);
                changed = true;
            }
            if (rubberNodes_) rubberNodes_->Pack();
        } else {
            for (Integer i = rubberNodes_ ? rubberNodes_->Count() - 1 : -1; rubberNodes_ && i >= 0; --i) {
                if (i >= rubberNodes_->Count()) continue;
                TTreeExNode* n = rubberNodes_->Get(i);
                if (!n || !items.IsLive(n) || RectsMeet(textRect(n), rect)) continue;
                rubberNodes_->Put(i, nullptr);
                items.SelectNode(n, TSelectMode::smUnselect);
                changed = true;
            }
            if (rubberNodes_) rubberNodes_->Pack();
            for (Integer i = start; i <= end && rubberNodes_; ++i) {
                TTreeExNode* n = cache[static_cast<size_t>(i)];
                if (!items.IsLive(n) || !n->IsVisible() || rubberNodes_->IndexOf(n) >= 0 || !RectsMeet(textRect(n), rect))
                    continue;
                rubberNodes_->Add(n);
                items.SelectNode(n, TSelectMode::smSelect);
                changed = true;
            }
        }
    } catch (...) {
        items.multiSelecting_ = false;
        throw;
    }
    items.multiSelecting_ = false;
    if (changed) DelayedChange(items.IsLive(last) ? last : nullptr);
}

// ---- keys

void TCustomTreeEx::WMKeyDown(TMessage& message) {
    TTreeExNodes& items = *items_;
    const WPARAM key = message.WParam;
    if (!options_.Has(TTreeOption::toMultiSelect)) {
        shiftAnchor_ = Selected();
        TWinControl::WndProc(message);
        return;
    }
    const TShiftState shift = KeyboardStateToShiftState() & (ssShift | ssCtrl | ssAlt);
    TTreeExNode* cur = Selected();
    if ((shift & ssCtrl) || !cur) {
        TWinControl::WndProc(message);
        return;
    }
    switch (key) {
    case VK_UP:
    case VK_DOWN: {
        TTreeExNode* next = key == VK_UP ? cur->GetPrevVisible() : cur->GetNextVisible();
        if (shift == ssShift) {
            if (!shiftAnchor_) {
                shiftAnchor_ = next;
                ClearSelection();
            }
            if (next && items.IsLive(next)) {
                const bool nextWasSelected = next->Selected();
                TWinControl::WndProc(message);
                // The range grows by the node left behind; moving back into the range leaves
                // it unselected, so the range shrinks.
                if (!nextWasSelected && items.IsLive(cur)) items.SelectNode(cur, TSelectMode::smSelect);
            } else {
                TWinControl::WndProc(message);
            }
        } else {
            if (next) ClearSelection();
            TWinControl::WndProc(message);
            shiftAnchor_ = Selected();
        }
        return;
    }
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
        if (shift == ssShift) {
            if (!shiftAnchor_) {
                shiftAnchor_ = cur;
                ClearSelection();
            }
            TWinControl::WndProc(message);
            TTreeExNode* now = Selected();
            const Integer count = items.SelectedCount();
            if (now && items.IsLive(cur)) items.ToggleRange(cur, now);
            if (items.SelectedCount() > count && items.IsLive(cur)) items.SelectNode(cur, TSelectMode::smSelect);
        } else {
            if (items.SelectedCount() > 1) ClearSelection();
            TWinControl::WndProc(message);
            shiftAnchor_ = Selected();
        }
        return;
    case VK_SPACE:
        cur->ToggleCheck();
        message.Result = 0;
        return;
    case VK_F1:
        if (HelpKey()) {
            message.Result = 0;
            return;
        }
        break;
    default:
        if (key > 0x30) {
            ClearSelection();
            TWinControl::WndProc(message);
            shiftAnchor_ = items.IsLive(cur) ? cur : nullptr;
            return;
        }
        break;
    }
    TWinControl::WndProc(message);
}
