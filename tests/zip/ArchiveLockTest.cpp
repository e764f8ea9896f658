// The archive lock between processes that do not share a profile: ziptool runs with a profile
// of its own, as a second program on the same archive would.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/ArchiveLock.h"
#include "platform/AtomicFile.h"
#include "tests/common/TestProfile.h"

namespace {

using tarvik::test::ProfileTest;

class ArchiveLockTest : public ProfileTest {
protected:
    // Starts ziptool with its own profile; its output goes to a file of the case.
    pid_t StartZipTool(const std::string& args) {
        const std::string command = "TARVIK_PROFILE='" + env.Scratch("other-profile") + "' " + TARVIK_BIN_DIR +
                                    "/../tools/ziptool " + args + " >>'" + env.Scratch("tool.txt") + "' 2>&1";
        pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    }
    // The exit code, or -1 when the tool is still running at the deadline (it is then killed).
    int Finish(pid_t pid, std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int ZipTool(const std::string& args) { return Finish(StartZipTool(args), std::chrono::seconds(60)); }
    void Put(const std::string& name, const std::string& text) { std::ofstream(env.Scratch(name)) << text; }
    std::string Output() {
        std::ifstream in(env.Scratch("tool.txt"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(ArchiveLockTest, AProgramWithAnotherProfileWaitsForTheHolder) {
    Put("a.txt", "a");
    Put("b.txt", "b");
    const std::string zip = env.Scratch("a.zip");
    ASSERT_EQ(ZipTool("add '" + zip + "' '" + env.Scratch("a.txt") + "'"), 0) << Output();
    const auto sizeBefore = std::filesystem::file_size(zip);
    pid_t tool;
    {
        platform::ArchiveLock lock(env.Win("a.zip"), platform::ArchiveLock::Use::Operation);
        ASSERT_TRUE(lock.Shared());
        tool = StartZipTool("add '" + zip + "' '" + env.Scratch("b.txt") + "'");
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        EXPECT_EQ(::waitpid(tool, nullptr, WNOHANG), 0) << "the tool did not wait: " << Output();
        EXPECT_EQ(std::filesystem::file_size(zip), sizeBefore);
    }
    EXPECT_EQ(Finish(tool, std::chrono::seconds(60)), 0) << Output();
    EXPECT_GT(std::filesystem::file_size(zip), sizeBefore);
    EXPECT_FALSE(platform::ArchiveLock::InUse(env.Win("a.zip")));
}

TEST_F(ArchiveLockTest, CleaningUpKeepsTheTemporaryFileOfALiveWriter) {
    Put("a.txt", "a");
    const std::string zip = env.Scratch("a.zip");
    ASSERT_EQ(ZipTool("add '" + zip + "' '" + env.Scratch("a.txt") + "'"), 0) << Output();
    // One writer is alive (in this process); another was killed before its swap.
    platform::AtomicFile live(env.Win("a.zip"));
    live.Write("half an archive");
    Put(".a.zip.0badf00d.tmp", "left by a killed writer");
    Put("b.txt", "b");
    ASSERT_EQ(ZipTool("add '" + zip + "' '" + env.Scratch("b.txt") + "'"), 0) << Output();
    const String liveName = live.TempName().substr(live.TempName().rfind('\\') + 1);
    EXPECT_TRUE(std::filesystem::exists(env.Scratch(liveName))) << liveName;
    EXPECT_FALSE(std::filesystem::exists(env.Scratch(".a.zip.0badf00d.tmp")));
}

}  // namespace
