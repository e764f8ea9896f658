// Message-loop helpers for the component layer, the modal loop object, and the input hooks of
// the window system.
//
// Application.Run, ProcessMessages and HandleMessage are built on these. Nesting is counted:
// a modal loop or a long operation that pumps runs a nested loop, and work that must not
// happen inside one (freeing a form or component) is deferred to the outermost loop.
// The layer installs ProcessMessages as the message pump of platform/MessagePump.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/Windows.h"

namespace platform {

// Removes and dispatches one message. Returns false when the queue had nothing to give.
// A WM_QUIT sets QuitRequested() and is not dispatched.
bool ProcessOneMessage();
// Dispatches everything that is pending (posted messages, paint, due timers, foreign sends)
// without waiting; stops at WM_QUIT.
void ProcessMessages();
// One step of the main loop: a message when there is one, else wait for the next.
void HandleMessage();
// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop();

bool QuitRequested();
int QuitExitCode();
void ResetQuitRequest();

// Depth of nested loops currently running (0 outside any loop).
int LoopDepth();
// Counts a loop of the caller's own (one built on ProcessOneMessage and WaitMessage) for as
// long as it lives.
class LoopScope {
public:
    LoopScope();
    ~LoopScope();
    LoopScope(const LoopScope&) = delete;
    LoopScope& operator=(const LoopScope&) = delete;
};
// Runs fn when no nested loop is running: at once at depth <= 1 between messages of the
// outermost loop, otherwise after the nested loops have returned.
void DeferToOutermostLoop(std::function<void()> fn);
// Runs the deferred work now when the depth allows it (the outermost loop calls this).
void RunDeferred();

// A modal loop: runs messages until End() or WM_QUIT (which it leaves posted for the outer
// loop). The form layer's ShowModal creates one per call.
class ModalLoop {
public:
    ModalLoop();
    ~ModalLoop();
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;

    // Returns true when End() stopped the loop, false when a quit did.
    bool Run();
    void End() { ended_ = true; }
    bool Ended() const { return ended_; }
    // The innermost running modal loop, or nullptr.
    static ModalLoop* Current();

private:
    bool ended_ = false;
    ModalLoop* outer_ = nullptr;
};

// The wait of a loop that waits for a person (a modal form on a real display, an open menu).
// A test plays the person through an idle hook: called whenever the loop has nothing to do,
// it posts input or advances the manual clock, and returns false to give up, which the loop
// takes as the person cancelling. With no hook the loop waits for the next message; under a
// manual clock, after 10 s of real time without a message it throws instead of hanging.
class PersonWait {
public:
    PersonWait();
    // A message was handled.
    void Handled();
    // Nothing is pending: returns false when the loop should give up.
    bool Idle();

private:
    std::uint64_t idleSinceMillis_;
};
void SetPersonIdleHook(std::function<bool()> hook);

// The main window: the one SIGTERM, SIGINT and SIGHUP close (WM_CLOSE is posted to it from the
// loop). Without a main window such a signal posts WM_QUIT.
void SetMainWindow(HWND hwnd);
HWND MainWindow();
// Installs the handlers of SIGTERM, SIGINT and SIGHUP (once per process).
void InstallTerminationSignals();

// ---- input state of the headless desktop
// Both key states at once: the one key messages carry (GetKeyState) and the display's now.
void SetKeyDown(int virtualKey, bool down);
// Only the display's state now (GetAsyncKeyState); GetKeyState follows when the key message
// the display posted with it is read.
void SetAsyncKeyDown(int virtualKey, bool down);
// Posts text typed into hwnd as WM_CHAR messages, one per UTF-8 byte (see TranslateMessage).
void PostTypedText(HWND hwnd, std::string_view utf8);
void ResetKeyboard();

// ---- cross-process settings
// Longest wait of a send to another process before it counts as "no answer" (default 5000 ms,
// or $TARVIK_SEND_TIMEOUT_MS).
void SetCrossProcessSendTimeout(std::uint32_t millis);
std::uint32_t CrossProcessSendTimeout();
// The session folder through which the processes of the session find each other.
String SessionFolder();

// Waits until input arrives, a timer comes due or maxMillis pass (-1: no limit).
void WaitForInput(int maxMillis);

}  // namespace platform
