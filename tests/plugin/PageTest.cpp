#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/Windows.h"
#include "plugin/QelPage.h"
#include "tests/plugin/PluginTestSupport.h"

namespace qel::test {
namespace {

class PageTest : public PluginTest {
public:
    tarvik::test::ScopedTestProfile& Env() { return env; }
    // A page on a stand-in archive, watching watched.txt, with the given settings.
    TQelPage& MakePage(const std::function<void(TQelSettings&)>& edit = {}) {
        settings.ZipFile = env.Win("backups\\book.zip");
        settings.QelFile = env.Win("watched.txt");
        if (edit) edit(settings);
        // The stand-in keeps its entries in memory; the page lists an archive that exists.
        if (settings.ZipFile == env.Win("backups\\book.zip")) PutFile("backups/book.zip", "");
        SaveQelSettings(env.Win("{1}"), settings);
        page = std::make_unique<TQelPage>(std::make_unique<FakeArchive>(archive), env.Win("{1}"), env.Win("data\\"));
        page->LoadSettings();
        return *page;
    }
    int Adds() const { return archive->adds; }

    std::shared_ptr<FakeArchive::Shared> archive = std::make_shared<FakeArchive::Shared>();
    TQelSettings settings;
    std::unique_ptr<TQelPage> page;
    THandle lock = INVALID_HANDLE_VALUE;
    void TearDown() override {
        if (lock != INVALID_HANDLE_VALUE) FileClose(lock);
        PluginTest::TearDown();
    }
};

TEST_F(PageTest, BacksUpWhenSizeOrDateChangesAndNotOtherwise) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage();
    p.Tick();
    ASSERT_EQ(Adds(), 1);
    EXPECT_EQ(archive->entries[0].FullName, archive->lastStoredPrefix + env.Win("watched.txt"));
    clock.Advance(1000);
    p.Tick();
    EXPECT_EQ(Adds(), 1);
    EXPECT_EQ(p.Status(), "1 version of watched.txt in the archive");
    PutFile("watched.txt", "one!", Dos(10));  // size
    clock.Advance(1000);
    p.Tick();
    EXPECT_EQ(Adds(), 2);
    PutFile("watched.txt", "one!", Dos(12));  // date
    clock.Advance(1000);
    p.Tick();
    EXPECT_EQ(Adds(), 3);
    clock.Advance(1000);
    p.Tick();
    EXPECT_EQ(Adds(), 3);
}

TEST_F(PageTest, WithAllChecksOffNothingIsEverBackedUp) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage([](TQelSettings& s) { s.FileSize = s.FileDate = s.ClosePrg = false; });
    for (int i = 0; i < 3; ++i) {
        PutFile("watched.txt", std::string(i + 5, 'x'), Dos(10 + i));
        p.Tick();
    }
    EXPECT_EQ(Adds(), 0);
}

TEST_F(PageTest, BacksUpWhenTheWatchedProgramWindowCloses) {
    PutFile("watched.txt", "one", Dos(10));
    WNDCLASSA wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "QelWatchedProgram";
    RegisterClassA(&wc);
    HWND program = CreateWindowExA(0, "QelWatchedProgram", "Sheets - book.xls", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                   0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    auto& p = MakePage([](TQelSettings& s) { s.AppPrg = "Sheets - book.xls"; });
    p.Tick();  // first backup; the window is seen
    p.Tick();
    ASSERT_EQ(Adds(), 1);
    DestroyWindow(program);
    clock.Advance(1000);
    p.Tick();
    EXPECT_EQ(Adds(), 2);
    clock.Advance(1000);
    p.Tick();
    EXPECT_EQ(Adds(), 2);
}

TEST_F(PageTest, TwoBackupsInOneSecondWaitForTheNextSecond) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage();
    EXPECT_EQ(p.StartBackup(), TBackupOutcome::Done);
    EXPECT_EQ(p.StartBackup(), TBackupOutcome::NotDue);
    clock.Advance(1000);
    EXPECT_EQ(p.StartBackup(), TBackupOutcome::Done);
    EXPECT_EQ(archive->entries.size(), 2u);
}

TEST_F(PageTest, MissingArchiveFolderIsCreated) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage([&](TQelSettings& s) { s.ZipFile = env.Win("new\\deeper\\book.zip"); });
    EXPECT_EQ(p.StartBackup(), TBackupOutcome::Done);
    EXPECT_TRUE(DirectoryExists(env.Win("new\\deeper")));
}

// A failing backup shows why, leaves the archive alone and tries again only when the file or
// the settings change, or after a minute.
struct FailureCase {
    const char* name;
    std::function<void(PageTest&, FakeArchive::Shared&)> arrange;
    const char* reason;
};

class PageFailureTest : public PageTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PageFailureTest, ShowsWhyAndRetriesOnlyOnChangeOrAfterAMinute) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage();
    GetParam().arrange(*this, *archive);
    int rewrites = archive->rewrites;
    p.Tick();
    EXPECT_NE(p.Status().find("Backup failed"), String::npos) << p.Status();
    EXPECT_NE(p.Status().find(GetParam().reason), String::npos) << p.Status();
    int attempts = Adds();
    for (int i = 0; i < 20; ++i) {
        clock.Advance(500);
        p.Tick();
    }
    EXPECT_EQ(Adds(), attempts) << "retried without a change";
    EXPECT_EQ(archive->rewrites, rewrites);
    EXPECT_NE(p.Status().find(GetParam().reason), String::npos);
    clock.Advance(TRetryGate::kRetryMillis);
    p.Tick();
    // After a minute the backup is tried once more (failures found before the archive is
    // reached never call it).
    EXPECT_EQ(Adds(), attempts > 0 ? attempts + 1 : 0);
    EXPECT_EQ(archive->rewrites, rewrites);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageFailureTest,
    ::testing::Values(
        FailureCase{"DiskFull", [](PageTest&, FakeArchive::Shared& a) { a.failWith = "Disk full"; }, "Disk full"},
        FailureCase{"NothingAdded", [](PageTest&, FakeArchive::Shared& a) { a.addNothing = true; },
                    "could not be read"},
        FailureCase{"WatchedFileIsTheArchive",
                    [](PageTest& t, FakeArchive::Shared&) {
                        t.settings.ZipFile = t.settings.QelFile;
                        SaveQelSettings(t.Env().Win("{1}"), t.settings);
                        t.page->LoadSettings();
                    },
                    "the archive itself"},
        FailureCase{"LockedWatchedFile",
                    [](PageTest& t, FakeArchive::Shared&) {
                        // Another holder that shares nothing.
                        t.lock = FileOpen(t.Env().Win("watched.txt"), fmOpenReadWrite | fmShareExclusive);
                    },
                    "cannot be read"}),
    [](const auto& info) { return info.param.name; });

TEST_F(PageTest, AFailureIsRetriedAtOnceWhenTheFileChanges) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage();
    archive->failWith = "Disk full";
    p.Tick();
    p.Tick();
    EXPECT_EQ(Adds(), 1);
    archive->failWith.clear();
    PutFile("watched.txt", "one two", Dos(10));
    p.Tick();
    EXPECT_EQ(Adds(), 2);
    EXPECT_EQ(archive->entries.size(), 1u);
}

TEST_F(PageTest, AFileThatChangesDuringAFailedBackupIsTriedAtTheNextCheck) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage();
    archive->failWith = "The file changed while it was being added";
    archive->duringAdd = [&] { PutFile("watched.txt", "one, then two", Dos(10)); };
    p.Tick();
    EXPECT_EQ(Adds(), 1);
    archive->failWith.clear();
    archive->duringAdd = nullptr;
    clock.Advance(500);
    p.Tick();
    EXPECT_EQ(Adds(), 2);
    EXPECT_EQ(archive->entries.size(), 1u);
}

TEST_F(PageTest, ReadOnlyWatchedFileIsBackedUpOnce) {
    PutFile("watched.txt", "one", Dos(10));
    ::chmod(env.Scratch("watched.txt").c_str(), 0444);
    auto& p = MakePage();
    for (int i = 0; i < 4; ++i) {
        clock.Advance(1000);
        p.Tick();
    }
    EXPECT_EQ(Adds(), 1);
    EXPECT_EQ(p.Status(), "1 version of watched.txt in the archive");
}

TEST_F(PageTest, CommandsAreRefusedWhileBusy) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage();
    p.Tick();
    archive->busy = true;
    EXPECT_EQ(p.StartBackup(), TBackupOutcome::Refused);
    EXPECT_EQ(p.SecureBackup(), TBackupOutcome::Refused);
    EXPECT_FALSE(p.Remove(0));
    EXPECT_FALSE(p.Restore(0, env.Win("out.txt")));
    EXPECT_FALSE(p.MakeExe(env.Win("stub.bin")));
    EXPECT_EQ(p.Status(), kStatusBusy);
    EXPECT_TRUE(archive->sfxStubs.empty());
    EXPECT_EQ(Adds(), 1);
    EXPECT_TRUE(archive->removed.empty());
    EXPECT_TRUE(platform::ShownDialogs().empty());
}

TEST_F(PageTest, ReadmeChangeRefusedWhileBusyIsMadeAtTheNextCheck) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage([](TQelSettings& s) { s.PanBox = true; });
    p.Tick();
    ASSERT_EQ(archive->entries.size(), 1u);
    archive->busy = true;
    p.SyncVantrelBox();
    EXPECT_EQ(p.Status(), kStatusBusy);
    EXPECT_EQ(archive->entries.size(), 1u);
    archive->busy = false;
    p.Tick();
    ASSERT_EQ(archive->entries.size(), 2u);
    EXPECT_EQ(archive->entries[1].FullName, "!ReadMe!.ZIP");
    p.Tick();
    EXPECT_EQ(archive->entries.size(), 2u);
}

TEST_F(PageTest, AFailedReadmeChangeStaysInView) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage();
    p.Tick();
    archive->failWith = "Disk full";
    settings.PanBox = true;
    SaveQelSettings(env.Win("{1}"), settings);
    FileSetDate(env.Win("{1}"), Dos(11));
    p.Tick();
    p.Tick();
    EXPECT_NE(p.Status().find("Readme archive not changed: Disk full"), String::npos) << p.Status();
    EXPECT_EQ(archive->entries.size(), 1u);
}

TEST_F(PageTest, TwoPagesOnOneArchiveNeverRewriteItAtOnce) {
    PutFile("watched.txt", "one", Dos(10));
    PutFile("other.txt", "two", Dos(10));
    auto& first = MakePage();
    auto secondArchive = std::make_shared<FakeArchive::Shared>();
    TQelSettings s2 = settings;
    s2.QelFile = env.Win("other.txt");
    SaveQelSettings(env.Win("{2}"), s2);
    TQelPage second(std::make_unique<FakeArchive>(secondArchive), env.Win("{2}"), env.Win("data\\"));
    second.LoadSettings();
    TBackupOutcome inner = TBackupOutcome::Done;
    // The second page's check and command arrive while the first page's backup runs.
    archive->duringAdd = [&] {
        second.Tick();
        inner = second.StartBackup();
    };
    EXPECT_EQ(first.StartBackup(), TBackupOutcome::Done);
    EXPECT_EQ(inner, TBackupOutcome::Refused);
    EXPECT_EQ(secondArchive->adds, 0);
    archive->duringAdd = nullptr;
    EXPECT_EQ(second.StartBackup(), TBackupOutcome::Done);
}

TEST_F(PageTest, SecureBackupClosesTheProgramBacksUpAndAsksForShutdown) {
    PutFile("watched.txt", "one", Dos(10));
    static bool closed;
    closed = false;
    WNDCLASSA wc;
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_CLOSE) closed = true;
        return DefWindowProcA(h, m, w, l);
    };
    wc.lpszClassName = "QelSecureProgram";
    RegisterClassA(&wc);
    HWND program = CreateWindowExA(0, "QelSecureProgram", "Book", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 10, 10,
                                   nullptr, nullptr, nullptr, nullptr);
    auto& p = MakePage([](TQelSettings& s) {
        s.CloseApp = true;
        s.AppPrg = "Book";
        s.ShutDown = true;
    });
    EXPECT_EQ(p.SecureBackup(), TBackupOutcome::Done);
    EXPECT_TRUE(closed);
    EXPECT_EQ(Adds(), 1);
    EXPECT_EQ(platform::ExitWindowsCalls(), std::vector<UINT>{5});
    if (IsWindow(program)) DestroyWindow(program);
}

TEST_F(PageTest, SecureBackupInTheSecondOfTheLastBackupShutsDownOnlyWhenThatHoldsTheFile) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage([](TQelSettings& s) { s.ShutDown = true; });
    p.Tick();
    EXPECT_EQ(p.SecureBackup(), TBackupOutcome::Done);
    EXPECT_EQ(Adds(), 1);
    EXPECT_EQ(platform::ExitWindowsCalls(), std::vector<UINT>{5});
    platform::ClearExitWindowsCalls();
    // Changed again within the second of the last backup: that backup does not hold it.
    clock.Advance(1000);
    PutFile("watched.txt", "one and two", Dos(10));
    p.Tick();
    EXPECT_EQ(Adds(), 2);
    PutFile("watched.txt", "one, two and three", Dos(10));
    EXPECT_EQ(p.SecureBackup(), TBackupOutcome::NotDue);
    EXPECT_TRUE(platform::ExitWindowsCalls().empty());
}

TEST_F(PageTest, SecureBackupThatFailsDoesNotShutDown) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage([](TQelSettings& s) { s.ShutDown = true; });
    archive->failWith = "Disk full";
    EXPECT_EQ(p.SecureBackup(), TBackupOutcome::Failed);
    EXPECT_TRUE(platform::ExitWindowsCalls().empty());
}

TEST_F(PageTest, ReadmeFollowsPanBoxWhenTheSettingsChange) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage();
    p.Tick();
    settings.PanBox = true;
    SaveQelSettings(env.Win("{1}"), settings);
    FileSetDate(env.Win("{1}"), Dos(11));
    p.Tick();
    ASSERT_EQ(archive->entries.size(), 2u);
    EXPECT_EQ(archive->entries[1].FullName, "!ReadMe!.ZIP");
    settings.PanBox = false;
    SaveQelSettings(env.Win("{1}"), settings);
    FileSetDate(env.Win("{1}"), Dos(12));
    p.Tick();
    EXPECT_EQ(archive->removed, std::vector<String>{"!ReadMe!.ZIP"});
}

TEST_F(PageTest, RemoveTakesExactlyTheSelectedEntry) {
    auto& p = MakePage();
    FakeArchive(archive).Append("a[1].txt", "d1\\C:\\a[1].txt", 1, 0);
    FakeArchive(archive).Append("a1.txt", "d2\\C:\\a1.txt", 1, 0);
    p.LoadRestoreList();
    EXPECT_TRUE(p.Remove(0));
    EXPECT_EQ(archive->removed, std::vector<String>{"d1\\C:\\a[1].txt"});
    ASSERT_EQ(p.Rows().size(), 1u);
    EXPECT_EQ(p.Rows()[0].FullName, "d2\\C:\\a1.txt");
}

}  // namespace
}  // namespace qel::test

namespace qel::test {
namespace {

// A stand-in that stores every backup under another name than the watched file's.
TEST_F(PageTest, ABackupTheArchiveShowsUnderAnotherNameIsNotRepeatedOnEveryCheck) {
    PutFile("watched.txt", "one", Dos(10));
    auto& p = MakePage();
    archive->storeAsName = "renamed.txt";
    p.Tick();
    for (int i = 0; i < 10; ++i) {
        clock.Advance(500);
        p.Tick();
    }
    EXPECT_EQ(Adds(), 1);
    EXPECT_NE(p.Status().find("Backup failed"), String::npos);
}

}  // namespace
}  // namespace qel::test
