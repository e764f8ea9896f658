// The library's five entry points, the only symbols it exports (see exports.map).
#include <cctype>

#include "controls/CheckImages.h"

#include "platform/Modules.h"
#include "platform/Paths.h"
#include "platform/PluginApi.h"
#include "platform/Windows.h"
#include "plugin/FormProperties.h"
#include "plugin/PageWindow.h"
#include "plugin/ZipArchive.h"

#define QEL_EXPORT __attribute__((visibility("default")))

namespace {

constexpr const char* kName = "Qel backup system";
constexpr const char* kDescription = "Sistem razvijen za sigurnosno smestanje podataka";
// What every command word gives back: an empty text, never a null pointer.
constexpr const char* kEmpty = "";

// The first n characters of command (fewer when it is shorter), upper-cased, equal word.
bool StartsWithWord(const String& command, const String& word) {
    if (command.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(command[i])) != std::toupper(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

// The plug-in's data folder: beside the program, "Plugins\QelBackup\".
String PluginDataFolder() {
    char buffer[1024] = {};
    GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return ExtractFilePath(buffer) + "Plugins\\QelBackup\\";
}

// The library starts and ends like the program: its check images are cut from its own
// CHECK_LIGHT when it is loaded and freed when it leaves. Nothing here draws a tree, so this
// reference is what links that start-up and shut-down in.
[[maybe_unused]] __attribute__((used)) TImageList* const* const kModuleCheckImages = &CheckImages;

// When the library leaves the process its application variable goes back to its own object.
__attribute__((destructor)) void DllDetachHandler() { qel::RestoreOwnApplication(); }

}  // namespace

extern "C" {

QEL_EXPORT const char* PluginName() { return kName; }

QEL_EXPORT const char* PluginDescription() { return kDescription; }

QEL_EXPORT void PluginINFO() { MessageBoxA(nullptr, "Info No exists", kName, MB_OK); }

QEL_EXPORT void ProvaProp(TApplication* application, const char* settingsFile) {
    qel::AdoptApplication(application);
    // Owned by the application object; closing frees it.
    auto* dialog = new qel::TFormProperties(application);
    dialog->lFile->SetCaption(settingsFile ? settingsFile : "");
    dialog->LoadFromIni();
    dialog->ShowModal();
}

QEL_EXPORT const char* ProvaChild(TApplication* application, HWND /*mainWindow*/, HWND parent, const char* command) {
    const String text = command ? command : "";
    if (StartsWithWord(text, "Refresh")) {
        for (auto* page : qel::TPageWindow::Named(text.substr(7))) page->Refresh();
        return kEmpty;
    }
    if (StartsWithWord(text, "Backup")) {
        for (auto* page : qel::TPageWindow::Named(text.substr(6))) page->Page().StartBackup();
        return kEmpty;
    }
    if (StartsWithWord(text, "SecBac")) {
        MessageBoxA(nullptr, text.c_str(), kName, MB_OK);
        return kEmpty;
    }
    auto* page = qel::TPageWindow::Create(application, parent, text, qel::MakeZipArchive(), PluginDataFolder());
    return page->Name().c_str();
}

}  // extern "C"
