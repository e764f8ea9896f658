#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/MessageLoop.h"
#include "platform/Windows.h"
#include "plugin/FormProperties.h"
#include "plugin/QelSettings.h"
#include "tests/plugin/PluginTestSupport.h"

namespace qel::test {
namespace {

using SettingsTest = PluginTest;

TEST_F(SettingsTest, MissingFileReadsAsDefaults) {
    TQelSettings s = LoadQelSettings(env.Win("nothing-here"));
    EXPECT_EQ(s, TQelSettings{});
    EXPECT_EQ(s.ZipFile, "C:\\Qel Backup\\New Qel.Zip");
    EXPECT_TRUE(s.FileSize && s.FileDate && s.ClosePrg);
    EXPECT_FALSE(s.CloseApp || s.Password || s.PanBox || s.ShutDown);
}

// The dialog as ProvaProp shows it: made, told its file, loaded, shown modally.
class PropertiesDialogTest : public PluginTest {
protected:
    TFormProperties* Open(const String& path) {
        auto* dialog = new TFormProperties(nullptr);
        dialog->lFile->SetCaption(path);
        dialog->LoadFromIni();
        return dialog;
    }
    // Shows the dialog; the hook gets it and does what act says.
    TModalResult Show(TFormProperties* dialog, std::function<void(TFormProperties&)> act) {
        platform::SetDialogHook([act](platform::DialogRequest& r) {
            if (r.className != "TFormProperties") return 0;
            auto& form = *static_cast<TFormProperties*>(static_cast<TForm*>(r.form));
            act(form);
            return static_cast<int>(form.ModalResult());
        });
        TModalResult result = dialog->ShowModal();
        platform::ProcessMessages();  // the closed dialog frees itself
        return result;
    }
};

TEST_F(PropertiesDialogTest, OkOnANewBackupWritesElevenKeysInOrderWithDefaults) {
    auto* dialog = Open(env.Win("{4567}"));
    EXPECT_EQ(Show(dialog, [](TFormProperties& d) { d.cmdOk->Click(); }), mrOk);
    EXPECT_EQ(env.ReadText(env.Scratch("{4567}")),
              "[GENREAL]\r\nZipFile=C:\\Qel Backup\\New Qel.Zip\r\nCloseApp=0\r\nAppPrg=\r\nPass=\r\nQelFile=\r\n"
              "Password=0\r\nFileSize=1\r\nFileDate=1\r\nClosePrg=1\r\nPanBox=0\r\nShutDown=0\r\n");
}

TEST_F(PropertiesDialogTest, CancelAndNoHookWriteNothing) {
    EXPECT_EQ(Show(Open(env.Win("{1}")), [](TFormProperties& d) { d.cmdCancel->Click(); }), mrCancel);
    platform::SetDialogHook({});
    auto* dialog = Open(env.Win("{1}"));
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    platform::ProcessMessages();
    EXPECT_FALSE(FileExists(env.Win("{1}")));
}

TEST_F(PropertiesDialogTest, RoundTripKeepsEveryValueAndALongPassword) {
    String path = env.Win("{2}");
    TQelSettings s;
    s.ZipFile = "D:\\Backups\\book.zip";
    s.CloseApp = true;
    s.AppPrg = "Book - Sheets";
    s.Pass = "a password longer than sixteen";
    s.QelFile = "C:\\Data\\book.xls";
    s.Password = true;
    s.FileSize = false;
    s.FileDate = false;
    s.ClosePrg = false;
    s.PanBox = true;
    s.ShutDown = true;
    SaveQelSettings(path, s);
    auto* dialog = Open(path);
    EXPECT_EQ(dialog->ePassword->Text(), s.Pass);
    EXPECT_TRUE(dialog->ePrg->Enabled());
    EXPECT_TRUE(dialog->ePassword->Enabled());
    Show(dialog, [](TFormProperties& d) { d.cmdOk->Click(); });
    EXPECT_EQ(LoadQelSettings(path), s);
}

TEST_F(PropertiesDialogTest, TypingAPasswordKeepsSixteenCharacters) {
    auto* dialog = Open(env.Win("{3}"));
    dialog->cPassword->SetChecked(true);
    dialog->ePassword->SetText("");
    for (char c : std::string("12345678901234567890")) SendMessageA(dialog->ePassword->Handle(), WM_CHAR, c, 0);
    EXPECT_EQ(dialog->ePassword->Text(), "1234567890123456");
    Show(dialog, [](TFormProperties& d) { d.cmdOk->Click(); });
    EXPECT_EQ(LoadQelSettings(env.Win("{3}")).Pass, "1234567890123456");
}

TEST_F(PropertiesDialogTest, OpenSetsTheArchiveAndQelFileTheWatchedFile) {
    auto* dialog = Open(env.Win("{5}"));
    platform::SetDialogHook([](platform::DialogRequest& r) {
        if (r.kind != platform::DialogKind::OpenDialog) return 0;
        EXPECT_EQ(r.caption, "Select Qel Sistem FILE");
        r.value = "C:\\Chosen.zip";
        return IDOK;
    });
    dialog->cmdOpen->Click();
    EXPECT_EQ(dialog->eFile->Text(), "C:\\Chosen.zip");
    dialog->cmdQelOpen->Click();
    EXPECT_EQ(dialog->eQelFile->Text(), "C:\\Chosen.zip");
    Show(dialog, [](TFormProperties& d) { d.cmdCancel->Click(); });
}

TEST_F(PropertiesDialogTest, SelectListsVisibleProgramWindowsAndCopiesTheCaption) {
    WNDCLASSA wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "QelSelectTest";
    RegisterClassA(&wc);
    HWND shown = CreateWindowExA(0, "QelSelectTest", "Book - Sheets", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 10, 10,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND hidden = CreateWindowExA(0, "QelSelectTest", "Hidden one", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    HWND tool = CreateWindowExA(WS_EX_TOOLWINDOW, "QelSelectTest", "Tool one", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    auto* dialog = Open(env.Win("{6}"));
    TMenuItem* items = dialog->PopupMenuPrg->Items();
    ASSERT_EQ(items->Count(), 1);
    EXPECT_EQ(items->Items(0)->Caption(), "None");
    dialog->PopupMenuPrgPopup(nullptr);
    TMenuItem* book = nullptr;
    for (Integer i = 0; i < items->Count(); ++i) {
        EXPECT_NE(items->Items(i)->Caption(), "Hidden one");
        EXPECT_NE(items->Items(i)->Caption(), "Tool one");
        if (items->Items(i)->Caption() == "Book - Sheets") book = items->Items(i);
    }
    ASSERT_NE(book, nullptr);
    book->Click();
    EXPECT_EQ(dialog->ePrg->Text(), "Book - Sheets");
    Show(dialog, [](TFormProperties& d) { d.cmdCancel->Click(); });
    for (HWND h : {shown, hidden, tool}) DestroyWindow(h);
}

}  // namespace
}  // namespace qel::test
