// The zip component's update cycle: what is kept, replaced, added and dropped, the limits it
// refuses before writing, and the guards around the archive (busy, stale, shared, full disk).
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "ZipperTestSupport.h"
#include "platform/Drives.h"
#include "zip/ZipCrypt.h"
#include "zip/ZipOutput.h"

using namespace zipwritetest;
using tarvik::test::ProfileTest;

namespace {

class ZipperTest : public ProfileTest {
protected:
    void SetUp() override {
        z.DoProcessMessages = false;
        z.SetZipName(env.Win("a.zip"));
    }
    // Writes a source file with a given modification time (seconds after 2020-01-01).
    std::string Source(const std::string& name, const std::string& bytes, long age = 0) {
        std::string path = env.Scratch("src/" + name);
        WriteFile(path, bytes);
        struct utimbuf t {1577836800 + age, 1577836800 + age};
        ::utime(path.c_str(), &t);
        return env.Win("src/" + name);
    }
    Integer Add(std::initializer_list<std::string> names) {
        for (const auto& n : names) z.FilesList.Add(n);
        return z.Zip();
    }
    std::vector<std::string> Names() {
        TZipper r;
        r.SetZipName(env.Win("a.zip"));
        r.ReadZip();
        std::vector<std::string> out;
        for (Integer i = 0; i < r.Count(); ++i) out.push_back(r.FullName(i));
        return out;
    }
    // Temporary files left beside the archive.
    std::vector<std::string> Leftovers() {
        std::vector<std::string> out;
        for (auto& e : std::filesystem::directory_iterator(env.Scratch()))
            if (e.path().filename().string()[0] == '.') out.push_back(e.path().filename());
        return out;
    }
    TZipper z;
};

TEST_F(ZipperTest, NewerFileReplacesItsEntryAtTheEndAndOlderFileIsSkipped) {
    std::string a = Source("a.txt", "A1"), b = Source("b.txt", "B1"), c = Source("c.txt", "C1");
    ASSERT_EQ(Add({a, b, c}), 3);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    Source("b.txt", "B2", 100);
    Source("c.txt", "C0", -100);
    EXPECT_EQ(Add({b, c}), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "c.txt", "b.txt"}));
    EXPECT_EQ(Add({a}), 0) << "an entry as new as its file is kept";
    ExpectPeersAccept(env.Scratch("a.zip"), Files{{"a.txt", "A1"}, {"b.txt", "B2"}, {"c.txt", "C1"}}, "", env.Scratch());
    EXPECT_TRUE(Leftovers().empty());
}

// Kept entries are copied raw: an empty one, a small one and one larger than a copy block
// (whose header and first block go out together) must come out byte for byte.
TEST_F(ZipperTest, KeptEntriesOfEverySizeSurviveAnUpdateRaw) {
    const std::string big = RandomBytes(2'500'000, 7);
    ASSERT_EQ(Add({Source("empty.txt", ""), Source("small.txt", "small"), Source("big.bin", big)}), 3);
    const auto before = RawEntries(env.Scratch("a.zip"));
    ASSERT_EQ(Add({Source("new.txt", "new")}), 1);
    const auto after = RawEntries(env.Scratch("a.zip"));
    for (const auto& [name, raw] : before) EXPECT_EQ(after.at(name), raw) << name;
    ExpectPeersAccept(env.Scratch("a.zip"),
                      Files{{"empty.txt", ""}, {"small.txt", "small"}, {"big.bin", big}, {"new.txt", "new"}}, "",
                      env.Scratch());
}

TEST_F(ZipperTest, ReplaceIgnoresDatesAndFreshenAddsOnlyKnownNames) {
    std::string a = Source("a.txt", "A1", 100), b = Source("b.txt", "B1");
    ASSERT_EQ(Add({a}), 1);
    Source("a.txt", "A0", -100);
    z.ZipAction = TZipAction::zaReplace;
    EXPECT_EQ(Add({a}), 1);
    z.ZipAction = TZipAction::zaFreshen;
    Source("a.txt", "A2", 200);
    EXPECT_EQ(Add({a, b}), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
    ExpectPeersAccept(env.Scratch("a.zip"), Files{{"a.txt", "A2"}}, "", env.Scratch());
}

TEST_F(ZipperTest, WildcardLineNeverPicksUpTheArchiveItself) {
    Source("x.txt", "x");
    z.SetZipName(env.Win("src/self.zip"));
    z.FilesList.Add(env.Win("src/*.*"));
    EXPECT_EQ(z.Zip(), 1);
    z.FilesList.Add(env.Win("src/*.*"));
    z.ZipAction = TZipAction::zaReplace;
    EXPECT_EQ(z.Zip(), 1);
    EXPECT_EQ(z.Count(), 1);
    EXPECT_EQ(z.Filename(0), "x.txt");
}

struct DeleteCase {
    const char* name;
    std::vector<std::string> specs;
    std::vector<std::string> left;
};

class DeleteEntriesTest : public ZipperTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteEntriesTest, DropsTheMatchingEntries) {
    z.SetRootDir(env.Win("src"));
    z.SetRelativePaths(true);
    Source("one.txt", "1");
    Source("d/two.txt", "2");
    Source("d/three.bin", "3");
    ASSERT_EQ(Add({env.Win("src/one.txt"), env.Win("src/d/two.txt"), env.Win("src/d/three.bin")}), 3);
    for (const auto& s : GetParam().specs) z.FilesList.Add(s);
    z.DeleteEntries();
    EXPECT_EQ(Names(), GetParam().left);
    EXPECT_EQ(RunShell("unzip -tq " + Quote(env.Scratch("a.zip"))).code, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Specs, DeleteEntriesTest,
    ::testing::Values(DeleteCase{"WildcardWithoutFolderMatchesAnyFolder", {"*.txt"}, {"d\\three.bin"}},
                      DeleteCase{"WildcardWithFolderMatchesFullName", {"d\\*"}, {"one.txt"}},
                      DeleteCase{"PlainNameInAnyCase", {"D\\TWO.TXT"}, {"one.txt", "d\\three.bin"}},
                      DeleteCase{"PlainNameWithoutFolderIsNotAWildcard", {"two.txt"}, {"one.txt", "d\\two.txt", "d\\three.bin"}},
                      DeleteCase{"NoMatchKeepsAll", {"none"}, {"one.txt", "d\\two.txt", "d\\three.bin"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ZipperTest, DeleteEntrySkippedByTheHandlerStays) {
    ASSERT_EQ(Add({Source("a.txt", "a"), Source("b.txt", "b")}), 2);
    z.OnDeleteEntry = [](TObject*, const String& name, bool& skip) { skip = name == "b.txt"; };
    z.FilesList.Add("*.txt");
    z.DeleteEntries();
    EXPECT_EQ(Names(), (std::vector<std::string>{"b.txt"}));
}

TEST_F(ZipperTest, ChangedFolderIsWrittenIntoBothHeadersOnce) {
    ASSERT_EQ(Add({Source("a.txt", "a"), Source("b.txt", "bb")}), 2);
    z.SetPathname(1, "new\\dir");
    EXPECT_EQ(z.Pathname(1), "new\\dir\\");
    z.SaveModifiedZipFile();
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "new\\dir\\b.txt"}));
    // Python checks that every local header names the same file as its central record.
    ExpectPeersAccept(env.Scratch("a.zip"), Files{{"a.txt", "a"}, {"new/dir/b.txt", "bb"}}, "", env.Scratch());
    // The same folder again marks nothing, so nothing is written.
    struct stat before {}, after {};
    ::stat(env.Scratch("a.zip").c_str(), &before);
    z.SetPathname(1, "new\\dir\\");
    z.SaveModifiedZipFile();
    ::stat(env.Scratch("a.zip").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(ZipperTest, EmptyFileAndEncryptedEntriesHaveTheirHeadersRight) {
    ASSERT_EQ(Add({Source("empty.txt", "")}), 1);
    const TZipHeaderInfo& e = z.Entry(0);
    EXPECT_EQ(e.Method, 0);
    EXPECT_EQ(e.CompressedSize, 0u);
    EXPECT_EQ(e.CRC, 0u);
    EXPECT_EQ(e.Flags & 8, 0);
    z.Password = "pw";
    z.ZipAction = TZipAction::zaReplace;
    ASSERT_EQ(Add({Source("empty.txt", ""), Source("t.txt", TextBytes(5000, 1))}), 2);
    EXPECT_EQ(z.Entry(0).CompressedSize, 12u);
    EXPECT_EQ(z.Entry(0).Flags & 9, 1);
    // The local header holds the final CRC and sizes (no descriptor).
    std::string bytes = ReadFile(env.Scratch("a.zip"));
    const TZipHeaderInfo& t = z.Entry(1);
    auto le32 = [&](size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8 |
                                     static_cast<unsigned char>(bytes[at + 2]) << 16 |
                                     static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 3])) << 24);
    };
    EXPECT_EQ(le32(t.LocalHeaderOffset + 14), t.CRC);
    EXPECT_EQ(le32(t.LocalHeaderOffset + 18), t.CompressedSize);
    ExpectPeersAccept(env.Scratch("a.zip"), Files{{"empty.txt", ""}, {"t.txt", TextBytes(5000, 1)}}, "pw", env.Scratch());
}

TEST_F(ZipperTest, SecondFileOfTheSameStoredNameIsSkippedWithItsIndex) {
    std::string a = Source("a.txt", "a");
    Integer reported = -1;
    z.OnSkippingFile = [&](TObject* sender, TSkipReason reason, Integer index) {
        auto* s = static_cast<TZipper*>(sender);
        EXPECT_EQ(reason, TSkipReason::skFileExists);
        EXPECT_EQ(s->Filename(index), "a.txt");  // the index addresses the new archive's names
        reported = index;
    };
    EXPECT_EQ(Add({a, a}), 1);
    EXPECT_EQ(reported, 0);
}

// ---- self-extracting output ----

TEST_F(ZipperTest, SelfExtractingCopyLeavesTheArchiveAndCountsTheStub) {
    ASSERT_EQ(Add({Source("a.txt", TextBytes(3000, 2))}), 1);
    const std::string before = ReadFile(env.Scratch("a.zip"));
    WriteFile(env.Scratch("stub.bin"), std::string(4096, '\x90'));
    z.MakeSFX(env.Win("stub.bin"));
    EXPECT_EQ(ReadFile(env.Scratch("a.zip")), before);
    const std::string exe = ReadFile(env.Scratch("a.EXE"));
    ASSERT_EQ(exe.size(), before.size() + 4096);
    EXPECT_EQ(exe.substr(0, 4096), std::string(4096, '\x90'));
    EXPECT_EQ(RunShell("unzip -tq " + Quote(env.Scratch("a.EXE"))).code, 0);
    EXPECT_EQ(RunShell("7zz t " + Quote(env.Scratch("a.EXE"))).code, 0);
}

TEST_F(ZipperTest, SelfExtractingCopyIsRefusedWithoutArchiveOrOntoItself) {
    WriteFile(env.Scratch("stub.bin"), "stub");
    EXPECT_THROW(z.MakeSFX(env.Win("stub.bin")), EZipWriteError);
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("a.EXE")));
    z.SetZipName(env.Win("b.exe"));
    ASSERT_EQ(Add({Source("x.txt", "x")}), 1);
    const std::string before = ReadFile(env.Scratch("b.exe"));
    EXPECT_THROW(z.MakeSFX(env.Win("stub.bin")), EZipWriteError);
    EXPECT_EQ(ReadFile(env.Scratch("b.exe")), before);
}

// ---- limits of the format without Zip64 ----

TEST_F(ZipperTest, FileOf4GiBIsRefusedBeforeWriting) {
    ASSERT_EQ(Add({Source("small.txt", "s")}), 1);
    const std::string before = ReadFile(env.Scratch("a.zip"));
    std::string big = env.Scratch("src/big.bin");
    { std::ofstream(big).put('x'); }
    std::filesystem::resize_file(big, 0x100000000ULL);  // sparse: 4 GiB without using the disk
    z.FilesList.Add(env.Win("src/big.bin"));
    try {
        z.Zip();
        FAIL() << "no error";
    } catch (const EZipWriteError& e) {
        EXPECT_NE(std::string(e.what()).find("4 GiB"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadFile(env.Scratch("a.zip")), before);
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_FALSE(z.Busy());
}

TEST_F(ZipperTest, NameAndCommentsTooLongAreRefused) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    const std::string before = ReadFile(env.Scratch("a.zip"));
    z.OnStartZip = [](TObject*, const String&, TZipHeaderInfo& header, bool&) { header.SetFileName(std::string(70000, 'n')); };
    z.FilesList.Add(Source("b.txt", "b"));
    EXPECT_THROW(z.Zip(), EZipWriteError);
    EXPECT_EQ(ReadFile(env.Scratch("a.zip")), before);
    EXPECT_THROW(z.SetZipComment(std::string(65507, 'c')), EZipWriteError);
    z.SetZipComment(std::string(65506, 'c'));  // the longest an end record search still finds
    EXPECT_THROW(z.SetFileComment(0, std::string(65536, 'c')), EZipWriteError);
    EXPECT_THROW(z.SetPathname(0, std::string(70000, 'd')), EZipWriteError);
    z.SaveModifiedZipFile();
    TZipper r;
    r.SetZipName(env.Win("a.zip"));
    r.ReadZip();
    EXPECT_EQ(r.ZipComment().size(), 65506u);
}

TEST_F(ZipperTest, MoreThan65534EntriesAreRefusedBeforeWriting) {
    std::string a = Source("a.txt", "a");
    for (int i = 0; i < 65535; ++i) z.FilesList.Add(a);
    EXPECT_THROW(z.Zip(), EZipWriteError);
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("a.zip")));
}

// ---- guards around the archive ----

TEST_F(ZipperTest, NestedOperationsWhileBusyAreRefused) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    int refused = 0;
    z.OnEndZip = [&](TObject* sender, const String&, Int64, Int64, Int64) {
        auto* s = static_cast<TZipper*>(sender);
        EXPECT_TRUE(s->Busy());
        try {
            s->FilesList.Add("x");
            s->DeleteEntries();
        } catch (const EZipBusy&) {
            ++refused;
        }
        EXPECT_THROW(s->Zip(), EZipBusy);
        EXPECT_THROW(s->SaveModifiedZipFile(), EZipBusy);
        EXPECT_THROW(s->SetZipName("C:\\other.zip"), EZipBusy);
    };
    ASSERT_EQ(Add({Source("b.txt", "b")}), 1);
    EXPECT_EQ(refused, 1);
    EXPECT_FALSE(z.Busy());
}

TEST_F(ZipperTest, TwoComponentsNeverRewriteTheSameArchiveAtOnce) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    TZipper other;
    other.DoProcessMessages = false;
    other.SetZipName(env.Win("A.ZIP"));  // the same file under another spelling
    bool refused = false;
    z.OnEndZip = [&](TObject*, const String&, Int64, Int64, Int64) {
        other.FilesList.Add(Source("c.txt", "c"));
        try {
            other.Zip();
        } catch (const EZipWriteError&) {
            refused = true;
        }
    };
    ASSERT_EQ(Add({Source("b.txt", "b")}), 1);
    EXPECT_TRUE(refused);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(ZipperTest, TemporaryFilesOfAKilledCycleGoAndOtherFilesStay) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    const std::vector<std::string> others = {".a.zip.0badf00d.tmp.bak", ".a.zip.keep.tmp", ".a.zip.0badf00dd.tmp",
                                             ".b.zip.12345678.tmp", ".A.zip.0badf00d.tmp"};
    for (const auto& name : others) WriteFile(env.Scratch(name), "x");
    WriteFile(env.Scratch(".a.zip.0badf00d.tmp"), "left by a killed cycle");
    ASSERT_EQ(Add({Source("b.txt", "b")}), 1);
    std::vector<std::string> left = Leftovers();
    std::sort(left.begin(), left.end());
    std::vector<std::string> want = others;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(left, want);
}

// The lock lives with the archive, not in the profile: without the profile's temporary folder
// the cycle still holds it and cleans what a killed writer left.
TEST_F(ZipperTest, WithoutTheProfilesTempFolderTheCycleStillCleansLeftovers) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    std::filesystem::remove_all(env.Profile() + "/temp");
    WriteFile(env.Scratch(".a.zip.0badf00d.tmp"), "left by a killed writer");
    ASSERT_EQ(Add({Source("b.txt", "b")}), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_TRUE(Leftovers().empty());
}

// Another program replaces the archive (by rename, as careful writers do).
void ReplaceBehindOurBack(const std::string& zip, const std::string& scratch) {
    WriteFile(scratch + "/other.txt", "other");
    RunResult r = RunShell("cd " + Quote(scratch) + " && cp " + Quote(zip) + " x.tmp && zip -q x.tmp other.txt && mv x.tmp " +
                           Quote(zip));
    ASSERT_EQ(r.code, 0) << r.output;
}

TEST_F(ZipperTest, CycleWaitsWhileAnotherHoldsTheArchiveAndReadsWhatItLeft) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    auto held = zipwrite::LockArchive(env.Win("a.zip"));  // as another process's cycle would
    const std::string before = ReadFile(env.Scratch("a.zip"));
    std::atomic<bool> finished = false;
    z.FilesList.Add(Source("b.txt", "b"));
    std::thread cycle([&] {
        try {
            z.Zip();
            finished = true;
        } catch (const Exception& e) {
            ADD_FAILURE() << e.what();
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(finished);
    EXPECT_EQ(ReadFile(env.Scratch("a.zip")), before);
    // The holder puts its own new archive in place before it lets go.
    ReplaceBehindOurBack(env.Scratch("a.zip"), env.Scratch());
    held.reset();
    cycle.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "other.txt", "b.txt"}));
}

TEST_F(ZipperTest, AHolderThatNeverLetsGoFailsTheCycleAfterTheWait) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    const std::string before = ReadFile(env.Scratch("a.zip"));
    // Taken on a thread of its own, as another program's cycle would: a rewrite already held
    // on the cycle's own thread is refused at once, not waited for.
    std::unique_ptr<platform::ArchiveLock> held;
    std::thread([&] { held = zipwrite::LockArchive(env.Win("a.zip")); }).join();
    ASSERT_TRUE(held);
    const unsigned saved = zipwrite::ArchiveLockTimeout();
    zipwrite::SetArchiveLockTimeout(100);
    z.FilesList.Add(Source("b.txt", "b"));
    std::string message;
    try {
        z.Zip();
    } catch (const EZipWriteError& e) {
        message = e.Message();
    }
    zipwrite::SetArchiveLockTimeout(saved);
    EXPECT_EQ(message, "The archive \"" + env.Win("a.zip") + "\" is being rewritten by another program");
    EXPECT_EQ(ReadFile(env.Scratch("a.zip")), before);
    EXPECT_FALSE(z.Busy());
    // Once the holder is gone the same cycle goes through.
    held.reset();
    z.FilesList.Clear();
    z.FilesList.Add(Source("b.txt", "b"));
    EXPECT_EQ(z.Zip(), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

// The archive removed behind the component: the changes made to what was read fail the
// cycle instead of vanishing into a new, empty archive.
class PendingOnAVanishedArchive : public ZipperTest, public testing::WithParamInterface<int> {};

TEST_P(PendingOnAVanishedArchive, FailsAndWritesNothing) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    z.ReadZip();
    switch (GetParam()) {
        case 0: z.SetPathname(0, "moved"); break;
        case 1: z.SetFileComment(0, "note"); break;
        default: z.SetZipComment("archive note"); break;
    }
    std::filesystem::remove(env.Scratch("a.zip"));
    std::string message;
    try {
        z.SaveModifiedZipFile();
    } catch (const EZipWriteError& e) {
        message = e.Message();
    }
    EXPECT_NE(message.find("is gone since it was read"), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("a.zip")));
    EXPECT_FALSE(z.Busy());
}

INSTANTIATE_TEST_SUITE_P(Changes, PendingOnAVanishedArchive, testing::Values(0, 1, 2));

TEST_F(ZipperTest, PendingChangesOnAStaleDirectoryFailAndTheArchiveStays) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    z.SetPathname(0, "moved");
    ReplaceBehindOurBack(env.Scratch("a.zip"), env.Scratch());
    const std::string theirs = ReadFile(env.Scratch("a.zip"));
    EXPECT_THROW(z.SaveModifiedZipFile(), EZipWriteError);
    EXPECT_EQ(ReadFile(env.Scratch("a.zip")), theirs);
    EXPECT_FALSE(z.Busy());
}

TEST_F(ZipperTest, ArchiveReplacedBehindAKeptOpenComponentIsReadAgain) {
    z.KeepZipOpen = true;
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    ReplaceBehindOurBack(env.Scratch("a.zip"), env.Scratch());
    ASSERT_EQ(Add({Source("b.txt", "b")}), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "other.txt", "b.txt"}));
}

TEST_F(ZipperTest, ArchiveChangedDuringTheCycleFailsItAndStays) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    std::string theirs;
    z.OnEndZip = [&](TObject*, const String&, Int64, Int64, Int64) {
        ReplaceBehindOurBack(env.Scratch("a.zip"), env.Scratch());
        theirs = ReadFile(env.Scratch("a.zip"));
    };
    z.FilesList.Add(Source("b.txt", "b"));
    EXPECT_THROW(z.Zip(), EZipWriteError);
    EXPECT_EQ(ReadFile(env.Scratch("a.zip")), theirs);
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ZipperTest, DamagedLocalHeaderOfAKeptEntryFailsTheCycle) {
    ASSERT_EQ(Add({Source("a.txt", "aaaa"), Source("b.txt", "bbbb")}), 2);
    std::string bytes = ReadFile(env.Scratch("a.zip"));
    bytes[z.Entry(1).LocalHeaderOffset + 30] = 'X';  // the local name no longer matches
    WriteFile(env.Scratch("a.zip"), bytes);
    z.ReadZip();
    z.FilesList.Add(Source("c.txt", "c"));
    try {
        z.Zip();
        FAIL() << "no error";
    } catch (const EZipWriteError& e) {
        EXPECT_NE(std::string(e.what()).find("b.txt"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadFile(env.Scratch("a.zip")), bytes);
}

TEST_F(ZipperTest, FullDiskGivesAClearErrorAndTheOldArchiveStays) {
    const std::string folder = env.Scratch("q");
    std::filesystem::create_directories(folder);
    platform::AddDrive('Q', platform::DriveKind::Fixed, folder, 400000);
    z.SetZipName("Q:\\a.zip");
    ASSERT_EQ(Add({Source("r1.bin", RandomBytes(150000, 1))}), 1);
    const std::string before = ReadFile(folder + "/a.zip");
    z.FilesList.Add(Source("r2.bin", RandomBytes(150000, 2)));
    try {
        z.Zip();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("a.zip"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("disk"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadFile(folder + "/a.zip"), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
    EXPECT_FALSE(z.Busy());
}


// ---- what is stored, and the settings and events around one cycle ----

struct StoredFolderCase {
    const char* name;
    std::function<void(TZipper&, const String& src)> set;
    const char* file;  // below src/
    std::function<String(const String& src)> stored;
};

void PrintTo(const StoredFolderCase& c, std::ostream* os) { *os << c.name; }

class StoredFolderTest : public ZipperTest, public ::testing::WithParamInterface<StoredFolderCase> {};

TEST_P(StoredFolderTest, StoresTheFolderTheSettingsAskFor) {
    const String src = env.Win("src") + "\\";
    std::string posix = GetParam().file;
    std::replace(posix.begin(), posix.end(), '\\', '/');
    Source(posix, "x");
    GetParam().set(z, src);
    ASSERT_EQ(Add({src + GetParam().file}), 1);
    EXPECT_EQ(Names(), std::vector<std::string>{GetParam().stored(src)});
}

INSTANTIATE_TEST_SUITE_P(
    Settings, StoredFolderTest,
    ::testing::Values(
        StoredFolderCase{"VolumesKeepTheDrive", [](TZipper& z, const String&) { z.SetStoreVolumes(true); }, "a.txt",
                         [](const String& src) { return src + "a.txt"; }},
        StoredFolderCase{"WithoutVolumesTheDriveGoes", [](TZipper& z, const String&) { z.SetStorePaths(true); },
                         "a.txt", [](const String& src) { return src.substr(3) + "a.txt"; }},
        StoredFolderCase{"PathsOffTurnsVolumesOff",
                         [](TZipper& z, const String&) {
                             z.SetStoreVolumes(true);
                             z.SetStorePaths(false);
                             EXPECT_FALSE(z.StoreVolumes());
                             z.SetStorePaths(true);
                         },
                         "a.txt", [](const String& src) { return src.substr(3) + "a.txt"; }},
        StoredFolderCase{"RelativeBelowTheRoot",
                         [](TZipper& z, const String& src) {
                             z.SetRootDir(src);
                             z.SetRelativePaths(true);
                         },
                         "d\\a.txt", [](const String&) { return String("d\\a.txt"); }},
        StoredFolderCase{"RelativeAtTheRootItself",
                         [](TZipper& z, const String& src) {
                             z.SetRootDir(src);
                             z.SetRelativePaths(true);
                         },
                         "a.txt", [](const String&) { return String("a.txt"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ZipperTest, DisposeDeletesAddedSourcesUnlessTheHandlerSkips) {
    std::string a = Source("a.txt", "a"), b = Source("b.txt", "b");
    z.Dispose = true;
    std::vector<std::string> asked;
    z.OnDisposeFile = [&](TObject*, const String& name, bool& skip) {
        asked.push_back(name);
        skip = name == b;
    };
    ASSERT_EQ(Add({a, b}), 2);
    EXPECT_EQ(asked, (std::vector<std::string>{a, b}));
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("src/a.txt")));
    EXPECT_TRUE(std::filesystem::exists(env.Scratch("src/b.txt")));
}

TEST_F(ZipperTest, MissingFilesAreToldAndProgressReaches100) {
    std::vector<std::string> missing;
    std::vector<Integer> percents;
    z.OnNoSuchFile = [&](TObject*, const String& name) { missing.push_back(name); };
    z.OnFilePercentDone = [&](TObject*, Integer percent) { percents.push_back(percent); };
    ASSERT_EQ(Add({env.Win("src/none.txt"), Source("a.txt", TextBytes(200000, 3))}), 1);
    EXPECT_EQ(missing, std::vector<std::string>{env.Win("src/none.txt")});
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
}

TEST_F(ZipperTest, CancelAtTheStartStopsAndRestoresTheSettings) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    const std::string before = ReadFile(env.Scratch("a.zip"));
    z.KeepZipOpen = false;
    z.SortMode = TZipSortMode::ByName;
    z.OnStartZipInfo = [](TObject*, Integer files, Int64, TEndCentral&, bool& stop) { stop = files == 1; };
    z.FilesList.Add(Source("b.txt", "b"));
    EXPECT_THROW(z.Zip(), EUserCanceled);
    EXPECT_EQ(ReadFile(env.Scratch("a.zip")), before);
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_FALSE(z.Busy());
    EXPECT_FALSE(z.KeepZipOpen);
    EXPECT_EQ(z.SortMode, TZipSortMode::ByName);
}

TEST_F(ZipperTest, SwitchingTheArchiveSavesPendingChangesFirst) {
    ASSERT_EQ(Add({Source("a.txt", "a")}), 1);
    z.SetPathname(0, "moved");
    z.SetZipName(env.Win("b.zip"));
    EXPECT_EQ(Names(), std::vector<std::string>{"moved\\a.txt"});
}

// Our choice where the described cycle leaves it open: a newer file that cannot be added
// leaves the entry it was to replace in the archive.
TEST_F(ZipperTest, EntryStaysWhenItsNewerFileCannotBeAdded) {
    std::string a = Source("a.txt", "old");
    ASSERT_EQ(Add({a}), 1);
    const LongWord crc = z.Entry(0).CRC;
    Source("a.txt", "newer", 100);
    z.OnStartZip = [](TObject*, const String&, TZipHeaderInfo&, bool& skip) { skip = true; };
    EXPECT_EQ(Add({a}), 0);
    ASSERT_EQ(Names(), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(z.Entry(0).CRC, crc);
    ExpectPeersAccept(env.Scratch("a.zip"), Files{{"a.txt", "old"}}, "", env.Scratch());
}

// The encryption header's last two plain bytes are the CRC's bits 16-23 and 24-31 (no peer
// checks the first of them).
TEST_F(ZipperTest, EncryptionHeaderEndsWithTheCrcsHighBytes) {
    z.Password = "pw";
    ASSERT_EQ(Add({Source("t.txt", TextBytes(3000, 4))}), 1);
    const TZipHeaderInfo& e = z.Entry(0);
    const std::string bytes = ReadFile(env.Scratch("a.zip"));
    const size_t data = e.LocalHeaderOffset + 30 + e.FileName().size();
    std::array<Byte, 12> header{};
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(data), 12, header.begin());
    zip::ZipKeys keys;
    keys.decrypt_header("pw", header);
    EXPECT_EQ(header[10], static_cast<Byte>(e.CRC >> 16));
    EXPECT_EQ(header[11], static_cast<Byte>(e.CRC >> 24));
}

}  // namespace
