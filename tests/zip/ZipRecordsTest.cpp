#include <gtest/gtest.h>

#include <random>

#include "platform/Streams.h"
#include "zip/SortedZip.h"
#include "zip/ZipConstants.h"
#include "zip/ZipRecords.h"

namespace {

void Put(std::vector<Byte>& v, std::initializer_list<int> bytes) {
    for (int b : bytes) v.push_back(static_cast<Byte>(b));
}
void Put16(std::vector<Byte>& v, unsigned x) { Put(v, {int(x & 0xFF), int(x >> 8)}); }
void Put32(std::vector<Byte>& v, unsigned x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

// An end record: signature, disks 0/0, entries, central size and offset, comment.
std::vector<Byte> EndRecord(unsigned entries, unsigned cdOffset, const std::string& comment) {
    std::vector<Byte> v;
    Put32(v, zipconst::kEndSignature);
    Put16(v, 0);  // this disk
    Put16(v, 0);  // central start disk
    Put16(v, entries);
    Put16(v, entries);
    Put32(v, 0);  // central size
    Put32(v, cdOffset);
    Put16(v, static_cast<unsigned>(comment.size()));
    v.insert(v.end(), comment.begin(), comment.end());
    return v;
}

TMemoryStream StreamOf(const std::vector<Byte>& bytes) {
    TMemoryStream s;
    if (!bytes.empty()) s.WriteBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
    s.SetPosition(0);
    return s;
}

TEST(ZipHeaderInfo, LocalHeaderWithDirectoryTakes39Bytes) {
    TMemoryStream s;
    s.WriteBuffer("xyz", 3);
    TZipHeaderInfo h;
    h.SetDirectory("dir");
    h.SetFileName("a.txt");
    EXPECT_EQ(h.Directory(), "dir\\");
    EXPECT_EQ(h.NameLength, 9);
    h.SaveLocalToStream(s);
    EXPECT_EQ(h.LocalHeaderOffset, 3u);
    ASSERT_EQ(s.Size(), 3 + 39);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Memory()) + 33, 9), "dir/a.txt");

    s.SetPosition(3);
    TZipHeaderInfo back;
    ASSERT_TRUE(back.ReadLocalFromStream(s));
    EXPECT_EQ(back.FullName(), "dir\\a.txt");
    EXPECT_EQ(back.LocalHeaderOffset, 3u);
    EXPECT_EQ(s.Position(), 42);  // just after the name
}

TEST(ZipHeaderInfo, CentralRoundTripKeepsFieldsAndSplitsNames) {
    TZipHeaderInfo h;
    h.SetDirectory("x\\y");
    h.SetFileName("");
    h.CRC = 0x12345678;
    h.CompressedSize = 7;
    h.LocalHeaderOffset = 99;
    h.SetFileComment(std::string("note"));
    TMemoryStream s;
    s.WriteBuffer("..", 2);
    h.SaveCentralToStream(s);
    s.SetPosition(2);
    TStream* stream = &s;
    TZipHeaderInfo back;
    ASSERT_TRUE(back.ReadCentralFromStream(stream, nullptr));
    EXPECT_EQ(back.Directory(), "x\\y\\");
    EXPECT_EQ(back.FileName(), "");
    EXPECT_EQ(back.NameLength, 4);
    EXPECT_EQ(back.CRC, 0x12345678u);
    EXPECT_EQ(back.LocalHeaderOffset, 99u);
    EXPECT_EQ(back.CommentLength, 4);
    EXPECT_FALSE(back.CommentLoaded());
    EXPECT_EQ(back.CentralRecordPosition, 2u);
    EXPECT_EQ(s.Position(), s.Size());
}

TEST(ZipHeaderInfo, FailedReadsLeaveTheStreamWhereItWas) {
    std::vector<Byte> bytes;
    Put32(bytes, zipconst::kCentralSignature);
    bytes.resize(46, 0);
    bytes[28] = 10;  // name length 10, but no name follows
    TMemoryStream s = StreamOf(bytes);
    TStream* stream = &s;
    TZipHeaderInfo h;
    EXPECT_FALSE(h.ReadCentralFromStream(stream, nullptr));
    EXPECT_EQ(s.Position(), 0);
    EXPECT_FALSE(h.ReadLocalFromStream(s));
    EXPECT_EQ(s.Position(), 0);
}

TEST(ZipHeaderInfo, NamesDecodeFromCp437OrUtf8) {
    struct Case {
        Word flags, madeBy;
        std::string stored, expected;
    } cases[] = {
        {0, 0, "\x8e.txt", "\xc3\x84.txt"},        // CP437 0x8E is A-umlaut
        {0x0800, 0, "\xc3\x84.txt", "\xc3\x84.txt"}, // bit 11: UTF-8
        {0, 3 << 8, "\xc3\x84.txt", "\xc3\x84.txt"}, // made on Unix: UTF-8
    };
    for (const Case& c : cases) {
        std::vector<Byte> r(46, 0);
        r[0] = 0x50, r[1] = 0x4b, r[2] = 1, r[3] = 2;
        r[4] = static_cast<Byte>(c.madeBy), r[5] = static_cast<Byte>(c.madeBy >> 8);
        r[8] = static_cast<Byte>(c.flags), r[9] = static_cast<Byte>(c.flags >> 8);
        TZipHeaderInfo h;
        h.SetFromCentral(r.data(), c.stored);
        EXPECT_EQ(h.FileName(), c.expected);
    }
    // Writing: CP437 when it fits, else UTF-8 with bit 11.
    TZipHeaderInfo h;
    h.SetFileName("\xc3\x84.txt");
    EXPECT_EQ(h.StoredName(), "\x8e.txt");
    EXPECT_EQ(h.Flags & 0x0800, 0);
    TZipHeaderInfo k;
    k.SetFileName("\xe4\xb8\xad.txt");  // a CJK character has no CP437 form
    EXPECT_EQ(k.Flags & 0x0800, 0x0800);
    EXPECT_EQ(k.NameLength, 7);
}

TEST(ZipHeaderInfo, DirectoryWithDriveGetsBackslash) {
    TZipHeaderInfo h;
    h.SetFileName("f.txt");
    h.SetDirectory("C:\\Data");
    EXPECT_EQ(h.Directory(), "C:\\Data\\");
    EXPECT_EQ(h.NameLength, 8 + 5);
}

struct EndCase {
    const char* name;
    std::vector<Byte> bytes;
    bool found;
    unsigned entries;  // identifies which record was taken
};

class EndRecordSearch : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndRecordSearch, FindsTheRightRecord) {
    const EndCase& c = GetParam();
    TMemoryStream s = StreamOf(c.bytes);
    TEndCentral e;
    ASSERT_EQ(e.ReadFromStream(s), c.found);
    if (c.found) {
        EXPECT_EQ(e.TotalEntries, c.entries);
    }
}

std::vector<Byte> Concat(std::vector<Byte> a, const std::vector<Byte>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<Byte> ZipInComment() {
    // The archive comment holds a whole second archive's end record, which ends 2 bytes
    // before the outer end.
    std::vector<Byte> inner = EndRecord(7, 0, "");
    std::string comment(inner.begin(), inner.end());
    comment += "zz";
    return EndRecord(1, 0, comment);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndRecordSearch,
    ::testing::Values(EndCase{"TooSmall", std::vector<Byte>(21, 'P'), false, 0},
                      EndCase{"Plain", EndRecord(3, 0, ""), true, 3},
                      EndCase{"WithComment", Concat(std::vector<Byte>(100, 0), EndRecord(4, 0, "hello")), true, 4},
                      EndCase{"LastOfTwoWins", Concat(EndRecord(1, 0, ""), EndRecord(2, 22, "")), true, 2},
                      EndCase{"ArchiveInComment", ZipInComment(), true, 1},
                      EndCase{"TrailingJunk", Concat(EndRecord(5, 0, ""), std::vector<Byte>(14, 'j')), true, 5},
                      EndCase{"CommentBeyondWindow", EndRecord(6, 0, std::string(65507, 'c')), false, 0},
                      EndCase{"NoSignature", std::vector<Byte>(500, 'P'), false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EndCentral, CommentPositionIsRightAfterTheRecord) {
    TMemoryStream s = StreamOf(Concat(std::vector<Byte>(10, 0), EndRecord(0, 0, "abc")));
    TEndCentral e;
    ASSERT_TRUE(e.ReadFromStream(s));
    EXPECT_EQ(e.CommentPosition, 32u);
    EXPECT_EQ(e.CommentLength, 3);
    EXPECT_FALSE(e.Comment().has_value());
    TMemoryStream plain = StreamOf(EndRecord(0, 0, ""));
    ASSERT_TRUE(e.ReadFromStream(plain));
    EXPECT_EQ(e.CommentPosition, 22u);
}

TEST(EndCentral, RecognisesZip64Locator) {
    std::vector<Byte> locator;
    Put32(locator, zipconst::kZip64LocatorSignature);
    locator.resize(20, 0);
    std::vector<Byte> end = EndRecord(0xFFFF, 0xFFFFFFFF, "");
    TMemoryStream s = StreamOf(Concat(locator, end));
    TEndCentral e;
    ASSERT_TRUE(e.ReadFromStream(s));
    EXPECT_TRUE(e.Zip64);
    TMemoryStream t = StreamOf(Concat(locator, EndRecord(2, 0, "")));
    ASSERT_TRUE(e.ReadFromStream(t));
    EXPECT_FALSE(e.Zip64);  // locator-like bytes without markers are data
}

// ---- sorted views ----

TZipHeaderInfo* Entry(const char* dir, const char* name, LongWord offset, LongWord csize = 0, LongWord usize = 0,
                      LongWord dos = 0) {
    auto* h = new TZipHeaderInfo;
    h->SetDirectory(dir);
    h->SetFileName(name);
    h->LocalHeaderOffset = offset;
    h->CompressedSize = csize;
    h->UncompressedSize = usize;
    h->DateTime = dos;
    return h;
}

std::vector<LongWord> OffsetsOf(const TSortedZip& list) {
    std::vector<LongWord> v;
    for (Integer i = 0; i < list.Count(); ++i) v.push_back(list.Header(i)->LocalHeaderOffset);
    return v;
}

struct SortCase {
    const char* name;
    TZipSortMode mode;
    std::vector<LongWord> expected;
};

class SortedViews : public ::testing::TestWithParam<SortCase> {};

// One directory in physical order, viewed in each mode.
TEST_P(SortedViews, OrderEntries) {
    const LongWord kDate1 = (0x5A21u << 16), kDate2 = (0x5A22u << 16);  // valid dates, 2 is later
    TSortedZip dir(dupError);
    dir.Add(Entry("x\\", "B.TXT", 0, 50, 100, kDate1));
    dir.Add(Entry("y\\", "b.txt", 10, 90, 100, kDate2));
    dir.Add(Entry("", "a.txt", 20, 0, 0, 0xFFFFFFFF));  // invalid date, empty
    dir.Add(Entry("x\\", "c.txt", 30, 50, 200, kDate1));
    TSortedZip view(dupAccept);
    view.OwnsObjects = false;
    view.SortMode = GetParam().mode;
    for (Integer i = 0; i < dir.Count(); ++i) view.Add(dir.Get(i));
    EXPECT_EQ(OffsetsOf(view), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SortedViews,
    ::testing::Values(SortCase{"ByName", TZipSortMode::ByName, {20, 0, 30, 10}},
                      SortCase{"ByFileName", TZipSortMode::ByFileName, {20, 10, 0, 30}},
                      SortCase{"ByDirectoryName", TZipSortMode::ByDirectoryName, {20, 30, 0, 10}},
                      SortCase{"ByDate", TZipSortMode::ByDate, {10, 0, 30, 20}},
                      SortCase{"ByCompressedSize", TZipSortMode::ByCompressedSize, {10, 0, 30, 20}},
                      SortCase{"ByUnCompressedSize", TZipSortMode::ByUnCompressedSize, {30, 0, 10, 20}},
                      SortCase{"ByRate", TZipSortMode::ByRate, {10, 0, 30, 20}},
                      SortCase{"ByNone", TZipSortMode::ByNone, {0, 10, 20, 30}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SortedZip, DirectoryRefusesSecondEntryAtSamePosition) {
    TSortedZip dir(dupError);
    dir.Add(Entry("", "a", 0));
    TZipHeaderInfo* again = Entry("", "b", 0);
    EXPECT_THROW(dir.Add(again), EListError);
    delete again;
    TSortedZip names(dupError);
    names.SortMode = TZipSortMode::ByName;
    names.Add(Entry("dir\\", "a.txt", 0));
    TZipHeaderInfo* upper = Entry("Dir\\", "A.TXT", 5);
    EXPECT_THROW(names.Add(upper), EListError);
    delete upper;
}

TEST(SortedZip, OffsetsPast2GiBKeepPhysicalOrder) {
    TSortedZip dir(dupError);
    dir.Add(Entry("", "late", 0x90000000u));
    dir.Add(Entry("", "early", 16));
    EXPECT_EQ(OffsetsOf(dir), (std::vector<LongWord>{16, 0x90000000u}));
}

}  // namespace

namespace {

TEST(ZipHeaderInfo, CentralRecordCutByTheEndOfADiskContinuesOnTheNext) {
    TZipHeaderInfo h;
    h.SetFileName("split.txt");
    h.LocalHeaderOffset = 77;
    TMemoryStream whole;
    h.SaveCentralToStream(whole);
    for (int cut : {0, 4, 20, 45}) {
        TMemoryStream first, second;
        first.WriteBuffer(whole.Memory(), cut);
        second.WriteBuffer(whole.Memory() + cut, whole.Size() - cut);
        first.SetPosition(0);
        second.SetPosition(0);
        TStream* stream = &first;
        int swaps = 0;
        TZipHeaderInfo back;
        ASSERT_TRUE(back.ReadCentralFromStream(stream, [&](TZipHeaderInfo&, TStream*& s) {
            ++swaps;
            s = &second;
        })) << cut;
        EXPECT_EQ(swaps, 1);
        EXPECT_EQ(back.FileName(), "split.txt");
        EXPECT_EQ(back.LocalHeaderOffset, 77u);
    }
}

}  // namespace

namespace {

// Filling a view at once must give exactly the order of adding entries one by one.
TEST(SortedZip, FillFromEqualsAddingOneByOne) {
    std::mt19937 rng(11);
    TSortedZip dir(dupError);
    const char* dirs[] = {"", "a\\", "B\\", "a\\b\\"};
    const char* names[] = {"x.txt", "X.TXT", "y", "readme", "Z.doc"};
    for (LongWord i = 0; i < 300; ++i) {
        const LongWord dos = ((0x5A20u + rng() % 4) << 16) | (rng() % 3);
        const LongWord usize = rng() % 5 * 100;
        dir.Add(Entry(dirs[rng() % 4], names[rng() % 5], i * 10, rng() % 4 * 50, usize, rng() % 10 ? dos : 0));
    }
    for (int m = 0; m <= static_cast<int>(TZipSortMode::ByNone); ++m) {
        TSortedZip added(dupAccept), filled(dupAccept);
        added.OwnsObjects = filled.OwnsObjects = false;
        added.SortMode = filled.SortMode = static_cast<TZipSortMode>(m);
        for (Integer i = 0; i < dir.Count(); ++i) added.Add(dir.Get(i));
        filled.FillFrom(dir);
        EXPECT_EQ(OffsetsOf(filled), OffsetsOf(added)) << "mode " << m;
    }
}

}  // namespace

namespace {

// A header read with an extra field and an unloaded comment is written without them, and
// its sizes then count exactly the bytes written.
TEST(ZipHeaderInfo, WrittenSizesMatchTheBytesWritten) {
    TZipHeaderInfo h;
    h.SetFileName("name.txt");
    h.ExtraLength = 24;
    h.CommentLength = 9;  // as read: length known, text not loaded
    TMemoryStream local, central;
    h.SaveLocalToStream(local);
    EXPECT_EQ(static_cast<Int64>(h.LocalSize()), local.Size());
    h.SaveCentralToStream(central);
    EXPECT_EQ(static_cast<Int64>(h.CentralSize()), central.Size());
}

}  // namespace
