// Rendering windows into images for pixel probes and golden comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/display/Render.h"

namespace display_test {

// Where a failing comparison leaves the actual image and the diff.
inline std::filesystem::path OutputDir() {
    std::filesystem::path dir = std::filesystem::path(TARVIK_RENDER_OUTPUT_DIR);
    std::filesystem::create_directories(dir);
    return dir;
}

// Compares an image with the golden image of that name. TARVIK_UPDATE_GOLDEN=1 writes the
// golden images instead (the one way they are made). Text differs a little between font
// versions: a pixel may be off by channelTolerance, and a few may differ outright.
inline void ExpectMatchesGolden(const platform::display::Image& actual, const std::string& name,
                                int channelTolerance = 48, double allowedShare = 0.004) {
    namespace fs = std::filesystem;
    fs::path golden = fs::path(TARVIK_GOLDEN_DIR) / (name + ".png");
    if (const char* update = std::getenv("TARVIK_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        ASSERT_TRUE(platform::display::WritePng(actual, golden.string()));
        return;
    }
    platform::display::Image expected;
    ASSERT_TRUE(platform::display::ReadPng(golden.string(), &expected)) << "no golden image " << golden;
    platform::display::Image diff;
    int differing = platform::display::CompareImages(expected, actual, channelTolerance, &diff);
    auto allowed = static_cast<int>(allowedShare * actual.width * actual.height);
    if (differing > allowed) {
        fs::path out = OutputDir();
        platform::display::WritePng(actual, (out / (name + ".actual.png")).string());
        platform::display::WritePng(diff, (out / (name + ".diff.png")).string());
        ADD_FAILURE() << name << ": " << differing << " pixels differ (allowed " << allowed << "); see " << out;
    }
}

}  // namespace display_test
