// A main window in the test process with a program folder, profile and plug-in log of its own
// case, and small helpers that act like a user: typing into a control, choosing a combo box
// item, answering the forms and boxes the window shows.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>

#include "manager/MainWindow.h"
#include "manager/Settings.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"
#include "tests/common/TestProfile.h"

namespace maintest {

using namespace manager;

inline void Type(TWinControl* c, const std::string& text) {
    for (char ch : text) SendMessageA(c->Handle(), WM_CHAR, static_cast<unsigned char>(ch), 0);
}
// Chooses the first item of a drop-down list as the user does.
inline void ChooseFirst(TComboBox* c) { SendMessageA(c->Handle(), WM_KEYDOWN, VK_HOME, 0); }

class MainFixture : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetClock(&clock_);
        platform::SetDialogHook({});
        platform::ClearShownDialogs();
        platform::ClearShellExecuteCalls();
        SetApplicationTitle(kDefaultApplicationTitle);
        Application->SetTitle(kDefaultApplicationTitle);
        namespace fs = std::filesystem;
        fs::create_directories(env.Scratch("prog/Plugins"));
        for (const char* folder : {"Templates", "Help"})
            fs::copy(fs::path(TARVIK_BIN_DIR) / folder, env.Scratch(std::string("prog/") + folder),
                     fs::copy_options::recursive);
        fs::copy_file(fs::path(TARVIK_TEST_PLUGIN_DIR) / "TestPlugin.dll", env.Scratch("prog/Plugins/TestPlugin.dll"));
        ::setenv("TARVIK_TEST_PLUGIN_LOG", env.Scratch("plugin.log").c_str(), 1);
        SetProgramFilesFolder(env.Win("prog"));
    }
    void TearDown() override {
        platform::SetDialogHook({});
        if (FormMain) FormMain->Free();
        if (IsIconic(Application->Handle())) Application->Restore();
        Application->OnHint = nullptr;
        Application->OnException = nullptr;
        Application->ProcessMessages();
        platform::ResetQuitRequest();
        platform::SetClock(nullptr);
        SetProgramFilesFolder("");
        ::unsetenv("TARVIK_TEST_PLUGIN_LOG");
    }
    TFormMain* Create() { return new TFormMain(Application); }
    TTreeExNode* Add(TTreeExNode* parent, const char* text, Int64 kind) {
        TTreeExNode* n = FormMain->TreeEx->Items()->AddChild(parent, text);
        n->SetNodeKind(kind);
        return n;
    }
    // Answers every modal form of class T with act, and message boxes with boxAnswer.
    template <class T>
    void OnForm(std::function<void(T&)> act, int boxAnswer = IDNO) {
        platform::SetDialogHook([act, boxAnswer](platform::DialogRequest& r) -> int {
            if (r.kind == platform::DialogKind::ModalForm) {
                if (auto* form = dynamic_cast<T*>(static_cast<TCustomForm*>(r.form))) act(*form);
                return 0;
            }
            return r.kind == platform::DialogKind::MessageBox ? boxAnswer : 0;
        });
    }
    String PluginLog() { return env.ReadText(env.Scratch("plugin.log")); }

    tarvik::test::ScopedTestProfile env;
    platform::ManualClock clock_;
};

}  // namespace maintest
