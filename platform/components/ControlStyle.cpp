#include "platform/ControlStyle.h"

#include <memory>

namespace {

// The hot control of this thread, with the token that says it still lives.
struct Hot {
    TControl* control = nullptr;
    std::weak_ptr<bool> alive;
};
thread_local Hot t_hot;

TControl* LiveHot() { return t_hot.alive.expired() ? nullptr : t_hot.control; }

}  // namespace

TStyleCanvas::TStyleCanvas(TCanvas& c) : target_(platform::CanvasOf(c.Handle())), origin_(c.Origin()) {
    font = c.Font()->Spec();
    textColor = ColorToRGB(c.Font()->Color());
}

platform::Canvas& TStyleCanvas::Target() {
    if (!target_) throw EInvalidOperation("Canvas does not allow drawing");
    platform::Canvas& t = *target_;
    t.font = font;
    t.brushColor = brushColor;
    t.brushClear = brushClear;
    t.penColor = penColor;
    t.penWidth = penWidth;
    t.textColor = textColor;
    t.bkColor = bkColor;
    t.bkMode = bkMode;
    t.penPos = POINT{penPos.x + origin_.x, penPos.y + origin_.y};
    return t;
}

RECT TStyleCanvas::Shift(const RECT& r) const {
    return RECT{r.left + origin_.x, r.top + origin_.y, r.right + origin_.x, r.bottom + origin_.y};
}

void TStyleCanvas::FillRect(const RECT& rect) { Target().FillRect(Shift(rect)); }
void TStyleCanvas::FrameRect(const RECT& rect) { Target().FrameRect(Shift(rect)); }
void TStyleCanvas::Rectangle(const RECT& rect) { Target().Rectangle(Shift(rect)); }

void TStyleCanvas::LineTo(int x, int y) {
    Target().LineTo(x + origin_.x, y + origin_.y);
    penPos = POINT{x, y};
}

void TStyleCanvas::TextOut(int x, int y, std::string_view text) { Target().TextOut(x + origin_.x, y + origin_.y, text); }

void TStyleCanvas::TextRect(const RECT& clip, int x, int y, std::string_view text) {
    Target().TextRect(Shift(clip), x + origin_.x, y + origin_.y, text);
}

void TStyleCanvas::DrawImage(std::uintptr_t imageList, int index, int x, int y, bool enabled) {
    Target().DrawImage(imageList, index, x + origin_.x, y + origin_.y, enabled);
}

void TStyleCanvas::DrawFocusRect(const RECT& rect) { Target().DrawFocusRect(Shift(rect)); }

platform::PartState ControlPartState(TControl& control, bool focused) {
    platform::PartState state = platform::psNormal;
    if (!control.Enabled()) return platform::psDisabled;
    bool hot = IsMouseOver(&control);
    if (hot) state |= platform::psHover;
    if (hot && (control.ControlState() & csLButtonDown)) state |= platform::psPressed;
    if (focused) state |= platform::psFocused;
    return state;
}

void NoteMouseOver(TControl* control) {
    TControl* old = LiveHot();
    if (old == control) return;
    t_hot.control = control;
    t_hot.alive = control ? control->AliveToken() : std::weak_ptr<bool>();
    if (old && !old->Destroying()) {
        old->Perform(CM_MOUSELEAVE, 0, 0);
        old->Invalidate();
    }
    if (control && LiveHot() == control) {
        control->Perform(CM_MOUSEENTER, 0, 0);
        control->Invalidate();
    }
}

bool IsMouseOver(const TControl* control) { return control && LiveHot() == control; }
