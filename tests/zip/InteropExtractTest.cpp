// Archives made during the test by the peers (Python's zipfile, Info-ZIP zip, 7-Zip) are
// extracted through the layer's files and compared byte for byte with their sources.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/Drives.h"
#include "platform/Files.h"
#include "tests/common/TestProfile.h"
#include "zip/UnZipper.h"

namespace {

namespace fs = std::filesystem;
using tarvik::test::ProfileTest;

// The sources every peer packs: sizes around the 16000-byte block and empty, text that
// compresses, bytes that do not, and a file in a subfolder.
std::map<std::string, std::string> SourceFiles() {
    std::mt19937 rng(7);
    std::string noise(70000, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    std::string text;
    while (text.size() < 300000) text += "The quick brown fox jumps over the lazy dog " + std::to_string(text.size()) + "\n";
    return {{"empty.txt", ""},
            {"one.txt", "x"},
            {"block.bin", noise.substr(0, 16000)},
            {"block1.bin", noise.substr(0, 16001)},
            {"noise.bin", noise},
            {"text.txt", text},
            {"sub/inner.txt", "inner file\n"}};
}

struct PeerCase {
    const char* name;
    std::string command;  // run in the source folder; writes ../a.zip
    std::string password;
};

void PrintTo(const PeerCase& c, std::ostream* os) { *os << c.name; }

class PeerArchives : public ProfileTest, public ::testing::WithParamInterface<PeerCase> {
protected:
    void SetUp() override {
        for (const auto& [name, data] : SourceFiles()) env.WriteText("src/" + name, data);
    }
};

TEST_P(PeerArchives, ExtractByteForByte) {
    std::string cmd = "cd '" + env.Scratch("src") + "' && " + GetParam().command + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    TUnZipper z;
    z.SetZipName(env.Win("a.zip"));
    z.SetDestDir(env.Win("out"));
    z.DoAll = true;
    z.RecreateDirs = true;
    z.Password = GetParam().password;
    int bad = 0;
    z.OnBadCRC = [&](TObject*, Integer, Integer, Integer) { ++bad; };
    z.OnSkippingFile = [&](TObject*, TSkipReason, Integer) { ++bad; };
    z.UnZip();
    EXPECT_EQ(bad, 0);
    for (const auto& [name, data] : SourceFiles()) {
        EXPECT_EQ(env.ReadText(env.Scratch("out/" + name)), data) << name;
    }
    // No temporary file is left in the destination.
    for (const auto& e : fs::recursive_directory_iterator(env.Scratch("out")))
        EXPECT_EQ(e.path().extension().string() == ".TMP", false) << e.path();
}

const std::string kPyWrite =
    "python3 -c \"import zipfile,os,sys\nz=zipfile.ZipFile('../a.zip','w',%s)\n"
    "for r,d,f in os.walk('.'):\n for n in f:\n  p=os.path.join(r,n)[2:]\n  z.write(p)\nz.comment=b'made by python'\nz.close()\"";

std::string Py(const std::string& args) {
    std::string s = kPyWrite;
    return s.replace(s.find("%s"), 2, args);
}

// Info-ZIP at every level from -0 (stored) to -9.
std::vector<PeerCase> InfoZipLevels() {
    static const char* const kNames[] = {"InfoZipLevel0", "InfoZipLevel1", "InfoZipLevel2", "InfoZipLevel3",
                                         "InfoZipLevel4", "InfoZipLevel5", "InfoZipLevel6", "InfoZipLevel7",
                                         "InfoZipLevel8", "InfoZipLevel9"};
    std::vector<PeerCase> cases;
    for (int level = 0; level <= 9; ++level)
        cases.push_back(PeerCase{kNames[level], "zip -q -r -" + std::to_string(level) + " ../a.zip .", ""});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(InfoZipLevels, PeerArchives, ::testing::ValuesIn(InfoZipLevels()),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Peers, PeerArchives,
    ::testing::Values(
        PeerCase{"PythonStored", Py("zipfile.ZIP_STORED"), ""},
        PeerCase{"PythonDeflated", Py("zipfile.ZIP_DEFLATED"), ""},
        PeerCase{"PythonDeflatedLevel1", Py("zipfile.ZIP_DEFLATED,compresslevel=1"), ""},
        // Written to a pipe, zipfile cannot seek back and uses data descriptors.
        PeerCase{"PythonDataDescriptors",
                 "python3 -c \"import zipfile,os,sys\nclass W:\n def __init__(s,f): s.f=f\n def write(s,b): return s.f.write(b)\n"
                 " def flush(s): s.f.flush()\nf=open('../a.zip','wb')\nz=zipfile.ZipFile(W(f),'w',zipfile.ZIP_DEFLATED)\n"
                 "for r,d,fs in os.walk('.'):\n for n in fs:\n  p=os.path.join(r,n)[2:]\n  with open(p,'rb') as s, z.open(p,'w') as o: o.write(s.read())\n"
                 "z.close(); f.close()\"",
                 ""},
        PeerCase{"InfoZipPassword", "zip -q -r -P 'pa ss' ../a.zip .", "pa ss"},
        PeerCase{"InfoZipComment", "echo 'archive comment' | zip -q -r -z ../a.zip .", ""},
        PeerCase{"SevenZipZipCrypto", "7zz a -tzip -mem=ZipCrypto -psecret ../a.zip .", "secret"},
        PeerCase{"SevenZipDeflate", "7zz a -tzip ../a.zip .", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, Utf8NamesFromPeersComeBackAsUtf8) {
    const std::string name = "\xc3\x84rger \xe2\x82\xac \xe4\xb8\xad.txt";  // Ä, euro sign, a CJK character
    env.WriteText("src/" + name, "unicode");
    std::string cmd = "cd '" + env.Scratch("src") + "' && python3 -c \"import zipfile\nz=zipfile.ZipFile('../p.zip','w')\n"
                      "z.write('" + name + "')\nz.close()\" && LC_ALL=C.UTF-8 zip -q ../i.zip '" + name + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    for (const char* archive : {"p.zip", "i.zip"}) {
        TUnZipper z;
        z.SetZipName(env.Win(archive));
        z.ReadZip();
        ASSERT_EQ(z.Count(), 1) << archive;
        EXPECT_EQ(z.Filename(0), name) << archive;
        z.SetDestDir(env.Win(std::string("out-") + archive));
        z.DoAll = true;
        EXPECT_EQ(z.UnZip(), 1);
        EXPECT_EQ(env.ReadText(env.Scratch(std::string("out-") + archive + "/" + name)), "unicode");
    }
}

TEST_F(ProfileTest, InfoZipSplitPartsAreReadThroughGetNextDisk) {
    for (const auto& [name, data] : SourceFiles()) env.WriteText("src/" + name, data);
    std::string cmd = "cd '" + env.Scratch("src") + "' && zip -q -r -s 64k ../s.zip . >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_TRUE(fs::exists(env.Scratch("s.z01")));
    TUnZipper z;
    z.SetZipName(env.Win("s.zip"));
    std::vector<Integer> asked;
    const String last = env.Win("s.zip");
    z.OnGetNextDisk = [&](TObject*, Integer disk, String& name) {
        asked.push_back(disk);
        char part[8];
        std::snprintf(part, sizeof part, ".z%02d", disk);
        String candidate = last.substr(0, last.size() - 4) + part;
        name = FileExists(candidate) ? candidate : last;
    };
    z.SetDestDir(env.Win("out"));
    z.DoAll = true;
    z.RecreateDirs = true;
    z.UnZip();
    EXPECT_EQ(z.MultiMode(), TMultiMode::mmBlocks);
    for (const auto& [name, data] : SourceFiles()) EXPECT_EQ(env.ReadText(env.Scratch("out/" + name)), data) << name;
    EXPECT_FALSE(asked.empty());
    // The component still names the archive, and a second run works the same way.
    EXPECT_EQ(z.ZipName(), last);
    z.OverwriteMode = TUZOverwriteMode::Always;
    EXPECT_EQ(z.UnZip(), static_cast<Integer>(z.Count()));
}

TEST_F(ProfileTest, SpannedMediaOnARemovableDriveWithLabels) {
    for (const auto& [name, data] : SourceFiles()) env.WriteText("src/" + name, data);
    std::string cmd = "cd '" + env.Scratch("src") + "' && zip -q -r -s 64k ../s.zip . >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    // Each part goes onto its own medium under the same name, labelled as the writer labels.
    std::vector<std::string> parts;
    for (int i = 1; fs::exists(env.Scratch("s.z" + std::string(i < 10 ? "0" : "") + std::to_string(i))); ++i)
        parts.push_back(env.Scratch("s.z" + std::string(i < 10 ? "0" : "") + std::to_string(i)));
    parts.push_back(env.Scratch("s.zip"));
    std::vector<std::string> media;
    platform::AddDrive('A', platform::DriveKind::Removable);
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string medium = env.Scratch("disk" + std::to_string(i + 1));
        fs::create_directories(medium);
        fs::copy_file(parts[i], medium + "/BACKUP.ZIP");
        platform::InsertMedium('A', medium);
        char label[16];
        std::snprintf(label, sizeof label, "PKBACK# %3.3d", static_cast<int>(i + 1));
        platform::SetDriveLabel('A', label);
        media.push_back(medium);
    }
    // The last disk is in the drive when the archive is opened.
    TUnZipper z;
    z.SetZipName("A:\\BACKUP.ZIP");
    int wrongInserts = 0;
    z.OnGetNextDisk = [&](TObject*, Integer disk, String&) {
        // The first time a wrong disk goes in; the label check asks again.
        if (wrongInserts == 0 && disk > 1) {
            ++wrongInserts;
            platform::InsertMedium('A', media[static_cast<size_t>(disk - 2)]);
            return;
        }
        platform::InsertMedium('A', media[static_cast<size_t>(disk - 1)]);
    };
    z.SetDestDir(env.Win("out"));
    z.DoAll = true;
    z.RecreateDirs = true;
    z.SortMode = TZipSortMode::ByNone;
    z.UnZip();
    EXPECT_EQ(z.MultiMode(), TMultiMode::mmSpan);
    EXPECT_EQ(wrongInserts, 1);
    for (const auto& [name, data] : SourceFiles()) EXPECT_EQ(env.ReadText(env.Scratch("out/" + name)), data) << name;
    // A refused disk ends the run with the user's cancel.
    z.OnGetNextDisk = [](TObject*, Integer, String& name) { name.clear(); };
    platform::InsertMedium('A', media.back());
    z.OverwriteMode = TUZOverwriteMode::Always;
    TUnZipper fresh;
    fresh.SetZipName("A:\\BACKUP.ZIP");
    fresh.OnGetNextDisk = [](TObject*, Integer, String& name) { name.clear(); };
    fresh.SetDestDir(env.Win("out2"));
    fresh.DoAll = true;
    try {
        fresh.UnZip();
        FAIL();
    } catch (const EUserCanceled& e) {
        EXPECT_STREQ(e.what(), "User canceled loading new disk.");
    }
    EXPECT_FALSE(fresh.Busy());
    platform::RemoveDrive('A');
}

TEST_F(ProfileTest, ExistingFileSurvivesAFailedExtraction) {
    env.WriteText("src/f.txt", std::string(50000, 'a'));
    std::string cmd = "cd '" + env.Scratch("src") + "' && zip -q -0 ../a.zip f.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    // Cut the archive inside the entry's data: "Premature end of file reached".
    fs::resize_file(env.Scratch("a.zip"), 30000);
    env.WriteText("out/f.txt", "precious");
    TUnZipper z;
    z.SetZipName(env.Win("a.zip"));
    z.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    z.SetDestDir(env.Win("out"));
    z.DoAll = true;
    z.OverwriteMode = TUZOverwriteMode::Always;
    EXPECT_THROW(z.UnZip(), EFatalUnzipError);
    EXPECT_EQ(env.ReadText(env.Scratch("out/f.txt")), "precious");
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(env.Scratch("out"))) ++files, (void)e;
    EXPECT_EQ(files, 1u);
}

}  // namespace

namespace {

TEST_F(ProfileTest, RelativeDestinationIsTakenFromTheCurrentFolder) {
    env.WriteText("src/sub/f.txt", "relative");
    ASSERT_EQ(std::system(("cd '" + env.Scratch("src") + "' && zip -q -r ../a.zip sub").c_str()), 0);
    ChDir(env.Win());
    TUnZipper z;
    z.SetZipName("a.zip");
    z.SetDestDir("rel");
    z.DoAll = true;
    z.RecreateDirs = true;
    EXPECT_EQ(z.UnZip(), 2);
    EXPECT_EQ(env.ReadText(env.Scratch("rel/sub/f.txt")), "relative");
    EXPECT_EQ(GetCurrentDir(), env.Win());
}

}  // namespace

namespace {

// Info-ZIP keeps local headers whole within a split part but lets data, the 12-byte
// encryption header included, run on into the next part. A first file of the right size
// puts the second entry's local header just before the edge of the first 64k part.
TEST_F(ProfileTest, EncryptionHeaderAcrossASplitEdge) {
    std::mt19937 rng(11);
    std::string second(3000, '\0');
    for (char& c : second) c = static_cast<char>(rng());
    env.WriteText("src/b.bin", second);
    std::string first;
    bool straddles = false;
    for (int size : {65370, 65366, 65374, 65362, 65378, 65358}) {
        first.assign(static_cast<size_t>(size), '\0');
        for (char& c : first) c = static_cast<char>(rng());
        env.WriteText("src/a.bin", first);
        std::string cmd = "cd '" + env.Scratch("src") + "' && rm -f ../s.z* && zip -q -0 -s 64k -P pw ../s.zip a.bin b.bin";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        // The last local header of the first part must end less than 12 bytes before its end.
        const std::string part = env.ReadText(env.Scratch("s.z01"));
        const size_t at = part.rfind(std::string("PK\x03\x04", 4));
        if (at == std::string::npos || at + 30 > part.size()) continue;
        auto u16 = [&](size_t i) { return static_cast<size_t>(static_cast<Byte>(part[i]) | static_cast<Byte>(part[i + 1]) << 8); };
        const size_t end = at + 30 + u16(at + 26) + u16(at + 28);
        if (part.size() == 65536 && end < part.size() && end + 12 > part.size()) {
            straddles = true;
            break;
        }
    }
    ASSERT_TRUE(straddles) << "no size put an encryption header across the part edge";
    const String last = env.Win("s.zip");
    auto nextPart = [&](TObject*, Integer disk, String& name) {
        char part[8];
        std::snprintf(part, sizeof part, ".z%02d", disk);
        String candidate = last.substr(0, last.size() - 4) + part;
        name = FileExists(candidate) ? candidate : last;
    };
    // A wrong password first: the retry goes back to the header's start on the first part.
    TUnZipper one;
    one.SetZipName(last);
    one.OnGetNextDisk = nextPart;
    one.SetDestDir(env.Win("one"));
    one.FilesList.Add("b.bin");
    one.Password = "wrong";
    int asked = 0;
    one.OnBadPassword = [&](TObject*, Integer, String& pw) {
        ++asked;
        pw = "pw";
    };
    EXPECT_EQ(one.UnZip(), 1);
    EXPECT_GE(asked, 1);
    EXPECT_EQ(env.ReadText(env.Scratch("one/b.bin")), second);

    TUnZipper all;
    all.SetZipName(last);
    all.OnGetNextDisk = nextPart;
    all.SetDestDir(env.Win("all"));
    all.DoAll = true;
    all.Password = "pw";
    int bad = 0;
    all.OnBadCRC = [&](TObject*, Integer, Integer, Integer) { ++bad; };
    all.OnSkippingFile = [&](TObject*, TSkipReason, Integer) { ++bad; };
    EXPECT_EQ(all.UnZip(), 2);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(env.ReadText(env.Scratch("all/a.bin")), first);
    EXPECT_EQ(env.ReadText(env.Scratch("all/b.bin")), second);
}

}  // namespace
