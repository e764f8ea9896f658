#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/Streams.h"

TEST(MemoryStream, WritesGrowAndSeeksPastEndExtendOnWrite) {
    TMemoryStream s;
    s.WriteBuffer("abc", 3);
    s.Seek(5, soBeginning);
    s.WriteBuffer("x", 1);
    ASSERT_EQ(s.Size(), 6);
    EXPECT_EQ(s.Bytes()[5], 'x');
    s.SetPosition(0);
    char buf[3];
    s.ReadBuffer(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
}

TEST(MemoryStream, ShortReadBufferRaisesReadError) {
    TMemoryStream s;
    s.WriteBuffer("ab", 2);
    s.SetPosition(0);
    char buf[4];
    EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError);
    EXPECT_THROW(s.Seek(-1, soBeginning), EStreamError);
}

TEST(MemoryStream, CopyFromZeroCopiesWholeSource) {
    TMemoryStream a, b;
    a.WriteBuffer("hello", 5);
    EXPECT_EQ(b.CopyFrom(a, 0), 5);
    EXPECT_EQ(std::string(b.Bytes().begin(), b.Bytes().end()), "hello");
}

TEST(ManualClock, AdvanceMovesTimeAndTellsListenersOnce) {
    platform::ManualClock clock;
    platform::SetClock(&clock);
    int calls = 0;
    int id = platform::AddAdvanceListener([&] { ++calls; });
    auto before = platform::CurrentClock().NowMicros();
    auto tick = platform::CurrentClock().TickMillis();
    clock.Advance(500);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(platform::CurrentClock().NowMicros() - before, 500000);
    EXPECT_EQ(platform::CurrentClock().TickMillis() - tick, 500u);
    platform::RemoveAdvanceListener(id);
    clock.Advance(1);
    EXPECT_EQ(calls, 1);
    platform::SetClock(nullptr);
}

TEST(Exceptions, ClassNamesMatchTheTypes) {
    EXPECT_STREQ(EFOpenError("x").ClassName(), "EFOpenError");
    EXPECT_STREQ(EInOutError("x", 5).ClassName(), "EInOutError");
    try {
        throw EReadError("Stream read error");
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
}
