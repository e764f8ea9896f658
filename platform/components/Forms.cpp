// Forms and the screen.
#include "platform/Forms.h"

#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"
#include "platform/SysUtils.h"
#include "detail/LayerFormat.h"
#include "platform/display/Hooks.h"

namespace {

// Posted by ShowModal to its own form: one step of the modal dialogue with the hook.
constexpr UINT CM_MODALSTEP = CM_BASE + 60;
// A modal form whose OnCloseQuery or OnClose keeps refusing is asked this often, then closed
// with Cancel, so a headless run can never hang on it.
constexpr int kMaxModalRounds = 100;

TCursor g_cursor = crDefault;

}  // namespace

// ---- TScreen

TCustomForm* TScreen::Forms(Integer Index) const {
    if (Index < 0 || Index >= FormCount()) throw EListError(platform::detail::LayerFormat("List index out of bounds (%d)", {Index}));
    return forms_[static_cast<std::size_t>(Index)];
}

TCustomForm* TScreen::ActiveForm() const {
    HWND active = GetActiveWindow();
    for (TCustomForm* f : forms_)
        if (f->HandleAllocated() && f->Handle() == active) return f;
    return nullptr;
}

TWinControl* TScreen::ActiveControl() const {
    TCustomForm* form = ActiveForm();
    return form ? form->ActiveControl() : nullptr;
}

TCustomForm* TScreen::FindForm(const String& Name) const {
    for (TCustomForm* f : forms_)
        if (SameText(f->Name(), Name)) return f;
    return nullptr;
}

TCursor TScreen::Cursor() const { return g_cursor; }
void TScreen::SetCursor(TCursor Value) {
    g_cursor = Value;
    platform::display::NoteScreenCursor(Value);
}

// ---- TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner, const platform::ModuleContext& Module)
    : TWinControl(AOwner), module_(Module) {
    SetControlStyle(ControlStyle() | csPaintsItself);
    SetVisibleField(false);
    SetControlStyle(ControlStyle() | csAcceptsControls);
    left_ = 0;
    top_ = 0;
    width_ = 320;
    height_ = 240;
    SetParentColor(false);
    SetParentFont(false);
    if (module_.screen) module_.screen->forms_.push_back(this);
}

TCustomForm::~TCustomForm() {
    if (module_.screen) {
        auto& list = module_.screen->forms_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    if (activeControl_) RemoveFreeNotification(activeControl_);
    if (menu_) RemoveFreeNotification(menu_);
    if (TApplication* app = platform::ProcessApplication()) app->FormDestroyed(this);
    if (TApplication* app = ModuleApplication()) app->FormDestroyed(this);
}

void TCustomForm::BeforeDestruction() {
    MarkDestroying();
    if (HandleAllocated() && IsWindowVisible(handle_)) ShowWindow(handle_, SW_HIDE);
    if (!destroyFired_) {
        destroyFired_ = true;
        if (OnDestroy) {
            try {
                OnDestroy(this);
            } catch (...) {
                if (TApplication* app = ModuleApplication()) app->HandleException(this);
            }
        }
    }
    TWinControl::BeforeDestruction();
}

TApplication* TCustomForm::ModuleApplication() const {
    if (module_.application && *module_.application) return *module_.application;
    return platform::ProcessApplication();
}

void TCustomForm::FinishCreate() {
    std::vector<TComponent*> all;
    std::function<void(TComponent*)> collect = [&](TComponent* c) {
        for (Integer i = 0; i < c->ComponentCount(); ++i) {
            all.push_back(c->Components(i));
            collect(c->Components(i));
        }
    };
    collect(this);
    for (TComponent* c : all) c->AfterLoad();
    AfterLoad();
    if (OnCreate && CanRunEvents()) {
        try {
            OnCreate(this);
        } catch (...) {
            TApplication* app = ModuleApplication();
            if (!app) throw;
            app->HandleException(this);
        }
    }
}

void TCustomForm::SetUniqueName(const String& Base) {
    String name = Base;
    for (Integer i = 1;; ++i) {
        bool taken = false;
        if (module_.screen)
            for (TCustomForm* f : module_.screen->forms_)
                if (f != this && SameText(f->Name(), name)) taken = true;
        if (!taken) break;
        name = platform::detail::LayerFormat("%s_%d", {Base, i});
    }
    SetName(name);
}

void TCustomForm::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style &= ~WS_VISIBLE;
    if (Parent()) return;
    // A form placed in another module's window (a plug-in's page in the host's panel) stays
    // a child of that window; only a form of its own is a top-level window.
    const bool embedded = ParentWindow() != nullptr;
    Params.Style = WS_CLIPCHILDREN | (embedded ? WS_CHILD : 0);
    Params.ExStyle = 0;
    switch (borderStyle_) {
        case bsNone: Params.Style |= embedded ? 0 : WS_POPUP; break;
        case bsSingle: Params.Style |= WS_CAPTION | WS_BORDER; break;
        case bsToolWindow:
            Params.Style |= WS_CAPTION | WS_BORDER;
            Params.ExStyle |= WS_EX_TOOLWINDOW;
            break;
        case bsSizeable: Params.Style |= WS_CAPTION | WS_THICKFRAME; break;
        case bsSizeToolWin:
            Params.Style |= WS_CAPTION | WS_THICKFRAME;
            Params.ExStyle |= WS_EX_TOOLWINDOW;
            break;
        case bsDialog:
            Params.Style |= WS_POPUP | WS_CAPTION;
            Params.ExStyle |= WS_EX_DLGMODALFRAME;
            break;
    }
    if (borderStyle_ != bsNone && (borderIcons_ & biSystemMenu)) {
        Params.Style |= WS_SYSMENU;
        if (borderStyle_ == bsSingle || borderStyle_ == bsSizeable) {
            if (borderIcons_ & biMinimize) Params.Style |= WS_MINIMIZEBOX;
            if (borderIcons_ & biMaximize) Params.Style |= WS_MAXIMIZEBOX;
        }
    }
    if (formStyle_ == fsStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
    if (!Enabled()) Params.Style |= WS_DISABLED;
    if (!ParentWindow()) {
        TApplication* app = ModuleApplication();
        Params.WndParent = app ? app->Handle() : nullptr;
    }
}

void TCustomForm::CreateWnd() {
    TWinControl::CreateWnd();
    if (formStyle_ == fsStayOnTop) MakeTopmost();
}

void TCustomForm::MakeTopmost() {
    if (!HandleAllocated()) return;
    // The extended style tells other code (and processes) whether the form stays on top.
    LONG ex = GetWindowLongA(handle_, GWL_EXSTYLE);
    if (formStyle_ == fsStayOnTop)
        ex |= static_cast<LONG>(WS_EX_TOPMOST);
    else
        ex &= ~static_cast<LONG>(WS_EX_TOPMOST);
    SetWindowLongA(handle_, GWL_EXSTYLE, ex);
    SetWindowPos(handle_, formStyle_ == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
    if (borderStyle_ == Value) return;
    borderStyle_ = Value;
    RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
    if (borderIcons_ == Value) return;
    borderIcons_ = Value;
    RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
    if (formStyle_ == Value) return;
    formStyle_ = Value;
    MakeTopmost();
}

void TCustomForm::SetMenu(TMainMenu* Value) {
    if (menu_) RemoveFreeNotification(menu_);
    menu_ = Value;
    if (Value) Value->FreeNotification(this);
}

bool TCustomForm::IsShortCut(Word Key, TShiftState Shift) {
    if (menu_ && menu_->IsShortCut(Key, Shift)) return true;
    for (Integer i = 0; i < ComponentCount(); ++i) {
        auto* control = dynamic_cast<TControl*>(Components(i));
        if (control && control->IsFormShortCut(Key, Shift)) return true;
    }
    return false;
}

void TCustomForm::SetActiveControl(TWinControl* Value) {
    if (activeControl_ == Value) return;
    if (activeControl_) RemoveFreeNotification(activeControl_);
    activeControl_ = Value;
    if (Value) Value->FreeNotification(this);
}

void TCustomForm::ComponentRemoved(TComponent* AComponent) {
    TWinControl::ComponentRemoved(AComponent);
    if (AComponent == activeControl_) activeControl_ = nullptr;
    if (AComponent == menu_) menu_ = nullptr;
}

bool TCustomForm::Active() const { return HandleAllocated() && GetActiveWindow() == handle_; }

TWindowState TCustomForm::WindowState() const {
    if (HandleAllocated() && IsWindowVisible(handle_)) {
        if (IsIconic(handle_)) return wsMinimized;
        if (IsZoomed(handle_)) return wsMaximized;
        return wsNormal;
    }
    return windowState_;
}

void TCustomForm::SetWindowState(TWindowState Value) {
    if (windowState_ == Value) return;
    windowState_ = Value;
    if (HandleAllocated() && Visible()) ApplyWindowState();
}

void TCustomForm::ApplyWindowState() {
    HWND h = Handle();
    switch (windowState_) {
        case wsNormal:
            if (IsZoomed(h) || IsIconic(h)) {
                bool wasZoomed = IsZoomed(h) != 0;
                ShowWindow(h, SW_RESTORE);
                if (wasZoomed)
                    SetWindowPos(h, nullptr, restoreBounds_.left, restoreBounds_.top,
                                 restoreBounds_.right - restoreBounds_.left, restoreBounds_.bottom - restoreBounds_.top,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
            }
            break;
        case wsMinimized: ShowWindow(h, SW_MINIMIZE); break;
        case wsMaximized: {
            if (!IsZoomed(h)) restoreBounds_ = BoundsRect();
            ShowWindow(h, SW_MAXIMIZE);
            // Maximised fills the parent window's client area, or the screen.
            RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            if (GetWindowLongA(h, GWL_STYLE) & static_cast<LONG>(WS_CHILD)) GetClientRect(GetParent(h), &area);
            SetWindowPos(h, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        }
    }
}

void TCustomForm::ApplyPosition() {
    Integer x = left_, y = top_;
    TCustomForm* center = nullptr;
    switch (position_) {
        case poScreenCenter:
        case poDesktopCenter:
            x = (GetSystemMetrics(SM_CXSCREEN) - width_) / 2;
            y = (GetSystemMetrics(SM_CYSCREEN) - height_) / 2;
            break;
        case poOwnerFormCenter: center = dynamic_cast<TCustomForm*>(Owner()); [[fallthrough]];
        case poMainFormCenter:
            if (!center) {
                TApplication* app = ModuleApplication();
                center = app ? app->MainForm() : nullptr;
            }
            if (center && center != this) {
                x = center->Left() + (center->Width() - width_) / 2;
                y = center->Top() + (center->Height() - height_) / 2;
            } else {
                x = (GetSystemMetrics(SM_CXSCREEN) - width_) / 2;
                y = (GetSystemMetrics(SM_CYSCREEN) - height_) / 2;
            }
            break;
        default: return;
    }
    SetBounds(std::max(x, 0), std::max(y, 0), width_, height_);
}

bool TCustomForm::Showing() const { return Visible() && HandleAllocated() && IsWindowVisible(handle_); }

void TCustomForm::VisibleChanged() { UpdateShowing(); }

void TCustomForm::UpdateShowing() {
    if (Visible()) {
        HandleNeeded();
        if (!shown_) {
            shown_ = true;
            ApplyPosition();
        }
        DoShow();
        if (!Visible() || !HandleAllocated()) return;
        int cmd = windowState_ == wsMinimized ? SW_SHOWMINIMIZED : windowState_ == wsMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
        if (Parent()) cmd = SW_SHOWNA;
        ShowWindow(handle_, cmd);
        if (windowState_ == wsMaximized) ApplyWindowState();
    } else {
        DoHide();
        if (HandleAllocated()) ShowWindow(handle_, SW_HIDE);
    }
}

void TCustomForm::DoShow() {
    if (CanRunEvents() && OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
    if (CanRunEvents() && OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& Action) {
    if (CanRunEvents() && OnClose) OnClose(this, Action);
}

void TCustomForm::Show() {
    SetVisible(true);
    BringToFront();
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (CanRunEvents() && OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (Destroying() || !CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    TApplication* app = ModuleApplication();
    if (app && app->MainForm() == this) {
        app->FormClosedMain();
        return;
    }
    switch (action) {
        case caHide: Hide(); break;
        case caMinimize: SetWindowState(wsMinimized); break;
        case caFree: Release(); break;
        default: break;
    }
}

void TCustomForm::Release() {
    if (releasing_) return;
    releasing_ = true;
    std::weak_ptr<bool> alive = AliveToken();
    platform::DeferToOutermostLoop([this, alive] {
        if (!alive.expired()) Free();
    });
    // Wakes a loop that waits, so the outermost one gets to the deferred work.
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void TCustomForm::CloseModal() {
    if (!CloseQuery()) {
        modalResult_ = mrNone;
        return;
    }
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone)
        modalResult_ = mrNone;
    else if (action == caFree)
        Release();
}

TModalResult TCustomForm::ShowModal() {
    if (Visible() || modal_ || !Enabled())
        throw EInvalidOperation("Cannot make a visible window modal");
    modal_ = true;
    modalResult_ = mrNone;
    std::weak_ptr<bool> alive = AliveToken();
    struct Reset {
        TCustomForm* form;
        std::weak_ptr<bool> alive;
        ~Reset() {
            if (!alive.expired()) form->modal_ = false;
        }
    } reset{this, alive};
    if (platform::DialogsWaitForPerson()) return ShowModalToPerson();
    Show();
    platform::ModalLoop loop;
    PostMessageA(Handle(), CM_MODALSTEP, 0, reinterpret_cast<LPARAM>(&loop));
    bool ended = loop.Run();
    if (alive.expired()) return ended ? mrOk : mrCancel;
    if (!ended && modalResult_ == mrNone) modalResult_ = mrCancel;
    TModalResult result = modalResult_;
    modal_ = false;
    if (Visible()) Hide();
    return result;
}

TModalResult TCustomForm::ShowModalToPerson() {
    // Only this form answers the person meanwhile: the thread's other top-level windows are
    // disabled and enabled again afterwards, as the class library does with its task windows.
    std::vector<HWND> disabled;
    Show();
    if (activeControl_ && activeControl_->CanFocus()) activeControl_->SetFocus();
    struct Collect {
        HWND self;
        std::vector<HWND>* out;
    } collect{Handle(), &disabled};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM p) -> BOOL {
            auto* c = reinterpret_cast<Collect*>(p);
            if (h != c->self && IsWindowVisible(h) && IsWindowEnabled(h)) c->out->push_back(h);
            return TRUE_;
        },
        reinterpret_cast<LPARAM>(&collect));
    for (HWND h : disabled) EnableWindow(h, FALSE_);
    std::weak_ptr<bool> alive = AliveToken();
    struct Restore {
        std::vector<HWND>& windows;
        ~Restore() {
            for (HWND h : windows)
                if (IsWindow(h)) EnableWindow(h, TRUE_);
        }
    } restore{disabled};
    TModalResult result = mrCancel;
    {
        platform::LoopScope scope;
        platform::PersonWait wait;
        for (;;) {
            if (alive.expired()) break;
            if (modalResult_ != mrNone) {
                CloseModal();
                if (modalResult_ != mrNone) break;
            }
            if (platform::QuitRequested()) {
                // The quit belongs to the loop outside, which ends the program.
                const int code = platform::QuitExitCode();
                platform::ResetQuitRequest();
                PostQuitMessage(code);
                modalResult_ = mrCancel;
                break;
            }
            if (platform::ProcessOneMessage()) {
                wait.Handled();
            } else if (!wait.Idle()) {
                modalResult_ = mrCancel;
                break;
            }
        }
    }
    if (alive.expired()) return mrCancel;
    result = modalResult_;
    modal_ = false;
    if (Visible()) Hide();
    if (recordsModal_) {
        platform::DialogRequest request;
        request.kind = platform::DialogKind::ModalForm;
        request.caption = Caption();
        request.className = ClassName();
        request.form = this;
        platform::RecordDialog(request, result);
    }
    return result;
}

bool TCustomForm::DialogKey(Word Key) {
    std::function<bool(TWinControl*)> walk = [&](TWinControl* w) {
        for (Integer i = 0; i < w->ControlCount(); ++i) {
            TControl* c = w->Controls(i);
            if (c->DialogChar(Key)) return true;
            if (auto* cw = dynamic_cast<TWinControl*>(c); cw && walk(cw)) return true;
        }
        return false;
    };
    return walk(this);
}

void TCustomForm::BringToFront() {
    if (!HandleAllocated()) return;
    if (Parent()) {
        TWinControl::BringToFront();
        return;
    }
    BringWindowToTop(handle_);
    if (IsWindowVisible(handle_)) SetForegroundWindow(handle_);
}

bool TCustomForm::CanFocus() const { return Visible() && Enabled(); }

void TCustomForm::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    HWND h = Handle();
    if (!Parent() && !(GetWindowLongA(h, GWL_STYLE) & static_cast<LONG>(WS_CHILD))) SetActiveWindow(h);
    ::SetFocus(h);
}

void TCustomForm::PaintWindow(HDC DC) {
    (void)DC;
    if (CanRunEvents() && OnPaint) OnPaint(this);
}

void TCustomForm::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case CM_MODALSTEP: {
            auto* loop = reinterpret_cast<platform::ModalLoop*>(Message.LParam);
            static thread_local int rounds = 0;
            try {
                platform::DialogRequest request;
                request.kind = platform::DialogKind::ModalForm;
                request.caption = Caption();
                request.className = ClassName();
                request.form = this;
                std::weak_ptr<bool> alive = AliveToken();
                int answer = platform::ShowDialog(request);
                if (alive.expired()) {
                    loop->End();
                    return;
                }
                if (modalResult_ == mrNone) modalResult_ = answer;
                CloseModal();
                if (modalResult_ != mrNone) {
                    rounds = 0;
                    loop->End();
                } else if (++rounds >= kMaxModalRounds || !platform::HasDialogHook()) {
                    rounds = 0;
                    modalResult_ = mrCancel;
                    loop->End();
                } else {
                    PostMessageA(handle_, CM_MODALSTEP, 0, Message.LParam);
                }
            } catch (...) {
                rounds = 0;
                if (modalResult_ == mrNone) modalResult_ = mrCancel;
                loop->End();
                throw;
            }
            return;
        }
        case WM_CLOSE: Close(); return;
        case WM_SYSCOLORCHANGE: {
            TMessage notice{CM_SYSCOLORCHANGE, 0, 0, 0};
            WndProc(notice);
            break;
        }
        case WM_SYSCOMMAND:
            if ((Message.WParam & 0xFFF0) == SC_MINIMIZE) {
                TApplication* app = ModuleApplication();
                if (app && app->MainForm() == this) {
                    app->Minimize();
                    return;
                }
            }
            break;
        case WM_ACTIVATE:
            if (CanRunEvents()) {
                if (LOWORD(Message.WParam) != WA_INACTIVE) {
                    if (OnActivate) OnActivate(this);
                } else if (OnDeactivate) {
                    OnDeactivate(this);
                }
            }
            break;
        default: break;
    }
    TWinControl::WndProc(Message);
}
