// Per-thread message queues, the fetch order of the loop, waiting, sending and dispatching.
//
// A thread's loop takes, in this order: sends from other processes (served at once, never
// queued), posted messages in the order posted, WM_QUIT once nothing else is posted, WM_PAINT
// for an invalid window, and WM_TIMER for a due timer. Paint and timer messages are never
// queued: they are made when the loop asks, so at most one is pending per window or timer.
// Waiting blocks in poll() on the queue's wake-up descriptor, the process's sockets and the
// signal pipe, bounded by the next due timer under the real clock.
#pragma once

#include <deque>
#include <memory>
#include <mutex>

#include "platform/Windows.h"

namespace platform::detail {

struct ThreadQueue {
    DWORD threadId = 0;
    std::mutex mutex;
    std::deque<MSG> posted;
    bool quitPending = false;
    int quitCode = 0;
    int wakeFd = -1;  // eventfd written by posts from other threads
    ~ThreadQueue();
};

class MessageQueue {
public:
    static std::shared_ptr<ThreadQueue> ForThread(DWORD threadId);
    static std::shared_ptr<ThreadQueue> Current();

    static bool Post(DWORD threadId, const MSG& msg);
    static void PostQuit(int exitCode);
    // Takes the next message for this thread; false when there is none now.
    static bool Fetch(MSG* out, HWND filter, UINT filterMin, UINT filterMax, bool remove);
    // Blocks until something may have arrived, at most maxMillis (negative: no bound).
    static void Wait(int maxMillis);
    static LRESULT Dispatch(const MSG& msg);
    // A send to a window of this process: calls its procedure directly.
    static LRESULT SendLocal(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Depth of sends from other processes being handled (InSendMessage).
    static int& ForeignSendDepth();
};

DWORD CurrentThreadId();

}  // namespace platform::detail
