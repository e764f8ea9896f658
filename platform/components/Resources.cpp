#include "platform/Resources.h"

#include "platform/SysUtils.h"

namespace platform {

String ResourceTable::Key(const char* nameOrId) {
    auto v = reinterpret_cast<std::uintptr_t>(nameOrId);
    if (v < 0x10000) return "#" + IntToStr(static_cast<Int64>(v));
    return UpperCase(nameOrId);
}

void ResourceTable::Add(const char* type, const char* name, const void* data, std::size_t size) {
    entries_.push_back(Entry{Key(type), Key(name), static_cast<const Byte*>(data), size});
}

const ResourceTable::Entry* ResourceTable::Find(const char* type, const char* name) const {
    if (!type || !name) return nullptr;
    String t = Key(type), n = Key(name);
    for (const Entry& e : entries_)
        if (e.type == t && e.name == n) return &e;
    return nullptr;
}

}  // namespace platform

#include "platform/Graphics.h"
#include "detail/LayerFormat.h"

namespace platform {

void LoadBitmapResource(TBitmap& Bitmap, HINSTANCE Module, const char* Name, ResourceTable& Own) {
    const ResourceTable::Entry* e = TableOf(Module, Own).Find(RT_BITMAP, Name);
    if (!e) throw EResNotFound(detail::LayerFormat("Resource %s not found", {ResourceTable::Key(Name)}));
    Bitmap.LoadFromResourceData(e->data, e->size);
}

}  // namespace platform
