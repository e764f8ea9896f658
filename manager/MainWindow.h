// TFormMain, the program's main window: its layout, its creation and close steps, the paths
// beside the program, the catalogue in its tree, the page step with the folder page and the
// plug-in pages, the single-instance messages and the command line.
//
// The form's window class is "TFormMain", which the single-instance search looks for. The
// catalogue's nodes live in TCatalogueTree until the tree control sits on the component layer;
// the tree panel holds the place of that control.
#pragma once

#include "manager/Catalogue.h"
#include "manager/CatalogueTree.h"
#include "manager/History.h"
#include "manager/PluginHost.h"
#include "platform/Buttons.h"
#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/StdCtrls.h"
#include "platform/WebBrowser.h"

namespace manager {

class TFormMain : public TForm {
public:
    explicit TFormMain(TComponent* AOwner);
    ~TFormMain() override;
    const char* ClassName() const noexcept override { return "TFormMain"; }

    // ---- components (built by BuildForm)
    TCoolBar* CoolBar = nullptr;
    TToolBar* ToolBar = nullptr;
    TToolButton *tbFile = nullptr, *tbOptions = nullptr, *tbHelp = nullptr;
    TPopupMenu *mnuFile = nullptr, *mnuOptions = nullptr, *mnuHelp = nullptr;
    TMenuItem* mnuOptions_OnTop = nullptr;  // "Always on top"
    TPopupMenu* PopupMenuLeft = nullptr;
    TPopupMenu* PopupMenuSysTray = nullptr;
    TPanel* PanelLeft = nullptr;  // holds the tree
    TSplitter* Splitter = nullptr;
    TPageControl* PageControl = nullptr;
    TTabSheet *tsFiles = nullptr, *tsActions = nullptr, *tsHistory = nullptr, *tsBackupInfo = nullptr;
    TLabel *PanelFiles_Label = nullptr, *tsBackupInfo_L1 = nullptr;
    TSpeedButton *cmdFilesProperties = nullptr, *cmdFilesBackup = nullptr, *cmdActionsProperties = nullptr,
            *cmdHistorySave = nullptr, *cmdHistorySearch = nullptr, *cmdWelcome = nullptr, *cmdHelp = nullptr;
    TPanel* PanelMain = nullptr;
    TListView* lvActions = nullptr;
    TMemo* mHistory = nullptr;
    TWebBrowser* MainWebBrowser = nullptr;
    TStatusBar* StatusBar = nullptr;

    // ---- fields
    String BackupListFile, BackupDataFolder, HistoryFile, BackupTemplateFile, PluginsFolder, FolderTemplateFile,
        DefaultPageFile, HelpPageFile;
    TCatalogueNode* CurrentNode = nullptr;
    TCatalogueNode* BackupRoot = nullptr;
    TCatalogueNode* ActionsRoot = nullptr;
    TCatalogueNode* HistoryRoot = nullptr;
    TCatalogueTree& Tree() { return tree_; }
    THistoryLog& History() { return history_; }
    TPluginHost& Plugins() { return plugins_; }

    // ---- events and steps
    // The creation step. What fails is written to the history and the step goes on, so the
    // program always starts with its catalogue, hooks and welcome page.
    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void FormDestroy(TObject* Sender);
    // A termination signal: the close step's saving, then the program ends whatever
    // General_cClosedM says.
    void CloseForTermination();
    void AppHint(TObject* Sender);
    void AppException(TObject* Sender, Exception& E);
    void tsShow(TObject* Sender);
    void StatusBarResize(TObject* Sender);
    void PanelMainResize(TObject* Sender);
    void mnuOptions_OnTopClick(TObject* Sender);

    void ProcessCommandLine(const String& Text);
    void LoadRegistrySettings();
    void SaveRegistrySettings();

    void CreateRootNodes();
    void LoadBackupList(const String& Path);
    void SaveBackupList(const String& Path);
    void TreeExChange(TObject* Sender, TCatalogueNode* Node);
    String BuildFolderPage(const TCatalogueNode* Node);
    void ShowBackupPage(TCatalogueNode* Node);
    void RunBackup(TCatalogueNode* Node, TObject* Sender);

    const std::vector<String>& HandedOverPaths() const { return handedOverPaths_; }

    void WndProc(TMessage& Message) override;

private:
    void BuildForm();
    void Navigate(const String& Page);
    void SaveAll();
    TPluginNodeRef PluginRef(TCatalogueNode* Node);

    TCatalogueTree tree_;
    TCatalogueFile catalogue_;
    THistoryLog history_;
    TPluginHost plugins_;
    bool rootsBuilding_ = false;
    std::vector<String> handedOverPaths_;
};

// The program's main window (null before it exists and after it is gone).
extern TFormMain* FormMain;

}  // namespace manager
