#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "platform/Params.h"

TEST(Params, ProgramPathIsShownOnDriveZWithBackslashes) {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    ASSERT_GT(n, 0);
    String expected = "Z:" + String(buffer, static_cast<std::size_t>(n));
    std::replace(expected.begin(), expected.end(), '/', '\\');
    EXPECT_EQ(ParamStr(0), expected);
    EXPECT_EQ(ProgramFolder(), expected.substr(0, expected.rfind('\\') + 1));
    EXPECT_EQ(ProgramFolder().back(), '\\');
}

TEST(Params, ArgumentsComeAsGivenAndOutOfRangeIsEmpty) {
    // gtest's runner passes its own flags when ctest runs the cases; each is a plain argument.
    const std::vector<String> args = ::testing::internal::GetArgvs();
    ASSERT_EQ(ParamCount(), static_cast<Integer>(args.size()) - 1);
    for (Integer i = 1; i <= ParamCount(); ++i) EXPECT_EQ(ParamStr(i), args[static_cast<std::size_t>(i)]);
    EXPECT_EQ(ParamStr(ParamCount() + 1), "");
    EXPECT_EQ(ParamStr(-1), "");
}
