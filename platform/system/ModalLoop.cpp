// The modal loop: runs messages until End() or a quit, which it leaves for the loop outside.
#include <chrono>

#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/MessageLoop.h"
#include "detail/LoopState.h"
#include "detail/MessageQueue.h"

namespace platform {

using detail::State;

namespace {

// A modal loop that has nothing to do under a manual clock can only be ended by the test
// that drives it; after this much real time it gives up with an error instead of hanging.
constexpr auto kManualClockModalIdleLimit = std::chrono::seconds(10);

}  // namespace

ModalLoop::ModalLoop() : outer_(State().currentModal) { State().currentModal = this; }

ModalLoop::~ModalLoop() { State().currentModal = outer_; }

ModalLoop* ModalLoop::Current() { return State().currentModal; }

bool ModalLoop::Run() {
    LoopScope scope;
    auto& s = State();
    // Under a clock that keeps waits short, nothing ends an idle modal loop but the test that
    // moves the clock: one left idle too long is a test that forgot to, and fails.
    const int maxBlock = CurrentClock().MaxBlockMillis();
    const bool manual = maxBlock >= 0;
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
        detail::MessageQueue::Wait(maxBlock);
    }
    return true;
}

// ---- loops that wait for a person

namespace {
std::uint64_t RealMillis() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}
}  // namespace

PersonWait::PersonWait() : idleSinceMillis_(RealMillis()) {}

void PersonWait::Handled() { idleSinceMillis_ = RealMillis(); }

bool PersonWait::Idle() {
    if (auto hook = State().personIdleHook) return hook();
    const bool manual = CurrentClock().MaxBlockMillis() >= 0;
    if (manual && RealMillis() - idleSinceMillis_ >
                      static_cast<std::uint64_t>(std::chrono::milliseconds(kManualClockModalIdleLimit).count()))
        throw EInvalidOperation("A loop waiting for a person is idle under a manual clock");
    WaitMessage();
    return true;
}

void SetPersonIdleHook(std::function<bool()> hook) { State().personIdleHook = std::move(hook); }

}  // namespace platform
