// The page's controls driven as a user would: rows, buttons, popup, tabs.
#include <gtest/gtest.h>

#include "platform/MessageLoop.h"
#include "plugin/PageWindow.h"
#include "plugin/ZipArchive.h"
#include "tests/plugin/PluginTestSupport.h"

namespace qel::test {
namespace {

class FormMainTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        WNDCLASSA wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QelFormPanel";
        RegisterClassA(&wc);
        panel = CreateWindowExA(0, "QelFormPanel", "Panel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 500, nullptr,
                                nullptr, nullptr, nullptr);
        PutFile("data/watched.txt", "first", Dos(10));
        TQelSettings s;
        s.ZipFile = env.Win("book.zip");
        s.QelFile = env.Win("data\\watched.txt");
        SaveQelSettings(env.Win("{1}"), s);
        page = TPageWindow::Create(nullptr, panel, env.Win("{1}"), MakeZipArchive(),
                                   platform::FromPosixPath(TARVIK_BIN_DIR "/Plugins/QelBackup") + "\\");
        form = page->Form();
        // Two versions.
        page->Page().Tick();
        PutFile("data/watched.txt", "second one", Dos(12));
        clock.Advance(2000);
        page->Page().Tick();
    }
    void TearDown() override {
        DestroyWindow(panel);
        platform::ProcessMessages();
        PluginTest::TearDown();
    }
    HWND panel = nullptr;
    TPageWindow* page = nullptr;
    TFormMain* form = nullptr;
};

TEST_F(FormMainTest, RowsShowEveryVersionOldestFirst) {
    ASSERT_EQ(form->lvRestore->Items()->Count(), 2);
    TListItem* first = form->lvRestore->Items()->Item(0);
    EXPECT_EQ(first->Caption(), "watched.txt");
    EXPECT_EQ(first->SubItems()->Strings(0), "5");
    EXPECT_EQ(form->lvRestore->Items()->Item(1)->SubItems()->Strings(0), "10");
    EXPECT_EQ(first->SubItems()->Strings(4), "0");
    EXPECT_EQ(form->lvRestore->Columns()->Count(), 5);
    EXPECT_EQ(form->lvRestore->Columns()->Items(1)->Caption(), "Size (byt's)");
    // Every stored file enables Restore and Remove, also with no row selected.
    EXPECT_TRUE(form->cmdRestore->Enabled());
    EXPECT_TRUE(form->cmdRemove->Enabled());
    EXPECT_FALSE(form->cmdMakeEXE->Enabled());
}

TEST_F(FormMainTest, TheListLoadsHiddenUnderTheHourglass) {
    std::vector<std::pair<bool, TCursor>> seen;
    auto show = page->Page().OnListLoading;
    page->Page().OnListLoading = [&](bool loading) {
        show(loading);
        seen.emplace_back(form->lvRestore->Visible(), Screen->Cursor());
    };
    page->Page().LoadRestoreList();
    EXPECT_EQ(seen, (std::vector<std::pair<bool, TCursor>>{{false, crHourGlass}, {true, crDefault}}));
}

TEST_F(FormMainTest, SelectingARowEnablesRestoreAndRemoveAndThePopupItems) {
    form->PopupMenuPopup(nullptr);
    EXPECT_FALSE(form->cmdInformation1->Enabled());
    form->lvRestore->Items()->Item(0)->SetSelected(true);
    EXPECT_TRUE(form->cmdRestore->Enabled());
    EXPECT_TRUE(form->cmdRemove->Enabled());
    form->PopupMenuPopup(nullptr);
    EXPECT_TRUE(form->cmdInformation1->Enabled());
    EXPECT_TRUE(form->cmdRestore1->Enabled());
}

TEST_F(FormMainTest, RestoreButtonAsksWhereAndWritesTheSelectedVersion) {
    String target = env.Win("restored.txt");
    platform::SetDialogHook([&](platform::DialogRequest& r) {
        if (r.kind != platform::DialogKind::SaveDialog) return 0;
        EXPECT_EQ(r.caption, "Restore file to location...");
        EXPECT_EQ(r.value, "watched.txt");
        r.value = target;
        return IDOK;
    });
    form->lvRestore->Items()->Item(0)->SetSelected(true);
    form->cmdClick(form->cmdRestore);
    EXPECT_EQ(env.ReadText(env.Scratch("restored.txt")), "first");
}

TEST_F(FormMainTest, CommandsWhileTheArchiveIsInUseAskNothingAndSaySo) {
    int dialogs = 0;
    platform::SetDialogHook([&](platform::DialogRequest&) {
        ++dialogs;
        return IDOK;
    });
    form->lvRestore->Items()->Item(0)->SetSelected(true);
    // Another operation on the same archive is running.
    TArchiveLock other(env.Win("book.zip"));
    PutFile("data/watched.txt", "third version", Dos(14));
    for (auto* button : {form->cmdRestore, form->cmdRemove, form->cmdMakeEXE, form->cmdSecBackup}) {
        button->Click();
        EXPECT_EQ(form->LInfo->Caption(), kStatusBusy) << button->Name();
    }
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(form->lvRestore->Items()->Count(), 2);
    EXPECT_FALSE(FileExists(env.Win("book.EXE")));
}

TEST_F(FormMainTest, RemoveButtonTakesTheSelectedRowOnceConfirmed) {
    form->lvRestore->Items()->Item(0)->SetSelected(true);
    int answer = IDNO;
    String asked;
    platform::SetDialogHook([&](platform::DialogRequest& r) {
        asked = r.text;
        return answer;
    });
    form->cmdClick(form->cmdRemove);
    EXPECT_EQ(asked.rfind("Remove watched.txt of ", 0), 0u) << asked;
    ASSERT_EQ(form->lvRestore->Items()->Count(), 2) << "No keeps the version";
    answer = IDYES;
    form->cmdClick(form->cmdRemove);
    ASSERT_EQ(form->lvRestore->Items()->Count(), 1);
    EXPECT_EQ(form->lvRestore->Items()->Item(0)->SubItems()->Strings(0), "10");
    EXPECT_EQ(form->lvRestore->Items()->Item(0)->SubItems()->Strings(4), "1") << "the row keeps its number";
}

TEST_F(FormMainTest, InformationShowsTheSelectedEntryAndHelpLoadsOnce) {
    form->lvRestore->Items()->Item(1)->SetSelected(true);
    form->cmdClick(form->cmdInformation1);
    EXPECT_EQ(form->PageControl->ActivePage(), form->tsInfo);
    EXPECT_NE(form->wbInfo->DocumentText().find(">10<"), String::npos) << form->wbInfo->DocumentText();
    form->PageControl->SetActivePage(form->tsHelp);
    form->PageControl->SetActivePage(form->tsHelp);
    EXPECT_NE(form->WebBrowserHelp->LocationName().find("QelHelp.htm"), String::npos);
    EXPECT_EQ(form->WebBrowserHelp->NavigationCount(), 1);
}

TEST_F(FormMainTest, StatusLabelFollowsThePage) {
    PutFile("data/watched.txt", "", Dos(10));
    ::unlink(env.Scratch("data/watched.txt").c_str());
    page->Page().Tick();
    EXPECT_EQ(form->LInfo->Caption(), "Qel file do not exists " + env.Win("data\\watched.txt"));
}

}  // namespace
}  // namespace qel::test

namespace qel::test {
namespace {

TEST_F(FormMainTest, PageNamesAreUniqueAndANameComesBackWhenItsPageGoes) {
    auto make = [this] {
        return TPageWindow::Create(nullptr, panel, env.Win("{1}"), MakeZipArchive(), env.Win("data\\"));
    };
    EXPECT_EQ(page->Name(), "FormMain");
    TPageWindow* second = make();
    EXPECT_EQ(second->Name(), "FormMain_1");
    EXPECT_EQ(make()->Name(), "FormMain_2");
    second->Close();
    platform::ProcessMessages();
    EXPECT_EQ(make()->Name(), "FormMain_1");
    EXPECT_EQ(TPageWindow::Named("formmain_2").size(), 1u);
}

}  // namespace
}  // namespace qel::test
