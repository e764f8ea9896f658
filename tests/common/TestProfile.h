// Test fixture: every case gets its own profile folder and its own scratch folder.
//
// The profile ($TARVIK_PROFILE) holds the registry store, the drive table and drive C:, so
// cases cannot see each other's settings, drives or shortcuts. The scratch folder is where a
// case puts its own files; Win() gives its Windows-style name. Both are removed after the
// case (kept when $TARVIK_KEEP_TEST_DIRS is set, to look at them). Header-only: any test
// area that links the layer can include it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Drives.h"
#include "platform/Profile.h"

namespace tarvik::test {

// Points the layer at a new profile for the lifetime of the object.
class ScopedTestProfile {
public:
    ScopedTestProfile() {
        std::string base = std::filesystem::temp_directory_path() / "tarvik-test-XXXXXX";
        if (!::mkdtemp(base.data())) throw std::runtime_error("mkdtemp failed");
        root_ = base;
        profile_ = root_ + "/profile";
        scratch_ = root_ + "/scratch";
        std::filesystem::create_directories(scratch_);
        if (const char* old = std::getenv("TARVIK_PROFILE")) oldProfile_ = old;
        ::setenv("TARVIK_PROFILE", profile_.c_str(), 1);
        // With $XDG_RUNTIME_DIR set, every profile would share one session folder below it,
        // and cases running in parallel would see each other's windows, atoms and locks.
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) oldRuntime_ = old;
        ::unsetenv("XDG_RUNTIME_DIR");
        // The desktop's places (desktop folder, applications menu, autostart) go into the
        // profile too, so that no case ever writes a desktop entry of the person's own.
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            if (const char* old = std::getenv(name)) oldXdg_.emplace_back(name, old);
        ::setenv("XDG_DATA_HOME", (profile_ + "/xdg/data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (profile_ + "/xdg/config").c_str(), 1);
        std::filesystem::create_directories(profile_ + "/xdg/config");
        std::ofstream(profile_ + "/xdg/config/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"" << profile_ << "/xdg/Desktop\"\n";
        platform::ResetProfileForTests();
        platform::ProfilePath();  // create the skeleton now
    }
    ~ScopedTestProfile() {
        if (oldProfile_) ::setenv("TARVIK_PROFILE", oldProfile_->c_str(), 1);
        else ::unsetenv("TARVIK_PROFILE");
        if (oldRuntime_) ::setenv("XDG_RUNTIME_DIR", oldRuntime_->c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
        ::unsetenv("XDG_CONFIG_HOME");
        for (const auto& [name, value] : oldXdg_) ::setenv(name.c_str(), value.c_str(), 1);
        platform::ResetProfileForTests();
        if (!std::getenv("TARVIK_KEEP_TEST_DIRS")) {
            std::error_code ec;
            std::filesystem::remove_all(root_, ec);
        }
    }
    ScopedTestProfile(const ScopedTestProfile&) = delete;
    ScopedTestProfile& operator=(const ScopedTestProfile&) = delete;

    // POSIX paths.
    const std::string& Profile() const { return profile_; }
    const std::string& Scratch() const { return scratch_; }
    std::string Scratch(const std::string& relative) const { return scratch_ + "/" + relative; }
    // Windows-style name of a path below the scratch folder ("" gives the folder itself).
    std::string Win(const std::string& relative = std::string()) const {
        return platform::FromPosixPath(relative.empty() ? scratch_ : scratch_ + "/" + relative);
    }

    // Small POSIX helpers for preparing and checking files behind the layer's back.
    void WriteText(const std::string& relative, const std::string& text) const {
        std::filesystem::path p = Scratch(relative);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    }
    std::string ReadText(const std::string& posixPath) const {
        std::ifstream in(posixPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string root_, profile_, scratch_;
    std::optional<std::string> oldProfile_, oldRuntime_;
    std::vector<std::pair<std::string, std::string>> oldXdg_;
};

// gtest fixture form: derive a test class from it, or use TEST_F(ProfileTest, ...).
class ProfileTest : public ::testing::Test {
protected:
    ScopedTestProfile env;
};

}  // namespace tarvik::test
