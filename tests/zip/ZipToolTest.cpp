#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "tests/common/TestProfile.h"
#include "tests/zip/SharedData.h"

namespace {

using tarvik::test::ProfileTest;

struct ToolRun {
    int rc;
    std::string out;
};

ToolRun ZipTool(const std::string& args) {
    std::string cmd = std::string(TARVIK_BIN_DIR) + "/../tools/ziptool " + args + " 2>&1";
    ToolRun r{-1, ""};
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

const std::string kData = std::string(TARVIK_SHARED_DIR) + "/testdata/";

TEST_F(ProfileTest, ZipToolListsTestsAndExtracts) {
    SKIP_WITHOUT_SHARED("testdata");
    ToolRun list = ZipTool("list " + kData + "deflate/ccomp-bla.zip");
    EXPECT_EQ(list.rc, 0);
    EXPECT_NE(list.out.find("deflated         610        318 0f54eacb 2007-11-14 11:19:02 test1.xml"), std::string::npos)
        << list.out;
    EXPECT_EQ(ZipTool("test " + kData + "old-methods/d2s-IMPLODE.ZIP").rc, 0);
    ToolRun extract = ZipTool("extract " + kData + "stored/go-unix.zip --dest " + env.Scratch("out"));
    EXPECT_EQ(extract.rc, 0) << extract.out;
    EXPECT_FALSE(env.ReadText(env.Scratch("out/hello")).empty());
}

TEST_F(ProfileTest, ZipToolReportsFailuresWithExitCodes) {
    SKIP_WITHOUT_SHARED("testdata");
    ToolRun wrong = ZipTool("test " + kData + "encrypted/libzip-encrypt.zip --password nope");
    EXPECT_EQ(wrong.rc, 1);
    EXPECT_NE(wrong.out.find("skipped (bad password): encrypted"), std::string::npos) << wrong.out;
    ToolRun zip64 = ZipTool("list " + kData + "zip64/go-zip64.zip");
    EXPECT_EQ(zip64.rc, 2);
    EXPECT_NE(zip64.out.find("ziptool: error: Zip64 archives are not supported"), std::string::npos);
    EXPECT_EQ(ZipTool("frobnicate x").rc, 2);
    ToolRun missing = ZipTool("list " + env.Scratch("missing.zip"));
    EXPECT_EQ(missing.rc, 2);
    EXPECT_NE(missing.out.find("Cannot open file"), std::string::npos) << missing.out;
}

TEST_F(ProfileTest, ZipToolNamesTheDecodersReason) {
    // A deflated entry whose declared size is larger than its data; the CRC is the data's.
    const std::string script = env.Scratch("mk.py");
    std::ofstream(script) << "import zipfile\nwith zipfile.ZipFile('" << env.Scratch("a.zip")
                          << "','w',zipfile.ZIP_DEFLATED) as z:\n  z.writestr('short.txt','hello '*100)\n"
                          << "b=bytearray(open('" << env.Scratch("a.zip") << "','rb').read())\n"
                          << "b[22:26]=(610).to_bytes(4,'little'); c=b.rfind(b'PK\\x01\\x02'); b[c+24:c+28]=(610).to_bytes(4,'little')\n"
                          << "open('" << env.Scratch("a.zip") << "','wb').write(b)\n";
    ASSERT_EQ(std::system(("python3 '" + script + "'").c_str()), 0);
    ToolRun run = ZipTool("test " + env.Scratch("a.zip"));
    EXPECT_EQ(run.rc, 1) << run.out;
    EXPECT_NE(run.out.find("data shorter than its declared size"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("bad CRC"), std::string::npos) << run.out;
}

}  // namespace
