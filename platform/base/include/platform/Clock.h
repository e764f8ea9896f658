// Time and randomness, injectable.
//
// Programs use the real clock. Tests install a ManualClock: time stands still until the test
// advances it, and every advance tells the listeners (the window system's timer list fires
// the timers that came due, each at most once per step). Nothing in the layer reads the
// system time except through CurrentClock().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class Clock {
public:
    virtual ~Clock();
    // Wall-clock time: microseconds since 1970-01-01 00:00:00 UTC.
    virtual std::int64_t NowMicros() const = 0;
    // Monotonic milliseconds, for timers and timeouts.
    virtual std::uint64_t TickMillis() const = 0;
    // How long one wait for input may block, in milliseconds; -1: until input arrives or a
    // timer comes due. A clock that moves only when told keeps waits short, so that a loop
    // comes back to see it moved (and a test that leaves a loop idle fails instead of hanging).
    virtual int MaxBlockMillis() const { return -1; }
};

// The clock in force for the process (the real one unless a test installed another).
Clock& CurrentClock();
// Installs a clock; nullptr restores the real clock. The caller keeps ownership.
void SetClock(Clock* clock);

class ManualClock : public Clock {
public:
    explicit ManualClock(std::int64_t startMicros = 1767225600LL * 1000000);  // 2026-01-01 UTC
    std::int64_t NowMicros() const override { return nowMicros_; }
    std::uint64_t TickMillis() const override { return tickMillis_; }
    int MaxBlockMillis() const override { return 20; }

    // Moves both clocks forward and tells the listeners once.
    void Advance(std::uint64_t millis);
    // Sets the wall clock without moving the monotonic one (no listeners called).
    void SetNowMicros(std::int64_t micros) { nowMicros_ = micros; }

private:
    std::int64_t nowMicros_;
    std::uint64_t tickMillis_ = 1000;
};

// Called after every ManualClock::Advance. Returns an id for RemoveAdvanceListener.
int AddAdvanceListener(std::function<void()> listener);
void RemoveAdvanceListener(int id);

// Randomness: a source of 32-bit values; tests install a fixed one.
std::uint32_t RandomUInt32();
void SetRandomSource(std::function<std::uint32_t()> source);  // empty restores the real source

}  // namespace platform
