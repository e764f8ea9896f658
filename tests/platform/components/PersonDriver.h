// Plays the person at the display for the loops that wait for one (open menus, modal forms
// and boxes), without a display: the test forces "a person is there", and each time the loop
// runs out of messages the next step runs (posting input, advancing the manual clock). After
// the last step, or once the manual clock passes the deadline, the person gives up, which
// the loop takes as a cancel, so a test can fail but never hang.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"

namespace forms_test {

class PersonDriver {
public:
    using Step = std::function<void()>;
    PersonDriver(platform::ManualClock& clock, std::vector<Step> steps, std::uint64_t deadlineMillis = 10000)
        : steps_(std::move(steps)) {
        const std::uint64_t deadline = clock.TickMillis() + deadlineMillis;
        platform::ForcePersonAtDisplayForTesting(true);
        platform::SetPersonIdleHook([this, &clock, deadline] {
            if (clock.TickMillis() > deadline || next_ >= steps_.size()) {
                gaveUp_ = true;
                return false;
            }
            steps_[next_++]();
            return true;
        });
    }
    ~PersonDriver() {
        platform::SetPersonIdleHook({});
        platform::ForcePersonAtDisplayForTesting(std::nullopt);
    }
    PersonDriver(const PersonDriver&) = delete;
    PersonDriver& operator=(const PersonDriver&) = delete;

    // True when the loop ran out of steps (or time) instead of ending by the person's input.
    bool GaveUp() const { return gaveUp_; }
    std::size_t StepsRun() const { return next_; }

private:
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    bool gaveUp_ = false;
};

// Posts a key press (down only: menus and boxes act on the key going down).
inline void PressKey(HWND to, int vk) { PostMessageA(to, WM_KEYDOWN, static_cast<WPARAM>(vk), 0); }

}  // namespace forms_test
