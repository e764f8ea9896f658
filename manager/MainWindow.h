// TFormMain, the program's main window: its layout, its creation and close steps, the paths
// beside the program, the catalogue in its tree, the page step with the folder page and the
// plug-in pages, the single-instance messages and the command line.
//
// The form's window class is "TFormMain", which the single-instance search looks for. The
// catalogue's nodes are the nodes of the tree control TreeEx. The tree may build new node
// objects when its window is re-created; the window then finds its roots and current node
// again, so no reference it holds outlives its node.
#pragma once

#include <exception>

#include "manager/Catalogue.h"
#include "manager/Commands.h"
#include "controls/TrayIcon.h"
#include "controls/TreeEx.h"
#include "manager/History.h"
#include "manager/PluginHost.h"
#include "platform/Buttons.h"
#include "platform/ComCtrls.h"
#include "platform/CommonDialogs.h"
#include "platform/ExtCtrls.h"
#include "platform/ImgList.h"
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
    // The items of the File menu ("mnuFile_AddBackup") and of the tree popup, which carry the
    // same names with a "1" at the end ("mnuFile_AddBackup1").
    struct TFileItems {
        TMenuItem *Add = nullptr, *AddBackup = nullptr, *AddFolder = nullptr, *Backup = nullptr, *Delete = nullptr,
                  *Search = nullptr, *Save = nullptr, *SaveFile = nullptr, *SaveMail = nullptr,
                  *Properties = nullptr, *Exit = nullptr;
    };
    TFileItems FileItems, PopupItems;
    TMenuItem *mnuOptions_Options = nullptr, *mnuOptions_Laguages = nullptr;
    TMenuItem *mnuHelp_Help = nullptr, *mnuHelp_Internet = nullptr, *mnuHelp_WebHelp = nullptr,
              *mnuHelp_Reportabug = nullptr, *mnuHelp_Website = nullptr, *mnuHelp_EMail = nullptr,
              *mnuHelp_About = nullptr;
    TMenuItem *Systray_Close = nullptr, *Systray_StartBackup = nullptr, *Systray_Open = nullptr;
    TSaveDialog* SaveDialog = nullptr;
    TPanel* PanelLeft = nullptr;  // holds the tree
    TImageList* ImageListNT = nullptr;
    TTreeEx* TreeEx = nullptr;
    TTrayIcon* TrayIcon = nullptr;
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
    TTreeExNode* CurrentNode = nullptr;
    TTreeExNode* BackupRoot = nullptr;
    TTreeExNode* ActionsRoot = nullptr;
    TTreeExNode* HistoryRoot = nullptr;
    THistoryLog& History() { return history_; }
    TPluginHost& Plugins() { return plugins_; }

    // ---- events and steps
    // The creation step. What fails is written to the history and the step goes on, so the
    // program always starts with its catalogue, hooks and welcome page.
    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void FormDestroy(TObject* Sender);
    // A termination signal or the tray's Close: the close step's saving, then the program ends whatever
    // General_cClosedM says.
    void CloseForTermination();
    void AppHint(TObject* Sender);
    void AppException(TObject* Sender, Exception& E);
    void tsShow(TObject* Sender);
    void StatusBarResize(TObject* Sender);
    void PanelMainResize(TObject* Sender);
    void mnuOptions_OnTopClick(TObject* Sender);

    // ---- commands
    // Sets the items of the opening menu (the File menu or the tree popup) by the root the
    // current node lies under.
    void MenuPopup(TObject* Sender);
    void mnuFile_Click(TObject* Sender);
    void mnuOptions_Click(TObject* Sender);
    void mnuHelpClick(TObject* Sender);
    void Systray_Click(TObject* Sender);
    void TreeExEditing(TObject* Sender, TTreeExNode* Node, bool& AllowEdit);
    void TreeExGetPopupMenu(TObject* Sender, TTreeExNode* Node, bool& AskParent, TPopupMenu*& PopupMenu);
    // Mode 0 adds relative to Node, mode 1 edits Node.
    void EditBackup(TTreeExNode* Node, Integer Mode);
    void EditFolder(TTreeExNode* Node, Integer Mode);
    void DeleteNode(TTreeExNode* Node);
    void SaveHistory();
    void SearchHistory();
    void ShowOptions();
    TRootKind CurrentNodeIsUnder(const TTreeExNode* Node) const;
    void ProcessCommandLine(const String& Text);
    void LoadRegistrySettings();
    void SaveRegistrySettings();

    void CreateRootNodes();
    void LoadBackupList(const String& Path);
    void SaveBackupList(const String& Path);
    void TreeExChange(TObject* Sender, TTreeExNode* Node);
    String BuildFolderPage(const TTreeExNode* Node);
    void ShowBackupPage(TTreeExNode* Node);
    void RunBackup(TTreeExNode* Node, TObject* Sender);

    const std::vector<String>& HandedOverPaths() const { return handedOverPaths_; }

    void WndProc(TMessage& Message) override;

private:
    void BuildForm();
    void BuildMenus();
    // A command line of this start (handedOver false) or handed over by a later one.
    void ApplyCommandLine(const String& Text, bool handedOver);
    void Minimise();
    // The parent a new node gets by the parent rule, or null when Node lies outside the
    // Backup's root (a node there would never reach the catalogue).
    TTreeExNode* NewNodeParent(TTreeExNode* Node);
    void FocusNewNode(TTreeExNode* Node);
    // After the tree built new node objects for a new window: the roots and the current node
    // are found again by position and selection.
    void TreeExRecreated();
    void TreeExDeletion(TObject* Sender, TTreeExNode* Node);
    void Navigate(const String& Page);
    // Saves the settings and the catalogue, each whatever the other gave; false when either
    // failed (each failure has then been reported).
    bool SaveAll();
    void SaveCatalogue();
    // Hands an exception to the exception hook (and to stderr while the program ends).
    void ReportException(std::exception_ptr error);
    template <typename Call>
    void WithPluginRef(TTreeExNode* Node, Call call);

    TCatalogueFile catalogue_;
    THistoryLog history_;
    TPluginHost plugins_;
    bool rootsBuilding_ = false;
    bool creating_ = false;     // the catalogue load of the creation step runs
    bool terminating_ = false;  // the program ends after the saves
    std::vector<String> handedOverPaths_;
};

// The folder of the program's own files (history, plug-ins, templates, help), with its trailing
// backslash: the program file's folder unless another was set. Tests set one per case so that
// cases running side by side never share these files; an empty folder restores the default.
String ProgramFilesFolder();
void SetProgramFilesFolder(const String& folder);

// The program's main window (null before it exists and after it is gone).
extern TFormMain* FormMain;

}  // namespace manager
