// Archives the zip component writes and rewrites, judged by the peers: Info-ZIP unzip, 7zz
// and Python's zipfile must test them clean and extract every entry byte for byte.
#include "ZipperTestSupport.h"

using namespace zipwritetest;
using tarvik::test::ScopedTestProfile;

namespace {

// A set of files that covers the writer's paths: prose, incompressible data, an empty
// file, a run longer than a match, and a name that CP437 cannot hold (written as UTF-8).
Files SampleFiles() {
    Files f;
    f["notes/prose.txt"] = TextBytes(200000, 1);
    f["noise.bin"] = RandomBytes(70000, 2);
    f["empty.txt"] = "";
    f["run.dat"] = std::string(100000, 'a');
    f["one.txt"] = "x";
    f["Grüße/日本語.txt"] = TextBytes(5000, 3);
    return f;
}

void WriteTree(const ScopedTestProfile& env, const std::string& folder, const Files& files) {
    for (const auto& [name, bytes] : files) WriteFile(env.Scratch(folder + "/" + name), bytes);
}

// Adds the files below scratch/folder, stored relative to it.
void AddTree(TZipper& z, const ScopedTestProfile& env, const std::string& folder, const Files& files) {
    z.SetRootDir(env.Win(folder));
    z.SetRelativePaths(true);
    for (const auto& [name, bytes] : files) {
        std::string win = env.Win(folder + "/" + name);
        z.FilesList.Add(win);
    }
}

struct WriteCase {
    int level;
    std::string password;
};

class WriteInteropTest : public ::testing::TestWithParam<WriteCase> {
protected:
    ScopedTestProfile env;
};

TEST_P(WriteInteropTest, PeersTestAndExtractWhatWeWrite) {
    const Files files = SampleFiles();
    WriteTree(env, "src", files);
    TZipper z;
    z.DoProcessMessages = false;
    z.PackLevel = GetParam().level;
    z.Password = GetParam().password;
    z.SetZipName(env.Win("out.zip"));
    z.SetZipComment("archive comment");
    AddTree(z, env, "src", files);
    EXPECT_EQ(z.Zip(), static_cast<Integer>(files.size()));
    ExpectPeersAccept(env.Scratch("out.zip"), files, GetParam().password, env.Scratch());
    // Our own reader sees the same entries, in the order added.
    TZipper r;
    r.SetZipName(env.Win("out.zip"));
    r.ReadZip();
    EXPECT_EQ(r.Count(), static_cast<Integer>(files.size()));
    EXPECT_EQ(r.ZipComment(), "archive comment");
}

std::vector<WriteCase> AllLevels() {
    std::vector<WriteCase> cases;
    for (int level = 0; level <= 9; ++level) {
        cases.push_back({level, ""});
        cases.push_back({level, "s3cret pw"});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Levels, WriteInteropTest, ::testing::ValuesIn(AllLevels()),
                         [](const auto& info) {
                             return "Level" + std::to_string(info.param.level) +
                                    (info.param.password.empty() ? "" : "Password");
                         });

TEST(WriteInterop, ManyEntriesWithCommentsPassAllPeers) {
    ScopedTestProfile env;
    Files files;
    for (int i = 0; i < 1500; ++i) files["d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt"] = TextBytes(i % 300, i);
    WriteTree(env, "src", files);
    TZipper z;
    z.DoProcessMessages = false;
    z.SetZipName(env.Win("many.zip"));
    AddTree(z, env, "src", files);
    EXPECT_EQ(z.Zip(), 1500);
    // Entry comments are written whole by the next cycle.
    z.SetFileComment(0, "first entry");
    z.SetFileComment(1499, std::string(3000, 'c'));
    z.SaveModifiedZipFile();
    ExpectPeersAccept(env.Scratch("many.zip"), files, "", env.Scratch());
    RunResult comments = RunShell("python3 -c " +
                             Quote("import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1]).infolist()\n"
                                   "print(z[0].comment.decode(), len(z[1499].comment))") +
                             " " + Quote(env.Scratch("many.zip")));
    EXPECT_EQ(comments.output, "first entry 3000\n");
}

// A name that CP437 can hold is written in CP437 without the UTF-8 flag. Python decodes it
// as CP437; on Linux, unzip shows it in Latin-1 and 7zz keeps the raw CP437 bytes, so only
// Python's extraction is compared here.
TEST(WriteInterop, Cp437NameIsWrittenInCp437) {
    ScopedTestProfile env;
    WriteFile(env.Scratch("src/Größe.txt"), "cp437 only");
    TZipper z;
    z.DoProcessMessages = false;
    z.SetZipName(env.Win("cp.zip"));
    z.FilesList.Add(env.Win("src/Größe.txt"));
    ASSERT_EQ(z.Zip(), 1);
    RunResult r = RunShell("python3 -c " +
                           Quote("import zipfile,sys\ni=zipfile.ZipFile(sys.argv[1]).infolist()[0]\n"
                                 "print(i.flag_bits & 0x800, i.filename)") +
                           " " + Quote(env.Scratch("cp.zip")));
    EXPECT_EQ(r.output, "0 Größe.txt\n");
    EXPECT_EQ(RunShell("unzip -tq " + Quote(env.Scratch("cp.zip"))).code, 0);
}

// ---- rewriting archives that other tools made ----

struct PeerArchive {
    std::string name;
    // Makes archive.zip in the folder from the files a.txt, b.bin, c.txt (run in that folder).
    std::string command;
    std::string password;
};

class UpdatePeerArchiveTest : public ::testing::TestWithParam<PeerArchive> {
protected:
    ScopedTestProfile env;
};

TEST_P(UpdatePeerArchiveTest, KeptEntriesKeepTheirDataAndPeersAcceptTheResult) {
    const PeerArchive& peer = GetParam();
    Files files{{"a.txt", TextBytes(40000, 7)}, {"b.bin", RandomBytes(20000, 8)}, {"c.txt", TextBytes(3000, 9)}};
    WriteTree(env, "peer", files);
    RunResult made = RunShell("cd " + Quote(env.Scratch("peer")) + " && " + peer.command);
    ASSERT_EQ(made.code, 0) << made.output;
    const std::string zip = env.Scratch("peer/archive.zip");
    const auto before = RawEntries(zip);
    ASSERT_EQ(before.size(), 3u);

    WriteFile(env.Scratch("new/added.txt"), "added by us\n");
    TZipper z;
    z.DoProcessMessages = false;
    z.Password = peer.password;
    z.SetZipName(env.Win("peer/archive.zip"));
    z.FilesList.Add(env.Win("new/added.txt"));
    ASSERT_EQ(z.Zip(), 1);
    Files expected = files;
    expected["added.txt"] = "added by us\n";
    ExpectPeersAccept(zip, expected, peer.password, env.Scratch());

    // Deleting and moving an entry to a folder keep the other entries' data unchanged.
    z.FilesList.Clear();
    z.FilesList.Add("b.bin");
    z.DeleteEntries();
    z.ReadZip();
    for (Integer i = 0; i < z.Count(); ++i)
        if (z.Filename(i) == "c.txt") z.SetPathname(i, "moved");
    z.SaveModifiedZipFile();
    expected.erase("b.bin");
    expected["moved/c.txt"] = expected["c.txt"];
    expected.erase("c.txt");
    ExpectPeersAccept(zip, expected, peer.password, env.Scratch());
    const auto after = RawEntries(zip);
    auto hex = [](const std::string& s) {
        std::string h;
        char b[3];
        for (unsigned char c : s) {
            std::snprintf(b, sizeof b, "%02x", c);
            h += b;
        }
        return h;
    };
    EXPECT_EQ(after.at(hex("a.txt")), before.at(hex("a.txt")));
    EXPECT_EQ(after.at(hex("moved/c.txt")), before.at(hex("c.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    Peers, UpdatePeerArchiveTest,
    ::testing::Values(PeerArchive{"InfoZip", "zip -q archive.zip a.txt b.bin c.txt", ""},
                      PeerArchive{"InfoZipDescriptors", "zip -q -fd archive.zip a.txt b.bin c.txt", ""},
                      PeerArchive{"InfoZipEncrypted", "zip -q -e -P pw archive.zip a.txt b.bin c.txt", "pw"},
                      PeerArchive{"Python",
                                  "python3 -c \"import zipfile\nwith zipfile.ZipFile('archive.zip','w',zipfile."
                                  "ZIP_DEFLATED) as z:\n  [z.write(n) for n in ('a.txt','b.bin','c.txt')]\"",
                                  ""},
                      PeerArchive{"SevenZip", "7zz a -bd -bb0 archive.zip a.txt b.bin c.txt >/dev/null", ""},
                      PeerArchive{"SevenZipEncrypted", "7zz a -bd -bb0 -ppw archive.zip a.txt b.bin c.txt >/dev/null",
                                  "pw"}),
    [](const auto& info) { return info.param.name; });

// Info-ZIP reading standard input writes "-" with a data descriptor (streamed: no seek back).
TEST(UpdateStreamedArchive, EntryFromStandardInputKeepsItsData) {
    ScopedTestProfile env;
    const std::string text = TextBytes(30000, 11);
    WriteFile(env.Scratch("in.txt"), text);
    RunResult made = RunShell("cd " + Quote(env.Scratch()) + " && cat in.txt | zip -q streamed.zip -");
    ASSERT_EQ(made.code, 0) << made.output;
    TZipper z;
    z.DoProcessMessages = false;
    z.SetZipName(env.Win("streamed.zip"));
    z.FilesList.Add(env.Win("in.txt"));
    ASSERT_EQ(z.Zip(), 1);
    ExpectPeersAccept(env.Scratch("streamed.zip"), Files{{"-", text}, {"in.txt", text}}, "", env.Scratch());
    // The descriptor is gone: the local header holds the CRC and sizes now.
    RunResult flags = RunShell("python3 -c " +
                          Quote("import zipfile,sys\nprint([i.flag_bits & 8 for i in zipfile.ZipFile(sys.argv[1]).infolist()])") +
                          " " + Quote(env.Scratch("streamed.zip")));
    EXPECT_EQ(flags.output, "[0, 0]\n");
}

}  // namespace
