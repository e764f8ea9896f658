// Output paths: long names go through their temporary file in full.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/common/TestProfile.h"
#include "zip/UnZipper.h"

namespace {

using tarvik::test::ProfileTest;

TEST_F(ProfileTest, LongOutputPathsGoThroughTheirTemporaryFile) {
    // Far past the old 260-character limit of temporary names.
    const std::string name = std::string(200, 'x') + "/" + std::string(150, 'y') + "/" + std::string(100, 'z') + ".txt";
    const std::string script = env.Scratch("mk.py");
    std::ofstream(script) << "import zipfile\nwith zipfile.ZipFile('" << env.Scratch("a.zip")
                          << "','w') as z:\n  z.writestr('" << name << "','long')\n";
    ASSERT_EQ(std::system(("python3 '" + script + "'").c_str()), 0);
    TUnZipper z;
    z.SetZipName(env.Win("a.zip"));
    z.SetDestDir(env.Win("out"));
    z.DoAll = true;
    z.RecreateDirs = true;
    EXPECT_EQ(z.UnZip(), 1);
    EXPECT_EQ(env.ReadText(env.Scratch("out/" + name)), "long");
    size_t files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(env.Scratch("out")))
        if (e.is_regular_file()) ++files;
    EXPECT_EQ(files, 1u);
}

}  // namespace
