#include "platform/display/Library.h"

#include <dlfcn.h>

#include <mutex>

namespace platform::display::library {
namespace {

struct Loaded {
    std::once_flag once;
    void* handle = nullptr;
    String error;
};

Loaded& State() {
    static Loaded* loaded = new Loaded;  // never closed: windows may be drawn until exit
    return *loaded;
}

// The folder of the layer's library: the backend library is built and installed beside it.
String LayerFolder() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&LayerFolder), &info) || !info.dli_fname) return String();
    String path = info.dli_fname;
    auto slash = path.rfind('/');
    return slash == String::npos ? String() : path.substr(0, slash + 1);
}

}  // namespace

void* Open(String* error) {
    Loaded& s = State();
    std::call_once(s.once, [&s] {
        String path = LayerFolder() + "libTarvikX11.so";
        s.handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!s.handle) {
            const char* e = ::dlerror();
            s.error = e ? e : ("cannot open " + path);
        }
    });
    if (!s.handle && error) *error = s.error;
    return s.handle;
}

bool IsOpen() {
    // Only the GUI thread opens the library, and it is the thread that asks.
    return State().handle != nullptr;
}

void* Symbol(const char* name) {
    void* h = Open();
    return h ? ::dlsym(h, name) : nullptr;
}

}  // namespace platform::display::library
