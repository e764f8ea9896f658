// Basic types of the layer, shared by every module.
//
// Text is a byte string holding UTF-8 (the layer's "ANSI" code page); values whose width a
// stored file fixes keep that width there, while handles, message parameters, tags and
// plug-in handles are pointer-sized.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using String = std::string;
using AnsiString = std::string;

using Byte = std::uint8_t;
using Word = std::uint16_t;
using LongWord = std::uint32_t;
using Cardinal = std::uint32_t;
using Integer = std::int32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using NativeInt = std::intptr_t;
using NativeUInt = std::uintptr_t;

// Days since 30 December 1899; the fraction is the time of day.
using TDateTime = double;

// Win32-shaped scalar types used by the window system and the plug-in boundary.
using BOOL = std::int32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using LONG = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using ATOM = std::uint16_t;
using COLORREF = std::uint32_t;

struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HANDLE = void*;

inline constexpr BOOL TRUE_ = 1;
inline constexpr BOOL FALSE_ = 0;
