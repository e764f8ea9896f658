#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ScanTree.h"
#include "manager/Settings.h"
#include "manager/ShellHelpers.h"
#include "platform/DesktopServices.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Params.h"
#include "platform/ShellLink.h"
#include "platform/SysUtils.h"
#include "platform/Profile.h"

namespace {

using namespace manager;

class ShellHelpersTest : public scantest::ProfileTest {};

TEST_F(ShellHelpersTest, ShortcutLiesInTheShellFolderNamedByTheTitle) {
    const String desktop = platform::FromPosixPath(platform::ProfileShellFolderPath("Desktop"));
    EXPECT_EQ(ShortcutPath("Desktop"), desktop + "\\My Corvex.lnk");
    EXPECT_FALSE(ShortcutExists("Desktop"));
    scantest::WriteFile(platform::ProfileShellFolderPath("Desktop") + "/My Corvex.lnk", "x");
    EXPECT_TRUE(ShortcutExists("Desktop"));
}

TEST_F(ShellHelpersTest, UnknownShellFolderHasNoShortcut) {
    EXPECT_EQ(ShortcutPath("No Such Folder"), "");
    EXPECT_FALSE(ShortcutExists("No Such Folder"));
}

TEST_F(ShellHelpersTest, TempDirectoryEndsWithBackslashAndExists) {
    const String temp = GetTempDirectory();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_TRUE(DirectoryExists(temp));
}

}  // namespace

namespace {

using namespace manager;

class ShortcutTest : public scantest::ProfileTest {
protected:
    void SetUp() override {
        ProfileTest::SetUp();
        ASSERT_GE(CoInitialize(nullptr), 0);
        ShortcutDescription = kShortcutDescriptionText;
    }
    void TearDown() override {
        CoUninitialize();
        ProfileTest::TearDown();
    }
    static std::string Posix(const char* folder) {
        return platform::ProfileShellFolderPath(folder) + "/My Corvex.lnk";
    }
};

TEST_F(ShortcutTest, StartupShortcutRunsTheProgramWithItsSwitch) {
    MakeShortcut("Startup", true, " -s");
    ASSERT_TRUE(ShortcutExists("Startup"));
    // The peer that reads shell links tells what the file holds.
    const std::vector<std::string> info = scantest::CommandLines("lnkinfo " + scantest::ShellQuote(Posix("Startup")));
    std::string all;
    for (const auto& line : info) all += line + "\n";
    EXPECT_NE(all.find("Command line arguments\t\t: -s\n"), std::string::npos) << all;
    EXPECT_NE(all.find("This is New Small backup system"), std::string::npos) << all;
    const String program = ParamStr(0);
    EXPECT_NE(all.find(program.substr(program.rfind('\\') + 1)), std::string::npos) << all;
}

TEST_F(ShortcutTest, ExistingFileIsLeftUntouched) {
    scantest::WriteFile(Posix("Desktop"), "an older shortcut");
    MakeShortcut("Desktop", true, "");
    std::ifstream in(Posix("Desktop"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "an older shortcut");
}

TEST_F(ShortcutTest, DeleteRemovesThePresentFileOnly) {
    MakeShortcut("Favorites", false, "");  // nothing there: nothing happens
    EXPECT_FALSE(ShortcutExists("Favorites"));
    MakeShortcut("Favorites", true, "");
    EXPECT_TRUE(ShortcutExists("Favorites"));
    MakeShortcut("Favorites", false, "");
    EXPECT_FALSE(ShortcutExists("Favorites"));
}

TEST_F(ShortcutTest, UnknownShellFolderWritesNothing) {
    EXPECT_NO_THROW(MakeShortcut("No Such Folder", true, ""));
    EXPECT_FALSE(std::filesystem::exists(platform::ProfilePath() + "/My Corvex.lnk"));
}

// Beside the shell links, the desktop gets entries of its own in the three places it reads;
// Favorites has no such place. Removing the shortcut removes both.
TEST_F(ShortcutTest, DesktopEntriesStandBesideTheLinks) {
    using platform::desktop::Place;
    const std::pair<const char*, Place> places[] = {
        {"Desktop", Place::Desktop}, {"Start Menu", Place::Applications}, {"Startup", Place::Autostart}};
    for (const auto& [folder, place] : places) {
        MakeShortcut(folder, true, SameText(folder, "Startup") ? " -s" : "");
        const std::string entry = platform::desktop::DesktopEntryPath(place, "My Corvex");
        ASSERT_EQ(entry.rfind(platform::ProfilePath(), 0), 0u) << entry;  // the test profile's own place
        const auto report = scantest::CommandLines("desktop-file-validate " + scantest::ShellQuote(entry) + " 2>&1");
        EXPECT_TRUE(report.empty()) << report.front();
        std::ifstream in(entry);
        const std::string text(std::istreambuf_iterator<char>(in), {});
        const std::string program = platform::ToPosixPath(ParamStr(0));
        const std::string exec = "Exec=" + program + (SameText(folder, "Startup") ? " -s\n" : "\n");
        EXPECT_NE(text.find(exec), std::string::npos) << text;
        EXPECT_NE(text.find("Name=My Corvex\n"), std::string::npos) << text;
        MakeShortcut(folder, false, "");
        EXPECT_FALSE(std::filesystem::exists(entry));
        EXPECT_FALSE(ShortcutExists(folder));
    }
    MakeShortcut("Favorites", true, "");
    EXPECT_TRUE(ShortcutExists("Favorites"));
}

TEST(ShortcutWithoutCom, FailsWithAnError) {
    EXPECT_THROW(MakeShortcut("Desktop", true, ""), EOSError);
}

}  // namespace
