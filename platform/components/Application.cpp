// TApplication: the application object, its window and its message loop.
#include <algorithm>
#include <cstdio>

#include "platform/BoxForms.h"
#include "platform/Forms.h"
#include "platform/MessageLoop.h"
#include "platform/Params.h"
#include "platform/SysUtils.h"
#include "detail/LayerFormat.h"

namespace {

constexpr const char* kAppClass = "TApplication";
constexpr const char* kAppProp = "TarvikApplication";

std::vector<TApplication*>& Applications() {
    static std::vector<TApplication*> list;
    return list;
}

struct HiddenWindows {
    HWND app;
    std::vector<HWND>* out;
};

BOOL CollectOwned(HWND hwnd, LPARAM param) {
    auto* h = reinterpret_cast<HiddenWindows*>(param);
    if (GetWindow(hwnd, GW_OWNER) == h->app && IsWindowVisible(hwnd)) h->out->push_back(hwnd);
    return TRUE_;
}

}  // namespace

TApplication* platform::ProcessApplication() {
    auto& list = Applications();
    return list.empty() ? nullptr : list.front();
}

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
    Applications().push_back(this);
    // Boxes become forms of this layer when a person is there to answer them.
    platform::InstallBoxForms();
}

TApplication::~TApplication() {
    auto& list = Applications();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    MarkDestroying();
    DestroyComponents();
    if (handle_) {
        HWND h = handle_;
        handle_ = nullptr;
        RemovePropA(h, kAppProp);
        DestroyWindow(h);
    }
}

void TApplication::Initialize() {}

HWND TApplication::Handle() {
    if (handle_) return handle_;
    WNDCLASSA existing;
    if (!GetClassInfoA(nullptr, kAppClass, &existing)) {
        WNDCLASSA wc;
        wc.lpfnWndProc = &TApplication::AppWndProc;
        wc.lpszClassName = kAppClass;
        RegisterClassA(&wc);
    }
    handle_ = CreateWindowExA(0, kAppClass, title_.c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                              nullptr, nullptr, nullptr, nullptr);
    if (!handle_) throw EOutOfResources("Error creating window");
    SetPropA(handle_, kAppProp, this);
    return handle_;
}

LRESULT TApplication::AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* app = static_cast<TApplication*>(GetPropA(hwnd, kAppProp));
    if (!app) return DefWindowProcA(hwnd, msg, wParam, lParam);
    try {
        return app->WndProc(msg, wParam, lParam);
    } catch (...) {
        app->HandleException(app);
        return 0;
    }
}

LRESULT TApplication::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
        case WM_CLOSE:
            if (mainForm_) mainForm_->Close();
            return 0;
        case WM_SYSCOMMAND:
            switch (WParam & 0xFFF0) {
                case SC_MINIMIZE: Minimize(); return 0;
                case SC_RESTORE: Restore(); return 0;
                default: break;
            }
            break;
        case WM_NCDESTROY:
            RemovePropA(handle_, kAppProp);
            handle_ = nullptr;
            break;
        default: break;
    }
    return DefWindowProcA(handle_, Msg, WParam, LParam);
}

void TApplication::SetTitle(const String& Value) {
    title_ = Value;
    if (handle_) SetWindowTextA(handle_, Value.c_str());
}

String TApplication::ExeName() const { return ParamStr(0); }

void TApplication::FormCreated(TCustomForm* Form) {
    if (!mainForm_ && dynamic_cast<TForm*>(Form)) {
        mainForm_ = Form;
        Form->HandleNeeded();
        platform::SetMainWindow(Form->Handle());
    }
}

void TApplication::FormDestroyed(TCustomForm* Form) {
    if (mainForm_ == Form) {
        mainForm_ = nullptr;
        if (Form->HandleAllocated() && platform::MainWindow() == Form->Handle()) platform::SetMainWindow(nullptr);
    }
}

void TApplication::FormClosedMain() { Terminate(); }

void TApplication::Run() {
    platform::InstallTerminationSignals();
    if (mainForm_ && showMainForm_) {
        if (mainForm_->WindowState() == wsMinimized)
            Minimize();
        else
            mainForm_->SetVisible(true);
    }
    while (!Terminated()) HandleMessage();
}

void TApplication::Terminate() {
    terminated_ = true;
    PostQuitMessage(0);
}

bool TApplication::Terminated() const { return platform::QuitRequested(); }

void TApplication::ProcessMessages() {
    platform::ProcessMessages();
    if (platform::LoopDepth() == 0) platform::RunDeferred();
}

void TApplication::HandleMessage() { platform::HandleMessage(); }

void TApplication::Minimize() {
    HWND h = Handle();
    if (IsIconic(h)) return;
    // The forms go with the application's window, as its owned windows.
    std::vector<HWND> visible;
    HiddenWindows param{h, &visible};
    EnumThreadWindows(GetCurrentThreadId(), &CollectOwned, reinterpret_cast<LPARAM>(&param));
    for (HWND w : visible) ShowWindow(w, SW_HIDE);
    hiddenByMinimize_.insert(hiddenByMinimize_.end(), visible.begin(), visible.end());
    ShowWindow(h, SW_MINIMIZE);
    if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
    HWND h = Handle();
    if (!IsIconic(h)) {
        // A window manager minimises the main form itself, not the application's window.
        if (mainForm_ && mainForm_->HandleAllocated() && IsIconic(mainForm_->Handle())) {
            ShowWindow(mainForm_->Handle(), SW_RESTORE);
            SetForegroundWindow(mainForm_->Handle());
        }
        return;
    }
    ShowWindow(h, SW_RESTORE);
    std::vector<HWND> hidden;
    hidden.swap(hiddenByMinimize_);
    for (HWND w : hidden)
        if (IsWindow(w)) ShowWindow(w, SW_SHOWNA);
    if (mainForm_ && mainForm_->HandleAllocated() && IsWindowVisible(mainForm_->Handle()))
        SetForegroundWindow(mainForm_->Handle());
    if (OnRestore) OnRestore(this);
}

void TApplication::BringToFront() {
    HWND target = nullptr;
    if (HWND active = GetActiveWindow(); active && IsWindowVisible(active)) target = active;
    if (!target && mainForm_ && mainForm_->HandleAllocated()) target = mainForm_->Handle();
    if (!target) return;
    BringWindowToTop(target);
    if (IsWindowVisible(target)) SetForegroundWindow(target);
}

void TApplication::SetHint(const String& Value) {
    if (hint_ == Value) return;
    hint_ = Value;
    if (OnHint) OnHint(this);
}

namespace {
void Report(TApplication& app, TObject* Sender, Exception& e) {
    if (app.OnException) {
        try {
            app.OnException(Sender, e);
        } catch (std::exception& inner) {
            std::fprintf(stderr, "%s\n", inner.what());
        }
    } else {
        app.ShowException(e);
    }
}
}  // namespace

void TApplication::HandleException(TObject* Sender) {
    std::exception_ptr current = std::current_exception();
    if (!current) return;
    try {
        std::rethrow_exception(current);
    } catch (EAbort&) {
    } catch (Exception& e) {
        Report(*this, Sender, e);
    } catch (std::exception& e) {
        Exception wrapped(e.what());
        Report(*this, Sender, wrapped);
    } catch (...) {
        Exception wrapped("Unknown exception");
        Report(*this, Sender, wrapped);
    }
}

void TApplication::ShowException(Exception& E) {
    String msg = E.Message();
    if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
    std::fprintf(stderr, "%s: %s\n", E.ClassName(), msg.c_str());
    MessageBox(msg, title_, MB_OK | MB_ICONSTOP);
}

Integer TApplication::MessageBox(const String& Text, const String& Caption, UINT Flags) {
    HWND owner = mainForm_ && mainForm_->HandleAllocated() ? mainForm_->Handle() : handle_;
    return MessageBoxA(owner, Text.c_str(), Caption.c_str(), Flags);
}
