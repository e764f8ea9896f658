// The named session lock: one holder at a time across processes, a dead holder releases it,
// and a lock that cannot be had reports so instead of raising.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/SessionLock.h"
#include "tests/common/TestProfile.h"

namespace {

class SessionLockTest : public ::testing::Test {
protected:
    // The session folder may be shared by parallel test runs, so every case has its own name.
    std::string Name(const char* what) const { return std::string("test.") + what + "." + std::to_string(::getpid()); }
    tarvik::test::ScopedTestProfile profile_;
};

TEST_F(SessionLockTest, OneHolderAtATimeUntilReleased) {
    platform::SessionLock first(Name("one"), 0);
    ASSERT_TRUE(first.Held());
    platform::SessionLock second(Name("one"), 60);
    EXPECT_FALSE(second.Held());
    platform::SessionLock other(Name("other"), 0);
    EXPECT_TRUE(other.Held());
    first.Release();
    first.Release();
    EXPECT_FALSE(first.Held());
    platform::SessionLock third(Name("one"), 0);
    EXPECT_TRUE(third.Held());
}

TEST_F(SessionLockTest, WaiterGetsTheLockWhenTheHolderLetsGo) {
    const std::string name = Name("shared");  // before the fork: the child has another pid
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::SessionLock held(name, 0);
        char c = held.Held() ? '1' : '0';
        (void)!::write(ready[1], &c, 1);
        ::usleep(200 * 1000);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, '1');
    platform::SessionLock waiter(name, 20000);
    EXPECT_TRUE(waiter.Held());
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(SessionLockTest, KilledHolderDoesNotBlockTheNext) {
    const std::string name = Name("shared");  // before the fork: the child has another pid
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::SessionLock held(name, 0);
        char c = held.Held() ? '1' : '0';
        (void)!::write(ready[1], &c, 1);
        for (;;) ::pause();
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, '1');
    EXPECT_FALSE(platform::SessionLock(name, 0).Held());
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(platform::SessionLock(name, 0).Held());
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(SessionLockTest, NamesThatAreNotPlainFileNamesAreRefused) {
    for (const char* bad : {"", ".", "..", "a/b", "../escape"}) {
        EXPECT_FALSE(platform::SessionLock(bad, 0).Held()) << bad;
    }
}

}  // namespace
