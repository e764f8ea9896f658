// Drag and drop over the tree control and scrolling near its edges: the drop highlight follows
// the pointer, a collapsed node under it opens after a rest, and the view scrolls ever faster
// while the pointer stays near an edge (the rubber band moves with the content).
#include "controls/TreeEx.h"

#include <cstdlib>

namespace {

constexpr UINT kFirstScrollWait = 300;   // ms before the first step
constexpr UINT kSecondScrollWait = 50;   // the first step's next wait, then shrinking by a quarter
constexpr int kBandLineStep = 5;         // pixels one horizontal line moves the content

SCROLLINFO ScrollInfoOf(HWND hwnd, int bar) {
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    if (!GetTreeScrollInfo(hwnd, bar, &info)) info = SCROLLINFO{};
    return info;
}

// The last position of a bar: the view shows its final page there.
bool AtEnd(const SCROLLINFO& s) { return s.nPos + static_cast<int>(s.nPage) - 1 >= s.nMax; }

}  // namespace

// ---- drag and drop

void TCustomTreeEx::DoStartDrag(TDragObject*& dragObject) {
    TWinControl::DoStartDrag(dragObject);
    TTreeExNodes& items = *items_;
    if (clickPending_ || pendingClick_.node) {
        // A press that became a drag: its node is dragged, with the rest of the selection.
        TTreeExNode* pressed = pendingClick_.node;
        clickPending_ = false;
        pendingClick_ = PendingClick{};
        if (items.IsLive(pressed)) {
            if (options_.Has(TTreeOption::toMultiSelect)) items.SelectNode(pressed, TSelectMode::smSelect);
            else SetSelected(pressed);
            if (items.IsLive(pressed)) pressed->SetFocused(true);
        }
    }
    TTreeExNode* node = items.IsLive(dragNode_) ? dragNode_ : nullptr;
    dragNode_ = nullptr;
    if (!node && HandleAllocated()) {
        LPARAM at = CursorPoint();
        node = NodeAtPoint(GET_X_LPARAM(at), GET_Y_LPARAM(at));
    }
    if (!node) return;
    dragImages_.reset();
    auto handle = reinterpret_cast<HIMAGELIST>(Perform(TVM_CREATEDRAGIMAGE, 0, reinterpret_cast<LPARAM>(node->ItemId())));
    if (TCustomImageList* made = TCustomImageList::FromHandle(handle)) dragImages_.reset(made);
    expandTimer_->SetEnabled(true);
}

TCustomImageList* TCustomTreeEx::GetDragImages() {
    return dragImages_ && dragImages_->Count() > 0 ? dragImages_.get() : nullptr;
}

void TCustomTreeEx::DoEndDrag(TObject* target, int x, int y) {
    expandTimer_->SetEnabled(false);
    dragObject_ = nullptr;
    TWinControl::DoEndDrag(target, x, y);
    dragImages_.reset();
    // The drop is over: its highlight goes, whether or not the drop was taken.
    if (TTreeExNode* dropTarget = DropTargetNode()) {
        SetDropTargetNode(nullptr);
        if (items_->IsLive(dropTarget)) items_->Repaint(dropTarget);
    }
    if (TTreeExNode* selected = Selected()) items_->Repaint(selected);
}

void TCustomTreeEx::CMDragMessage(TMessage& message) {
    // The class library's handling first: OnDragOver and OnDragDrop.
    std::weak_ptr<bool> alive = AliveToken();
    TWinControl::WndProc(message);
    auto* rec = reinterpret_cast<TDragRec*>(message.LParam);
    if (alive.expired() || !rec || !rec->Source || !HandleAllocated()) return;
    switch (static_cast<TDragMessage>(message.WParam)) {
    case dmDragLeave:
        rec->Source->HideDragImage();
        DragLeave();
        rec->Source->ShowDragImage();
        break;
    case dmDragMove: {
        TPoint at = ScreenToClient(rec->Pos);
        DragOverNode(rec->Source, at.x, at.y);
        break;
    }
    case dmDragDrop:
        DragDropped();
        break;
    default:
        break;
    }
}

void TCustomTreeEx::DragOverNode(TDragObject* source, Integer x, Integer y) {
    dragObject_ = source;
    if (options_.Has(TTreeOption::toAutoScroll)) DoAutoScroll(x, y);
    TTreeExNode* node = NodeAtPoint(x, y);
    if (!node || node == DropTargetNode()) return;
    expandTimer_->SetEnabled(false);
    // The highlight moves whether or not the target takes the drop; the rest starts anew.
    if (source) source->HideDragImage();
    node->SetDropTarget(true);
    if (source) source->ShowDragImage();
    expandTimer_->SetEnabled(true);
}

void TCustomTreeEx::DragLeave() {
    if (TTreeExNode* target = DropTargetNode(); target && Dragging()) target->SetDropTarget(false);
    SetDropTargetNode(nullptr);
    // The drag object belongs to the drag, which may end anywhere once it left: no timer of
    // this control may reach it afterwards.
    dragObject_ = nullptr;
    expandTimer_->SetEnabled(false);
}

void TCustomTreeEx::DragDropped() {
    dragObject_ = nullptr;
    dragPending_ = false;
    expandTimer_->SetEnabled(false);
}

void TCustomTreeEx::ExpandTimerTick() {
    expandTimer_->SetEnabled(false);
    if (!options_.Has(TTreeOption::toAutoExpand) || !HandleAllocated()) return;
    TTreeExNode* target = DropTargetNode();
    if (!target || !target->HasChildren() || target->Expanded()) return;
    TDragObject* source = dragObject_;
    if (source) source->HideDragImage();
    target->Expand(false);
    if (HandleAllocated()) UpdateWindow(Handle());
    if (source && source == dragObject_) source->ShowDragImage();
}

// ---- scrolling near the edges

void TCustomTreeEx::DoAutoScroll(Integer x, Integer y) {
    if (!HandleAllocated()) return;
    const Integer height = ItemHeight();
    const Integer zone = height > 0 ? height / 2 : std::abs(Font()->Size());
    scrollDirections_ = 0;
    const SCROLLINFO v = ScrollInfoOf(Handle(), SB_VERT);
    const SCROLLINFO h = ScrollInfoOf(Handle(), SB_HORZ);
    if (x < zone && h.nPos > h.nMin) scrollDirections_ |= sdLeft;
    if (h.nPage > 0 && !AtEnd(h) && x > ClientWidth() - zone) scrollDirections_ |= sdRight;
    if (y < zone && v.nPos > v.nMin) scrollDirections_ |= sdUp;
    if (v.nPage > 0 && y > ClientHeight() - zone && !AtEnd(v)) scrollDirections_ |= sdDown;
    // Each move inside a zone starts the first wait again.
    scrollTimer_->SetEnabled(false);
    scrollTimer_->SetInterval(kFirstScrollWait);
    scrollTimer_->SetEnabled(scrollDirections_ != 0);
}

void TCustomTreeEx::ScrollTimerTick() {
    scrollTimer_->SetEnabled(false);
    if (!HandleAllocated()) return;
    UINT interval = scrollTimer_->Interval();
    if (interval == kFirstScrollWait) interval = kSecondScrollWait;
    const bool paging = interval < 2;
    if (!paging) interval = interval * 3 / 4;
    scrollTimer_->SetInterval(interval);

    TDragObject* source = Dragging() ? dragObject_ : nullptr;
    if (source) source->HideDragImage();
    const bool band = RubberBandVisible();
    if (band) DrawRubberBand();
    const HWND hwnd = Handle();
    const SCROLLINFO v = ScrollInfoOf(hwnd, SB_VERT);
    const Integer rowHeight = ItemHeight();
    if (scrollDirections_ & sdUp) {
        if (v.nPos <= v.nMin) {
            scrollDirections_ &= ~sdUp;
        } else {
            Perform(WM_VSCROLL, paging ? SB_PAGEUP : SB_LINEUP, 0);
            if (band) {
                Integer delta = rowHeight * (v.nPos - ScrollInfoOf(hwnd, SB_VERT).nPos);
                rubberOrigin_.y += delta;
                rubberRect_.bottom += delta;
            }
        }
    }
    if (scrollDirections_ & sdDown) {
        if (AtEnd(v)) {
            scrollDirections_ &= ~sdDown;
        } else {
            Perform(WM_VSCROLL, paging ? SB_PAGEDOWN : SB_LINEDOWN, 0);
            if (band) {
                Integer delta = rowHeight * (ScrollInfoOf(hwnd, SB_VERT).nPos - v.nPos);
                rubberOrigin_.y -= delta;
                rubberRect_.top -= delta;
            }
        }
    }
    const SCROLLINFO h = ScrollInfoOf(hwnd, SB_HORZ);
    if (scrollDirections_ & sdLeft) {
        if (h.nPos <= h.nMin) {
            scrollDirections_ &= ~sdLeft;
        } else {
            Perform(WM_HSCROLL, SB_LINELEFT, 0);
            if (band) {
                rubberOrigin_.x += kBandLineStep;
                rubberRect_.right += kBandLineStep;
            }
        }
    }
    if (scrollDirections_ & sdRight) {
        if (AtEnd(h)) {
            scrollDirections_ &= ~sdRight;
        } else {
            Perform(WM_HSCROLL, SB_LINERIGHT, 0);
            if (band) {
                rubberOrigin_.x -= kBandLineStep;
                rubberRect_.left -= kBandLineStep;
            }
        }
    }
    if (band && RubberBandVisible()) DrawRubberBand();
    if (source && source == dragObject_) source->ShowDragImage();
    if (scrollDirections_ != 0) scrollTimer_->SetEnabled(true);
}
