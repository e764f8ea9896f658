// Where the profile goes without the usual variables, and the checks on its private temporary
// folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "platform/Exceptions.h"
#include "platform/Profile.h"
#include "tests/common/TestProfile.h"

namespace {

namespace fs = std::filesystem;

// Keeps the variables that locate the profile and puts them back afterwards.
class ProfileFolder : public tarvik::test::ProfileTest {
protected:
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name, value->c_str(), 1);
            else ::unsetenv(name);
        }
        platform::ResetProfileForTests();
    }
    std::pair<const char*, std::optional<std::string>> Save(const char* name) {
        const char* v = std::getenv(name);
        return {name, v ? std::optional<std::string>(v) : std::nullopt};
    }
    // Runs ProfilePath() in a child as uid with no locating variables: 0 when it raises
    // EOSError with a message that `wanted` accepts.
    static int ChildRefuses(uid_t uid, const std::function<bool(const std::string&)>& wanted) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(10);
            for (const char* name : {"TARVIK_PROFILE", "XDG_DATA_HOME", "HOME"}) ::unsetenv(name);
            platform::ResetProfileForTests();
            try {
                platform::ProfilePath();
                ::_exit(11);
            } catch (const EOSError& e) {
                ::_exit(wanted(e.Message()) ? 0 : 12);
            } catch (...) {
                ::_exit(13);
            }
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<std::pair<const char*, std::optional<std::string>>> saved_{Save("TARVIK_PROFILE"), Save("XDG_DATA_HOME"),
                                                                           Save("HOME")};
};

TEST_F(ProfileFolder, WithoutHomeTheUsersHomeFromThePasswordDatabaseIsUsed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    // nobody's home is /nonexistent: the profile is sought there, not in the shared /tmp.
    EXPECT_EQ(ChildRefuses(65534, [](const std::string& m) {
                  return m.find("\"/nonexistent") != std::string::npos && m.find("/tmp") == std::string::npos;
              }),
              0);
}

TEST_F(ProfileFolder, AUserWithoutAnyHomeIsRefusedClearly) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    EXPECT_EQ(ChildRefuses(54321, [](const std::string& m) {
                  return m.find("Cannot locate the profile folder") != std::string::npos &&
                         m.find("user 54321 has no home folder") != std::string::npos;
              }),
              0);
}

TEST_F(ProfileFolder, TemporaryFolderThatIsALinkIsRefused) {
    const std::string profile = env.Profile() + "-linked";
    fs::create_directories(profile);
    fs::create_directory(env.Scratch("elsewhere"));
    fs::create_directory_symlink(env.Scratch("elsewhere"), profile + "/temp");
    ::setenv("TARVIK_PROFILE", profile.c_str(), 1);
    platform::ResetProfileForTests();
    try {
        platform::ProfilePath();
        ADD_FAILURE() << "a linked temporary folder was accepted";
    } catch (const EOSError& e) {
        EXPECT_NE(e.Message().find("is not a folder of this user"), std::string::npos) << e.Message();
    }
    fs::remove_all(profile);
}

TEST_F(ProfileFolder, TemporaryFolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the folder away";
    const std::string profile = env.Profile() + "-foreign";
    fs::create_directories(profile + "/temp");
    ASSERT_EQ(::chown((profile + "/temp").c_str(), 65534, 65534), 0);
    ::setenv("TARVIK_PROFILE", profile.c_str(), 1);
    platform::ResetProfileForTests();
    EXPECT_THROW(platform::ProfilePath(), EOSError);
    fs::remove_all(profile);
}

TEST_F(ProfileFolder, TemporaryFolderIsMadePrivate) {
    const std::string profile = env.Profile() + "-open";
    fs::create_directories(profile + "/temp");
    ::chmod((profile + "/temp").c_str(), 0777);
    ::setenv("TARVIK_PROFILE", profile.c_str(), 1);
    platform::ResetProfileForTests();
    EXPECT_EQ(platform::ProfilePath(), profile);
    struct stat st {};
    ASSERT_EQ(::stat((profile + "/temp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    fs::remove_all(profile);
}

}  // namespace
