#include "platform/ExtCtrls.h"

#include <algorithm>

#include "platform/ControlStyle.h"
#include "platform/Forms.h"

// ---- panel

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    SetControlStyle(ControlStyle() | csAcceptsControls);
    width_ = 185;
    height_ = 41;
}

void TCustomPanel::SetBevelInner(TBevelCut Value) {
    bevelInner_ = Value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
    bevelOuter_ = Value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelWidth(Integer Value) {
    bevelWidth_ = std::max(Value, 1);
    Realign();
    Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle Value) {
    if (borderStyle_ == Value) return;
    borderStyle_ = Value;
    RecreateWnd();
}

void TCustomPanel::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    if (borderStyle_ == bsSingle) Params.Style |= WS_BORDER;
}

void TCustomPanel::AdjustClientRect(TRect& Rect) const {
    TCustomControl::AdjustClientRect(Rect);
    Integer bevel = 0;
    if (bevelOuter_ != bvNone) bevel += bevelWidth_;
    if (bevelInner_ != bvNone) bevel += bevelWidth_;
    InflateRect(&Rect, -bevel, -bevel);
}

void TCustomPanel::Paint() {
    TCanvas& canvas = *Canvas();
    TRect r = ClientRect();
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(r);
    canvas.Font()->Assign(Font());
    TStyleCanvas c(canvas);
    const platform::Style& style = platform::Style::Current();
    for (TBevelCut cut : {bevelOuter_, bevelInner_}) {
        if (cut == bvNone) continue;
        style.Bevel(c, r, cut == bvLowered ? platform::BevelKind::Lowered : platform::BevelKind::Raised);
        InflateRect(&r, -bevelWidth_, -bevelWidth_);
    }
    String text = platform::Style::CaptionText(GetText());
    if (!text.empty()) {
        SIZE size = c.TextExtent(text);
        Integer x = alignment_ == taLeftJustify ? r.left : alignment_ == taRightJustify ? r.right - size.cx : (width_ - size.cx) / 2;
        style.Text(c, x, (height_ - size.cy) / 2, text, ColorToRGB(Font()->Color()),
                   Enabled() ? platform::psNormal : platform::psDisabled);
    }
}

// ---- splitter

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
    width_ = 3;
    height_ = 100;
    SetAlign(alLeft);
    SetCursor(crHSplit);
}

TControl* TSplitter::FindControl() const {
    if (!Parent()) return nullptr;
    TControl* best = nullptr;
    for (Integer i = 0; i < Parent()->ControlCount(); ++i) {
        TControl* c = Parent()->Controls(i);
        if (c == this || !c->Visible() || c->Align() != Align()) continue;
        bool before = false;
        switch (Align()) {
            case alLeft: before = c->Left() + c->Width() == Left(); break;
            case alRight: before = c->Left() == Left() + Width(); break;
            case alTop: before = c->Top() + c->Height() == Top(); break;
            case alBottom: before = c->Top() == Top() + Height(); break;
            default: break;
        }
        if (before) best = c;
    }
    return best;
}

void TSplitter::Paint() {
    TStyleCanvas c(*Canvas());
    platform::PartState state = ControlPartState(*this, false);
    if (dragging_) state |= platform::psPressed;
    platform::Style::Current().Splitter(c, ClientRect(), Align() == alLeft || Align() == alRight, state);
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button == mbLeft) {
        dragging_ = true;
        downAt_ = Point(X, Y);
    }
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!dragging_) return;
    TControl* c = FindControl();
    if (!c) return;
    Integer dx = X - downAt_.x, dy = Y - downAt_.y;
    switch (Align()) {
        case alLeft: c->SetWidth(std::max(c->Width() + dx, minSize_)); break;
        case alRight: c->SetWidth(std::max(c->Width() - dx, minSize_)); break;
        case alTop: c->SetHeight(std::max(c->Height() + dy, minSize_)); break;
        case alBottom: c->SetHeight(std::max(c->Height() - dy, minSize_)); break;
        default: break;
    }
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    bool was = dragging_;
    dragging_ = false;
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (was && CanRunEvents() && OnMoved) OnMoved(this);
}

// ---- image

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), picture_(std::make_unique<TPicture>()) {
    width_ = 105;
    height_ = 105;
    picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() { picture_->OnChange = nullptr; }

void TImage::SetAutoSize(bool Value) {
    autoSize_ = Value;
    PictureChanged();
}

void TImage::PictureChanged() {
    if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
        SetBounds(left_, top_, picture_->Width(), picture_->Height());
    Invalidate();
}

void TImage::Paint() {
    TGraphic* g = picture_->Graphic();
    if (!g || g->Empty()) return;
    if (stretch_) {
        Canvas()->StretchDraw(ClientRect(), g);
        return;
    }
    Integer x = center_ ? (width_ - g->Width()) / 2 : 0;
    Integer y = center_ ? (height_ - g->Height()) / 2 : 0;
    Canvas()->Draw(x, y, g);
}

// ---- timer

namespace {
constexpr const char* kTimerProp = "TarvikTimer";
constexpr UINT_PTR kTimerId = 1;
}  // namespace

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    window_ = AllocateHWnd(&TTimer::TimerWndProc);
    SetPropA(window_, kTimerProp, this);
    UpdateTimer();
}

TTimer::~TTimer() {
    enabled_ = false;
    if (window_) {
        KillTimer(window_, kTimerId);
        RemovePropA(window_, kTimerProp);
        DeallocateHWnd(window_);
    }
}

LRESULT TTimer::TimerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* timer = static_cast<TTimer*>(GetPropA(hwnd, kTimerProp));
    if (!timer || msg != WM_TIMER || wParam != kTimerId) return DefWindowProcA(hwnd, msg, wParam, lParam);
    try {
        timer->Timer();
    } catch (...) {
        TApplication* app = platform::ProcessApplication();
        // A timer on a form reports to that form's module.
        for (TComponent* o = timer->Owner(); o; o = o->Owner())
            if (auto* form = dynamic_cast<TCustomForm*>(o)) {
                app = form->ModuleApplication();
                break;
            }
        if (app)
            app->HandleException(timer);
        else
            throw;
    }
    return 0;
}

void TTimer::UpdateTimer() {
    if (!window_) return;
    if (running_) KillTimer(window_, kTimerId);
    running_ = false;
    if (enabled_ && interval_ > 0) running_ = SetTimer(window_, kTimerId, interval_, nullptr) != 0;
}

void TTimer::SetEnabled(bool Value) {
    if (enabled_ == Value) return;
    enabled_ = Value;
    UpdateTimer();
}

void TTimer::SetInterval(Cardinal Value) {
    if (interval_ == Value) return;
    interval_ = Value;
    UpdateTimer();
}

void TTimer::Timer() {
    if (enabled_ && !Destroying() && OnTimer) OnTimer(this);
}
