// The few window-system types that the tree window's records carry (points, rectangles,
// notification headers, device-context, font and image-list handles). They come from the
// window system's header; this header only gives the tree window one place to include them.
#pragma once

#include "platform/Types.h"

#include "platform/Windows.h"

// Image lists belong to the component layer; the tree window holds only their handles and
// asks the image-list code through the hooks of platform/TreeView.h.
struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__*;
