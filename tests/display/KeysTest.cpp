// The X11 backend's keysyms to the layer's virtual keys (keysym values as the X protocol
// numbers them, so the test needs no X header).
#include <gtest/gtest.h>

#include "platform/Windows.h"
#include "platform/display/Library.h"

namespace {

struct KeyCase {
    const char* name;
    unsigned long keysym;
    int vk;
};

class KeysymTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeysymTest, MapsToTheVirtualKeyTheControlsExpect) {
    auto virtualKey = platform::display::library::Entry<int (*)(unsigned long)>("TarvikX11VirtualKey");
    ASSERT_NE(virtualKey, nullptr);
    EXPECT_EQ(virtualKey(GetParam().keysym), GetParam().vk);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeysymTest,
    ::testing::Values(KeyCase{"LowerA", 0x61, 'A'}, KeyCase{"UpperZ", 0x5a, 'Z'}, KeyCase{"Digit7", 0x37, '7'},
                      KeyCase{"Return", 0xff0d, VK_RETURN}, KeyCase{"KeypadEnter", 0xff8d, VK_RETURN},
                      KeyCase{"Tab", 0xff09, VK_TAB}, KeyCase{"ShiftTab", 0xfe20, VK_TAB},
                      KeyCase{"Escape", 0xff1b, VK_ESCAPE}, KeyCase{"BackSpace", 0xff08, VK_BACK},
                      KeyCase{"Delete", 0xffff, VK_DELETE}, KeyCase{"Home", 0xff50, VK_HOME},
                      KeyCase{"KeypadUp", 0xff97, VK_UP}, KeyCase{"F2", 0xffbf, VK_F2},
                      KeyCase{"ShiftRight", 0xffe2, VK_SHIFT}, KeyCase{"ControlLeft", 0xffe3, VK_CONTROL},
                      KeyCase{"AltLeft", 0xffe9, VK_MENU}, KeyCase{"Space", 0x20, VK_SPACE},
                      KeyCase{"KeypadAdd", 0xffab, VK_ADD}, KeyCase{"DeadAcute", 0xfe51, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
