#include "detail/MessageQueue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_map>

#include "platform/Clock.h"
#include "platform/MessageLoop.h"
#include "detail/CrossProcess.h"
#include "detail/Timers.h"
#include "detail/WindowTable.h"
#include "platform/display/Hooks.h"

namespace platform::detail {
namespace {

struct Queues {
    std::mutex mutex;
    std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> byThread;
};

Queues& TheQueues() {
    static Queues* queues = new Queues;
    return *queues;
}

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
    if (filterMin == 0 && filterMax == 0) return true;
    return message >= filterMin && message <= filterMax;
}

void Wake(ThreadQueue& q) {
    if (q.wakeFd < 0) return;
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(q.wakeFd, &one, sizeof one);
}

void DrainWake(ThreadQueue& q) {
    if (q.wakeFd < 0) return;
    std::uint64_t value;
    [[maybe_unused]] ssize_t n = ::read(q.wakeFd, &value, sizeof value);
}

// A window of this thread that waits for WM_PAINT (children are painted after their parents,
// as a parent's paint comes first in the tree walk). Hidden windows keep their invalid area
// until they are shown.
HWND FindInvalidWindow(DWORD threadId, HWND filter) {
    auto& table = WindowTable::Get();
    std::vector<HWND> stack = table.TopLevels();
    std::reverse(stack.begin(), stack.end());
    while (!stack.empty()) {
        HWND h = stack.back();
        stack.pop_back();
        WindowPtr w = table.Find(h);
        if (!w || w->state != WindowState::Alive || !(w->style & WS_VISIBLE)) continue;
        if (w->threadId == threadId && w->invalid && (!filter || filter == h)) return h;
        auto kids = w->children;
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back(*it);
    }
    return nullptr;
}

}  // namespace

DWORD CurrentThreadId() {
    thread_local DWORD id = static_cast<DWORD>(::syscall(SYS_gettid));
    return id;
}

ThreadQueue::~ThreadQueue() {
    if (wakeFd >= 0) ::close(wakeFd);
}

std::shared_ptr<ThreadQueue> MessageQueue::ForThread(DWORD threadId) {
    auto& qs = TheQueues();
    std::lock_guard lock(qs.mutex);
    auto& slot = qs.byThread[threadId];
    if (!slot) {
        slot = std::make_shared<ThreadQueue>();
        slot->threadId = threadId;
        slot->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }
    return slot;
}

std::shared_ptr<ThreadQueue> MessageQueue::Current() {
    thread_local std::shared_ptr<ThreadQueue> mine = ForThread(CurrentThreadId());
    return mine;
}

bool MessageQueue::Post(DWORD threadId, const MSG& msg) {
    auto q = ForThread(threadId);
    {
        std::lock_guard lock(q->mutex);
        q->posted.push_back(msg);
    }
    Wake(*q);
    return true;
}

void MessageQueue::PostQuit(int exitCode) {
    auto q = Current();
    std::lock_guard lock(q->mutex);
    q->quitPending = true;
    q->quitCode = exitCode;
}

bool MessageQueue::Fetch(MSG* out, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    CrossProcess::Get().ServeReady();
    platform::display::PumpDisplay();
    if (TakeTerminationSignal()) {
        // Close the main window in order, as a user would; without one, end the loop.
        // The main window is this process's own, so the table answers whether it still lives
        // (the queue calls no window function).
        HWND main = platform::MainWindow();
        WindowPtr mainWindow = main ? WindowTable::Get().Find(main) : nullptr;
        if (mainWindow && mainWindow->state != WindowState::Destroyed)
            PostMessageA(main, WM_CLOSE, 0, 0);
        else
            PostQuitMessage(0);
    }
    auto q = Current();
    const DWORD thread = q->threadId;
    {
        std::lock_guard lock(q->mutex);
        DrainWake(*q);
        for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
            if (filter && it->hwnd != filter) continue;
            if (!InRange(it->message, filterMin, filterMax)) continue;
            *out = *it;
            if (remove) q->posted.erase(it);
            return true;
        }
        if (q->quitPending && InRange(WM_QUIT, filterMin, filterMax)) {
            *out = MSG{};
            out->message = WM_QUIT;
            out->wParam = static_cast<WPARAM>(q->quitCode);
            if (remove) q->quitPending = false;
            return true;
        }
    }
    if (InRange(WM_PAINT, filterMin, filterMax)) {
        if (HWND h = FindInvalidWindow(thread, filter)) {
            *out = MSG{};
            out->hwnd = h;
            out->message = WM_PAINT;
            out->time = static_cast<DWORD>(CurrentClock().TickMillis());
            return true;
        }
    }
    return TimerList::Get().FetchDue(thread, filter, filterMin, filterMax, out, remove);
}

void MessageQueue::Wait(int maxMillis) {
    auto q = Current();
    std::vector<pollfd> fds;
    if (q->wakeFd >= 0) fds.push_back(pollfd{q->wakeFd, POLLIN, 0});
    if (int sfd = TerminationSignalFd(); sfd >= 0) fds.push_back(pollfd{sfd, POLLIN, 0});
    CrossProcess::Get().AppendPollFds(fds);
    int timeout = platform::display::PrepareWait(fds) ? 0 : maxMillis;
    // A clock that keeps waits short moves only when told: its timers come due by that, not
    // by waiting.
    if (CurrentClock().MaxBlockMillis() < 0) {
        if (auto next = TimerList::Get().MillisToNextDue(q->threadId)) {
            int t = static_cast<int>(std::min<std::uint64_t>(*next, 1u << 30));
            timeout = timeout < 0 ? t : std::min(timeout, t);
        }
    }
    ::poll(fds.data(), fds.size(), timeout);
}

LRESULT MessageQueue::Dispatch(const MSG& msg) {
    if (msg.message == WM_TIMER && msg.lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(msg.lParam);
        proc(msg.hwnd, WM_TIMER, msg.wParam, static_cast<DWORD>(CurrentClock().TickMillis()));
        return 0;
    }
    if (!msg.hwnd) return 0;
    if (WindowTable::IsForeignHandle(msg.hwnd)) return 0;
    WindowPtr w = WindowTable::Get().FindAlive(msg.hwnd);
    if (!w) return 0;
    LRESULT result = w->proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    if (msg.message == WM_PAINT && w->invalid) {
        // A procedure that neither painted nor passed the message on would get WM_PAINT
        // forever; the window counts as painted.
        w->invalid = false;
        w->eraseNeeded = false;
    }
    return result;
}

LRESULT MessageQueue::SendLocal(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowPtr w = WindowTable::Get().FindAlive(hwnd);
    if (!w) return 0;
    return w->proc(hwnd, msg, wParam, lParam);
}

int& MessageQueue::ForeignSendDepth() {
    thread_local int depth = 0;
    return depth;
}

}  // namespace platform::detail
