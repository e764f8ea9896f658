// Checks made while the directory is read: entries whose bytes overlap (the "overlapped
// components" zip bomb) are refused, entries that only touch are not, and a rebuild from
// local headers stops at the list's limit with the engine's own error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "ReadTestSupport.h"
#include "tests/common/TestProfile.h"
#include "zip/UnZipper.h"

namespace {

using tarvik::test::ProfileTest;

// Two stored entries written by hand. With overlap, the data of a.txt is the whole local
// record of b.txt, and b.txt's central record points into it; without, b.txt follows a.txt.
std::vector<Byte> TwoEntries(bool overlap) {
    return ziptest::PythonZip(
        "import struct,zlib\n"
        "def local(name,data):\n"
        "  return struct.pack('<IHHHHHIIIHH',0x04034b50,10,0,0,0,0x21,zlib.crc32(data),len(data),len(data),len(name),0)+name+data\n"
        "def central(name,data,off):\n"
        "  return struct.pack('<IHHHHHHIIIHHHHHII',0x02014b50,20,10,0,0,0,0x21,zlib.crc32(data),len(data),len(data),"
        "len(name),0,0,0,0,0,off)+name\n"
        "D=b'payload '*8\n"
        "lb=local(b'b.txt',D)\n"
        "a=lb if " + std::string(overlap ? "True" : "False") + " else b'x'*len(lb)\n"
        "la=local(b'a.txt',a)\n"
        "boff=35 if " + std::string(overlap ? "True" : "False") + " else len(la)\n"
        "body=la if boff<len(la) else la+lb\n"
        "cd=central(b'a.txt',a,0)+central(b'b.txt',D,boff)\n"
        "buf.write(body+cd+struct.pack('<IHHHHIIH',0x06054b50,0,0,2,2,len(cd),len(body),0))\n");
}

TEST_F(ProfileTest, OverlappingEntriesAreRefused) {
    const std::vector<Byte> bytes = TwoEntries(true);
    ASSERT_FALSE(bytes.empty());
    std::ofstream(env.Scratch("ov.zip"), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                  static_cast<std::streamsize>(bytes.size()));
    // The peer sees the same fault in this archive.
    const std::string peer = "unzip -t '" + env.Scratch("ov.zip") + "' 2>&1 | grep -q 'overlapped components'";
    EXPECT_EQ(std::system(peer.c_str()), 0);
    TUnZipper z;
    z.SetZipName(env.Win("ov.zip"));
    z.SetDestDir(env.Win("out"));
    z.DoAll = true;
    try {
        z.UnZip();
        FAIL() << "an overlapping archive was accepted";
    } catch (const EFatalUnzipError& e) {
        EXPECT_NE(std::string(e.what()).find("overlap"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("out/a.txt")));
    EXPECT_FALSE(std::filesystem::exists(env.Scratch("out/b.txt")));
}

TEST(DirectoryOverlap, EntriesThatTouchAreAccepted) {
    ziptest::MemoryUnZipper z;
    z.files["A:\\t.zip"] = TwoEntries(false);
    z.SetZipName("A:\\t.zip");
    z.SetDestDir("C:\\out");
    z.DoAll = true;
    EXPECT_EQ(z.UnZip(), 2);
    std::string payload;
    for (int i = 0; i < 8; ++i) payload += "payload ";
    EXPECT_EQ(ziptest::Text(z.outputs.at("C:\\out\\b.txt").bytes), payload);
}

TEST(DirectoryRebuild, MoreLocalHeadersThanTheListHoldsAreRefused) {
    ziptest::MemoryUnZipper z;
    // 65,535 empty stored entries and no central directory.
    z.files["A:\\many.zip"] = ziptest::PythonZip(
        "import struct\n"
        "h=struct.pack('<IHHHHHIIIHH',0x04034b50,10,0,0,0,0x21,0,0,0,1,0)+b'x'\n"
        "buf.write(h*65535)\n");
    z.SetZipName("A:\\many.zip");
    z.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    try {
        z.ReadZip();
        FAIL() << "the rebuild listed more entries than the list holds";
    } catch (const EFatalUnzipError& e) {
        EXPECT_STREQ(e.what(), "The archive holds 65535 entries; at most 65534 can be listed");
    }
}

}  // namespace
