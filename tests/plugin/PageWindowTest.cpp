#include <gtest/gtest.h>

#include "platform/MessageLoop.h"
#include "plugin/PageWindow.h"
#include "tests/plugin/PluginTestSupport.h"

namespace qel::test {
namespace {

class PageWindowTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        WNDCLASSA wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QelTestPanel";
        RegisterClassA(&wc);
        panel = CreateWindowExA(0, "QelTestPanel", "Panel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400, nullptr,
                                nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        DestroyWindow(panel);
        platform::ProcessMessages();
        PluginTest::TearDown();
    }
    TPageWindow* NewPage(std::shared_ptr<FakeArchive::Shared> shared = std::make_shared<FakeArchive::Shared>()) {
        return TPageWindow::Create(nullptr, panel, env.Win("{1}"), std::make_unique<FakeArchive>(shared),
                                   env.Win("data\\"));
    }
    HWND panel = nullptr;
};

TEST_F(PageWindowTest, PagesAreNamedUniquelyAndANameComesBackWhenItsPageGoes) {
    auto* a = NewPage();
    auto* b = NewPage();
    auto* c = NewPage();
    EXPECT_EQ(a->Name(), "FormMain");
    EXPECT_EQ(b->Name(), "FormMain_1");
    EXPECT_EQ(c->Name(), "FormMain_2");
    EXPECT_EQ(GetParent(a->Handle()), panel);
    b->Close();
    platform::ProcessMessages();
    EXPECT_EQ(NewPage()->Name(), "FormMain_1");
    EXPECT_EQ(TPageWindow::Named("formmain_2").size(), 1u);
}

TEST_F(PageWindowTest, APageFillsItsParentAndChecksEveryHalfSecond) {
    PutFile("watched.txt", "one", Dos(10));
    PutFile("book.zip", "");
    TQelSettings s;
    s.ZipFile = env.Win("book.zip");
    s.QelFile = env.Win("watched.txt");
    SaveQelSettings(env.Win("{1}"), s);
    auto shared = std::make_shared<FakeArchive::Shared>();
    auto* page = NewPage(shared);
    RECT parent, mine;
    GetClientRect(panel, &parent);
    GetClientRect(page->Handle(), &mine);
    EXPECT_EQ(mine.right, parent.right);
    EXPECT_EQ(mine.bottom, parent.bottom);
    EXPECT_TRUE(platform::RunLoopFor([&] { return shared->adds == 1; }, 2000));
    PutFile("watched.txt", "one two", Dos(10));
    EXPECT_TRUE(platform::RunLoopFor([&] { return shared->adds == 2; }, 2000));
    platform::RunLoopFor([] { return false; }, 3000);
    EXPECT_EQ(shared->adds, 2);
}

TEST_F(PageWindowTest, APageDestroyedWithItsParentLeavesTheList) {
    NewPage();
    HWND gone = panel;
    panel = nullptr;
    DestroyWindow(gone);
    platform::ProcessMessages();
    EXPECT_TRUE(TPageWindow::Pages().empty());
}

}  // namespace
}  // namespace qel::test
