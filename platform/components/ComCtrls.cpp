// Status bar, page control with tab sheets, tool bar and cool bar.
#include "platform/ComCtrls.h"

#include <algorithm>

#include "platform/MenuLoop.h"
#include "platform/ControlStyle.h"
#include "platform/SysUtils.h"
#include "detail/LayerFormat.h"

namespace {
constexpr int kStatusTextIndent = 2;
constexpr int kTabPaddingX = 12;
constexpr int kTabPaddingY = 6;
constexpr int kSeparatorWidth = 8;
constexpr int kButtonCaptionMargin = 8;
constexpr int kBandGrip = 10;
}  // namespace

// ---- status bar

namespace {

// Points ref at a component and moves the free notification along with it, so that ref is
// cleared when the component it names is freed.
template <class T>
void Reattach(TComponent* self, T*& ref, T* value) {
    if (ref) self->RemoveFreeNotification(ref);
    ref = value;
    if (value) value->FreeNotification(self);
}

// Stores a panel property and has the bar the panel is on repaint.
template <class T>
void SetAndRepaint(T& field, const T& value, TStatusBar* bar) {
    field = value;
    if (bar) bar->Invalidate();
}

}  // namespace

void TStatusPanel::SetText(const String& Value) {
    if (text_ == Value) return;
    text_ = Value;
    if (bar_) bar_->Invalidate();
}

void TStatusPanel::SetWidth(Integer Value) { SetAndRepaint(width_, Value, bar_); }

void TStatusPanel::SetBevel(TStatusPanelBevel Value) { SetAndRepaint(bevel_, Value, bar_); }

void TStatusPanel::SetAlignment(TAlignment Value) { SetAndRepaint(alignment_, Value, bar_); }

void TStatusPanel::SetBiDiMode(TBiDiMode Value) { SetAndRepaint(biDiMode_, Value, bar_); }

Integer TStatusPanel::Index() const {
    if (!bar_) return -1;
    for (Integer i = 0; i < bar_->Panels()->Count(); ++i)
        if (bar_->Panels()->Items(i) == this) return i;
    return -1;
}

TStatusPanel* TStatusPanels::Add() {
    panels_.push_back(std::make_unique<TStatusPanel>());
    panels_.back()->bar_ = bar_;
    bar_->Invalidate();
    return panels_.back().get();
}

TStatusPanel* TStatusPanels::Items(Integer Index) const {
    if (Index < 0 || Index >= Count()) throw EListError(platform::detail::LayerFormat("List index out of bounds (%d)", {Index}));
    return panels_[static_cast<std::size_t>(Index)].get();
}

void TStatusPanels::Delete(Integer Index) {
    Items(Index);
    panels_.erase(panels_.begin() + Index);
    bar_->Invalidate();
}

void TStatusPanels::Clear() {
    panels_.clear();
    bar_->Invalidate();
}

TStatusBar::TStatusBar(TComponent* AOwner) : TCustomControl(AOwner), panels_(this) {
    width_ = 200;
    height_ = 19;
    SetAlign(alBottom);
}

TRect TStatusBar::PanelRect(Integer Index) const {
    Integer x = 0;
    for (Integer i = 0; i < Index; ++i) x += panels_.Items(i)->Width();
    Integer right = Index == panels_.Count() - 1 ? ClientWidth() : x + panels_.Items(Index)->Width();
    return Rect(x, 0, std::max(right, x), ClientHeight());
}

void TStatusBar::Paint() {
    TCanvas& canvas = *Canvas();
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(ClientRect());
    TStyleCanvas c(canvas);
    const platform::Style& style = platform::Style::Current();
    const COLORREF ink = ColorToRGB(Font()->Color());
    style.Separator(c, 0, 0, ClientWidth(), 0);
    if (simplePanel_) {
        style.Text(c, kStatusTextIndent, (height_ - c.TextHeight(simpleText_)) / 2, simpleText_, ink, platform::psNormal);
        return;
    }
    for (Integer i = 0; i < panels_.Count(); ++i) {
        TStatusPanel* p = panels_.Items(i);
        TRect r = PanelRect(i);
        // Flat panels: a quiet divider between them stands for the bevel.
        if (p->Bevel() != pbNone && i + 1 < panels_.Count()) style.Separator(c, r.right - 1, 3, r.right - 1, r.bottom - 3);
        // Right-to-left reading puts the text at the panel's right edge unless it is centred.
        TAlignment align = p->Alignment();
        if (p->BiDiMode() != bdLeftToRight && align == taLeftJustify) align = taRightJustify;
        Integer w = c.TextWidth(p->Text());
        Integer x = align == taRightJustify ? r.right - kStatusTextIndent - w
                    : align == taCenter    ? r.left + (r.right - r.left - w) / 2
                                           : r.left + kStatusTextIndent;
        style.TextClipped(c, r, x, (height_ - c.TextHeight(p->Text())) / 2, p->Text(), ink, platform::psNormal);
    }
}

// ---- tab sheets and page control

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
    SetVisibleField(false);
    SetControlStyle(ControlStyle() | csAcceptsControls);
    SetAlign(alClient);
}

TTabSheet::~TTabSheet() {
    if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* Value) {
    if (pageControl_ == Value) return;
    if (pageControl_) pageControl_->RemovePage(this);
    SetParent(Value);
    if (Value) Value->InsertPage(this);
}

void TTabSheet::SetTabVisible(bool Value) {
    if (tabVisible_ == Value) return;
    tabVisible_ = Value;
    if (pageControl_) {
        pageControl_->Realign();
        pageControl_->Invalidate();
    }
}

Integer TTabSheet::PageIndex() const {
    if (!pageControl_) return -1;
    auto& pages = pageControl_->pages_;
    auto it = std::find(pages.begin(), pages.end(), this);
    return it == pages.end() ? -1 : static_cast<Integer>(it - pages.begin());
}

void TTabSheet::SetPageIndex(Integer Value) {
    if (!pageControl_) return;
    auto& pages = pageControl_->pages_;
    pages.erase(std::remove(pages.begin(), pages.end(), this), pages.end());
    Value = std::clamp<Integer>(Value, 0, static_cast<Integer>(pages.size()));
    pages.insert(pages.begin() + Value, this);
    pageControl_->Invalidate();
}

Integer TTabSheet::TabIndex() const {
    if (!pageControl_ || !tabVisible_) return -1;
    Integer n = 0;
    for (TTabSheet* p : pageControl_->pages_) {
        if (p == this) return n;
        if (p->tabVisible_) ++n;
    }
    return -1;
}

void TTabSheet::VisibleChanged() {
    TWinControl::VisibleChanged();
    if (!CanRunEvents()) return;
    if (Visible()) {
        if (OnShow) OnShow(this);
    } else if (OnHide) {
        OnHide(this);
    }
}

void TTabSheet::TextChanged() {
    if (pageControl_) pageControl_->Invalidate();
}

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle(ControlStyle() | csPaintsItself);
    width_ = 289;
    height_ = 193;
    SetTabStop(true);
    SetControlStyle(ControlStyle() | csAcceptsControls);
}

TPageControl::~TPageControl() {
    if (images_) RemoveFreeNotification(images_);
    for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
}

TTabSheet* TPageControl::Pages(Integer Index) const {
    if (Index < 0 || Index >= PageCount()) throw EListError(platform::detail::LayerFormat("List index out of bounds (%d)", {Index}));
    return pages_[static_cast<std::size_t>(Index)];
}

void TPageControl::InsertPage(TTabSheet* Page) {
    if (std::find(pages_.begin(), pages_.end(), Page) != pages_.end()) return;
    pages_.push_back(Page);
    Page->pageControl_ = this;
    if (!activePage_) SetActivePage(Page);
    Invalidate();
}

void TPageControl::RemovePage(TTabSheet* Page) {
    auto it = std::find(pages_.begin(), pages_.end(), Page);
    if (it == pages_.end()) return;
    TTabSheet* next = nullptr;
    if (Page == activePage_ && !Destroying()) next = FindNextPage(Page, true, false);
    pages_.erase(it);
    Page->pageControl_ = nullptr;
    if (Page == activePage_) {
        activePage_ = nullptr;
        if (next && next != Page) SetActivePage(next);
    }
    Invalidate();
}

void TPageControl::SetActivePage(TTabSheet* Value) {
    if (Value && Value->pageControl_ != this) return;
    if (Value == activePage_) return;
    TTabSheet* old = activePage_;
    activePage_ = Value;
    std::weak_ptr<bool> alive = AliveToken();
    if (Value) {
        Value->BringToFront();
        Value->SetVisible(true);
    }
    if (alive.expired()) return;
    if (old && old != activePage_ && old->pageControl_ == this) old->SetVisible(false);
    Invalidate();
}

void TPageControl::SetActivePageIndex(Integer Value) {
    SetActivePage(Value >= 0 && Value < PageCount() ? pages_[static_cast<std::size_t>(Value)] : nullptr);
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* CurrentPage, bool GoForward, bool CheckTabVisible) const {
    if (pages_.empty()) return nullptr;
    Integer n = PageCount();
    Integer start = CurrentPage ? CurrentPage->PageIndex() : (GoForward ? n - 1 : 0);
    if (start < 0) start = GoForward ? n - 1 : 0;
    Integer i = start;
    for (Integer step = 0; step < n; ++step) {
        i = GoForward ? (i + 1) % n : (i + n - 1) % n;
        TTabSheet* p = pages_[static_cast<std::size_t>(i)];
        if (!CheckTabVisible || p->tabVisible_) return p;
    }
    return nullptr;
}

void TPageControl::SetImages(TCustomImageList* Value) {
    Reattach(this, images_, Value);
    Invalidate();
}

void TPageControl::ComponentRemoved(TComponent* AComponent) {
    TWinControl::ComponentRemoved(AComponent);
    if (AComponent == images_) images_ = nullptr;
}

Integer TPageControl::TabExtent(const TTabSheet* Page) const {
    Integer w = platform::TextExtent(font_.Spec(), Page->GetText()).cx + kTabPaddingX;
    if (images_ && Page->ImageIndex() >= 0) w += images_->Width() + 2;
    return w;
}

TRect TPageControl::TabRect(const TTabSheet* Page) const {
    if (!Page || !Page->tabVisible_) return TRect{};
    Integer tabHeight = platform::FontCellHeight(font_.Height()) + kTabPaddingY;
    Integer offset = 0;
    Integer widest = 0;
    for (const TTabSheet* p : pages_)
        if (p->tabVisible_) widest = std::max(widest, TabExtent(p));
    for (const TTabSheet* p : pages_) {
        if (!p->tabVisible_) continue;
        if (tabPosition_ == tpLeft || tabPosition_ == tpRight) {
            Integer x = tabPosition_ == tpLeft ? 0 : ClientWidth() - widest;
            if (p == Page) return Rect(x, offset, x + widest, offset + tabHeight);
            offset += tabHeight;
        } else {
            Integer w = TabExtent(p);
            Integer y = tabPosition_ == tpTop ? 0 : ClientHeight() - tabHeight;
            if (p == Page) return Rect(offset, y, offset + w, y + tabHeight);
            offset += w;
        }
    }
    return TRect{};
}

void TPageControl::AdjustClientRect(TRect& Rect) const {
    TWinControl::AdjustClientRect(Rect);
    bool anyTab = std::any_of(pages_.begin(), pages_.end(), [](const TTabSheet* p) { return p->tabVisible_; });
    if (!anyTab) return;
    Integer tabHeight = platform::FontCellHeight(font_.Height()) + kTabPaddingY;
    Integer widest = 0;
    for (const TTabSheet* p : pages_)
        if (p->tabVisible_) widest = std::max(widest, TabExtent(p));
    switch (tabPosition_) {
        case tpTop: Rect.top += tabHeight; break;
        case tpBottom: Rect.bottom -= tabHeight; break;
        case tpLeft: Rect.left += widest; break;
        case tpRight: Rect.right -= widest; break;
    }
}

TRect TPageControl::DisplayRect() const {
    TRect r = ClientRect();
    AdjustClientRect(r);
    return r;
}

void TPageControl::UserSelect(TTabSheet* Page) {
    if (!Page || Page == activePage_) return;
    bool allow = true;
    if (CanRunEvents() && OnChanging) OnChanging(this, allow);
    if (!allow) return;
    std::weak_ptr<bool> alive = AliveToken();
    SetActivePage(Page);
    if (!alive.expired() && CanRunEvents() && OnChange) OnChange(this);
}

void TPageControl::WndProc(TMessage& Message) {
    if (Message.Msg == WM_LBUTTONDOWN) {
        TPoint p = Point(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
        for (TTabSheet* page : pages_) {
            TRect r = TabRect(page);
            if (!IsRectEmpty(&r) && PtInRect(&r, p)) {
                UserSelect(page);
                return;
            }
        }
    }
    TWinControl::WndProc(Message);
}

void TPageControl::PaintWindow(HDC DC) {
    TCanvas canvas;
    canvas.SetHandle(DC);
    canvas.Font()->Assign(Font());
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(ClientRect());
    TStyleCanvas c(canvas);
    const platform::Style& style = platform::Style::Current();
    bool anyTab = false;
    for (TTabSheet* page : pages_) {
        TRect r = TabRect(page);
        if (IsRectEmpty(&r)) continue;
        anyTab = true;
        platform::PartState state = page->Enabled() ? platform::psNormal : platform::psDisabled;
        if (page == activePage_) {
            state |= platform::psChecked;
            if (Focused()) state |= platform::psFocused;
        }
        if (style_ == tsTabs)
            style.Tab(c, r, state);
        else if (style_ == tsButtons)
            style.Button(c, r, state);
        else
            style.FlatButton(c, r, state);
        style.Text(c, r.left + kTabPaddingX / 2, r.top + kTabPaddingY / 2, platform::Style::CaptionText(page->GetText()),
                   ColorToRGB(Font()->Color()), state);
    }
    // The pane the pages sit on, under the row of tabs.
    if (anyTab && style_ == tsTabs) {
        TRect first = TabRect(pages_.front());
        for (TTabSheet* page : pages_)
            if (TRect r = TabRect(page); !IsRectEmpty(&r)) first.bottom = std::max(first.bottom, r.bottom);
        RECT pane{0, first.bottom, ClientWidth(), ClientHeight()};
        style.Separator(c, pane.left, pane.top, pane.right, pane.top);
    }
}

// ---- tool bar

TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 23;
    height_ = 22;
    // Two quick clicks are two clicks: a menu title dropped down, closed and clicked again
    // drops down again.
    SetControlStyle(ControlStyle() & ~csDoubleClicks);
}

TToolBar* TToolButton::ToolBar() const { return dynamic_cast<TToolBar*>(Parent()); }

void TToolButton::SetStyle(TToolButtonStyle Value) {
    if (style_ == Value) return;
    style_ = Value;
    if ((Value == tbsSeparator || Value == tbsDivider) && width_ == 23) SetWidth(kSeparatorWidth);
    if (Parent()) Parent()->Realign();
}

void TToolButton::SetDropdownMenu(TPopupMenu* Value) {
    if (dropdownMenu_) RemoveFreeNotification(dropdownMenu_);
    dropdownMenu_ = Value;
    if (Value) Value->FreeNotification(this);
}

void TToolButton::SetMenuItem(TMenuItem* Value) {
    if (menuItem_) RemoveFreeNotification(menuItem_);
    menuItem_ = Value;
    if (Value) {
        Value->FreeNotification(this);
        if (GetText().empty()) SetText(Value->Caption());
    }
}

void TToolButton::ComponentRemoved(TComponent* AComponent) {
    TGraphicControl::ComponentRemoved(AComponent);
    if (AComponent == dropdownMenu_) dropdownMenu_ = nullptr;
    if (AComponent == menuItem_) menuItem_ = nullptr;
}

void TToolButton::SetDown(bool Value) {
    if (down_ == Value) return;
    if (!Value && grouped_ && !allowAllUp_) return;
    down_ = Value;
    if (Value && grouped_ && Parent())
        for (Integer i = 0; i < Parent()->ControlCount(); ++i)
            if (auto* other = dynamic_cast<TToolButton*>(Parent()->Controls(i)); other && other != this && other->grouped_)
                other->down_ = false;
    Invalidate();
}

bool TToolButton::IsFormShortCut(Word Key, TShiftState Shift) {
    return dropdownMenu_ && dropdownMenu_->IsShortCut(Key, Shift);
}

bool TToolButton::CheckMenuDropdown() {
    TPoint at = ClientToScreen(Point(0, Height()));
    if (dropdownMenu_) {
        dropdownMenu_->SetPopupComponent(this);
        dropdownMenu_->Popup(at.x, at.y);
        return true;
    }
    if (menuItem_) {
        platform::DropDownMenuItem(menuItem_, at);
        return true;
    }
    return false;
}

namespace {
// The menu title beside a button on its bar (wrapping round), or nullptr.
TToolButton* NextMenuTitle(TToolButton* from, int step) {
    TWinControl* bar = from->Parent();
    if (!bar) return nullptr;
    std::vector<TToolButton*> titles;
    for (Integer i = 0; i < bar->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TToolButton*>(bar->Controls(i));
            b && b->Visible() && b->Enabled() && (b->MenuItem() || (b->DropdownMenu() && b->Style() != tbsDropDown)))
            titles.push_back(b);
    auto at = std::find(titles.begin(), titles.end(), from);
    if (at == titles.end()) return nullptr;
    const auto n = static_cast<std::ptrdiff_t>(titles.size());
    return titles[static_cast<std::size_t>((((at - titles.begin()) + step) % n + n) % n)];
}
}  // namespace

void TToolButton::Click() {
    if (!Enabled() || Destroying()) return;
    // A button with a menu item, or a plain button with a drop-down menu, is a menu title:
    // clicking it drops the menu down under it. A drop-down button keeps its own click.
    if (menuItem_ || (dropdownMenu_ && style_ != tbsDropDown)) {
        // Left and Right in the open menu move along the bar to the next menu title.
        platform::MenuBarScope bar;
        TToolButton* button = this;
        for (int steps = 0; button && steps < 64; ++steps) {
            std::weak_ptr<bool> alive = button->AliveToken();
            button->CheckMenuDropdown();
            const int step = bar.TakeStep();
            if (!step || alive.expired()) break;
            button = NextMenuTitle(button, step);
        }
        return;
    }
    if (style_ == tbsCheck) SetDown(!down_);
    TGraphicControl::Click();
}

void TToolButton::Paint() {
    TCanvas& canvas = *Canvas();
    TStyleCanvas c(canvas);
    const platform::Style& style = platform::Style::Current();
    if (style_ == tbsSeparator || style_ == tbsDivider) {
        if (style_ == tbsDivider) style.Separator(c, width_ / 2, 3, width_ / 2, height_ - 3);
        return;
    }
    platform::PartState state = ControlPartState(*this, false);
    if (down_) state |= platform::psChecked;
    style.FlatButton(c, ClientRect(), state);
    bool arrow = style_ == tbsDropDown;
    int face = arrow ? width_ - platform::kToolDropDownWidth : width_;
    TToolBar* bar = ToolBar();
    if (bar && bar->Images() && imageIndex_ >= 0) bar->Images()->Draw(&canvas, 2, 2, imageIndex_, Enabled());
    if (bar && bar->ShowCaptions()) {
        String text = platform::Style::CaptionText(GetText());
        SIZE size = c.TextExtent(text);
        style.Text(c, (face - size.cx) / 2, (height_ - size.cy) / 2, text, ColorToRGB(Font()->Color()), state);
    }
    // The drop-down part: its arrow, set off from the face while the button is hot.
    if (arrow) {
        RECT part{face, 0, width_, height_};
        if (state & (platform::psHover | platform::psPressed)) style.Separator(c, face, 3, face, height_ - 3);
        style.Arrow(c, part, platform::ArrowDirection::Down, state);
    }
}

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner) {
    width_ = 150;
    height_ = 29;
    SetControlStyle(ControlStyle() | csAcceptsControls);
    SetAlign(alTop);
}

void TToolBar::SetImages(TCustomImageList* Value) {
    Reattach(this, images_, Value);
    Realign();
}

void TToolBar::ComponentRemoved(TComponent* AComponent) {
    TWinControl::ComponentRemoved(AComponent);
    if (AComponent == images_) images_ = nullptr;
}

Integer TToolBar::ButtonCount() const {
    Integer n = 0;
    for (Integer i = 0; i < ControlCount(); ++i)
        if (dynamic_cast<TToolButton*>(Controls(i))) ++n;
    return n;
}

TToolButton* TToolBar::Buttons(Integer Index) const {
    Integer n = 0;
    for (Integer i = 0; i < ControlCount(); ++i)
        if (auto* b = dynamic_cast<TToolButton*>(Controls(i))) {
            if (n == Index) return b;
            ++n;
        }
    throw EListError(platform::detail::LayerFormat("List index out of bounds (%d)", {Index}));
}

void TToolBar::AlignControls(TControl* AControl) {
    (void)AControl;
    if (laying_ || Destroying()) return;
    laying_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{laying_};
    Integer x = indent_;
    Integer rowHeight = buttonHeight_;
    for (Integer i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (!c->Visible()) continue;
        Integer w = c->Width();
        Integer h = c->Height();
        if (auto* b = dynamic_cast<TToolButton*>(c)) {
            if (b->Style() == tbsSeparator || b->Style() == tbsDivider) {
                h = buttonHeight_;
            } else {
                w = buttonWidth_;
                if (showCaptions_) {
                    Integer text = platform::TextExtent(font_.Spec(), b->Caption()).cx + kButtonCaptionMargin;
                    if (list_ && images_) text += images_->Width() + 4;
                    w = std::max(w, text);
                }
                h = buttonHeight_;
            }
        }
        c->SetBounds(x, 0, w, h);
        x += w;
        rowHeight = std::max(rowHeight, h);
    }
    if (autoSize_ && Height() != rowHeight) SetHeight(rowHeight);
}

// ---- cool bar

void TCoolBand::SetControl(TWinControl* Value) {
    control_ = Value;
    if (bar_ && Value) {
        if (Value->Parent() != bar_) Value->SetParent(bar_);
        bar_->Realign();
    }
}

TCoolBar::TCoolBar(TComponent* AOwner) : TWinControl(AOwner) {
    width_ = 150;
    height_ = 75;
    SetControlStyle(ControlStyle() | csAcceptsControls);
    SetAlign(alTop);
}

TCoolBar::~TCoolBar() = default;

TCoolBand* TCoolBar::AddBand() {
    bands_.push_back(std::make_unique<TCoolBand>());
    bands_.back()->bar_ = this;
    return bands_.back().get();
}

TCoolBand* TCoolBar::Bands(Integer Index) const {
    if (Index < 0 || Index >= BandCount()) throw EListError(platform::detail::LayerFormat("List index out of bounds (%d)", {Index}));
    return bands_[static_cast<std::size_t>(Index)].get();
}

void TCoolBar::ComponentRemoved(TComponent* AComponent) {
    TWinControl::ComponentRemoved(AComponent);
    for (auto& b : bands_)
        if (b->control_ == AComponent) b->control_ = nullptr;
}

void TCoolBar::AlignControls(TControl* AControl) {
    (void)AControl;
    if (laying_ || Destroying()) return;
    laying_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{laying_};
    // A band's control may be gone from the bar (freed or moved): keep only those still here.
    Integer y = 0;
    for (auto& band : bands_) {
        TWinControl* c = band->control_;
        if (!c || c->Parent() != this || !c->Visible()) continue;
        c->SetBounds(kBandGrip, y, std::max<Integer>(ClientWidth() - kBandGrip, 0), c->Height());
        y += c->Height();
    }
    if (autoSize_ && y > 0 && Height() != y) SetHeight(y);
}
