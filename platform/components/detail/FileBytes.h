// Whole-file reads and writes for the component layer (pictures, the web-browser stand-in).
//
// Kept apart from the window-system headers: it is the one place where the forms code goes
// through the layer's file streams, with their errors (EFOpenError, EFCreateError, EWriteError).
#pragma once

#include <vector>

#include "platform/Streams.h"

namespace platform::detail {

std::vector<Byte> ReadFileBytes(const String& FileName);
void WriteFileBytes(const String& FileName, const std::vector<Byte>& Bytes);
// False when the file cannot be opened; Bytes then stays empty.
bool TryReadFileBytes(const String& FileName, std::vector<Byte>& Bytes);

}  // namespace platform::detail
