#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Drives.h"
#include "platform/Registry.h"
#include "tests/common/TestProfile.h"
#include "tests/common/AsOtherUser.h"

using tarvik::test::ProfileTest;

namespace {

const char* const kSettingsKey = "Software\\Brenlo\\My Corvex";

TEST_F(ProfileTest, RegistryValuesSurviveARestartOfTheStore) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(std::string(kSettingsKey) + "\\General", true));
        reg.WriteString("General_cOnTop", "1");
        reg.WriteInteger("Counter", 0x1234);
        EXPECT_EQ(reg.CurrentPath(), std::string(kSettingsKey) + "\\General");
    }
    platform::ResetProfileForTests();  // as a new process would start
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("software\\BRENLO\\my corvex\\general", false));
    EXPECT_EQ(reg.ReadString("GENERAL_CONTOP"), "1");
    EXPECT_EQ(reg.ReadInteger("counter"), 0x1234);
    std::vector<String> names;
    reg.GetValueNames(names);
    EXPECT_EQ(names, (std::vector<String>{"General_cOnTop", "Counter"}));  // the case they were made with
    reg.CloseKey();
    ASSERT_TRUE(reg.OpenKey(kSettingsKey, false));
    reg.GetKeyNames(names);
    EXPECT_EQ(names, std::vector<String>{"General"});
    std::string text = env.ReadText(env.Profile() + "/registry.reg");
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Brenlo\\My Corvex\\General]\n"
                        "\"General_cOnTop\"=\"1\"\n\"Counter\"=dword:00001234\n"),
              std::string::npos)
        << text;
}

TEST_F(ProfileTest, ChangesReachTheStoreWhenTheKeyCloses) {
    TRegistry writer;
    ASSERT_TRUE(writer.OpenKey("Software\\Pending", true));
    writer.WriteString("v", "x");
    {
        TRegistry reader;  // the same process sees the open key's change at once
        ASSERT_TRUE(reader.OpenKey("Software\\Pending", false));
        EXPECT_EQ(reader.ReadString("v"), "x");
    }
    EXPECT_EQ(env.ReadText(env.Profile() + "/registry.reg").find("Pending"), std::string::npos);
    writer.CloseKey();
    EXPECT_NE(env.ReadText(env.Profile() + "/registry.reg").find("[HKEY_CURRENT_USER\\Software\\Pending]\n\"v\"=\"x\""),
              std::string::npos);
}

TEST_F(ProfileTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kProcesses = 4, kRounds = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            try {
                for (int r = 0; r < kRounds; ++r) {
                    TRegistry reg;
                    if (!reg.OpenKey("Software\\Shared", true)) ++failures;
                    reg.WriteString("p" + std::to_string(p) + "_" + std::to_string(r), "ok");
                    reg.CloseKey();
                    if (!reg.OpenKey("Software\\Own" + std::to_string(p), true)) ++failures;
                    reg.WriteInteger("r" + std::to_string(r), r);
                }
            } catch (...) {
                ++failures;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    platform::ResetProfileForTests();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Shared", false));
    std::vector<String> names;
    reg.GetValueNames(names);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kProcesses * kRounds));
    for (int p = 0; p < kProcesses; ++p) {
        ASSERT_TRUE(reg.OpenKey("\\Software\\Own" + std::to_string(p), false));
        for (int r = 0; r < kRounds; ++r) EXPECT_EQ(reg.ReadInteger("r" + std::to_string(r)), r);
    }
}

TEST_F(ProfileTest, DamagedStoreIsReportedReadAsEmptyAndKept) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Before", true));
    }
    std::string store = env.Profile() + "/registry.reg";
    std::string garbage = "Tarvik Registry Store 1\n[HKEY_CURRENT_USER\\Software\\X]\n\"half\"=dword:12";
    { std::ofstream(store, std::ios::binary) << garbage; }
    platform::ResetProfileForTests();
    ::testing::internal::CaptureStderr();
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("Software\\X", false));
    EXPECT_FALSE(reg.KeyExists("Software\\Before"));
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("damaged"), std::string::npos) << err;
    ASSERT_TRUE(reg.OpenKey("Software\\After", true));
    reg.WriteString("v", "1");
    reg.CloseKey();
    EXPECT_EQ(env.ReadText(store + ".damaged"), garbage);
    EXPECT_TRUE(reg.KeyExists("Software\\After"));
}

struct TextCase {
    const char* name;
    const char* value;
};

class RegistryTexts : public ProfileTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(RegistryTexts, RoundTripThroughTheStoreFile) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Texts", true));
        reg.WriteString(GetParam().value, GetParam().value);  // as value name and as data
    }
    platform::ResetProfileForTests();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Texts", false));
    EXPECT_EQ(reg.ReadString(GetParam().value), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Table, RegistryTexts,
                         ::testing::Values(TextCase{"Plain", "abc"}, TextCase{"Empty", ""},
                                           TextCase{"QuotesAndBackslashes", "\"C:\\Tarvik\" \"-a\" \"%1\""},
                                           TextCase{"LineBreaks", "one\r\ntwo\tthree"},
                                           TextCase{"Utf8", "Z\xC3\xBCrich \xE2\x82\xAC"},
                                           TextCase{"LooksLikeAKey", "[HKEY_LOCAL_MACHINE\\x]"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, RegistryErrorsCarryTheClassLibraryText) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Types", true));
    reg.WriteString("text", "1");
    reg.WriteInteger("number", 5);
    EXPECT_EQ(reg.ReadString("missing"), "");
    try {
        reg.ReadInteger("missing");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Failed to get data for 'missing'");
    }
    try {
        reg.ReadInteger("text");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Invalid data type for 'text'");
    }
    EXPECT_THROW(reg.ReadString("number"), ERegistryException);
    reg.CloseKey();
    EXPECT_THROW(reg.WriteString("no key open", "x"), ERegistryException);
}

TEST_F(ProfileTest, RawCallsQueryWithFixedBuffers) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Raw", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    std::string longText(300, 'x');
    ASSERT_EQ(RegSetValueExA(key, "long", 0, REG_SZ, reinterpret_cast<const BYTE*>(longText.c_str()),
                             static_cast<DWORD>(longText.size() + 1)),
              0);
    ASSERT_EQ(RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("default"), 8), 0);
    ASSERT_EQ(RegCloseKey(key), 0);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\raw", 0, KEY_QUERY_VALUE, &key), 0);
    char buffer[255];
    DWORD size = sizeof buffer, type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "long", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
              static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 301u);
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), 0);
    EXPECT_EQ(std::string(buffer), "default");
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
              static_cast<LONG>(ERROR_ACCESS_DENIED));  // opened for querying only
    EXPECT_EQ(RegCloseKey(key), 0);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Missing", 0, KEY_READ, &key),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software"), static_cast<LONG>(ERROR_ACCESS_DENIED));  // has subkeys
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Raw"), 0);
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists("Software\\Raw"));
}

TEST_F(ProfileTest, ClassesRootIsTheUsersSoftwareClasses) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Classes\\directory\\shell\\My Corvex\\command", true));
    reg.WriteString("", "\"C:\\Tarvik\" \"-a\" \"%1\"");
    reg.CloseKey();
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.OpenKey("Directory\\Shell\\My Corvex\\Command", false));
    EXPECT_EQ(reg.ReadString(""), "\"C:\\Tarvik\" \"-a\" \"%1\"");
    reg.CloseKey();
    EXPECT_TRUE(reg.DeleteKey("directory"));  // with its subkeys
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.KeyExists("Software\\Classes\\directory"));
}

TEST_F(ProfileTest, ShellFoldersAreSeededToTheProfile) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            0, KEY_QUERY_VALUE, &key),
              0);
    for (const char* name : platform::kShellFolderNames) {
        char buffer[255] = {};
        DWORD size = sizeof buffer;
        ASSERT_EQ(RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size), 0) << name;
        EXPECT_EQ(platform::ToPosixPath(buffer), env.Profile() + "/shell/" + name);
        EXPECT_TRUE(std::filesystem::is_directory(env.Profile() + "/shell/" + name));
    }
    RegCloseKey(key);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", false));
    ASSERT_TRUE(reg.OpenKey("Shell Folders", false));
    EXPECT_EQ(platform::ToPosixPath(reg.ReadString("AppData")), env.Profile() + "/shell/AppData");
}

}  // namespace

// A store that cannot be written: reads still work (the shell folders seeded in memory), and
// every write that does not reach the store says so instead of passing for a success.
namespace readonly_store {

using tarvik::test::RunAsOtherUser;

enum Failure {
    kSeedsNotReadable = 1 << 0,
    kKeyNotOpened = 1 << 1,
    kCloseKeyPassed = 1 << 2,
    kWrongMessage = 1 << 3,
    kFlushPassed = 1 << 4,
    kRootWritePassed = 1 << 5,
};

int ReadAndWriteOnAReadOnlyStore() {
    int failures = 0;
    {
        TRegistry reg;
        if (!reg.OpenKeyReadOnly("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders") ||
            reg.ReadString("AppData").empty())
            failures |= kSeedsNotReadable;
    }
    {
        TRegistry reg;
        if (!reg.OpenKey("Software\\Lost", true)) failures |= kKeyNotOpened;
        reg.WriteString("v", "x");
        try {
            reg.CloseKey();
            failures |= kCloseKeyPassed;
        } catch (const ERegistryException& e) {
            if (e.Message() != "Failed to set data for 'Software\\Lost'") failures |= kWrongMessage;
        }
    }
    {
        TRegistry reg;  // going without CloseKey: the destructor must not raise
        reg.OpenKey("Software\\Dropped", true);
        reg.WriteString("v", "x");
    }
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Raw", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != 0)
        failures |= kKeyNotOpened;
    const BYTE text[] = "x";
    RegSetValueExA(key, "v", 0, REG_SZ, text, sizeof text);
    if (RegFlushKey(key) == 0) failures |= kFlushPassed;
    RegCloseKey(key);
    if (RegSetValueExA(HKEY_CURRENT_USER, "direct", 0, REG_SZ, text, sizeof text) == 0) failures |= kRootWritePassed;
    return failures;
}

TEST_F(ProfileTest, WritesThatMissTheStoreAreReportedAndReadsStillWork) {
    namespace fs = std::filesystem;
    ASSERT_FALSE(fs::exists(env.Profile() + "/registry.reg"));  // a fresh profile: seeding is due
    fs::permissions(env.Profile(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(RunAsOtherUser(env.Profile(), ReadAndWriteOnAReadOnlyStore), 0);
    fs::permissions(env.Profile(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(env.Profile() + "/registry.reg"));
}

TEST_F(ProfileTest, CloseKeyOfAWriterThatReachesTheStoreRaisesNothing) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Kept", true));
    reg.WriteString("v", "x");
    EXPECT_NO_THROW(reg.CloseKey());
    EXPECT_NO_THROW(reg.CloseKey());  // nothing open: nothing to do
    EXPECT_NE(env.ReadText(env.Profile() + "/registry.reg").find("[HKEY_CURRENT_USER\\Software\\Kept]"),
              std::string::npos);
}

// A store that is there but cannot be read is never replaced by one that lacks its keys.
TEST_F(ProfileTest, UnreadableStoreIsNeverReplaced) {
    namespace fs = std::filesystem;
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Kept", true));
        reg.WriteString("v", "x");
        reg.CloseKey();
    }
    const std::string store = env.Profile() + "/registry.reg";
    const std::string before = env.ReadText(store);
    fs::permissions(store, fs::perms::owner_write);
    platform::ResetProfileForTests();  // as a new process would start
    EXPECT_EQ(RunAsOtherUser(env.Profile(), [] {
                  TRegistry reg;
                  if (!reg.OpenKey("Software\\Other", true)) return 1;
                  reg.WriteString("w", "y");
                  try {
                      reg.CloseKey();
                      return 2;
                  } catch (const ERegistryException&) {
                      return 0;
                  }
              }),
              0);
    fs::permissions(store, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(env.ReadText(store), before);
}

}  // namespace readonly_store
