// The few window-system types that the tree window's records carry (points, rectangles,
// notification headers, device-context, font and image-list handles). They come from the
// window system's header; this header only gives the tree window one place to include them.
#pragma once

#include "platform/Types.h"

#if __has_include("platform/Windows.h")
#include "platform/Windows.h"
#else
struct POINT {
    LONG x = 0;
    LONG y = 0;
};
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};
struct NMHDR {
    HWND hwndFrom = nullptr;
    std::uintptr_t idFrom = 0;
    UINT code = 0;
};
struct HDC__;
using HDC = HDC__*;
struct HFONT__;
using HFONT = HFONT__*;
struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__*;
#endif
