// Reading a directory whose records disagree: entry counts below the records, overlap bombs
// behind disk numbers and rebuilds, bytes lost or added inside, self-extracting stubs whose
// offsets were never adjusted, a descriptor flag only the central record claims, and calls
// back into the component while it scans.
#include <gtest/gtest.h>

#include "ReadTestSupport.h"
#include "ZipperTestSupport.h"
#include "platform/MessagePump.h"

namespace {

using ziptest::MemoryUnZipper;
using ziptest::Text;
using zipwritetest::Quote;
using zipwritetest::RunShell;

// Eight stored entries "f0.txt".."f7.txt", each with the comment "note i". The writer is
// Python's zipfile, on a stream that cannot seek when `descriptors` (so every entry gets a
// data descriptor). `patch` then edits the bytearray b, with e the end record's position and
// local(i) the position of entry i's local header.
std::vector<Byte> Eight(const std::string& patch, bool descriptors = false) {
    return ziptest::PythonZip(
        "import struct,re\n"
        "class Pipe(io.RawIOBase):\n"
        "  def __init__(s): s.d=bytearray()\n"
        "  def writable(s): return True\n"
        "  def write(s,x): s.d+=x; return len(x)\n"
        "out=Pipe() if " + std::string(descriptors ? "True" : "False") + " else buf\n"
        "with zipfile.ZipFile(out,'w') as z:\n"
        "  for i in range(8):\n"
        "    n=zipfile.ZipInfo('f%d.txt'%i); n.comment=b'note %d'%i; z.writestr(n,('entry %d '%i)*20)\n"
        "b=bytearray(out.d if out is not buf else buf.getvalue())\n"
        "e=b.rfind(b'PK\\x05\\x06')\n"
        "def local(i): return [m.start() for m in re.finditer(b'PK\\x03\\x04',b)][i]\n"
        "def central(i): return [m.start() for m in re.finditer(b'PK\\x01\\x02',b)][i]\n" +
        patch + "buf=io.BytesIO(bytes(b))\n");
}

std::string Content(int i) {
    std::string s;
    for (int k = 0; k < 20; ++k) s += "entry " + std::to_string(i) + " ";
    return s;
}

std::string ReadError(MemoryUnZipper& z) {
    try {
        z.ReadZip();
    } catch (const Exception& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(DirectoryCounts, ACountBelowTheRecordsListsEveryRecordAndAnUpdateKeepsThem) {
    tarvik::test::ScopedTestProfile env;
    // Both count fields say 2, as writers that kept the count modulo 65536 left it.
    const std::vector<Byte> low = Eight("b[e+8:e+12]=struct.pack('<HH',2,2)\n");
    zipwritetest::WriteFile(env.Scratch("a.zip"), Text(low));
    env.WriteText("new.txt", "new");
    TZipper z;
    z.DoProcessMessages = false;
    z.SetZipName(env.Win("a.zip"));
    z.ReadZip();
    EXPECT_EQ(z.Count(), 8);
    z.FilesList.Add(env.Win("new.txt"));
    ASSERT_EQ(z.Zip(), 1);
    const auto peer = RunShell("python3 -c 'import zipfile,sys; print(len(zipfile.ZipFile(sys.argv[1]).namelist()))' " +
                               Quote(env.Scratch("a.zip")));
    EXPECT_EQ(peer.output, "9\n");

    // A count above the records is entries missing.
    MemoryUnZipper high;
    high.files["A:\\a.zip"] = Eight("b[e+8:e+12]=struct.pack('<HH',9,9)\n");
    high.SetZipName("A:\\a.zip");
    EXPECT_EQ(ReadError(high), "The central directory is damaged: it holds 8 entries, the end record counts 9");
}

// Entry 0's central record claims compressed data that runs over entry 1: one small archive
// expanding into many outputs. Every way of reading it must refuse it.
struct BombCase {
    const char* name;
    const char* patch;
};

class OverlapBombs : public ::testing::TestWithParam<BombCase> {};

TEST_P(OverlapBombs, AreRefusedOnEveryPath) {
    MemoryUnZipper z;
    z.files["A:\\a.zip"] = Eight(std::string("c=central(0); b[c+20:c+24]=struct.pack('<I',local(2)-local(0)-36)\n") +
                                 GetParam().patch);
    z.SetZipName("A:\\a.zip");
    EXPECT_NE(ReadError(z).find("\"f0.txt\" and \"f1.txt\" overlap"), std::string::npos) << ReadError(z);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, OverlapBombs,
    ::testing::Values(
        BombCase{"AsIs", ""},
        // "This disk" and the directory's disk 1 in the end record, and every entry on disk 1.
        BombCase{"AllOnDiskOne",
                 "b[e+4:e+8]=struct.pack('<HH',1,1)\nfor i in range(8): b[central(i)+34:central(i)+36]=b'\\x01\\x00'\n"},
        BombCase{"EndRecordOnDiskOne", "b[e+4:e+8]=struct.pack('<HH',1,1)\n"},
        // Central offset 0: the directory is found where the end record puts it.
        BombCase{"CentralOffsetZero", "b[e+16:e+20]=b'\\0\\0\\0\\0'\n"},
        // Central offset 0 and a size one too big: only the rebuild from local headers is left.
        BombCase{"Rebuilt", "b[e+16:e+20]=b'\\0\\0\\0\\0'\nb[e+12:e+16]=struct.pack('<I',e-central(0)+1)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// 97 bytes lost from or added to entry 3's data: entries 0 to 3 stand at their stated
// offsets, 4 to 7 do not. Peers report the damage; success with four entries would lose four.
class ShiftedInside : public ::testing::TestWithParam<BombCase> {};

TEST_P(ShiftedInside, FailsWithTheCountItCouldRead) {
    MemoryUnZipper z;
    z.files["A:\\a.zip"] = Eight(GetParam().patch);
    z.SetZipName("A:\\a.zip");
    EXPECT_EQ(ReadError(z).rfind("The archive is damaged: only 4 of its 8 entries could be read", 0), 0u) << ReadError(z);
}

INSTANTIATE_TEST_SUITE_P(Shapes, ShiftedInside,
                         ::testing::Values(BombCase{"BytesLost", "x=local(3)+50; b[x:x+97]=b''\n"},
                                           BombCase{"BytesAdded", "x=local(3)+50; b[x:x]=b'+'*97\n"},
                                           // The directory's size is wrong too: the rebuild scan
                                           // stops inside entry 4.
                                           BombCase{"BytesLostRebuilt",
                                                    "x=local(3)+50; b[x:x+97]=b''; e-=97\n"
                                                    "b[e+12:e+16]=struct.pack('<I',e-central(0)+1)\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A message handler that calls back into the component while it scans a 30 KB prefix: every
// call that reads the archive is refused, and the scan goes on with its stream intact.
MemoryUnZipper* reentered = nullptr;
int refused = 0;

void CallBackIn() {
    for (auto call : {+[] { reentered->ReadZip(); }, +[] { reentered->OpenZip(); }, +[] { reentered->ZipSize(); }}) {
        try {
            call();
        } catch (const EZipBusy&) {
            ++refused;
        }
    }
}

TEST(DirectoryReentry, CallsFromTheMessageLoopDuringARebuildAreRefused) {
    MemoryUnZipper z;
    // No end record: the list is rebuilt from the local headers behind 30,000 scanned bytes.
    z.files["A:\\a.zip"] = Eight("b=bytearray(b'x'*30000)+b[:e]\n");
    z.SetZipName("A:\\a.zip");
    z.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    reentered = &z;
    refused = 0;
    platform::SetMessagePump(&CallBackIn);
    struct Restore {
        ~Restore() { platform::SetMessagePump(nullptr); }
    } restore;
    z.ReadZip();
    EXPECT_EQ(refused, 6);  // three calls at each of the two pumps (10,240 and 20,480 bytes)
    ASSERT_EQ(z.Count(), 8);
    EXPECT_EQ(z.FileComment(7), "note 7");
    EXPECT_FALSE(z.Busy());
}

// Self-extracting files made by putting a stub in front of an archive: every offset in the
// archive is short by the stub's length. Peers correct them all by that length.
struct StubCase {
    const char* name;
    const char* stub;  // a Python bytes expression
    bool descriptors;
};

class Stubs : public ::testing::TestWithParam<StubCase> {
protected:
    tarvik::test::ScopedTestProfile env;
};

TEST_P(Stubs, EveryEntryIsListedWithItsCommentAndExtractedAsUnzipDoes) {
    MemoryUnZipper z;
    const std::vector<Byte> bytes = Eight(std::string("b=bytearray(") + GetParam().stub + ")+b\n", GetParam().descriptors);
    zipwritetest::WriteFile(env.Scratch("sfx.exe"), Text(bytes));
    z.files["A:\\sfx.exe"] = bytes;
    z.SetZipName("A:\\sfx.exe");
    z.SetDestDir("C:\\out");
    z.DoAll = true;
    ASSERT_NO_THROW(z.ReadZip());
    ASSERT_EQ(z.Count(), 8);
    ASSERT_EQ(z.UnZip(), 8);
    for (int i = 0; i < 8; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        EXPECT_EQ(z.FileComment(i), "note " + std::to_string(i));
        const std::string peer = RunShell("(unzip -p " + Quote(env.Scratch("sfx.exe")) + " " + name + " 2>/dev/null)").output;
        EXPECT_EQ(peer, Content(i));
        EXPECT_EQ(Text(z.outputs.at("C:\\out\\" + name).bytes), peer) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, Stubs,
                         ::testing::Values(StubCase{"Plain", "b'MZ'+b'\\x90'*4000", false},
                                           StubCase{"HoldingALocalSignature", "b'MZ'+b'\\x90'*100+b'PK\\x03\\x04'+b'\\x90'*900", false},
                                           StubCase{"DataDescriptors", "b'MZ'+b'\\x90'*4000", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DirectoryFlags, ADescriptorOnlyTheCentralRecordClaimsTakesNoRoom) {
    MemoryUnZipper z;
    z.files["A:\\a.zip"] = Eight("c=central(2); b[c+8]|=8\n");
    z.SetZipName("A:\\a.zip");
    z.SetDestDir("C:\\out");
    z.DoAll = true;
    ASSERT_EQ(z.UnZip(), 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Text(z.outputs.at("C:\\out\\f" + std::to_string(i) + ".txt").bytes), Content(i));
}

}  // namespace
