// The image lists the control shows: a freed list is let go, a changed one is taken again.
#include "TreeTestSupport.h"

#include "controls/CheckImages.h"

namespace {

HIMAGELIST Shown(TTreeEx* tree, WPARAM which) {
    return reinterpret_cast<HIMAGELIST>(tree->Perform(TVM_GETIMAGELIST, which, 0));
}

}  // namespace

TEST_F(TreeFixture, FreedImageListsAreLetGo) {
    auto* images = new TImageList(form);
    auto* states = new TImageList(form);
    auto* both = new TImageList(nullptr);
    tree->SetImages(images);
    tree->SetStateImages(states);
    EXPECT_EQ(Shown(tree, TVSIL_NORMAL), images->Handle());
    images->Free();
    EXPECT_EQ(tree->Images(), nullptr);
    EXPECT_EQ(Shown(tree, TVSIL_NORMAL), nullptr);
    EXPECT_EQ(tree->StateImages(), states);
    states->Free();
    EXPECT_EQ(tree->StateImages(), nullptr);
    EXPECT_EQ(Shown(tree, TVSIL_STATE), CheckImages ? CheckImages->Handle() : nullptr);

    // One list in both places, replaced in one of them: the other still hears of its end.
    tree->SetImages(both);
    tree->SetStateImages(both);
    tree->SetStateImages(nullptr);
    both->Free();
    EXPECT_EQ(tree->Images(), nullptr);
    EXPECT_EQ(Shown(tree, TVSIL_NORMAL), nullptr);
}

TEST_F(TreeFixture, ChangedImageListIsTakenAgain) {
    auto n = Build({"0:A"});
    auto* images = new TImageList(form);
    tree->SetImages(images);
    const Integer left = n[0]->ItemRect(true).left;
    images->SetWidth(40);  // the window places the text after the images it was given
    EXPECT_EQ(n[0]->ItemRect(true).left, left + 24);
    // A list the control no longer shows changes nothing there.
    tree->SetImages(nullptr);
    const Integer without = n[0]->ItemRect(true).left;
    images->SetWidth(60);
    EXPECT_EQ(n[0]->ItemRect(true).left, without);
}
