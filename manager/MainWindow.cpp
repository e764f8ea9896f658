#include "manager/MainWindow.h"

#include <cstdio>

#include "manager/FolderPage.h"
#include "manager/Instance.h"
#include "manager/RegistryHelpers.h"
#include "manager/Settings.h"
#include "manager/ShellHelpers.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/MessageLoop.h"
#include "platform/Params.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"

namespace manager {
namespace {

// Texts and names of the main window.
constexpr const char* kApplicationClass = "TApplication";
constexpr const char* kPanelClass = "TPanel";
constexpr const char* kBackupRootText = "Backup's";
constexpr const char* kActionsRootText = "Actions";
constexpr const char* kHistoryRootText = "History";
constexpr const char* kRootSystemName = "Folder";
constexpr const char* kExplorerKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr const char* kNoDescription = "No description.";

TFormMain* g_formMain = nullptr;

void Say(const String& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

TFormMain* FormMain() { return g_formMain; }

LRESULT TFormMain::AppProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The layer closes the application window on SIGTERM, SIGINT and SIGHUP.
    if (msg == WM_CLOSE && g_formMain) {
        g_formMain->CloseForTermination();
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT TFormMain::MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_formMain && g_formMain->handle_ == hwnd) {
        try {
            return g_formMain->WndProc(msg, wParam, lParam);
        } catch (const std::exception& e) {
            g_formMain->AppException("TFormMain", e);
            return 0;
        }
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT TFormMain::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INSTANCE_PING: return InstanceMagic;
        case WM_INSTANCE_RESTORE: WMInstanceRestore(); return 0;
        case WM_INSTANCE_COMMANDLINE: WMInstanceCommandLine(wParam); return 0;
        case WM_CLOSE: FormClose(); return 0;
        case WM_SIZE:
            if (panelMain_) MoveWindow(panelMain_, 0, 0, LOWORD(static_cast<std::uintptr_t>(lParam)),
                                       HIWORD(static_cast<std::uintptr_t>(lParam)), TRUE_);
            return 0;
        case WM_DESTROY:
            FormDestroy();
            PostQuitMessage(0);
            return 0;
        default: return DefWindowProcA(handle_, msg, wParam, lParam);
    }
}

TFormMain::TFormMain() {
    g_formMain = this;
    static const bool registered = [] {
        WNDCLASSA app;
        app.lpfnWndProc = &TFormMain::AppProc;
        app.lpszClassName = kApplicationClass;
        RegisterClassA(&app);
        WNDCLASSA main;
        main.lpfnWndProc = &TFormMain::MainProc;
        main.lpszClassName = kMainWindowClass;
        RegisterClassA(&main);
        WNDCLASSA panel;
        panel.lpfnWndProc = DefWindowProcA;
        panel.lpszClassName = kPanelClass;
        RegisterClassA(&panel);
        return true;
    }();
    (void)registered;
    appWindow_ = CreateWindowExA(0, kApplicationClass, ApplicationTitle().c_str(), 0, 0, 0, 0, 0, nullptr, nullptr,
                                 nullptr, nullptr);
    handle_ = CreateWindowExA(0, kMainWindowClass, ApplicationTitle().c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                              nullptr, nullptr, nullptr, nullptr);
    panelMain_ = CreateWindowExA(0, kPanelClass, "PanelMain", WS_CHILD | WS_VISIBLE, 106, 0, 534, 440, handle_, nullptr,
                                 nullptr, nullptr);
    platform::SetMainWindow(appWindow_);
    plugins_.SetReport([this](const String& m) { history_.Add(m, hcAdd); });
}

TFormMain::~TFormMain() {
    if (handle_ && IsWindow(handle_)) {
        destroyed_ = true;  // no history lines from a teardown without the close step
        DestroyWindow(handle_);
    }
    if (appWindow_ && IsWindow(appWindow_)) DestroyWindow(appWindow_);
    if (platform::MainWindow() == appWindow_) platform::SetMainWindow(nullptr);
    if (g_formMain == this) g_formMain = nullptr;
}

void TFormMain::FormCreate() {
    SetWindowTextA(handle_, ApplicationTitle().c_str());
    try {
        LoadRegistrySettings();
    } catch (const std::exception& e) {
        AppException("TFormMain", e);
    }
    const String program = ProgramFolder();
    PluginsFolder = program + "Plugins\\";
    HistoryFile = program + "History.txt";
    BackupTemplateFile = program + "Templates\\TemplateBackup.htm";
    FolderTemplateFile = program + "Templates\\TemplateFolder.htm";
    DefaultPageFile = program + "Templates\\Default.htm";
    HelpPageFile = program + "Help\\Help.htm";
    history_.SetFileName(HistoryFile);

    String appData = "C:";
    try {
        appData = ReadRegIniString(kExplorerKey, "Shell Folders", "AppData", "C:");
    } catch (const std::exception& e) {
        AppException("TFormMain", e);
    }
    BackupListFile = appData + "\\Brenlo\\Corvex\\Backup.Dat";
    BackupDataFolder = ExtractFilePath(BackupListFile);
    catalogue_.SetFileName(BackupListFile);
    plugins_.SetFolders(PluginsFolder, BackupDataFolder);
    plugins_.SetHostObjects(nullptr, handle_, panelMain_);

    for (const String& folder : {BackupDataFolder, PluginsFolder, ExtractFilePath(BackupTemplateFile)})
        if (!ForceDirectories(folder)) history_.Add("Cannot create the folder " + folder, hcAdd);

    history_.Add("Program started", hcAdd);
    history_.Add("Chancking system.... ", hcChecking);
    CreateRootNodes();
    history_.Add("No errors found!", hcChecking);
    try {
        LoadBackupList(BackupListFile);
    } catch (const std::exception& e) {
        AppException("TFormMain", e);
    }
    ShowPage(TPage::tsBackupInfo);
    Navigate(DefaultPageFile);
}

bool TFormMain::SaveAll() {
    try {
        SaveRegistrySettings();
        SaveBackupList(BackupListFile);
        return true;
    } catch (const std::exception& e) {
        AppException("TFormMain", e);
        return false;
    }
}

void TFormMain::FormClose() {
    if (!SaveAll()) return;
    if (Settings.General_cClosedM) {
        Minimize();
        return;
    }
    DestroyWindow(handle_);
}

void TFormMain::CloseForTermination() {
    // A signal ends the program whatever General_cClosedM says; what the close step saves is
    // saved first. A failed save is in the history, and the program still ends.
    SaveAll();
    if (handle_ && IsWindow(handle_)) DestroyWindow(handle_);
    else PostQuitMessage(0);
}

void TFormMain::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    history_.Add("Program ended", hcAdd);
    history_.Add("\r", hcAdd);
}

void TFormMain::Minimize() {
    ShowWindow(appWindow_, SW_MINIMIZE);
    ShowWindow(handle_, SW_MINIMIZE);
    Say("Minimised");
}

void TFormMain::WMInstanceRestore() {
    if (IsIconic(appWindow_)) {
        ShowWindow(appWindow_, SW_RESTORE);
        ShowWindow(handle_, SW_RESTORE);
        Say("Restored");
    } else {
        BringWindowToTop(handle_);
        SetForegroundWindow(handle_);
        Say("Brought to front");
    }
}

void TFormMain::WMInstanceCommandLine(WPARAM atom) {
    char buffer[260] = {};
    UINT n = GlobalGetAtomNameA(static_cast<ATOM>(atom), buffer, sizeof buffer);
    if (n == 0) RaiseLastOSError();
    ProcessCommandLine(String(buffer, n));
}

void TFormMain::ProcessCommandLine(const String& text) {
    TCommandLineRequest request = ParseCommandLineText(text);
    for (const String& path : request.HandedOverPaths) {
        handedOverPaths_.push_back(path);
        Say("Folder handed over: " + path);
    }
    if (request.Minimise) Minimize();
}

void TFormMain::LoadRegistrySettings() {
    LoadSettings(Settings);
    alwaysOnTopChecked_ = !Settings.General_cOnTop;
    mnuAlwaysOnTopClick();
}

void TFormMain::SaveRegistrySettings() {
    Settings.General_cOnTop = alwaysOnTopChecked_;
    SaveSettings(Settings);
}

void TFormMain::mnuAlwaysOnTopClick() {
    alwaysOnTopChecked_ = !alwaysOnTopChecked_;
    SetWindowPos(handle_, alwaysOnTopChecked_ ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TFormMain::CreateRootNodes() {
    rootsBuilding_ = true;
    tree_.Clear();
    CurrentNode = nullptr;
    auto root = [this](const char* text, Int64 kind, Integer image, Integer selected) {
        TCatalogueNode* n = tree_.AddChild(nullptr, text);
        TreeExChange(n);  // the tree reports every insertion
        n->SystemName = kRootSystemName;
        n->NodeKind = kind;
        n->ImageIndex = image;
        n->SelectedIndex = selected;
        return n;
    };
    BackupRoot = root(kBackupRootText, nkFolder, 10, 11);
    ActionsRoot = root(kActionsRootText, nkBackup, 0, 1);
    HistoryRoot = root(kHistoryRootText, nkHistory, 12, 13);
    rootsBuilding_ = false;
}

namespace {

// The loader's view of the main window's tree.
class TFormTarget : public TCatalogueTarget {
public:
    TFormTarget(TFormMain& form) : form_(form) {}
    Node BackupRoot() override { return form_.BackupRoot; }
    Node ParentOf(Node node) override { return static_cast<TCatalogueNode*>(node)->Parent; }
    Node AddChild(Node parent, const TCatalogueRecord& r) override {
        TCatalogueNode* n = form_.Tree().AddChild(static_cast<TCatalogueNode*>(parent), r.Text);
        n->NodeKind = r.NodeKind;
        n->SystemName = r.SystemName;
        n->BackupID = r.BackupID;
        n->Description = r.Description;
        n->Created = r.Created;
        n->ImageIndex = r.ImageIndex;
        n->SelectedIndex = r.SelectedIndex;
        n->SavedExpanded = r.Expanded;
        return n;
    }
    void NodeLoaded(Node node) override { form_.TreeExChange(static_cast<TCatalogueNode*>(node)); }
    void ExpandSavedNodes() override {
        for (TCatalogueNode* n : form_.Tree().PreOrder())
            if (n->SavedExpanded) n->Expanded = true;
    }

private:
    TFormMain& form_;
};

}  // namespace

void TFormMain::LoadBackupList(const String& path) {
    catalogue_.SetFileName(path);
    TFormTarget target(*this);
    HistoryProblems(catalogue_.Load(target, FormatSettings()));
}

void TFormMain::SaveBackupList(const String& path) {
    std::vector<TCatalogueRecord> records;
    for (TCatalogueNode* n : tree_.PreOrder()) {
        if (!n->HasAsParent(BackupRoot) || n->Level() <= 0) continue;
        TCatalogueRecord r;
        r.Level = n->Level();
        r.Text = n->Text;
        r.NodeKind = n->NodeKind;
        r.SystemName = n->SystemName;
        r.BackupID = n->BackupID;
        r.Description = n->Description;
        r.Created = n->Created;
        r.ImageIndex = n->ImageIndex;
        r.SelectedIndex = n->SelectedIndex;
        r.Expanded = n->Expanded;
        records.push_back(r);
    }
    catalogue_.SetFileName(path);
    catalogue_.Save(records, FormatSettings());
}

void TFormMain::HistoryProblems(const std::vector<String>& problems) {
    for (const String& p : problems) history_.Add(p, hcAdd);
}

void TFormMain::TreeExChange(TCatalogueNode* node) {
    CurrentNode = node;
    if (rootsBuilding_ || !node) return;
    if (node == BackupRoot) {
        ShowPage(TPage::tsBackupInfo);
        Navigate(DefaultPageFile);
        return;
    }
    const TCatalogueNode* top = node->TopLevel();
    if (top == BackupRoot) {
        BackupRoot->Expanded = true;
        statusText_ = Trim(node->Description).empty() ? String(kNoDescription) : node->Description;
        if (node->NodeKind != nkFolder) {
            ShowBackupPage(node);
            ShowPage(TPage::tsFiles);
        } else {
            Navigate(BuildFolderPage(node));
            ShowPage(TPage::tsBackupInfo);
        }
    } else if (top == ActionsRoot) {
        ShowPage(TPage::tsActions);
    } else if (top == HistoryRoot) {
        ShowPage(TPage::tsHistory);
    }
}

String TFormMain::BuildFolderPage(const TCatalogueNode* node) {
    return BuildFolderPageFile(FolderTemplateFile, GetTempDirectory(), node->Text, node->Description, node->Created,
                               FormatSettings());
}

TPluginNodeRef TFormMain::PluginRef(TCatalogueNode* node) {
    return TPluginNodeRef{node->NodeKind, node->SystemName, node->BackupID, &node->PluginHandle, &node->PluginChildID};
}

void TFormMain::ShowBackupPage(TCatalogueNode* node) {
    if (!node) return;
    plugins_.ShowBackupPage(PluginRef(node));
}

void TFormMain::RunBackup(TCatalogueNode* node, TBackupCommand command) {
    if (!node) return;
    plugins_.RunBackup(PluginRef(node), command);
}

void TFormMain::Navigate(const String& page) {
    browserLocation_ = page;
    Say("Showing " + page);
}

void TFormMain::AppException(const String& senderClass, const std::exception& e) {
    const Exception* ex = dynamic_cast<const Exception*>(&e);
    history_.Add("Error !! " + DateTimeToStr(Now()), hcAdd);
    history_.Add(ex ? ex->Message() : String(e.what()), hcAdd);
    history_.Add("Exception class name:" + String(ex ? ex->ClassName() : "Exception") +
                     " sender class name:" + senderClass,
                 hcAdd);
    history_.Add("Tring to fix...", hcAdd);
    history_.Add("Writing to memory", hcAdd);
}

}  // namespace manager
