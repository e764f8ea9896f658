// What every test on a real X server needs: an Xvfb of the test program's own (on the display
// number it picks itself with -displayfd, stopped by its process id), and a way to run a
// desktop tool (xdotool, import, xclip, trayer ...) and read what it prints.
// Header-only; register the server once per test program with
//   const auto* const g_xvfb = ::testing::AddGlobalTestEnvironment(new tarvik::test::XvfbEnvironment);
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace tarvik::test {

class XvfbEnvironment : public ::testing::Environment {
public:
    // afterStart runs once the server answers and $DISPLAY names it (to choose the backend).
    explicit XvfbEnvironment(std::function<void()> afterStart = {}) : afterStart_(std::move(afterStart)) {}
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        char buf[32] = {};
        ssize_t n = 0, got = 0;
        while (got < static_cast<ssize_t>(sizeof buf) - 1 && (n = ::read(fds[0], buf + got, sizeof buf - 1 - got)) > 0) {
            got += n;
            if (std::memchr(buf, '\n', static_cast<std::size_t>(got))) break;
        }
        ::close(fds[0]);
        ASSERT_GT(got, 0) << "Xvfb did not start";
        display_ = ":" + std::string(buf, std::strcspn(buf, "\n"));
        ::setenv("DISPLAY", display_.c_str(), 1);
        ::setenv("TARVIK_DISPLAY", "x11", 1);
        if (afterStart_) afterStart_();
    }
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Display() const { return display_; }

private:
    std::function<void()> afterStart_;
    pid_t pid_ = -1;
    std::string display_;
};

// Runs a command to its end (never through a shell); returns its standard output without the
// trailing newlines.
inline std::string RunTool(std::vector<std::string> args) {
    int out[2];
    // Close-on-exec: a tool started meanwhile from another thread must not hold this pipe open.
    if (::pipe2(out, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while (rc == 0 && (n = ::read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    if (rc == 0) ::waitpid(pid, nullptr, 0);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

}  // namespace tarvik::test
