// The shared test data and the compression corpus lie beside the repository (../shared). A
// plain clone has neither: the tests that read them then skip with a note, and the suites
// built from their file lists have no cases (allowed), so the rest of the suite still runs.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tarvik_test {

inline std::filesystem::path SharedDir() { return std::filesystem::path(TARVIK_SHARED_DIR); }

// Never throws: test lists are built from this before any test runs.
inline bool HaveShared(const std::string& relative) {
    std::error_code ec;
    return std::filesystem::exists(SharedDir() / relative, ec);
}

}  // namespace tarvik_test

// `relative` is a string literal naming a file or folder under the shared folder.
#define SKIP_WITHOUT_SHARED(relative)                                                               \
    do {                                                                                            \
        if (!::tarvik_test::HaveShared(relative))                                                   \
            GTEST_SKIP() << "needs " relative " of the shared test data, which is not beside this " \
                            "checkout (" TARVIK_SHARED_DIR ")";                                     \
    } while (0)
