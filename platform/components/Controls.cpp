#include "platform/Controls.h"
#include "platform/ControlStyle.h"

#include <algorithm>
#include <cstdio>

#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/MessageLoop.h"

String GetLongHint(const String& Hint) {
    auto bar = Hint.find('|');
    return bar == String::npos ? Hint : Hint.substr(bar + 1);
}

String GetShortHint(const String& Hint) {
    auto bar = Hint.find('|');
    return bar == String::npos ? Hint : Hint.substr(0, bar);
}

TShiftState KeyboardStateToShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState MouseKeysToShiftState(WPARAM Keys) {
    TShiftState s = 0;
    if (Keys & MK_SHIFT) s |= ssShift;
    if (Keys & MK_CONTROL) s |= ssCtrl;
    if (Keys & MK_LBUTTON) s |= ssLeft;
    if (Keys & MK_RBUTTON) s |= ssRight;
    if (Keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TApplication* ApplicationOf(const TControl* Control) {
    for (const TComponent* c = Control; c;) {
        if (auto* form = dynamic_cast<const TCustomForm*>(c)) {
            if (TApplication* app = form->ModuleApplication()) return app;
        }
        auto* ctl = dynamic_cast<const TControl*>(c);
        c = ctl && ctl->Parent() ? static_cast<const TComponent*>(ctl->Parent()) : c->Owner();
    }
    return platform::ProcessApplication();
}

void HandleControlException(TObject* Sender, const TControl* Control) {
    if (TApplication* app = ApplicationOf(Control)) {
        app->HandleException(Sender);
        return;
    }
    try {
        throw;
    } catch (EAbort&) {
    } catch (std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
}

// ---- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
    font_.OnChange = [this](TObject*) {
        if (!settingParentFont_) parentFont_ = false;
        FontChanged();
    };
}

TControl::~TControl() {
    if (popupMenu_) RemoveFreeNotification(popupMenu_);
    if (parent_) parent_->RemoveControl(this);
}

void TControl::BeforeDestruction() { TComponent::BeforeDestruction(); }

bool TControl::CanRunEvents() const {
    for (const TControl* c = this; c; c = c->parent_)
        if (c->Destroying()) return false;
    return true;
}

void TControl::SetParent(TWinControl* AParent) {
    if (parent_ == AParent) return;
    if (AParent == this) throw EInvalidOperation("A control cannot have itself as its parent");
    for (TWinControl* p = AParent; p; p = p->Parent())
        if (p == this) throw EInvalidOperation("A control cannot have itself as its parent");
    if (parent_) parent_->RemoveControl(this);
    if (AParent) AParent->InsertControl(this);
}

void TControl::ApplyConstraints(Integer& AWidth, Integer& AHeight) const {
    if (constraints_.MinWidth > 0 && AWidth < constraints_.MinWidth) AWidth = constraints_.MinWidth;
    if (constraints_.MaxWidth > 0 && AWidth > constraints_.MaxWidth) AWidth = constraints_.MaxWidth;
    if (constraints_.MinHeight > 0 && AHeight < constraints_.MinHeight) AHeight = constraints_.MinHeight;
    if (constraints_.MaxHeight > 0 && AHeight > constraints_.MaxHeight) AHeight = constraints_.MaxHeight;
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
}

void TControl::SetConstraints(const TSizeConstraints& Value) {
    constraints_ = Value;
    SetBounds(left_, top_, width_, height_);
}

void TControl::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
    ApplyConstraints(AWidth, AHeight);
    if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
    ApplyBounds(ALeft, ATop, AWidth, AHeight);
    RequestAlign();
}

void TControl::ApplyBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
    bool sized = AWidth != width_ || AHeight != height_;
    Invalidate();
    left_ = ALeft;
    top_ = ATop;
    width_ = AWidth;
    height_ = AHeight;
    Invalidate();
    if (sized) Resize();
}

TRect TControl::ClientRect() const { return RECT{0, 0, width_, height_}; }

void TControl::SetClientWidth(Integer Value) { SetWidth(width_ - ClientWidth() + Value); }
void TControl::SetClientHeight(Integer Value) { SetHeight(height_ - ClientHeight() + Value); }

void TControl::RequestAlign() {
    if (!parent_) return;
    bool needed = align_ != alNone || parent_->PlacesChildren();
    if (!needed)
        for (Integer i = 0; i < parent_->ControlCount() && !needed; ++i) needed = parent_->Controls(i)->align_ != alNone;
    if (needed) parent_->AlignControls(this);
}

void TControl::SetAlign(TAlign Value) {
    if (align_ == Value) return;
    align_ = Value;
    RequestAlign();
}

void TControl::SetVisible(bool Value) {
    if (visible_ == Value) return;
    if (!Value) Invalidate();
    visible_ = Value;
    VisibleChanged();
    if (Value) Invalidate();
    RequestAlign();
}

void TControl::SetEnabled(bool Value) {
    if (enabled_ == Value) return;
    enabled_ = Value;
    EnabledChanged();
    Invalidate();
}

void TControl::SetText(const String& Value) {
    if (GetText() == Value) return;
    SetTextValue(Value);
    TextChanged();
    Invalidate();
}

void TControl::SetTextValue(const String& Value) { text_ = Value; }

void TControl::SetParentFont(bool Value) {
    parentFont_ = Value;
    if (Value && parent_) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!parentFont_ || !parent_) return;
    settingParentFont_ = true;
    font_.Assign(parent_->Font());
    settingParentFont_ = false;
}

void TControl::FontChanged() {
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
        for (TControl* c : w->controls_) c->ParentFontChanged();
    }
    Invalidate();
}

void TControl::SetColor(TColor Value) {
    parentColor_ = false;
    if (color_ == Value) return;
    color_ = Value;
    ColorChanged();
}

void TControl::SetParentColor(bool Value) {
    parentColor_ = Value;
    if (Value && parent_) ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (!parentColor_ || !parent_ || color_ == parent_->Color()) return;
    color_ = parent_->Color();
    ColorChanged();
}

void TControl::ColorChanged() {
    Perform(CM_COLORCHANGED, 0, 0);
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
        for (TControl* c : w->controls_) c->ParentColorChanged();
    }
    Invalidate();
}

bool TControl::ShowHint() const {
    if (parentShowHint_ && parent_) return parent_->ShowHint();
    return showHint_;
}

void TControl::SetShowHint(bool Value) {
    showHint_ = Value;
    parentShowHint_ = false;
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
    if (popupMenu_ == Value) return;
    if (popupMenu_) RemoveFreeNotification(popupMenu_);
    popupMenu_ = Value;
    if (Value) Value->FreeNotification(this);
}

void TControl::ComponentRemoved(TComponent* AComponent) {
    if (AComponent == popupMenu_) popupMenu_ = nullptr;
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m{Msg, WParam, LParam, 0};
    WndProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& Message) {
    if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST) {
        // A click handler may free the control (closing its form): nothing of it is touched then.
        if (DragMouseMessage(Message)) return;
        if (Message.Msg == WM_MOUSEMOVE) NoteMouseOver(this);
        std::weak_ptr<bool> alive = AliveToken();
        HandleMouseMessage(Message);
        if (alive.expired()) return;
        DefaultHandler(Message);
        if (alive.expired()) return;
        if (Message.Msg == WM_RBUTTONUP && !Destroying()) {
            TPoint p = ClientToScreen(Point(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
            bool handled = false;
            DoContextPopup(p, handled);
        }
        return;
    }
    if (Message.Msg == CM_DRAG) {
        CMDrag(Message);
        return;
    }
    if (Message.Msg == WM_CONTEXTMENU) {
        bool handled = false;
        // From the keyboard the menu opens at the control's top left corner, inside it.
        TPoint at = Message.LParam == kContextMenuFromKeyboard
                        ? ClientToScreen(Point(8, 8))
                        : Point(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
        DoContextPopup(at, handled);
        if (handled) return;
    }
    DefaultHandler(Message);
}

void TControl::DefaultHandler(TMessage& Message) { (void)Message; }

void TControl::DoContextPopup(TPoint ScreenPos, bool& Handled) {
    if (Handled || Destroying()) return;
    if (popupMenu_ && popupMenu_->AutoPopup()) {
        popupMenu_->SetPopupComponent(this);
        popupMenu_->Popup(ScreenPos.x, ScreenPos.y);
        Handled = true;
        return;
    }
    if (parent_) parent_->DoContextPopup(ScreenPos, Handled);
}

bool TControl::HandleMouseMessage(TMessage& Message) {
    if (!enabled_ || Destroying()) return false;
    const int x = GET_X_LPARAM(Message.LParam);
    const int y = GET_Y_LPARAM(Message.LParam);
    const TShiftState shift = MouseKeysToShiftState(Message.WParam);
    // A control that takes no double clicks sees the second press as another press.
    if (!(controlStyle_ & csDoubleClicks) && Message.Msg == WM_LBUTTONDBLCLK) Message.Msg = WM_LBUTTONDOWN;
    switch (Message.Msg) {
        case WM_LBUTTONDOWN:
            controlState_ |= csClicked | csLButtonDown;
            if (dragMode_ == dmAutomatic) {
                BeginDrag(false);
                break;
            }
            MouseDown(mbLeft, shift | ssLeft, x, y);
            break;
        case WM_LBUTTONDBLCLK:
            if (controlStyle_ & csDoubleClicks) DblClick();
            MouseDown(mbLeft, shift | ssLeft | ssDouble, x, y);
            break;
        case WM_LBUTTONUP: {
            bool clicked = (controlState_ & csClicked) != 0;
            controlState_ &= ~(csClicked | csLButtonDown);
            std::weak_ptr<bool> alive = AliveToken();
            MouseUp(mbLeft, shift | ssLeft, x, y);
            if (alive.expired()) return true;
            TRect r = ClientRect();
            if (clicked && (controlStyle_ & csClickEvents) && PtInRect(&r, Point(x, y))) Click();
            break;
        }
        case WM_RBUTTONDOWN: MouseDown(mbRight, shift | ssRight, x, y); break;
        case WM_RBUTTONUP: MouseUp(mbRight, shift | ssRight, x, y); break;
        case WM_MBUTTONDOWN: MouseDown(mbMiddle, shift | ssMiddle, x, y); break;
        case WM_MBUTTONUP: MouseUp(mbMiddle, shift | ssMiddle, x, y); break;
        case WM_MOUSEMOVE:
            if (TApplication* app = ApplicationOf(this)) app->SetHint(GetLongHint(hint_));
            MouseMove(shift, x, y);
            break;
        default: break;
    }
    return false;
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (CanRunEvents() && OnMouseDown && !(controlStyle_ & csNoStdEvents)) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (CanRunEvents() && OnMouseUp && !(controlStyle_ & csNoStdEvents)) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (CanRunEvents() && OnMouseMove && !(controlStyle_ & csNoStdEvents)) OnMouseMove(this, Shift, X, Y);
}

void TControl::Click() {
    if (CanRunEvents() && OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (CanRunEvents() && OnDblClick) OnDblClick(this);
}

void TControl::Resize() {
    if (CanRunEvents() && OnResize) OnResize(this);
}

void TControl::Invalidate() {
    if (parent_ && parent_->HandleAllocated() && visible_) {
        TRect r = BoundsRect();
        InvalidateRect(parent_->Handle(), &r, TRUE_);
    }
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::Update() {
    if (parent_) parent_->Update();
}

void TControl::BringToFront() {
    if (!parent_) return;
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.push_back(this);
    Invalidate();
}

void TControl::SendToBack() {
    if (!parent_) return;
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.insert(list.begin(), this);
    Invalidate();
}

TPoint TControl::ClientToScreen(const TPoint& P) const {
    if (auto* w = dynamic_cast<const TWinControl*>(this); w && w->HandleAllocated()) {
        POINT p = P;
        ::ClientToScreen(w->handle_, &p);
        return p;
    }
    TPoint p{P.x + left_, P.y + top_};
    return parent_ ? parent_->ClientToScreen(p) : p;
}

TPoint TControl::ScreenToClient(const TPoint& P) const {
    if (auto* w = dynamic_cast<const TWinControl*>(this); w && w->HandleAllocated()) {
        POINT p = P;
        ::ScreenToClient(w->handle_, &p);
        return p;
    }
    TPoint p = parent_ ? parent_->ScreenToClient(P) : P;
    return TPoint{p.x - left_, p.y - top_};
}

TCustomForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->parent_) c = c->parent_;
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

// ---- canvases and the two kinds of drawn controls

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::CreateHandle() {
    TWinControl* host = dynamic_cast<TWinControl*>(control_);
    TPoint origin{0, 0};
    if (!host) {
        host = control_->Parent();
        origin = TPoint{control_->Left(), control_->Top()};
    }
    if (!host) return;
    window_ = host->Handle();
    ownDC_ = GetDC(window_);
    SetOrigin(origin);
    SetHandle(ownDC_);
}

void TControlCanvas::FreeHandle() {
    if (ownDC_) {
        if (IsWindow(window_)) ReleaseDC(window_, ownDC_);
        if (TCanvas::HandleAllocated()) SetHandle(nullptr);
        ownDC_ = nullptr;
        window_ = nullptr;
    }
}

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), canvas_(std::make_unique<TControlCanvas>(this)) {
    SetControlStyle(ControlStyle() | csPaintsItself);
    canvas_->Font()->Assign(&font_);
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::FontChanged() {
    canvas_->Font()->Assign(&font_);
    TWinControl::FontChanged();
}

void TCustomControl::Paint() {
    if (CanRunEvents() && OnPaint) OnPaint(this);
}

void TCustomControl::PaintWindow(HDC DC) {
    canvas_->FreeHandle();
    canvas_->SetHandle(DC);
    canvas_->SetOrigin(TPoint{0, 0});
    try {
        Paint();
    } catch (...) {
        canvas_->SetHandle(nullptr);
        throw;
    }
    canvas_->SetHandle(nullptr);
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::PaintOn(HDC DC) {
    canvas_.SetHandle(DC);
    canvas_.SetOrigin(TPoint{Left(), Top()});
    canvas_.Font()->Assign(Font());
    try {
        Paint();
    } catch (...) {
        canvas_.SetHandle(nullptr);
        throw;
    }
    canvas_.SetHandle(nullptr);
}
