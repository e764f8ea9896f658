#include <gtest/gtest.h>

#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/IniFiles.h"
#include "platform/StringList.h"
#include "tests/common/TestProfile.h"

using tarvik::test::ProfileTest;

namespace {

TEST_F(ProfileTest, StringListsRoundTripThroughFiles) {
    TStringList list;
    list.Add("Folder|{1}|1|");
    list.Add("Backup|{2}|2|Caf\xC3\xA9");
    list.SaveToFile(env.Win("Backup.Dat"));
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat")), "Folder|{1}|1|\r\nBackup|{2}|2|Caf\xC3\xA9\r\n");
    TStringList back;
    back.LoadFromFile(env.Win("backup.dat"));
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back[1], "Backup|{2}|2|Caf\xC3\xA9");
    EXPECT_THROW(back.LoadFromFile(env.Win("missing.dat")), EFOpenError);
}

TEST_F(ProfileTest, StringListSaveFailuresLeaveTheOldFile) {
    env.WriteText("ro.dat", "old\r\n");
    ASSERT_EQ(FileSetAttr(env.Win("ro.dat"), faReadOnly), 0);
    TStringList list;
    list.Add("new");
    EXPECT_THROW(list.SaveToFile(env.Win("ro.dat")), EFCreateError);
    EXPECT_EQ(env.ReadText(env.Scratch("ro.dat")), "old\r\n");

    std::filesystem::create_directories(env.Scratch("small"));
    platform::AddDrive('E', platform::DriveKind::Fixed, env.Scratch("small"), 100);
    env.WriteText("small/Backup.Dat", std::string(60, 'o'));
    list.Clear();
    list.Add(std::string(58, 'n'));  // 60 bytes with the line break: no room beside the old file
    EXPECT_THROW(list.SaveToFile("E:\\Backup.Dat"), EWriteError);
    EXPECT_EQ(env.ReadText(env.Scratch("small/Backup.Dat")), std::string(60, 'o'));
}

TEST_F(ProfileTest, IniSectionsFillStringLists) {
    TIniFile ini(env.Win("x.ini"));
    ini.WriteString("A", "one", "1");
    ini.WriteString("A", "two", "2");
    TStringList list;
    list.Add("stale");
    ini.ReadSectionValues("A", list);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Values("two"), "2");
}

}  // namespace
