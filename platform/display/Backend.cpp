// Choosing the backend, the headless backend, and the hooks the window system calls.
#include "platform/DesktopServices.h"
#include "platform/display/Backend.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "detail/WindowTable.h"
#include "platform/display/Hooks.h"
#include "platform/display/Input.h"
#include "platform/display/Library.h"

namespace platform::display {
namespace {

// Today's behaviour: nobody sees the windows, text has the fixed metrics, the selections are
// kept inside the process.
class HeadlessBackend final : public Backend {
public:
    const char* Name() const override { return "headless"; }
    bool IsInteractive() const override { return false; }
    void TopLevelChanged(const TopLevelState&) override {}
    void TopLevelDestroyed(HWND) override {}
    void Damaged(HWND) override {}
    String SelectionText(Selection which) override { return selections_[static_cast<int>(which)]; }
    void SetSelectionText(Selection which, const String& text) override {
        selections_[static_cast<int>(which)] = text;
    }

private:
    String selections_[2];
};

struct Choice {
    std::recursive_mutex mutex;
    Backend* backend = nullptr;  // lives until exit: windows may be destroyed by static destructors
    std::thread::id guiThread;   // the thread that chose: the only one that talks to the display
};

Choice& TheChoice() {
    static Choice* choice = new Choice;
    return *choice;
}

Backend* TryX11(String* why) {
    String error;
    if (!library::Open(&error)) {
        *why = error;
        return nullptr;
    }
    auto create = library::Entry<library::CreateBackendFn>("TarvikX11CreateBackend");
    if (!create) {
        *why = "the X11 backend library has no entry point";
        return nullptr;
    }
    char buffer[256] = {};
    Backend* b = create(nullptr, buffer, sizeof buffer);
    if (!b) *why = buffer;
    // A person sees this program: its links open in their browser and a shutdown is real.
    else platform::desktop::SetServicesLive(true);
    return b;
}

Backend* ChooseFromEnvironment() {
    const char* env = std::getenv("TARVIK_DISPLAY");
    String wanted = env ? env : "";
    if (wanted == "headless") return new HeadlessBackend;
    String why;
    if (wanted == "x11") {
        if (Backend* b = TryX11(&why)) return b;
        std::fprintf(stderr, "Tarvik: TARVIK_DISPLAY=x11, but the X display cannot be used (%s); running headless.\n",
                     why.c_str());
        return new HeadlessBackend;
    }
    const char* display = std::getenv("DISPLAY");
    if (display && *display) {
        if (Backend* b = TryX11(&why)) return b;
    } else {
        why = "DISPLAY is not set";
    }
    std::fprintf(stderr,
                 "Tarvik: no display (%s); running headless, windows are not shown. To see them, run under "
                 "xvfb-run or on a desktop.\n",
                 why.c_str());
    return new HeadlessBackend;
}

RECT ClientOnScreen(const detail::Window& w) {
    RECT in = detail::FrameInsets(w.style, w.exStyle);
    return RECT{w.rect.left + in.left, w.rect.top + in.top, w.rect.right - in.right, w.rect.bottom - in.bottom};
}

HWND TopLevelOf(HWND hwnd) {
    auto& table = detail::WindowTable::Get();
    detail::WindowPtr w = table.Find(hwnd);
    while (w && w->parent) w = table.Find(w->parent);
    return w ? w->handle : nullptr;
}

}  // namespace

Backend& Current() {
    Choice& c = TheChoice();
    std::lock_guard lock(c.mutex);
    if (!c.backend) {
        c.backend = ChooseFromEnvironment();
        c.guiThread = std::this_thread::get_id();
    }
    return *c.backend;
}

Backend* CurrentIfChosen() { return TheChoice().backend; }

namespace {
// Hooks reached from other threads (a worker's own queue) leave the display alone: the
// connection belongs to the thread that runs the windows.
Backend* ForThisThread() {
    Choice& c = TheChoice();
    return c.backend && c.guiThread == std::this_thread::get_id() ? c.backend : nullptr;
}
}  // namespace

bool Choose(std::string_view name) {
    Choice& c = TheChoice();
    std::lock_guard lock(c.mutex);
    if (c.backend) return String(c.backend->Name()) == name;
    c.guiThread = std::this_thread::get_id();
    if (name == "x11") {
        String why;
        c.backend = TryX11(&why);
        if (c.backend) return true;
    }
    c.backend = new HeadlessBackend;
    return name == "headless";
}

Backend* SwapForTesting(Backend* backend) {
    Choice& c = TheChoice();
    std::lock_guard lock(c.mutex);
    c.guiThread = std::this_thread::get_id();
    return std::exchange(c.backend, backend);
}

bool ReadTopLevelState(HWND hwnd, TopLevelState* state) {
    detail::WindowPtr w = detail::WindowTable::Get().Find(hwnd);
    if (!w || w->parent || w->messageOnly || w->state != detail::WindowState::Alive) return false;
    state->hwnd = hwnd;
    state->title = w->text;
    state->client = ClientOnScreen(*w);
    // A window with no area (the application's own hidden-in-plain-sight window) shows nothing.
    state->visible = (w->style & WS_VISIBLE) != 0 && state->client.right > state->client.left &&
                     state->client.bottom > state->client.top;
    state->minimized = (w->style & WS_MINIMIZE) != 0;
    state->maximized = (w->style & WS_MAXIMIZE) != 0;
    state->enabled = (w->style & WS_DISABLED) == 0;
    state->popup = (w->style & WS_POPUP) && (w->style & WS_CAPTION) != WS_CAPTION && !(w->style & WS_THICKFRAME);
    state->toolWindow = (w->exStyle & WS_EX_TOOLWINDOW) != 0;
    state->owner = w->owner;
    return true;
}

// ---- hooks

void NoteTopLevel(HWND hwnd) {
    TopLevelState state;
    if (!ReadTopLevelState(hwnd, &state)) return;
    // A process that never shows a window never needs a display.
    if (state.visible) Current();
    Backend* b = ForThisThread();
    if (!b) return;
    b->TopLevelChanged(state);
    // A window shown during long work shows the busy pointer like the others at once.
    if (state.visible)
        if (auto busy = ScreenCursorShape()) b->SetCursor(hwnd, *busy);
}

void NoteDestroyed(HWND hwnd) {
    if (Backend* b = ForThisThread()) b->TopLevelDestroyed(hwnd);
}

void NoteDamage(HWND hwnd) {
    Backend* b = ForThisThread();
    if (!b) return;
    if (HWND top = TopLevelOf(hwnd)) b->Damaged(top);
}

void NoteRaised(HWND hwnd) {
    if (Backend* b = ForThisThread()) b->Raise(hwnd);
}

std::optional<SIZE> DisplayTextExtent(const FontSpec& font, std::string_view text) {
    Backend* backend = CurrentIfChosen();
    return (backend ? backend : &Current())->TextExtent(font, text);
}

SIZE ScreenSize() {
    if (Backend* b = ForThisThread())
        if (auto size = b->ScreenSize()) return *size;
    return SIZE{1024, 768};
}

void NoteCapture(HWND hwnd) {
    if (Backend* b = ForThisThread()) b->CaptureChanged(hwnd ? TopLevelOf(hwnd) : nullptr);
}

void FlushDisplay() {
    if (Backend* b = ForThisThread()) b->Flush();
}

namespace {

struct EventSource {
    int id;
    int fd;
    std::function<void()> ready;
};

std::vector<EventSource>& EventSources() {
    static std::vector<EventSource> sources;
    return sources;
}

}  // namespace

int AddEventSource(int fd, std::function<void()> ready) {
    static int next = 0;
    EventSources().push_back({++next, fd, std::move(ready)});
    return next;
}

void RemoveEventSource(int id) {
    auto& sources = EventSources();
    std::erase_if(sources, [id](const EventSource& s) { return s.id == id; });
}

void PumpDisplay() {
    Backend* b = ForThisThread();
    if (!b) return;
    // Input handlers may look for messages themselves; the display is read by the outermost.
    thread_local bool pumping = false;
    if (pumping) return;
    pumping = true;
    try {
        b->Pump();
        // A source's handler may remove sources (its own too): run a copy, skipping the removed.
        const std::vector<EventSource> sources = EventSources();
        for (const auto& source : sources) {
            const auto& now = EventSources();
            if (std::any_of(now.begin(), now.end(), [&](const EventSource& s) { return s.id == source.id; }))
                source.ready();
        }
    } catch (...) {
        pumping = false;
        throw;
    }
    pumping = false;
}

bool PrepareWait(std::vector<pollfd>& fds) {
    Backend* b = ForThisThread();
    if (!b) return false;
    bool pending = b->Flush();
    b->AppendPollFds(fds);
    for (const auto& source : EventSources()) fds.push_back(pollfd{source.fd, POLLIN, 0});
    return pending;
}

}  // namespace platform::display
