#include "platform/TestLoop.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/MessageLoop.h"

namespace platform {

bool RunLoopUntil(const std::function<bool()>& done, std::uint64_t deadlineTick, std::uint64_t stepMillis) {
    if (stepMillis == 0) stepMillis = 1;
    for (;;) {
        {
            LoopScope scope;
            // Bounded, so a message that keeps re-posting itself cannot spin forever.
            for (int i = 0; i < 100000 && !QuitRequested() && ProcessOneMessage(); ++i) {
                if (LoopDepth() <= 1) RunDeferred();
                if (done()) return true;
            }
        }
        if (done()) return true;
        std::uint64_t now = CurrentClock().TickMillis();
        if (now >= deadlineTick || QuitRequested()) return done();
        std::uint64_t step = std::min(stepMillis, deadlineTick - now);
        if (auto* manual = dynamic_cast<ManualClock*>(&CurrentClock()))
            manual->Advance(step);
        else
            WaitForInput(static_cast<int>(step));
    }
}

bool RunLoopFor(const std::function<bool()>& done, std::uint64_t millis, std::uint64_t stepMillis) {
    return RunLoopUntil(done, CurrentClock().TickMillis() + millis, stepMillis);
}

}  // namespace platform
