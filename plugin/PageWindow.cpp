#include "plugin/PageWindow.h"

#include <algorithm>

#include "platform/MessageLoop.h"
#include "platform/SysUtils.h"

namespace qel {
namespace {

// Window classes are process-wide, and a process may hold this code twice (the library and a
// test that links the same sources): each copy registers a class of its own.
const String& PageClass() {
    static const String name = "TQelFormMain." + IntToHex(static_cast<Int64>(reinterpret_cast<std::uintptr_t>(&PageClass)), 16);
    return name;
}
constexpr UINT_PTR kCheckTimer = 1;

struct LibraryState {
    std::vector<TPageWindow*> pages;
};

// Pages live until their parent window goes, which may be when the process ends: the list
// outlives every static destructor, so a page is never left pointing at a destroyed list.
LibraryState& State() {
    static auto* state = new LibraryState;
    return *state;
}

}  // namespace

// The module's own `Application` variable: the host's object while pages live.
TApplication* LibraryApplication() { return Application; }
void AdoptApplication(TApplication* host) {
    if (host) Application = host;
}
void RestoreOwnApplication() { Application = platform::module::OwnApplication(); }

String UniquePageName() {
    auto taken = [](const String& name) { return !TPageWindow::Named(name).empty(); };
    String name = "FormMain";
    for (Integer i = 1; taken(name); ++i) name = Format("%s_%d", {"FormMain", i});
    return name;
}

const std::vector<TPageWindow*>& TPageWindow::Pages() { return State().pages; }

std::vector<TPageWindow*> TPageWindow::Named(const String& name) {
    std::vector<TPageWindow*> found;
    for (auto* p : State().pages)
        if (SameText(p->Name(), name)) found.push_back(p);
    return found;
}

TPageWindow::TPageWindow(TApplication* host, HWND parent, String name, const String& settingsPath,
                         std::unique_ptr<TBackupArchive> archive, const String& pluginDataFolder)
    : host_(host), parent_(parent), name_(std::move(name)), page_(std::move(archive), settingsPath, pluginDataFolder) {}

TPageWindow* TPageWindow::Create(TApplication* host, HWND parent, const String& settingsPath,
                                 std::unique_ptr<TBackupArchive> archive, const String& pluginDataFolder) {
    static bool registered = [] {
        WNDCLASSA wc;
        wc.lpfnWndProc = &TPageWindow::WindowProc;
        wc.lpszClassName = PageClass().c_str();
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    AdoptApplication(host);
    auto* page = new TPageWindow(host, parent, UniquePageName(), settingsPath, std::move(archive), pluginDataFolder);
    page->hwnd_ = CreateWindowExA(0, PageClass().c_str(), "Main", WS_CHILD, 0, 0, kDesignedWidth, kDesignedHeight, parent,
                                  nullptr, nullptr, page);
    if (!page->hwnd_) {
        delete page;
        throw Exception("The plug-in page cannot be created");
    }
    SetWindowLongPtrA(page->hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(page));
    State().pages.push_back(page);
    page->Maximize();
    try {
        page->page_.LoadSettings();
    } catch (...) {
        DestroyWindow(page->hwnd_);
        throw;
    }
    page->form_ = new TFormMain(page->page_, page->hwnd_);
    page->page_.OnChanged = [page] { page->form_->ShowPage(); };
    page->page_.OnStatus = [page] { page->form_->ShowStatus(); };
    page->page_.OnListLoading = [page](bool loading) { page->form_->ListLoading(loading); };
    page->page_.OnWorking = [page](bool working) { page->form_->Working(working); };
    page->page_.OnRowRemoved = [page](Integer row) { page->form_->RowRemoved(row); };
    page->page_.Archive().OnEndZip = [page](const String& name, Int64 size, Int64 packed, Int64 zipSize) {
        page->form_->ZipperEndZip(nullptr, name, size, packed, zipSize);
    };
    page->Maximize();
    page->form_->Show();
    SetWindowTextA(page->hwnd_, page->name_.c_str());
    ShowWindow(page->hwnd_, SW_SHOW);
    SetTimer(page->hwnd_, kCheckTimer, kCheckMillis, nullptr);
    return page;
}

void TPageWindow::Maximize() {
    RECT r;
    if (parent_ && GetClientRect(parent_, &r)) {
        MoveWindow(hwnd_, 0, 0, r.right - r.left, r.bottom - r.top, TRUE_);
        if (form_) form_->SetBounds(0, 0, r.right - r.left, r.bottom - r.top);
    }
    InvalidateRect(hwnd_, nullptr, TRUE_);
}

void TPageWindow::Refresh() {
    BringWindowToTop(hwnd_);
    SetFocus(hwnd_);
    Maximize();
    UpdateWindow(hwnd_);
}

void TPageWindow::Destroyed() {
    KillTimer(hwnd_, kCheckTimer);
    auto& pages = State().pages;
    pages.erase(std::remove(pages.begin(), pages.end(), this), pages.end());
    RestoreOwnApplication();
    hwnd_ = nullptr;
    // A page may be destroyed from inside its own backup, which runs the message loop: the
    // object goes only when the outermost loop has the control again.
    page_.OnChanged = nullptr;
    page_.OnStatus = nullptr;
    page_.OnListLoading = nullptr;
    page_.OnWorking = nullptr;
    page_.OnRowRemoved = nullptr;
    page_.Archive().OnEndZip = nullptr;
    platform::DeferToOutermostLoop([this] {
        delete form_;
        delete this;
    });
}

LRESULT TPageWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* page = reinterpret_cast<TPageWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_TIMER:
            // A tick that arrives while the previous one still runs (the backup pumps
            // messages) has nothing to add.
            if (page && wParam == kCheckTimer && !page->ticking_) {
                page->ticking_ = true;
                try {
                    page->page_.Tick();
                } catch (...) {
                    page->ticking_ = false;
                    throw;
                }
                page->ticking_ = false;
            }
            return 0;
        case WM_DESTROY:
            if (page) page->Destroyed();
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            return 0;
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace qel
