// The menus of the main window: the File menu and the tree popup, the Options and Help menus,
// the tray's popup, and the events of the header buttons. Behaviour lives in MainCommands.cpp.
#include "manager/MainWindow.h"

namespace manager {
namespace {

struct TItemSpec {
    const char* name;
    const char* caption;
    TShortCut shortCut;
    const char* hint;
};

TMenuItem* Item(TComponent* owner, TMenuItem* parent, const TItemSpec& spec, TNotifyEvent onClick) {
    auto* item = new TMenuItem(owner);
    if (*spec.name) item->SetName(spec.name);
    item->SetCaption(spec.caption);
    item->SetShortCut(spec.shortCut);
    item->SetHint(spec.hint);
    item->OnClick = std::move(onClick);
    parent->Add(item);
    return item;
}

TMenuItem* Separator(TComponent* owner, TMenuItem* parent) { return Item(owner, parent, {"", "-", 0, ""}, nullptr); }

}  // namespace

void TFormMain::BuildMenus() {
    auto file = [this](TObject* s) { mnuFile_Click(s); };

    // The File menu and the tree popup share captions; names, some shortcuts, one hint and
    // the order differ.
    auto fileItems = [&](TFileItems& it, TMenuItem* root, bool popup) {
        const String suffix = popup ? "1" : "";
        auto make = [&](TMenuItem* parent, const char* name, const char* caption, TShortCut sc, const char* hint) {
            const String full = String(name) + suffix;
            return Item(this, parent, {full.c_str(), caption, sc, hint}, file);
        };
        it.Add = make(root, "mnuFile_Add", "Add", 0, "Add new files to backup list");
        it.AddBackup = make(it.Add, "mnuFile_AddBackup", "Backup", 45,
                            popup ? "Select file(s) for backup" : "Make new backup...");
        it.AddFolder = make(it.Add, "mnuFile_AddFolder", "Folder", 16429, "Add new folder");
        it.Backup = make(root, "mnuFile_Backup", "Backup", 123, "Start backup");
        it.Delete = make(root, "mnuFile_Delete", "Delete", popup ? 46 : 0, "Delete selected item?");
        auto save = [&] {
            it.Save = make(root, "mnuFile_Save", "Save to ...", 0, "Save history to...");
            it.SaveFile = make(it.Save, "mnuFile_SaveFile", "File", 0, "Save history to file");
            it.SaveMail = make(it.Save, "mnuFile_SaveMail", "E-Mail Outbox", 0, "Save history to e-mail outbox");
        };
        if (!popup) save();
        it.Search = make(root, "mnuFile_Search", "Search", 16467, "");
        if (popup) save();
        Separator(this, root);
        it.Properties = make(root, "mnuFile_Properties", "Properties", popup ? 32781 : 16464, "View properies");
        it.Properties->SetDefault(true);
        if (!popup) it.Exit = make(root, "mnuFile_Exit", "Exit", 0, "Exit from this application");
    };
    fileItems(FileItems, mnuFile->Items(), false);
    fileItems(PopupItems, PopupMenuLeft->Items(), true);
    mnuFile->OnPopup = [this](TObject* s) { MenuPopup(s); };
    PopupMenuLeft->OnPopup = [this](TObject* s) { MenuPopup(s); };

    auto options = [this](TObject* s) { mnuOptions_Click(s); };
    mnuOptions_OnTop->OnClick = options;
    Separator(this, mnuOptions->Items());
    mnuOptions_Options = Item(this, mnuOptions->Items(),
                              {"mnuOptions_Options", "Options", 16463, "Change application options "}, options);
    mnuOptions_Options->SetDefault(true);
    mnuOptions_Laguages = Item(this, mnuOptions->Items(), {"mnuOptions_Laguages", "Laguages", 0, ""}, nullptr);
    mnuOptions_Laguages->SetVisible(false);

    auto help = [this](TObject* s) { mnuHelpClick(s); };
    TMenuItem* h = mnuHelp->Items();
    mnuHelp_Help = Item(this, h, {"mnuHelp_Help", "Help", 112, "Help (shortcut F1)"}, help);
    mnuHelp_Help->SetDefault(true);
    mnuHelp_Internet = Item(this, h, {"mnuHelp_Internet", "Internet", 0, ""}, nullptr);
    mnuHelp_WebHelp =
        Item(this, mnuHelp_Internet, {"mnuHelp_WebHelp", "Help on web", 8304, "Help on Web (shortcut Shift+F1)"}, help);
    mnuHelp_Reportabug =
        Item(this, mnuHelp_Internet, {"mnuHelp_Reportabug", "Report a bug", 0, "Report bug in this program"}, help);
    mnuHelp_Website = Item(this, mnuHelp_Internet, {"mnuHelp_Website", "Web site", 0, "Visit www.brenlo.com"}, help);
    mnuHelp_EMail =
        Item(this, mnuHelp_Internet, {"mnuHelp_EMail", "E-Mail us", 0, "Send us a comment or  contact."}, help);
    mnuHelp_About = Item(this, h, {"mnuHelp_About", "About", 0, "About this application"}, help);

    auto tray = [this](TObject* s) { Systray_Click(s); };
    TMenuItem* t = PopupMenuSysTray->Items();
    Systray_Close = Item(this, t, {"Systray_Close", "Close (my Corvex)", 0, ""}, tray);
    Systray_StartBackup = Item(this, t, {"Systray_StartBackup", "Start Backup", 0, ""}, tray);
    Separator(this, t);
    Systray_Open = Item(this, t, {"Systray_Open", "Open", 0, ""}, tray);
    Systray_Open->SetDefault(true);

    for (TSpeedButton* b : {cmdFilesProperties, cmdFilesBackup, cmdActionsProperties, cmdWelcome, cmdHistorySave,
                            cmdHistorySearch})
        b->OnClick = file;
    cmdHelp->OnClick = help;

    SaveDialog = new TSaveDialog(this);
    SaveDialog->SetName("SaveDialog");
}

}  // namespace manager
