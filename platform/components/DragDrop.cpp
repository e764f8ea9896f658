// The class library's drag and drop between controls of this thread.
//
// One drag runs at a time per thread. It starts from BeginDrag (at once, or after the mouse
// moved far enough), captures the mouse on the source's window, and turns the mouse messages
// of the source into CM_DRAG messages for the control under the pointer: enter and leave when
// the target changes, move for every move, drop when the button comes up over a target that
// accepted. The source then hears OnEndDrag with the target (nullptr when cancelled).
#include <cstdlib>

#include "platform/Controls.h"

namespace {

constexpr const char* kControlProp = "TarvikControl";
constexpr int kDefaultThreshold = 5;

}  // namespace

struct DragSession {
    TControl* source = nullptr;
    std::weak_ptr<bool> sourceAlive;
    TDragObject* object = nullptr;
    bool ownsObject = false;
    bool started = false;
    Integer threshold = kDefaultThreshold;
    TPoint downAt{};
    TControl* target = nullptr;
    std::weak_ptr<bool> targetAlive;
    bool accepted = false;
    HWND captured = nullptr;
};

namespace {

thread_local DragSession* t_drag = nullptr;

HWND WindowOf(TControl* c) {
    for (; c; c = c->Parent())
        if (auto* w = dynamic_cast<TWinControl*>(c)) return w->Handle();
    return nullptr;
}

// The control under a screen point: the window's control, then a graphic child of it.
TControl* ControlAtScreen(TPoint p) {
    HWND h = WindowFromPoint(p);
    auto* w = h ? static_cast<TWinControl*>(GetPropA(h, kControlProp)) : nullptr;
    if (!w) return nullptr;
    TControl* child = w->ControlAtPos(w->ScreenToClient(p));
    if (child && !dynamic_cast<TWinControl*>(child)) return child;
    return w;
}

LRESULT SendDrag(TControl* target, TDragMessage what, TPoint pos, TDragObject* object) {
    TDragRec rec;
    rec.Pos = pos;
    rec.Source = object;
    rec.Target = target;
    return target->Perform(CM_DRAG, static_cast<WPARAM>(what), reinterpret_cast<LPARAM>(&rec));
}

}  // namespace

TControl* CurrentDragSource() { return t_drag ? t_drag->source : nullptr; }

bool TControl::Dragging() const { return t_drag && t_drag->source == this && t_drag->started; }

void TControl::BeginDrag(bool Immediate, Integer Threshold) {
    if (t_drag) return;
    auto* s = new DragSession;
    s->source = this;
    s->sourceAlive = AliveToken();
    s->threshold = Threshold < 0 ? kDefaultThreshold : Threshold;
    POINT p;
    GetCursorPos(&p);
    s->downAt = p;
    t_drag = s;
    s->captured = WindowOf(this);
    if (s->captured) SetCapture(s->captured);
    if (Immediate) {
        s->started = true;
        DoStartDrag(s->object);
        if (!s->object) {
            s->object = new TDragControlObject(this);
            s->ownsObject = true;
        }
    }
}

void TControl::EndDrag(bool Drop) {
    DragSession* s = t_drag;
    if (!s || s->source != this) return;
    t_drag = nullptr;
    if (s->captured && GetCapture() == s->captured) ReleaseCapture();
    TControl* target = nullptr;
    TPoint pos = s->object ? s->object->dragPos_ : TPoint{};
    if (s->started && s->object) {
        if (s->target && !s->targetAlive.expired()) {
            if (Drop && s->accepted) {
                s->object->dropped_ = true;
                target = s->target;
                SendDrag(s->target, dmDragDrop, pos, s->object);
            } else {
                SendDrag(s->target, dmDragLeave, pos, s->object);
            }
        }
        if (!s->sourceAlive.expired()) {
            TPoint local = target ? target->ScreenToClient(pos) : TPoint{0, 0};
            DoEndDrag(target, local.x, local.y);
        }
    }
    if (s->ownsObject) delete s->object;
    delete s;
}

bool TControl::DragMouseMessage(TMessage& Message) {
    DragSession* s = t_drag;
    if (!s || s->source != this) return false;
    POINT p;
    GetCursorPos(&p);
    switch (Message.Msg) {
        case WM_MOUSEMOVE:
            if (!s->started) {
                if (std::abs(p.x - s->downAt.x) < s->threshold && std::abs(p.y - s->downAt.y) < s->threshold) return true;
                s->started = true;
                DoStartDrag(s->object);
                if (!s->object) {
                    s->object = new TDragControlObject(this);
                    s->ownsObject = true;
                }
            }
            {
                s->object->dragPos_ = p;
                TControl* now = ControlAtScreen(p);
                if (now != s->target || s->targetAlive.expired()) {
                    if (s->target && !s->targetAlive.expired()) SendDrag(s->target, dmDragLeave, p, s->object);
                    s->target = now;
                    s->targetAlive = now ? now->AliveToken() : std::weak_ptr<bool>();
                    s->accepted = now && SendDrag(now, dmDragEnter, p, s->object) != 0;
                }
                s->object->dragTarget_ = s->target;
                if (s->target) s->accepted = SendDrag(s->target, dmDragMove, p, s->object) != 0;
            }
            return true;
        case WM_LBUTTONUP:
            if (s->object) s->object->dragPos_ = p;
            EndDrag(true);
            return true;
        case WM_RBUTTONDOWN:
            EndDrag(false);
            return true;
        default: return false;
    }
}

void TControl::CMDrag(TMessage& Message) {
    auto* rec = reinterpret_cast<TDragRec*>(Message.LParam);
    if (!rec || !rec->Source) return;
    TPoint local = ScreenToClient(rec->Pos);
    TObject* source = rec->Source;
    if (auto* co = dynamic_cast<TDragControlObject*>(rec->Source)) source = co->Control();
    switch (static_cast<TDragMessage>(Message.WParam)) {
        case dmDragEnter:
        case dmDragLeave:
        case dmDragMove: {
            bool accept = false;
            TDragState state = Message.WParam == dmDragEnter ? dsDragEnter : Message.WParam == dmDragLeave ? dsDragLeave : dsDragMove;
            DragOver(source, local.x, local.y, state, accept);
            Message.Result = accept ? 1 : 0;
            break;
        }
        case dmDragDrop: DragDrop(source, local.x, local.y); break;
        default: break;
    }
}

void TControl::DoStartDrag(TDragObject*& DragObject) {
    if (CanRunEvents() && OnStartDrag) OnStartDrag(this, DragObject);
}

void TControl::DoEndDrag(TObject* Target, int X, int Y) {
    if (CanRunEvents() && OnEndDrag) OnEndDrag(this, Target, X, Y);
}

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    Accept = static_cast<bool>(OnDragOver);
    if (CanRunEvents() && OnDragOver) OnDragOver(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int X, int Y) {
    if (CanRunEvents() && OnDragDrop) OnDragDrop(this, Source, X, Y);
}
