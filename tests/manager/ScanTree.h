// Test helpers of the manager area: a scratch folder on the POSIX side, files with chosen
// contents and modification days, and the output of peer commands (find, grep) as lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/TestProfile.h"

namespace scantest {

// Runs a shell command and gives its standard output split into lines.
std::vector<std::string> CommandLines(const std::string& command);

// Quotes a POSIX path for the shell.
std::string ShellQuote(const std::string& text);

// Writes a file with the given bytes and sets its modification time to noon of the local
// day `daysAgo` days before today.
void WriteFile(const std::string& path, const std::string& bytes, int daysAgo = 0);

// "YYYY-MM-DD" of the local day `daysAgo` days before today.
std::string LocalDay(int daysAgo);

// Gives up root's rights for file access while it lives (a folder that root could still read
// or write is then closed to the test too). Does nothing for another user.
class AsUnprivilegedUser {
public:
    AsUnprivilegedUser();
    ~AsUnprivilegedUser();
    AsUnprivilegedUser(const AsUnprivilegedUser&) = delete;
    AsUnprivilegedUser& operator=(const AsUnprivilegedUser&) = delete;

private:
    bool switched_ = false;
};

// Lets other users through the case's own folders down to scratch (they start as 0700), so
// that what an unprivileged user meets there is only what the test sets up.
void OpenToOthers(const std::string& scratch);

// Every test case gets its own profile folder.
using ProfileTest = tarvik::test::ProfileTest;

}  // namespace scantest
