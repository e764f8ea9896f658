#include "platform/MessageLoop.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>

#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/MessagePump.h"
#include "platform/detail/CrossProcess.h"
#include "platform/detail/MessageQueue.h"
#include "platform/display/Hooks.h"

namespace platform {
namespace {

struct LoopState {
    bool quitRequested = false;
    int quitCode = 0;
    int depth = 0;
    std::deque<std::function<void()>> deferred;
    ModalLoop* currentModal = nullptr;
    HWND mainWindow = nullptr;
};

LoopState& State() {
    thread_local LoopState state;
    return state;
}

// A modal loop that has nothing to do under a manual clock can only be ended by the test
// that drives it; after this much real time it gives up with an error instead of hanging.
constexpr auto kManualClockModalIdleLimit = std::chrono::seconds(10);

// The message pump of long operations is this layer's ProcessMessages.
const bool g_pumpInstalled = [] {
    SetMessagePump(&ProcessMessages);
    return true;
}();

// ---- termination signals
int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_signalSeen = 0;

void OnTerminationSignal(int) {
    int saved = errno;
    g_signalSeen = 1;
    if (g_signalPipe[1] >= 0) {
        char b = 1;
        [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &b, 1);
    }
    errno = saved;
}

}  // namespace

bool ProcessOneMessage() {
    (void)g_pumpInstalled;
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        State().quitRequested = true;
        State().quitCode = static_cast<int>(msg.wParam);
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void ProcessMessages() {
    LoopScope scope;
    // Like the class library's ProcessMessages, a quit met on the way is noted and the rest
    // of the queue is still handled; the loops that run the program look at the note.
    while (ProcessOneMessage()) {
        if (State().depth <= 1) RunDeferred();
    }
    // Work deferred by the last message handled, or with no message at all, is due too.
    if (State().depth <= 1) RunDeferred();
    // A long operation that pumps never waits: what it changed is drawn now.
    display::FlushDisplay();
}

void HandleMessage() {
    LoopScope scope;
    if (!ProcessOneMessage()) WaitMessage();
    if (State().depth <= 1) RunDeferred();
}

int RunMessageLoop() {
    while (!State().quitRequested) HandleMessage();
    return State().quitCode;
}

bool QuitRequested() { return State().quitRequested; }
int QuitExitCode() { return State().quitCode; }
void ResetQuitRequest() {
    State().quitRequested = false;
    State().quitCode = 0;
}

int LoopDepth() { return State().depth; }

LoopScope::LoopScope() { ++State().depth; }
LoopScope::~LoopScope() { --State().depth; }

void DeferToOutermostLoop(std::function<void()> fn) { State().deferred.push_back(std::move(fn)); }

void RunDeferred() {
    auto& s = State();
    while (s.depth <= 1 && !s.deferred.empty()) {
        auto fn = std::move(s.deferred.front());
        s.deferred.pop_front();
        fn();
    }
}

// ---- modal loop

ModalLoop::ModalLoop() : outer_(State().currentModal) { State().currentModal = this; }

ModalLoop::~ModalLoop() { State().currentModal = outer_; }

ModalLoop* ModalLoop::Current() { return State().currentModal; }

bool ModalLoop::Run() {
    LoopScope scope;
    auto& s = State();
    const bool manual = dynamic_cast<ManualClock*>(&CurrentClock()) != nullptr;
    auto idleSince = std::chrono::steady_clock::now();
    while (!ended_) {
        if (s.quitRequested) {
            // Leave the quit for the loop outside, which ends the program.
            PostQuitMessage(s.quitCode);
            s.quitRequested = false;
            return false;
        }
        if (ProcessOneMessage()) {
            idleSince = std::chrono::steady_clock::now();
            continue;
        }
        if (ended_) break;
        if (manual && std::chrono::steady_clock::now() - idleSince > kManualClockModalIdleLimit)
            throw EInvalidOperation("Modal loop idle under a manual clock");
        detail::MessageQueue::Wait(manual ? 20 : -1);
    }
    return true;
}

// ---- main window and signals

void SetMainWindow(HWND hwnd) { State().mainWindow = hwnd; }
HWND MainWindow() { return State().mainWindow; }

void InstallTerminationSignals() {
    static const bool installed = [] {
        if (::pipe2(g_signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) g_signalPipe[0] = g_signalPipe[1] = -1;
        struct sigaction sa {};
        sa.sa_handler = OnTerminationSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &sa, nullptr);
        ::sigaction(SIGINT, &sa, nullptr);
        ::sigaction(SIGHUP, &sa, nullptr);
        return true;
    }();
    (void)installed;
}

namespace detail {

int TerminationSignalFd() { return g_signalPipe[0]; }

bool TakeTerminationSignal() {
    if (!g_signalSeen) return false;
    g_signalSeen = 0;
    char buf[64];
    while (g_signalPipe[0] >= 0 && ::read(g_signalPipe[0], buf, sizeof buf) > 0) {
    }
    return true;
}

}  // namespace detail

// ---- keyboard

void ResetKeyboard() {
    for (int vk = 0; vk < 256; ++vk) SetKeyDown(vk, false);
}

// ---- cross-process settings

void SetCrossProcessSendTimeout(std::uint32_t millis) { detail::CrossProcess::Get().sendTimeoutMillis = millis; }

std::uint32_t CrossProcessSendTimeout() {
    std::uint32_t t = detail::CrossProcess::Get().sendTimeoutMillis;
    if (t) return t;
    if (const char* env = ::getenv("TARVIK_SEND_TIMEOUT_MS")) {
        char* end = nullptr;
        unsigned long v = std::strtoul(env, &end, 10);
        if (end && *end == '\0' && v > 0 && v < 600000) return static_cast<std::uint32_t>(v);
    }
    return 5000;
}

String SessionFolder() { return detail::SessionFolderPath(); }

// ---- test helpers

bool RunLoopUntil(const std::function<bool()>& done, std::uint64_t deadlineTick, std::uint64_t stepMillis) {
    if (stepMillis == 0) stepMillis = 1;
    for (;;) {
        {
            LoopScope scope;
            // Bounded, so a message that keeps re-posting itself cannot spin forever.
            for (int i = 0; i < 100000 && !State().quitRequested && ProcessOneMessage(); ++i) {
                if (State().depth <= 1) RunDeferred();
                if (done()) return true;
            }
        }
        if (done()) return true;
        std::uint64_t now = CurrentClock().TickMillis();
        if (now >= deadlineTick || State().quitRequested) return done();
        std::uint64_t step = std::min(stepMillis, deadlineTick - now);
        if (auto* manual = dynamic_cast<ManualClock*>(&CurrentClock()))
            manual->Advance(step);
        else
            detail::MessageQueue::Wait(static_cast<int>(step));
    }
}

bool RunLoopFor(const std::function<bool()>& done, std::uint64_t millis, std::uint64_t stepMillis) {
    return RunLoopUntil(done, CurrentClock().TickMillis() + millis, stepMillis);
}

}  // namespace platform
