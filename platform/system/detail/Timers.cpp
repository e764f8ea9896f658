#include "detail/Timers.h"

#include <algorithm>

#include "platform/Clock.h"
#include "detail/MessageQueue.h"

namespace platform::detail {
namespace {
// The shortest period, as the platform enforces it: a zero or tiny period must not starve the
// loop.
constexpr std::uint64_t kMinimumElapse = 10;
}  // namespace

TimerList& TimerList::Get() {
    static TimerList* list = new TimerList;
    return *list;
}

UINT_PTR TimerList::Set(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    std::lock_guard lock(mutex_);
    if (listenerId_ == 0) {
        listenerId_ = AddAdvanceListener([] { TimerList::Get().FireDue(CurrentThreadId()); });
    }
    const DWORD thread = CurrentThreadId();
    if (!hwnd) {
        // Thread timers: an id the caller passes names an existing one; otherwise a new id.
        auto it = std::find_if(timers_.begin(), timers_.end(),
                               [&](const Timer& t) { return !t.hwnd && t.id == id && id != 0; });
        if (it == timers_.end()) {
            id = nextThreadTimerId_++;
            timers_.push_back(Timer{nullptr, id, thread, 0, 0, nullptr, false});
            it = timers_.end() - 1;
        }
        it->elapse = std::max<std::uint64_t>(elapse, kMinimumElapse);
        it->due = CurrentClock().TickMillis() + it->elapse;
        it->proc = proc;
        return id;
    }
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers_.end()) {
        timers_.push_back(Timer{hwnd, id, thread, 0, 0, nullptr, false});
        it = timers_.end() - 1;
    }
    it->elapse = std::max<std::uint64_t>(elapse, kMinimumElapse);
    it->due = CurrentClock().TickMillis() + it->elapse;
    it->proc = proc;
    return id == 0 ? 1 : id;
}

bool TimerList::Kill(HWND hwnd, UINT_PTR id) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers_.end()) return false;
    timers_.erase(it);
    return true;
}

void TimerList::KillAll(HWND hwnd) {
    std::lock_guard lock(mutex_);
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                  timers_.end());
}

bool TimerList::FetchDue(DWORD threadId, HWND filter, UINT filterMin, UINT filterMax, MSG* out, bool remove) {
    if (!(filterMin == 0 && filterMax == 0) && (WM_TIMER < filterMin || WM_TIMER > filterMax)) return false;
    std::lock_guard lock(mutex_);
    const std::uint64_t now = CurrentClock().TickMillis();
    for (Timer& t : timers_) {
        if (t.threadId != threadId || t.firing || t.due > now) continue;
        if (filter && t.hwnd != filter) continue;
        out->hwnd = t.hwnd;
        out->message = WM_TIMER;
        out->wParam = t.id;
        out->lParam = reinterpret_cast<LPARAM>(t.proc);
        out->time = static_cast<DWORD>(now);
        if (remove) t.due = now + t.elapse;
        return true;
    }
    return false;
}

std::optional<std::uint64_t> TimerList::MillisToNextDue(DWORD threadId) {
    std::lock_guard lock(mutex_);
    const std::uint64_t now = CurrentClock().TickMillis();
    std::optional<std::uint64_t> best;
    for (const Timer& t : timers_) {
        if (t.threadId != threadId) continue;
        std::uint64_t wait = t.due > now ? t.due - now : 0;
        if (!best || wait < *best) best = wait;
    }
    return best;
}

void TimerList::FireDue(DWORD threadId) {
    // Take a snapshot first: a handler may set, kill or re-arm timers, and may even advance
    // the clock again; a timer already firing is not fired inside itself.
    std::vector<std::pair<HWND, UINT_PTR>> due;
    {
        std::lock_guard lock(mutex_);
        const std::uint64_t now = CurrentClock().TickMillis();
        for (const Timer& t : timers_)
            if (t.threadId == threadId && !t.firing && t.due <= now) due.emplace_back(t.hwnd, t.id);
    }
    for (const auto& entry : due) {
        const HWND hwnd = entry.first;
        const UINT_PTR id = entry.second;
        MSG msg;
        {
            std::lock_guard lock(mutex_);
            auto it = std::find_if(timers_.begin(), timers_.end(),
                                   [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
            const std::uint64_t now = CurrentClock().TickMillis();
            if (it == timers_.end() || it->firing || it->due > now) continue;
            it->due = now + it->elapse;
            it->firing = true;
            msg.hwnd = hwnd;
            msg.message = WM_TIMER;
            msg.wParam = id;
            msg.lParam = reinterpret_cast<LPARAM>(it->proc);
            msg.time = static_cast<DWORD>(now);
        }
        struct Unmark {
            TimerList* self;
            HWND hwnd;
            UINT_PTR id;
            ~Unmark() {
                std::lock_guard lock(self->mutex_);
                for (Timer& t : self->timers_)
                    if (t.hwnd == hwnd && t.id == id) t.firing = false;
            }
        } unmark{this, hwnd, id};
        MessageQueue::Dispatch(msg);
    }
}

std::size_t TimerList::Count() {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

}  // namespace platform::detail
