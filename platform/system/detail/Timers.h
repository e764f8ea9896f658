// The process's timer list, on the injectable clock.
//
// A timer is due when CurrentClock().TickMillis() reaches its due tick. A due timer yields one
// WM_TIMER when the loop asks (coalesced: never more than one pending per timer, however many
// periods passed) and is re-armed a full period after that moment. Under a ManualClock each
// Advance fires the due timers of the advancing thread at once, each at most once per step.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/Windows.h"

namespace platform::detail {

class TimerList {
public:
    static TimerList& Get();

    UINT_PTR Set(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
    bool Kill(HWND hwnd, UINT_PTR id);
    void KillAll(HWND hwnd);
    // A WM_TIMER for a due timer of the thread (re-armed when remove is set).
    bool FetchDue(DWORD threadId, HWND filter, UINT filterMin, UINT filterMax, MSG* out, bool remove);
    // Milliseconds until the thread's next timer is due (0 when one is due now).
    std::optional<std::uint64_t> MillisToNextDue(DWORD threadId);
    // Dispatches every due timer of the thread once (the manual clock's advance).
    void FireDue(DWORD threadId);
    std::size_t Count();

private:
    struct Timer {
        HWND hwnd = nullptr;
        UINT_PTR id = 0;
        DWORD threadId = 0;
        std::uint64_t elapse = 0;
        std::uint64_t due = 0;
        TIMERPROC proc = nullptr;
        bool firing = false;
    };
    std::recursive_mutex mutex_;
    std::vector<Timer> timers_;
    UINT_PTR nextThreadTimerId_ = 0x7FF0;
    int listenerId_ = 0;
};

}  // namespace platform::detail
