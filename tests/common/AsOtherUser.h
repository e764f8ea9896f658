// Runs a piece of a test as an ordinary user. Tests run as root in CI, and root reads and
// writes whatever the mode bits say, so a case about an unreadable or unwritable file forks,
// hands its folder tree to the user "nobody" and drops to it in the child. Run by an ordinary
// user, the child simply runs the body.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace tarvik::test {

inline constexpr int kChildSetupFailed = 120;
inline constexpr int kChildThrew = 121;

// body gives the child's exit code (0..119); the parent gets it back, or -1 when the child died.
inline int RunAsOtherUser(const std::string& tree, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::geteuid() == 0) {
            constexpr uid_t kNobody = 65534;
            std::error_code ec;
            // The test's own folders above the tree must let the user through; the tree itself
            // becomes theirs.
            const std::string temp = std::filesystem::temp_directory_path(ec).string();
            for (std::string p = std::filesystem::path(tree).parent_path(); p.size() > temp.size() && p.rfind(temp, 0) == 0;
                 p = std::filesystem::path(p).parent_path())
                std::filesystem::permissions(p, std::filesystem::perms::others_exec, std::filesystem::perm_options::add, ec);
            if (::chown(tree.c_str(), kNobody, kNobody) != 0) ::_exit(kChildSetupFailed);
            for (const auto& e : std::filesystem::recursive_directory_iterator(tree, ec))
                if (::lchown(e.path().c_str(), kNobody, kNobody) != 0) ::_exit(kChildSetupFailed);
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(kChildSetupFailed);
        }
        int code = kChildThrew;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace tarvik::test
