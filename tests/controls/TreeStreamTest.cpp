// The node stream: round trips of every field, cut texts, and damaged streams.
#include "TreeTestSupport.h"

#include <array>
#include <cstring>

#include "controls/TreeExStream.h"

namespace {

std::vector<Byte> Write(TTreeExNodes& items) {
    TMemoryStream ms;
    items.WriteTree(ms);
    return ms.Bytes();
}

void Read(TTreeExNodes& items, const std::vector<Byte>& bytes) {
    TMemoryStream ms;
    if (!bytes.empty()) ms.WriteBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
    ms.SetPosition(0);
    items.ReadTree(ms);
}

void Put32(std::vector<Byte>& b, size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<Byte>(v >> (8 * i));
}

}  // namespace

TEST_F(TreeFixture, EmptyTreeWritesFiveBytes) {
    EXPECT_EQ(Write(Items()), (std::vector<Byte>{0, 0, 0, 0, 0}));
}

TEST_F(TreeFixture, OneNodeTreeSizeAndLayout) {
    TTreeExNode* a = Items().AddChild(nullptr, "abc");
    a->SetDescription("desc");
    a->SetCreated(45000.25);
    auto bytes = Write(Items());
    ASSERT_EQ(bytes.size(), 5u + 4u + 1128u);
    EXPECT_EQ(bytes[5], 0x68);  // record size 1128 = 0x468
    EXPECT_EQ(bytes[6], 0x04);
    EXPECT_EQ(bytes[9 + 87], 3);  // text length
    EXPECT_EQ(std::memcmp(&bytes[9 + 88], "abc", 3), 0);
    Items().Clear();
    Read(Items(), bytes);
    ASSERT_EQ(Items().Count(), 1);
    EXPECT_EQ(Items().Item(0)->Description(), "desc");
    EXPECT_DOUBLE_EQ(Items().Item(0)->Created(), 45000.25);
}

// Each field of the node record at the offset the stream format gives it, written once by
// hand: a writer and reader that agreed on a wrong offset would not match these bytes.
TEST(TreeExNodeRecord, EveryFieldSitsAtItsOffset) {
    std::array<Byte, TTreeExNodeRecord::Size> expected{};
    auto put = [&](size_t at, std::uint64_t v, size_t size) {
        for (size_t i = 0; i < size; ++i) expected[at + i] = static_cast<Byte>(v >> (8 * i));
    };
    auto text = [&](size_t at, const char* s) {
        expected[at] = static_cast<Byte>(std::strlen(s));
        std::memcpy(&expected[at + 1], s, std::strlen(s));
    };
    const double created = 45000.25;
    std::uint64_t createdBits;
    std::memcpy(&createdBits, &created, 8);
    put(0, 0x01020304, 4), put(4, 0x05060708, 4), put(8, 0x090A0B0C, 4), put(12, 0x0D0E0F10, 4);
    put(16, 0x11121314, 4), put(20, 0x15, 1), put(21, 0x16, 1), put(22, 1, 1), put(23, 1, 1), put(24, 1, 1);
    put(25, 0x191A1B1C, 4), put(29, 0x1D1E1F20, 4), put(33, 0x21222324, 4), put(37, 0, 1), put(38, 0, 1);
    put(43, 0x25262728, 4), put(47, 0x29, 1), put(48, 0x2A, 1), text(50, "Font"), put(83, 0x2B2C2D2E, 4);
    text(87, "Text"), text(343, "System"), text(599, "{ID}"), put(855, 0x2F30313233343536, 8);
    text(863, "Description"), put(1119, createdBits, 8);

    TTreeExNodeRecord r;
    r.ImageIndex = 0x01020304, r.SelectedIndex = 0x05060708, r.StateIndex = 0x090A0B0C, r.OverlayIndex = 0x0D0E0F10;
    r.IntegralHeight = 0x11121314, r.CheckState = 0x15, r.CheckType = 0x16, r.Enabled = 1, r.Expanded = 1;
    r.Selected = 1, r.Data = 0x191A1B1C, r.Count = 0x1D1E1F20, r.Color = 0x21222324, r.ParentColor = 0;
    r.ParentFont = 0, r.FontHeight = 0x25262728, r.FontPitch = 0x29, r.FontStyle = 0x2A, r.FontName = "Font";
    r.FontColor = 0x2B2C2D2E, r.Text = "Text", r.SystemName = "System", r.BackupID = "{ID}";
    r.NodeKind = 0x2F30313233343536, r.Description = "Description", r.Created = created;
    r.Encode();
    EXPECT_EQ(r.Buffer, expected);

    TTreeExNodeRecord back;
    back.Buffer = expected;
    back.Decode();
    back.Encode();
    EXPECT_EQ(back.Buffer, expected);  // every field was read from where it stands
}

TEST_F(TreeFixture, RoundTripKeepsEveryStreamedFieldAndUtf8) {
    auto n = Build({"0:Wurzel äöü", "1:子ノード", "2:leaf", "0:B"});
    Items().SetCheckType(ctCheckBox);
    TTreeExNode* a = n[0];
    a->SetSystemName("QelBackup");
    a->SetBackupID("{4512345678}");
    a->SetNodeKind(nkBackup);
    a->SetDescription("Beschreibung – ünïcödé");
    a->SetCreated(46000.5);
    a->SetImageIndex(4);
    a->SetSelectedIndex(5);
    a->SetOverlayIndex(2);
    a->SetData(-77);
    a->SetCheckType(ctTriState);
    a->Font()->SetName("Courier New");
    a->Font()->SetHeight(-13);
    a->Font()->SetStyle(fsBold | fsItalic);
    a->Font()->SetColor(clRed);
    a->SetSavedExpanded(true);
    a->SetPluginHandle(reinterpret_cast<HMODULE>(0x1000));
    a->SetPluginChildID("FormMain");
    n[1]->SetEnabled(false);
    n[3]->SetCheckState(chChecked);
    a->Expand(false);
    Items().SelectNode(n[1], TSelectMode::smSelect);

    auto bytes = Write(Items());
    TTreeEx& other = *NewTree(form);
    Read(*other.Items(), bytes);
    TTreeExNodes& o = *other.Items();
    ASSERT_EQ(o.Count(), 4);
    TTreeExNode* b = o.Item(0);
    EXPECT_EQ(b->Text(), "Wurzel äöü");
    EXPECT_EQ(o.Item(1)->Text(), "子ノード");
    EXPECT_EQ(b->SystemName(), "QelBackup");
    EXPECT_EQ(b->BackupID(), "{4512345678}");
    EXPECT_EQ(b->NodeKind(), nkBackup);
    EXPECT_EQ(b->Description(), "Beschreibung – ünïcödé");
    EXPECT_DOUBLE_EQ(b->Created(), 46000.5);
    EXPECT_EQ(b->ImageIndex(), 4);
    EXPECT_EQ(b->SelectedIndex(), 5);
    EXPECT_EQ(b->OverlayIndex(), 2);
    EXPECT_EQ(b->Data(), -77);
    EXPECT_EQ(b->CheckType(), ctTriState);
    EXPECT_FALSE(b->ParentFont());
    EXPECT_EQ(b->Font()->Name(), "Courier New");
    EXPECT_EQ(b->Font()->Height(), -13);
    EXPECT_EQ(b->Font()->Style(), fsBold | fsItalic);
    EXPECT_EQ(b->Font()->Color(), clRed);
    EXPECT_TRUE(b->Expanded());
    EXPECT_FALSE(o.Item(1)->Enabled());
    EXPECT_TRUE(o.Item(1)->Selected());
    EXPECT_EQ(o.Item(3)->CheckState(), chChecked);
    EXPECT_EQ(o.CheckType(), ctCheckBox);
    // Not in the record: back at their defaults.
    EXPECT_FALSE(b->SavedExpanded());
    EXPECT_EQ(b->PluginHandle(), nullptr);
    EXPECT_EQ(b->PluginChildID(), "");
    // Writing the copy again gives the same bytes.
    EXPECT_EQ(Write(o), bytes);
}

TEST_F(TreeFixture, LongTextsAreCutWithoutSplittingACharacter) {
    TTreeExNode* a = Items().AddChild(nullptr, std::string(300, 'x'));
    a->Font()->SetName(std::string(40, 'f'));
    // 254 ASCII bytes and then a two-byte character: 256 bytes do not fit in 255.
    TTreeExNode* b = Items().AddChild(nullptr, std::string(254, 'y') + "é");
    auto bytes = Write(Items());
    Read(Items(), bytes);
    EXPECT_EQ(Items().Item(0)->Text(), std::string(255, 'x'));
    EXPECT_EQ(Items().Item(0)->Font()->Name(), std::string(31, 'f'));
    EXPECT_EQ(Items().Item(1)->Text(), std::string(254, 'y'));
    (void)b;
}

TEST_F(TreeFixture, SingleExpandReadsEveryNodeCollapsed) {
    auto n = Build({"0:A", "1:A1"});
    n[0]->Expand(false);
    auto bytes = Write(Items());
    tree->SetOptions(tree->Options().With(TTreeOption::toSingleExpand));
    Read(Items(), bytes);
    EXPECT_FALSE(Items().Item(0)->Expanded());
}

TEST_F(TreeFixture, ReadingSelectsThroughSelectNode) {
    auto n = Build({"0:A", "0:B"});
    Items().SelectNode(n[1], TSelectMode::smSelect);
    auto bytes = Write(Items());
    Record();
    Read(Items(), bytes);
    EXPECT_NE(std::find(log.begin(), log.end(), "Changing:B"), log.end());
}

// ---- damaged streams

namespace {

struct CorruptCase {
    const char* name;
    std::function<void(std::vector<Byte>&)> damage;
    bool readError;  // EReadError (ran out of data) rather than ETreeExError
};

}  // namespace

class TreeCorruptStream : public TreeFixture, public ::testing::WithParamInterface<CorruptCase> {};

TEST_P(TreeCorruptStream, IsRejectedAndNodesReadSoFarStay) {
    auto n = Build({"0:A", "1:A1", "0:B"});
    auto bytes = Write(Items());
    GetParam().damage(bytes);
    if (GetParam().readError) EXPECT_THROW(Read(Items(), bytes), EReadError);
    else EXPECT_THROW(Read(Items(), bytes), ETreeExError);
    ExpectWindowMatches();
    EXPECT_EQ(Items().UpdateCount(), 0);  // EndChanges ran
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TreeCorruptStream,
    ::testing::Values(
        CorruptCase{"Empty", [](auto& b) { b.clear(); }, true},
        CorruptCase{"OnlyCheckType", [](auto& b) { b.resize(1); }, true},
        CorruptCase{"TruncatedRecord", [](auto& b) { b.resize(5 + 4 + 500); }, true},
        CorruptCase{"TruncatedChildren", [](auto& b) { b.resize(b.size() - 1); }, true},
        CorruptCase{"CountBeyondData", [](auto& b) { Put32(b, 1, 1000000); }, true},
        CorruptCase{"ChildCountBeyondData", [](auto& b) { Put32(b, 9 + 29, 0x7FFFFFFF); }, true},
        CorruptCase{"NegativeCount", [](auto& b) { Put32(b, 1, 0xFFFFFFFF); }, false},
        CorruptCase{"NegativeChildCount", [](auto& b) { Put32(b, 9 + 29, 0xFFFFFFFE); }, false},
        CorruptCase{"RecordTooBig", [](auto& b) { Put32(b, 5, 5000); }, false},
        CorruptCase{"RecordTooSmall", [](auto& b) { Put32(b, 5, 100); }, false},
        CorruptCase{"FontNameOverrunsField",
                    [](auto& b) {
                        b[9 + 38] = 0;   // own font
                        b[9 + 50] = 40;  // name length beyond its 31 characters
                    },
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TreeFixture, DeepNestingIsRefused) {
    std::vector<Byte> bytes{0, 1, 0, 0, 0};
    TTreeExNodeRecord rec;
    rec.Text = "n";
    rec.Count = 1;
    rec.Encode();
    for (int i = 0; i < 2000; ++i) {
        Byte size[4] = {0x68, 0x04, 0, 0};
        bytes.insert(bytes.end(), size, size + 4);
        bytes.insert(bytes.end(), rec.Buffer.begin(), rec.Buffer.end());
    }
    EXPECT_THROW(Read(Items(), bytes), ETreeExError);
    EXPECT_EQ(Items().UpdateCount(), 0);
}

// Damage anywhere in a stream ends in a clear error or a tree, never in a crash or a read past
// the data (the sanitizer builds watch for the latter).
TEST_F(TreeFixture, RandomlyDamagedStreamsFailCleanly) {
    auto n = Build({"0:A", "1:A1", "2:A1a", "1:A2", "0:B"});
    n[0]->Font()->SetName("Font");
    auto good = Write(Items());
    unsigned seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int round = 0; round < 200; ++round) {
        auto bytes = good;
        int edits = 1 + static_cast<int>(next() % 4);
        for (int e = 0; e < edits; ++e) {
            size_t at = next() % bytes.size();
            switch (next() % 3) {
            case 0: bytes[at] = static_cast<Byte>(next()); break;
            case 1: bytes.resize(at); break;
            default: bytes[at] ^= 0x80; break;
            }
            if (bytes.empty()) break;
        }
        try {
            Read(Items(), bytes);
        } catch (const EReadError&) {
        } catch (const ETreeExError&) {
        }
        ExpectWindowMatches();
        ASSERT_EQ(Items().UpdateCount(), 0);
    }
}
