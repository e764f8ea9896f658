// Small helpers of the zip engine: percentages, name slashes, text ends, wildcard test.
// The file-system helpers and the directory walker sit in DirSearch.h.
#pragma once

#include "platform/Types.h"

Integer IntMin(Integer a, Integer b);
Integer IntMax(Integer a, Integer b);
// part * 100 / total rounded half to even, capped at 100; 0 when total <= 0.
Integer Percentage(Integer total, Integer part);
Integer CompPercentage(Int64 total, Int64 done);
void DOSToUnixFilename(String& name);
void UnixToDOSFilename(String& name);
String RightStr(const String& s, Integer n);
String LeftStr(const String& s, Integer n);
bool IsWildcard(const String& s);
bool BytesEqual(const void* a, const void* b, Integer count);
// Deflate checks call it; it has no effect.
inline void LibAssert(bool, const char*) {}
