// The X11 backend on the test program's own Xvfb, chosen once the server answers. Register it
// once per test program with
//   const auto* const g_xvfb = tarvik::test::AddX11Backend();
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/display/Backend.h"
#include "tests/common/X11Session.h"

namespace tarvik::test {

inline ::testing::Environment* AddX11Backend() {
    return ::testing::AddGlobalTestEnvironment(new XvfbEnvironment([] {
        ASSERT_TRUE(platform::display::Choose("x11")) << "the X11 backend did not start on " << std::getenv("DISPLAY");
    }));
}

}  // namespace tarvik::test
