// TListView: columns, items with sub-items, selection, report painting.
#include <algorithm>

#include "platform/ComCtrls.h"
#include "platform/ControlStyle.h"
#include "platform/SysUtils.h"
#include "detail/LayerFormat.h"

namespace {
// Space around a row's text and under the header's.
constexpr int kRowPadding = 2;
constexpr int kHeaderPadding = 6;
constexpr int kTextIndent = 4;
// How far either side of a header divider the pointer takes it.
constexpr int kDividerGrip = 3;
}  // namespace

// ---- columns

void TListColumn::SetCaption(const String& Value) {
    caption_ = Value;
    if (view_) view_->Invalidate();
}

Integer TListColumn::Width() const {
    if (!autoSize_ || !view_) return width_;
    Integer others = 0;
    for (Integer i = 0; i < view_->columns_.Count(); ++i) {
        const TListColumn* c = view_->columns_.Items(i);
        if (c != this) others += c->autoSize_ ? 0 : c->width_;
    }
    return std::max<Integer>(view_->ClientWidth() - others, 0);
}

void TListColumn::SetWidth(Integer Value) {
    width_ = Value;
    if (view_) view_->Invalidate();
}

void TListColumn::SetAlignment(TAlignment Value) {
    alignment_ = Value;
    if (view_) view_->Invalidate();
}

void TListColumn::SetAutoSize(bool Value) {
    autoSize_ = Value;
    if (view_) view_->Invalidate();
}

Integer TListColumn::Index() const {
    if (!view_) return -1;
    for (Integer i = 0; i < view_->columns_.Count(); ++i)
        if (view_->columns_.Items(i) == this) return i;
    return -1;
}

TListColumn* TListColumns::Add() {
    columns_.push_back(std::make_unique<TListColumn>());
    columns_.back()->view_ = view_;
    view_->Invalidate();
    return columns_.back().get();
}

TListColumn* TListColumns::Items(Integer Index) const {
    if (Index < 0 || Index >= Count()) throw EListError(platform::detail::LayerFormat("List index out of bounds (%d)", {Index}));
    return columns_[static_cast<std::size_t>(Index)].get();
}

void TListColumns::Delete(Integer Index) {
    Items(Index);
    columns_.erase(columns_.begin() + Index);
    view_->Invalidate();
}

void TListColumns::Clear() {
    columns_.clear();
    view_->Invalidate();
}

// ---- items

void TListItem::SetCaption(const String& Value) {
    caption_ = Value;
    if (owner_) owner_->view_->Invalidate();
}

Integer TListItem::Index() const { return owner_ ? owner_->IndexOf(this) : -1; }

TCustomListView* TListItem::ListView() const { return owner_ ? owner_->view_ : nullptr; }

void TListItem::SetSelected(bool Value) {
    if (selected_ == Value) return;
    TCustomListView* view = ListView();
    if (Value && view && !view->multiSelect_) {
        for (TListItem* other : owner_->items_)
            if (other != this && other->selected_) {
                other->selected_ = false;
                view->SelectItem(other, false);
            }
    }
    selected_ = Value;
    if (view) {
        view->Invalidate();
        view->SelectItem(this, Value);
    }
}

void TListItem::SetFocused(bool Value) {
    if (focused_ == Value) return;
    if (Value && owner_)
        for (TListItem* other : owner_->items_) other->focused_ = false;
    focused_ = Value;
}

void TListItem::Delete() {
    if (owner_) owner_->Delete(Index());
}

TListItems::~TListItems() {
    for (TListItem* item : items_) delete item;
}

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Insert(Integer Index) {
    Index = std::clamp<Integer>(Index, 0, Count());
    auto* item = new TListItem();
    item->owner_ = this;
    items_.insert(items_.begin() + Index, item);
    if (!updating_) view_->Invalidate();
    return item;
}

TListItem* TListItems::Item(Integer Index) const {
    if (Index < 0 || Index >= Count()) throw EListError(platform::detail::LayerFormat("List index out of bounds (%d)", {Index}));
    return items_[static_cast<std::size_t>(Index)];
}

Integer TListItems::IndexOf(const TListItem* Item) const {
    auto it = std::find(items_.begin(), items_.end(), Item);
    return it == items_.end() ? -1 : static_cast<Integer>(it - items_.begin());
}

void TListItems::Delete(Integer Index) {
    TListItem* item = Item(Index);
    if (view_->OnDeletion && !view_->Destroying()) view_->OnDeletion(view_, item);
    Index = IndexOf(item);
    if (Index >= 0) items_.erase(items_.begin() + Index);
    delete item;
    view_->Invalidate();
}

void TListItems::Clear() {
    std::vector<TListItem*> old;
    old.swap(items_);
    for (TListItem* item : old) {
        if (view_->OnDeletion && !view_->Destroying()) view_->OnDeletion(view_, item);
        delete item;
    }
    view_->Invalidate();
}

void TListItems::EndUpdate() {
    if (updating_ > 0 && --updating_ == 0) view_->Invalidate();
}

// ---- the view

TCustomListView::TCustomListView(TComponent* AOwner) : TCustomControl(AOwner), columns_(this), items_(this) {
    width_ = 250;
    height_ = 150;
    SetTabStop(true);
    SetColor(clWindow);
    SetParentColor(false);
}

TCustomListView::~TCustomListView() {
    if (smallImages_) RemoveFreeNotification(smallImages_);
    if (largeImages_) RemoveFreeNotification(largeImages_);
}

void TCustomListView::SetSmallImages(TCustomImageList* Value) {
    if (smallImages_) RemoveFreeNotification(smallImages_);
    smallImages_ = Value;
    if (Value) Value->FreeNotification(this);
}

void TCustomListView::SetLargeImages(TCustomImageList* Value) {
    if (largeImages_) RemoveFreeNotification(largeImages_);
    largeImages_ = Value;
    if (Value) Value->FreeNotification(this);
}

void TCustomListView::ComponentRemoved(TComponent* AComponent) {
    TCustomControl::ComponentRemoved(AComponent);
    if (AComponent == smallImages_) smallImages_ = nullptr;
    if (AComponent == largeImages_) largeImages_ = nullptr;
}

TListItem* TCustomListView::Selected() const {
    for (TListItem* item : items_.items_)
        if (item->selected_) return item;
    return nullptr;
}

void TCustomListView::SetSelected(TListItem* Value) {
    for (TListItem* item : std::vector<TListItem*>(items_.items_))
        if (item != Value && item->selected_) item->SetSelected(false);
    if (Value) Value->SetSelected(true);
}

void TCustomListView::ClearSelection() { SetSelected(nullptr); }

Integer TCustomListView::SelCount() const {
    return static_cast<Integer>(std::count_if(items_.items_.begin(), items_.items_.end(), [](const TListItem* i) { return i->selected_; }));
}

TListItem* TCustomListView::ItemFocused() const {
    for (TListItem* item : items_.items_)
        if (item->focused_) return item;
    return nullptr;
}

void TCustomListView::SetItemFocused(TListItem* Value) {
    if (Value)
        Value->SetFocused(true);
    else
        for (TListItem* item : items_.items_) item->focused_ = false;
}

void TCustomListView::SelectItem(TListItem* Item, bool Selected) {
    if (CanRunEvents() && OnSelectItem) OnSelectItem(this, Item, Selected);
    if (CanRunEvents() && OnChange) OnChange(this);
}

Integer TCustomListView::RowHeight() const { return platform::FontCellHeight(font_.Height()) + 2 * kRowPadding; }

Integer TCustomListView::HeaderHeight() const {
    return viewStyle_ == vsReport && showColumnHeaders_ ? platform::FontCellHeight(font_.Height()) + kHeaderPadding : 0;
}

Integer TCustomListView::ColumnDividerAt(Integer X, Integer Y) const {
    if (Y < 0 || Y >= HeaderHeight()) return -1;
    Integer edge = 0;
    Integer found = -1;
    for (Integer i = 0; i < columns_.Count(); ++i) {
        const TListColumn* col = columns_.Items(i);
        edge += col->Width();
        // The last of several dividers on one spot: a column dragged to nothing comes back.
        if (!col->AutoSize() && X >= edge - kDividerGrip && X <= edge + kDividerGrip) found = i;
    }
    return found;
}

void TCustomListView::UpdateDividerCursor() {
    POINT p;
    GetCursorPos(&p);
    ::ScreenToClient(Handle(), &p);
    const bool on = sizingColumn_ >= 0 || ColumnDividerAt(p.x, p.y) >= 0;
    if (on == dividerCursor_) return;
    if (on) restCursor_ = Cursor();
    SetCursor(on ? crHSplit : restCursor_);
    dividerCursor_ = on;
}

TListItem* TCustomListView::GetItemAt(Integer X, Integer Y) const {
    (void)X;
    Integer row = (Y - HeaderHeight());
    if (row < 0) return nullptr;
    row = row / RowHeight() + topIndex_;
    return row < items_.Count() ? items_.Item(row) : nullptr;
}

Integer TCustomListView::VisibleRows() const {
    return std::max<Integer>((ClientHeight() - HeaderHeight()) / std::max<Integer>(RowHeight(), 1), 1);
}

RECT TCustomListView::ScrollBarRect() const {
    RECT client = ClientRect();
    client.top = HeaderHeight();
    return platform::VerticalBarRect(client, false);
}

bool TCustomListView::ShowsScrollBar() const { return items_.Count() > VisibleRows(); }

void TCustomListView::SetTopIndex(Integer Value) {
    Integer top = std::clamp<Integer>(Value, 0, std::max<Integer>(items_.Count() - VisibleRows(), 0));
    if (HandleAllocated()) {
        SCROLLINFO si;
        si.fMask = SIF_ALL;
        si.nMax = std::max<Integer>(items_.Count() - 1, 0);
        si.nPage = static_cast<UINT>(VisibleRows());
        si.nPos = top;
        SetScrollInfo(Handle(), SB_VERT, &si, FALSE_);
    }
    if (top == topIndex_) return;
    topIndex_ = top;
    Invalidate();
}

void TCustomListView::ScrollIntoView(TListItem* Item) {
    if (!Item) return;
    Integer i = Item->Index();
    if (i < topIndex_) SetTopIndex(i);
    else if (i >= topIndex_ + VisibleRows()) SetTopIndex(i - VisibleRows() + 1);
    else SetTopIndex(topIndex_);
}

void TCustomListView::UserSelect(TListItem* Item, TShiftState Shift) {
    if (!Item) return;
    std::weak_ptr<bool> alive = AliveToken();
    if (multiSelect_ && (Shift & ssCtrl)) {
        Item->SetSelected(!Item->Selected());
    } else {
        for (TListItem* item : std::vector<TListItem*>(items_.items_)) {
            if (alive.expired()) return;
            if (item != Item && item->selected_) item->SetSelected(false);
        }
        if (alive.expired()) return;
        Item->SetSelected(true);
    }
    if (!alive.expired()) Item->SetFocused(true);
}

void TCustomListView::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN: {
            POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
            if (Message.Msg == WM_LBUTTONDOWN && HandleAllocated() && ShowsScrollBar() &&
                vbar_.MouseDown(Handle(), ScrollBarRect(), p)) {
                SetCapture(Handle());
                return;
            }
            if (HandleAllocated() && CanFocus() && !Focused()) ::SetFocus(Handle());
            if (Integer col = ColumnDividerAt(p.x, p.y); Message.Msg == WM_LBUTTONDOWN && col >= 0 && HandleAllocated()) {
                Integer edge = 0;
                for (Integer i = 0; i <= col; ++i) edge += columns_.Items(i)->Width();
                sizingColumn_ = col;
                sizingOffset_ = p.x - edge;
                SetCapture(Handle());
                return;
            }
            TListItem* item = GetItemAt(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
            if (item && Enabled()) UserSelect(item, MouseKeysToShiftState(Message.WParam));
            if (Message.Msg == WM_LBUTTONDOWN && !item && viewStyle_ == vsReport &&
                GET_Y_LPARAM(Message.LParam) < HeaderHeight()) {
                Integer x = 0;
                for (Integer i = 0; i < columns_.Count(); ++i) {
                    x += columns_.Items(i)->Width();
                    if (GET_X_LPARAM(Message.LParam) < x) {
                        if (CanRunEvents() && OnColumnClick) OnColumnClick(this, columns_.Items(i));
                        break;
                    }
                }
            }
            break;
        }
        case WM_KEYDOWN:
            if (Message.WParam == VK_UP || Message.WParam == VK_DOWN || Message.WParam == VK_HOME ||
                Message.WParam == VK_END || Message.WParam == VK_PRIOR || Message.WParam == VK_NEXT) {
                Word key = static_cast<Word>(Message.WParam);
                if (DoKeyDown(key, KeyboardStateToShiftState())) return;
                if (items_.Count() == 0) return;
                TListItem* cur = ItemFocused() ? ItemFocused() : Selected();
                Integer i = cur ? cur->Index() : -1;
                switch (key) {
                    case VK_DOWN: i = i + 1; break;
                    case VK_UP: i = i - 1; break;
                    case VK_HOME: i = 0; break;
                    case VK_END: i = items_.Count() - 1; break;
                    case VK_PRIOR: i = i - VisibleRows() + 1; break;
                    default: i = i + VisibleRows() - 1; break;
                }
                i = std::clamp<Integer>(i, 0, items_.Count() - 1);
                UserSelect(items_.Item(i), 0);
                ScrollIntoView(items_.Item(i));
                return;
            }
            break;
        case WM_MOUSEMOVE: {
            POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
            if (sizingColumn_ >= 0 && sizingColumn_ < columns_.Count()) {
                Integer left = 0;
                for (Integer i = 0; i < sizingColumn_; ++i) left += columns_.Items(i)->Width();
                columns_.Items(sizingColumn_)->SetWidth(std::max<Integer>(p.x - sizingOffset_ - left, 0));
                return;
            }
            if (HandleAllocated() && ShowsScrollBar() && (vbar_.MouseMove(Handle(), ScrollBarRect(), p) || vbar_.Active()))
                return;
            break;
        }
        case WM_LBUTTONUP: {
            POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
            if (sizingColumn_ >= 0) {
                sizingColumn_ = -1;
                if (GetCapture() == Handle()) ReleaseCapture();
                return;
            }
            if (HandleAllocated() && vbar_.MouseUp(Handle(), ScrollBarRect(), p)) {
                if (GetCapture() == Handle()) ReleaseCapture();
                return;
            }
            break;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS: Invalidate(); break;
        case WM_CAPTURECHANGED: sizingColumn_ = -1; break;
        case WM_SETCURSOR:
            if (HandleAllocated()) UpdateDividerCursor();
            break;
        case WM_MOUSEWHEEL:
            SetTopIndex(topIndex_ - static_cast<short>(HIWORD(Message.WParam)) / 120 * 3);
            return;
        case WM_VSCROLL:
            SetTopIndex(platform::ScrollRequestPos(Message.WParam, topIndex_, VisibleRows(), items_.Count()));
            return;
        case WM_SIZE:
            TCustomControl::WndProc(Message);
            SetTopIndex(topIndex_);
            return;
        default: break;
    }
    TCustomControl::WndProc(Message);
}

void TCustomListView::Paint() {
    TCanvas& canvas = *Canvas();
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(ClientRect());
    canvas.Font()->Assign(Font());
    TStyleCanvas c(canvas);
    const platform::Style& style = platform::Style::Current();
    const bool focused = Focused();
    const platform::PartState enabled = Enabled() ? platform::psNormal : platform::psDisabled;
    Integer y = 0;
    std::vector<Integer> lefts;
    Integer x = 0;
    for (Integer i = 0; i < columns_.Count(); ++i) {
        lefts.push_back(x);
        x += columns_.Items(i)->Width();
    }
    // A column's text, cut to its width, and where it starts: a cell too narrow keeps the start
    // of its text and ends in an ellipsis, whatever its alignment (aligned text that overflowed
    // would lose its start on one side). The header's caption is aligned as its cells are.
    auto fitted = [&](Integer i, const String& text, Integer& tx) {
        TListColumn* col = columns_.Items(i);
        String cut = platform::EllipsizeText(c.font, text, col->Width() - 2 * kTextIndent);
        const Integer w = c.TextWidth(cut);
        tx = col->Alignment() == taRightJustify ? lefts[i] + col->Width() - kTextIndent - w
             : col->Alignment() == taCenter    ? lefts[i] + (col->Width() - w) / 2
                                               : lefts[i] + kTextIndent;
        return cut;
    };
    if (viewStyle_ == vsReport && showColumnHeaders_) {
        for (Integer i = 0; i < columns_.Count(); ++i) {
            TListColumn* col = columns_.Items(i);
            RECT r = Rect(lefts[i], 0, lefts[i] + col->Width(), HeaderHeight());
            style.HeaderSection(c, r, enabled);
            Integer tx = 0;
            const String caption = fitted(i, col->Caption(), tx);
            style.TextClipped(c, r, tx, kHeaderPadding / 2, caption, style.Colors().buttonText, enabled);
        }
        // The header runs on to the right edge past the last column.
        if (x < ClientWidth()) style.HeaderSection(c, Rect(x, 0, ClientWidth() + 1, HeaderHeight()), enabled);
        y = HeaderHeight();
    }
    const int top = y;
    const COLORREF ink = ColorToRGB(Font()->Color());
    for (Integer r = topIndex_; r < items_.Count() && y < height_; ++r, y += RowHeight()) {
        TListItem* item = items_.Item(r);
        bool highlight = item->Selected() && (!hideSelection_ || focused);
        COLORREF rowInk = highlight ? style.SelectionText(focused) : ink;
        RECT row = Rect(0, y, viewStyle_ == vsReport && rowSelect_ ? ClientWidth() : (columns_.Count() ? lefts[0] + columns_.Items(0)->Width() : ClientWidth()), y + RowHeight());
        if (highlight) style.Selection(c, row, focused);
        if (viewStyle_ != vsReport) {
            style.Text(c, kTextIndent, y + kRowPadding, item->Caption(), rowInk, enabled);
        } else {
            for (Integer i = 0; i < columns_.Count(); ++i) {
                TListColumn* col = columns_.Items(i);
                String text = i == 0 ? item->Caption() : (i - 1 < item->SubItems()->Count() ? item->SubItems()->Strings(i - 1) : String());
                Integer tx = 0;
                text = fitted(i, text, tx);
                // Without row selection only the first column wears the selection.
                COLORREF cellInk = (i == 0 || rowSelect_) ? rowInk : ink;
                style.TextClipped(c, Rect(lefts[i], y, lefts[i] + col->Width(), y + RowHeight()), tx, y + kRowPadding,
                                  text, cellInk, enabled);
            }
        }
        if (focused && item->Focused()) style.FocusMark(c, row);
        if (gridLines_) style.GridLine(c, 0, y + RowHeight() - 1, ClientWidth(), y + RowHeight() - 1);
    }
    // With no focused item the focus still shows, where the first row is or would be.
    if (focused && !ItemFocused()) style.FocusMark(c, Rect(0, top, ClientWidth(), top + RowHeight()));
    if (gridLines_ && viewStyle_ == vsReport)
        for (Integer i = 1; i <= columns_.Count(); ++i) {
            Integer gx = i < columns_.Count() ? lefts[i] - 1 : x - 1;
            style.GridLine(c, gx, top, gx, y);
        }
    if (ShowsScrollBar() && HandleAllocated()) vbar_.Paint(Handle(), c, ScrollBarRect());
}
