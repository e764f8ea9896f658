// The open, save and folder dialogs: what they list and how typed names resolve (no controls),
// and the form worked by keys as a person at the display would, driven without X.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FormsFixture.h"
#include "platform/CommonDialogs.h"
#include "platform/Drives.h"
#include "platform/FileDialogForm.h"
#include "platform/Files.h"
#include "platform/display/Input.h"

namespace {

using forms_test::FormsTest;
using platform::FileDialogMode;
using platform::FileDialogModel;
using Outcome = FileDialogModel::Outcome;

void MakeFile(const String& path, const String& text = "x") {
    THandle h = FileCreate(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    FileWrite(h, text.data(), static_cast<LongWord>(text.size()));
    FileClose(h);
}

// C:\docs with files of three kinds, a hidden file, a folder and a hidden folder.
class FileDialogTest : public FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        ASSERT_TRUE(ForceDirectories("C:\\docs\\sub"));
        ASSERT_TRUE(ForceDirectories("C:\\docs\\.cache"));
        MakeFile("C:\\docs\\a.txt", String(3000, 'a'));
        MakeFile("C:\\docs\\B.ZIP");
        MakeFile("C:\\docs\\setup.exe");
        MakeFile("C:\\docs\\.secret.txt");
        MakeFile("C:\\docs\\noext");
    }
    void TearDown() override {
        platform::SetFileDialogDriverForTests({});
        FormsTest::TearDown();
    }

    static std::vector<String> Names(const FileDialogModel& m) {
        std::vector<String> names;
        for (const auto& e : m.List()) names.push_back(e.folder ? e.name + "\\" : e.name);
        return names;
    }
};

const char* const kZipFilter = "Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|All Files (*.*)|*.*";

TEST_F(FileDialogTest, ListsFoldersFirstThenWhatTheFilterMatches) {
    struct Case {
        FileDialogMode mode;
        const char* filter;
        Integer index;
        bool hidden;
        std::vector<String> names;
    } cases[] = {
        {FileDialogMode::Open, kZipFilter, 1, false, {"sub\\", "B.ZIP"}},
        {FileDialogMode::Open, kZipFilter, 2, false, {"sub\\", "setup.exe"}},
        {FileDialogMode::Open, kZipFilter, 3, false, {"sub\\", "a.txt", "B.ZIP", "noext", "setup.exe"}},
        {FileDialogMode::Open, kZipFilter, 9, false, {"sub\\", "B.ZIP"}},  // out of range: the first
        {FileDialogMode::Open, "Text|*.txt;*.zip", 1, true, {".cache\\", "sub\\", ".secret.txt", "a.txt", "B.ZIP"}},
        {FileDialogMode::Save, "", 1, false, {"sub\\", "a.txt", "B.ZIP", "noext", "setup.exe"}},
        {FileDialogMode::Folder, "", 1, false, {"sub\\"}},
        {FileDialogMode::Folder, "", 1, true, {".cache\\", "sub\\"}},
    };
    for (const Case& c : cases) {
        FileDialogModel m(c.mode, 0);
        m.SetFilter(c.filter, c.index);
        m.SetShowHidden(c.hidden);
        ASSERT_TRUE(m.SetFolder("C:\\docs"));
        EXPECT_EQ(Names(m), c.names) << c.filter << " #" << c.index;
    }
    FileDialogModel typed(FileDialogMode::Open, 0);
    typed.SetFilter(kZipFilter, 1);
    typed.SetFolder("C:\\docs");
    typed.SetTypedPattern("*.t?t");
    EXPECT_EQ(Names(typed), (std::vector<String>{"sub\\", "a.txt"}));
}

TEST_F(FileDialogTest, TypedNamesResolveToWindowsPaths) {
    ::setenv("HOME", profile_->Scratch().c_str(), 1);
    const String scratch = platform::FromPosixPath(profile_->Scratch());
    FileDialogModel m(FileDialogMode::Open, 0);
    ASSERT_TRUE(m.SetFolder("C:\\docs\\sub"));
    struct Case {
        const char* typed;
        String path;
    } cases[] = {
        {"x.txt", "C:\\docs\\sub\\x.txt"},
        {"  ..\\a.txt ", "C:\\docs\\a.txt"},
        {"../../top/b", "C:\\top\\b"},
        {"\\other", "C:\\other"},
        {"c:/docs/sub/", "C:\\docs\\sub"},
        {"C:", "C:\\"},
        {"/", "Z:\\"},
        {"/tmp/x", "Z:\\tmp\\x"},
        {"~", scratch},
        {"~/n.txt", scratch + "\\n.txt"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(m.Resolve(c.typed), c.path) << c.typed;

    EXPECT_TRUE(m.Up());
    EXPECT_EQ(m.Folder(), "C:\\docs\\");
    EXPECT_TRUE(m.Up());
    EXPECT_FALSE(m.Up());
    EXPECT_EQ(m.Folder(), "C:\\");
    EXPECT_FALSE(m.SetFolder("C:\\docs\\a.txt"));
    EXPECT_FALSE(m.SetFolder("C:\\missing"));
}

TEST_F(FileDialogTest, StartsInTheFolderTheCallerAsks) {
    ASSERT_TRUE(SetCurrentDir("C:\\docs\\sub"));
    struct Case {
        FileDialogMode mode;
        const char* fileName;
        const char* initialDir;
        const char* folder;
        const char* name;
    } cases[] = {
        {FileDialogMode::Open, "C:\\docs\\", "", "C:\\docs\\", ""},          // the zip reader's folder
        {FileDialogMode::Open, "C:\\docs\\a.txt", "C:\\", "C:\\docs\\", "a.txt"},
        {FileDialogMode::Save, "C:\\gone\\new.txt", "C:\\docs", "C:\\docs\\", "new.txt"},
        {FileDialogMode::Save, "history.txt", "", "C:\\docs\\sub\\", "history.txt"},
        {FileDialogMode::Save, "", "C:\\missing", "C:\\docs\\sub\\", ""},
        {FileDialogMode::Folder, "C:\\docs", "", "C:\\docs\\", ""},
        {FileDialogMode::Folder, "C:\\docs\\sub\\", "", "C:\\docs\\sub\\", ""},
    };
    for (const Case& c : cases) {
        FileDialogModel m(c.mode, 0);
        EXPECT_EQ(m.Start(c.fileName, c.initialDir), c.name) << c.fileName;
        EXPECT_EQ(m.Folder(), c.folder) << c.fileName;
    }
}

TEST_F(FileDialogTest, ConfirmHonoursTheOptions) {
    const unsigned mustExist = platform::kFileDialogPathMustExist | platform::kFileDialogFileMustExist;
    struct Case {
        FileDialogMode mode;
        unsigned options;
        const char* defaultExt;
        const char* typed;
        Outcome outcome;
        const char* path;
    } cases[] = {
        {FileDialogMode::Open, mustExist, "", "a.txt", Outcome::Accept, "C:\\docs\\a.txt"},
        {FileDialogMode::Open, mustExist, "", "A.TXT", Outcome::Accept, "C:\\docs\\A.TXT"},
        {FileDialogMode::Open, mustExist, "", "nothere.zip", Outcome::FileMissing, "C:\\docs\\nothere.zip"},
        {FileDialogMode::Open, mustExist, "", "gone\\x.zip", Outcome::PathMissing, "C:\\docs\\gone\\x.zip"},
        {FileDialogMode::Open, 0, "", "nothere.zip", Outcome::Accept, "C:\\docs\\nothere.zip"},
        {FileDialogMode::Open, 0, "", "gone\\x.zip", Outcome::Accept, "C:\\docs\\gone\\x.zip"},
        {FileDialogMode::Open, mustExist, "", "sub", Outcome::EnterFolder, "C:\\docs\\sub"},
        {FileDialogMode::Open, mustExist, "", "..", Outcome::EnterFolder, "C:\\"},
        {FileDialogMode::Open, mustExist, "", "*.exe", Outcome::ApplyPattern, "*.exe"},
        {FileDialogMode::Open, mustExist, "", "   ", Outcome::None, ""},
        {FileDialogMode::Save, 0, "", "a.txt", Outcome::Accept, "C:\\docs\\a.txt"},
        {FileDialogMode::Save, platform::kFileDialogOverwritePrompt, "", "a.txt", Outcome::AskOverwrite,
         "C:\\docs\\a.txt"},
        {FileDialogMode::Save, platform::kFileDialogOverwritePrompt, "", "new.txt", Outcome::Accept,
         "C:\\docs\\new.txt"},
        {FileDialogMode::Save, 0, "", "gone\\new.txt", Outcome::PathMissing, "C:\\docs\\gone\\new.txt"},
        {FileDialogMode::Save, 0, "", "sub\\", Outcome::EnterFolder, "C:\\docs\\sub"},
        {FileDialogMode::Save, 0, "txt", "report", Outcome::Accept, "C:\\docs\\report.txt"},
        {FileDialogMode::Save, 0, "txt", "noext", Outcome::Accept, "C:\\docs\\noext"},  // exists as typed
        {FileDialogMode::Save, 0, "txt", "r.log", Outcome::Accept, "C:\\docs\\r.log"},
        {FileDialogMode::Folder, 0, "", "", Outcome::Accept, "C:\\docs"},
        {FileDialogMode::Folder, 0, "", "sub", Outcome::Accept, "C:\\docs\\sub"},
        {FileDialogMode::Folder, 0, "", "made\\deep", Outcome::AskCreateFolder, "C:\\docs\\made\\deep"},
    };
    for (const Case& c : cases) {
        FileDialogModel m(c.mode, c.options);
        m.SetDefaultExt(c.defaultExt);
        ASSERT_TRUE(m.SetFolder("C:\\docs"));
        FileDialogModel::Decision d = m.Confirm(c.typed);
        EXPECT_EQ(d.outcome, c.outcome) << c.typed;
        EXPECT_EQ(d.path, c.path) << c.typed;
        EXPECT_EQ(d.message.empty(), c.outcome == Outcome::Accept || c.outcome == Outcome::None ||
                                         c.outcome == Outcome::EnterFolder || c.outcome == Outcome::ApplyPattern)
            << c.typed;
    }
}

// ---- the form, worked by keys (what the X11 backend feeds in from the person's keyboard)

// Input is posted as the display's events are; the form handles it before the next step.
void Key(int vk, std::string_view text = {}) {
    platform::display::InputKey(vk, true, text, 1);
    platform::display::InputKey(vk, false, {}, 1);
    platform::ProcessMessages();
}

void TypeText(std::string_view text) {
    platform::display::InputText(text);
    platform::ProcessMessages();
}

TEST_F(FileDialogTest, AHookStillAnswersAndNoFormIsShown) {
    bool driven = false;
    platform::SetFileDialogDriverForTests([&](platform::TFileDialogForm&) { driven = true; });
    platform::SetDialogHook([](platform::DialogRequest& r) {
        r.value = "C:\\docs\\a.txt";
        return IDOK;
    });
    auto* dialog = new TOpenDialog(Application);
    dialog->SetTitle("Pick");
    ASSERT_TRUE(dialog->Execute());
    EXPECT_EQ(dialog->FileName(), "C:\\docs\\a.txt");
    EXPECT_FALSE(driven);
    ASSERT_EQ(platform::ShownDialogs().size(), 1u);
    EXPECT_EQ(platform::ShownDialogs()[0].className, "TOpenDialog");
}

TEST_F(FileDialogTest, SaveByTypingANewNameAndReturn) {
    platform::SetFileDialogDriverForTests([](platform::TFileDialogForm& f) {
        EXPECT_EQ(f.ePath->Text(), "C:\\docs\\");
        EXPECT_EQ(f.Caption(), "Make EXE File");
        EXPECT_EQ(platform::display::KeyboardTarget(), f.eName->Handle());
        TypeText("made.exe");
        Key(VK_RETURN);
    });
    auto* dialog = new TSaveDialog(Application);
    dialog->SetTitle("Make EXE File");
    dialog->SetFilter("Exe File|*.exe");
    dialog->SetInitialDir("C:\\docs");
    ASSERT_TRUE(dialog->Execute());
    EXPECT_EQ(dialog->FileName(), "C:\\docs\\made.exe");
    ASSERT_EQ(platform::ShownDialogs().size(), 1u);
    const platform::ShownDialog shown = platform::ShownDialogs()[0];
    EXPECT_EQ(shown.kind, platform::DialogKind::SaveDialog);
    EXPECT_EQ(shown.caption, "Make EXE File");
    EXPECT_EQ(shown.text, "Exe File|*.exe");
    EXPECT_EQ(shown.answer, IDOK);
}

TEST_F(FileDialogTest, ListKeysOpenFoldersGoUpAndEscapeCancels) {
    std::vector<String> seen;
    platform::SetFileDialogDriverForTests([&](platform::TFileDialogForm& f) {
        f.lvFiles->SetFocus();
        f.lvFiles->SetSelected(f.lvFiles->Items()->Item(0));  // "sub\"
        Key(VK_RETURN);
        seen.push_back(f.ePath->Text());
        Key(VK_BACK);
        seen.push_back(f.ePath->Text());
        Key(VK_BACK);
        seen.push_back(f.ePath->Text());
        Key(VK_ESCAPE);
    });
    auto* dialog = new TOpenDialog(Application);
    dialog->SetFileName("C:\\docs\\B.ZIP");
    EXPECT_FALSE(dialog->Execute());
    EXPECT_EQ(seen, (std::vector<String>{"C:\\docs\\sub\\", "C:\\docs\\", "C:\\"}));
    EXPECT_EQ(dialog->FileName(), "C:\\docs\\B.ZIP");
    ASSERT_EQ(platform::ShownDialogs().size(), 1u);
    EXPECT_EQ(platform::ShownDialogs()[0].answer, IDCANCEL);
}

TEST_F(FileDialogTest, OverwriteIsAskedAndANoKeepsTheDialogOpen) {
    int rounds = 0;
    platform::SetFileDialogDriverForTests([&](platform::TFileDialogForm& f) {
        ++rounds;
        f.eName->SetText("a.txt");
        Key(VK_RETURN);  // the box answers No: nobody is there to say Yes
        EXPECT_TRUE(f.Visible());
        f.eName->SetText("fresh.txt");
        Key(VK_RETURN);
    });
    auto* dialog = new TSaveDialog(Application);
    dialog->SetInitialDir("C:\\docs");
    dialog->SetOptions(ofOverwritePrompt | ofHideReadOnly);
    ASSERT_TRUE(dialog->Execute());
    EXPECT_EQ(rounds, 1);
    EXPECT_EQ(dialog->FileName(), "C:\\docs\\fresh.txt");
    auto shown = platform::ShownDialogs();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, platform::DialogKind::MessageBox);
    EXPECT_EQ(shown[0].text, "C:\\docs\\a.txt already exists.\nDo you want to replace it?");
    EXPECT_EQ(shown[0].answer, IDNO);
    EXPECT_EQ(shown[1].kind, platform::DialogKind::SaveDialog);
}

TEST_F(FileDialogTest, TabReachesEveryControlAndTheFilterChangesTheList) {
    std::vector<HWND> order;
    std::vector<String> afterFilter;
    platform::SetFileDialogDriverForTests([&](platform::TFileDialogForm& f) {
        for (int i = 0; i < 9; ++i) {
            order.push_back(platform::display::KeyboardTarget());
            Key(VK_TAB, "\t");
        }
        f.cbFilter->SetFocus();
        Key(VK_DOWN);  // the next filter: "*.exe"
        for (Integer i = 0; i < f.lvFiles->Items()->Count(); ++i)
            afterFilter.push_back(f.lvFiles->Items()->Item(i)->Caption());
        f.chkHidden->SetFocus();
        Key(VK_SPACE, " ");
        Key(VK_ESCAPE);
    });
    auto* dialog = new TOpenDialog(Application);
    dialog->SetFilter(kZipFilter);
    dialog->SetInitialDir("C:\\docs");
    EXPECT_FALSE(dialog->Execute());
    platform::SetFileDialogDriverForTests({});
    ASSERT_EQ(order.size(), 9u);
    EXPECT_EQ(order.front(), order.back());  // round the form and back to the name box
    std::sort(order.begin(), order.end() - 1);
    EXPECT_EQ(std::unique(order.begin(), order.end() - 1), order.end() - 1);  // eight different controls
    EXPECT_EQ(afterFilter, (std::vector<String>{"sub\\", "setup.exe"}));
}

TEST_F(FileDialogTest, FolderDialogCreatesATypedFolderOnlyWhenAsked) {
    platform::SetFileDialogDriverForTests([](platform::TFileDialogForm& f) {
        EXPECT_FALSE(f.cbFilter->Visible());
        TypeText("new");
        Key(VK_RETURN);  // asks to create it; nobody says Yes
        f.eName->SetText("");
        f.lvFiles->SetFocus();
        f.lvFiles->SetSelected(f.lvFiles->Items()->Item(0));
        Key(VK_RETURN);  // takes the chosen folder
    });
    platform::DialogRequest request;
    request.kind = platform::DialogKind::Other;
    request.className = "TSelectDirectory";
    request.value = "C:\\docs";
    platform::FileDialogSetup setup;
    setup.mode = FileDialogMode::Folder;
    ASSERT_EQ(platform::ShowFileDialog(request, setup), IDOK);
    EXPECT_EQ(request.value, "C:\\docs\\sub");
    EXPECT_FALSE(DirectoryExists("C:\\docs\\new"));
}

}  // namespace
