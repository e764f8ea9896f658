// The library as the host sees it: loaded by file name, bound by export name.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "platform/MessageLoop.h"
#include "platform/Modules.h"
#include "platform/PluginApi.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "tests/plugin/PluginTestSupport.h"

namespace qel::test {
namespace {

TEST(LibraryExportsTest, ExportsExactlyTheFiveEntryPoints) {
    FILE* p = ::popen("nm -D --defined-only '" QEL_LIBRARY "'", "r");
    ASSERT_NE(p, nullptr);
    std::set<std::string> symbols;
    char line[1024];
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        auto last = s.find_last_of(' ');
        if (last == std::string::npos) continue;
        std::string name = s.substr(last + 1);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
        symbols.insert(name);
    }
    ASSERT_EQ(::pclose(p), 0);
    EXPECT_EQ(symbols, (std::set<std::string>{"PluginINFO", "ProvaProp", "PluginDescription", "PluginName",
                                              "ProvaChild"}));
}

// The library runs the same start-up as the program: it carries the CHECK_LIGHT bitmap (byte
// for byte the project's own) and the module list built from it when the library loads.
TEST(LibraryExportsTest, CarriesTheCheckImagesStartUp) {
    FILE* p = ::popen("nm -C -S '" QEL_LIBRARY "'", "r");
    ASSERT_NE(p, nullptr);
    std::string bitmapSize, startUp, list;
    char line[2048];
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        if (s.find(" controls::resources::kCheckLightBitmap\n") != std::string::npos) bitmapSize = s.substr(17, 16);
        if (s.find("_GLOBAL__sub_I_CheckImages.cpp\n") != std::string::npos) startUp = s;
        if (s.find(" CheckImages\n") != std::string::npos) list = s;
    }
    ::pclose(p);
    std::FILE* bmp = std::fopen(TARVIK_SOURCE_DIR "/resources/CHECK_LIGHT.bmp", "rb");
    ASSERT_NE(bmp, nullptr);
    std::fseek(bmp, 0, SEEK_END);
    long size = std::ftell(bmp);
    std::fclose(bmp);
    ASSERT_FALSE(bitmapSize.empty()) << "no CHECK_LIGHT in the library";
    // A sanitizer build pads the symbol with its red zone: the bitmap is at least the file.
    EXPECT_GE(std::stol(bitmapSize, nullptr, 16), size);
    EXPECT_FALSE(startUp.empty()) << "the check images are not built at library start";
    EXPECT_FALSE(list.empty());
}

class LoadedLibraryTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        module = LoadLibraryA(platform::FromPosixPath(QEL_LIBRARY).c_str());
        ASSERT_NE(module, nullptr) << platform::LastModuleError();
        WNDCLASSA wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QelHostPanel";
        RegisterClassA(&wc);
        panel = CreateWindowExA(0, "QelHostPanel", "Panel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 300, nullptr,
                                nullptr, nullptr, nullptr);
        child = platform::GetProcAddressAs<TProvaChildFunc>(module, plugin_api::kProvaChild);
        ASSERT_NE(child, nullptr);
    }
    void TearDown() override {
        DestroyWindow(panel);
        platform::ProcessMessages();
        PluginTest::TearDown();
    }
    String Child(const String& command) {
        const char* r = child(nullptr, nullptr, panel, command.c_str());
        EXPECT_NE(r, nullptr);
        return r ? String(r) : String();
    }
    HMODULE module = nullptr;
    HWND panel = nullptr;
    TProvaChildFunc child = nullptr;
};

TEST_F(LoadedLibraryTest, NamesDescriptionAndInformation) {
    auto name = platform::GetProcAddressAs<TPluginNameFunc>(module, plugin_api::kPluginName);
    auto description = platform::GetProcAddressAs<TPluginDescriptionFunc>(module, plugin_api::kPluginDescription);
    auto info = platform::GetProcAddressAs<TPluginINFOFunc>(module, plugin_api::kPluginINFO);
    ASSERT_TRUE(name && description && info);
    EXPECT_STREQ(name(), "Qel backup system");
    EXPECT_EQ(name(), name());
    EXPECT_STREQ(description(), "Sistem razvijen za sigurnosno smestanje podataka");
    info();
    auto boxes = platform::ShownDialogs();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Info No exists");
}

TEST_F(LoadedLibraryTest, PagesAndCommandWords) {
    PutFile("watched.txt", "one", Dos(10));
    TQelSettings s;
    s.ZipFile = env.Win("book.zip");
    s.QelFile = env.Win("watched.txt");
    s.FileSize = s.FileDate = s.ClosePrg = false;  // only commands make backups here
    SaveQelSettings(env.Win("{1}"), s);
    EXPECT_EQ(Child(env.Win("{1}")), "FormMain");
    EXPECT_EQ(Child(env.Win("{1}")), "FormMain_1");
    EXPECT_EQ(Child("refreshFORMMAIN"), "");
    EXPECT_EQ(Child("Backup"), "");
    EXPECT_FALSE(FileExists(env.Win("book.zip")));
    EXPECT_EQ(Child("SecBacFormMain"), "");
    auto boxes = platform::ShownDialogs();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "SecBacFormMain");
    EXPECT_FALSE(FileExists(env.Win("book.zip")));
    EXPECT_EQ(Child("BACKUPformmain"), "");
    EXPECT_TRUE(FileExists(env.Win("book.zip")));
    // A path that begins with a command word is taken as the command.
    EXPECT_EQ(Child("Backup" + env.Win("{1}")), "");
}

TEST_F(LoadedLibraryTest, SettingsDialogWritesTheFileOnOk) {
    auto prop = platform::GetProcAddressAs<TProvaPropFunc>(module, plugin_api::kProvaProp);
    ASSERT_NE(prop, nullptr);
    String shownFile;
    platform::SetDialogHook([&](platform::DialogRequest& r) {
        if (r.className != "TFormProperties") return 0;
        // The library's own class: reached through its published parts only.
        auto* form = static_cast<TForm*>(r.form);
        auto* ok = dynamic_cast<TButton*>(form->FindComponent("cmdOk"));
        auto* file = dynamic_cast<TLabel*>(form->FindComponent("lFile"));
        if (!ok || !file) return IDCANCEL;
        shownFile = file->Caption();
        ok->Click();
        return static_cast<int>(form->ModalResult());
    });
    prop(nullptr, env.Win("{9}").c_str());
    platform::ProcessMessages();
    EXPECT_EQ(shownFile, env.Win("{9}"));
    EXPECT_NE(env.ReadText(env.Scratch("{9}")).find("[GENREAL]"), std::string::npos);
}

}  // namespace
}  // namespace qel::test
