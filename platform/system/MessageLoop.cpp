#include "platform/MessageLoop.h"

#include "platform/MessagePump.h"
#include "detail/LoopState.h"
#include "platform/display/Hooks.h"
#include "detail/MessageQueue.h"

namespace platform {

namespace detail {

LoopState& State() {
    thread_local LoopState state;
    return state;
}

}  // namespace detail

using detail::State;

namespace {

// The message pump of long operations is this layer's ProcessMessages.
const bool g_pumpInstalled = [] {
    SetMessagePump(&ProcessMessages);
    return true;
}();

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

// ---- the main window

void SetMainWindow(HWND hwnd) { State().mainWindow = hwnd; }
HWND MainWindow() { return State().mainWindow; }

void WaitForInput(int maxMillis) { detail::MessageQueue::Wait(maxMillis); }

}  // namespace platform
