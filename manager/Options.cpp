#include "manager/Options.h"

#include <iterator>

#include "manager/Commands.h"
#include "manager/RegistryHelpers.h"
#include "manager/ShellHelpers.h"
#include "platform/Params.h"

namespace manager {
namespace {

constexpr const char* kStyleNormal = "Normal";
constexpr const char* kSystemInternal = "Internal";
constexpr const char* kNameDesignText = "N%  D%T%";
// Where the edits of the Backup page start in their group boxes, and how wide they are (to the
// boxes' edge).
constexpr Integer kReportEditLeft = 212;
constexpr Integer kReportEditWidth = 168;

}  // namespace

void WriteInstallationEntries(const String& title, const String& programPath) {
    for (const TInstallEntry& e : InstallationEntries(title, programPath))
        RegIniString(e.KeyPath, e.Section, e.Ident, false, e.Value);
}

TFormOptions::TFormOptions(TComponent* AOwner) : TForm(AOwner) {
    BuildForm();
    FinishCreate();
}

void TFormOptions::BuildForm() {
    SetUniqueName("FormOptions");  // a closed one may still wait to be freed
    SetCaption("Options");
    SetBorderStyle(bsSizeToolWin);
    SetPosition(poOwnerFormCenter);
    SetBounds(0, 0, 420, 360);

    auto* bottom = new TPanel(this);
    bottom->SetParent(this);
    bottom->SetAlign(alBottom);
    bottom->SetHeight(33);
    bottom->SetBevelOuter(bvNone);
    auto button = [this, bottom](TButton*& b, const char* name, const char* caption, Integer left) {
        b = new TButton(this);
        b->SetName(name);
        b->SetParent(bottom);
        b->SetCaption(caption);
        b->SetBounds(left, 4, 75, 25);
    };
    button(cmdHelp, "cmdHelp", "&Help", 8);
    button(cmdCancel, "cmdCancel", " &Cancel ", 250);
    button(cmdOk, "cmdOk", "  &Ok  ", 330);
    cmdOk->OnClick = [this](TObject* s) { cmdOkClick(s); };
    cmdCancel->OnClick = [this](TObject* s) { cmdCancelClick(s); };

    PageControl = new TPageControl(this);
    PageControl->SetName("PageControl");
    PageControl->SetParent(this);
    PageControl->SetAlign(alClient);
    auto page = [this](TTabSheet*& ts, const char* name, const char* caption) {
        ts = new TTabSheet(this);
        ts->SetName(name);
        ts->SetPageControl(PageControl);
        ts->SetCaption(caption);
    };
    page(tsGeneral, "tsGeneral", "&General");
    page(tsActions, "tsActions", "&Actions");
    page(tsBackup, "tsBackup", "&Backup");

    auto label = [this](TWinControl* parent, const char* caption, Integer left, Integer top, bool italic = false) {
        auto* l = new TLabel(this);
        l->SetParent(parent);
        l->SetCaption(caption);
        l->SetBounds(left, top, 180, 16);
        if (italic) l->Font()->SetStyle(fsItalic);
        return l;
    };
    auto box = [this](TCheckBox*& c, TWinControl* parent, const char* name, const char* caption, Integer left,
                      Integer top) {
        c = new TCheckBox(this);
        c->SetName(name);
        c->SetParent(parent);
        c->SetCaption(caption);
        c->SetBounds(left, top, 170, 17);
    };
    auto group = [this](TWinControl* parent, const char* caption, Integer left, Integer top, Integer width,
                        Integer height) {
        auto* g = new TGroupBox(this);
        g->SetParent(parent);
        g->SetCaption(caption);
        g->SetBounds(left, top, width, height);
        return g;
    };
    auto edit = [this](TEdit*& e, TWinControl* parent, const char* name, Integer left, Integer top) {
        e = new TEdit(this);
        e->SetName(name);
        e->SetParent(parent);
        e->SetBounds(left, top, 180, 21);
        e->SetText("");
    };

    // "&General"
    label(tsGeneral, "Program style:", 8, 10);
    tsGeneral_Style = new TComboBox(this);
    tsGeneral_Style->SetName("tsGeneral_Style");
    tsGeneral_Style->SetParent(tsGeneral);
    tsGeneral_Style->SetStyle(csDropDownList);
    tsGeneral_Style->SetBounds(110, 8, 150, 21);
    tsGeneral_Style->Items()->Add(kStyleNormal);
    box(tsGeneral_cClosedM, tsGeneral, "tsGeneral_cClosedM", "On Closed minimize", 8, 36);
    box(tsGeneral_cOSStart, tsGeneral, "tsGeneral_cOSStart", "Start when OS start", 8, 58);
    TGroupBox* visibility = group(tsGeneral, "Visibility   ", 8, 84, 390, 110);
    box(tsGeneral_cOnDesktop, visibility, "tsGeneral_cOnDesktop", "On Desktop", 8, 18);
    label(visibility, "Show on desktop of my computer   ", 190, 18, true);
    box(tsGeneral_StartMenu, visibility, "tsGeneral_StartMenu", "Start menu", 8, 40);
    label(visibility, "Show in Start Menu   ", 190, 40, true);
    box(tsGeneral_cFavorites, visibility, "tsGeneral_cFavorites", "In Favorites", 8, 62);
    label(visibility, "Show in Favorites   ", 190, 62, true);
    cmdMakeInstalation = new TSpeedButton(this);
    cmdMakeInstalation->SetName("cmdMakeInstalation");
    cmdMakeInstalation->SetParent(visibility);
    cmdMakeInstalation->SetCaption("Make Instalation");
    cmdMakeInstalation->SetFlat(true);
    cmdMakeInstalation->SetBounds(8, 84, 170, 20);
    cmdMakeInstalation->OnClick = [this](TObject* s) { cmdMakeInstalationClick(s); };
    label(visibility, "Make instalation on my computer   ", 190, 86, true);

    // "&Actions"
    TGroupBox* monitor = group(tsActions, "Monitor", 8, 8, 190, 110);
    box(tsActions_cAdd, monitor, "tsActions_cAdd", "Add New", 8, 18);
    box(tsActions_cCopy, monitor, "tsActions_cCopy", "Copy", 8, 40);
    box(tsActions_cChecking, monitor, "tsActions_cChecking", "Checking", 8, 62);
    box(tsActions_cBackup, monitor, "tsActions_cBackup", "Backup", 8, 84);
    TGroupBox* report = group(tsActions, "Report", 206, 8, 190, 110);
    box(tsActions_rAdd, report, "tsActions_rAdd", "Add New", 8, 18);
    box(tsActions_rCopy, report, "tsActions_rCopy", "Copy", 8, 40);
    box(tsActions_rChacking, report, "tsActions_rChacking", "Checking", 8, 62);
    box(tsActions_rBackup, report, "tsActions_rBackup", "Backup", 8, 84);

    // "&Backup"
    tbBackupSystem = new TToolBar(this);
    tbBackupSystem->SetName("tbBackupSystem");
    tbBackupSystem->SetParent(tsBackup);
    // Placed by its bounds, not at the top edge where tool bars go by default; its buttons are words.
    tbBackupSystem->SetAlign(alNone);
    tbBackupSystem->SetShowCaptions(true);
    tbBackupSystem->SetBounds(8, 8, 390, 24);
    lBackupSystem = label(tbBackupSystem, "Backup system: ", 0, 0);
    lBackupSystem->SetWidth(90);
    tsBackup_System = new TComboBox(this);
    tsBackup_System->SetName("tsBackup_System");
    tsBackup_System->SetParent(tbBackupSystem);
    tsBackup_System->SetStyle(csDropDownList);
    tsBackup_System->Items()->Add(kSystemInternal);
    auto tool = [this](TToolButton*& b, const char* name, const char* caption, Integer width) {
        b = new TToolButton(this);
        b->SetName(name);
        b->SetParent(tbBackupSystem);
        b->SetCaption(caption);
        b->SetWidth(width);
        b->SetEnabled(false);  // neither button has an action
    };
    tool(cmdBackupConfigure, "cmdBackupConfigure", "&Configure", 70);
    tool(cmdBackupSep, "cmdBackupSep", "", 8);
    cmdBackupSep->SetStyle(tbsSeparator);
    tool(cmdBackupGetNew, "cmdBackupGetNew", "Get new", 60);
    TGroupBox* save = group(tsBackup, "Save   ", 8, 40, 390, 80);
    label(save, "   N% - Name,  T% - Time,  D% - Date,  U% - User name.", 8, 16)->SetWidth(370);
    label(save, "   Save backup name as:", 8, 36);
    edit(tsBackup_Name, save, "tsBackup_Name", kReportEditLeft, 34);
    tsBackup_Name->SetWidth(kReportEditWidth);
    tsBackup_Name->SetText(kNameDesignText);
    tsBackup_Name->SetEnabled(false);
    tsBackup_Name->SetReadOnly(true);
    TGroupBox* reportBox = group(tsBackup, "Report     ", 8, 126, 390, 90);
    box(tsBackup_cReport, reportBox, "tsBackup_cReport", "Create report", 8, 18);
    box(tsBackup_EReport, reportBox, "tsBackup_EReport", "Send report to E-Mail:", 8, 40);
    edit(tsBackup_eEmail, reportBox, "tsBackup_eEmail", kReportEditLeft, 38);
    box(tsBackup_cSMS, reportBox, "tsBackup_cSMS", "Send SMS Message to number:", 8, 62);
    edit(tsBackup_SMSNumber, reportBox, "tsBackup_SMSNumber", kReportEditLeft, 60);
    // The longest caption ("Send SMS Message to number:") needs the room up to its edit.
    for (TWinControl* c : {static_cast<TWinControl*>(tsBackup_EReport), static_cast<TWinControl*>(tsBackup_cSMS)})
        c->SetWidth(kReportEditLeft - 12);
    for (TEdit* e : {tsBackup_eEmail, tsBackup_SMSNumber}) e->SetWidth(kReportEditWidth);
    tsBackup_cSMS->SetEnabled(false);
    tsBackup_SMSNumber->SetEnabled(false);

    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
}

TCheckBox* TFormOptions::ShortcutBox(Integer index) const {
    TCheckBox* const boxes[] = {tsGeneral_cOnDesktop, tsGeneral_StartMenu, tsGeneral_cFavorites, tsGeneral_cOSStart};
    static_assert(std::size(boxes) == std::size(kShortcutPlaces));
    return boxes[index];
}

void TFormOptions::FormCreate(TObject*) {
    PageControl->SetActivePage(tsGeneral);
    tsGeneral_Style->SetItemIndex(0);  // whatever General_Style holds
    tsGeneral_cClosedM->SetChecked(Settings.General_cClosedM);
    for (Integer i = 0; i < Integer(std::size(kShortcutPlaces)); ++i)
        ShortcutBox(i)->SetChecked(ShortcutExists(kShortcutPlaces[i].Folder));
    tsBackup_System->SetItemIndex(0);
    tbBackupSystem->Realign();  // the buttons' widths follow their captions, set after they joined
    tsBackup_System->SetWidth(tbBackupSystem->Width() - lBackupSystem->Width() - cmdBackupConfigure->Width() -
                              cmdBackupGetNew->Width() - cmdBackupSep->Width());

    tsBackup_Name->SetText(Settings.Backup_Name);
    tsBackup_cReport->SetChecked(Settings.Backup_cReport);
    tsBackup_EReport->SetChecked(Settings.Backup_EReport);
    tsBackup_eEmail->SetText(Settings.Backup_eEmail);
    tsBackup_cSMS->SetChecked(Settings.Backup_cSMS);
    tsBackup_SMSNumber->SetText(Settings.Backup_SMSNumber);
    tsActions_cAdd->SetChecked(Settings.Actions_cAdd);
    tsActions_cCopy->SetChecked(Settings.Actions_cCopy);
    tsActions_cChecking->SetChecked(Settings.Actions_cChecking);
    tsActions_cBackup->SetChecked(Settings.Actions_cBackup);
    tsActions_rAdd->SetChecked(Settings.Actions_rAdd);
    tsActions_rCopy->SetChecked(Settings.Actions_rCopy);
    tsActions_rChacking->SetChecked(Settings.Actions_rChecking);
    tsActions_rBackup->SetChecked(Settings.Actions_rBackup);
}

void TFormOptions::FormClose(TObject*, TCloseAction& Action) { Action = caFree; }

void TFormOptions::cmdOkClick(TObject*) {
    Settings.General_Style = tsGeneral_Style->Text();
    Settings.General_cClosedM = tsGeneral_cClosedM->Checked();
    // A shortcut that cannot be written is not reported, and the other settings are still
    // copied and the dialog still closes.
    for (Integer i = 0; i < Integer(std::size(kShortcutPlaces)); ++i) {
        try {
            MakeShortcut(kShortcutPlaces[i].Folder, ShortcutBox(i)->Checked(), kShortcutPlaces[i].Parameters);
        } catch (Exception&) {
        }
    }

    Settings.Backup_Name = tsBackup_Name->Text();
    Settings.Backup_cReport = tsBackup_cReport->Checked();
    Settings.Backup_EReport = tsBackup_EReport->Checked();
    Settings.Backup_eEmail = tsBackup_eEmail->Text();
    Settings.Backup_cSMS = tsBackup_cSMS->Checked();
    Settings.Backup_SMSNumber = tsBackup_SMSNumber->Text();
    Settings.Actions_cAdd = tsActions_cAdd->Checked();
    Settings.Actions_cCopy = tsActions_cCopy->Checked();
    Settings.Actions_cChecking = tsActions_cChecking->Checked();
    Settings.Actions_cBackup = tsActions_cBackup->Checked();
    Settings.Actions_rAdd = tsActions_rAdd->Checked();
    Settings.Actions_rCopy = tsActions_rCopy->Checked();
    Settings.Actions_rChecking = tsActions_rChacking->Checked();
    Settings.Actions_rBackup = tsActions_rBackup->Checked();
    Close();
}

void TFormOptions::cmdCancelClick(TObject*) { Close(); }

void TFormOptions::cmdMakeInstalationClick(TObject*) { WriteInstallationEntries(ApplicationTitle(), ParamStr(0)); }

}  // namespace manager
