// Format for the layer's own messages. The shared library has no module settings of its own;
// its texts hold only text and integers, which the fixed defaults format the same everywhere.
#pragma once

#include "platform/SysUtils.h"

namespace platform::detail {

inline String LayerFormat(const String& Fmt, std::initializer_list<TVarRec> Args) {
    static const TFormatSettings settings = DefaultFormatSettings();
    return Format(Fmt, Args, settings);
}

}  // namespace platform::detail
