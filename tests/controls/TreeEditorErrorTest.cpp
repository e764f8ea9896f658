// A key handler that fails inside the label editor: the application hears of the failure, the
// key goes no further and the editor keeps running.
#include "TreeTestSupport.h"

TEST_F(TreeFixture, LabelEditorReportsAHandlersException) {
    auto n = Build({"0:abc"});
    std::vector<std::string> reported;
    Application->OnException = [&](TObject* sender, Exception& e) {
        reported.push_back(std::string(sender == tree ? "tree:" : "other:") + e.Message());
    };
    tree->OnKeyPress = [](TObject*, char& key) {
        if (key == 'x') throw EConvertError("no x here");
    };
    HWND editor = reinterpret_cast<HWND>(tree->Perform(TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(n[0]->ItemId())));
    ASSERT_NE(editor, nullptr);
    SendMessageA(editor, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(SendMessageA(editor, WM_CHAR, 'x', 0), 0);
    SendMessageA(editor, WM_CHAR, 'y', 0);
    EXPECT_TRUE(tree->IsEditing());
    SendMessageA(editor, WM_KEYDOWN, VK_RETURN, 0);
    Application->OnException = nullptr;
    EXPECT_EQ(reported, (std::vector<std::string>{"tree:no x here"}));
    EXPECT_EQ(n[0]->Text(), "abcy");
}
