// The catalogue file: the line format, quoting of values the format cannot hold plainly,
// malformed lines, level placement and the safe rewrite with its backup copy.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <list>

#include "tests/common/TestProfile.h"
#include "manager/Catalogue.h"
#include "platform/DateTime.h"
#include "platform/Drives.h"
#include "platform/FileStream.h"

using namespace manager;

namespace {

TFormatSettings Fs() { return DefaultFormatSettings(); }

TCatalogueRecord Rec(Integer level, String text, Int64 kind = nkFolder, String system = "", String id = "",
                     String description = "", TDateTime created = 0, Integer image = 6, Integer selected = 7,
                     bool expanded = false) {
    TCatalogueRecord r;
    r.Level = level;
    r.Text = std::move(text);
    r.NodeKind = kind;
    r.SystemName = std::move(system);
    r.BackupID = std::move(id);
    r.Description = std::move(description);
    r.Created = created;
    r.ImageIndex = image;
    r.SelectedIndex = selected;
    r.Expanded = expanded;
    return r;
}

void ExpectSame(const TCatalogueRecord& a, const TCatalogueRecord& b) {
    EXPECT_EQ(a.Level, b.Level);
    EXPECT_EQ(a.Text, b.Text);
    EXPECT_EQ(a.NodeKind, b.NodeKind);
    EXPECT_EQ(a.SystemName, b.SystemName);
    EXPECT_EQ(a.BackupID, b.BackupID);
    EXPECT_EQ(a.Description, b.Description);
    EXPECT_NEAR(a.Created, b.Created, 1.0 / 86400 / 2);
    EXPECT_EQ(a.ImageIndex, b.ImageIndex);
    EXPECT_EQ(a.SelectedIndex, b.SelectedIndex);
    EXPECT_EQ(a.Expanded, b.Expanded);
}

// 1 March 2024 10:20:30 and midnight of the same day.
const TDateTime kMorning = EncodeDate(2024, 3, 1) + EncodeTime(10, 20, 30, 0);
const TDateTime kMidnight = EncodeDate(2024, 3, 1);

TEST(CatalogueLine, OrdinaryLinesKeepTheOlderFormatByteForByte) {
    EXPECT_EQ(CatalogueLine(Rec(1, "Docs", nkFolder, "", "", "My documents", kMorning, 6, 7, true), Fs()),
              "1|Docs|1|||My documents|01/03/2024 10:20:30|6|7|+\r\n");
    // Midnight leaves the time out; a blank inside or at the end of a value stays unquoted.
    EXPECT_EQ(CatalogueLine(Rec(2, "Tax 2024 ", nkBackup, "QelBackup", "{45352}", "", kMidnight, 4, 5), Fs()),
              "2|Tax 2024 |2|QelBackup|{45352}||01/03/2024|4|5|-\r\n");
}

struct QuotingCase {
    const char* name;
    String value;
};

class CatalogueQuoting : public ::testing::TestWithParam<QuotingCase> {};

TEST_P(CatalogueQuoting, EveryTextFieldReadsBackEqual) {
    const String v = GetParam().value;
    TCatalogueRecord r = Rec(1, v, nkBackup, v, v, v, kMorning, 4, 5, true);
    String line = CatalogueLine(r, Fs());
    std::vector<String> problems;
    auto lines = ParseCatalogueText(line + CatalogueLine(Rec(1, "next"), Fs()), Fs(), problems);
    EXPECT_TRUE(problems.empty()) << line;
    ASSERT_EQ(lines.size(), 2u) << line;
    ExpectSame(lines[0].Record, r);
    EXPECT_EQ(lines[1].Record.Text, "next");
    EXPECT_EQ(lines[1].LineNumber, static_cast<Integer>(1 + std::count(line.begin(), line.end(), '\n')));
}

INSTANTIATE_TEST_SUITE_P(Values, CatalogueQuoting,
                         ::testing::Values(QuotingCase{"Bar", "a|b"}, QuotingCase{"Quote", "say \"hi\""},
                                           QuotingCase{"LeadingQuote", "\"quoted"},
                                           QuotingCase{"OnlyQuote", "\""},
                                           QuotingCase{"LeadingBlank", "  indented"},
                                           QuotingCase{"CrLf", "first\r\nsecond"},
                                           QuotingCase{"LoneLf", "first\nsecond\n"},
                                           QuotingCase{"LoneCr", "first\rsecond"},
                                           QuotingCase{"Tab", "a\tb"},
                                           QuotingCase{"QuoteThenLineBreak", "x\"\r\n\"|y"},
                                           QuotingCase{"Empty", ""}, QuotingCase{"Utf8", "Größe €"}),
                         [](const auto& info) { return info.param.name; });

TEST(CatalogueLine, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(CatalogueField("plain text "), "plain text ");
    EXPECT_EQ(CatalogueField("a|b"), "\"a|b\"");
    EXPECT_EQ(CatalogueField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CatalogueField(" x"), "\" x\"");
}

struct MalformedCase {
    const char* name;
    String line;
};

class CatalogueMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(CatalogueMalformed, IsSkippedWithItsNumberAndTheOthersStay) {
    String text = "1|Before|1|||d|01/03/2024|6|7|-\r\n" + GetParam().line + "\r\n1|After|1|||d|01/03/2024|6|7|-\r\n";
    std::vector<String> problems;
    auto lines = ParseCatalogueText(text, Fs(), problems);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Record.Text, "Before");
    EXPECT_EQ(lines[1].Record.Text, "After");
    EXPECT_EQ(lines[1].LineNumber, 3);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("line 2"), String::npos) << problems[0];
}

INSTANTIATE_TEST_SUITE_P(Lines, CatalogueMalformed,
                         ::testing::Values(MalformedCase{"Empty", ""}, MalformedCase{"NoSeparator", "just text"},
                                           MalformedCase{"LevelNotANumber", "x|T|1|||d|01/03/2024|6|7|-"},
                                           MalformedCase{"KindNotANumber", "1|T|folder|||d|01/03/2024|6|7|-"},
                                           MalformedCase{"BadDate", "1|T|1|||d|2024-03-01|6|7|-"},
                                           MalformedCase{"BadImage", "1|T|1|||d|01/03/2024|six|7|-"},
                                           MalformedCase{"BadSelected", "1|T|1|||d|01/03/2024|6||-"}),
                         [](const auto& info) { return info.param.name; });

TEST(CatalogueText, AStrayQuoteOfAnOlderFileDoesNotSwallowTheLinesAfterIt) {
    // The older writer never quoted: a text beginning with a quote ran to the end of its line.
    String text = "1|\"Quoted name|1|||d|01/03/2024|6|7|-\r\n1|Second|1|||d|01/03/2024|6|7|-\r\n";
    std::vector<String> problems;
    auto lines = ParseCatalogueText(text, Fs(), problems);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Record.FieldCount, 2);
    EXPECT_EQ(lines[1].Record.Text, "Second");
}

TEST(CatalogueText, ShortLinesKeepTheFieldsTheyHoldAndNodeKindWidensWithItsSign) {
    std::vector<String> problems;
    auto lines = ParseCatalogueText("1|Only text\n2|Kind|-1|Sys\n", Fs(), problems);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Record.FieldCount, 2);
    EXPECT_EQ(lines[0].Record.NodeKind, 0);
    EXPECT_EQ(lines[1].Record.NodeKind, -1);
    EXPECT_EQ(lines[1].Record.SystemName, "Sys");
}

// A tree of named nodes for the placement rules.
class FakeTree : public TCatalogueTarget {
public:
    struct N {
        String text;
        N* parent = nullptr;
        bool expanded = false, saved = false;
    };
    FakeTree() { nodes_.push_back({"Backup's"}); }
    Node BackupRoot() override { return &nodes_.front(); }
    Node ParentOf(Node n) override { return static_cast<N*>(n)->parent; }
    Node AddChild(Node parent, const TCatalogueRecord& r) override {
        if (r.Text == "no room") throw std::runtime_error("the tree is full");
        nodes_.push_back({r.Text, static_cast<N*>(parent), false, r.Expanded});
        return &nodes_.back();
    }
    void NodeLoaded(Node n) override {
        loaded.push_back(static_cast<N*>(n)->text);
        if (static_cast<N*>(n)->text == "fails") throw std::runtime_error("no template");
    }
    void ExpandSavedNodes() override {
        for (N& n : nodes_) n.expanded = n.saved;
    }
    // "parent/child" paths below the root, in insertion order.
    std::vector<String> Paths() const {
        std::vector<String> out;
        for (auto it = std::next(nodes_.begin()); it != nodes_.end(); ++it) {
            String path = it->text;
            for (const N* p = it->parent; p && p->parent; p = p->parent) path = p->text + "/" + path;
            out.push_back(path);
        }
        return out;
    }
    std::vector<String> loaded;
    std::list<N> nodes_;
};

struct PlacementCase {
    const char* name;
    std::vector<Integer> levels;
    std::vector<String> paths;
    std::size_t moved = 0;  // lines placed at another level than they hold, each noted
};

class CataloguePlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(CataloguePlacement, PlacesEveryLine) {
    std::vector<TCatalogueLine> lines;
    const auto& p = GetParam();
    for (std::size_t i = 0; i < p.levels.size(); ++i) {
        TCatalogueLine l;
        l.Record.Level = p.levels[i];
        l.Record.Text = String(1, static_cast<char>('a' + i));
        lines.push_back(l);
    }
    FakeTree tree;
    std::vector<String> problems;
    EXPECT_EQ(PlaceCatalogueRecords(lines, tree, problems), p.moved > 0);
    EXPECT_EQ(tree.Paths(), p.paths);
    EXPECT_EQ(problems.size(), p.moved);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, CataloguePlacement,
    ::testing::Values(PlacementCase{"FolderWithBackup", {1, 2}, {"a", "a/b"}},
                      PlacementCase{"Siblings", {1, 2, 2, 1}, {"a", "a/b", "a/c", "d"}},
                      PlacementCase{"BackFromThreeToOneAndTwo", {1, 2, 3, 1, 2}, {"a", "a/b", "a/b/c", "d", "d/e"}},
                      PlacementCase{"BackFromThreeToTwo", {1, 2, 3, 2}, {"a", "a/b", "a/b/c", "a/d"}},
                      PlacementCase{"JumpDeeperIsClampedToOneDeeper", {1, 4, 2, 9}, {"a", "a/b", "a/c", "a/c/d"}, 2},
                      PlacementCase{"FirstLineDeeperHangsFromTheRoot", {3, 2}, {"a", "a/b"}, 1},
                      PlacementCase{"LevelZeroOrBelowCountsAsOne", {1, 0, -5}, {"a", "b", "c"}, 2}),
    [](const auto& info) { return info.param.name; });

TEST(CataloguePlacement, AFailingPageStepIsReportedAndTheLoadGoesOn) {
    std::vector<TCatalogueLine> lines(3);
    lines[0].Record.Text = "first";
    lines[1].Record.Text = "fails";
    lines[1].LineNumber = 2;
    lines[2].Record.Text = "last";
    lines[2].Record.Expanded = true;
    FakeTree tree;
    std::vector<String> problems;
    PlaceCatalogueRecords(lines, tree, problems);
    EXPECT_EQ(tree.loaded, (std::vector<String>{"first", "fails", "last"}));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("no template"), String::npos);
    EXPECT_TRUE(tree.nodes_.back().expanded);
}

class CatalogueFileTest : public tarvik::test::ProfileTest {};

TEST_F(CatalogueFileTest, AFileOfTheOlderFormatSavesBackByteForByte) {
    env.WriteText("data/Backup.Dat",
                  "1|Documents|1|||Work papers|01/03/2024 10:20:30|6|7|+\r\n"
                  "2|Tax|2|QelBackup|{4535243}|Yearly tax file|01/03/2024|4|5|-\r\n"
                  "3|Deep|1||||01/03/2024|6|7|-\r\n"
                  "1|Photos|1||||02/03/2024 08:00:00|6|7|-\r\n");
    const String original = env.ReadText(env.Scratch("data/Backup.Dat"));
    TCatalogueFile file(env.Win("data\\Backup.Dat"));
    FakeTree tree;
    EXPECT_TRUE(file.Load(tree, Fs()).empty());
    EXPECT_FALSE(file.BackupCopyPending());

    std::vector<String> problems;
    auto lines = ParseCatalogueText(original, Fs(), problems);
    std::vector<TCatalogueRecord> records;
    for (auto& l : lines) records.push_back(l.Record);
    file.Save(records, Fs());
    EXPECT_EQ(env.ReadText(env.Scratch("data/Backup.Dat")), original);
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("data/Backup.Dat.bak")));
}

TEST_F(CatalogueFileTest, ADamagedFileIsKeptAsBackupBeforeTheFirstSaveOnly) {
    const String damaged = "1|Good|1|||d|01/03/2024|6|7|-\r\nbroken line\r\n";
    env.WriteText("Backup.Dat", damaged);
    TCatalogueFile file(env.Win("Backup.Dat"));
    FakeTree tree;
    EXPECT_EQ(file.Load(tree, Fs()).size(), 1u);
    EXPECT_TRUE(file.BackupCopyPending());

    file.Save({Rec(1, "Good", nkFolder, "", "", "d", kMidnight)}, Fs());
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak")), damaged);
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat")), "1|Good|1|||d|01/03/2024|6|7|-\r\n");

    file.Save({}, Fs());
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak")), damaged);
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat")), "");
}

TEST_F(CatalogueFileTest, EveryDamagedFileIsKeptUnderTheFirstFreeBackupName) {
    const String first = "1|Good|1|||d|01/03/2024|6|7|-\r\nbroken line\r\n";
    const String second = "1|Good|1|||d|01/03/2024|6|7|-\r\nanother broken line\r\n";
    const String third = "1|Good|1|||d|01/03/2024|6|7|-\r\nthird\r\n";
    for (const String& damaged : {first, second, third}) {
        env.WriteText("Backup.Dat", damaged);
        TCatalogueFile file(env.Win("Backup.Dat"));
        FakeTree tree;
        EXPECT_EQ(file.Load(tree, Fs()).size(), 1u);
        file.Save({Rec(1, "Good", nkFolder, "", "", "d", kMidnight)}, Fs());
    }
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak")), first);
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak.1")), second);
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak.2")), third);

    // A file the load could not read goes aside under a free name as well.
    const String unread = "1|Unread|1|||d|01/03/2024|6|7|-\r\n";
    env.WriteText("Backup.Dat", unread);
    TCatalogueFile file(env.Win("Backup.Dat"));
    FakeTree tree;
    {
        TFileStream holder(env.Win("Backup.Dat"), fmOpenRead | fmShareExclusive);
        EXPECT_ANY_THROW(file.Load(tree, Fs()));
    }
    file.Save({Rec(1, "New")}, Fs());
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak")), first);
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak.3")), unread);
}

TEST_F(CatalogueFileTest, AByteOrderMarkCostsNoLine) {
    env.WriteText("Backup.Dat", "\xEF\xBB\xBF" "1|First|1|||d|01/03/2024|6|7|-\r\n1|Second|1|||d|01/03/2024|6|7|-\r\n");
    TCatalogueFile file(env.Win("Backup.Dat"));
    FakeTree tree;
    EXPECT_TRUE(file.Load(tree, Fs()).empty());
    EXPECT_EQ(tree.Paths(), (std::vector<String>{"First", "Second"}));
    EXPECT_FALSE(file.BackupCopyPending());
}

TEST_F(CatalogueFileTest, SaveCreatesTheFolderAndAFailedSaveKeepsTheOldFile) {
    TCatalogueFile file(env.Win("new\\folder\\Backup.Dat"));
    file.Save({Rec(1, "A")}, Fs());
    EXPECT_EQ(env.ReadText(env.Scratch("new/folder/Backup.Dat")), "1|A|1||||30/12/1899|6|7|-\r\n");

    // A folder that cannot be written to: the old file stays as it was.
    std::filesystem::permissions(env.Scratch("new/folder"), std::filesystem::perms::owner_read |
                                                                std::filesystem::perms::owner_exec);
    if (::geteuid() != 0) {
        EXPECT_ANY_THROW(file.Save({Rec(1, "B")}, Fs()));
        EXPECT_EQ(env.ReadText(env.Scratch("new/folder/Backup.Dat")), "1|A|1||||30/12/1899|6|7|-\r\n");
    }
    std::filesystem::permissions(env.Scratch("new/folder"), std::filesystem::perms::owner_all);
}

TEST_F(CatalogueFileTest, AFileTheLoadCouldNotReadIsMovedAsideNotOverwritten) {
    const String original = "1|Documents|1|||Work papers|01/03/2024 10:20:30|6|7|+\r\n";
    env.WriteText("Backup.Dat", original);
    TCatalogueFile file(env.Win("Backup.Dat"));
    FakeTree tree;
    {
        TFileStream holder(env.Win("Backup.Dat"), fmOpenRead | fmShareExclusive);
        EXPECT_ANY_THROW(file.Load(tree, Fs()));
        EXPECT_TRUE(tree.Paths().empty());
        // Still held: the file can be neither moved nor replaced, so the save fails.
        EXPECT_ANY_THROW(file.Save({Rec(1, "New")}, Fs()));
        EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat")), original);
    }
    file.Save({Rec(1, "New")}, Fs());
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak")), original);
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat")), "1|New|1||||30/12/1899|6|7|-\r\n");
    // Only the save right after such a load moves the file aside.
    file.Save({Rec(1, "Newer")}, Fs());
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak")), original);
}

TEST_F(CatalogueFileTest, ALoadThatFailsHalfwayKeepsTheFileAsRead) {
    const String original = "1|First|1|||d|01/03/2024|6|7|-\r\n1|no room|1|||d|01/03/2024|6|7|-\r\n"
                            "1|Last|1|||d|01/03/2024|6|7|-\r\n";
    env.WriteText("Backup.Dat", original);
    TCatalogueFile file(env.Win("Backup.Dat"));
    FakeTree tree;
    EXPECT_ANY_THROW(file.Load(tree, Fs()));
    EXPECT_EQ(tree.Paths(), std::vector<String>{"First"});
    file.Save({Rec(1, "First", nkFolder, "", "", "d", kMidnight)}, Fs());
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak")), original);
}

TEST_F(CatalogueFileTest, AMissingFileAddsNothing) {
    TCatalogueFile file(env.Win("none\\Backup.Dat"));
    FakeTree tree;
    EXPECT_TRUE(file.Load(tree, Fs()).empty());
    EXPECT_TRUE(tree.Paths().empty());
}

}  // namespace

namespace {

TEST(CatalogueText, UnclosedQuotesOfAnOlderFileCostNoLine) {
    String text = "1|\"Stray|1|||d|01/03/2024|6|7|-\r\n";
    for (int i = 1; i < 20000; ++i)
        text += (i % 5000 ? "1|Name " : "1|\"Name ") + std::to_string(i) + "|1|||d|01/03/2024|6|7|-\r\n";
    std::vector<String> problems;
    auto lines = ParseCatalogueText(text, DefaultFormatSettings(), problems);
    EXPECT_EQ(lines.size(), 20000u);
    // The stray-quote lines read as a text only, so they are noted (the file is kept as read);
    // the ordinary lines are not.
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_NE(problems[0].find("line 1 "), String::npos);
    EXPECT_NE(problems[3].find("line 15001 "), String::npos);
}

TEST_F(CatalogueFileTest, ALinePlacedAtAnotherLevelIsNotedAndTheFileKeptAsRead) {
    const String text = "1|Docs|1|||d|01/03/2024|6|7|-\r\n3|Deep|1|||d|01/03/2024|6|7|-\r\n";
    env.WriteText("Backup.Dat", text);
    TCatalogueFile file(env.Win("Backup.Dat"));
    FakeTree tree;
    const auto problems = file.Load(tree, Fs());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("line 2 has level 3 and is placed at level 2"), String::npos) << problems[0];
    file.Save({}, Fs());
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak")), text);
}

struct ChangedCase {
    const char* name;
    String line;
};

class CatalogueChanged : public ::testing::TestWithParam<ChangedCase> {};

// Lines that load but would not be written back as they stand: each is loaded, noted, and the
// file as read is kept before the next save replaces it.
TEST_P(CatalogueChanged, IsLoadedNotedAndKeptAsRead) {
    const String text = "1|Before|1|||d|01/03/2024|6|7|-\r\n" + GetParam().line + "\r\n";
    std::vector<String> problems;
    auto lines = ParseCatalogueText(text, Fs(), problems);
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("line 2 "), String::npos) << problems[0];

    tarvik::test::ScopedTestProfile env;
    env.WriteText("Backup.Dat", text);
    TCatalogueFile file(env.Win("Backup.Dat"));
    FakeTree tree;
    EXPECT_EQ(file.Load(tree, Fs()).size(), 1u);
    std::vector<TCatalogueRecord> records;
    for (auto& l : lines) records.push_back(l.Record);
    file.Save(records, Fs());
    EXPECT_EQ(env.ReadText(env.Scratch("Backup.Dat.bak")), text);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CatalogueChanged,
    ::testing::Values(ChangedCase{"NulByteInADescription", String("1|Docs|1|||a\0b|01/03/2024|6|7|+", 31)},
                      ChangedCase{"TabEndingADescription", "1|Docs|1|||a\t|01/03/2024|6|7|+"},
                      ChangedCase{"ExtraField", "1|Docs|1|||d|01/03/2024|6|7|+|more"},
                      ChangedCase{"LeadingBlankOfAText", "1| Docs|1|||d|01/03/2024|6|7|+"},
                      ChangedCase{"ShortLine", "2|Only text"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
