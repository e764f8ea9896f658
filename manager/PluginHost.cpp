#include "manager/PluginHost.h"

#include "manager/Catalogue.h"
#include "platform/Files.h"

namespace manager {
namespace {

TBusyCursorHook& BusyHook() {
    static TBusyCursorHook hook;
    return hook;
}

}  // namespace

void SetBusyCursorHook(TBusyCursorHook hook) { BusyHook() = std::move(hook); }

THourglass::THourglass() {
    if (BusyHook()) BusyHook()(true);
}

THourglass::~THourglass() {
    if (BusyHook()) BusyHook()(false);
}

void TPluginHost::Report(const String& subject, const String& message) {
    // Page requests come with every resize of the panel: a failure told each time would bury
    // the history.
    String& last = reported_[subject];
    if (last == message) return;
    last = message;
    if (!message.empty() && report_) report_(message);
}

HMODULE TPluginHost::Load(const String& libraryPath) {
    HMODULE module = LoadLibraryA(libraryPath.c_str());
    Report(libraryPath, module ? String() : "Plug-in " + libraryPath + " does not load: " + platform::LastModuleError());
    return module;
}

template <typename F>
F TPluginHost::Export(HMODULE module, const char* name, const String& libraryPath) {
    if (!module) return nullptr;
    F f = platform::GetProcAddressAs<F>(module, name);
    Report(libraryPath + "|" + name, f ? String() : "Plug-in " + libraryPath + " has no export " + name);
    return f;
}

void TPluginHost::CallProvaChild(const TPluginNodeRef& node, const String& command) {
    auto provaChild = Export<TProvaChildFunc>(*node.PluginHandle, plugin_api::kProvaChild, LibraryPath(node.SystemName));
    if (!provaChild) return;
    String result = PluginText(provaChild(application_, mainWindow_, panel_, command.c_str()));
    if (node.PluginChildID->empty()) *node.PluginChildID = result;
}

void TPluginHost::ShowBackupPage(const TPluginNodeRef& node) {
    if (node.NodeKind != nkBackup || node.SystemName.empty() || node.BackupID.empty()) return;
    THourglass busy;
    String command;
    if (!*node.PluginHandle) {
        String path = LibraryPath(node.SystemName);
        // A missing library is tried again at the next request: it may be installed later.
        if (FileExists(path)) *node.PluginHandle = Load(path);
        command = SettingsFile(node.BackupID);
    } else {
        command = "Refresh" + *node.PluginChildID;
    }
    if (*node.PluginHandle) CallProvaChild(node, command);
}

void TPluginHost::RunBackup(const TPluginNodeRef& node, TBackupCommand which) {
    if (node.NodeKind != nkBackup || node.SystemName.empty() || node.BackupID.empty() || !*node.PluginHandle) return;
    String command = (which == TBackupCommand::Backup ? "Backup" : "SecBac") + *node.PluginChildID;
    THourglass busy;
    CallProvaChild(node, command);
}

TPluginHost::TPluginText TPluginHost::ReadPluginText(const String& libraryPath) {
    TPluginText text{"Name:?", String()};
    if (!FileExists(libraryPath)) return text;
    THourglass busy;
    HMODULE module = Load(libraryPath);
    if (auto name = Export<TPluginNameFunc>(module, plugin_api::kPluginName, libraryPath))
        text.Name = "Name: " + PluginText(name());
    if (auto description = Export<TPluginDescriptionFunc>(module, plugin_api::kPluginDescription, libraryPath))
        text.Description = PluginText(description());
    return text;
}

void TPluginHost::ShowPluginInfo(const String& libraryPath) {
    if (!FileExists(libraryPath)) return;
    THourglass busy;
    if (auto info = Export<TPluginINFOFunc>(Load(libraryPath), plugin_api::kPluginINFO, libraryPath)) info();
}

void TPluginHost::ConfigurePlugin(const String& libraryPath, const String& settingsFile) {
    if (!FileExists(libraryPath)) return;
    THourglass busy;
    if (auto prop = Export<TProvaPropFunc>(Load(libraryPath), plugin_api::kProvaProp, libraryPath))
        prop(application_, settingsFile.c_str());
}

}  // namespace manager
