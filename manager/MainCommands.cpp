// The main window's commands: the File menu and the tree popup, the Options and Help menus,
// the tray's items, the header buttons, and adding, editing and deleting catalogue nodes.
#include "manager/AddFolder.h"
#include "manager/BackupProp.h"
#include "manager/MainWindow.h"
#include "manager/Options.h"
#include "manager/Settings.h"
#include "manager/TextHelpers.h"
#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/SysUtils.h"

namespace manager {
namespace {

constexpr const char* kMakerWebPage = "http://www.brenlo.com/";
constexpr const char* kMakerMail = "MailTo:corvex@brenlo.com";
constexpr const char* kSaveTitle = "Save history to file";
constexpr const char* kSaveFilter = "Text file(s)|*.txt|All File(s)|*.*";
constexpr const char* kSearchCaption = "Search";
constexpr const char* kSearchPrompt = "Search in history.";
constexpr const char* kDeletePrompt = "Delete ";
constexpr Integer kBackupImage = 4, kBackupSelectedImage = 5;
constexpr Integer kFolderImage = 6, kFolderSelectedImage = 7;

void SetIf(TMenuItem* item, const std::optional<bool>& value, void (TMenuItem::*set)(bool)) {
    if (item && value) (item->*set)(*value);
}

void OpenAddress(const char* address) { ShellExecuteA(nullptr, "Open", address, nullptr, nullptr, SW_SHOWNORMAL); }

}  // namespace

TRootKind TFormMain::CurrentNodeIsUnder(const TTreeExNode* Node) const {
    if (!Node) return TRootKind::None;
    const TTreeExNode* top = Node;
    while (const TTreeExNode* parent = top->Parent()) top = parent;
    if (top == BackupRoot) return TRootKind::Backup;
    if (top == ActionsRoot) return TRootKind::Actions;
    if (top == HistoryRoot) return TRootKind::History;
    return TRootKind::None;
}

void TFormMain::MenuPopup(TObject* Sender) {
    if (!CurrentNode) return;
    const TFileItems& it = Sender == PopupMenuLeft ? PopupItems : FileItems;
    const TFileMenuStates s = FileMenuStates(CurrentNodeIsUnder(CurrentNode), CurrentNode->Level(), CurrentNode->NodeKind());
    SetIf(it.Add, s.AddVisible, &TMenuItem::SetVisible);
    SetIf(it.AddBackup, s.AddBackupEnabled, &TMenuItem::SetEnabled);
    SetIf(it.Backup, s.BackupVisible, &TMenuItem::SetVisible);
    SetIf(it.Delete, s.DeleteVisible, &TMenuItem::SetVisible);
    SetIf(it.Properties, s.PropertiesEnabled, &TMenuItem::SetEnabled);
    SetIf(it.Search, s.SearchVisible, &TMenuItem::SetVisible);
    SetIf(it.Save, s.SaveVisible, &TMenuItem::SetVisible);
}

void TFormMain::mnuFile_Click(TObject* Sender) {
    auto is = [Sender](TMenuItem* TFileItems::*field, const TFileItems& a, const TFileItems& b) {
        return Sender && (Sender == a.*field || Sender == b.*field);
    };
    const TFileItems &f = FileItems, &p = PopupItems;
    TTreeExNode* node = CurrentNode;
    if (Sender == f.Exit) {
        Close();
    } else if (is(&TFileItems::AddBackup, f, p)) {
        if (node) EditBackup(node, 0);
    } else if (is(&TFileItems::AddFolder, f, p)) {
        if (node) EditFolder(node, 0);
    } else if (is(&TFileItems::Delete, f, p)) {
        DeleteNode(node);
    } else if (is(&TFileItems::Properties, f, p) || Sender == cmdFilesProperties || Sender == cmdActionsProperties) {
        if (!node) return;
        const bool belowBackups = CurrentNodeIsUnder(node) == TRootKind::Backup && node->Level() > 0;
        if (belowBackups && node->NodeKind() == nkFolder) EditFolder(node, 1);
        else if (belowBackups && node->NodeKind() == nkBackup) EditBackup(node, 1);
        else if (node == BackupRoot || node == ActionsRoot || node == HistoryRoot) ShowOptions();
    } else if (Sender == cmdWelcome) {
        if (!node) return;
        if (node == BackupRoot) TreeExChange(nullptr, node);
        else if (CurrentNodeIsUnder(node) == TRootKind::Backup && node->NodeKind() == nkFolder) EditFolder(node, 1);
    } else if (is(&TFileItems::SaveFile, f, p) || Sender == cmdHistorySave) {
        SaveHistory();
    } else if (is(&TFileItems::Search, f, p) || Sender == cmdHistorySearch) {
        SearchHistory();
    } else if (is(&TFileItems::Backup, f, p) || Sender == cmdFilesBackup) {
        RunBackup(node, cmdFilesBackup);
    }
    // "E-Mail Outbox" has no command.
}

void TFormMain::mnuOptions_Click(TObject* Sender) {
    if (Sender == mnuOptions_OnTop) mnuOptions_OnTopClick(Sender);
    else if (Sender == mnuOptions_Options) ShowOptions();
}

void TFormMain::ShowOptions() {
    // The dialog frees itself when it closes.
    (new TFormOptions(this))->ShowModal();
}

void TFormMain::mnuHelpClick(TObject* Sender) {
    if (Sender == mnuHelp_Help || Sender == cmdHelp) {
        PageControl->SetActivePage(tsBackupInfo);
        Navigate(HelpPageFile);
    } else if (Sender == mnuHelp_WebHelp || Sender == mnuHelp_Website) {
        OpenAddress(kMakerWebPage);
    } else if (Sender == mnuHelp_Reportabug || Sender == mnuHelp_EMail) {
        OpenAddress(kMakerMail);
    } else if (Sender == mnuHelp_About) {
        (new TFormAbout(this))->ShowModal();  // frees itself when it closes
    }
}

void TFormMain::Systray_Click(TObject* Sender) {
    if (Sender == Systray_Open) {
        Application->Restore();
    } else if (Sender == Systray_Close) {
        // Ends the program without minimising, but saves the settings and the catalogue first:
        // with the default settings this is the only way to end it, and edits made since the
        // window was last closed must not be lost.
        CloseForTermination();
    } else if (Sender == Systray_StartBackup) {
        RunBackup(TreeEx->Selected(), Sender);
    }
}

void TFormMain::TreeExEditing(TObject*, TTreeExNode* Node, bool& AllowEdit) {
    if (Node && !CanEditNodeText(Node->Level())) AllowEdit = false;
}

void TFormMain::TreeExGetPopupMenu(TObject*, TTreeExNode* Node, bool& AskParent, TPopupMenu*&) {
    AskParent = false;
    CurrentNode = Node;
}

void TFormMain::DeleteNode(TTreeExNode* Node) {
    if (!Node || !CanDeleteNode(CurrentNodeIsUnder(Node), Node->Level())) return;
    if (MessageDlg(kDeletePrompt + Node->Text(), mtConfirmation, mbYes | mbNo, 0) != mrYes) return;
    // No command may act on the deleted node afterwards, whether it was current through the
    // tree's selection or only through a popup request; the tree names the new selection.
    if (CurrentNode && (CurrentNode == Node || CurrentNode->HasAsParent(Node))) CurrentNode = nullptr;
    Node->Delete();
}

TTreeExNode* TFormMain::NewNodeParent(TTreeExNode* Node) {
    if (!Node || CurrentNodeIsUnder(Node) != TRootKind::Backup) return nullptr;
    return NewNodeGoesInside(Node->NodeKind()) ? Node : Node->Parent();
}

void TFormMain::FocusNewNode(TTreeExNode* Node) {
    Node->SetFocused(true);
    // The tree chooses the new node too, opening the folders above it, so that it shows the
    // node whose page is shown. That change runs the page step, now with the fields set.
    TreeEx->SetSelected(Node);
    // The tree reported the insertion before the fields were set; when it kept its old choice
    // the page step still has to run.
    if (TreeEx->Items()->IsLive(Node) && !Node->Selected()) TreeExChange(nullptr, Node);
}

void TFormMain::EditBackup(TTreeExNode* Node, Integer Mode) {
    if (!Node) return;
    TTreeExNode* parent = nullptr;
    if (Mode == 0 && !(parent = NewNodeParent(Node))) return;
    std::unique_ptr<TFormBackupProp> dialog(new TFormBackupProp(this, plugins_, PluginsFolder));
    dialog->DialogResult = 2;
    dialog->PageControl->SetActivePageIndex(0);
    if (Mode == 0) {
        dialog->CreationTime = Now();
        dialog->BackupID = NewBackupID();
        dialog->SystemNameToSelect = "";
    } else {
        dialog->tsBackup_BackupName->SetText(Node->Text());
        dialog->tsBackup_BackupDescription->SetText(Node->Description());
        dialog->CreationTime = Node->Created();
        dialog->SystemNameToSelect = Node->SystemName();
        dialog->BackupID = Node->BackupID();
    }
    dialog->DataFolder = BackupDataFolder;
    dialog->HelpFile = HelpPageFile;
    dialog->ShowModal();
    // The dialog runs the message loop; the node may have gone meanwhile.
    if (dialog->DialogResult != 1 || !TreeEx->Items()->IsLive(Mode == 0 ? parent : Node)) return;
    TTreeExNode* n = Mode == 0 ? TreeEx->Items()->AddChild(parent, dialog->tsBackup_BackupName->Text()) : Node;
    if (Mode == 0) {
        n->SetDescription(dialog->tsBackup_BackupDescription->Text());
        n->SetCreated(Now());
        n->SetSystemName(dialog->tsBackup_SystemName->Text());
        n->SetBackupID(dialog->BackupID);
        n->SetImageIndex(kBackupImage);
        n->SetSelectedIndex(kBackupSelectedImage);
        n->SetNodeKind(nkBackup);
        FocusNewNode(n);
    } else {
        n->SetText(dialog->tsBackup_BackupName->Text());
        n->SetDescription(dialog->tsBackup_BackupDescription->Text());
        n->SetSystemName(dialog->tsBackup_SystemName->Text());
        n->SetBackupID(dialog->BackupID);
        TreeExChange(nullptr, n);
    }
}

void TFormMain::EditFolder(TTreeExNode* Node, Integer Mode) {
    if (!Node) return;
    TTreeExNode* parent = nullptr;
    if (Mode == 0 && !(parent = NewNodeParent(Node))) return;
    std::unique_ptr<TFormAddFolder> dialog(new TFormAddFolder(this));
    dialog->DialogResult = 2;
    dialog->PageControl->SetActivePageIndex(0);
    if (Mode == 1) {
        dialog->tsAddFolder_Name->SetText(Node->Text());
        dialog->tsAddFolder_Description->SetText(Node->Description());
        dialog->tsAddFolder_Time->SetCaption(DateTimeToStr(Node->Created()));
    }
    dialog->cmdOk->SetEnabled(false);
    dialog->ShowModal();
    if (dialog->DialogResult != 1 || !TreeEx->Items()->IsLive(Mode == 0 ? parent : Node)) return;
    if (Mode == 0) {
        TTreeExNode* n = TreeEx->Items()->AddChild(parent, dialog->tsAddFolder_Name->Text());
        n->SetDescription(dialog->tsAddFolder_Description->Text());
        n->SetCreated(Now());
        n->SetImageIndex(kFolderImage);
        n->SetSelectedIndex(kFolderSelectedImage);
        n->SetNodeKind(nkFolder);
        FocusNewNode(n);
    } else {
        Node->SetText(dialog->tsAddFolder_Name->Text());
        Node->SetDescription(dialog->tsAddFolder_Description->Text());
        TreeExChange(nullptr, Node);
    }
}

void TFormMain::SaveHistory() {
    SaveDialog->SetTitle(kSaveTitle);
    SaveDialog->SetFilter(kSaveFilter);
    SaveDialog->SetFilterIndex(0);
    if (SaveDialog->Execute()) mHistory->Lines()->SaveToFile(SaveDialog->FileName());
}

void TFormMain::SearchHistory() {
    String answer;
    if (!InputQuery(kSearchCaption, kSearchPrompt, answer) || answer.empty()) return;
    const String text = mHistory->Text();
    const std::size_t at = text.find(answer);
    if (at == String::npos) return;
    mHistory->SetSelStart(static_cast<Integer>(at));
    mHistory->SetSelLength(static_cast<Integer>(answer.size()));
}

}  // namespace manager
