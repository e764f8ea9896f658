#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/Files.h"
#include "platform/IniFiles.h"
#include "tests/common/TestProfile.h"
#include "tests/common/AsOtherUser.h"

using tarvik::test::ProfileTest;

namespace {

TEST_F(ProfileTest, IniKeysAreWrittenInOrderAndReadBack) {
    TIniFile ini(env.Win("{46023512345}"));
    EXPECT_EQ(ini.ReadString("GENREAL", "ZipFile", "C:\\Qel Backup\\New Qel.Zip"), "C:\\Qel Backup\\New Qel.Zip");
    ini.WriteString("GENREAL", "ZipFile", "C:\\Backups\\a b.zip");
    ini.WriteBool("GENREAL", "FileSize", true);
    ini.WriteBool("GENREAL", "PanBox", false);
    ini.WriteInteger("Other", "Count", -7);
    ini.WriteString("GENREAL", "zipfile", "C:\\second.zip");  // same key, other case
    EXPECT_EQ(env.ReadText(env.Scratch("{46023512345}")),
              "[GENREAL]\r\nZipFile=C:\\second.zip\r\nFileSize=1\r\nPanBox=0\r\n[Other]\r\nCount=-7\r\n");
    EXPECT_EQ(ini.ReadString("genreal", "ZIPFILE", ""), "C:\\second.zip");
    EXPECT_TRUE(ini.ReadBool("GENREAL", "FileSize", false));
    EXPECT_FALSE(ini.ReadBool("GENREAL", "PanBox", true));
    EXPECT_EQ(ini.ReadInteger("Other", "Count", 0), -7);
    std::vector<String> names;
    ini.ReadSection("GENREAL", names);
    EXPECT_EQ(names, (std::vector<String>{"ZipFile", "FileSize", "PanBox"}));
    ini.ReadSections(names);
    EXPECT_EQ(names, (std::vector<String>{"GENREAL", "Other"}));
    ini.ReadSectionValues("Other", names);
    EXPECT_EQ(names, std::vector<String>{"Count=-7"});
}

struct ValueCase {
    const char* name;
    const char* stored;
    Integer asInteger;  // default 42
    bool asBool;        // default true
    const char* asString;
};

class IniValues : public ProfileTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(IniValues, ParseAsTheProfileFunctionsAndClassLibraryDo) {
    const ValueCase& c = GetParam();
    env.WriteText("s.ini", std::string("; comment line\n[S]\n  Key  =") + c.stored + "\n");
    TIniFile ini(env.Win("s.ini"));
    EXPECT_EQ(ini.ReadInteger("S", "key", 42), c.asInteger);
    EXPECT_EQ(ini.ReadBool("s", "KEY", true), c.asBool);
    EXPECT_EQ(ini.ReadString("S", "Key", "dflt"), c.asString);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniValues,
    ::testing::Values(ValueCase{"Zero", "0", 0, false, "0"}, ValueCase{"Two", "2", 2, true, "2"},
                      ValueCase{"MinusOne", "-1", -1, true, "-1"}, ValueCase{"Empty", "", 42, true, ""},
                      ValueCase{"Word", "yes", 42, true, "yes"}, ValueCase{"HexDollar", "$1F", 31, true, "$1F"},
                      ValueCase{"HexZeroX", "0x10", 16, true, "0x10"},
                      ValueCase{"Overflow", "99999999999", 42, true, "99999999999"},
                      ValueCase{"TrimmedAndUnquoted", "  \"quoted text\"  ", 42, true, "quoted text"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, IniValuesStopAt2047Characters) {
    TIniFile ini(env.Win("long.ini"));
    ini.WriteString("S", "K", std::string(3000, 'v'));
    EXPECT_EQ(ini.ReadString("S", "K", "").size(), 2047u);
}

TEST_F(ProfileTest, IniFileThatCannotBeWrittenRaisesAndStaysAsItWas) {
    TIniFile missingFolder(env.Win("no\\folder\\x.ini"));
    try {
        missingFolder.WriteString("S", "K", "V");
        FAIL() << "wrote into a missing folder";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + env.Win("no\\folder\\x.ini"));
    }
    env.WriteText("ro.ini", "[S]\nK=old\n");
    ASSERT_EQ(FileSetAttr(env.Win("ro.ini"), faReadOnly), 0);
    TIniFile readOnly(env.Win("ro.ini"));
    EXPECT_THROW(readOnly.WriteString("S", "K", "new"), EIniFileException);
    EXPECT_EQ(env.ReadText(env.Scratch("ro.ini")), "[S]\nK=old\n");
}

TEST_F(ProfileTest, IniEditsKeepOtherLinesAndLineBreaks) {
    env.WriteText("e.ini", "; keep me\n[A]\nx=1\n\n[B]\ny=2\nz=3\n");
    TIniFile ini(env.Win("e.ini"));
    EXPECT_TRUE(ini.SectionExists("b"));
    EXPECT_TRUE(ini.ValueExists("B", "Z"));
    EXPECT_FALSE(ini.ValueExists("B", "w"));
    ini.WriteString("A", "new", "v");
    ini.DeleteKey("B", "y");
    EXPECT_EQ(env.ReadText(env.Scratch("e.ini")), "; keep me\n[A]\nx=1\nnew=v\n\n[B]\nz=3\n");
    ini.EraseSection("A");
    EXPECT_EQ(env.ReadText(env.Scratch("e.ini")), "; keep me\n[B]\nz=3\n");
    EXPECT_FALSE(ini.SectionExists("A"));
    ini.DeleteKey("B", "z");
    EXPECT_FALSE(ini.SectionExists("B"));  // a section without keys does not count
}

}  // namespace

// A file that is there but cannot be read must never be replaced by the keys a write knows.
namespace unreadable {

using tarvik::test::RunAsOtherUser;
constexpr const char* kText = "[Keep]\r\nA=1\r\nB=2\r\n";

// Each write raises and the file is left alone; reads give their defaults.
int WritesRaiseAndReadsGiveDefaults(const String& fileName) {
    TIniFile ini(fileName);
    int failures = 0;
    auto raises = [&](const std::function<void()>& write) {
        try {
            write();
            ++failures;
        } catch (const EIniFileException& e) {
            if (String(e.Message()) != "Unable to write to " + fileName) ++failures;
        }
    };
    raises([&] { ini.WriteString("New", "C", "3"); });
    raises([&] { ini.WriteString("Keep", "A", "9"); });
    raises([&] { ini.DeleteKey("Keep", "A"); });
    raises([&] { ini.EraseSection("Keep"); });
    if (ini.ReadString("Keep", "A", "dflt") != "dflt") ++failures;
    return failures;
}

TEST_F(ProfileTest, IniFileWithoutReadAccessIsNeverReplaced) {
    env.WriteText("locked/s.ini", kText);
    const std::string posix = env.Scratch("locked/s.ini");
    std::filesystem::permissions(posix, std::filesystem::perms::owner_write);
    const String fileName = env.Win("locked/s.ini");
    EXPECT_EQ(RunAsOtherUser(env.Scratch("locked"), [&] { return WritesRaiseAndReadsGiveDefaults(fileName); }), 0);
    std::filesystem::permissions(posix, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(env.ReadText(posix), kText);
}

TEST_F(ProfileTest, IniFileHeldExclusivelyByAnotherOpenIsNeverReplaced) {
    env.WriteText("s.ini", kText);
    const THandle holder = FileOpen(env.Win("s.ini"), fmOpenReadWrite | fmShareExclusive);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WritesRaiseAndReadsGiveDefaults(env.Win("s.ini")), 0);
    FileClose(holder);
    EXPECT_EQ(env.ReadText(env.Scratch("s.ini")), kText);
}

TEST_F(ProfileTest, IniFileMissingIsCreatedByAWrite) {
    TIniFile ini(env.Win("new/s.ini"));
    EXPECT_THROW(ini.WriteString("S", "K", "v"), EIniFileException);  // its folder is missing
    TIniFile created(env.Win("s.ini"));
    created.WriteString("S", "K", "v");
    EXPECT_EQ(env.ReadText(env.Scratch("s.ini")), "[S]\r\nK=v\r\n");
}

}  // namespace unreadable
