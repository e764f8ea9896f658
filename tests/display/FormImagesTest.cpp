// The program's forms as a person sees them, compared with golden images (headless metrics,
// so the images are the same on every machine but for the fonts' own drawing).
#include "RenderFixture.h"
#include "manager/AddFolder.h"
#include "manager/Options.h"
#include "tests/manager_main/MainTestFixture.h"

using namespace maintest;
using namespace display_test;

namespace {

class FormImagesTest : public MainFixture {
protected:
    platform::display::Image Render(TCustomForm* form) {
        form->Show();
        Application->ProcessMessages();
        platform::display::Image image;
        EXPECT_TRUE(platform::display::RenderToImage(form->Handle(), &image));
        return image;
    }
};

TEST_F(FormImagesTest, TheMainWindowWithAFolderChosen) {
    TFormMain* f = Create();
    TTreeExNode* docs = Add(f->BackupRoot, "Docs", nkFolder);
    f->BackupRoot->SetExpanded(true);
    f->TreeEx->SetSelected(docs);
    ExpectMatchesGolden(Render(f), "main-window");
}

TEST_F(FormImagesTest, TheAddFolderDialog) {
    TFormMain* f = Create();
    auto* d = new TFormAddFolder(f);
    ExpectMatchesGolden(Render(d), "add-folder");
    d->Free();
}

TEST_F(FormImagesTest, TheOptionsDialog) {
    TFormMain* f = Create();
    auto* d = new TFormOptions(f);
    ExpectMatchesGolden(Render(d), "options");
    d->Free();
}

}  // namespace
