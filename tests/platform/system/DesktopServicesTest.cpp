// The desktop services reach the real desktop's programs: xdg-open (a stand-in on PATH that
// records its arguments) and logind (a mock on a private bus standing in for the system bus).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/DesktopServices.h"
#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/Windows.h"
#include "tests/common/TestProfile.h"

namespace {

namespace desktop = platform::desktop;
using namespace std::chrono_literals;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Waits up to five seconds for a file to hold a whole last line.
std::string WaitForLines(const std::string& path) {
    for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
        const std::string text = ReadAll(path);
        if (!text.empty() && text.back() == '\n') return text;
        std::this_thread::sleep_for(20ms);
    }
    return ReadAll(path);
}

class DesktopServicesTest : public tarvik::test::ProfileTest {
protected:
    void SetUp() override {
        desktop::SetServicesLive(true);
        oldPath_ = std::getenv("PATH");
    }
    void TearDown() override {
        desktop::SetServicesLive(false);
        ::setenv("PATH", oldPath_.c_str(), 1);
    }
    // An xdg-open on PATH that writes its argument count and arguments, one a line.
    std::string StandInOpener() {
        const std::string bin = env.Scratch("bin");
        std::filesystem::create_directories(bin);
        const std::string log = env.Scratch("opened.txt");
        std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << log << ".part'\nmv '" << log
                                         << ".part' '" << log << "'\n";
        std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
        ::setenv("PATH", (bin + ":" + oldPath_).c_str(), 1);
        return log;
    }
    std::string oldPath_;
};

TEST_F(DesktopServicesTest, OpenerGetsTheTargetAsOneArgument) {
    const std::string log = StandInOpener();
    const std::string url = "https://example.org/a b?q=\"x\";rm -rf $HOME 'y'";
    ASSERT_TRUE(desktop::OpenWithDesktop(url));
    EXPECT_EQ(WaitForLines(log), "1\n" + url + "\n");

    // ShellExecute: addresses as they are, documents by their POSIX path.
    std::filesystem::remove(log);
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(ShellExecuteA(nullptr, "Open", url.c_str(), nullptr, nullptr, 1)), 32u);
    EXPECT_EQ(WaitForLines(log), "1\n" + url + "\n");
    std::filesystem::remove(log);
    const String help = env.Win("Help\\Help.htm");
    ShellExecuteA(nullptr, "Open", help.c_str(), nullptr, nullptr, 1);
    EXPECT_EQ(WaitForLines(log), "1\n" + platform::ToPosixPath(help) + "\n");
}

TEST_F(DesktopServicesTest, MissingOpenerIsReportedAsAFailure) {
    ::setenv("PATH", env.Scratch().c_str(), 1);
    EXPECT_FALSE(desktop::OpenWithDesktop("https://example.org/"));
    EXPECT_LE(reinterpret_cast<std::uintptr_t>(ShellExecuteA(nullptr, "Open", "https://example.org/", nullptr, nullptr, 1)),
              32u);
}

// Arguments with the characters an Exec line must quote come back whole from a desktop entry
// that desktop-file-validate accepts.
TEST_F(DesktopServicesTest, DesktopEntryQuotesItsCommand) {
    desktop::DesktopEntry entry;
    entry.name = "My Corvex";
    entry.comment = "back\\slash";
    entry.command = {"/opt/my prog/Tarvik", "-a", "it's \"$HOME\" `x` 100% \\ ;"};
    ASSERT_TRUE(desktop::WriteDesktopEntry(desktop::Place::Applications, "My Corvex", entry));
    const std::string path = desktop::DesktopEntryPath(desktop::Place::Applications, "My Corvex");
    EXPECT_EQ(std::system(("desktop-file-validate '" + path + "'").c_str()), 0) << ReadAll(path);
    EXPECT_NE(ReadAll(path).find(
                  "Exec=\"/opt/my prog/Tarvik\" -a \"it's \\\\\"\\\\$HOME\\\\\" \\\\`x\\\\` 100%% \\\\\\\\ ;\"\n"),
              std::string::npos)
        << ReadAll(path);
    desktop::RemoveDesktopEntry(desktop::Place::Applications, "My Corvex");
    EXPECT_FALSE(std::filesystem::exists(path));
}

// A private bus stands in for the system bus, with python-dbusmock's logind on it.
class MockLogind {
public:
    explicit MockLogind(const std::string& folder) : log_(folder + "/logind.log") {
        FILE* bus = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        char line[512] = {};
        if (bus && std::fgets(line, sizeof line, bus)) address_ = line;
        if (bus && std::fgets(line, sizeof line, bus)) busPid_ = std::atoi(line);
        if (bus) ::pclose(bus);
        while (!address_.empty() && (address_.back() == '\n')) address_.pop_back();
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
        mockPid_ = ::fork();
        if (mockPid_ == 0) {
            ::execl("/usr/bin/python3", "python3", "-m", "dbusmock", "--system", "--template", "logind", "-l",
                    log_.c_str(), nullptr);
            ::_exit(127);
        }
        // Ready once the mock answers: until then logind is simply not on the bus.
        for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
            if (std::system("dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                            "org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 2>/dev/null"
                            " | grep -q 'boolean true'") == 0)
                break;
            std::this_thread::sleep_for(50ms);
        }
    }
    ~MockLogind() { Stop(); ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS"); if (busPid_ > 0) ::kill(busPid_, SIGTERM); }
    void Stop() {
        if (mockPid_ <= 0) return;
        ::kill(mockPid_, SIGTERM);
        ::waitpid(mockPid_, nullptr, 0);
        mockPid_ = -1;
    }
    std::string Calls() const { return ReadAll(log_); }
    bool Ready() const { return !address_.empty(); }

private:
    std::string log_, address_;
    pid_t busPid_ = -1, mockPid_ = -1;
};

TEST_F(DesktopServicesTest, ShutdownAsksLogindAndReportsARefusal) {
    MockLogind logind(env.Scratch());
    ASSERT_TRUE(logind.Ready());
    EXPECT_EQ(desktop::RequestPowerOff(), "");
    EXPECT_NE(logind.Calls().find("PowerOff True"), std::string::npos) << logind.Calls();
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN, 0), TRUE_);

    logind.Stop();  // nobody answers now: the request is refused with a reason
    EXPECT_NE(desktop::RequestPowerOff(), "");
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN, 0), FALSE_);
}

}  // namespace
