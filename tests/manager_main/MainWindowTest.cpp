// The main window in the test process: its layout, the page step for every kind of node, the
// settings it loads and saves with the "Always on top" item, its close step, its hooks and the
// single-instance messages.
#include <gtest/gtest.h>

#include <filesystem>

#include "manager/Instance.h"
#include "manager/MainWindow.h"
#include "manager/Settings.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/MessageLoop.h"
#include "tests/common/TestProfile.h"

using namespace manager;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetClock(&clock_);
        platform::SetDialogHook({});
        // The program's own files of this case: a copy of the templates and the help page in
        // its scratch folder, so cases never share the history, plug-ins or pages.
        std::filesystem::create_directories(env.Scratch("prog"));
        for (const char* folder : {"Templates", "Help"})
            std::filesystem::copy(std::filesystem::path(TARVIK_BIN_DIR) / folder, env.Scratch(std::string("prog/") + folder),
                                  std::filesystem::copy_options::recursive);
        SetProgramFilesFolder(env.Win("prog"));
        SetApplicationTitle(kDefaultApplicationTitle);
        Application->SetTitle(kDefaultApplicationTitle);
    }
    void TearDown() override {
        if (FormMain) FormMain->Free();
        if (IsIconic(Application->Handle())) Application->Restore();
        Application->OnHint = nullptr;
        Application->OnException = nullptr;
        Application->ProcessMessages();
        platform::ResetQuitRequest();
        platform::SetClock(nullptr);
        platform::SetDialogHook({});
        SetProgramFilesFolder("");
    }
    TFormMain* Create() {
        auto* form = new TFormMain(Application);
        // Pages and logs of this case stay in its own scratch folder.
        form->HistoryFile = env.Win("History.txt");
        form->History().SetFileName(form->HistoryFile);
        form->FolderTemplateFile = env.Win("TemplateFolder.htm");
        env.WriteText("TemplateFolder.htm", "<p>dfName: dfDescription</p>");
        return form;
    }
    TTreeExNode* Add(TFormMain* f, TTreeExNode* parent, const char* text, Int64 kind, const char* description = "") {
        TTreeExNode* n = f->TreeEx->Items()->AddChild(parent, text);
        n->SetNodeKind(kind);
        n->SetDescription(description);
        return n;
    }

    tarvik::test::ScopedTestProfile env;
    platform::ManualClock clock_;
};

TEST_F(MainWindowTest, StartsOnTheWelcomePageWithHiddenTabs) {
    TFormMain* f = Create();
    char cls[30] = {};
    GetClassNameA(f->Handle(), cls, sizeof cls);
    EXPECT_STREQ(cls, "TFormMain");  // what a second start looks for
    EXPECT_EQ(f->Caption(), "My Corvex");
    for (Integer i = 0; i < f->PageControl->PageCount(); ++i) EXPECT_FALSE(f->PageControl->Pages(i)->TabVisible());
    EXPECT_EQ(f->PageControl->ActivePage(), f->tsBackupInfo);
    EXPECT_EQ(f->MainWebBrowser->LocationURL(), f->DefaultPageFile);
    EXPECT_EQ(f->PanelMain->Parent(), f->tsFiles);
}

TEST_F(MainWindowTest, PageStepChoosesThePageForEveryKindOfNode) {
    TFormMain* f = Create();
    TTreeExNode* folder = Add(f, f->BackupRoot, "Docs <old>", nkFolder);
    f->TreeExChange(nullptr, folder);
    EXPECT_EQ(f->PageControl->ActivePage(), f->tsBackupInfo);
    EXPECT_EQ(f->tsBackupInfo_L1->Caption(), "Folder:Docs <old>");
    EXPECT_EQ(f->StatusBar->Panels()->Items(0)->Text(), "No description.");
    EXPECT_EQ(f->MainWebBrowser->DocumentText(), "<p>Docs &lt;old&gt;: </p>");
    EXPECT_FALSE(f->cmdHelp->Visible());

    TTreeExNode* backup = Add(f, folder, "Tax", nkBackup, "  yearly  ");
    backup->SetSystemName("NoSuchPlugin");
    backup->SetBackupID("{1}");
    f->TreeExChange(nullptr, backup);
    EXPECT_EQ(f->PageControl->ActivePage(), f->tsFiles);
    EXPECT_EQ(f->PanelFiles_Label->Caption(), "Backup:Tax");
    EXPECT_EQ(f->StatusBar->Panels()->Items(0)->Text(), "  yearly  ");
    EXPECT_EQ(backup->PluginHandle(), nullptr);
    EXPECT_EQ(f->CurrentNode, backup);

    f->TreeExChange(nullptr, f->ActionsRoot);
    EXPECT_EQ(f->PageControl->ActivePage(), f->tsActions);
    env.WriteText("History.txt", "line one\r\nline two\r\n");
    f->TreeExChange(nullptr, f->HistoryRoot);
    EXPECT_EQ(f->PageControl->ActivePage(), f->tsHistory);
    EXPECT_EQ(f->mHistory->Lines()->Count(), 2);

    f->TreeExChange(nullptr, f->BackupRoot);
    EXPECT_EQ(f->tsBackupInfo_L1->Caption(), "Corvex system");
    EXPECT_EQ(f->MainWebBrowser->LocationURL(), f->DefaultPageFile);
    EXPECT_TRUE(f->cmdHelp->Visible());
}

TEST_F(MainWindowTest, TheCatalogueLoadsEveryFieldIntoTheTree) {
    TFormMain* f = Create();
    env.WriteText("Backup.Dat",
                  "1|Docs|1|||Work|01/03/2024 10:20:30|6|7|+\r\n"
                  "2|Tax|2|NoSuchPlugin|{45352}|\"a|b\"|01/03/2024|4|5|-\r\n");
    f->LoadBackupList(env.Win("Backup.Dat"));
    ASSERT_EQ(f->BackupRoot->Count(), 1);
    const TTreeExNode* docs = f->BackupRoot->Item(0);
    ASSERT_EQ(docs->Count(), 1);
    const TTreeExNode* tax = docs->Item(0);
    EXPECT_EQ(docs->Text(), "Docs");
    EXPECT_EQ(docs->NodeKind(), nkFolder);
    EXPECT_EQ(docs->Description(), "Work");
    EXPECT_DOUBLE_EQ(docs->Created(), EncodeDate(2024, 3, 1) + EncodeTime(10, 20, 30, 0));
    EXPECT_TRUE(docs->SavedExpanded());
    EXPECT_TRUE(docs->Expanded());
    EXPECT_EQ(tax->Level(), 2);
    EXPECT_EQ(tax->NodeKind(), nkBackup);
    EXPECT_EQ(tax->SystemName(), "NoSuchPlugin");
    EXPECT_EQ(tax->BackupID(), "{45352}");
    EXPECT_EQ(tax->Description(), "a|b");
    EXPECT_EQ(tax->ImageIndex(), 4);
    EXPECT_EQ(tax->SelectedIndex(), 5);
    EXPECT_FALSE(tax->Expanded());
    EXPECT_EQ(f->TreeEx->Selected(), nullptr);  // loading leaves the selection alone
    EXPECT_EQ(f->CurrentNode, tax);
}

TEST_F(MainWindowTest, AlwaysOnTopFollowsTheSettingAndIsSavedFromTheMenu) {
    WriteRegStr("General", "General_cOnTop", "0");
    TFormMain* f = Create();
    EXPECT_FALSE(f->mnuOptions_OnTop->Checked());
    EXPECT_EQ(GetWindowLongA(f->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    f->mnuOptions_OnTopClick(f->mnuOptions_OnTop);
    EXPECT_NE(GetWindowLongA(f->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    f->SaveRegistrySettings();
    EXPECT_EQ(ReadRegStr("General", "General_cOnTop", ""), "1");
    EXPECT_EQ(ReadRegStr("Actions", "Actions_rAdd", ""), "1");  // a first run's defaults are written
}

TEST_F(MainWindowTest, ClosingMinimisesAndSavesOrEndsWithClosedMOff) {
    TFormMain* f = Create();
    Add(f, f->BackupRoot, "Docs", nkFolder);
    f->Close();
    EXPECT_TRUE(IsIconic(Application->Handle()));
    EXPECT_EQ(FormMain, f);
    EXPECT_TRUE(FileExists(f->BackupListFile));

    Settings.General_cClosedM = false;
    TCloseAction action = caNone;
    f->FormClose(f, action);
    EXPECT_EQ(action, caFree);
}

TEST_F(MainWindowTest, TheExceptionHookWritesFiveHistoryLines) {
    TFormMain* f = Create();
    EConvertError e("'x' is not a valid integer value");
    f->AppException(f->cmdWelcome, e);
    String history = env.ReadText(env.Scratch("History.txt"));
    for (const char* line : {"# Error !! ", "# 'x' is not a valid integer value\r\n",
                             "# Exception class name:EConvertError sender class name:TSpeedButton\r\n",
                             "# Tring to fix...\r\n", "# Writing to memory\r\n"})
        EXPECT_NE(history.find(line), String::npos) << line;
}

TEST_F(MainWindowTest, InstanceMessagesAnswerThePingAndTakeTheCommandLine) {
    TFormMain* f = Create();
    EXPECT_EQ(SendMessageA(f->Handle(), WM_INSTANCE_PING, 0, 0), InstanceMagic);
    EXPECT_TRUE(IsInstanceWindow(f->Handle()));
    ATOM atom = GlobalAddAtomA("\"-a\" \"C:\\My Folder\"");
    SendMessageA(f->Handle(), WM_INSTANCE_COMMANDLINE, atom, 0);
    GlobalDeleteAtom(atom);
    EXPECT_EQ(f->HandedOverPaths(), (std::vector<String>{"C:\\My Folder"}));
    // An atom that is gone reaches the exception hook; nothing is applied.
    SendMessageA(f->Handle(), WM_INSTANCE_COMMANDLINE, atom, 0);
    EXPECT_EQ(f->HandedOverPaths().size(), 1u);
    EXPECT_NE(env.ReadText(env.Scratch("History.txt")).find("# Error !! "), String::npos);
}

TEST_F(MainWindowTest, AHandedOverMinimiseComesAfterTheRestorePostedBeforeIt) {
    TFormMain* f = Create();
    // A later start posts the restore, then sends "-s": the program ends minimised.
    PostMessageA(f->Handle(), WM_INSTANCE_RESTORE, 0, 0);
    ATOM atom = GlobalAddAtomA("\"-s\"");
    EXPECT_EQ(SendMessageA(f->Handle(), WM_INSTANCE_COMMANDLINE, atom, 0), kCommandLineTaken);
    GlobalDeleteAtom(atom);
    Application->ProcessMessages();
    EXPECT_TRUE(IsIconic(Application->Handle()));
}

TEST_F(MainWindowTest, ASettingsLoadErrorAtStartReachesTheHistory) {
    SetApplicationTitle("Line\nbreak");  // no key of that name can be made
    Create();
    SetApplicationTitle(kDefaultApplicationTitle);
    const String history = env.ReadText(env.Scratch("prog/History.txt"));
    EXPECT_NE(history.find("# Program started\r\n"), String::npos) << history;
    EXPECT_NE(history.find("# Failed to create key Software\\Brenlo\\Line"), String::npos) << history;
    EXPECT_TRUE(Settings.General_cClosedM);  // the settings not read keep their defaults
}

TEST_F(MainWindowTest, EachSaveRunsAndIsReportedWhateverTheOtherGives) {
    TFormMain* f = Create();
    // Neither can be written: a folder where the store's file should be, a file where the
    // catalogue's folder should be.
    std::filesystem::remove(env.Profile() + "/registry.reg");
    std::filesystem::create_directories(env.Profile() + "/registry.reg/x");
    env.WriteText("file", "");
    f->BackupListFile = env.Win("file") + "\\Backup.Dat";
    f->CloseForTermination();
    const String history = env.ReadText(env.Scratch("History.txt"));
    EXPECT_NE(history.find("# Failed to set data for 'Software\\Brenlo\\My Corvex"), String::npos) << history;
    EXPECT_NE(history.find("Backup.Dat"), String::npos) << history;
    std::filesystem::remove_all(env.Profile() + "/registry.reg");
}

}  // namespace
