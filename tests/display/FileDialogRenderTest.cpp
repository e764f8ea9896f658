// The save dialog as a person sees it: composed into an image (kept in the output folder for
// a look) and probed where the list and its rows are drawn.
#include <filesystem>

#include "RenderFixture.h"
#include "platform/Clock.h"
#include "platform/CommonDialogs.h"
#include "platform/FileDialogForm.h"
#include "platform/Files.h"
#include "platform/Forms.h"
#include "platform/MessageLoop.h"
#include "platform/Profile.h"
#include "platform/display/Input.h"

using platform::display::Image;

namespace {

int Brightness(COLORREF c) { return (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3; }

TEST(FileDialogRenderTest, TheSaveDialogDrawsItsListAndRows) {
    char templ[] = "/tmp/tarvik-render-XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    std::filesystem::path dir = templ;
    ::setenv("TARVIK_PROFILE", (dir / "profile").c_str(), 1);
    platform::ResetProfileForTests();
    platform::ManualClock clock;
    platform::SetClock(&clock);
    ASSERT_TRUE(ForceDirectories("C:\\Backups\\Old"));
    for (const char* name : {"C:\\Backups\\monday.zip", "C:\\Backups\\notes.txt"}) FileClose(FileCreate(name));

    Image image;
    RECT list{}, firstRow{};
    platform::SetFileDialogDriverForTests([&](platform::TFileDialogForm& f) {
        f.lvFiles->SetSelected(f.lvFiles->Items()->Item(1));
        ASSERT_TRUE(platform::display::RenderToImage(f.Handle(), &image));
        GetWindowRect(f.lvFiles->Handle(), &list);
        MapWindowPoints(nullptr, f.Handle(), reinterpret_cast<POINT*>(&list), 2);
        firstRow = {list.left + 4, list.top + f.lvFiles->HeaderHeight() + 2, list.left + 120,
                    list.top + f.lvFiles->HeaderHeight() + f.lvFiles->RowHeight()};
        platform::display::InputKey(VK_ESCAPE, true, {}, 1);
        platform::ProcessMessages();
    });
    auto* dialog = new TSaveDialog(Application);
    dialog->SetTitle("Save history to file");
    dialog->SetFilter("Text file(s)|*.txt|All File(s)|*.*");
    dialog->SetFilterIndex(2);
    dialog->SetInitialDir("C:\\Backups");
    EXPECT_FALSE(dialog->Execute());
    platform::SetFileDialogDriverForTests({});

    ASSERT_GT(image.width, 500);
    platform::display::WritePng(image, (display_test::OutputDir() / "file-dialog-save.png").string());
    // The list is a light field inside the form; its first row ("Old\") holds dark text.
    EXPECT_GT(Brightness(image.At(list.right - 30, list.bottom - 10)), 200);
    int dark = 0;
    for (int y = firstRow.top; y < firstRow.bottom; ++y)
        for (int x = firstRow.left; x < firstRow.right; ++x) dark += Brightness(image.At(x, y)) < 100;
    EXPECT_GT(dark, 10);

    Application->DestroyComponents();
    Application->ProcessMessages();
    platform::SetClock(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace
