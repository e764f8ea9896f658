#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ScanTree.h"
#include "manager/History.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/Drives.h"
#include "platform/Files.h"

namespace {

using manager::hcAdd;
using manager::hcBackup;
using manager::hcChecking;
using manager::hcCopy;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

manager::TSettings Reporting(bool add, bool copy, bool checking, bool backup) {
    manager::TSettings s;
    s.Actions_rAdd = add;
    s.Actions_rCopy = copy;
    s.Actions_rChecking = checking;
    s.Actions_rBackup = backup;
    return s;
}

TEST(HistoryLine, DateTimeThenMarkThenMessageThenCrLf) {
    const TDateTime when = EncodeDate(2026, 12, 8) + EncodeTime(19, 41, 7, 0);
    EXPECT_EQ(manager::HistoryLine(when, "Program started"), "08/12/2026 19:41:07# Program started\r\n");
    // The standard date-time text leaves the time out at exactly midnight.
    EXPECT_EQ(manager::HistoryLine(EncodeDate(2026, 12, 8), "x"), "08/12/2026# x\r\n");
    // The run's closing message is one carriage return.
    EXPECT_EQ(manager::HistoryLine(when, "\r"), "08/12/2026 19:41:07# \r\r\n");
}

struct GateCase {
    const char* name;
    Byte categories;
    manager::TSettings settings;
    bool written;
};

void PrintTo(const GateCase& c, std::ostream* os) { *os << c.name; }

class HistoryGate : public testing::TestWithParam<GateCase> {};

TEST_P(HistoryGate, WritesWhenOneCategoryIsOn) {
    EXPECT_EQ(manager::HistoryWanted(GetParam().categories, GetParam().settings), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Categories, HistoryGate, testing::Values(
    GateCase{"AddOn", hcAdd, Reporting(true, false, false, false), true},
    GateCase{"AddOff", hcAdd, Reporting(false, true, true, true), false},
    GateCase{"CheckingOff", hcChecking, Reporting(true, true, false, true), false},
    GateCase{"BackupOn", hcBackup, Reporting(false, false, false, true), true},
    GateCase{"EitherOfTwo", hcAdd | hcBackup, Reporting(false, false, false, true), true},
    GateCase{"NeitherOfTwo", hcAdd | hcBackup, Reporting(false, true, true, false), false},
    GateCase{"UnknownBitsOnly", 0xF0, Reporting(true, true, true, true), false}),
    [](const auto& info) { return std::string(info.param.name); });

class HistoryFileTest : public scantest::ProfileTest {
protected:
    void SetUp() override {
        ProfileTest::SetUp();
        clock_.SetNowMicros(1765222867LL * 1000000);  // a fixed moment
        platform::SetClock(&clock_);
        posix_ = env.Scratch("History.txt");
        log_.SetFileName(env.Win("History.txt"));
    }
    void TearDown() override {
        platform::SetClock(nullptr);
        ProfileTest::TearDown();
    }
    String Stamp() const { return DateTimeToStr(Now()) + "# "; }

    platform::ManualClock clock_;
    std::string posix_;
    manager::THistoryLog log_;
};

TEST_F(HistoryFileTest, OnlyTheCheckingLinesWhenAddIsOff) {
    const auto settings = Reporting(false, true, true, true);
    log_.Add("Program started", hcAdd, settings);
    log_.Add("Chancking system.... ", hcChecking, settings);
    log_.Add("No errors found!", hcChecking, settings);
    log_.Add("Program ended", hcAdd, settings);
    log_.Add("\r", hcAdd, settings);
    EXPECT_EQ(ReadAll(posix_), Stamp() + "Chancking system.... \r\n" + Stamp() + "No errors found!\r\n");
}

TEST_F(HistoryFileTest, AllOffCreatesNoFile) {
    log_.Add("Program started", hcAdd | hcCopy | hcChecking | hcBackup, Reporting(false, false, false, false));
    EXPECT_FALSE(std::filesystem::exists(posix_));
}

TEST_F(HistoryFileTest, AppendsAndKeepsWhatIsThere) {
    {
        std::ofstream old(posix_, std::ios::binary);
        old << "01/01/2020 10:00:00# Earlier run\r\n";
    }
    const auto all = Reporting(true, true, true, true);
    log_.Add("Program started", hcAdd, all);
    clock_.Advance(1500);
    log_.Add("\r", hcAdd, all);
    const String first = DateTimeToStr(platform::LocalDateTimeFromUnixMicros(1765222867LL * 1000000));
    EXPECT_EQ(ReadAll(posix_), "01/01/2020 10:00:00# Earlier run\r\n" + first + "# Program started\r\n" + Stamp() +
                                   "\r\r\n");
}

TEST_F(HistoryFileTest, UnwritableFileStopsNothingAndIsToldOnce) {
    std::filesystem::create_directory(posix_);  // a folder stands where the file would be
    const auto all = Reporting(true, true, true, true);
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(log_.Add("Program started", hcAdd, all));
    EXPECT_NO_THROW(log_.Add("Program ended", hcAdd, all));
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(log_.FailureReported());
    EXPECT_NE(told.find("History.txt"), std::string::npos) << told;
    EXPECT_EQ(told.find('\n'), told.size() - 1) << "told more than once: " << told;
}

TEST_F(HistoryFileTest, ReadOnlyFolderStopsNothing) {
    scantest::OpenToOthers(env.Scratch());
    ::chmod(env.Scratch().c_str(), 0555);
    platform::ToPosixPath(log_.FileName());  // the drive table, read as ourselves
    testing::internal::CaptureStderr();
    {
        scantest::AsUnprivilegedUser user;
        EXPECT_TRUE(DirectoryExists(env.Win()));  // reachable, only not writable
        EXPECT_NO_THROW(log_.Add("Program started", hcAdd, Reporting(true, true, true, true)));
    }
    testing::internal::GetCapturedStderr();
    ::chmod(env.Scratch().c_str(), 0755);
    EXPECT_TRUE(log_.FailureReported());
    EXPECT_FALSE(std::filesystem::exists(posix_));
}

// What another process appends between our open and our write stays, and our line follows it.
TEST_F(HistoryFileTest, AppendingHandleWritesAfterWhatOthersAddedMeanwhile) {
    const THandle file = platform::FileOpenForAppend(log_.FileName());
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::ofstream(posix_, std::ios::binary | std::ios::app) << "other\r\n";
    ASSERT_EQ(FileWrite(file, "ours\r\n", 6), 6);
    std::ofstream(posix_, std::ios::binary | std::ios::app) << "third\r\n";
    ASSERT_EQ(FileWrite(file, "last\r\n", 6), 6);
    FileClose(file);
    EXPECT_EQ(ReadAll(posix_), "other\r\nours\r\nthird\r\nlast\r\n");
}

TEST_F(HistoryFileTest, ProcessesLoggingAtOnceLoseNoLine) {
    constexpr int kProcesses = 4, kLines = 200;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const auto all = Reporting(true, true, true, true);
            for (int i = 0; i < kLines; ++i) log_.Add("p" + std::to_string(p) + " line " + std::to_string(i), hcAdd, all);
            ::_exit(log_.FailureReported() ? 1 : 0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::istringstream text(ReadAll(posix_));
    std::string line;
    int count = 0;
    while (std::getline(text, line)) {
        ++count;
        EXPECT_EQ(line.find(Stamp()), 0u) << line;
        EXPECT_EQ(line.back(), '\r') << line;
    }
    EXPECT_EQ(count, kProcesses * kLines);
}

}  // namespace
