// Shell links (".lnk" shortcut files) through the system's COM interfaces.
//
// CoCreateInstance(CLSID_ShellLink) gives a shell-link object with IShellLinkA (target,
// arguments, description, working folder, icon) and IPersistFile (Save/Load). Saved files are
// real binary shell links in the system's format (header, link info with the volume and the
// local path, Unicode string data), so other tools read them; Load reads them back. This
// is the only COM class the layer provides; COM must be initialised on the calling thread
// (CoInitialize), as on the system. Saving replaces the file atomically.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Messages.h"
#include "platform/Types.h"

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using OLECHAR = wchar_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }
inline constexpr HRESULT HRESULT_FROM_WIN32(DWORD code) {
    return code == 0 ? S_OK : static_cast<HRESULT>((code & 0xFFFFu) | 0x80070000u);
}

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    friend constexpr bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i]) return false;
        return true;
    }
};
using CLSID = GUID;
using IID = GUID;

inline constexpr CLSID CLSID_ShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IUnknown = {0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;

struct IUnknown {
    virtual HRESULT QueryInterface(const IID& riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IShellLinkA : IUnknown {
    // cch counts the buffer's characters, its terminating zero included. findData and flags
    // are not used.
    virtual HRESULT GetPath(char* file, int cch, void* findData, DWORD flags) = 0;
    virtual HRESULT SetPath(const char* file) = 0;
    virtual HRESULT GetArguments(char* args, int cch) = 0;
    virtual HRESULT SetArguments(const char* args) = 0;
    virtual HRESULT GetDescription(char* name, int cch) = 0;
    virtual HRESULT SetDescription(const char* name) = 0;
    virtual HRESULT GetWorkingDirectory(char* dir, int cch) = 0;
    virtual HRESULT SetWorkingDirectory(const char* dir) = 0;
    virtual HRESULT GetIconLocation(char* iconPath, int cch, int* icon) = 0;
    virtual HRESULT SetIconLocation(const char* iconPath, int icon) = 0;
    virtual HRESULT GetShowCmd(int* showCmd) = 0;
    virtual HRESULT SetShowCmd(int showCmd) = 0;

protected:
    ~IShellLinkA() = default;
};

struct IPersistFile : IUnknown {
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(LPCOLESTR fileName, DWORD mode) = 0;
    virtual HRESULT Save(LPCOLESTR fileName, BOOL remember) = 0;
    virtual HRESULT SaveCompleted(LPCOLESTR fileName) = 0;

protected:
    ~IPersistFile() = default;
};

HRESULT CoInitialize(void* reserved);
void CoUninitialize();
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, DWORD clsContext, const IID& riid, void** object);

namespace platform {
// Wide text for IPersistFile from the layer's UTF-8 text, and back.
std::wstring ToOleString(const String& text);
String FromOleString(LPCOLESTR text);
}  // namespace platform
