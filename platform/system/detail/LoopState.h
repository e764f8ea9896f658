// The message loop's state of one thread: its quit request, loop depth, deferred work, modal
// loop and main window. Shared by the loop (MessageLoop.cpp) and the modal loop.
#pragma once

#include <deque>
#include <functional>

#include "platform/MessageLoop.h"

namespace platform::detail {

struct LoopState {
    bool quitRequested = false;
    int quitCode = 0;
    int depth = 0;
    std::deque<std::function<void()>> deferred;
    ModalLoop* currentModal = nullptr;
    std::function<bool()> personIdleHook;
    HWND mainWindow = nullptr;
};

// The calling thread's state.
LoopState& State();

}  // namespace platform::detail
