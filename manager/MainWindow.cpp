#include "manager/MainWindow.h"

#include <cstdio>
#include <exception>

#include "manager/FolderPage.h"
#include "manager/Instance.h"
#include "manager/RegistryHelpers.h"
#include "manager/Settings.h"
#include "manager/ShellHelpers.h"
#include "platform/DateTime.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Params.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/SysUtils.h"

namespace manager {

TFormMain* FormMain = nullptr;

namespace {

String g_programFilesFolder;

constexpr const char* kBackupRootText = "Backup's";
constexpr const char* kActionsRootText = "Actions";
constexpr const char* kHistoryRootText = "History";
constexpr const char* kRootSystemName = "Folder";
constexpr const char* kExplorerKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr const char* kNoDescription = "No description.";
// A "-s" handed over by a later start, minimising after the restore that start posted first.
constexpr UINT WM_INSTANCE_MINIMISE = WM_INSTANCE_COMMANDLINE + 1;

// Headless, standard output is the program's display: what the window would show there.
void Say(const String& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// The loader's view of the main window's tree.
class TFormTarget : public TCatalogueTarget {
public:
    explicit TFormTarget(TFormMain& form) : form_(form) {}
    Node BackupRoot() override { return form_.BackupRoot; }
    Node ParentOf(Node node) override { return static_cast<TTreeExNode*>(node)->Parent(); }
    Node AddChild(Node parent, const TCatalogueRecord& r) override {
        // The tree reports the insertion (the page step) before the fields are set.
        TTreeExNode* n = form_.TreeEx->Items()->AddChild(static_cast<TTreeExNode*>(parent), r.Text);
        n->SetNodeKind(r.NodeKind);
        n->SetSystemName(r.SystemName);
        n->SetBackupID(r.BackupID);
        n->SetDescription(r.Description);
        n->SetCreated(r.Created);
        n->SetImageIndex(r.ImageIndex);
        n->SetSelectedIndex(r.SelectedIndex);
        n->SetSavedExpanded(r.Expanded);
        return n;
    }
    void NodeLoaded(Node node) override { form_.TreeExChange(nullptr, static_cast<TTreeExNode*>(node)); }
    void ExpandSavedNodes() override {
        TTreeExNodes* items = form_.TreeEx->Items();
        for (Integer i = 0; i < items->Count(); ++i)
            if (items->Item(i)->SavedExpanded()) items->Item(i)->SetExpanded(true);
    }

private:
    TFormMain& form_;
};

const TTreeExNode* TopLevel(const TTreeExNode* node) {
    while (const TTreeExNode* parent = node->Parent()) node = parent;
    return node;
}

}  // namespace

String ProgramFilesFolder() { return g_programFilesFolder.empty() ? ProgramFolder() : g_programFilesFolder; }

void SetProgramFilesFolder(const String& folder) {
    g_programFilesFolder = folder;
    if (!folder.empty() && folder.back() != '\\') g_programFilesFolder += '\\';
}

TFormMain::TFormMain(TComponent* AOwner) : TForm(AOwner) {
    FormMain = this;
    BuildForm();
    plugins_.SetReport([this](const String& m) { history_.Add(m, hcAdd); });
    SetBusyCursorHook([](bool busy) { Screen->SetCursor(busy ? crHourGlass : crDefault); });
    FinishCreate();
}

TFormMain::~TFormMain() {
    SetBusyCursorHook(nullptr);
    if (FormMain == this) FormMain = nullptr;
}

void TFormMain::WndProc(TMessage& Message) {
    switch (Message.Msg) {
        case WM_INSTANCE_PING: Message.Result = InstanceMagic; return;
        case WM_INSTANCE_RESTORE:
            if (IsIconic(Application->Handle())) {
                Application->Restore();
                Say("Restored");
            } else {
                Application->BringToFront();
                Say("Brought to front");
            }
            return;
        case WM_INSTANCE_COMMANDLINE: {
            char buffer[260] = {};
            UINT n = GlobalGetAtomNameA(static_cast<ATOM>(Message.WParam), buffer, sizeof buffer);
            if (n == 0) RaiseLastOSError();
            ApplyCommandLine(String(buffer, n), true);
            Message.Result = kCommandLineTaken;
            return;
        }
        case WM_INSTANCE_MINIMISE: Minimise(); return;
        default: TForm::WndProc(Message);
    }
}

void TFormMain::FormCreate(TObject*) {
    SetCaption(Application->Title());
    // The history cannot take a settings error yet (its file is set below); it is written
    // there after "Program started". The settings not read keep their defaults, so the
    // history still writes it.
    std::exception_ptr settingsError;
    try {
        LoadRegistrySettings();
    } catch (Exception&) {
        settingsError = std::current_exception();
    }
    for (Integer i = 0; i < PageControl->PageCount(); ++i) PageControl->Pages(i)->SetTabVisible(false);

    const String program = ProgramFilesFolder();
    PluginsFolder = program + "Plugins\\";
    // An installed program's folder is not the person's to write: the history then lives in the profile.
    HistoryFile = (CanWriteIn(program) ? program : platform::FromPosixPath(platform::ProfilePath()) + "\\") + "History.txt";
    BackupTemplateFile = program + "Templates\\TemplateBackup.htm";
    FolderTemplateFile = program + "Templates\\TemplateFolder.htm";
    DefaultPageFile = program + "Templates\\Default.htm";
    HelpPageFile = program + "Help\\Help.htm";
    history_.SetFileName(HistoryFile);

    String appData = "C:";
    try {
        appData = ReadRegIniString(kExplorerKey, "Shell Folders", "AppData", "C:");
    } catch (Exception& e) {
        AppException(this, e);
    }
    BackupListFile = appData + "\\Brenlo\\Corvex\\Backup.Dat";
    BackupDataFolder = ExtractFilePath(BackupListFile);
    catalogue_.SetFileName(BackupListFile);
    plugins_.SetFolders(PluginsFolder, BackupDataFolder);
    plugins_.SetHostObjects(Application, Handle(), PanelMain->Handle());

    for (const String& folder : {BackupDataFolder, PluginsFolder, ExtractFilePath(BackupTemplateFile)})
        if (!ForceDirectories(folder)) history_.Add("Cannot create the folder " + folder, hcAdd);

    history_.Add("Program started", hcAdd);
    if (settingsError) ReportException(settingsError);
    history_.Add("Chancking system.... ", hcChecking);
    CreateRootNodes();
    history_.Add("No errors found!", hcChecking);
    // Loading runs the page step for every node; only the page the step ends on is told.
    creating_ = true;
    try {
        LoadBackupList(BackupListFile);
    } catch (Exception& e) {
        AppException(this, e);
    }
    creating_ = false;
    Application->OnHint = [this](TObject* s) { AppHint(s); };
    Application->OnException = [this](TObject* s, Exception& e) { AppException(s, e); };
    PageControl->SetActivePage(tsBackupInfo);
    Navigate(DefaultPageFile);
    // The welcome page is the Backup's root's page, so the commands act there: without this
    // the last root built (History) stays current, and the File menu of a first start hides
    // Add, which the welcome page tells the person to choose.
    CurrentNode = BackupRoot;
}

void TFormMain::ReportException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (Exception& e) {
        AppException(this, e);
        if (terminating_) std::fprintf(stderr, "Tarvik: %s\n", e.Message().c_str());
    }
}

bool TFormMain::SaveAll() {
    // Each save on its own: a failed settings save must never cost the catalogue, nor the
    // other way round. Every failure is reported.
    bool saved = true;
    for (auto save : {&TFormMain::SaveRegistrySettings, &TFormMain::SaveCatalogue}) {
        try {
            (this->*save)();
        } catch (Exception&) {
            ReportException(std::current_exception());
            saved = false;
        }
    }
    return saved;
}

void TFormMain::SaveCatalogue() { SaveBackupList(BackupListFile); }

void TFormMain::FormClose(TObject*, TCloseAction& Action) {
    // A failed save reaches the exception hook; the window then neither minimises nor closes.
    Action = caNone;
    if (!SaveAll()) return;
    if (Settings.General_cClosedM) {
        Minimise();
        return;
    }
    Action = caFree;
}

void TFormMain::CloseForTermination() {
    // The program ends whatever the saves give; what failed is also told on stderr, since no
    // window is left to look at.
    terminating_ = true;
    SaveAll();
    Application->Terminate();
}

void TFormMain::FormDestroy(TObject*) {
    history_.Add("Program ended", hcAdd);
    history_.Add("\r", hcAdd);
}

void TFormMain::AppHint(TObject*) { StatusBar->Panels()->Items(0)->SetText(GetLongHint(Application->Hint())); }

void TFormMain::AppException(TObject* Sender, Exception& E) {
    history_.Add("Error !! " + DateTimeToStr(Now()), hcAdd);
    history_.Add(E.Message(), hcAdd);
    history_.Add(String("Exception class name:") + E.ClassName() + " sender class name:" +
                     (Sender ? Sender->ClassName() : "nil"),
                 hcAdd);
    history_.Add("Tring to fix...", hcAdd);
    history_.Add("Writing to memory", hcAdd);
}

void TFormMain::tsShow(TObject* Sender) {
    if (Sender == tsHistory && FileExists(HistoryFile)) mHistory->Lines()->LoadFromFile(HistoryFile);
}

void TFormMain::StatusBarResize(TObject*) {
    TStatusPanels* panels = StatusBar->Panels();
    panels->Items(0)->SetWidth(StatusBar->Width() - panels->Items(1)->Width() -
                               StatusBar->Canvas()->TextWidth(panels->Items(2)->Text()) - 20);
}

void TFormMain::PanelMainResize(TObject*) {
    if (TTreeExNode* selected = TreeEx->Selected()) ShowBackupPage(selected);
}

void TFormMain::mnuOptions_OnTopClick(TObject*) {
    mnuOptions_OnTop->SetChecked(!mnuOptions_OnTop->Checked());
    SetFormStyle(mnuOptions_OnTop->Checked() ? fsStayOnTop : fsNormal);
}

void TFormMain::ProcessCommandLine(const String& Text) { ApplyCommandLine(Text, false); }

void TFormMain::ApplyCommandLine(const String& Text, bool handedOver) {
    TCommandLineRequest request = ParseCommandLineText(Text);
    for (const String& path : request.HandedOverPaths) {
        handedOverPaths_.push_back(path);
        Say("Folder handed over: " + path);
    }
    if (!request.Minimise) return;
    // The start that handed this over posted its restore before sending, and that restore may
    // still wait in the queue: the minimise is queued behind it, so the program ends minimised.
    if (handedOver) PostMessageA(Handle(), WM_INSTANCE_MINIMISE, 0, 0);
    else Minimise();
}

void TFormMain::Minimise() {
    Application->Minimize();
    Say("Minimised");
}

void TFormMain::LoadRegistrySettings() {
    LoadSettings(Settings);
    mnuOptions_OnTop->SetChecked(!Settings.General_cOnTop);
    mnuOptions_OnTopClick(mnuOptions_OnTop);
}

void TFormMain::SaveRegistrySettings() {
    // The menu item holds the setting at run time.
    Settings.General_cOnTop = mnuOptions_OnTop->Checked();
    SaveSettings(Settings);
}

void TFormMain::CreateRootNodes() {
    rootsBuilding_ = true;
    TreeEx->Items()->Clear();
    CurrentNode = nullptr;
    auto root = [this](const char* text, Int64 kind, Integer image, Integer selected) {
        TTreeExNode* n = TreeEx->Items()->AddChild(nullptr, text);
        n->SetSystemName(kRootSystemName);
        n->SetNodeKind(kind);
        n->SetImageIndex(image);
        n->SetSelectedIndex(selected);
        return n;
    };
    BackupRoot = root(kBackupRootText, nkFolder, 10, 11);
    ActionsRoot = root(kActionsRootText, nkBackup, 0, 1);
    HistoryRoot = root(kHistoryRootText, nkHistory, 12, 13);
    rootsBuilding_ = false;
}

void TFormMain::TreeExRecreated() {
    TTreeExNode* first = TreeEx->Items()->GetFirstNode();
    BackupRoot = first;
    ActionsRoot = first ? first->GetNextSibling() : nullptr;
    HistoryRoot = ActionsRoot ? ActionsRoot->GetNextSibling() : nullptr;
    CurrentNode = TreeEx->Selected();
}

void TFormMain::TreeExDeletion(TObject*, TTreeExNode* Node) {
    if (Node == CurrentNode) CurrentNode = nullptr;
}

void TFormMain::LoadBackupList(const String& Path) {
    catalogue_.SetFileName(Path);
    TFormTarget target(*this);
    for (const String& problem : catalogue_.Load(target, FormatSettings())) history_.Add(problem, hcAdd);
}

void TFormMain::SaveBackupList(const String& Path) {
    std::vector<TCatalogueRecord> records;
    TTreeExNodes* items = TreeEx->Items();
    for (Integer i = 0; i < items->Count(); ++i) {
        const TTreeExNode* n = items->Item(i);
        if (!n->HasAsParent(BackupRoot) || n->Level() <= 0) continue;
        TCatalogueRecord r;
        r.Level = n->Level();
        r.Text = n->Text();
        r.NodeKind = n->NodeKind();
        r.SystemName = n->SystemName();
        r.BackupID = n->BackupID();
        r.Description = n->Description();
        r.Created = n->Created();
        r.ImageIndex = n->ImageIndex();
        r.SelectedIndex = n->SelectedIndex();
        r.Expanded = n->Expanded();
        records.push_back(r);
    }
    catalogue_.SetFileName(Path);
    catalogue_.Save(records, FormatSettings());
}

void TFormMain::TreeExChange(TObject*, TTreeExNode* Node) {
    CurrentNode = Node;
    if (rootsBuilding_ || !Node) return;
    if (Node == BackupRoot) {
        tsBackupInfo_L1->SetCaption("Corvex system");
        cmdWelcome->SetCaption("Click for Welcome");
        cmdHelp->Show();
        PageControl->SetActivePage(tsBackupInfo);
        Navigate(DefaultPageFile);
        return;
    }
    const TTreeExNode* top = TopLevel(Node);
    if (top == BackupRoot) {
        BackupRoot->SetExpanded(true);
        const String status = Trim(Node->Description()).empty() ? String(kNoDescription) : Node->Description();
        if (Node->NodeKind() != nkFolder) {
            cmdFilesProperties->Show();
            cmdFilesBackup->SetVisible(Node->NodeKind() == nkBackup);
            ShowBackupPage(Node);
            PageControl->SetActivePage(tsFiles);
            StatusBar->Panels()->Items(0)->SetText(status);
            PanelFiles_Label->SetCaption("Backup:" + Node->Text());
        } else {
            cmdWelcome->SetCaption("Click for Properties");
            cmdHelp->Hide();
            Navigate(BuildFolderPage(Node));
            PageControl->SetActivePage(tsBackupInfo);
            StatusBar->Panels()->Items(0)->SetText(status);
            tsBackupInfo_L1->SetCaption("Folder:" + Node->Text());
        }
    } else if (top == ActionsRoot) {
        PageControl->SetActivePage(tsActions);
    } else if (top == HistoryRoot) {
        PageControl->SetActivePage(tsHistory);
    }
}

String TFormMain::BuildFolderPage(const TTreeExNode* Node) {
    return BuildFolderPageFile(FolderTemplateFile, GetTempDirectory(), Node->Text(), Node->Description(),
                               Node->Created(), FormatSettings());
}

template <typename Call>
void TFormMain::WithPluginRef(TTreeExNode* Node, Call call) {
    // The host keeps the library and the page name in the node; a plug-in call may run the
    // message loop, in which the node can go away.
    HMODULE handle = Node->PluginHandle();
    String child = Node->PluginChildID();
    call(TPluginNodeRef{Node->NodeKind(), Node->SystemName(), Node->BackupID(), &handle, &child});
    if (!TreeEx->Items()->IsLive(Node)) return;
    Node->SetPluginHandle(handle);
    Node->SetPluginChildID(child);
}

void TFormMain::ShowBackupPage(TTreeExNode* Node) {
    if (Node) WithPluginRef(Node, [this](const TPluginNodeRef& ref) { plugins_.ShowBackupPage(ref); });
}

void TFormMain::RunBackup(TTreeExNode* Node, TObject* Sender) {
    // The File menu's and the popup's Backup items pass the button as sender too.
    if (!Node) return;
    const TBackupCommand command = Sender == cmdFilesBackup ? TBackupCommand::Backup : TBackupCommand::SecBac;
    WithPluginRef(Node, [this, command](const TPluginNodeRef& ref) { plugins_.RunBackup(ref, command); });
}

void TFormMain::Navigate(const String& Page) {
    MainWebBrowser->Navigate(Page);
    if (!creating_) Say("Showing " + Page);
}

}  // namespace manager
