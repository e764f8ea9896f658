#include <gtest/gtest.h>
#include <stdio.h>

#include <map>

#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/ShellLink.h"
#include "tests/common/TestProfile.h"

using tarvik::test::ProfileTest;

namespace {

// COM for the test's thread, and the link object's two interfaces.
class ShellLinkTest : public ProfileTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)),
                  S_OK);
        ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    }
    void TearDown() override {
        if (file) file->Release();
        if (link) link->Release();
        CoUninitialize();
    }
    String ShellFolder(const char* name) {
        TRegistry reg;
        EXPECT_TRUE(reg.OpenKeyReadOnly("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"));
        return reg.ReadString(name);
    }
    HRESULT SaveTo(const String& path) { return file->Save(platform::ToOleString(path).c_str(), FALSE_); }

    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
};

// "Key : value" lines of lnkinfo's report.
std::map<std::string, std::string> LnkInfo(const std::string& posixPath) {
    std::map<std::string, std::string> fields;
    FILE* p = ::popen(("lnkinfo '" + posixPath + "' 2>&1").c_str(), "r");
    if (!p) return fields;
    char line[4096];
    while (std::fgets(line, sizeof line, p)) {
        std::string s = line;
        std::size_t colon = s.find(':');
        if (colon == std::string::npos) continue;
        auto trim = [](std::string t) {
            std::size_t b = t.find_first_not_of(" \t\r\n"), e = t.find_last_not_of(" \t\r\n");
            return b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
        };
        fields[trim(s.substr(0, colon))] = trim(s.substr(colon + 1));
    }
    fields["exit"] = std::to_string(::pclose(p));
    return fields;
}

TEST_F(ShellLinkTest, LnkinfoReadsTheShortcutsWeWrite) {
    if (::system("command -v lnkinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "lnkinfo is not installed";
    env.WriteText("My Programs/Tarvik", "program");
    String program = env.Win("My Programs/Tarvik");
    String shortcut = ShellFolder("Startup") + "\\My Corvex.lnk";
    ASSERT_EQ(link->SetPath(program.c_str()), S_OK);
    ASSERT_EQ(link->SetArguments("-s"), S_OK);
    ASSERT_EQ(link->SetDescription("This is New Small backup system"), S_OK);
    ASSERT_EQ(link->SetWorkingDirectory(env.Win("My Programs").c_str()), S_OK);
    ASSERT_EQ(link->SetIconLocation(program.c_str(), 0), S_OK);
    ASSERT_EQ(SaveTo(shortcut), S_OK);
    ASSERT_TRUE(FileExists(shortcut));

    auto info = LnkInfo(platform::ToPosixPath(shortcut));
    EXPECT_EQ(info["exit"], "0");
    EXPECT_EQ(info["Local path"], program);
    EXPECT_EQ(info["Command line arguments"], "-s");
    EXPECT_EQ(info["Description"], "This is New Small backup system");
    EXPECT_EQ(info["Working directory"], env.Win("My Programs"));
    EXPECT_EQ(info["Icon location"], program);
    EXPECT_EQ(info["File size"], "7 bytes");
    EXPECT_EQ(info["Drive type"], "Fixed (3)");
}

TEST_F(ShellLinkTest, SavedLinksLoadBack) {
    const char* target = "C:\\Program Files\\Caf\xC3\xA9 \xE2\x82\xAC\\Tarvik";  // blanks and UTF-8
    ASSERT_EQ(link->SetPath(target), S_OK);
    ASSERT_EQ(link->SetArguments("\"-a\" \"%1\""), S_OK);
    ASSERT_EQ(link->SetDescription("This is New Small backup system"), S_OK);
    EXPECT_EQ(file->IsDirty(), S_OK);
    ASSERT_EQ(SaveTo(ShellFolder("Desktop") + "\\My Corvex.lnk"), S_OK);
    EXPECT_EQ(file->IsDirty(), S_FALSE);

    IPersistFile* other = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFile,
                               reinterpret_cast<void**>(&other)),
              S_OK);
    ASSERT_EQ(other->Load(platform::ToOleString(ShellFolder("Desktop") + "\\my corvex.LNK").c_str(), 0), S_OK);
    IShellLinkA* back = nullptr;
    ASSERT_EQ(other->QueryInterface(IID_IShellLinkA, reinterpret_cast<void**>(&back)), S_OK);
    char text[260];
    ASSERT_EQ(back->GetPath(text, sizeof text, nullptr, 0), S_OK);
    EXPECT_STREQ(text, target);
    ASSERT_EQ(back->GetArguments(text, sizeof text), S_OK);
    EXPECT_STREQ(text, "\"-a\" \"%1\"");
    ASSERT_EQ(back->GetDescription(text, 8), S_OK);
    EXPECT_STREQ(text, "This is");  // cut to the buffer
    back->Release();
    other->Release();
}

TEST_F(ShellLinkTest, DamagedLinkFilesFailToLoadWithoutHarm) {
    ASSERT_EQ(link->SetPath("C:\\Tarvik"), S_OK);
    ASSERT_EQ(link->SetArguments("-s"), S_OK);
    ASSERT_EQ(link->SetDescription("desc"), S_OK);
    ASSERT_EQ(SaveTo(env.Win("whole.lnk")), S_OK);
    std::string whole = env.ReadText(env.Scratch("whole.lnk"));
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        env.WriteText("cut.lnk", whole.substr(0, cut));
        HRESULT hr = file->Load(platform::ToOleString(env.Win("cut.lnk")).c_str(), 0);
        // Only the optional terminal block may be missing from a readable link.
        if (cut < whole.size() - 4) {
            EXPECT_EQ(hr, E_FAIL) << "cut at " << cut;
        }
    }
    env.WriteText("text.lnk", "not a link at all, but long enough to hold a header of seventy-six bytes .....");
    EXPECT_EQ(file->Load(platform::ToOleString(env.Win("text.lnk")).c_str(), 0), E_FAIL);
    EXPECT_EQ(file->Load(platform::ToOleString(env.Win("missing.lnk")).c_str(), 0),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(FAILED(SaveTo(env.Win("no folder\\x.lnk"))));
}

TEST(ShellLinkCom, ObjectsComeOnlyFromAnInitialisedThreadAndKnownClass) {
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, &object),
              CO_E_NOTINITIALIZED);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    EXPECT_EQ(CoCreateInstance(IID_IPersistFile, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID{1, 2, 3, {}}, &object),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    CoUninitialize();
}

}  // namespace
