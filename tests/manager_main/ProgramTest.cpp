// Tarvik end to end: the real binary with its own profile, its catalogue, its plug-in pages,
// its close step, and the hand-over between two real processes.
#include <gtest/gtest.h>

#include "ProgramProcess.h"

using namespace e2e;

namespace {

constexpr const char* kRunning = "Tarvik is running";

class ProgramTest : public ::testing::Test {
protected:
    std::unique_ptr<Process> Start(const std::vector<std::string>& args = {},
                                   const std::vector<std::string>& extraEnv = {}) {
        return std::make_unique<Process>((box.program / "Tarvik").string(), args, box.Environment(extraEnv),
                                         box.root / "stderr.txt");
    }
    // Starts the first instance and waits until it answers.
    std::unique_ptr<Process> StartFirst(const std::vector<std::string>& args = {}) {
        auto p = Start(args);
        EXPECT_TRUE(p->WaitFor(kRunning)) << ReadFile(box.root / "stderr.txt");
        return p;
    }
    static void Stop(Process& p) {
        p.Signal(SIGTERM);
        EXPECT_EQ(p.Wait(), 0);
    }

    Sandbox box;
};

// Folders with backups, written as the older program writes them, plus values only our
// writer quotes (a bar, quotes, a description with a line break).
const std::string kCatalogue =
    "1|Documents|1|||Work papers|01/03/2024 10:20:30|6|7|+\r\n"
    "2|Tax|2|TestPlugin|{45352}|Yearly tax file|01/03/2024|4|5|-\r\n"
    "2|Sub folder|1||||01/03/2024|6|7|-\r\n"
    "1|\"Photos \"\"2024\"\"\"|1|||\"one\r\ntwo\"|02/03/2024 08:00:00|6|7|-\r\n"
    "2|\"a|b\"|2|TestPlugin|{45353}||02/03/2024|4|5|-\r\n";

TEST_F(ProgramTest, FirstStartWithoutCatalogueBuildsItsFoldersAndShowsTheWelcomePage) {
    auto p = Start();
    ASSERT_TRUE(p->WaitFor("Showing ")) << ReadFile(box.root / "stderr.txt");
    EXPECT_NE(p->Lines().back().find("\\prog\\Templates\\Default.htm"), std::string::npos) << p->Lines().back();
    ASSERT_TRUE(p->WaitFor(kRunning));
    EXPECT_NE(p->Lines().back().find(box.Catalogue().string()), std::string::npos) << p->Lines().back();
    EXPECT_TRUE(fs::is_directory(box.CatalogueFolder()));
    EXPECT_TRUE(fs::is_directory(box.program / "Plugins"));
    EXPECT_TRUE(fs::is_directory(box.program / "Templates"));
    Stop(*p);
    EXPECT_EQ(ReadFile(box.Catalogue()), "");
    std::string history = ReadFile(box.History());
    EXPECT_NE(history.find("# Program started\r\n"), std::string::npos) << history;
    EXPECT_NE(history.find("# Program ended\r\n"), std::string::npos) << history;
}

TEST_F(ProgramTest, CatalogueLoadsWithItsPagesAndSavesBackByteForByte) {
    WriteFile(box.Catalogue(), kCatalogue);
    for (int run = 0; run < 2; ++run) {
        auto p = StartFirst();
        // Only the page the person ends up seeing is told, not each folder page on the way.
        std::vector<std::string> shown;
        for (const auto& line : p->Lines())
            if (line.rfind("Showing ", 0) == 0) shown.push_back(line);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_NE(shown[0].find("Default.htm"), std::string::npos) << shown[0];
        Stop(*p);
        EXPECT_EQ(ReadFile(box.Catalogue()), kCatalogue) << "run " << run;
    }
    // Each backup got its page inside the main window's panel at every start, folders none.
    std::string settings = box.CatalogueFolderWin();
    std::string expected = "child " + settings + "{45352} -> FormMain\npage FormMain in TPanel of TFormMain\n" +
                           "child " + settings + "{45353} -> FormMain_1\npage FormMain_1 in TPanel of TFormMain\n";
    EXPECT_EQ(ReadFile(box.PluginLog()), expected + expected);
    EXPECT_FALSE(fs::exists(box.Catalogue().string() + ".bak"));
}

TEST_F(ProgramTest, MalformedLinesAreSkippedAndTheOriginalIsKept) {
    const std::string damaged = "1|Good|1|||d|01/03/2024|6|7|-\r\nnot a catalogue line\r\n1|Also good|1|||d|01/03/2024|6|7|-\r\n";
    WriteFile(box.Catalogue(), damaged);
    auto p = StartFirst();
    Stop(*p);
    EXPECT_EQ(ReadFile(box.Catalogue().string() + ".bak"), damaged);
    EXPECT_EQ(ReadFile(box.Catalogue()), "1|Good|1|||d|01/03/2024|6|7|-\r\n1|Also good|1|||d|01/03/2024|6|7|-\r\n");
    EXPECT_NE(ReadFile(box.History()).find("Backup.Dat line 2 skipped"), std::string::npos);
}

TEST_F(ProgramTest, AMissingFolderTemplateOrAFailingPluginDoesNotEndTheStart) {
    fs::remove(box.program / "Templates" / "TemplateFolder.htm");
    const std::string catalogue =
        "1|Folder|1|||d|01/03/2024|6|7|-\r\n"
        "2|Fails|2|TestPlugin|{Throw}||01/03/2024|4|5|-\r\n"
        "2|Missing|2|NoSuchPlugin|{1}||01/03/2024|4|5|-\r\n"
        "2|Works|2|TestPlugin|{2}||01/03/2024|4|5|-\r\n";
    WriteFile(box.Catalogue(), catalogue);
    auto p = StartFirst();
    Stop(*p);
    EXPECT_EQ(ReadFile(box.Catalogue()), catalogue);
    EXPECT_NE(ReadFile(box.PluginLog()).find("page FormMain in TPanel"), std::string::npos);
    std::string history = ReadFile(box.History());
    EXPECT_NE(history.find("TemplateFolder.htm"), std::string::npos) << history;
    EXPECT_NE(history.find("the test plug-in fails"), std::string::npos) << history;
    EXPECT_FALSE(fs::exists(box.Catalogue().string() + ".bak"));
}

TEST_F(ProgramTest, AHistoryThatCannotBeWrittenDoesNotStopTheProgram) {
    fs::create_directories(box.History());  // a folder where the log file should be
    WriteFile(box.Catalogue(), kCatalogue);
    auto p = StartFirst();
    Stop(*p);
    EXPECT_EQ(ReadFile(box.Catalogue()), kCatalogue);
}

TEST_F(ProgramTest, ASettingsStoreThatCannotBeWrittenCostsNeitherTheCatalogueNorTheReports) {
    WriteFile(box.Catalogue(), kCatalogue);
    auto p = StartFirst();
    // A folder where the store's file should be: nothing can replace it, not even for root.
    fs::remove(box.profile / "registry.reg");
    fs::create_directories(box.profile / "registry.reg" / "x");
    fs::remove(box.Catalogue());
    p->Signal(SIGTERM);
    EXPECT_EQ(p->Wait(), 0);
    EXPECT_EQ(ReadFile(box.Catalogue()), kCatalogue);
    const std::string history = ReadFile(box.History());
    EXPECT_NE(history.find("# Error !! "), std::string::npos) << history;
    EXPECT_NE(history.find("# Program ended"), std::string::npos) << history;
    EXPECT_NE(ReadFile(box.root / "stderr.txt").find("Tarvik: "), std::string::npos);
}

class ProgramSignalTest : public ProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(ProgramSignalTest, RunsTheCloseStepAndEnds) {
    auto p = StartFirst();
    p->Signal(GetParam());
    EXPECT_EQ(p->Wait(), 0);
    EXPECT_TRUE(fs::exists(box.Catalogue()));
    EXPECT_NE(ReadFile(box.History()).find("# Program ended"), std::string::npos);
    // The settings were saved too: the registry store holds them.
    bool found = false;
    for (const auto& e : fs::recursive_directory_iterator(box.profile))
        if (e.is_regular_file() && ReadFile(e.path()).find("General_cClosedM") != std::string::npos) found = true;
    EXPECT_TRUE(found);
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) { return std::string(::sigabbrev_np(info.param)); });

TEST_F(ProgramTest, ASecondStartRestoresTheFirstAndEnds) {
    auto first = StartFirst({"-s"});
    EXPECT_TRUE(first->WaitFor("Minimised"));
    auto second = Start();
    EXPECT_EQ(second->Wait(), 0);
    EXPECT_TRUE(first->WaitFor("Restored"));
    auto third = Start();
    EXPECT_EQ(third->Wait(), 0);
    EXPECT_TRUE(first->WaitFor("Brought to front"));
    Stop(*first);
    // Only the first start wrote to the history.
    std::string history = ReadFile(box.History());
    EXPECT_EQ(history.find("Program started"), history.rfind("Program started"));
}

TEST_F(ProgramTest, HandedOverSwitchesAndFoldersArrive) {
    auto first = StartFirst();
    auto minimise = Start({"-s"});
    EXPECT_EQ(minimise->Wait(), 0);
    EXPECT_TRUE(first->WaitFor("Minimised"));
    auto folder = Start({"-a", "C:\\My Documents\\Tax 2024"});
    EXPECT_EQ(folder->Wait(), 0);
    EXPECT_TRUE(first->WaitFor("Folder handed over: C:\\My Documents\\Tax 2024"));
    auto quoted = Start({"-a", "C:\\say \"hi\" there"});
    EXPECT_EQ(quoted->Wait(), 0);
    EXPECT_TRUE(first->WaitFor("Folder handed over: C:\\say \"hi\" there"));
    Stop(*first);
}

TEST_F(ProgramTest, ACommandLineTooLongForAnAtomEndsTheSecondStartWithAMessage) {
    auto first = StartFirst();
    auto second = Start({"-a", std::string(300, 'x')});
    EXPECT_EQ(second->Wait(), 2);
    EXPECT_NE(ReadFile(box.root / "stderr.txt").find("at most 255"), std::string::npos);
    EXPECT_TRUE(first->WaitFor("Brought to front"));  // the restore went first
    Stop(*first);
}

TEST_F(ProgramTest, ACommandLineTheInstanceDoesNotTakeInTimeEndsTheSecondStartWithAMessage) {
    Process slow(TARVIK_WINDOW_PEER, {"serve", "TFormMain", "My Corvex", "slow"}, box.Environment(),
                 box.root / "peer.txt");
    ASSERT_EQ(slow.ReadLine().rfind("ready ", 0), 0u);
    auto second = Start({"-s"}, {"TARVIK_SEND_TIMEOUT_MS=500"});
    EXPECT_NE(second->Wait(), 0);
    EXPECT_NE(ReadFile(box.root / "stderr.txt").find("did not take the command line"), std::string::npos);
}

TEST_F(ProgramTest, TwoProfilesUnderOneRuntimeFolderEachRunAnInstance) {
    Sandbox other;
    fs::create_directories(box.root / "run");
    const std::string runtime = "XDG_RUNTIME_DIR=" + (box.root / "run").string();
    auto first = Start({}, {runtime});
    ASSERT_TRUE(first->WaitFor(kRunning));
    Process second((other.program / "Tarvik").string(), {}, other.Environment({runtime}), other.root / "stderr.txt");
    EXPECT_TRUE(second.WaitFor(kRunning)) << ReadFile(other.root / "stderr.txt");
    Stop(second);
    Stop(*first);
}

TEST_F(ProgramTest, FiveSimultaneousStartsLeaveOneInstance) {
    std::vector<std::unique_ptr<Process>> starts;
    for (int i = 0; i < 5; ++i) starts.push_back(Start());
    int running = 0, ended = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ended < 4 && std::chrono::steady_clock::now() < deadline) {
        ended = 0;
        for (auto& p : starts) ended += p->Exited(0) ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto& p : starts) {
        if (p->Exited(0)) {
            EXPECT_EQ(p->Wait(0), 0);
        }
    }
    for (auto& p : starts) {
        if (!p->Exited(0)) {
            ++running;
            EXPECT_TRUE(p->WaitFor(kRunning));
            Stop(*p);
        }
    }
    EXPECT_EQ(running, 1);
    EXPECT_EQ(ended, 4);
}

TEST_F(ProgramTest, AKilledInstanceDoesNotDelayTheNextStart) {
    auto first = StartFirst();
    first->Signal(SIGKILL);
    first->Wait();
    // With a long send timeout, a start that waited on the dead window would not be ready in time.
    auto next = Start({}, {"TARVIK_SEND_TIMEOUT_MS=60000"});
    EXPECT_TRUE(next->WaitFor(kRunning, 20000));
    Stop(*next);
}

TEST_F(ProgramTest, AHungWindowDoesNotHangAStart) {
    // A "TFormMain" window that never answers: the ping gives up after the send timeout.
    Process hung(TARVIK_WINDOW_PEER, {"mute", "TFormMain", "Hung"}, box.Environment(), box.root / "peer.txt");
    ASSERT_EQ(hung.ReadLine().rfind("ready ", 0), 0u);
    // A window of another class is never pinged, so its silence costs nothing.
    Process other(TARVIK_WINDOW_PEER, {"mute", "OtherApp", "Other"}, box.Environment(), box.root / "peer.txt");
    ASSERT_EQ(other.ReadLine().rfind("ready ", 0), 0u);
    auto p = Start({}, {"TARVIK_SEND_TIMEOUT_MS=1000"});
    EXPECT_TRUE(p->WaitFor(kRunning, 20000)) << ReadFile(box.root / "stderr.txt");
    Stop(*p);
}

}  // namespace
