// The main window's commands: the menu states by root, deleting, adding and editing nodes
// through the dialogs, properties, help, the tray items and the history's save and search.
#include <gtest/gtest.h>

#include "manager/AddFolder.h"
#include "manager/BackupProp.h"
#include "manager/Commands.h"
#include "manager/Options.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "tests/manager_main/MainTestFixture.h"

using namespace maintest;

namespace {

// ---- the rules without a window

struct MenuCase {
    const char* name;
    TRootKind root;
    Integer level;
    Int64 kind;
    // Expected values; -1 leaves the item unchanged.
    int add, addBackup, backup, del, properties, search, save;
};

int Val(const std::optional<bool>& v) { return v ? int(*v) : -1; }

class MenuStates : public ::testing::TestWithParam<MenuCase> {};

TEST_P(MenuStates, FollowTheRootAndTheNode) {
    const MenuCase& c = GetParam();
    const TFileMenuStates s = FileMenuStates(c.root, c.level, c.kind);
    EXPECT_EQ(Val(s.AddVisible), c.add);
    EXPECT_EQ(Val(s.AddBackupEnabled), c.addBackup);
    EXPECT_EQ(Val(s.BackupVisible), c.backup);
    EXPECT_EQ(Val(s.DeleteVisible), c.del);
    EXPECT_EQ(Val(s.PropertiesEnabled), c.properties);
    EXPECT_EQ(Val(s.SearchVisible), c.search);
    EXPECT_EQ(Val(s.SaveVisible), c.save);
}

INSTANTIATE_TEST_SUITE_P(
    Roots, MenuStates,
    ::testing::Values(MenuCase{"BackupRoot", TRootKind::Backup, 0, nkFolder, 1, 0, 0, 0, -1, 0, 0},
                      MenuCase{"Folder", TRootKind::Backup, 1, nkFolder, 1, 1, 0, 1, -1, 0, 0},
                      MenuCase{"Backup", TRootKind::Backup, 2, nkBackup, 1, 1, 1, 1, -1, 0, 0},
                      MenuCase{"Actions", TRootKind::Actions, 0, nkBackup, 0, -1, 0, 0, 1, 0, 0},
                      MenuCase{"History", TRootKind::History, 0, nkHistory, 0, -1, 0, 0, 1, 1, 1},
                      MenuCase{"NoRoot", TRootKind::None, 0, 0, -1, -1, -1, -1, -1, -1, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstallationEntries, NameTheProgramAndQuoteTheFolderCommand) {
    const auto e = InstallationEntries("My Corvex", "Z:\\opt\\t\\Tarvik");
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[1].Section, "My Corvex");
    EXPECT_EQ(e[1].Value, "Z:\\opt\\t\\Tarvik -u");
    EXPECT_EQ(e[2].KeyPath + "|" + e[2].Section + "|" + e[2].Ident + "|" + e[2].Value, "Software\\Classes|directory||");
    EXPECT_EQ(e[3].Value, "Add to My Corvex");
    EXPECT_EQ(e[4].KeyPath, "Software\\Classes\\directory\\shell\\My Corvex");
    EXPECT_EQ(e[4].Value, "\"Z:\\opt\\t\\Tarvik\" \"-a\" \"%1\"");
}

// ---- the window

class CommandsTest : public MainFixture {};

TEST_F(CommandsTest, FileMenuAndPopupFollowTheCurrentNode) {
    TFormMain* f = Create();
    f->TreeExChange(nullptr, f->BackupRoot);
    f->mnuFile->Popup(0, 0);
    EXPECT_TRUE(f->FileItems.Add->Visible());
    EXPECT_FALSE(f->FileItems.AddBackup->Enabled());
    EXPECT_TRUE(f->FileItems.AddFolder->Enabled());
    EXPECT_FALSE(f->FileItems.Backup->Visible());
    EXPECT_FALSE(f->FileItems.Delete->Visible());
    EXPECT_FALSE(f->FileItems.Search->Visible());
    EXPECT_FALSE(f->FileItems.Save->Visible());

    TTreeExNode* backup = Add(f->BackupRoot, "Tax", nkBackup);
    bool askParent = true;
    TPopupMenu* menu = f->PopupMenuLeft;
    f->TreeExGetPopupMenu(nullptr, backup, askParent, menu);
    EXPECT_FALSE(askParent);
    EXPECT_EQ(f->CurrentNode, backup);
    f->PopupMenuLeft->Popup(0, 0);
    EXPECT_TRUE(f->PopupItems.Backup->Visible());
    EXPECT_TRUE(f->PopupItems.Delete->Visible());
    EXPECT_TRUE(f->PopupItems.Properties->Enabled());
    EXPECT_FALSE(f->FileItems.Delete->Visible());  // only the opening menu changes

    f->TreeExChange(nullptr, f->HistoryRoot);
    f->PopupMenuLeft->Popup(0, 0);
    EXPECT_TRUE(f->PopupItems.Search->Visible());
    EXPECT_TRUE(f->PopupItems.Save->Visible());
    EXPECT_FALSE(f->PopupItems.Add->Visible());
    EXPECT_EQ(f->FindComponent("mnuFile_AddBackup1"), f->PopupItems.AddBackup);
    EXPECT_EQ(f->PopupItems.Properties->ShortCut(), 32781);
    EXPECT_EQ(f->FileItems.Properties->ShortCut(), 16464);
}

TEST_F(CommandsTest, DeleteAsksAndRemovesTheSubtreeOnlyOnYes) {
    TFormMain* f = Create();
    TTreeExNode* folder = Add(f->BackupRoot, "Docs", nkFolder);
    Add(folder, "Tax", nkBackup);
    f->TreeExChange(nullptr, folder);
    f->mnuFile_Click(f->PopupItems.Delete);  // no hook: the question answers No
    ASSERT_EQ(f->BackupRoot->Count(), 1);
    auto boxes = platform::ShownDialogs();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Delete Docs");
    EXPECT_EQ(boxes[0].buttons & MB_TYPEMASK, UINT(MB_YESNO));
    EXPECT_EQ(boxes[0].buttons & 0xF0u, UINT(MB_ICONQUESTION));

    OnForm<TForm>([](TForm&) {}, IDYES);
    f->mnuFile_Click(f->PopupItems.Delete);
    EXPECT_TRUE(f->BackupRoot->Count() == 0);
    EXPECT_EQ(f->CurrentNode, nullptr);  // nothing acts on the deleted node afterwards
    f->mnuFile_Click(f->PopupItems.Properties);
    EXPECT_EQ(platform::ShownDialogs().size(), 2u);

    f->TreeExChange(nullptr, f->BackupRoot);  // the roots are never deleted
    f->mnuFile_Click(f->FileItems.Delete);
    EXPECT_EQ(platform::ShownDialogs().size(), 2u);
}

TEST_F(CommandsTest, AddedFolderGoesInsideAFolderAndBesideABackup) {
    TFormMain* f = Create();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    TTreeExNode* tax = Add(docs, "Tax", nkBackup);
    bool okAtShow = true;
    OnForm<TFormAddFolder>([&](TFormAddFolder& d) {
        okAtShow = d.cmdOk->Enabled();
        Type(d.tsAddFolder_Name, "New <one>");
        Type(d.tsAddFolder_Description, "notes");
        d.cmdOk->Click();
    });
    f->TreeExChange(nullptr, tax);
    ASSERT_FALSE(docs->Expanded());
    f->mnuFile_Click(f->FileItems.AddFolder);
    EXPECT_FALSE(okAtShow);
    ASSERT_EQ(docs->Count(), 2);
    TTreeExNode* added = docs->Item(1);
    EXPECT_EQ(added->Text(), "New <one>");
    EXPECT_EQ(added->Description(), "notes");
    EXPECT_EQ(added->NodeKind(), nkFolder);
    EXPECT_EQ(added->ImageIndex(), 6);
    EXPECT_EQ(added->SelectedIndex(), 7);
    EXPECT_EQ(added->SystemName(), "");
    EXPECT_DOUBLE_EQ(added->Created(), Now());
    EXPECT_EQ(f->CurrentNode, added);
    // The tree shows and chooses the node whose page is shown, inside the folder it opened.
    EXPECT_EQ(f->TreeEx->Selected(), added);
    EXPECT_TRUE(docs->Expanded());
    // The page step ran after the fields were set.
    EXPECT_EQ(f->tsBackupInfo_L1->Caption(), "Folder:New <one>");

    f->TreeExChange(nullptr, added);
    f->mnuFile_Click(f->PopupItems.AddFolder);
    ASSERT_EQ(added->Count(), 1);

    f->SaveBackupList(env.Win("Backup.Dat"));
    EXPECT_NE(env.ReadText(env.Scratch("Backup.Dat")).find("3|New <one>|1|||notes|"), std::string::npos);
}

TEST_F(CommandsTest, CancelOrCloseBoxLeavesTheTreeUnchanged) {
    TFormMain* f = Create();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    f->TreeExChange(nullptr, docs);
    OnForm<TFormAddFolder>([](TFormAddFolder& d) {
        Type(d.tsAddFolder_Name, "x");
        d.cmdCancel->Click();
    });
    f->mnuFile_Click(f->FileItems.AddFolder);
    OnForm<TFormAddFolder>([](TFormAddFolder& d) {
        Type(d.tsAddFolder_Name, "x");
        d.Close();
    });
    f->mnuFile_Click(f->FileItems.AddFolder);
    platform::SetDialogHook({});
    f->mnuFile_Click(f->FileItems.AddBackup);
    EXPECT_TRUE(docs->Count() == 0);
    EXPECT_EQ(docs->Text(), "Docs");
}

TEST_F(CommandsTest, NothingIsAddedOutsideTheBackupsRoot) {
    TFormMain* f = Create();
    OnForm<TFormAddFolder>([](TFormAddFolder& d) {
        Type(d.tsAddFolder_Name, "lost");
        d.cmdOk->Click();
    });
    for (TTreeExNode* root : {f->ActionsRoot, f->HistoryRoot}) {
        f->TreeExChange(nullptr, root);
        f->EditFolder(root, 0);
        EXPECT_TRUE(root->Count() == 0);
    }
    EXPECT_EQ(f->TreeEx->Items()->Count(), 3u);
}

TEST_F(CommandsTest, AddedBackupGetsThePluginAndItsPage) {
    TFormMain* f = Create();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    TBackupPropButtons atShow, afterPlugin;
    String id, caption, name;
    OnForm<TFormBackupProp>([&](TFormBackupProp& d) {
        atShow = {d.cmdConfig->Enabled(), d.cmdOk->Enabled()};
        ChooseFirst(d.tsBackup_SystemName);
        afterPlugin = {d.cmdConfig->Enabled(), d.cmdOk->Enabled()};
        name = d.lsysName->Caption();
        Type(d.tsBackup_BackupName, "   ");
        EXPECT_FALSE(d.cmdOk->Enabled());
        Type(d.tsBackup_BackupName, "Tax");
        Type(d.tsBackup_BackupDescription, "yearly");
        id = d.BackupID;
        caption = d.Caption();
        d.cmdConfig->Click();
        d.cmdOk->Click();
    });
    f->TreeExChange(nullptr, docs);
    f->mnuFile_Click(f->PopupItems.AddBackup);
    EXPECT_EQ(caption, "Add Backup...");
    EXPECT_FALSE(atShow.PluginButtons);
    EXPECT_FALSE(atShow.Ok);
    EXPECT_TRUE(afterPlugin.PluginButtons);
    EXPECT_FALSE(afterPlugin.Ok);
    EXPECT_EQ(name, "Name: Test plug-in");
    ASSERT_EQ(docs->Count(), 1);
    TTreeExNode* tax = docs->Item(0);
    EXPECT_EQ(tax->Text(), "   Tax");
    EXPECT_EQ(tax->Description(), "yearly");
    EXPECT_EQ(tax->SystemName(), "TestPlugin");
    EXPECT_EQ(tax->BackupID(), id);
    EXPECT_EQ(id.front(), '{');
    EXPECT_EQ(tax->NodeKind(), nkBackup);
    EXPECT_EQ(tax->ImageIndex(), 4);
    EXPECT_NE(tax->PluginHandle(), nullptr);  // the page step loaded the plug-in
    EXPECT_EQ(f->PageControl->ActivePage(), f->tsFiles);
    // The plug-in configured the settings file of the new backup's id.
    EXPECT_NE(PluginLog().find("prop app " + f->BackupDataFolder + id + "\n"), String::npos) << PluginLog();

    // Editing preselects the plug-in whatever the letter case and keeps the id and the time.
    tax->SetSystemName("testPLUGIN ");
    tax->SetCreated(45000.5);
    String shownTime;
    Integer chosen = -1;
    OnForm<TFormBackupProp>([&](TFormBackupProp& d) {
        shownTime = d.lTime->Caption();
        chosen = d.tsBackup_SystemName->ItemIndex();
        EXPECT_EQ(d.tsBackup_BackupName->Text(), "   Tax");
        d.tsBackup_BackupName->SetText("Taxes");
        d.cmdOk->Click();
    });
    f->TreeExChange(nullptr, tax);
    f->mnuFile_Click(f->cmdFilesProperties);
    EXPECT_EQ(chosen, 0);
    EXPECT_EQ(shownTime, DateTimeToStr(45000.5));
    EXPECT_EQ(tax->Text(), "Taxes");
    EXPECT_EQ(tax->BackupID(), id);
    EXPECT_EQ(tax->SystemName(), "TestPlugin");
}

TEST_F(CommandsTest, PropertiesOnARootOpensTheOptions) {
    TFormMain* f = Create();
    for (TTreeExNode* root : {f->BackupRoot, f->ActionsRoot, f->HistoryRoot}) {
        platform::ClearShownDialogs();
        f->TreeExChange(nullptr, root);
        f->mnuFile_Click(root == f->ActionsRoot ? static_cast<TObject*>(f->cmdActionsProperties)
                                                : f->FileItems.Properties);
        auto shown = platform::ShownDialogs();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].className, "TFormOptions");
    }
}

TEST_F(CommandsTest, RootsKeepTheirNamesOthersMayBeRenamed) {
    TFormMain* f = Create();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    bool allow = true;
    f->TreeExEditing(nullptr, f->BackupRoot, allow);
    EXPECT_FALSE(allow);
    allow = true;
    f->TreeExEditing(nullptr, docs, allow);
    EXPECT_TRUE(allow);
}

TEST_F(CommandsTest, HelpAboutAndInternetItems) {
    TFormMain* f = Create();
    f->mnuHelpClick(f->mnuHelp_Help);
    EXPECT_EQ(f->PageControl->ActivePage(), f->tsBackupInfo);
    EXPECT_EQ(f->MainWebBrowser->LocationURL(), f->HelpPageFile);
    EXPECT_EQ(f->HelpPageFile, env.Win("prog") + "\\Help\\Help.htm");

    f->mnuHelpClick(f->mnuHelp_EMail);
    f->mnuHelpClick(f->mnuHelp_Website);
    auto calls = platform::ShellExecuteCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].verb, "Open");
    EXPECT_EQ(calls[0].file.rfind("MailTo:", 0), 0u);
    EXPECT_EQ(calls[0].show, SW_SHOWNORMAL);

    f->mnuHelpClick(f->mnuHelp_About);
    auto shown = platform::ShownDialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].className, "TFormAbout");
    EXPECT_EQ(shown[0].caption, "About");
}

TEST_F(CommandsTest, TrayStartBackupSendsSecBacForTheSelectedNode) {
    TFormMain* f = Create();
    f->Systray_Click(f->Systray_StartBackup);  // nothing selected: nothing happens
    TTreeExNode* tax = Add(f->BackupRoot, "Tax", nkBackup);
    tax->SetSystemName("TestPlugin");
    tax->SetBackupID("{1}");
    f->TreeExChange(nullptr, tax);
    f->TreeEx->SetSelected(tax);
    f->Systray_Click(f->Systray_StartBackup);
    EXPECT_NE(PluginLog().find("child SecBac" + tax->PluginChildID() + " -> "), String::npos) << PluginLog();
    f->mnuFile_Click(f->FileItems.Backup);
    EXPECT_NE(PluginLog().find("child Backup" + tax->PluginChildID() + " -> "), String::npos) << PluginLog();
}

TEST_F(CommandsTest, TrayCloseEndsTheProgramAndKeepsTheLatestCatalogue) {
    TFormMain* f = Create();
    Add(f->BackupRoot, "Docs", nkFolder);
    f->Close();  // minimises, saving the catalogue as it is now
    Add(f->BackupRoot, "Added later", nkFolder);
    f->Systray_Click(f->Systray_Close);
    Application->ProcessMessages();
    EXPECT_TRUE(platform::QuitRequested());
    const String saved = env.ReadText(platform::ToPosixPath(f->BackupListFile));
    EXPECT_NE(saved.find("1|Docs|1|"), String::npos) << saved;
    EXPECT_NE(saved.find("1|Added later|1|"), String::npos) << saved;
}

TEST_F(CommandsTest, BackupDialogFitsItsSystemBarAndConfigureButton) {
    TFormMain* f = Create();
    TFormBackupProp d(f, f->Plugins(), f->PluginsFolder);
    EXPECT_EQ(d.tsBackup_SystemName->Items()->Count(), 1);  // the test plug-in, found by the scanner
    EXPECT_EQ(d.tsBackup_SystemName->Items()->Strings(0), "TestPlugin");
    d.PanelSystem->SetWidth(400);
    EXPECT_EQ(d.cmdConfig->Left(), 400 - d.cmdConfig->Width() - 5);
    EXPECT_FALSE(d.cmdBackupGetNew->Enabled());
    EXPECT_FALSE(d.tsBackup->TabVisible());
}

TEST_F(CommandsTest, SearchSelectsTheFirstOccurrenceWithCase) {
    TFormMain* f = Create();
    f->mHistory->SetText("alpha beta\r\nbeta");
    String answer = "beta";
    platform::SetDialogHook([&](platform::DialogRequest& r) {
        EXPECT_EQ(r.caption, "Search");
        EXPECT_EQ(r.text, "Search in history.");
        r.value = answer;
        return IDOK;
    });
    f->mnuFile_Click(f->cmdHistorySearch);
    EXPECT_EQ(f->mHistory->SelStart(), 6);
    EXPECT_EQ(f->mHistory->SelLength(), 4);
    answer = "BETA";
    f->mnuFile_Click(f->FileItems.Search);
    EXPECT_EQ(f->mHistory->SelStart(), 6);
    answer = "alp";
    f->mnuFile_Click(f->PopupItems.Search);
    EXPECT_EQ(f->mHistory->SelStart(), 0);
    EXPECT_EQ(f->mHistory->SelLength(), 3);
}

TEST_F(CommandsTest, SaveWritesTheMemoToTheChosenFile) {
    TFormMain* f = Create();
    f->mHistory->SetText("one\r\ntwo");
    platform::SetDialogHook([&](platform::DialogRequest& r) {
        EXPECT_EQ(r.kind, platform::DialogKind::SaveDialog);
        r.value = env.Win("copy");
        return IDOK;
    });
    f->mnuFile_Click(f->PopupItems.SaveFile);
    EXPECT_EQ(env.ReadText(env.Scratch("copy")), "one\r\ntwo\r\n");
    EXPECT_EQ(f->SaveDialog->Title(), "Save history to file");
    EXPECT_EQ(f->SaveDialog->Filter(), "Text file(s)|*.txt|All File(s)|*.*");
}

}  // namespace
