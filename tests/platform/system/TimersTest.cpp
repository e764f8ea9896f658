// Timers on the manual clock: due, coalesced, killed, and the loop helper with a deadline.
#include "WindowFixture.h"

using namespace window_test;

class TimersTest : public WindowTest {};

TEST_F(TimersTest, AdvanceFiresADueTimerOncePerStepHoweverManyPeriodsPassed) {
    HWND w = MakeTop();
    ASSERT_EQ(SetTimer(w, 7, 100, nullptr), 7u);
    clock_.Advance(99);
    EXPECT_EQ(Recorder::Get().Count(w, WM_TIMER), 0);
    clock_.Advance(1);
    EXPECT_EQ(Recorder::Get().Count(w, WM_TIMER), 1);
    EXPECT_EQ(Recorder::Get().log.back().wParam, 7u);
    clock_.Advance(1000);  // ten periods: one message
    EXPECT_EQ(Recorder::Get().Count(w, WM_TIMER), 2);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    clock_.Advance(100);  // re-armed a full period after it fired
    EXPECT_EQ(Recorder::Get().Count(w, WM_TIMER), 3);
}

TEST_F(TimersTest, KillStopsATimerAndDestroyKillsAWindowsTimers) {
    HWND w = MakeTop();
    SetTimer(w, 1, 50, nullptr);
    SetTimer(w, 2, 50, nullptr);
    EXPECT_TRUE(KillTimer(w, 1));
    EXPECT_FALSE(KillTimer(w, 1));
    clock_.Advance(50);
    EXPECT_EQ(Recorder::Get().Count(w, WM_TIMER), 1);
    DestroyWindow(w);
    EXPECT_FALSE(KillTimer(w, 2));
}

TEST_F(TimersTest, SettingAgainRestartsThePeriod) {
    HWND w = MakeTop();
    SetTimer(w, 1, 300, nullptr);
    clock_.Advance(200);
    SetTimer(w, 1, 300, nullptr);
    clock_.Advance(200);
    EXPECT_EQ(Recorder::Get().Count(w, WM_TIMER), 0);
    clock_.Advance(100);
    EXPECT_EQ(Recorder::Get().Count(w, WM_TIMER), 1);
}

TEST_F(TimersTest, TimerProceduresAndThreadTimers) {
    static int fired = 0;
    fired = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 20, [](HWND, UINT msg, UINT_PTR, DWORD) {
        if (msg == WM_TIMER) ++fired;
    });
    ASSERT_NE(id, 0u);
    clock_.Advance(20);
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(KillTimer(nullptr, id));
    clock_.Advance(20);
    EXPECT_EQ(fired, 1);
}

TEST_F(TimersTest, AHandlerThatAdvancesTheClockDoesNotFireItselfInside) {
    HWND w = MakeTop();
    SetTimer(w, 1, 10, nullptr);
    int depth = 0;
    int maxDepth = 0;
    Recorder::Get().onMessage = [&](HWND, UINT msg, WPARAM, LPARAM) {
        if (msg != WM_TIMER) return;
        maxDepth = std::max(maxDepth, ++depth);
        clock_.Advance(10);
        --depth;
    };
    clock_.Advance(10);
    EXPECT_EQ(maxDepth, 1);
}

TEST_F(TimersTest, TheLoopYieldsDueTimersUnderTheRealClockToo) {
    platform::SetClock(nullptr);
    HWND w = MakeTop();
    SetTimer(w, 3, 10, nullptr);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, WM_TIMER, WM_TIMER));
    EXPECT_EQ(msg.wParam, 3u);
    // Coalesced: taken once, not again until a new period has passed.
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    KillTimer(w, 3);
}

TEST_F(TimersTest, RunLoopUntilMeetsItsConditionOrItsDeadline) {
    HWND w = MakeTop();
    SetTimer(w, 1, 300, nullptr);
    const std::uint64_t start = clock_.TickMillis();
    EXPECT_TRUE(platform::RunLoopFor([&] { return Recorder::Get().Count(w, WM_TIMER) == 3; }, 5000));
    EXPECT_EQ(clock_.TickMillis() - start, 900u);
    EXPECT_FALSE(platform::RunLoopFor([] { return false; }, 1000, 100));
    EXPECT_EQ(clock_.TickMillis() - start, 1900u);
}
