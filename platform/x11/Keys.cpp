#include "platform/x11/Keys.h"

#include <X11/keysym.h>

namespace platform::x11 {

int VirtualKeyOf(unsigned long ks) {
    if (ks >= XK_a && ks <= XK_z) return static_cast<int>(ks - XK_a) + 'A';
    if (ks >= XK_A && ks <= XK_Z) return static_cast<int>(ks - XK_A) + 'A';
    if (ks >= XK_0 && ks <= XK_9) return static_cast<int>(ks - XK_0) + '0';
    if (ks >= XK_F1 && ks <= XK_F24) return static_cast<int>(ks - XK_F1) + 0x70;
    if (ks >= XK_KP_0 && ks <= XK_KP_9) return static_cast<int>(ks - XK_KP_0) + 0x60;
    struct Pair {
        unsigned long keysym;
        int vk;
    };
    static constexpr Pair kTable[] = {
        {XK_BackSpace, 0x08}, {XK_Tab, 0x09},      {XK_ISO_Left_Tab, 0x09}, {XK_Return, 0x0D},   {XK_KP_Enter, 0x0D},
        {XK_Shift_L, 0x10},   {XK_Shift_R, 0x10},  {XK_Control_L, 0x11},    {XK_Control_R, 0x11}, {XK_Alt_L, 0x12},
        {XK_Alt_R, 0x12},     {XK_Meta_L, 0x12},   {XK_ISO_Level3_Shift, 0x12}, {XK_Pause, 0x13}, {XK_Caps_Lock, 0x14},
        {XK_Escape, 0x1B},    {XK_space, 0x20},    {XK_Prior, 0x21},        {XK_KP_Prior, 0x21}, {XK_Next, 0x22},
        {XK_KP_Next, 0x22},   {XK_End, 0x23},      {XK_KP_End, 0x23},       {XK_Home, 0x24},     {XK_KP_Home, 0x24},
        {XK_Left, 0x25},      {XK_KP_Left, 0x25},  {XK_Up, 0x26},           {XK_KP_Up, 0x26},    {XK_Right, 0x27},
        {XK_KP_Right, 0x27},  {XK_Down, 0x28},     {XK_KP_Down, 0x28},      {XK_Print, 0x2C},    {XK_Insert, 0x2D},
        {XK_KP_Insert, 0x2D}, {XK_Delete, 0x2E},   {XK_KP_Delete, 0x2E},    {XK_Super_L, 0x5B},  {XK_Super_R, 0x5C},
        {XK_Menu, 0x5D},      {XK_KP_Multiply, 0x6A}, {XK_KP_Add, 0x6B},    {XK_KP_Subtract, 0x6D}, {XK_KP_Decimal, 0x6E},
        {XK_KP_Divide, 0x6F}, {XK_Num_Lock, 0x90}, {XK_Scroll_Lock, 0x91},  {XK_semicolon, 0xBA}, {XK_equal, 0xBB},
        {XK_comma, 0xBC},     {XK_minus, 0xBD},    {XK_period, 0xBE},       {XK_slash, 0xBF},    {XK_grave, 0xC0},
        {XK_bracketleft, 0xDB}, {XK_backslash, 0xDC}, {XK_bracketright, 0xDD}, {XK_apostrophe, 0xDE}, {XK_less, 0xE2},
    };
    for (const Pair& p : kTable)
        if (p.keysym == ks) return p.vk;
    return 0;
}

}  // namespace platform::x11
