// A session bus of the test's own (a dbus-daemon it stops by its process id) and, on it,
// python-dbusmock standing in for a panel's StatusNotifierWatcher. While it lives,
// $DBUS_SESSION_BUS_ADDRESS names it, so processes started meanwhile use it too.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace tarvik::test {

class PrivateSessionBus {
public:
    PrivateSessionBus() {
        if (const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS")) old_ = old;
        FILE* bus = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        char line[512] = {};
        if (bus && std::fgets(line, sizeof line, bus)) address_ = line;
        if (bus && std::fgets(line, sizeof line, bus)) pid_ = std::atoi(line);
        if (bus) ::pclose(bus);
        while (!address_.empty() && address_.back() == '\n') address_.pop_back();
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    }
    ~PrivateSessionBus() {
        if (watcher_ > 0) ::kill(watcher_, SIGTERM), ::waitpid(watcher_, nullptr, 0);
        if (pid_ > 0) ::kill(pid_, SIGTERM);
        if (old_.empty()) ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        else ::setenv("DBUS_SESSION_BUS_ADDRESS", old_.c_str(), 1);
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& Address() const { return address_; }

    // A watcher whose RegisterStatusNotifierItem only logs its call; true once it answers.
    bool StartWatcher(const std::string& log) {
        watcher_ = ::fork();
        if (watcher_ == 0) {
            ::execl("/usr/bin/python3", "python3", "-m", "dbusmock", "--session", "org.kde.StatusNotifierWatcher",
                    "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher", "-l", log.c_str(), nullptr);
            ::_exit(127);
        }
        using namespace std::chrono_literals;
        for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(50ms)) {
            if (std::system("dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher "
                            "/StatusNotifierWatcher org.freedesktop.DBus.Mock.AddMethod string: "
                            "string:RegisterStatusNotifierItem string:s string: string: >/dev/null 2>&1") == 0)
                return true;
        }
        return false;
    }

    void StopWatcher() {
        if (watcher_ > 0) ::kill(watcher_, SIGTERM), ::waitpid(watcher_, nullptr, 0);
        watcher_ = -1;
    }

private:
    std::string address_, old_;
    pid_t pid_ = -1, watcher_ = -1;
};

}  // namespace tarvik::test
