// The catalogue in the main window's tree control: its layout, the change notice of the tree,
// deleting through the tree, re-creating its window, and the tray icon with its popup.
#include <gtest/gtest.h>

#include "tests/manager_main/MainTestFixture.h"

using namespace maintest;

namespace {

class MainTreeTest : public MainFixture {
protected:
    TTreeExNode* Backup(TTreeExNode* parent, const char* text) {
        TTreeExNode* n = Add(parent, text, nkBackup);
        n->SetSystemName("TestPlugin");
        n->SetBackupID("{7}");
        FormMain->TreeExChange(nullptr, n);  // loads the plug-in and creates its page
        return n;
    }
};

TEST_F(MainTreeTest, TreeAndTrayIconAreLaidOutAsTheWindowNeedsThem) {
    TFormMain* f = Create();
    EXPECT_EQ(f->TreeEx->Parent(), f->PanelLeft);
    EXPECT_EQ(f->TreeEx->Images(), f->ImageListNT);
    EXPECT_EQ(f->TreeEx->Indent(), 19);
    EXPECT_EQ(f->TreeEx->ItemHeight(), 16);
    EXPECT_EQ(f->TreeEx->ChangeDelay(), 0);
    EXPECT_EQ(f->TreeEx->PopupMenu(), f->PopupMenuLeft);
    const TTreeOptions o = f->TreeEx->Options();
    EXPECT_TRUE(o.Has(TTreeOption::toRightClickSelect));
    EXPECT_TRUE(o.Has(TTreeOption::toShowLines));
    EXPECT_FALSE(o.Has(TTreeOption::toShowRoot));
    EXPECT_FALSE(o.Has(TTreeOption::toMultiSelect));
    ASSERT_EQ(f->TreeEx->Items()->Count(), 3);
    EXPECT_EQ(f->TreeEx->Items()->Item(0), f->BackupRoot);
    EXPECT_EQ(f->BackupRoot->Text(), "Backup's");

    EXPECT_EQ(f->TrayIcon->Hint(), "Click for option's");
    EXPECT_EQ(f->TrayIcon->CycleInterval(), 200u);
    EXPECT_EQ(f->TrayIcon->PopupMenu(), f->PopupMenuSysTray);
    EXPECT_FALSE(f->TrayIcon->MinimizeToTray());
    bool shown = false;
    for (const platform::NotifyIcon& icon : platform::NotifyIcons()) shown |= icon.tip == "Click for option's";
    EXPECT_TRUE(shown);
}

TEST_F(MainTreeTest, ChoosingANodeInTheTreeRunsThePageStep) {
    TFormMain* f = Create();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    f->TreeEx->SetSelected(f->HistoryRoot);
    EXPECT_EQ(f->CurrentNode, f->HistoryRoot);
    EXPECT_EQ(f->PageControl->ActivePage(), f->tsHistory);
    f->TreeEx->SetSelected(docs);
    EXPECT_EQ(f->CurrentNode, docs);
    EXPECT_EQ(f->tsBackupInfo_L1->Caption(), "Folder:Docs");
}

TEST_F(MainTreeTest, DeletingTheSelectedNodeMovesTheCurrentNodeOn) {
    TFormMain* f = Create();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    TTreeExNode* other = Add(f->BackupRoot, "Other", nkFolder);
    OnForm<TForm>([](TForm&) {}, IDYES);
    f->TreeEx->SetSelected(docs);
    f->mnuFile_Click(f->PopupItems.Delete);
    EXPECT_EQ(f->BackupRoot->Count(), 1);
    EXPECT_NE(f->CurrentNode, nullptr);
    EXPECT_TRUE(f->TreeEx->Items()->IsLive(f->CurrentNode));

    // A node named only by a popup request is forgotten when it goes.
    TTreeExNode* child = Add(other, "Child", nkFolder);
    bool askParent = true;
    TPopupMenu* menu = nullptr;
    f->TreeExGetPopupMenu(f->TreeEx, child, askParent, menu);
    f->mnuFile_Click(f->PopupItems.Delete);
    EXPECT_EQ(other->Count(), 0);
    EXPECT_TRUE(f->CurrentNode == nullptr || f->TreeEx->Items()->IsLive(f->CurrentNode));
    f->mnuFile_Click(f->PopupItems.Properties);  // must not touch the deleted node
}

TEST_F(MainTreeTest, ANewTreeWindowKeepsThePluginFieldsAndTheRoots) {
    TFormMain* f = Create();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    docs->SetSavedExpanded(true);
    TTreeExNode* tax = Backup(docs, "Tax");
    ASSERT_NE(tax->PluginHandle(), nullptr);
    const HMODULE handle = tax->PluginHandle();
    const String child = tax->PluginChildID();
    f->TreeEx->SetSelected(tax);

    f->TreeEx->RecreateWnd();
    ASSERT_EQ(f->TreeEx->Items()->Count(), 5);
    EXPECT_EQ(f->BackupRoot, f->TreeEx->Items()->Item(0));
    EXPECT_EQ(f->HistoryRoot->Text(), "History");
    TTreeExNode* newDocs = f->BackupRoot->Item(0);
    TTreeExNode* newTax = newDocs->Item(0);
    EXPECT_TRUE(newDocs->SavedExpanded());
    EXPECT_EQ(newTax->PluginHandle(), handle);
    EXPECT_EQ(newTax->PluginChildID(), child);
    EXPECT_EQ(f->CurrentNode, newTax);

    // Commands and the catalogue work on the new nodes.
    f->mnuFile_Click(f->FileItems.Backup);
    EXPECT_NE(PluginLog().find("child Backup" + child + " -> "), String::npos) << PluginLog();
    f->SaveBackupList(env.Win("Backup.Dat"));
    EXPECT_NE(env.ReadText(env.Scratch("Backup.Dat")).find("2|Tax|2|TestPlugin|{7}|"), std::string::npos);
}

TEST_F(MainTreeTest, TrayItemsOpenAndStartTheSelectedBackup) {
    TFormMain* f = Create();
    TTreeExNode* tax = Backup(f->BackupRoot, "Tax");
    f->TreeEx->SetSelected(tax);
    f->Systray_Click(f->Systray_StartBackup);
    EXPECT_NE(PluginLog().find("child SecBac" + tax->PluginChildID() + " -> "), String::npos) << PluginLog();

    Application->Minimize();
    ASSERT_TRUE(IsIconic(Application->Handle()));
    f->Systray_Click(f->Systray_Open);
    EXPECT_FALSE(IsIconic(Application->Handle()));
}

TEST_F(MainTreeTest, ShortcutKeysInTheTreeRunTheCommandsOfTheCurrentNode) {
    TFormMain* f = Create();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    f->TreeEx->SetSelected(docs);
    f->mnuFile->Popup(0, 0);  // the File menu's items now suit a folder
    f->TreeEx->SetSelected(f->ActionsRoot);
    SendMessageA(f->TreeEx->Handle(), WM_KEYDOWN, VK_INSERT, 0);
    // Nothing is added outside the Backup's root, whatever the items' last states were.
    EXPECT_TRUE(platform::ShownDialogs().empty());
    EXPECT_EQ(f->ActionsRoot->Count(), 0);

    f->TreeEx->SetSelected(docs);
    SendMessageA(f->TreeEx->Handle(), WM_KEYDOWN, VK_INSERT, 0);
    auto shown = platform::ShownDialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].className, "TFormBackupProp");
}

TEST_F(MainTreeTest, EscapeClosesTheAboutBox) {
    TFormMain* f = Create();
    platform::SetDialogHook([](platform::DialogRequest& r) {
        auto* about = static_cast<TCustomForm*>(r.form);
        SendMessageA(about->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        return about->ModalResult() != mrNone ? 0 : IDABORT;
    });
    f->mnuHelpClick(f->mnuHelp_About);
    auto shown = platform::ShownDialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].answer, IDABORT);
    Application->ProcessMessages();
    EXPECT_EQ(Screen->FindForm("FormAbout"), nullptr);  // it freed itself
}

}  // namespace
