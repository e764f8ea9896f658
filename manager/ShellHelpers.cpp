#include "manager/ShellHelpers.h"

#include <optional>

#include "manager/RegistryHelpers.h"
#include "manager/Settings.h"
#include "platform/DesktopServices.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Params.h"
#include "platform/ShellLink.h"
#include "platform/SysUtils.h"

namespace manager {
namespace {

// Holds one interface pointer and releases it on every way out.
template <class T>
class InterfaceRef {
public:
    InterfaceRef() = default;
    ~InterfaceRef() {
        if (p_) p_->Release();
    }
    InterfaceRef(const InterfaceRef&) = delete;
    InterfaceRef& operator=(const InterfaceRef&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    void** out() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// The desktop's own place that matches a shell folder; Favorites has none on Linux.
std::optional<platform::desktop::Place> DesktopPlace(const String& FolderName) {
    using platform::desktop::Place;
    if (SameText(FolderName, "Desktop")) return Place::Desktop;
    if (SameText(FolderName, "Start Menu")) return Place::Applications;
    if (SameText(FolderName, "Startup")) return Place::Autostart;
    return std::nullopt;
}

// A desktop entry of the shortcut's title, so that the desktop shows what the shell link says.
void MakeDesktopEntry(platform::desktop::Place place, bool Create, const String& arguments) {
    if (!Create) {
        platform::desktop::RemoveDesktopEntry(place, ApplicationTitle());
        return;
    }
    if (FileExists(platform::FromPosixPath(platform::desktop::DesktopEntryPath(place, ApplicationTitle())))) return;
    const std::string program = platform::ToPosixPath(ParamStr(0));
    platform::desktop::DesktopEntry entry;
    entry.name = ApplicationTitle();
    entry.comment = ShortcutDescription;
    entry.command = {program};
    if (!arguments.empty()) entry.command.push_back(arguments);
    entry.icon = program.substr(0, program.rfind('/') + 1) + "Icons/tarvik-256.png";
    platform::desktop::WriteDesktopEntry(place, ApplicationTitle(), entry);
}

void Check(HRESULT result, const char* what) {
    if (FAILED(result))
        throw EOSError(String("Cannot ") + what + " of the shell link object", static_cast<DWORD>(result));
}

}  // namespace

bool InitializeShellObjects() { return SUCCEEDED(CoInitialize(nullptr)); }

void FinalizeShellObjects() { CoUninitialize(); }

String ShortcutPath(const String& FolderName) {
    const String folder = GetRegValue(HKEY_CURRENT_USER, kShellFoldersKey, FolderName);
    if (folder.empty()) return String();
    return folder + "\\" + ApplicationTitle() + ".lnk";
}

bool ShortcutExists(const String& FolderName) {
    const String path = ShortcutPath(FolderName);
    return !path.empty() && FileExists(path);
}

void MakeShortcut(const String& FolderName, bool Create, const String& Parameters) {
    InterfaceRef<IUnknown> object;
    Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.out()), "create");
    InterfaceRef<IShellLinkA> link;
    Check(object->QueryInterface(IID_IShellLinkA, link.out()), "get the link interface");
    InterfaceRef<IPersistFile> file;
    Check(object->QueryInterface(IID_IPersistFile, file.out()), "get the file interface");

    // Callers pass " -s": the blank separates it from the path on a command line.
    const String arguments = Parameters.empty() ? String() : Parameters.substr(Parameters.front() == ' ' ? 1 : 0);
    link->SetPath(ParamStr(0).c_str());
    if (!Parameters.empty()) link->SetArguments(arguments.c_str());
    link->SetDescription(ShortcutDescription.c_str());

    const String path = ShortcutPath(FolderName);
    if (path.empty()) return;
    if (const auto place = DesktopPlace(FolderName)) MakeDesktopEntry(*place, Create, arguments);
    if (Create) {
        // An existing file is left as it is, so an older shortcut is never replaced.
        if (!FileExists(path)) file->Save(platform::ToOleString(path).c_str(), FALSE_);
    } else if (FileExists(path)) {
        DeleteFile(path);
    }
}

bool CanWriteIn(const String& folder) {
    char name[261] = {};  // the longest name the call makes
    if (GetTempFileNameA(folder.c_str(), "tvk", 0, name) == 0) return false;
    DeleteFile(name);
    return true;
}

String GetTempDirectory() {
    char buffer[261];
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return String();
    return String(buffer, length);
}

}  // namespace manager
