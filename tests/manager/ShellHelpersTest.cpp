#include <gtest/gtest.h>

#include "ScanTree.h"
#include "manager/ShellHelpers.h"
#include "platform/Drives.h"
#include "platform/Files.h"
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
