// Two real processes: finding a window of another process, sending, posting, handing a text
// over in a global atom, stale records of dead processes, and a process that never answers.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>

#include "WindowFixture.h"

extern char** environ;

using namespace window_test;

namespace {

constexpr UINT kPing = 0x8065;
constexpr UINT kRestore = 0x8066;
constexpr UINT kCommandLine = 0x8067;
constexpr LRESULT kMagic = 0x18549A00;
constexpr UINT kSequence = WM_APP + 1;
constexpr UINT kAskBack = WM_APP + 2;
constexpr UINT kAnswer = WM_APP + 3;

// A peer process with its standard output on a pipe we read line by line.
class Peer {
public:
    Peer(const std::string& mode, const std::string& cls, const std::string& caption = "", const std::string& extra = "") {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<std::string> args = {TARVIK_WINDOW_PEER, mode, cls};
        if (!caption.empty()) args.push_back(caption);
        if (!extra.empty()) args.push_back(extra);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&pid_, TARVIK_WINDOW_PEER, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Peer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }

    // The next line the peer printed ("" when it ended); a watchdog kills a peer that says nothing.
    std::string ReadLine(int seconds = 20) {
        for (;;) {
            auto nl = pending_.find('\n');
            if (nl != std::string::npos) {
                std::string line = pending_.substr(0, nl);
                pending_.erase(0, nl + 1);
                return line;
            }
            pollfd pfd{out_, POLLIN, 0};
            if (::poll(&pfd, 1, seconds * 1000) <= 0) return "";
            char buf[4096];
            ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) return "";
            pending_.append(buf, static_cast<std::size_t>(n));
        }
    }

    HWND WaitReady() {
        std::string line = ReadLine();
        if (line.rfind("ready ", 0) != 0) return nullptr;
        return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::stoull(line.substr(6), nullptr, 16)));
    }

    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Kill() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
};

struct Found {
    HWND window = nullptr;
    int pinged = 0;
};

// The program's own instance search: class "TFormMain" without regard to case, and the magic
// answer to the ping; every window visited is pinged.
BOOL CALLBACK_FindInstance(HWND hwnd, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    char name[30];
    GetClassNameA(hwnd, name, sizeof name);
    ++found->pinged;
    LRESULT answer = SendMessageA(hwnd, kPing, 0, 0);
    if (String(name) == "TFormMain" && answer == kMagic) {
        found->window = hwnd;
        return FALSE_;
    }
    return TRUE_;
}

std::vector<HWND> AllWindows() {
    std::vector<HWND> out;
    EnumWindows([](HWND h, LPARAM p) { reinterpret_cast<std::vector<HWND>*>(p)->push_back(h); return TRUE_; },
                reinterpret_cast<LPARAM>(&out));
    return out;
}

}  // namespace

class CrossProcessTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        platform::SetCrossProcessSendTimeout(0);
    }
    void TearDown() override {
        platform::SetCrossProcessSendTimeout(0);
        WindowTest::TearDown();
    }
};

TEST_F(CrossProcessTest, FindsTheRunningInstanceAndHandsOverTheCommandLine) {
    Peer other("serve", "TFormMain", "My Corvex");
    HWND h = other.WaitReady();
    ASSERT_NE(h, nullptr);
    MakeTop("a local window");  // visited and pinged too, without matching

    Found found;
    EXPECT_FALSE(EnumWindows(CALLBACK_FindInstance, reinterpret_cast<LPARAM>(&found)));
    ASSERT_EQ(found.window, h);
    EXPECT_EQ(found.pinged, 2);
    char caption[64];
    EXPECT_EQ(GetWindowTextA(h, caption, sizeof caption), 9);
    EXPECT_STREQ(caption, "My Corvex");
    EXPECT_TRUE(IsWindow(h));
    EXPECT_FALSE(IsIconic(h));

    EXPECT_TRUE(PostMessageA(h, kRestore, 0, 0));
    ATOM atom = GlobalAddAtomA("\"-s\" \"C:\\Some Folder\"");
    ASSERT_NE(atom, 0);
    EXPECT_EQ(SendMessageA(h, kCommandLine, atom, 0), 1);
    EXPECT_EQ(GlobalDeleteAtom(atom), 0);

    // The post may be handled before or after the send.
    std::set<std::string> lines = {other.ReadLine(), other.ReadLine()};
    EXPECT_EQ(lines, (std::set<std::string>{"commandline \"-s\" \"C:\\Some Folder\"", "restore front"}));

    EXPECT_EQ(SendMessageA(h, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(other.ReadLine(), "destroyed");
    EXPECT_EQ(other.Wait(), 0);
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(CrossProcessTest, ReadsTheIconicStateAndCaptionOfAForeignWindow) {
    Peer other("serve", "TFormMain", "Minimised one", "iconic");
    HWND h = other.WaitReady();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(IsIconic(h));
    // What the watched-program search reads: visible, no owner, not a tool window.
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_EQ(GetWindow(h, GW_OWNER), nullptr);
    EXPECT_EQ(GetWindowLongA(h, GWL_EXSTYLE) & static_cast<LONG>(WS_EX_TOOLWINDOW), 0);
    EXPECT_NE(GetWindowLongA(h, GWL_STYLE) & static_cast<LONG>(WS_CAPTION), 0);
    char name[30];
    EXPECT_EQ(GetClassNameA(h, name, 5), 4);  // cut to the buffer
    EXPECT_STREQ(name, "TFor");
    char text[64];
    EXPECT_EQ(SendMessageA(h, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)), 13);
    EXPECT_STREQ(text, "Minimised one");
    EXPECT_EQ(FindWindowA("tformmain", nullptr), h);
    EXPECT_EQ(SendMessageA(h, kRestore, 0, 0), 0);
    EXPECT_EQ(other.ReadLine(), "restore iconic");
    EXPECT_TRUE(SetWindowTextA(h, "Renamed\nwith a line break"));
    EXPECT_EQ(GetWindowTextA(h, text, sizeof text), 25);
    EXPECT_STREQ(text, "Renamed\nwith a line break");
}

TEST_F(CrossProcessTest, PostsFromOneSenderArriveInOrder) {
    Peer other("serve", "TPeer", "order");
    HWND h = other.WaitReady();
    ASSERT_NE(h, nullptr);
    for (WPARAM i = 0; i < 200; ++i) ASSERT_TRUE(PostMessageA(h, kSequence, i, 0));
    for (int i = 0; i < 200; ++i) ASSERT_EQ(other.ReadLine(), "seq " + std::to_string(i));
}

TEST_F(CrossProcessTest, ServesSendsThatArriveWhileWaitingForAnAnswer) {
    Peer other("serve", "TPeer", "asks back");
    HWND h = other.WaitReady();
    ASSERT_NE(h, nullptr);
    HWND mine = MakeTop("mine");
    Recorder::Get().answers[kAnswer] = 41;
    LRESULT nested = 0;
    Recorder::Get().onMessage = [&](HWND, UINT msg, WPARAM, LPARAM) {
        if (msg == kAnswer) nested = SendMessageA(h, kPing, 0, 0);  // and we ask it again meanwhile
    };
    // The peer's handler sends kAnswer to our window before it answers us.
    EXPECT_EQ(SendMessageA(h, kAskBack, reinterpret_cast<WPARAM>(mine), 0), 42);
    EXPECT_EQ(Recorder::Get().Count(mine, kAnswer), 1);
    EXPECT_EQ(nested, kMagic);
}

TEST_F(CrossProcessTest, RecordsOfAKilledProcessAreSkippedAndRemoved) {
    Peer other("serve", "TFormMain", "doomed");
    HWND h = other.WaitReady();
    ASSERT_NE(h, nullptr);
    auto before = AllWindows();
    EXPECT_EQ(std::count(before.begin(), before.end(), h), 1);
    other.Kill();

    auto after = AllWindows();
    EXPECT_EQ(std::count(after.begin(), after.end(), h), 0);
    EXPECT_FALSE(IsWindow(h));
    SetLastError(0);
    EXPECT_EQ(SendMessageA(h, kPing, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    std::size_t records = 0;
    for (auto& e : std::filesystem::directory_iterator(std::filesystem::path(platform::SessionFolder()) / "windows"))
        records += e.path().extension() == ".rec";
    EXPECT_EQ(records, 0u);
}

TEST_F(CrossProcessTest, ASendToAProcessThatNeverAnswersGivesUpAfterTheTimeout) {
    Peer other("mute", "TFormMain", "hung");
    HWND h = other.WaitReady();
    ASSERT_NE(h, nullptr);
    platform::SetCrossProcessSendTimeout(300);
    EXPECT_EQ(platform::CrossProcessSendTimeout(), 300u);
    auto start = std::chrono::steady_clock::now();
    SetLastError(0);
    EXPECT_EQ(SendMessageA(h, kPing, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));  // it returned at all
    Found found;
    EXPECT_TRUE(EnumWindows(CALLBACK_FindInstance, reinterpret_cast<LPARAM>(&found)));
    EXPECT_EQ(found.window, nullptr);  // a window that does not answer the ping is no instance
    EXPECT_TRUE(IsWindow(h));         // still alive, only silent
}

TEST_F(CrossProcessTest, AtomsAreSharedWithTheOtherProcess) {
    Peer other("serve", "TPeer", "atoms");
    HWND h = other.WaitReady();
    ASSERT_NE(h, nullptr);
    ATOM a = GlobalAddAtomA("handed over");
    EXPECT_EQ(SendMessageA(h, kCommandLine, a, 0), 1);
    EXPECT_EQ(other.ReadLine(), "commandline handed over");
    GlobalDeleteAtom(a);
}

TEST_F(CrossProcessTest, TerminationSignalClosesThePeersMainWindowInOrder) {
    Peer other("serve", "TPeer", "signalled");
    HWND h = other.WaitReady();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(::kill(other.pid(), SIGTERM), 0);
    EXPECT_EQ(other.ReadLine(), "destroyed");
    EXPECT_EQ(other.Wait(), 0);
}

TEST_F(CrossProcessTest, AnIdleLoopAnswersSendsAndTakesPostsFromAnotherProcess) {
    platform::SetClock(nullptr);  // the loop waits in earnest for the other process
    HWND mine = MakeTop("instance");
    Recorder::Get().answers[kPing] = kMagic;
    char hex[32];
    std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(mine)));
    Peer caller("call", hex);
    ASSERT_TRUE(platform::RunLoopFor([&] { return Recorder::Get().Count(mine, kSequence) == 3; }, 20000));
    EXPECT_EQ(caller.ReadLine(), "answer " + std::to_string(kMagic));
    std::vector<WPARAM> order;
    for (const Received& r : Recorder::Get().log)
        if (r.msg == kSequence) order.push_back(r.wParam);
    EXPECT_EQ(order, (std::vector<WPARAM>{1, 2, 3}));
    EXPECT_EQ(caller.Wait(), 0);
}
