// Module resources: the bitmaps and string tables a module carries, found by type and name.
//
// Every module (the program, the plug-in, each test executable) has its own table, kept in
// platform/module/ with hidden visibility; its HInstance is the address of that table, so a
// handle names the module whose resources are meant. A module fills its table at start with
// ResourceRegistration objects (generated from resources/). The data is not copied: it must
// live as long as the module. Names and types are compared without regard to case; integer
// names (MAKEINTRESOURCE) are kept as "#<number>".
#pragma once

#include <vector>

#include "platform/FormatSettings.h"
#include "platform/Types.h"

struct HRSRC__;
using HRSRC = HRSRC__*;
using HGLOBAL = void*;

inline const char* MAKEINTRESOURCEA(int id) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(static_cast<Word>(id))); }
inline const char* const RT_BITMAP = MAKEINTRESOURCEA(2);
inline const char* const RT_STRING = MAKEINTRESOURCEA(6);
inline const char* const RT_RCDATA = MAKEINTRESOURCEA(10);

namespace platform {

class ResourceTable {
public:
    struct Entry {
        String type;
        String name;
        const Byte* data = nullptr;
        std::size_t size = 0;
    };
    void Add(const char* type, const char* name, const void* data, std::size_t size);
    const Entry* Find(const char* type, const char* name) const;
    // "#12" for an integer name, the upper-cased text otherwise.
    static String Key(const char* nameOrId);

private:
    std::vector<Entry> entries_;
};

// The calling module's table and handle.
TARVIK_MODULE_LOCAL ResourceTable& ModuleResources();
TARVIK_MODULE_LOCAL inline HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&ModuleResources()); }

struct ResourceRegistration {
    TARVIK_MODULE_LOCAL ResourceRegistration(const char* type, const char* name, const void* data, std::size_t size) {
        ModuleResources().Add(type, name, data, size);
    }
};

// The table behind a module handle; nullptr means the calling module's own.
inline ResourceTable& TableOf(HINSTANCE module, ResourceTable& own) {
    return module ? *reinterpret_cast<ResourceTable*>(module) : own;
}

}  // namespace platform

TARVIK_MODULE_LOCAL inline HRSRC FindResourceA(HINSTANCE module, const char* name, const char* type) {
    const auto* e = platform::TableOf(module, platform::ModuleResources()).Find(type, name);
    return reinterpret_cast<HRSRC>(const_cast<platform::ResourceTable::Entry*>(e));
}
inline HGLOBAL LoadResource(HINSTANCE, HRSRC resource) { return resource; }
inline const void* LockResource(HGLOBAL data) {
    return data ? static_cast<const platform::ResourceTable::Entry*>(data)->data : nullptr;
}
inline DWORD SizeofResource(HINSTANCE, HRSRC resource) {
    return resource ? static_cast<DWORD>(reinterpret_cast<const platform::ResourceTable::Entry*>(resource)->size) : 0;
}
inline BOOL FreeResource(HGLOBAL) { return 0; }

class TBitmap;
namespace platform {
void LoadBitmapResource(TBitmap& Bitmap, HINSTANCE Module, const char* Name, ResourceTable& Own);
}
// Loads a bitmap resource of Instance (nullptr: this module's own). Raises EResNotFound
// "Resource X not found" when that module has none of the name.
TARVIK_MODULE_LOCAL inline void LoadBitmapFromResourceName(TBitmap& Bitmap, HINSTANCE Instance, const String& Name) {
    platform::LoadBitmapResource(Bitmap, Instance, Name.c_str(), platform::ModuleResources());
}
