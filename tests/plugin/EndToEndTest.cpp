// The plug-in inside the real Tarvik: a catalogue with one QelBackup backup, the program
// started, the watched file changed while it runs, the program closed.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// Puts a new version of the watched file in place at once, as an editor saving it does: the
// plug-in's check never sees a half-written file.
void ReplaceFile(const fs::path& p, const std::string& text) {
    fs::path next = p;
    next += ".saving";
    WriteFile(next, text);
    fs::rename(next, p);
}

using Clock = std::chrono::steady_clock;

// Polls until done() holds or the deadline passes. The deadlines are generous: they only end
// a run that went wrong, a passing run never waits for them.
template <class F>
bool WaitUntil(F done, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::string Output(const std::string& command) {
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return {};
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    ::pclose(p);
    return out;
}

std::string Win(const fs::path& p) {
    std::string s = "Z:" + p.string();
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

// A program folder with Tarvik, its pages and the plug-in, and a profile of its own.
class Sandbox {
public:
    Sandbox() {
        std::string base = fs::temp_directory_path() / "qel-e2e-XXXXXX";
        if (!::mkdtemp(base.data())) throw std::runtime_error("mkdtemp failed");
        root = base;
        program = root / "prog";
        profile = root / "profile";
        fs::create_directories(program / "Plugins");
        fs::copy_file(TARVIK_PROGRAM, program / "Tarvik");
        for (const char* folder : {"Templates", "Help", "Plugins/QelBackup"})
            fs::copy(fs::path(TARVIK_BIN_DIR) / folder, program / folder, fs::copy_options::recursive);
        fs::copy_file(QEL_LIBRARY, program / "Plugins" / "QelBackup.dll");
    }
    ~Sandbox() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (!std::getenv("TARVIK_KEEP_TEST_DIRS")) {
            std::error_code ec;
            fs::remove_all(root, ec);
        }
    }
    fs::path DataFolder() const { return profile / "shell" / "AppData" / "Brenlo" / "Corvex"; }

    void Start() {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            if (v.rfind("TARVIK_PROFILE=", 0) != 0 && v.rfind("XDG_RUNTIME_DIR=", 0) != 0) env.push_back(v);
        }
        env.push_back("TARVIK_PROFILE=" + profile.string());
        std::vector<char*> envp;
        for (auto& s : env) envp.push_back(s.data());
        envp.push_back(nullptr);
        std::string file = (program / "Tarvik").string();
        std::vector<char*> argv{file.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        std::string out = (root / "stdout.txt").string(), err = (root / "stderr.txt").string();
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ASSERT_EQ(::posix_spawn(&pid, file.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    // Waits until the program has written text to its standard output.
    bool WaitForOutput(const std::string& text) {
        return WaitUntil([&] { return ReadFile(root / "stdout.txt").find(text) != std::string::npos; },
                         std::chrono::seconds(60));
    }
    int Stop() {
        ::kill(pid, SIGTERM);
        int status = 0;
        bool ended = WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(60));
        if (!ended) return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    fs::path root, program, profile;
    pid_t pid = -1;
};

// Waits until the plug-in has put a new archive in place (it replaces the file as a whole).
bool WaitForChange(const fs::path& archive, const std::string& before) {
    return WaitUntil([&] { return fs::exists(archive) && ReadFile(archive) != before; }, std::chrono::seconds(60));
}

TEST(EndToEndTest, TheRunningProgramKeepsEveryVersionOfTheWatchedFile) {
    Sandbox box;
    const fs::path watched = box.root / "work" / "book.txt";
    const fs::path archive = box.root / "backups" / "book.zip";
    WriteFile(watched, "version 0");
    WriteFile(box.DataFolder() / "Backup.Dat", "2|Book|2|QelBackup|{777}|The book|01/03/2024|4|5|-\r\n");
    WriteFile(box.DataFolder() / "{777}", "[GENREAL]\r\nZipFile=" + Win(archive) + "\r\nQelFile=" + Win(watched) +
                                              "\r\nClosePrg=0\r\n");
    box.Start();
    ASSERT_TRUE(box.WaitForOutput("Tarvik is running")) << ReadFile(box.root / "stderr.txt");
    // The version found at start.
    ASSERT_TRUE(WaitForChange(archive, "")) << ReadFile(box.program / "History.txt");
    std::vector<std::string> versions{"version 0"};
    auto lastChange = Clock::now();
    for (int i = 1; i <= 3; ++i) {
        // At least 2 seconds after the previous version, each time a new size.
        std::this_thread::sleep_until(lastChange + std::chrono::milliseconds(2100));
        std::string before = ReadFile(archive);
        versions.push_back("version " + std::to_string(i) + std::string(static_cast<std::size_t>(i) * 10, '+'));
        ReplaceFile(watched, versions.back());
        lastChange = Clock::now();
        ASSERT_TRUE(WaitForChange(archive, before)) << "change " << i;
    }
    EXPECT_EQ(box.Stop(), 0) << ReadFile(box.root / "stderr.txt");

    const std::string quoted = "'" + archive.string() + "'";
    ASSERT_EQ(std::system(("unzip -tq " + quoted + " >/dev/null 2>&1").c_str()), 0) << Output("unzip -t " + quoted);
    // unzip lists the entries in the order they were made, each under its backup's date and
    // time, then the watched file's drive, folder and name.
    std::vector<std::string> names;
    std::istringstream listing(Output("unzip -Z1 " + quoted));
    for (std::string line; std::getline(listing, line);) names.push_back(line);
    ASSERT_EQ(names.size(), versions.size()) << Output("unzip -l " + quoted);
    const std::regex dated(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d/Z:)" + watched.string());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_TRUE(std::regex_match(names[i], dated)) << names[i];
        if (i > 0) {
            EXPECT_NE(names[i], names[i - 1]);
        }
        // unzip takes "[" in a name as a pattern; the names here hold none.
        EXPECT_EQ(Output("unzip -p " + quoted + " '" + names[i] + "'"), versions[i]) << names[i];
    }
}

}  // namespace
