// The page on the real zip engine: what it writes is checked by Info-ZIP, 7-Zip and Python.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#include "platform/Drives.h"
#include "platform/FileStream.h"
#include "plugin/InfoPage.h"
#include "plugin/ZipArchive.h"
#include "tests/plugin/PluginTestSupport.h"

namespace qel::test {
namespace {

// Runs a shell command; gives its exit status and fills out with what it printed.
int Shell(const std::string& command, std::string* out = nullptr) {
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, n);
    int status = ::pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

class ZipBackupTest : public PluginTest {
protected:
    TQelPage& MakePage(const std::function<void(TQelSettings&)>& edit = {}) {
        settings.ZipFile = env.Win("backups\\book.zip");
        settings.QelFile = env.Win("data\\watched.txt");
        if (edit) edit(settings);
        SaveQelSettings(env.Win("{1}"), settings);
        page = std::make_unique<TQelPage>(MakeZipArchive(), env.Win("{1}"), FromPosix(TARVIK_BIN_DIR "/Plugins/QelBackup") + "\\");
        page->LoadSettings();
        return *page;
    }
    static String FromPosix(const std::string& p) { return platform::FromPosixPath(p); }
    std::string ZipPosix() const { return platform::ToPosixPath(settings.ZipFile); }
    std::string ArchiveBytes() const { return env.ReadText(ZipPosix()); }
    // Changes the watched file and lets the clock pass so the next check sees a new second.
    void Change(const std::string& text, Integer dosDate) {
        PutFile("data/watched.txt", text, dosDate);
        clock.Advance(2000);
        page->Tick();
    }
    // Another watched file, as the settings dialog would set it, seen by the next check.
    void WatchInstead(const String& file) {
        settings.QelFile = file;
        SaveQelSettings(env.Win("{1}"), settings);
        FileSetDate(env.Win("{1}"), Dos(14));
        clock.Advance(2000);
        page->Tick();
    }
    void ExpectPeersAccept() {
        std::string out;
        EXPECT_EQ(Shell("unzip -t " + Quote(ZipPosix()), &out), 0) << out;
        EXPECT_EQ(Shell("7zz t " + Quote(ZipPosix()), &out), 0) << out;
        EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
                      "sys.exit(0 if z.testzip() is None else 1)\" " + Quote(ZipPosix()), &out),
                  0)
            << out;
    }
    TQelSettings settings;
    std::unique_ptr<TQelPage> page;
};

TEST_F(ZipBackupTest, EachChangeAddsADatedEntryThatThePeersRead) {
    PutFile("data/watched.txt", "version one", Dos(10));
    auto& p = MakePage();
    p.Tick();
    Change("version one", Dos(10));  // nothing changed
    Change("version two!", Dos(10));
    Change("version two!", Dos(12));
    ASSERT_EQ(p.Rows().size(), 3u) << p.Status();
    const String folder = env.Win("data\\");
    for (const auto& row : p.Rows()) {
        EXPECT_EQ(row.FileName, "watched.txt");
        auto cut = row.FullName.find('\\');
        ASSERT_NE(cut, String::npos);
        EXPECT_EQ(row.FullName.substr(cut + 1), folder + "watched.txt");
        // The backup's date: day-month-year joined by "-".
        EXPECT_EQ(row.FullName[2], '-');
        EXPECT_EQ(row.FullName[5], '-');
    }
    EXPECT_NE(p.Rows()[0].FullName, p.Rows()[1].FullName);
    ExpectPeersAccept();
    std::string out;
    Shell("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
        "print(z.comment.decode()); print([z.read(n).decode() for n in z.namelist()])\" " + Quote(ZipPosix()),
        &out);
    EXPECT_NE(out.find("This backup made with corvex system by http://www.brenlo.com/\n"), std::string::npos) << out;
    EXPECT_NE(out.find("['version one', 'version two!', 'version two!']"), std::string::npos) << out;
}

TEST_F(ZipBackupTest, PasswordProtectedEntriesOpenWithUnzipAnd7zz) {
    PutFile("data/watched.txt", "secret text", Dos(10));
    auto& p = MakePage([](TQelSettings& s) {
        s.Pass = "pw123";
        s.Password = true;
    });
    p.Tick();
    ASSERT_EQ(p.Rows().size(), 1u) << p.Status();
    std::string out;
    EXPECT_EQ(Shell("unzip -P pw123 -p " + Quote(ZipPosix()), &out), 0);
    EXPECT_EQ(out, "secret text");
    EXPECT_EQ(Shell("7zz e -so -ppw123 " + Quote(ZipPosix()), &out), 0);
    EXPECT_NE(out.find("secret text"), std::string::npos);
    EXPECT_NE(Shell("unzip -P wrong -p " + Quote(ZipPosix()), &out), 0);
}

TEST_F(ZipBackupTest, RestoreGivesTheOlderVersionByteForByte) {
    PutFile("data/watched.txt", "first version", Dos(10));
    auto& p = MakePage([](TQelSettings& s) {
        s.Pass = "pw";
        s.Password = true;
    });
    p.Tick();
    Change("second, longer version", Dos(12));
    ASSERT_EQ(p.Rows().size(), 2u);
    std::filesystem::create_directories(env.Scratch("restored"));
    EXPECT_TRUE(p.Restore(0, env.Win("restored\\old.txt"))) << (platform::ShownDialogs().empty() ? "" : platform::ShownDialogs().back().text);
    EXPECT_EQ(env.ReadText(env.Scratch("restored/old.txt")), "first version");
    auto boxes = platform::ShownDialogs();
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes.back().text.find("restored to"), String::npos);
    // Nothing of the work is left behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(env.Scratch("restored"))) files += e.exists();
    EXPECT_EQ(files, 1);
}

TEST_F(ZipBackupTest, RestoreAsksBeforeItReplacesAndNoKeepsTheFile) {
    PutFile("data/watched.txt", "archived", Dos(10));
    auto& p = MakePage();
    p.Tick();
    PutFile("target.txt", "keep me");
    platform::SetDialogHook([](platform::DialogRequest& r) {
        return r.text.find("Replace existing file") != String::npos ? IDNO : 0;
    });
    EXPECT_FALSE(p.Restore(0, env.Win("target.txt")));
    EXPECT_EQ(env.ReadText(env.Scratch("target.txt")), "keep me");
    platform::SetDialogHook([](platform::DialogRequest& r) {
        return r.text.find("Replace existing file") != String::npos ? IDYES : 0;
    });
    EXPECT_TRUE(p.Restore(0, env.Win("target.txt")));
    EXPECT_EQ(env.ReadText(env.Scratch("target.txt")), "archived");
}

TEST_F(ZipBackupTest, RestoreWithAWrongPasswordSaysSo) {
    PutFile("data/watched.txt", "secret", Dos(10));
    auto& p = MakePage([](TQelSettings& s) {
        s.Pass = "right";
        s.Password = true;
    });
    p.Tick();
    ASSERT_EQ(p.Rows().size(), 1u);
    settings.Pass = "wrong";
    SaveQelSettings(env.Win("{1}"), settings);
    p.LoadSettings();
    EXPECT_FALSE(p.Restore(0, env.Win("out.txt")));
    EXPECT_FALSE(FileExists(env.Win("out.txt")));
    auto boxes = platform::ShownDialogs();
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes.back().text.find("Wrong password"), String::npos) << boxes.back().text;
}

TEST_F(ZipBackupTest, RemoveOfOneOfTwoEntriesOfTheSameFileKeepsTheOther) {
    PutFile("data/watched.txt", "one", Dos(10));
    auto& p = MakePage();
    p.Tick();
    Change("one two", Dos(10));
    ASSERT_EQ(p.Rows().size(), 2u);
    String kept = p.Rows()[1].FullName;
    EXPECT_TRUE(p.Remove(0));
    ASSERT_EQ(p.Rows().size(), 1u);
    EXPECT_EQ(p.Rows()[0].FullName, kept);
    EXPECT_EQ(p.Rows()[0].Index, 1) << "the other rows keep their numbers";
    ExpectPeersAccept();
    // The row's entry has moved up in the archive; it is still the one restored.
    EXPECT_TRUE(p.Restore(0, env.Win("restored.txt")));
    EXPECT_EQ(env.ReadText(env.Scratch("restored.txt")), "one two");
}

// Versions saved within one 2-second DOS time slot with one size differ only in content.
TEST_F(ZipBackupTest, AChangeWithinOneDosTimeSlotIsBackedUpAlsoAfterARestart) {
    // Saved at 10:00:00 plus the given milliseconds.
    auto save = [&](const std::string& text, long millis) {
        PutFile("data/watched.txt", text, Dos(10));
        struct stat st {};
        ASSERT_EQ(::stat(env.Scratch("data/watched.txt").c_str(), &st), 0);
        struct timespec t[2] = {{st.st_mtim.tv_sec + millis / 1000, (millis % 1000) * 1000000},
                                {st.st_mtim.tv_sec + millis / 1000, (millis % 1000) * 1000000}};
        ASSERT_EQ(::utimensat(AT_FDCWD, env.Scratch("data/watched.txt").c_str(), t, 0), 0);
        clock.Advance(2000);
    };
    save("version 4 longer", 200);
    MakePage().Tick();
    save("version 5 longer", 1400);
    page->Tick();
    ASSERT_EQ(page->Rows().size(), 2u) << page->Status();
    const std::string once = ArchiveBytes();
    page->Tick();
    page.reset();
    MakePage().Tick();  // a restart finds the file in the archive
    EXPECT_EQ(ArchiveBytes(), once);
    page.reset();
    save("version 6 longer", 1900);
    MakePage().Tick();  // changed while no page watched it
    ASSERT_EQ(page->Rows().size(), 3u) << page->Status();
    std::filesystem::create_directories(env.Scratch("out"));
    EXPECT_TRUE(page->Restore(2, env.Win("out\\v.txt")));
    EXPECT_EQ(env.ReadText(env.Scratch("out/v.txt")), "version 6 longer");
}

TEST_F(ZipBackupTest, NamesHoldingStarOrQuestionMarkAreFiles) {
    PutFile("data/a*b?.txt", "pattern-like name", Dos(10));
    PutFile("data/aXbY.txt", "a name the pattern would reach", Dos(10));
    PutFile("data/note*", "no extension", Dos(10));
    auto& p = MakePage([&](TQelSettings& s) { s.QelFile = env.Win("data\\a*b?.txt"); });
    p.Tick();
    ASSERT_EQ(p.Rows().size(), 1u) << p.Status();
    EXPECT_EQ(p.Rows()[0].FileName, "a*b?.txt");
    WatchInstead(env.Win("data\\note*"));
    ASSERT_EQ(p.Rows().size(), 2u) << p.Status();
    EXPECT_EQ(p.Rows()[1].FileName, "note*");
}

TEST_F(ZipBackupTest, RemoveTakesANameWithPatternCharactersLiterally) {
    PutFile("data/a[1].txt", "bracket", Dos(10));
    PutFile("data/a1.txt", "plain", Dos(10));
    auto& p = MakePage([&](TQelSettings& s) { s.QelFile = env.Win("data\\a[1].txt"); });
    p.Tick();
    WatchInstead(env.Win("data\\a1.txt"));
    ASSERT_EQ(p.Rows().size(), 2u) << p.Status();
    EXPECT_TRUE(p.Remove(0));
    ASSERT_EQ(p.Rows().size(), 1u);
    EXPECT_EQ(p.Rows()[0].FileName, "a1.txt");
}

TEST_F(ZipBackupTest, InformationPageForAnEntryAndForNone) {
    PutFile("data/watched.txt", "<b>x</b>", Dos(10));
    auto& p = MakePage();
    p.Tick();
    auto read = [](const String& path) {
        TFileStream in(path, fmOpenRead);
        String text(static_cast<std::size_t>(in.Size()), '\0');
        in.ReadBuffer(text.data(), static_cast<Int64>(text.size()));
        return text;
    };
    String withRow = read(p.InfoPage(0));
    EXPECT_NE(withRow.find(">watched.txt<"), String::npos);
    EXPECT_NE(withRow.find(">book.zip<"), String::npos);
    EXPECT_NE(withRow.find(">8<"), String::npos);  // the entry's size
    EXPECT_NE(withRow.find(HtmlEscape(ArchiveCommentText())), String::npos);
    String none = read(p.InfoPage(std::nullopt));
    EXPECT_NE(none.find(">?<"), String::npos);
    EXPECT_EQ(none.find("dtName"), String::npos);
}

TEST_F(ZipBackupTest, FullDiskLeavesTheArchiveAsItWasAndSaysWhy) {
    std::filesystem::create_directories(env.Scratch("disk"));
    platform::AddDrive('B', platform::DriveKind::Fixed, env.Scratch("disk"));
    PutFile("data/watched.txt", std::string(3000, 'a'), Dos(10));
    auto& p = MakePage([](TQelSettings& s) { s.ZipFile = "B:\\book.zip"; });
    p.Tick();
    ASSERT_EQ(p.Rows().size(), 1u) << p.Status();
    std::string before = ArchiveBytes();
    platform::SetDriveQuota('B', before.size() + 100);
    std::string big;
    for (int i = 0; i < 4000; ++i) big += std::to_string(i * 7919 % 10007);
    Change(big, Dos(12));
    EXPECT_NE(p.Status().find("Backup failed"), String::npos) << p.Status();
    EXPECT_EQ(ArchiveBytes(), before);
    for (int i = 0; i < 10; ++i) {
        clock.Advance(500);
        p.Tick();
    }
    EXPECT_EQ(ArchiveBytes(), before);
    EXPECT_NE(p.Status().find("Backup failed"), String::npos);
    ExpectPeersAccept();
}

TEST_F(ZipBackupTest, ANameCp437CannotHoldIsBackedUpOncePerChange) {
    PutFile("data/Ωmega.txt", "greek", Dos(10));
    auto& p = MakePage([&](TQelSettings& s) { s.QelFile = env.Win("data\\Ωmega.txt"); });
    for (int i = 0; i < 4; ++i) {
        clock.Advance(1000);
        p.Tick();
    }
    ASSERT_EQ(p.Rows().size(), 1u) << p.Status();
    EXPECT_EQ(p.Rows()[0].FileName, "Ωmega.txt");
    std::string out;
    Shell("python3 -c \"import zipfile,sys; print(zipfile.ZipFile(sys.argv[1]).namelist())\" " + Quote(ZipPosix()),
        &out);
    EXPECT_NE(out.find("Ωmega.txt"), std::string::npos) << out;
}

TEST_F(ZipBackupTest, ReadmeArchiveIsAddedWithoutAFolder) {
    PutFile("data/watched.txt", "one", Dos(10));
    auto& p = MakePage();
    p.Tick();
    settings.PanBox = true;
    SaveQelSettings(env.Win("{1}"), settings);
    FileSetDate(env.Win("{1}"), Dos(14));
    clock.Advance(1000);
    p.Tick();
    ASSERT_EQ(p.Rows().size(), 2u) << p.Status();
    EXPECT_EQ(p.Rows()[1].FullName, "!ReadMe!.ZIP");
    ExpectPeersAccept();
}

TEST_F(ZipBackupTest, ReadmeIsNotEncryptedWithAPasswordTurnedOffEvenAfterARestore) {
    PutFile("data/watched.txt", "one", Dos(10));
    auto& p = MakePage([](TQelSettings& s) {
        s.Pass = "pw";
        s.Password = false;
    });
    p.Tick();
    ASSERT_EQ(p.Rows().size(), 1u) << p.Status();
    // The restore hands the stored password to the engine, which keeps it.
    EXPECT_TRUE(p.Restore(0, env.Win("restored.txt")));
    settings.PanBox = true;
    SaveQelSettings(env.Win("{1}"), settings);
    FileSetDate(env.Win("{1}"), Dos(14));
    clock.Advance(1000);
    p.Tick();
    ASSERT_EQ(p.Rows().size(), 2u) << p.Status();
    std::string out;
    Shell("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
          "print([(i.filename, i.flag_bits & 1) for i in z.infolist()])\" " + Quote(ZipPosix()),
          &out);
    EXPECT_NE(out.find("('!ReadMe!.ZIP', 0)"), std::string::npos) << out;
}

}  // namespace
}  // namespace qel::test

namespace qel::test {
namespace {

TEST_F(ZipBackupTest, ADamagedArchiveIsReportedOnThePageAndLeftAsItIs) {
    PutFile("data/watched.txt", "one", Dos(10));
    PutFile("backups/book.zip", "PK\x03\x04 this is not an archive");
    std::string before = env.ReadText(env.Scratch("backups/book.zip"));
    MakePage();
    EXPECT_NE(page->Status().find("cannot be read"), String::npos) << page->Status();
    page->Tick();
    clock.Advance(1000);
    page->Tick();
    EXPECT_FALSE(page->Status().empty());
    EXPECT_EQ(env.ReadText(env.Scratch("backups/book.zip")), before);
}

}  // namespace
}  // namespace qel::test

namespace qel::test {
namespace {

TEST_F(ZipBackupTest, TwoPagesSharingOneArchiveKeepEachOthersEntries) {
    PutFile("data/watched.txt", "first file", Dos(10));
    PutFile("data/other.txt", "second file", Dos(10));
    auto& first = MakePage();
    TQelSettings s2 = settings;
    s2.QelFile = env.Win("data\\other.txt");
    SaveQelSettings(env.Win("{2}"), s2);
    TQelPage second(MakeZipArchive(), env.Win("{2}"), env.Win("unused\\"));
    second.LoadSettings();
    first.Tick();
    clock.Advance(1000);
    second.Tick();
    clock.Advance(1000);
    PutFile("data/watched.txt", "first file, changed", Dos(12));
    first.Tick();
    ASSERT_EQ(first.Rows().size(), 3u) << first.Status();
    EXPECT_EQ(first.Rows()[1].FileName, "other.txt");
    ExpectPeersAccept();
}

}  // namespace
}  // namespace qel::test

namespace qel::test {
namespace {

TEST_F(ZipBackupTest, FilesThatOnceRewroteTheArchiveOnEveryCheckAreBackedUpOnce) {
    // Read-only, and dated before 1980 (the archive can only hold 1980).
    PutFile("data/watched.txt", "old and read-only");
    struct timespec times[2] = {{315000000, 0}, {315000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, env.Scratch("data/watched.txt").c_str(), times, 0), 0);
    ASSERT_EQ(::chmod(env.Scratch("data/watched.txt").c_str(), 0444), 0);
    auto& p = MakePage();
    p.Tick();
    ASSERT_EQ(p.Rows().size(), 1u) << p.Status();
    std::string once = ArchiveBytes();
    for (int i = 0; i < 6; ++i) {
        clock.Advance(1000);
        p.Tick();
    }
    EXPECT_EQ(ArchiveBytes(), once);
    EXPECT_EQ(p.Status(), "1 version of watched.txt in the archive");
    EXPECT_EQ(env.ReadText(env.Scratch("data/watched.txt")), "old and read-only");
}

TEST_F(ZipBackupTest, WatchingTheArchiveItselfLeavesItAsItIsAndSaysWhy) {
    PutFile("data/watched.txt", "one", Dos(10));
    auto& p = MakePage();
    p.Tick();
    std::string before = ArchiveBytes();
    settings.QelFile = settings.ZipFile;
    SaveQelSettings(env.Win("{1}"), settings);
    FileSetDate(env.Win("{1}"), Dos(14));
    for (int i = 0; i < 4; ++i) {
        clock.Advance(1000);
        p.Tick();
    }
    EXPECT_EQ(ArchiveBytes(), before);
    EXPECT_NE(p.Status().find("the archive itself"), String::npos) << p.Status();
}

}  // namespace
}  // namespace qel::test

namespace qel::test {
namespace {

TEST_F(ZipBackupTest, MakeExeWritesTheStubThenTheArchive) {
    PutFile("data/watched.txt", "one", Dos(10));
    auto& p = MakePage();
    p.Tick();
    ASSERT_EQ(p.Rows().size(), 1u) << p.Status();
    const std::string stub(300, '\x90');
    PutFile("stub.bin", stub);
    ASSERT_TRUE(p.MakeExe(env.Win("stub.bin"))) << p.Status();
    const std::string exe = env.Scratch("backups/book.EXE");
    std::string bytes = env.ReadText(exe);
    EXPECT_EQ(bytes.substr(0, stub.size()), stub);
    std::string out;
    EXPECT_EQ(Shell("unzip -t " + Quote(exe), &out), 0) << out;
    // A stub that does not exist: the page says why.
    EXPECT_FALSE(p.MakeExe(env.Win("none.bin")));
    EXPECT_NE(p.Status().find("Make EXE failed"), String::npos) << p.Status();
}

}  // namespace
}  // namespace qel::test
