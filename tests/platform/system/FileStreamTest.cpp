#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "platform/AtomicFile.h"
#include "platform/Drives.h"
#include "platform/FileStream.h"
#include "tests/common/TestProfile.h"

using tarvik::test::ProfileTest;

namespace {

std::vector<std::string> ListAll(const String& folder) {
    std::vector<std::string> names;
    TSearchRec f;
    for (Integer r = FindFirst(folder + "\\*.*", faAnyFile & ~faDirectory, f); r == 0; r = FindNext(f))
        names.push_back(f.Name);
    FindClose(f);
    return names;
}

TEST_F(ProfileTest, FileStreamReadsWritesSeeksAndSizes) {
    String name = env.Win("s.bin");
    {
        TFileStream s(name, fmCreate);
        s.WriteBuffer("0123456789", 10);
        EXPECT_EQ(s.Size(), 10);
        s.Seek(-3, soEnd);
        s.WriteBuffer("XYZW", 4);
        EXPECT_EQ(s.Position(), 11);
        s.SetSize(5);
        EXPECT_EQ(s.Size(), 5);
    }
    TFileStream r(name, fmOpenRead | fmShareDenyWrite);
    char buf[8] = {};
    EXPECT_EQ(r.Read(buf, 8), 5);
    EXPECT_EQ(std::string(buf, 5), "01234");
    EXPECT_EQ(r.Read(buf, 8), 0);
    EXPECT_THROW(r.WriteBuffer("x", 1), EWriteError);  // opened for reading only
}

TEST_F(ProfileTest, FileStreamCreateEmptiesAnExistingFile) {
    env.WriteText("old.bin", "previous contents");
    { TFileStream s(env.Win("OLD.BIN"), fmCreate); }
    EXPECT_EQ(env.ReadText(env.Scratch("old.bin")), "");
}

TEST_F(ProfileTest, FileStreamErrorsCarryTheClassLibraryText) {
    String missing = env.Win("missing.bin");
    try {
        TFileStream s(missing, fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"" + missing + "\". The system cannot find the file specified.");
    }
    String noFolder = env.Win("no\\such\\x.bin");
    try {
        TFileStream s(noFolder, fmCreate);
        FAIL() << "created a file in a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + noFolder + "\". The system cannot find the path specified.");
    }
}

class QuotaDrive : public ProfileTest {
protected:
    void SetUp() override {
        std::filesystem::create_directories(env.Scratch("floppy"));
        platform::AddDrive('A', platform::DriveKind::Removable, env.Scratch("floppy"), 1000);
    }
};

TEST_F(QuotaDrive, AWriteThatDoesNotFitRaisesAndLeavesNoPartialTail) {
    TFileStream s("A:\\data.bin", fmCreate);
    std::string block(600, 'a');
    s.WriteBuffer(block.data(), 600);
    EXPECT_THROW(s.WriteBuffer(block.data(), 600), EWriteError);
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(s.Size(), 600);
    EXPECT_EQ(DiskFree(1), 400);
    s.WriteBuffer(block.data(), 400);  // exactly fills the disk
    EXPECT_EQ(DiskFree(1), 0);
    s.SetPosition(0);
    EXPECT_THROW(s.SetSize(1001), EOSError);
}

// Without a quota the system itself may take part of a write and then refuse the rest (here
// the process's file size limit); the part is taken back, for a handle that appends too.
TEST_F(ProfileTest, AWriteTheSystemCutsShortLeavesNoPartialTail) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string block(600, 'a');
    {
        TFileStream s(env.Win("cut.bin"), fmCreate);
        s.WriteBuffer(block.data(), 600);
        EXPECT_THROW(s.WriteBuffer(block.data(), 600), EWriteError);
        EXPECT_EQ(s.Size(), 600);
        EXPECT_EQ(s.Position(), 600);
    }
    const THandle h = platform::FileOpenForAppend(env.Win("cut.bin"));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileWrite(h, block.data(), 600), -1);
    FileClose(h);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(std::filesystem::file_size(env.Scratch("cut.bin")), 600u);
}

TEST_F(QuotaDrive, FullDiskLeavesTheOldFileIntactWithTheAtomicHelper) {
    std::string old(600, 'o');
    {
        TFileStream s("A:\\archive.zip", fmCreate);
        s.WriteBuffer(old.data(), static_cast<Int64>(old.size()));
    }
    {
        platform::AtomicFile f("A:\\archive.zip");
        std::string fresh(600, 'n');
        // The new file counts against the disk while the old one is still there.
        EXPECT_THROW(f.Write(fresh), EWriteError);
    }
    EXPECT_EQ(env.ReadText(env.Scratch("floppy/archive.zip")), old);
    EXPECT_EQ(ListAll("A:\\"), std::vector<std::string>{"archive.zip"});
}

TEST_F(ProfileTest, AtomicFileReplacesOnCommitOnly) {
    env.WriteText("target.ini", "old");
    ASSERT_EQ(::chmod(env.Scratch("target.ini").c_str(), 0640), 0);
    {
        platform::AtomicFile f(env.Win("TARGET.INI"));
        f.Write("discarded");
        EXPECT_EQ(ListAll(env.Win()).size(), 2u);  // the target and the hidden new file
    }
    EXPECT_EQ(env.ReadText(env.Scratch("target.ini")), "old");
    EXPECT_EQ(ListAll(env.Win()), std::vector<std::string>{"target.ini"});
    {
        platform::AtomicFile f(env.Win("target.ini"));
        f.Stream().WriteBuffer("new ", 4);
        f.Write("contents");
        f.Commit();
    }
    EXPECT_EQ(env.ReadText(env.Scratch("target.ini")), "new contents");
    struct stat st {};
    ASSERT_EQ(::stat(env.Scratch("target.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ListAll(env.Win()), std::vector<std::string>{"target.ini"});
    EXPECT_THROW(platform::AtomicFile(env.Win("no\\folder\\x")), EFCreateError);
}

}  // namespace
