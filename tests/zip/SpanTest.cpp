// Multi-part output: block files of fixed size and archives spanned over removable disks
// (the layer's removable drive with media swapped by the handler), read back by our reader.
//
// What the peers make of these archives: 7zz opens NAME.001 as a "Split" set, joins the
// parts into one stream and reports "Headers Error", since offsets count from the start of
// each part; unzip tested on the last part finds the end record but looks for the other
// disks under Info-ZIP's naming and reports "bad zipfile offset"; 7zz on a spanned disk's
// part asks for "NAME.z01" ("Missing volume"). The parts themselves are standard: renamed to
// Info-ZIP's split names (NAME.z01, NAME.z02, ..., the last one NAME.zip) 7zz tests them
// clean, and "zip -s 0" joins them into one archive that unzip tests clean (asserted below).
#include "ZipperTestSupport.h"
#include "platform/Drives.h"
#include "zip/DirSearch.h"

using namespace zipwritetest;
using tarvik::test::ProfileTest;

namespace {

class SpanTest : public ProfileTest {
protected:
    void SetUp() override {
        z.DoProcessMessages = false;
        files = {{"r1.bin", RandomBytes(150000, 1)}, {"t.txt", TextBytes(90000, 2)}, {"r2.bin", RandomBytes(120000, 3)},
                 {"e.txt", ""}};
        for (const auto& [name, bytes] : files) {
            WriteFile(env.Scratch("src/" + name), bytes);
            z.FilesList.Add(env.Win("src/" + name));
        }
    }
    // Extracts every entry of the archive with our own reader; disks come from diskName.
    Files ReadBack(const String& zipName, std::function<String(Integer)> diskName) {
        TUnZipper r;
        r.DoProcessMessages = false;
        r.SetZipName(zipName);
        // The reader asks again while a disk's label is not the one it wants: a wrong label
        // must fail the test, never hang it.
        int asked = 0;
        r.OnGetNextDisk = [&](TObject*, Integer disk, String& name) { name = ++asked > 64 ? String() : diskName(disk); };
        r.DoAll = true;
        r.OverwriteMode = TUZOverwriteMode::Always;
        r.SetDestDir(env.Win("out"));
        r.UnZip();
        Files out;
        for (auto& e : std::filesystem::directory_iterator(env.Scratch("out"))) out[e.path().filename()] = ReadFile(e.path());
        return out;
    }
    std::vector<std::string> Listing(const std::string& folder) {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    TZipper z;
    Files files;
};

TEST_F(SpanTest, BlockFilesKeepTheirLimitsAndReadBack) {
    z.SetMultiMode(TMultiMode::mmBlocks);
    z.MultiZipInfo().FirstBlockSize = 50000;
    z.MultiZipInfo().BlockSize = 65536;
    z.SetZipName(env.Win("b.zip"));
    ASSERT_EQ(z.Zip(), 4);
    const std::vector<std::string> parts = Listing(env.Scratch());
    ASSERT_GE(parts.size(), 5u);
    EXPECT_EQ(parts[0], "b.001");
    EXPECT_LE(std::filesystem::file_size(env.Scratch("b.001")), 50000u);
    for (size_t i = 1; i + 1 < parts.size(); ++i) EXPECT_LE(std::filesystem::file_size(env.Scratch(parts[i])), 65536u);
    // The archive name now names the last block file.
    EXPECT_EQ(ExtractFileName(z.ZipName()), parts[parts.size() - 2]);
    const String base = env.Win("b.zip");
    Files got = ReadBack(z.ZipName(), [&](Integer disk) { return ChangeFileExt(base, "." + std::string(disk < 10 ? "00" : "0") + std::to_string(disk)); });
    EXPECT_EQ(Digests(got), Digests(files));
}

// The end record's entries-on-this-disk counts the central records of the part that holds it.
TEST_F(SpanTest, EndRecordCountsTheCentralRecordsOfItsOwnPart) {
    z.SetMultiMode(TMultiMode::mmBlocks);
    z.MultiZipInfo().FirstBlockSize = z.MultiZipInfo().BlockSize = 150;
    z.FilesList.Clear();
    for (const char* name : {"k1.txt", "k2.txt", "k3.txt", "k4.txt"}) {
        WriteFile(env.Scratch("src/" + std::string(name)), "small");
        z.FilesList.Add(env.Win("src/" + std::string(name)));
    }
    z.SetZipName(env.Win("b.zip"));
    ASSERT_EQ(z.Zip(), 4);
    const std::string last = ReadFile(platform::ToPosixPath(z.ZipName()));
    auto le = [&](size_t at, int n) {
        unsigned v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(last.at(at + i));
        return v;
    };
    const size_t end = last.rfind("PK\x05\x06");
    ASSERT_NE(end, std::string::npos);
    const unsigned thisDisk = le(end + 4, 2), centralDisk = le(end + 6, 2), onThisDisk = le(end + 8, 2);
    ASSERT_GT(thisDisk, 0u);
    ASSERT_LT(le(end + 8, 2), le(end + 10, 2)) << "the central directory should span parts here";
    unsigned records = 0;
    for (size_t at = centralDisk == thisDisk ? le(end + 16, 4) : 0; at < end && records < 5; ++records) {
        ASSERT_EQ(le(at, 4), 0x02014b50u);
        at += 46 + le(at + 28, 2) + le(at + 30, 2) + le(at + 32, 2);
    }
    EXPECT_EQ(onThisDisk, records);
    Files got = ReadBack(z.ZipName(), [&](Integer disk) { return ChangeFileExt(env.Win("b.zip"), "." + std::string(disk < 10 ? "00" : "0") + std::to_string(disk)); });
    EXPECT_EQ(got.size(), 4u);
}

TEST_F(SpanTest, BlockFilesRenamedToSplitNamesPassThePeers) {
    z.SetMultiMode(TMultiMode::mmBlocks);
    z.MultiZipInfo().FirstBlockSize = 70000;
    z.MultiZipInfo().BlockSize = 70000;
    z.SetZipName(env.Win("b.zip"));
    ASSERT_EQ(z.Zip(), 4);
    const std::string split = env.Scratch("split");
    std::filesystem::create_directories(split);
    std::vector<std::string> parts = Listing(env.Scratch());
    parts.erase(std::remove_if(parts.begin(), parts.end(), [](const std::string& n) { return n.rfind("b.", 0) != 0; }),
                parts.end());
    ASSERT_GE(parts.size(), 3u);
    for (size_t i = 0; i < parts.size(); ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "b.z%02d", static_cast<int>(i + 1));
        std::filesystem::copy_file(env.Scratch(parts[i]), split + "/" + (i + 1 == parts.size() ? "b.zip" : name));
    }
    RunResult seven = RunShell("7zz t " + Quote(split + "/b.zip"));
    EXPECT_NE(seven.output.find("Everything is Ok"), std::string::npos) << seven.output;
    RunResult join = RunShell("cd " + Quote(split) + " && zip -q -s 0 b.zip --out joined.zip && unzip -tq joined.zip");
    EXPECT_EQ(join.code, 0) << join.output;
}

TEST_F(SpanTest, BlockSizeThatCannotHoldAHeaderIsRefusedBeforeWriting) {
    z.SetMultiMode(TMultiMode::mmBlocks);
    z.MultiZipInfo().FirstBlockSize = 40;
    z.SetZipName(env.Win("b.zip"));
    EXPECT_THROW(z.Zip(), EZipWriteError);
    EXPECT_EQ(Listing(env.Scratch()), (std::vector<std::string>{"src"}));
}

TEST_F(SpanTest, MultiPartOutputOntoAnExistingArchiveIsRefused) {
    z.SetZipName(env.Win("b.zip"));
    ASSERT_EQ(z.Zip(), 4);
    const std::string before = ReadFile(env.Scratch("b.zip"));
    z.SetMultiMode(TMultiMode::mmBlocks);
    z.FilesList.Add(env.Win("src/t.txt"));
    EXPECT_THROW(z.Zip(), EZipWriteError);
    EXPECT_EQ(ReadFile(env.Scratch("b.zip")), before);
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("b.001")));
}

TEST_F(SpanTest, FailedBlockCycleRemovesEveryPart) {
    z.SetMultiMode(TMultiMode::mmBlocks);
    z.MultiZipInfo().FirstBlockSize = 30000;
    z.MultiZipInfo().BlockSize = 30000;
    z.SetZipName(env.Win("b.zip"));
    int seen = 0;
    z.OnEndZip = [&](TObject*, const String&, Int64, Int64, Int64) {
        if (++seen == 3) throw EUserCanceled("stop");
    };
    EXPECT_THROW(z.Zip(), EUserCanceled);
    EXPECT_EQ(Listing(env.Scratch()), (std::vector<std::string>{"src"}));
}

class SpannedDisks : public SpanTest {
protected:
    void SetUp() override {
        SpanTest::SetUp();
        for (int i = 1; i <= 6; ++i) {
            media.push_back(env.Scratch("disk" + std::to_string(i)));
            std::filesystem::create_directories(media.back());
        }
        platform::AddDrive('A', platform::DriveKind::Removable, media[0], 100000);
        z.SetMultiMode(TMultiMode::mmSpan);
        z.SetZipName("A:\\s.zip");
    }
    std::vector<std::string> media;
};

TEST_F(SpannedDisks, DisksAreLabelledAndReadBack) {
    std::vector<Integer> asked;
    z.OnGetNextDisk = [&](TObject*, Integer disk, String& name) {
        asked.push_back(disk);
        platform::InsertMedium('A', media.at(disk - 1));
        EXPECT_EQ(name, "A:\\s.zip");
    };
    ASSERT_EQ(z.Zip(), 4);
    ASSERT_GE(asked.size(), 2u);
    const size_t disks = asked.size() + 1;
    for (size_t d = 0; d < disks; ++d) {
        platform::InsertMedium('A', media[d]);
        char label[16];
        std::snprintf(label, sizeof label, "PKBACK# %03d", static_cast<int>(d + 1));
        EXPECT_EQ(GetVolumeLabelName("A:\\"), label);
        EXPECT_EQ(Listing(media[d]), (std::vector<std::string>{"s.zip"}));
        EXPECT_LE(std::filesystem::file_size(media[d] + "/s.zip"), 100000u);
    }
    // The last disk is in the drive; the reader asks for the others by number.
    Files got = ReadBack("A:\\s.zip", [&](Integer disk) {
        platform::InsertMedium('A', media.at(disk - 1));
        return String("A:\\s.zip");
    });
    EXPECT_EQ(Digests(got), Digests(files));
}

TEST_F(SpannedDisks, WithoutDiskLabelsNoDiskIsLabelled) {
    z.MultiZipInfo().WriteDiskLabels = false;
    z.OnGetNextDisk = [&](TObject*, Integer disk, String&) { platform::InsertMedium('A', media.at(disk - 1)); };
    ASSERT_EQ(z.Zip(), 4);
    for (const auto& medium : media) {
        platform::InsertMedium('A', medium);
        EXPECT_EQ(GetVolumeLabelName("A:\\"), "") << medium;
    }
}

TEST_F(SpannedDisks, SpanningWithoutAHandlerIsRefused) {
    EXPECT_THROW(z.Zip(), EZipWriteError);
    EXPECT_TRUE(Listing(media[0]).empty());
}

TEST_F(SpannedDisks, CancelledDiskRequestStopsAndLeavesNoPartInTheDrive) {
    z.OnGetNextDisk = [&](TObject*, Integer disk, String& name) {
        if (disk == 2) platform::InsertMedium('A', media[1]);
        else name.clear();
    };
    EXPECT_THROW(z.Zip(), EUserCanceled);
    EXPECT_TRUE(Listing(media[1]).empty());
    EXPECT_FALSE(z.Busy());
}

}  // namespace
