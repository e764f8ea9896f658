// TFormMain, the program's main window: its creation and close steps, the paths beside the
// program, the catalogue in its tree, the page step, the folder page and the plug-in pages,
// the single-instance messages and the command line.
//
// The window is a top-level window of class "TFormMain"; the panel that hosts the plug-in
// pages (PanelMain) is its child window. Headless, the web-browser stand-in keeps the page it
// was told to show and says so on standard output, as the program's only display.
#pragma once

#include <functional>

#include "manager/Catalogue.h"
#include "manager/CatalogueTree.h"
#include "manager/History.h"
#include "manager/PluginHost.h"
#include "platform/Windows.h"

namespace manager {

// Pages of the page control.
enum class TPage { None, tsFiles, tsActions, tsHistory, tsBackupInfo };

class TFormMain {
public:
    TFormMain();
    ~TFormMain();
    TFormMain(const TFormMain&) = delete;
    TFormMain& operator=(const TFormMain&) = delete;

    HWND Handle() const { return handle_; }
    HWND PanelMain() const { return panelMain_; }

    // The creation step. Never raises: what fails is written to the history and the step goes
    // on, so the program always starts with its catalogue and hooks.
    void FormCreate();
    // The close step of the window's close box: saves settings and catalogue, then minimises
    // (General_cClosedM) or ends the program.
    void FormClose();
    // The close step of a termination signal: saves, then always ends the program.
    void CloseForTermination();
    void FormDestroy();

    void ProcessCommandLine(const String& text);
    void LoadRegistrySettings();
    void SaveRegistrySettings();
    void mnuAlwaysOnTopClick();
    bool AlwaysOnTopChecked() const { return alwaysOnTopChecked_; }

    void CreateRootNodes();
    void LoadBackupList(const String& path);
    void SaveBackupList(const String& path);
    void TreeExChange(TCatalogueNode* node);
    String BuildFolderPage(const TCatalogueNode* node);
    void ShowBackupPage(TCatalogueNode* node);
    void RunBackup(TCatalogueNode* node, TBackupCommand command);
    // The application's exception hook: five history lines, nothing shown.
    void AppException(const String& senderClass, const std::exception& e);

    // Paths and nodes, as the creation step sets them.
    String BackupListFile, BackupDataFolder, HistoryFile, BackupTemplateFile, PluginsFolder, FolderTemplateFile,
        DefaultPageFile, HelpPageFile;
    TCatalogueNode* CurrentNode = nullptr;
    TCatalogueNode* BackupRoot = nullptr;
    TCatalogueNode* ActionsRoot = nullptr;
    TCatalogueNode* HistoryRoot = nullptr;
    TCatalogueTree& Tree() { return tree_; }
    THistoryLog& History() { return history_; }

    TPage ActivePage() const { return activePage_; }
    const String& BrowserLocation() const { return browserLocation_; }
    const String& StatusText() const { return statusText_; }
    const std::vector<String>& HandedOverPaths() const { return handedOverPaths_; }

private:
    static LRESULT MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT AppProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
    void WMInstanceRestore();
    void WMInstanceCommandLine(WPARAM atom);
    void Navigate(const String& page);
    void ShowPage(TPage page) { activePage_ = page; }
    void Minimize();
    // Saves settings and catalogue; false when saving failed (told to the exception hook).
    bool SaveAll();
    TPluginNodeRef PluginRef(TCatalogueNode* node);
    void HistoryProblems(const std::vector<String>& problems);

    HWND appWindow_ = nullptr;
    HWND handle_ = nullptr;
    HWND panelMain_ = nullptr;
    TCatalogueTree tree_;
    TCatalogueFile catalogue_;
    THistoryLog history_;
    TPluginHost plugins_;
    bool alwaysOnTopChecked_ = false;
    bool rootsBuilding_ = false;
    bool destroyed_ = false;
    TPage activePage_ = TPage::None;
    String browserLocation_;
    String statusText_;
    std::vector<String> handedOverPaths_;
};

// The one main window of the process (null before it exists).
TFormMain* FormMain();

}  // namespace manager
