#include <gtest/gtest.h>

#include <filesystem>

#include "ScanTree.h"
#include "manager/RegistryHelpers.h"
#include "manager/Settings.h"
#include "platform/Registry.h"
#include "tests/common/AsOtherUser.h"

namespace {

using namespace manager;

const char* const kKey = "Software\\Brenlo\\My Corvex";

String Stored(const String& key, const String& name, bool* exists = nullptr) {
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    const bool open = reg.OpenKeyReadOnly(key) && reg.ValueExists(name);
    if (exists) *exists = open;
    return open ? reg.ReadString(name) : String();
}

void Store(const String& key, const String& name, const String& value) {
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString(name, value);
}

bool KeyExists(const String& key) {
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    return reg.KeyExists(key);
}

class SettingsTest : public scantest::ProfileTest {};

TEST_F(SettingsTest, FirstRunGivesDefaultsAndMakesTheKey) {
    ASSERT_FALSE(KeyExists(kKey));
    TSettings s;
    LoadSettings(s);
    EXPECT_TRUE(KeyExists(kKey));
    EXPECT_TRUE(s.Backup_cReport && s.Backup_EReport && s.Backup_cSMS);
    EXPECT_TRUE(s.Actions_cAdd && s.Actions_cCopy && s.Actions_cChecking && s.Actions_cBackup);
    EXPECT_TRUE(s.Actions_rAdd && s.Actions_rCopy && s.Actions_rChecking && s.Actions_rBackup);
    EXPECT_TRUE(s.General_cClosedM && s.General_cOnTop);
    EXPECT_EQ(s.Backup_Name + s.Backup_eEmail + s.Backup_SMSNumber + s.General_Style, "");
    EXPECT_EQ(ShortcutDescription, "This is New Small backup system");
    // Reading creates no section.
    EXPECT_FALSE(KeyExists(String(kKey) + "\\General"));
}

struct BoolCase {
    const char* name;
    const char* stored;  // nullptr: no value
    bool fallback;
    bool expected;
};

void PrintTo(const BoolCase& c, std::ostream* os) { *os << c.name; }

class BoolTable : public SettingsTest, public testing::WithParamInterface<BoolCase> {};

TEST_P(BoolTable, ReadsTheStoredText) {
    const BoolCase& c = GetParam();
    if (c.stored) Store(String(kKey) + "\\General", "General_cOnTop", c.stored);
    EXPECT_EQ(ReadRegBool("General", "General_cOnTop", c.fallback), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, BoolTable, testing::Values(
    BoolCase{"Zero", "0", true, false},
    BoolCase{"One", "1", false, true},
    BoolCase{"Two", "2", false, true},
    BoolCase{"MinusOne", "-1", false, true},
    BoolCase{"EmptyGivesDefaultTrue", "", true, true},
    BoolCase{"EmptyGivesDefaultFalse", "", false, false},
    BoolCase{"WordGivesDefault", "yes", true, true},
    BoolCase{"WordGivesDefaultFalse", "true", false, false},
    BoolCase{"MissingGivesDefault", nullptr, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, ValueOfAnotherTypeReadsAsDefault) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(String(kKey) + "\\General", true));
        reg.WriteInteger("General_cOnTop", 0);
        reg.WriteInteger("General_Style", 7);
    }
    TSettings s;
    ASSERT_NO_THROW(LoadSettings(s));
    EXPECT_TRUE(s.General_cOnTop);
    EXPECT_EQ(s.General_Style, "");
}

TEST_F(SettingsTest, BlankSectionOrIdentIsNeitherReadNorWritten) {
    Store(kKey, "x", "1");
    WriteRegStr("   ", "General_Style", "Normal");
    WriteRegBool("General", " \t ", true);
    EXPECT_FALSE(KeyExists(String(kKey) + "\\General"));
    EXPECT_EQ(ReadRegStr(" ", "x", "dflt"), "dflt");
    EXPECT_FALSE(ReadRegBool("General", "\r\n", false));
}

TEST_F(SettingsTest, SectionAndIdentAreTrimmed) {
    WriteRegStr(" General ", "\tGeneral_Style ", "Normal");
    EXPECT_EQ(Stored(String(kKey) + "\\General", "General_Style"), "Normal");
    EXPECT_EQ(ReadRegStr("General\n", " General_Style", ""), "Normal");
}

TEST_F(SettingsTest, SaveWritesStringsAndBooleansAsText) {
    TSettings s;
    LoadSettings(s);
    s.Backup_Name = "N%  D%T%";
    s.Backup_cSMS = false;
    s.General_cOnTop = false;
    s.Backup_eEmail = "me@example.org";
    SaveSettings(s);
    EXPECT_EQ(Stored(String(kKey) + "\\Backup", "Backup_Name"), "N%  D%T%");
    EXPECT_EQ(Stored(String(kKey) + "\\Backup", "Backup_cSMS"), "0");
    EXPECT_EQ(Stored(String(kKey) + "\\Backup", "Backup_cReport"), "1");
    EXPECT_EQ(Stored(String(kKey) + "\\General", "General_cOnTop"), "0");
    EXPECT_EQ(Stored(String(kKey) + "\\General", "General_Style"), "");
    TSettings back;
    LoadSettings(back);
    EXPECT_EQ(back.Backup_Name, "N%  D%T%");
    EXPECT_EQ(back.Backup_eEmail, "me@example.org");
    EXPECT_FALSE(back.Backup_cSMS);
    EXPECT_FALSE(back.General_cOnTop);
    EXPECT_TRUE(back.General_cClosedM);
}

TEST_F(SettingsTest, SavingKeepsOtherValuesOfTheKey) {
    Store(String(kKey) + "\\General", "SomethingElse", "kept");
    Store(kKey, "Top", "kept too");
    TSettings s;
    LoadSettings(s);
    SaveSettings(s);
    EXPECT_EQ(Stored(String(kKey) + "\\General", "SomethingElse"), "kept");
    EXPECT_EQ(Stored(kKey, "Top"), "kept too");
}

TEST_F(SettingsTest, ShellFolderAppDataIsReadWithDefault) {
    const String appData = ReadRegIniString("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
                                            "Shell Folders", "AppData", "C:");
    EXPECT_NE(appData, "C:");
    EXPECT_EQ(ReadRegIniString("Software\\Nowhere", "Shell Folders", "AppData", "C:"), "C:");
    EXPECT_EQ(ReadRegIniString("  ", "Shell Folders", "AppData", "C:"), "C:");
}

TEST_F(SettingsTest, InstallationEntriesAreWrittenAndReadBack) {
    const String shell = "Software\\Classes\\directory\\shell";
    EXPECT_EQ(RegIniString(shell, "My Corvex", "", false, "Add to My Corvex"), "Add to My Corvex");
    EXPECT_EQ(RegIniString("Software\\Classes", "directory", "", false, ""), "");
    EXPECT_EQ(Stored(shell + "\\My Corvex", ""), "Add to My Corvex");
    EXPECT_EQ(RegIniString(shell, "My Corvex", "", true, "dflt"), "Add to My Corvex");
    // Writing again gives the same entries.
    RegIniString(shell, "My Corvex", "", false, "Add to My Corvex");
    EXPECT_EQ(Stored(shell + "\\My Corvex", ""), "Add to My Corvex");
}

// Someone else's value of another type under a name we read: the default, never "Invalid
// data type".
TEST_F(SettingsTest, RegistryTextReadsOfAValueOfAnotherTypeGiveTheDefault) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Mixed\\Sub", true));
        reg.WriteInteger("Number", 5);
        reg.WriteExpandString("Expand", "%HOME%");
        reg.CloseKey();
    }
    EXPECT_EQ(ReadRegIniString("Software\\Mixed", "Sub", "Number", "dflt"), "dflt");
    EXPECT_EQ(RegIniString("Software\\Mixed", "Sub", "Number", true, "dflt"), "dflt");
    EXPECT_EQ(ReadRegIniString("Software\\Mixed", "Sub", "Expand", "dflt"), "%HOME%");
    EXPECT_EQ(RegIniString("Software\\Mixed", "Sub", "Expand", true, "dflt"), "%HOME%");
}

TEST_F(SettingsTest, ReadModeOnMissingKeyCreatesNothing) {
    EXPECT_EQ(RegIniString("Software\\Missing", "Sub", "Name", true, "dflt"), "dflt");
    EXPECT_FALSE(KeyExists("Software\\Missing"));
}

TEST_F(SettingsTest, GetRegValueGivesRawTextOrEmpty) {
    Store("Software\\Test", "Value", "some text");
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, "Software\\Test", "Value"), "some text");
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, "Software\\Test", "Missing"), "");
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, "Software\\NoKey", "Value"), "");
    EXPECT_FALSE(KeyExists("Software\\NoKey"));
}

// The writers close their keys themselves: a store that cannot be written raises to the
// caller instead of being lost in a destructor.
int WriteOnAReadOnlyStore() {
    int failures = 0;
    try {
        RegIniString("Software\\Classes\\directory\\shell", "My Corvex", "", false, "Add to My Corvex");
        failures |= 1;
    } catch (const ERegistryException&) {
    }
    try {
        WriteRegStr("General", "General_Style", "Normal");
        failures |= 2;
    } catch (const ERegistryException&) {
    }
    return failures;
}

TEST_F(SettingsTest, WritesThatMissAnUnwritableStoreRaise) {
    namespace fs = std::filesystem;
    fs::permissions(env.Profile(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(tarvik::test::RunAsOtherUser(env.Profile(), WriteOnAReadOnlyStore), 0);
    fs::permissions(env.Profile(), fs::perms::owner_all);
}

}  // namespace
