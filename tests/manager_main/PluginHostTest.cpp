// The plug-in host's binding rules, with the test plug-in standing in for a backup plug-in,
// and the layer's library calls beneath them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "tests/common/TestProfile.h"
#include "manager/Catalogue.h"
#include "manager/PluginHost.h"
#include "platform/Drives.h"
#include "platform/SysErrors.h"

using namespace manager;

namespace {

class PluginHostTest : public tarvik::test::ProfileTest {
protected:
    void SetUp() override {
        std::filesystem::create_directories(env.Scratch("Plugins"));
        // A copy per case is a library of its own, with its own page list.
        for (const char* lib : {"TestPlugin.dll", "TestPluginNoChild.dll"})
            std::filesystem::copy_file(std::string(TARVIK_TEST_PLUGIN_DIR) + "/" + lib, env.Scratch("Plugins/") + lib);
        env.WriteText("Plugins/Broken.dll", "not a library");
        ::setenv("TARVIK_TEST_PLUGIN_LOG", env.Scratch("plugin.log").c_str(), 1);
        host.SetFolders(env.Win("Plugins") + "\\", "C:\\Data\\");
        host.SetReport([this](const String& m) { reports.push_back(m); });
        host.SetHostObjects(nullptr, nullptr, nullptr);
        SetBusyCursorHook([this](bool busy) {
            depth += busy ? 1 : -1;
            ++changes;
        });
    }
    void TearDown() override {
        SetBusyCursorHook(nullptr);
        ::unsetenv("TARVIK_TEST_PLUGIN_LOG");
    }
    struct Node {
        Int64 kind = nkBackup;
        String system = "TestPlugin";
        String id = "{45352}";
        HMODULE handle = nullptr;
        String child;
        TPluginNodeRef Ref() { return {kind, system, id, &handle, &child}; }
    };
    String Log() { return env.ReadText(env.Scratch("plugin.log")); }

    TPluginHost host;
    std::vector<String> reports;
    int depth = 0, changes = 0;
};

TEST_F(PluginHostTest, FirstRequestCreatesThePageLaterOnesRefreshIt) {
    Node a, b;
    b.id = "{45353}";
    host.ShowBackupPage(a.Ref());
    host.ShowBackupPage(b.Ref());
    host.ShowBackupPage(a.Ref());
    ASSERT_NE(a.handle, nullptr);
    EXPECT_EQ(a.handle, b.handle);  // one library, loaded once per process
    EXPECT_EQ(a.child, "FormMain");
    EXPECT_EQ(b.child, "FormMain_1");
    EXPECT_EQ(Log(),
              "child C:\\Data\\{45352} -> FormMain\npage FormMain in  of \n"
              "child C:\\Data\\{45353} -> FormMain_1\npage FormMain_1 in  of \n"
              "child RefreshFormMain -> \n");
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(changes, 6);
}

TEST_F(PluginHostTest, OnlyBackupsWithNameAndIdentifierReachAPlugin) {
    Node folder, actionsRoot, noName;
    folder.kind = nkFolder;
    actionsRoot.id = "";  // the Actions root is a backup kind without an identifier
    noName.system = "";
    for (Node* n : {&folder, &actionsRoot, &noName}) host.ShowBackupPage(n->Ref());
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(changes, 0);
}

TEST_F(PluginHostTest, AMissingLibraryIsTriedAgainAtTheNextRequest) {
    Node n;
    n.system = "Later";
    host.ShowBackupPage(n.Ref());
    EXPECT_EQ(n.handle, nullptr);
    EXPECT_TRUE(reports.empty());
    std::filesystem::copy_file(env.Scratch("Plugins/TestPlugin.dll"), env.Scratch("Plugins/Later.dll"));
    host.ShowBackupPage(n.Ref());
    EXPECT_NE(n.handle, nullptr);
    EXPECT_EQ(n.child, "FormMain");
}

TEST_F(PluginHostTest, ALibraryThatDoesNotLoadOrLacksTheExportIsReportedNeverCalled) {
    Node broken, noChild;
    broken.system = "Broken";
    noChild.system = "TestPluginNoChild";
    // Told once however often the page is asked for (every resize of the panel asks).
    for (int i = 0; i < 3; ++i) {
        host.ShowBackupPage(broken.Ref());
        host.ShowBackupPage(noChild.Ref());
    }
    EXPECT_EQ(broken.handle, nullptr);
    EXPECT_NE(noChild.handle, nullptr);
    EXPECT_EQ(noChild.child, "");
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find("Broken.dll does not load"), String::npos) << reports[0];
    EXPECT_NE(reports[1].find("has no export ProvaChild"), String::npos) << reports[1];
    EXPECT_EQ(depth, 0);
}

TEST_F(PluginHostTest, BackupCommandsNeedALoadedLibraryAndCarryThePageName) {
    Node n;
    host.RunBackup(n.Ref(), TBackupCommand::Backup);  // never loads a library
    EXPECT_EQ(n.handle, nullptr);
    host.ShowBackupPage(n.Ref());
    host.RunBackup(n.Ref(), TBackupCommand::Backup);
    host.RunBackup(n.Ref(), TBackupCommand::SecBac);
    EXPECT_NE(Log().find("child BackupFormMain -> \nchild SecBacFormMain -> \n"), String::npos) << Log();
}

TEST_F(PluginHostTest, AnExceptionFromThePluginPassesAfterTheCursorCameBack) {
    Node n;
    n.id = "{Throw}";
    EXPECT_THROW(host.ShowBackupPage(n.Ref()), std::runtime_error);
    EXPECT_EQ(depth, 0);
    EXPECT_NE(n.handle, nullptr);
    EXPECT_EQ(n.child, "");
}

TEST_F(PluginHostTest, DialogCallsLoadAtEachUseAndTakeANullTextAsEmpty) {
    auto text = host.ReadPluginText(host.LibraryPath("TestPlugin"));
    EXPECT_EQ(text.Name, "Name: Test plug-in");
    EXPECT_EQ(text.Description, "");
    auto missing = host.ReadPluginText(host.LibraryPath("Missing"));
    EXPECT_EQ(missing.Name, "Name:?");
    host.ShowPluginInfo(host.LibraryPath("TestPlugin"));
    host.ConfigurePlugin(host.LibraryPath("TestPlugin"), "C:\\Data\\{1}");
    host.ConfigurePlugin(host.LibraryPath("Missing"), "C:\\Data\\{1}");
    EXPECT_EQ(Log(), "name\ndescription\ninfo\nprop noapp C:\\Data\\{1}\n");
}

TEST_F(PluginHostTest, ModuleCallsNameTheLibraryAndItsExports) {
    String path = env.Win("Plugins\\TestPlugin.dll");
    HMODULE m = LoadLibraryA(path.c_str());
    ASSERT_NE(m, nullptr) << platform::LastModuleError();
    EXPECT_EQ(LoadLibraryA(path.c_str()), m);
    char name[300] = {};
    EXPECT_EQ(GetModuleFileNameA(m, name, sizeof name), path.size());
    EXPECT_EQ(String(name), path);
    char small[5] = {};
    EXPECT_EQ(GetModuleFileNameA(m, small, sizeof small), 4u);
    EXPECT_EQ(String(small), path.substr(0, 4));
    EXPECT_NE(GetProcAddress(m, "ProvaChild"), nullptr);
    EXPECT_EQ(GetProcAddress(m, "DllMain"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(LoadLibraryA(env.Win("Plugins\\None.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibraryA(env.Win("Plugins\\Broken.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
    EXPECT_TRUE(FreeLibrary(m));
    EXPECT_TRUE(FreeLibrary(m));
}

}  // namespace
