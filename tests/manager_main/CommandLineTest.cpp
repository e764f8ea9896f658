// The command line as it is handed over: joining the arguments and reading them back.
#include <gtest/gtest.h>

#include "manager/Instance.h"

using namespace manager;

namespace {

struct CommandLineCase {
    const char* name;
    std::vector<String> arguments;
    bool minimise;
    std::vector<String> paths;
};

class CommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, ArrivesAsTheArgumentsWereGiven) {
    const auto& c = GetParam();
    TCommandLineRequest r = ParseCommandLineText(BuildCommandLineText(c.arguments));
    EXPECT_EQ(r.Minimise, c.minimise);
    EXPECT_EQ(r.HandedOverPaths, c.paths);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLine,
    ::testing::Values(CommandLineCase{"None", {}, false, {}},
                      CommandLineCase{"Minimise", {"-s"}, true, {}},
                      CommandLineCase{"MinimiseUpperCaseWithBlanks", {" -S "}, true, {}},
                      CommandLineCase{"FolderWithBlanks", {"-a", "C:\\My Documents\\Tax 2024"}, false,
                                      {"C:\\My Documents\\Tax 2024"}},
                      CommandLineCase{"SwitchesAfterFolderAreGathered", {"-a", "C:\\x", "-s"}, true, {"C:\\x", "-s"}},
                      CommandLineCase{"QuoteInsideAnArgument", {"-a", "C:\\say \"hi\""}, false, {"C:\\say \"hi\""}},
                      CommandLineCase{"UninstallSwitchIsIgnored", {"-u"}, false, {}}),
    [](const auto& info) { return info.param.name; });

TEST(CommandLine, EachArgumentStandsInQuotesAndTheWholeIsTrimmed) {
    EXPECT_EQ(BuildCommandLineText({"-s"}), "\"-s\"");
    EXPECT_EQ(BuildCommandLineText({"-a", "C:\\a b"}), "\"-a\" \"C:\\a b\"");
    EXPECT_EQ(BuildCommandLineText({"a\"b"}), "\"a\"\"b\"");
    EXPECT_EQ(BuildCommandLineText({}), "");
}

}  // namespace
