// The pictures of the tree control's check boxes and radio buttons: one image list per module,
// CheckImages, cut from the module's bitmap resource CHECK_LIGHT when the module starts and
// freed when it ends. Its grey and silver are replaced by the desktop's button shadow and
// button face colours, so every tree control rebuilds it (in place) when the system colours
// change. A tree control without its own state images shows these.
//
// State image n is picture n: 1 unchecked box, 2 checked, 3 and 4 their pressed or disabled
// forms, 5 to 8 the same for radio buttons; picture 0 is blank, as state image 0 means none.
#pragma once

#include "platform/FormatSettings.h"
#include "platform/ImgList.h"

// This module's check images (nullptr only outside the module's lifetime).
extern TARVIK_MODULE_LOCAL TImageList* CheckImages;

// Empties List and fills it from this module's CHECK_LIGHT with the current system colours.
// Raises EResNotFound "Resource CHECK_LIGHT not found" when the module carries none.
TARVIK_MODULE_LOCAL void LoadCheckImages(TCustomImageList* List);

namespace controls::detail {
// LoadCheckImages from the bitmap resource Name of this module, with the colours given for
// palette entries 7 (shadow) and 8 (face).
TARVIK_MODULE_LOCAL void LoadCheckStrip(TCustomImageList* List, const char* Name, COLORREF Shadow, COLORREF Face);
}  // namespace controls::detail
