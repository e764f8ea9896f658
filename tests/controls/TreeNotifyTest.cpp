// Notifications of the tree window as the control answers them: order, vetoes, delayed change,
// label editing, info tips and custom-draw colours.
#include "TreeTestSupport.h"

#include <map>

#include "platform/Canvas.h"

#include "controls/TreeExStream.h"
#include "platform/system/detail/TreeViewWindow.h"

TEST_F(TreeFixture, ChangeDelayZeroFiresInsideAddChild) {
    Record();
    TTreeExNode* made = nullptr;
    tree->OnChange = [&](TObject* sender, TTreeExNode* n) {
        EXPECT_EQ(sender, tree);
        made = n;
        log.push_back("Change:" + n->Text());
    };
    TTreeExNode* a = Items().AddChild(nullptr, "A");
    EXPECT_EQ(made, a);  // reported before AddChild returned
    EXPECT_EQ(log, (std::vector<std::string>{"Change:A"}));
}

TEST_F(TreeFixture, ChangeDelayCoalescesABurstOnTheManualClock) {
    auto n = Build({"0:A", "0:B", "0:C"});
    Record();
    tree->SetChangeDelay(300);
    tree->SetSelected(n[0]);
    clock.Advance(100);
    tree->SetSelected(n[1]);
    clock.Advance(100);
    tree->SetSelected(n[2]);
    clock.Advance(299);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Change:C"), 0);
    clock.Advance(1);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](auto& s) { return s.rfind("Change:", 0) == 0; }), 1);
    EXPECT_EQ(log.back(), "Change:C");
    clock.Advance(1000);
    EXPECT_EQ(log.back(), "Change:C");
}

TEST_F(TreeFixture, DeletingANodeCancelsPendingChange) {
    auto n = Build({"0:A", "0:B", "0:C"});
    tree->SetChangeDelay(300);
    Record();
    tree->SetSelected(n[0]);
    n[2]->Delete();
    clock.Advance(1000);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](auto& s) { return s.rfind("Change:", 0) == 0; }), 0);
}

TEST_F(TreeFixture, SelectionChangeAsksAndCanBeVetoed) {
    auto n = Build({"0:A", "0:B"});
    Record();
    tree->SetSelected(n[0]);
    EXPECT_EQ(log, (std::vector<std::string>{"Changing:A", "Change:A"}));
    log.clear();
    tree->OnChanging = [&](TObject*, TTreeExNode* node, bool& allow) {
        log.push_back("Changing:" + node->Text());
        allow = false;
    };
    tree->SetSelected(n[1]);
    EXPECT_EQ(log, (std::vector<std::string>{"Changing:B"}));
    EXPECT_EQ(tree->Selected(), n[0]);
    EXPECT_EQ(Items().FirstSelected(), n[0]);
}

TEST_F(TreeFixture, ExpandByCodeFiresOnceAndRecursesPastRefusal) {
    auto n = Build({"0:A", "1:A1", "2:A1a"});
    Record();
    tree->OnExpanding = [&](TObject*, TTreeExNode* node, bool& allow) {
        log.push_back("Expanding:" + node->Text());
        allow = node != n[0];
    };
    n[0]->Expand(true);
    // A1a has no children, so it is not asked.
    EXPECT_EQ(log, (std::vector<std::string>{"Expanding:A", "Expanding:A1", "Expanded:A1"}));
    EXPECT_FALSE(n[0]->Expanded());
    EXPECT_TRUE(n[1]->Expanded());
    log.clear();
    n[1]->Collapse(false);
    EXPECT_EQ(log, (std::vector<std::string>{"Collapsing:A1", "Collapsed:A1"}));
}

TEST_F(TreeFixture, ExpansionByTheWindowIsAskedAndRecorded) {
    auto n = Build({"0:A", "1:A1"});
    Record();
    auto* window = platform::detail::TreeViewWindowOf(tree->Handle());
    auto* item = window->Model().Find(n[0]->ItemId());
    ASSERT_TRUE(window->Expand(*item, TVE_EXPAND));
    EXPECT_TRUE(n[0]->Expanded());
    EXPECT_EQ(log, (std::vector<std::string>{"Expanding:A", "Expanded:A"}));
    log.clear();
    tree->OnCollapsing = [&](TObject*, TTreeExNode*, bool& allow) { allow = false; };
    EXPECT_FALSE(window->Expand(*item, TVE_COLLAPSE));
    EXPECT_TRUE(n[0]->Expanded());
}

TEST_F(TreeFixture, CollapseMovesHiddenCaretToTheCollapsedNode) {
    auto n = Build({"0:A", "1:A1"});
    n[0]->Expand(false);
    tree->SetSelected(n[1]);
    n[0]->Collapse(false);
    EXPECT_EQ(tree->Selected(), n[0]);
    EXPECT_EQ(Items().FirstSelected(), n[0]);
    EXPECT_EQ(Items().SelectedCount(), 1);
}

namespace {
void Key(HWND hwnd, int vk) { SendMessageA(hwnd, WM_KEYDOWN, static_cast<WPARAM>(vk), 0); }
void Type(HWND hwnd, const std::string& text) {
    for (char c : text) SendMessageA(hwnd, WM_CHAR, static_cast<unsigned char>(c), 0);
}
}  // namespace

TEST_F(TreeFixture, LabelEditEndsThroughOnEditedOrCancels) {
    auto n = Build({"0:Old"});
    tree->OnEdited = [&](TObject*, TTreeExNode* node, String& s) {
        log.push_back("Edited:" + node->Text() + ">" + s);
        s += "!";
    };
    HWND editor = reinterpret_cast<HWND>(tree->Perform(TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(n[0]->ItemId())));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(tree->IsEditing());
    for (int i = 0; i < 3; ++i) Key(editor, VK_BACK);
    Type(editor, "New");
    Key(editor, VK_RETURN);
    EXPECT_FALSE(tree->IsEditing());
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(n[0]->Text(), "New!");
    EXPECT_EQ(log, (std::vector<std::string>{"Edited:Old>New"}));
    log.clear();
    editor = reinterpret_cast<HWND>(tree->Perform(TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(n[0]->ItemId())));
    Type(editor, "Gone");
    Key(editor, VK_ESCAPE);
    EXPECT_EQ(n[0]->Text(), "New!");
    EXPECT_TRUE(log.empty());
}

TEST_F(TreeFixture, DeleteKeyInTheLabelEditorEditsTheLabel) {
    auto n = Build({"0:Xabc"});
    std::vector<WORD> keys;
    tree->OnKeyDown = [&](TObject*, WORD& key, unsigned) { keys.push_back(key); };
    HWND editor = reinterpret_cast<HWND>(tree->Perform(TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(n[0]->ItemId())));
    ASSERT_NE(editor, nullptr);
    Key(editor, VK_HOME);
    Key(editor, VK_DELETE);
    EXPECT_TRUE(tree->WantsEditKey(VK_DELETE, 0));  // a menu shortcut must leave the key to the editor
    Key(editor, VK_RETURN);
    EXPECT_EQ(n[0]->Text(), "abc");
    EXPECT_EQ(Items().Count(), 1);  // the node itself is still there
    EXPECT_EQ(keys, (std::vector<WORD>{VK_HOME, VK_DELETE, VK_RETURN}));
    EXPECT_FALSE(tree->WantsEditKey(VK_DELETE, 0));
}

// The form's menu shortcuts see the keys of the label editor only when the editor does not
// want them: Delete edits the label, Ctrl+N and F5 still reach the menu.
TEST_F(TreeFixture, MenuShortcutsLeaveEditingKeysToTheLabelEditor) {
    auto n = Build({"0:Xabc"});
    auto* menu = new TPopupMenu(form);
    tree->SetPopupMenu(menu);
    std::vector<std::string> clicked;
    auto item = [&](const char* caption, TShortCut shortCut) {
        auto* i = new TMenuItem(menu);
        i->SetCaption(caption);
        i->SetShortCut(shortCut);
        i->OnClick = [&clicked, caption](TObject*) { clicked.push_back(caption); };
        menu->Items()->Add(i);
    };
    item("Delete", VK_DELETE);
    item("New", scCtrl | 'N');
    item("Refresh", VK_F1 + 4);
    HWND editor = reinterpret_cast<HWND>(tree->Perform(TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(n[0]->ItemId())));
    ASSERT_NE(editor, nullptr);
    Key(editor, VK_HOME);
    Key(editor, VK_DELETE);
    EXPECT_TRUE(clicked.empty());
    Key(editor, VK_F1 + 4);
    platform::SetKeyDown(VK_CONTROL, true);
    EXPECT_FALSE(tree->WantsEditKey('N', ssCtrl));
    EXPECT_TRUE(tree->WantsEditKey('C', ssCtrl));
    Key(editor, 'N');
    platform::SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(clicked, (std::vector<std::string>{"Refresh", "New"}));
    Key(editor, VK_RETURN);
    EXPECT_EQ(n[0]->Text(), "abc");
    // Without the editor, Delete on the control is the menu's.
    Key(tree->Handle(), VK_DELETE);
    EXPECT_EQ(clicked.back(), "Delete");
    EXPECT_EQ(Items().Count(), 1);
}

TEST_F(TreeFixture, KeyConsumedByOnKeyDownNeverReachesTheEditor) {
    auto n = Build({"0:abc"});
    tree->OnKeyDown = [&](TObject*, WORD& key, unsigned) {
        if (key == VK_BACK) key = 0;
    };
    HWND editor = reinterpret_cast<HWND>(tree->Perform(TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(n[0]->ItemId())));
    Key(editor, VK_BACK);
    Key(editor, VK_RETURN);
    EXPECT_EQ(n[0]->Text(), "abc");
}

TEST_F(TreeFixture, EditingCanBeRefused) {
    auto n = Build({"0:A"});
    tree->OnEditing = [](TObject*, TTreeExNode*, bool& allow) { allow = false; };
    tree->Perform(TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(n[0]->ItemId()));
    EXPECT_FALSE(tree->IsEditing());
}

TEST_F(TreeFixture, InfoTipAndTextCallbackAreCutToTheBuffer) {
    auto n = Build({"0:abcdefghij"});
    tree->OnHint = [](TObject*, TTreeExNode* node, String& text) { text = "tip of " + node->Text(); };
    char buf[8];
    NMTVGETINFOTIPA tip;
    tip.hdr.code = TVN_GETINFOTIPA;
    tip.pszText = buf;
    tip.cchTextMax = sizeof buf;
    tip.hItem = n[0]->ItemId();
    tip.lParam = reinterpret_cast<LPARAM>(n[0]);
    tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip.hdr));
    EXPECT_STREQ(buf, "tip of ");

    NMTVDISPINFOA disp;
    disp.hdr.code = TVN_GETDISPINFOA;
    disp.item.mask = TVIF_TEXT | TVIF_PARAM;
    disp.item.lParam = reinterpret_cast<LPARAM>(n[0]);
    disp.item.pszText = buf;
    disp.item.cchTextMax = 5;
    tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&disp.hdr));
    EXPECT_STREQ(buf, "abcd");
}

TEST_F(TreeFixture, WantReturnSelectsTheNextNode) {
    auto n = Build({"0:A", "0:B"});
    tree->SetOptions(tree->Options().With(TTreeOption::toWantReturn));
    tree->SetSelected(n[0]);
    NMHDR hdr;
    hdr.code = NM_RETURN;
    EXPECT_EQ(tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr)), 1);
    EXPECT_TRUE(n[1]->Selected());
    EXPECT_FALSE(n[0]->Selected());
}

// ---- owner colouring

namespace {

struct DrawCase {
    const char* name;
    bool selected, focused, dragging, dropTarget, ownColor;
    COLORREF proposedBk;
    TColor expected;
};

}  // namespace

class TreeOwnerColour : public TreeFixture, public ::testing::WithParamInterface<DrawCase> {};

TEST_P(TreeOwnerColour, PicksTheTextBackground) {
    const DrawCase& c = GetParam();
    auto n = Build({"0:A", "0:B"});
    TTreeExNode* node = n[0];
    if (c.ownColor) {
        // A node colour comes in through a stream or a copy; make one through the stream.
        TMemoryStream ms;
        TTreeExNodeRecord rec;
        rec.Text = "A";
        rec.ParentColor = 0;
        rec.Color = clRed;
        rec.Encode();
        Byte head[5] = {0, 1, 0, 0, 0};
        ms.WriteBuffer(head, 5);
        Integer size = 1128;
        ms.WriteBuffer(&size, 4);
        ms.WriteBuffer(rec.Buffer.data(), 1128);
        ms.SetPosition(0);
        Items().ReadTree(ms);
        node = Items().Item(0);
    }
    if (c.focused) tree->SetFocus();
    else SetFocus(nullptr);
    if (c.dragging) tree->BeginDrag(true);
    if (c.dropTarget) node->SetDropTarget(true);
    NMTVCUSTOMDRAW draw;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.lItemlParam = reinterpret_cast<LPARAM>(node);
    draw.nmcd.uItemState = c.selected ? CDIS_SELECTED : 0;
    draw.clrTextBk = c.proposedBk;
    LRESULT answer = tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw.nmcd.hdr));
    EXPECT_TRUE(answer & CDRF_NOTIFYPOSTPAINT);
    EXPECT_EQ(draw.clrTextBk, ColorToRGB(c.expected));
    if (c.dragging) tree->EndDrag(false);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TreeOwnerColour,
    ::testing::Values(
        DrawCase{"PlainNode", false, true, false, false, false, 0, clWindow},
        DrawCase{"OwnColour", false, true, false, false, true, 0, clRed},
        DrawCase{"DropTargetNotSelected", false, true, false, true, false, 0, clHighlight},
        DrawCase{"SelectedUnfocused", true, false, false, false, false, 0, cl3DLight},
        DrawCase{"SelectedFocused", true, true, false, false, false, 0x6A240A, clHighlight},
        DrawCase{"SelectedFocusedOnWindowColour", true, true, false, false, false, 0xFFFFFF, clWindow},
        DrawCase{"SelectedDropTargetWhileDragging", true, true, true, true, false, 0, clBtnFace},
        DrawCase{"SelectedWhileDragging", true, true, true, false, false, 0, clHighlight}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TreeFixture, OwnFontIsSelectedAndTheControlFontComesBack) {
    auto n = Build({"0:A", "0:B", "0:C"});
    n[0]->Font()->SetColor(clRed);  // the node now has its own font
    n[1]->Font()->SetHeight(-20);
    EXPECT_FALSE(n[0]->ParentFont());
    HDC dc = GetDC(tree->Handle());
    HFONT controlFont = tree->Font()->Handle();
    SelectObject(dc, controlFont);
    auto paint = [&](TTreeExNode* node, UINT state) {
        NMTVCUSTOMDRAW draw;
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        draw.nmcd.hdc = dc;
        draw.nmcd.lItemlParam = reinterpret_cast<LPARAM>(node);
        draw.nmcd.uItemState = state;
        draw.clrText = 0x123456;
        LRESULT r = tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw.nmcd.hdr));
        return std::make_pair(r, draw.clrText);
    };
    auto [r1, text1] = paint(n[0], 0);
    EXPECT_TRUE(r1 & CDRF_NEWFONT);
    EXPECT_EQ(text1, ColorToRGB(clRed));
    auto [r2, text2] = paint(n[1], CDIS_SELECTED);  // selected: font, but the window's text colour
    EXPECT_TRUE(r2 & CDRF_NEWFONT);
    EXPECT_EQ(text2, 0x123456u);
    auto [r3, text3] = paint(n[2], 0);  // back to the control's font, not the previous node's
    EXPECT_TRUE(r3 & CDRF_NEWFONT);
    EXPECT_EQ(SelectObject(dc, controlFont), controlFont);
    EXPECT_EQ(tree->SavedFont(), nullptr);
    ReleaseDC(tree->Handle(), dc);
}

TEST_F(TreeFixture, PaintPutsColoursAndFontsIntoTheDisplayList) {
    auto n = Build({"0:Plain", "0:Own", "0:Chosen"});
    n[1]->Font()->SetColor(clRed);
    n[1]->Font()->SetStyle(fsBold);
    tree->SetOptions(tree->Options().Without(TTreeOption::toHideSelection));  // show it unfocused too
    tree->SetSelected(n[2]);
    SetFocus(nullptr);
    platform::ClearWindowDisplayList(tree->Handle());
    InvalidateRect(tree->Handle(), nullptr, TRUE_);
    UpdateWindow(tree->Handle());
    platform::DisplayList list = platform::WindowDisplayList(tree->Handle());
    std::map<std::string, platform::DrawItem> texts;
    for (const auto& item : list)
        if (item.op == platform::DrawOp::Text) texts[item.text] = item;
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts["Plain"].textColor, GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(texts["Plain"].font.height, -11);
    EXPECT_EQ(texts["Own"].textColor, RGB(255, 0, 0));
    EXPECT_EQ(texts["Own"].font.weight, FW_BOLD);
    EXPECT_EQ(texts["Chosen"].bkColor, ColorToRGB(cl3DLight));  // selected, control not focused
    EXPECT_TRUE(texts["Chosen"].opaque);
    EXPECT_EQ(texts["Chosen"].font.weight, FW_NORMAL);  // the control's font is back
    // Rows are 16 pixels apart, labels one indent in.
    EXPECT_EQ(texts["Own"].from.y - texts["Plain"].from.y, 16);
    EXPECT_EQ(texts["Plain"].from.x, 19 + 2);
}

TEST_F(TreeFixture, OwnerDrawSkipsTheItemButAfterPaintStillFires) {
    auto n = Build({"0:A"});
    bool after = false;
    tree->OnBeforeItemPaint = [](TObject*, TTreeExNode*, const RECT&, TNodeStates, bool& ownerDraw) { ownerDraw = true; };
    tree->OnAfterItemPaint = [&](TObject*, TTreeExNode* node, const RECT&, TNodeStates) { after = node == n[0]; };
    NMTVCUSTOMDRAW draw;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.lItemlParam = reinterpret_cast<LPARAM>(n[0]);
    EXPECT_EQ(tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw.nmcd.hdr)), CDRF_SKIPDEFAULT);
    draw.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
    tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw.nmcd.hdr));
    EXPECT_TRUE(after);
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(tree->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw.nmcd.hdr)), 0xF0);
}

// ---- right button

TEST_F(TreeFixture, RightClickAsksEachAncestorForAPopupMenu) {
    auto n = Build({"0:Root", "1:Folder", "2:Job", "0:Other"});
    n[0]->Expand(true);
    tree->SetSelected(n[3]);
    TPopupMenu menu(form);
    std::vector<std::string> asked;
    TTreeExNode* selectedDuring = nullptr;
    tree->OnGetPopupMenu = [&](TObject*, TTreeExNode* node, bool&, TPopupMenu*& m) {
        asked.push_back(node->Text());
        selectedDuring = tree->Selected();
        if (node == n[0]) m = &menu;
    };
    POINT pt{25, 2 * 16 + 5};  // the row of "Job" (rows: Root, Folder, Job, Other)
    pt.x = 19 * 3 + 3;
    POINT screen = pt;
    ClientToScreen(tree->Handle(), &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageA(tree->Handle(), WM_RBUTTONDOWN, 0, MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(asked, (std::vector<std::string>{"Job", "Folder", "Root"}));
    EXPECT_EQ(selectedDuring, n[2]);
    ASSERT_EQ(platform::ShownPopups().size(), 1u);
    EXPECT_EQ(menu.PopupComponent(), tree);
    EXPECT_EQ(platform::ShownPopups()[0].at.x, screen.x);
    EXPECT_EQ(tree->Selected(), n[3]);  // the caret did not move
    EXPECT_EQ(tree->RightClickNode(), nullptr);
}

TEST_F(TreeFixture, PopupQuestionStopsWhenAskParentIsCleared) {
    auto n = Build({"0:Root", "1:Leaf"});
    n[0]->Expand(false);
    std::vector<std::string> asked;
    tree->OnGetPopupMenu = [&](TObject*, TTreeExNode* node, bool& askParent, TPopupMenu*&) {
        asked.push_back(node->Text());
        askParent = false;
    };
    POINT pt{19 * 2 + 3, 16 + 5};
    POINT screen = pt;
    ClientToScreen(tree->Handle(), &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageA(tree->Handle(), WM_RBUTTONDOWN, 0, MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(asked, (std::vector<std::string>{"Leaf"}));
}

TEST_F(TreeFixture, FocusSetsTheShiftAnchorWhichDiesWithItsNode) {
    auto n = Build({"0:A", "0:B"});
    tree->SetSelected(n[1]);
    SetFocus(nullptr);
    tree->SetFocus();
    EXPECT_EQ(tree->ShiftAnchor(), n[1]);
    n[1]->Delete();
    EXPECT_EQ(tree->ShiftAnchor(), nullptr);
}

TEST_F(TreeFixture, EventsOfAFormBeingDestroyedDoNotRun) {
    auto n = Build({"0:A", "1:A1"});
    bool ran = false;
    tree->OnCollapsing = [&](TObject*, TTreeExNode*, bool&) { ran = true; };
    tree->OnDeletion = [&](TObject*, TTreeExNode*) { ran = true; };
    tree->OnChange = [&](TObject*, TTreeExNode*) { ran = true; };
    tree->OnCollapsed = [&](TObject*, TTreeExNode*) { ran = true; };
    n[0]->Expand(false);
    tree->SetSelected(n[1]);
    ran = false;
    // The owning form marks its components as it starts to go, then frees them.
    form->Free();
    form = nullptr;
    tree = nullptr;
    EXPECT_FALSE(ran);
}

// ---- tooltips of cut-off labels

TEST_F(TreeFixture, LongLabelsGetACutTooltipShortOnesTheWindowsOwn) {
    tree->SetOptions(tree->Options().With(TTreeOption::toToolTips));  // a new window, with tooltips
    std::string longText;
    for (int i = 0; i < 100; ++i) longText += static_cast<char>('a' + i % 26);
    auto n = Build({"0:" + longText, "0:ein Knoten mit ünïcödé-Text, der nicht passt"});
    auto hover = [&](int row) {
        POINT pt{30, row * 16 + 5};
        POINT screen = pt;
        ClientToScreen(tree->Handle(), &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageA(tree->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
        return TreeViewLastToolTip(tree->Handle());
    };
    EXPECT_EQ(hover(0), longText.substr(0, 76) + "...");
    EXPECT_EQ(hover(1), "ein Knoten mit ünïcödé-Text, der nicht passt");
}

TEST_F(TreeFixture, InfoTipOptionTakesTheHintInsteadOfTheTooltip) {
    tree->SetOptions(tree->Options().With(TTreeOption::toToolTips).With(TTreeOption::toInfoTip));
    auto n = Build({"0:" + std::string(100, 'x')});
    tree->OnHint = [](TObject*, TTreeExNode*, String& text) { text = "hint"; };
    SendMessageA(tree->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(30, 5));
    EXPECT_EQ(TreeViewLastInfoTip(tree->Handle()), "hint");
    EXPECT_EQ(TreeViewLastToolTip(tree->Handle()), "");
}

TEST_F(TreeFixture, F1AsksEachAncestorForAHelpContextThenTheControls) {
    auto n = Build({"0:Root", "1:Leaf", "0:Bare"});
    tree->SetOptions(tree->Options().With(TTreeOption::toMultiSelect));
    std::vector<std::string> asked;
    tree->OnGetHelpContext = [&](TObject*, TTreeExNode* node, Integer& context) {
        asked.push_back(node->Text());
        if (node == n[0]) context = 42;
    };
    n[0]->Expand(false);
    tree->SetSelected(n[1]);
    ShowHelpContext(0);
    SendMessageA(tree->Handle(), WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(asked, (std::vector<std::string>{"Leaf", "Root"}));
    EXPECT_EQ(LastHelpContext(), 42);
    tree->SetHelpContext(7);
    tree->SetSelected(n[2]);
    SendMessageA(tree->Handle(), WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(LastHelpContext(), 7);
}

TEST_F(TreeFixture, SingleExpandAsksWhetherToCloseTheOldBranch) {
    tree->SetOptions(tree->Options().With(TTreeOption::toSingleExpand));
    auto n = Build({"0:A", "1:A1", "0:B", "1:B1"});
    bool keepOld = false;
    std::vector<std::string> asked;
    tree->OnSingleExpanded = [&](TObject*, TTreeExNode* node, bool& autoCollapse) {
        asked.push_back(node->Text());
        autoCollapse = !keepOld;
    };
    SendMessageA(tree->Handle(), WM_LBUTTONDOWN, 0, MAKELPARAM(25, 5));  // A: selected and opened
    EXPECT_TRUE(n[0]->Expanded());
    SendMessageA(tree->Handle(), WM_LBUTTONDOWN, 0, MAKELPARAM(25, 2 * 16 + 5));  // B; A closes
    EXPECT_TRUE(n[2]->Expanded());
    EXPECT_FALSE(n[0]->Expanded());
    keepOld = true;
    SendMessageA(tree->Handle(), WM_LBUTTONDOWN, 0, MAKELPARAM(25, 5));  // A again; B stays open
    EXPECT_TRUE(n[0]->Expanded());
    EXPECT_TRUE(n[2]->Expanded());
    EXPECT_EQ(asked, (std::vector<std::string>{"A", "B", "A"}));
}

TEST_F(TreeFixture, SelectingAHiddenNodeOpensItsAncestorsAndScrollsToIt) {
    std::vector<std::string> lines{"0:A"};
    for (int i = 0; i < 12; ++i) lines.push_back("1:A" + std::to_string(i));
    lines.push_back("2:Deep");
    auto n = Build(lines);
    TTreeExNode* deep = n.back();
    Record();
    tree->SetSelected(deep);
    EXPECT_EQ(tree->Selected(), deep);
    EXPECT_TRUE(n[0]->Expanded());
    EXPECT_TRUE(deep->Parent()->Expanded());
    EXPECT_EQ(log, (std::vector<std::string>{"Changing:Deep", "Expanding:A", "Expanded:A", "Expanding:A11",
                                             "Expanded:A11", "Change:Deep"}));
    // Scrolled so that the whole row shows.
    RECT row = deep->ItemRect(false);
    EXPECT_GE(row.top, 0);
    EXPECT_LE(row.bottom, tree->ClientHeight());
}
