#include <gtest/gtest.h>

#include "platform/Exceptions.h"
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

TEST_F(SettingsTest, OkOnANewBackupWritesElevenKeysInOrderWithDefaults) {
    TFormProperties dialog(nullptr);
    dialog.lFile = env.Win("{4567}");
    dialog.LoadFromIni();
    platform::SetDialogHook([](platform::DialogRequest& r) {
        EXPECT_EQ(r.className, "TFormProperties");
        EXPECT_EQ(r.caption, "Properties");
        return IDOK;
    });
    EXPECT_EQ(dialog.ShowModal(), IDOK);
    EXPECT_EQ(env.ReadText(env.Scratch("{4567}")),
              "[GENREAL]\r\nZipFile=C:\\Qel Backup\\New Qel.Zip\r\nCloseApp=0\r\nAppPrg=\r\nPass=\r\nQelFile=\r\n"
              "Password=0\r\nFileSize=1\r\nFileDate=1\r\nClosePrg=1\r\nPanBox=0\r\nShutDown=0\r\n");
}

TEST_F(SettingsTest, CancelAndNoHookWriteNothing) {
    TFormProperties dialog(nullptr);
    dialog.lFile = env.Win("{1}");
    dialog.LoadFromIni();
    EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
    platform::SetDialogHook([](platform::DialogRequest&) { return IDCANCEL; });
    EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
    EXPECT_FALSE(FileExists(env.Win("{1}")));
}

TEST_F(SettingsTest, DialogRoundTripKeepsEveryValueAndALongPassword) {
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
    TFormProperties dialog(nullptr);
    dialog.lFile = path;
    dialog.LoadFromIni();
    EXPECT_EQ(dialog.ePassword, s.Pass);
    EXPECT_TRUE(dialog.ePrgEnabled);
    EXPECT_TRUE(dialog.ePasswordEnabled);
    dialog.SaveToIni();
    EXPECT_EQ(LoadQelSettings(path), s);
    dialog.TypePassword("12345678901234567890");
    EXPECT_EQ(dialog.ePassword, "1234567890123456");
}

TEST_F(SettingsTest, EditsFollowTheirCheckBoxesAfterLoading) {
    TFormProperties dialog(nullptr);
    dialog.lFile = env.Win("{3}");
    dialog.LoadFromIni();
    EXPECT_FALSE(dialog.ePrgEnabled);
    EXPECT_FALSE(dialog.ePasswordEnabled);
    dialog.cCloseApp = true;
    dialog.cCloseAppClick();
    EXPECT_TRUE(dialog.ePrgEnabled);
    EXPECT_FALSE(dialog.ePasswordEnabled);
}

TEST_F(SettingsTest, NonIntegerBooleanGivesItsDefault) {
    env.WriteText("{4}", "[GENREAL]\r\nFileSize=yes\r\nShutDown=7\r\nClosePrg=0\r\n");
    TQelSettings s = LoadQelSettings(env.Win("{4}"));
    EXPECT_TRUE(s.FileSize);
    EXPECT_TRUE(s.ShutDown);
    EXPECT_FALSE(s.ClosePrg);
}

TEST_F(SettingsTest, UnwritableFileRaisesUnableToWrite) {
    TQelSettings s;
    String path = env.Win("missing-folder\\{5}");
    try {
        SaveQelSettings(path, s);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find("Unable to write to"), String::npos) << e.Message();
    }
}

TEST_F(SettingsTest, SelectListsVisibleProgramWindowsAndCopiesTheCaption) {
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
    TFormProperties dialog(nullptr);
    EXPECT_EQ(dialog.PopupMenuPrg, std::vector<String>{"None"});
    dialog.PopupMenuPrgPopup();
    auto has = [&](const char* caption) {
        return std::find(dialog.PopupMenuPrg.begin(), dialog.PopupMenuPrg.end(), caption) != dialog.PopupMenuPrg.end();
    };
    EXPECT_TRUE(has("Book - Sheets"));
    EXPECT_FALSE(has("Hidden one"));
    EXPECT_FALSE(has("Tool one"));
    dialog.onPageClick("Book - Sheets");
    EXPECT_EQ(dialog.ePrg, "Book - Sheets");
    for (HWND h : {shown, hidden, tool}) DestroyWindow(h);
}

}  // namespace
}  // namespace qel::test
