// Loops for tests: pump messages until a condition holds or a deadline passes.
//
// Linked only into test executables. Under a ManualClock the loop moves the clock itself when
// nothing is pending, so timers come due without real waiting; under the real clock it waits.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// Pumps messages until done() holds or the clock reaches deadlineTick (a value of
// CurrentClock().TickMillis()). Under a ManualClock the clock is advanced in steps of at most
// stepMillis when nothing is pending; under the real clock the loop waits. Returns done().
bool RunLoopUntil(const std::function<bool()>& done, std::uint64_t deadlineTick, std::uint64_t stepMillis = 10);
// The same with a deadline relative to now.
bool RunLoopFor(const std::function<bool()>& done, std::uint64_t millis, std::uint64_t stepMillis = 10);

}  // namespace platform
