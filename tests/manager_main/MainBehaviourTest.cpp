// What a person sees the main window do: its status bar and hints, resizing the plug-in panel,
// the pages its commands show, renaming a folder, and plug-ins kept in sub-folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "manager/AddFolder.h"
#include "manager/BackupProp.h"
#include "platform/Files.h"
#include "tests/manager_main/MainTestFixture.h"

using namespace maintest;

namespace {

class MainBehaviourTest : public MainFixture {};

TEST_F(MainBehaviourTest, StatusBarPanelsFollowItsWidthAndTheHintFillsTheFirst) {
    TFormMain* f = Create();
    TStatusPanels* panels = f->StatusBar->Panels();
    ASSERT_EQ(panels->Count(), 3);
    const Integer notice = f->StatusBar->Canvas()->TextWidth(panels->Items(2)->Text());
    for (Integer width : {700, 900}) {
        f->SetWidth(width);
        EXPECT_EQ(panels->Items(1)->Width(), 120);
        EXPECT_EQ(panels->Items(0)->Width(), f->StatusBar->Width() - 120 - notice - 20) << width;
    }

    Application->SetHint("Exit|Exit from this application");
    EXPECT_EQ(panels->Items(0)->Text(), "Exit from this application");
}

TEST_F(MainBehaviourTest, ActionsPageListsThreeColumns) {
    TFormMain* f = Create();
    TListColumns* columns = f->lvActions->Columns();
    ASSERT_EQ(columns->Count(), 3);
    EXPECT_EQ(columns->Items(0)->Caption() + "|" + columns->Items(1)->Caption() + "|" + columns->Items(2)->Caption(),
              "Name|Precesses|Tread");
    EXPECT_EQ(columns->Items(0)->Width(), 110);
    EXPECT_EQ(columns->Items(1)->Width(), 100);
    EXPECT_TRUE(columns->Items(2)->AutoSize());
}

TEST_F(MainBehaviourTest, ResizingThePanelRefreshesTheSelectedBackupsPage) {
    TFormMain* f = Create();
    TTreeExNode* tax = Add(Add(f->BackupRoot, "Docs", nkFolder), "Tax", nkBackup);
    tax->SetSystemName("TestPlugin");
    tax->SetBackupID("{7}");
    f->BackupRoot->Collapse(false);
    f->TreeExChange(nullptr, tax);  // as the catalogue load runs it
    EXPECT_TRUE(f->BackupRoot->Expanded());  // the page step opens the Backup's root
    f->TreeEx->SetSelected(tax);
    ASSERT_EQ(tax->PluginChildID(), "FormMain");
    const String before = PluginLog();
    f->SetWidth(f->Width() + 40);
    // One refresh per size change of the panel, each naming its page.
    const String added = PluginLog().substr(before.size()), line = "child RefreshFormMain -> \n";
    ASSERT_FALSE(added.empty());
    for (std::size_t at = 0; at < added.size(); at += line.size()) EXPECT_EQ(added.substr(at, line.size()), line);
}

TEST_F(MainBehaviourTest, ExitClosesAndWelcomeShowsTheWelcomePageAgain) {
    TFormMain* f = Create();
    f->mnuHelpClick(f->mnuHelp_Help);
    f->TreeExChange(nullptr, f->BackupRoot);
    f->mnuHelpClick(f->mnuHelp_Help);
    ASSERT_EQ(f->MainWebBrowser->LocationURL(), f->HelpPageFile);
    f->mnuFile_Click(f->cmdWelcome);
    EXPECT_EQ(f->MainWebBrowser->LocationURL(), f->DefaultPageFile);
    EXPECT_EQ(f->tsBackupInfo_L1->Caption(), "Corvex system");

    f->mnuFile_Click(f->FileItems.Exit);  // closing minimises while General_cClosedM is on
    EXPECT_TRUE(IsIconic(Application->Handle()));
    EXPECT_TRUE(FileExists(f->BackupListFile));
}

TEST_F(MainBehaviourTest, EditingAFolderRenamesIt) {
    TFormMain* f = Create();
    TTreeExNode* folder = Add(f->BackupRoot, "Docs", nkFolder);
    f->TreeExChange(nullptr, folder);
    OnForm<TFormAddFolder>([](TFormAddFolder& d) {
        EXPECT_EQ(d.tsAddFolder_Name->Text(), "Docs");
        d.tsAddFolder_Name->SetText("Papers");
        Type(d.tsAddFolder_Description, "old");
        d.cmdOk->Click();
    });
    f->mnuFile_Click(f->FileItems.Properties);
    EXPECT_EQ(folder->Text(), "Papers");
    EXPECT_EQ(folder->Description(), "old");
    EXPECT_EQ(f->tsBackupInfo_L1->Caption(), "Folder:Papers");
}

TEST_F(MainBehaviourTest, APluginInASubFolderIsListedButNeverBound) {
    namespace fs = std::filesystem;
    fs::create_directories(env.Scratch("prog/Plugins/Sub"));
    fs::copy_file(fs::path(TARVIK_TEST_PLUGIN_DIR) / "TestPlugin.dll", env.Scratch("prog/Plugins/Sub/Nested.dll"));
    TFormMain* f = Create();
    TTreeExNode* folder = Add(f->BackupRoot, "Docs", nkFolder);
    f->TreeExChange(nullptr, folder);
    std::vector<String> listed;
    String name;
    OnForm<TFormBackupProp>([&](TFormBackupProp& d) {
        for (Integer i = 0; i < d.tsBackup_SystemName->Items()->Count(); ++i)
            listed.push_back(d.tsBackup_SystemName->Items()->Strings(i));
        ChooseFirst(d.tsBackup_SystemName);
        for (int i = 0; i < 4 && d.tsBackup_SystemName->Text() != "Nested"; ++i)
            SendMessageA(d.tsBackup_SystemName->Handle(), WM_KEYDOWN, VK_DOWN, 0);
        name = d.lsysName->Caption();
        Type(d.tsBackup_BackupName, "Deep");
        d.cmdOk->Click();
    });
    f->mnuFile_Click(f->FileItems.AddBackup);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<String>{"Nested", "TestPlugin"}));
    EXPECT_EQ(name, "Name:?");
    ASSERT_EQ(folder->Count(), 1);
    EXPECT_EQ(folder->Item(0)->SystemName(), "Nested");
    EXPECT_EQ(folder->Item(0)->PluginHandle(), nullptr);
    EXPECT_EQ(PluginLog().find("child"), String::npos) << PluginLog();  // no page was asked for
}

TEST_F(MainBehaviourTest, TheWelcomePageNamesMenuItemsThatExist) {
    TFormMain* f = Create();
    const String page = env.ReadText(env.Scratch("prog/Templates/Default.htm"));
    const String sep = " &rsaquo; ";
    int named = 0;
    for (std::size_t at = page.find("<b>File"); at != String::npos; at = page.find("<b>File", at + 1)) {
        String path = page.substr(at + 3, page.find("</b>", at) - at - 3);
        ASSERT_EQ(path.rfind("File" + sep, 0), 0u) << path;  // File menu, then its items
        TMenuItem* item = f->mnuFile->Items();
        for (std::size_t from = 4 + sep.size(), to = 0; item && from <= path.size(); from = to + sep.size()) {
            to = std::min(path.find(sep, from), path.size());
            item = item->Find(path.substr(from, to - from));
        }
        EXPECT_NE(item, nullptr) << path;
        ++named;
    }
    EXPECT_GE(named, 2);
}

}  // namespace
