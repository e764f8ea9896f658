// Running the real Tarvik binary in a sandbox of its own: a program folder holding a copy of
// the binary with its templates, help page and the test plug-in, and a profile of its own
// (which also gives it its own session, so parallel cases never see each other's windows).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

class Sandbox {
public:
    Sandbox() {
        std::string base = fs::temp_directory_path() / "tarvik-e2e-XXXXXX";
        if (!::mkdtemp(base.data())) throw std::runtime_error("mkdtemp failed");
        root = base;
        program = root / "prog";
        profile = root / "profile";
        fs::create_directories(program / "Plugins");
        fs::copy_file(TARVIK_PROGRAM, program / "Tarvik");
        fs::permissions(program / "Tarvik", fs::perms::owner_all);
        for (const char* folder : {"Templates", "Help"})
            fs::copy(fs::path(TARVIK_BIN_DIR) / folder, program / folder, fs::copy_options::recursive);
        fs::copy_file(fs::path(TARVIK_TEST_PLUGIN_DIR) / "TestPlugin.dll", program / "Plugins" / "TestPlugin.dll");
    }
    ~Sandbox() {
        if (!std::getenv("TARVIK_KEEP_TEST_DIRS")) {
            std::error_code ec;
            fs::remove_all(root, ec);
        }
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    fs::path CatalogueFolder() const { return profile / "shell" / "AppData" / "Brenlo" / "Corvex"; }
    fs::path Catalogue() const { return CatalogueFolder() / "Backup.Dat"; }
    fs::path History() const { return program / "History.txt"; }
    fs::path PluginLog() const { return root / "plugin.log"; }
    // The Windows-style name the program gives the catalogue folder (drive Z: is "/").
    std::string CatalogueFolderWin() const {
        std::string s = "Z:" + CatalogueFolder().string() + "/";
        for (char& c : s)
            if (c == '/') c = '\\';
        return s;
    }

    // The environment of a process of this sandbox, with extra "NAME=value" entries.
    std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            for (const char* drop : {"TARVIK_PROFILE=", "XDG_RUNTIME_DIR=", "TARVIK_TEST_PLUGIN_LOG=",
                                     "TARVIK_SEND_TIMEOUT_MS="})
                if (v.rfind(drop, 0) == 0) v.clear();
            if (!v.empty()) env.push_back(v);
        }
        env.push_back("TARVIK_PROFILE=" + profile.string());
        env.push_back("TARVIK_TEST_PLUGIN_LOG=" + PluginLog().string());
        for (const auto& e : extra) env.push_back(e);
        return env;
    }

    fs::path root, program, profile;
};

// One process with its standard output on a pipe read line by line; standard error goes to
// a file. The destructor kills a process that is still running.
class Process {
public:
    Process(const std::string& file, const std::vector<std::string>& args, const std::vector<std::string>& env,
            const fs::path& errFile) {
        int fds[2];
        if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        std::vector<std::string> a = args;
        a.insert(a.begin(), file);
        std::vector<char*> argv, envp;
        for (auto& s : a) argv.push_back(s.data());
        argv.push_back(nullptr);
        std::vector<std::string> e = env;
        for (auto& s : e) envp.push_back(s.data());
        envp.push_back(nullptr);
        int rc = ::posix_spawn(&pid_, file.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
        if (rc != 0) pid_ = -1;
    }
    ~Process() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return pid_; }
    const std::vector<std::string>& Lines() const { return lines_; }

    // The next line printed, or "" when none came within the time or the output ended.
    std::string ReadLine(int millis = 20000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
        for (;;) {
            auto nl = pending_.find('\n');
            if (nl != std::string::npos) {
                std::string line = pending_.substr(0, nl);
                pending_.erase(0, nl + 1);
                lines_.push_back(line);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return "";
            pollfd pfd{out_, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) return "";
            char buf[4096];
            ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) return "";
            pending_.append(buf, static_cast<std::size_t>(n));
        }
    }
    // Reads until a line starting with prefix; true when one came in time.
    bool WaitFor(const std::string& prefix, int millis = 20000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
        while (std::chrono::steady_clock::now() < deadline) {
            int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
            std::string line = ReadLine(std::max(left, 1));
            if (line.rfind(prefix, 0) == 0) return true;
            if (line.empty() && Exited(0)) return false;
        }
        return false;
    }
    bool SawLine(const std::string& line) const {
        for (const auto& l : lines_)
            if (l == line) return true;
        return false;
    }

    void Signal(int sig) { ::kill(pid_, sig); }
    // True once the process has ended (waiting at most millis).
    bool Exited(int millis) {
        if (exited_) return true;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
        for (;;) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // The exit code, or -1 when the process did not end within millis.
    int Wait(int millis = 20000) { return Exited(millis) ? exitCode_ : -1; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
    bool exited_ = false;
    int exitCode_ = -1;
};

}  // namespace e2e
