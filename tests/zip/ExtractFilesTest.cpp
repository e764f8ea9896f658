// What extraction leaves on a real file system: names that differ only in case are two
// files, and entries made on Unix keep their read and execute bits (never set-id bits) while
// symbolic links come out as the regular files holding their targets' names.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ReadTestSupport.h"
#include "tests/common/TestProfile.h"
#include "zip/UnZipper.h"

namespace {

using tarvik::test::ProfileTest;

class ExtractFiles : public ProfileTest {
protected:
    // Writes the archive that the Python body makes and extracts all of it into "out".
    Integer Extract(const std::string& python) {
        const std::vector<Byte> bytes = ziptest::PythonZip(python);
        env.WriteText("a.zip", ziptest::Text(bytes));
        z.SetZipName(env.Win("a.zip"));
        z.SetDestDir(env.Win("out"));
        z.DoAll = true;
        z.DoProcessMessages = false;
        z.OverwriteMode = TUZOverwriteMode::Always;
        return z.UnZip();
    }
    mode_t Mode(const std::string& name) {
        struct stat st {};
        EXPECT_EQ(::lstat(env.Scratch("out/" + name).c_str(), &st), 0) << name;
        return st.st_mode;
    }
    TUnZipper z;
};

TEST_F(ExtractFiles, NamesThatDifferOnlyInCaseAreBothWritten) {
    ASSERT_EQ(Extract("with zipfile.ZipFile(buf,'w') as z:\n  z.writestr('README','upper')\n  z.writestr('readme','lower')\n"), 2);
    EXPECT_EQ(env.ReadText(env.Scratch("out/README")), "upper");
    EXPECT_EQ(env.ReadText(env.Scratch("out/readme")), "lower");
}

TEST_F(ExtractFiles, UnixModesKeepReadAndExecuteBitsAndLinksBecomeRegularFiles) {
    ASSERT_EQ(Extract("def add(z,name,mode,data):\n"
                      "  i=zipfile.ZipInfo(name); i.create_system=3; i.external_attr=mode<<16; z.writestr(i,data)\n"
                      "with zipfile.ZipFile(buf,'w') as z:\n"
                      "  add(z,'run.sh',0o100755,'#!/bin/sh\\n')\n"
                      "  add(z,'setid',0o106755,'x')\n"
                      "  add(z,'ro.txt',0o100444,'r')\n"
                      "  add(z,'link',0o120777,'run.sh')\n"),
              4);
    EXPECT_EQ(Mode("run.sh") & 0555, 0555u);
    EXPECT_EQ(Mode("setid") & 07555, 0555u);  // executable, never set-id
    EXPECT_EQ(Mode("ro.txt") & 0777, 0444u);
    const mode_t link = Mode("link");
    EXPECT_TRUE(S_ISREG(link));
    EXPECT_EQ(link & 0111, 0u);
    EXPECT_EQ(env.ReadText(env.Scratch("out/link")), "run.sh");
}

}  // namespace
