#include "manager/BackupProp.h"

#include "manager/DialogParts.h"
#include "manager/FileScan.h"
#include "manager/TextHelpers.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SysUtils.h"

namespace manager {
namespace {

constexpr const char* kCaption = "Add Backup...";
constexpr const char* kUnknownName = "Name:?";
constexpr Integer kNameLimit = 50;
constexpr Integer kDescriptionLimit = 255;

}  // namespace

TBackupPropButtons BackupPropButtons(const String& systemText, const String& name) {
    const bool system = !Trim(systemText).empty();
    return {system, system && !Trim(name).empty()};
}

std::vector<String> PluginNames(const TStringList& foundFiles) {
    std::vector<String> names;
    for (Integer i = 0; i < foundFiles.Count(); ++i)
        names.push_back(ChangeFileExt(ExtractFileName(foundFiles.Strings(i)), ""));
    return names;
}

TFormBackupProp::TFormBackupProp(TComponent* AOwner, TPluginHost& host, const String& pluginsFolder)
    : TForm(AOwner), host_(host), pluginsFolder_(pluginsFolder) {
    BuildForm();
    FinishCreate();
}

void TFormBackupProp::BuildForm() {
    SetName("FormBackupProp");
    SetCaption(kCaption);
    SetBorderStyle(bsSizeToolWin);
    SetBounds(0, 0, 550, 350);
    SetPosition(poOwnerFormCenter);

    MakeDialogButtons(this, cmdHelp, cmdCancel, cmdOk, 380, 460, [this](TObject* s) { cmdClick(s); });

    PageControl = MakeDialogPages(this);
    PageControl->SetStyle(tsFlatButtons);
    tsBackup = MakeSheet(this, PageControl, "tsBackup");
    tsBackup->SetCaption("&Backup");
    tsDelete = MakeSheet(this, PageControl, "tsDelete");
    tsDelete->SetCaption("&General");
    auto* side = new TPanel(this);
    side->SetParent(tsDelete);
    side->SetAlign(alLeft);

    auto label = [this](TWinControl* parent, const char* caption, Integer left, Integer top) {
        return MakeLabel(this, parent, caption, left, top);
    };
    label(tsBackup, "Creation time:", 8, 8);
    lTime = label(tsBackup, "", 110, 8);
    lTime->SetName("lTime");
    lTime->Font()->SetStyle(fsBold);
    label(tsBackup, "Backup NAME:  ", 8, 32);
    tsBackup_BackupName = new TEdit(this);
    tsBackup_BackupName->SetName("tsBackup_BackupName");
    tsBackup_BackupName->SetParent(tsBackup);
    tsBackup_BackupName->SetBounds(110, 30, 420, 21);
    tsBackup_BackupName->SetMaxLength(kNameLimit);
    tsBackup_BackupName->Font()->SetStyle(fsBold);
    tsBackup_BackupName->SetText("");
    tsBackup_BackupDescription = new TMemo(this);
    tsBackup_BackupDescription->SetName("tsBackup_BackupDescription");
    tsBackup_BackupDescription->SetParent(tsBackup);
    tsBackup_BackupDescription->SetBounds(8, 56, 522, 80);
    tsBackup_BackupDescription->SetMaxLength(kDescriptionLimit);
    tsBackup_BackupDescription->SetText("");

    tbSystem = new TToolBar(this);
    tbSystem->SetName("tbSystem");
    tbSystem->SetParent(tsBackup);
    // A tool bar sticks to its parent's top unless told otherwise; this one stands mid-page,
    // below the description, and must not cover the creation time and the name.
    tbSystem->SetAlign(alNone);
    tbSystem->SetBounds(8, 142, 522, 24);
    // The buttons have no pictures: without their captions they would be blank.
    tbSystem->SetShowCaptions(true);
    lSystem = label(tbSystem, "Backup system:  ", 0, 0);
    tsBackup_SystemName = new TComboBox(this);
    tsBackup_SystemName->SetName("tsBackup_SystemName");
    tsBackup_SystemName->SetParent(tbSystem);
    tsBackup_SystemName->SetStyle(csDropDownList);
    auto tool = [this](TToolButton*& b, const char* name, const char* caption) {
        b = new TToolButton(this);
        b->SetName(name);
        b->SetParent(tbSystem);
        b->SetCaption(caption);
        b->SetWidth(60);
        b->OnClick = [this](TObject* s) { cmdClick(s); };
    };
    tool(cmdBackupInfo, "cmdBackupInfo", "Info");
    tool(cmdBackupGetNew, "cmdBackupGetNew", "Install New");
    cmdBackupGetNew->SetStyle(tbsDropDown);
    cmdBackupGetNew->SetEnabled(false);
    tool(cmdBackupSep, "cmdBackupSep", "");
    cmdBackupSep->SetStyle(tbsSeparator);
    cmdBackupSep->SetWidth(8);
    tool(cmdBackupDelete, "cmdBackupDelete", "Delete");
    cmdBackupDelete->SetEnabled(false);
    tbSystem->OnResize = [this](TObject* s) { tbResize(s); };

    PanelSystem = new TPanel(this);
    PanelSystem->SetName("PanelSystem");
    PanelSystem->SetParent(tsBackup);
    PanelSystem->SetBounds(8, 172, 522, 80);
    lsysName = label(PanelSystem, "Name:", 8, 8);
    lsysName->SetName("lsysName");
    lsysName->Font()->SetStyle(fsBold);
    lSysBackup = label(PanelSystem, "", 8, 28);
    lSysBackup->SetName("lSysBackup");
    lSysBackup->Font()->SetStyle(fsItalic);
    cmdConfig = new TButton(this);
    cmdConfig->SetName("cmdConfig");
    cmdConfig->SetParent(PanelSystem);
    cmdConfig->SetCaption("Configure");
    cmdConfig->SetBounds(440, 50, 75, 25);
    cmdConfig->OnClick = [this](TObject* s) { cmdClick(s); };
    PanelSystem->OnResize = [this](TObject* s) { tbResize(s); };

    auto change = [this](TObject* s) { tsBackup_BackupNameChange(s); };
    tsBackup_SystemName->OnChange = change;
    tsBackup_BackupName->OnChange = change;
    tsBackup_BackupDescription->OnChange = change;
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
}

void TFormBackupProp::FormCreate(TObject*) {
    // The buttons took their captions after joining the bar: lay them out by their words
    // before the combo box gets what they leave.
    tbSystem->Realign();
    tbResize(tbSystem);
    for (Integer i = 0; i < PageControl->PageCount(); ++i) PageControl->Pages(i)->SetTabVisible(false);
    String folder = pluginsFolder_;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (DirectoryExists(folder)) {
        TFileScan scan(this);
        scan.IncSubDir = true;
        scan.Directory = folder;
        scan.FileSpecs = "*.dll";
        scan.SetStartScan(true);
        tsBackup_SystemName->Items()->Clear();
        for (const String& name : PluginNames(scan.FoundFiles)) tsBackup_SystemName->Items()->Add(name);
        Screen->SetCursor(crDefault);
    }
    tsBackup_BackupNameChange(nullptr);
}

void TFormBackupProp::FormShow(TObject*) {
    if (tsBackup_BackupName->CanFocus()) tsBackup_BackupName->SetFocus();
    tsBackup_BackupName->SelectAll();
    lTime->SetCaption(DateTimeToStr(CreationTime));
    const String wanted = UpperCase(Trim(SystemNameToSelect));
    TStrings* items = tsBackup_SystemName->Items();
    for (Integer i = 0; i < items->Count(); ++i)
        if (UpperCase(Trim(items->Strings(i))) == wanted) tsBackup_SystemName->SetItemIndex(i);
    UpdatePluginText();
    tsBackup_BackupNameChange(nullptr);
}

void TFormBackupProp::tsBackup_BackupNameChange(TObject* Sender) {
    const TBackupPropButtons b = BackupPropButtons(tsBackup_SystemName->Text(), tsBackup_BackupName->Text());
    cmdBackupInfo->SetEnabled(b.PluginButtons);
    cmdBackupDelete->SetEnabled(b.PluginButtons);
    cmdConfig->SetEnabled(b.PluginButtons);
    cmdOk->SetEnabled(b.Ok);
    if (Sender == tsBackup_SystemName) UpdatePluginText();
}

void TFormBackupProp::cmdClick(TObject* Sender) {
    if (Sender == cmdCancel) {
        DialogResult = 2;
        Close();
    } else if (Sender == cmdOk) {
        DialogResult = 1;
        Close();
    } else if (Sender == cmdHelp) {
        ShellExecuteA(nullptr, "Open", HelpFile.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    } else if (Sender == cmdConfig) {
        ConfigurePlugin();
    } else if (Sender == cmdBackupInfo) {
        ShowPluginInfo();
    }
    // "Install New" and "Delete" have no action.
}

void TFormBackupProp::tbResize(TObject* Sender) {
    if (Sender == tbSystem) {
        tsBackup_SystemName->SetWidth(tbSystem->Width() - cmdBackupInfo->Width() - cmdBackupSep->Width() -
                                      cmdBackupDelete->Width() - cmdBackupGetNew->Width() - lSystem->Width() - 5);
    } else if (Sender == PanelSystem) {
        cmdConfig->SetLeft(PanelSystem->Width() - cmdConfig->Width() - 5);
    }
}

String TFormBackupProp::LibraryPath() const { return host_.LibraryPath(tsBackup_SystemName->Text()); }

void TFormBackupProp::UpdatePluginText() {
    lsysName->SetCaption(kUnknownName);
    lSysBackup->SetCaption("");
    const TPluginHost::TPluginText text = host_.ReadPluginText(LibraryPath());
    lsysName->SetCaption(text.Name);
    lSysBackup->SetCaption(text.Description);
}

void TFormBackupProp::ShowPluginInfo() { host_.ShowPluginInfo(LibraryPath()); }

void TFormBackupProp::ConfigurePlugin() { host_.ConfigurePlugin(LibraryPath(), BackupSettingsFile()); }

}  // namespace manager
