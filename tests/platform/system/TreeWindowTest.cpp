// The tree window class on its own, driven by messages as a user or a program would, with a
// parent window that records every notification.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/MessageLoop.h"
#include "platform/Profile.h"
#include "platform/TreeView.h"

namespace {

struct Note {
    UINT code;
    std::string item;  // the item the notification names (new item, else old)
    UINT action;
};

struct ParentLog {
    std::vector<Note> notes;
    std::map<UINT, LRESULT> answers;  // per code
    std::map<std::string, std::string> texts;
    HWND tree = nullptr;
};
ParentLog* g_log = nullptr;

std::string TextOf(HWND tree, HTREEITEM item) {
    if (!item) return "nil";
    char buf[256] = {};
    TVITEMA rec;
    rec.mask = TVIF_TEXT;
    rec.hItem = item;
    rec.pszText = buf;
    rec.cchTextMax = sizeof buf;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&rec));
    return buf;
}

LRESULT ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NOTIFY && g_log) {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        std::string name;
        UINT action = 0;
        switch (hdr->code) {
        case TVN_SELCHANGINGA:
        case TVN_SELCHANGEDA:
        case TVN_ITEMEXPANDINGA:
        case TVN_ITEMEXPANDEDA:
        case TVN_DELETEITEMA: {
            auto* nm = reinterpret_cast<NMTREEVIEWA*>(lParam);
            action = nm->action;
            // Items named by a notification are alive: their parameter holds their name.
            auto* text = reinterpret_cast<const char*>(nm->itemNew.hItem ? nm->itemNew.lParam : nm->itemOld.lParam);
            name = text ? text : "nil";
            if (hdr->code == TVN_SELCHANGEDA || hdr->code == TVN_SELCHANGINGA) {
                auto* old = reinterpret_cast<const char*>(nm->itemOld.lParam);
                auto* now = reinterpret_cast<const char*>(nm->itemNew.lParam);
                name = std::string(old ? old : "nil") + ">" + (now ? now : "nil");
            }
            break;
        }
        case TVN_GETDISPINFOA: {
            auto* nm = reinterpret_cast<NMTVDISPINFOA*>(lParam);
            if (nm->item.mask & TVIF_TEXT) {
                std::string t = g_log->texts[reinterpret_cast<const char*>(nm->item.lParam)];
                snprintf(nm->item.pszText, static_cast<size_t>(nm->item.cchTextMax), "%s", t.c_str());
            }
            return 0;
        }
        case TVN_GETINFOTIPA: {
            auto* nm = reinterpret_cast<NMTVGETINFOTIPA*>(lParam);
            snprintf(nm->pszText, static_cast<size_t>(nm->cchTextMax), "tip:%s",
                     reinterpret_cast<const char*>(nm->lParam));
            break;
        }
        case NM_CUSTOMDRAW:
            return 0;
        default:
            break;
        }
        g_log->notes.push_back({hdr->code, name, action});
        auto it = g_log->answers.find(hdr->code);
        return it == g_log->answers.end() ? 0 : it->second;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class TreeWindow : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/tarvik-treewin-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        dir_ = templ;
        ::setenv("TARVIK_PROFILE", (dir_ / "profile").c_str(), 1);
        ::unsetenv("XDG_RUNTIME_DIR");
        platform::ResetProfileForTests();
        platform::SetClock(&clock_);
        ASSERT_TRUE(InitTreeViewClass());
        static bool registered = [] {
            WNDCLASSA wc;
            wc.lpfnWndProc = ParentProc;
            wc.lpszClassName = "TreeTestParent";
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        g_log = &log_;
        parent_ = CreateWindowExA(0, "TreeTestParent", "p", WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                                  nullptr);
        tree_ = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT |
                                    TVS_EDITLABELS | TVS_INFOTIP,
                                0, 0, 200, 100, parent_, reinterpret_cast<HMENU>(7), nullptr, nullptr);
        ASSERT_NE(tree_, nullptr);
        log_.tree = tree_;
    }
    void TearDown() override {
        if (IsWindow(parent_)) DestroyWindow(parent_);
        g_log = nullptr;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        platform::SetClock(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Items carry their name as parameter (static storage) and as text.
    HTREEITEM Add(HTREEITEM parent, const char* name, bool callback = false) {
        TVINSERTSTRUCTA ins;
        ins.hParent = parent;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_PARAM;
        ins.item.pszText = callback ? LPSTR_TEXTCALLBACKA : const_cast<char*>(name);
        ins.item.lParam = reinterpret_cast<LPARAM>(name);
        return reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
    }
    HTREEITEM Get(UINT relation, HTREEITEM item = nullptr) {
        return reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }
    std::vector<std::string> Codes(std::initializer_list<UINT> only = {}) {
        static const std::map<UINT, std::string> names{
            {TVN_SELCHANGINGA, "SELCHANGING"}, {TVN_SELCHANGEDA, "SELCHANGED"}, {TVN_ITEMEXPANDINGA, "EXPANDING"},
            {TVN_ITEMEXPANDEDA, "EXPANDED"},   {TVN_DELETEITEMA, "DELETE"},     {TVN_BEGINLABELEDITA, "BEGINEDIT"},
            {TVN_ENDLABELEDITA, "ENDEDIT"},    {TVN_KEYDOWN, "KEYDOWN"},        {NM_CLICK, "CLICK"},
            {NM_SETFOCUS, "SETFOCUS"},         {NM_KILLFOCUS, "KILLFOCUS"},     {NM_RETURN, "RETURN"},
            {NM_DBLCLK, "DBLCLK"},             {NM_RCLICK, "RCLICK"},           {TVN_GETINFOTIPA, "INFOTIP"}};
        std::vector<std::string> out;
        for (const Note& n : log_.notes) {
            if (only.size() && std::find(only.begin(), only.end(), n.code) == only.end()) continue;
            auto it = names.find(n.code);
            out.push_back((it == names.end() ? std::to_string(n.code) : it->second) + (n.item.empty() ? "" : " " + n.item));
        }
        return out;
    }
    void Click(int x, int y, UINT msg = WM_LBUTTONDOWN) {
        SendMessageA(tree_, msg, 0, MAKELPARAM(x, y));
        if (msg == WM_LBUTTONDOWN) SendMessageA(tree_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    std::filesystem::path dir_;
    platform::ManualClock clock_;
    ParentLog log_;
    HWND parent_ = nullptr;
    HWND tree_ = nullptr;
};

}  // namespace

TEST_F(TreeWindow, ClicksSelectAndExpandWithNotificationsInOrder) {
    HTREEITEM a = Add(TVI_ROOT, "A");
    Add(a, "A1");
    Add(TVI_ROOT, "B");
    log_.notes.clear();
    Click(25, 20);  // label of B (row 1)
    EXPECT_EQ(Codes({TVN_SELCHANGINGA, TVN_SELCHANGEDA, NM_CLICK}),
              (std::vector<std::string>{"SELCHANGING nil>B", "SELCHANGED nil>B", "CLICK"}));
    log_.notes.clear();
    Click(5, 5);  // button of A
    EXPECT_EQ(Codes({TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}), (std::vector<std::string>{"EXPANDING A", "EXPANDED A"}));
    EXPECT_EQ(Get(TVGN_NEXTVISIBLE, a), Get(TVGN_CHILD, a));
    // A refused expansion or selection changes nothing.
    log_.answers[TVN_ITEMEXPANDINGA] = 1;
    Click(5, 5);
    EXPECT_EQ(Get(TVGN_NEXTVISIBLE, a), Get(TVGN_CHILD, a));
    log_.answers[TVN_SELCHANGINGA] = 1;
    Click(25, 5);
    EXPECT_EQ(TextOf(tree_, Get(TVGN_CARET)), "B");
}

TEST_F(TreeWindow, DeletionMovesTheCaretFirstThenReportsChildrenFirst) {
    HTREEITEM p = Add(TVI_ROOT, "P");
    HTREEITEM a = Add(p, "a");
    Add(a, "a1");
    Add(p, "b");
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Add(a, "a2")));
    log_.notes.clear();
    SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(a));
    EXPECT_EQ(Codes(), (std::vector<std::string>{"SELCHANGED a2>b", "DELETE a1", "DELETE a2", "DELETE a"}));
    EXPECT_EQ(SendMessageA(tree_, TVM_GETCOUNT, 0, 0), 2);
    // A stale handle is refused, not followed.
    TVITEMA rec;
    rec.mask = TVIF_PARAM;
    rec.hItem = a;
    EXPECT_EQ(SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&rec)), 0);
    log_.notes.clear();
    SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    EXPECT_EQ(Codes(), (std::vector<std::string>{"SELCHANGED b>nil", "DELETE b", "DELETE P"}));
}

TEST_F(TreeWindow, DestroyingTheWindowDeletesEveryItemWhileTheParentListens) {
    HTREEITEM p = Add(TVI_ROOT, "P");
    Add(p, "c");
    log_.notes.clear();
    DestroyWindow(tree_);
    EXPECT_EQ(Codes({TVN_DELETEITEMA}), (std::vector<std::string>{"DELETE c", "DELETE P"}));
}

TEST_F(TreeWindow, KeyboardMovesTheCaretAndExpands) {
    HTREEITEM a = Add(TVI_ROOT, "A");
    Add(a, "A1");
    Add(TVI_ROOT, "B");
    SendMessageA(tree_, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(TextOf(tree_, Get(TVGN_CARET)), "A");
    SendMessageA(tree_, WM_KEYDOWN, VK_RIGHT, 0);  // expands
    SendMessageA(tree_, WM_KEYDOWN, VK_RIGHT, 0);  // to the first child
    EXPECT_EQ(TextOf(tree_, Get(TVGN_CARET)), "A1");
    SendMessageA(tree_, WM_KEYDOWN, VK_LEFT, 0);  // to the parent
    SendMessageA(tree_, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(TextOf(tree_, Get(TVGN_CARET)), "B");
    SendMessageA(tree_, WM_CHAR, 'a', 0);  // incremental search
    EXPECT_EQ(TextOf(tree_, Get(TVGN_CARET)), "A");
    log_.notes.clear();
    SendMessageA(tree_, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"KEYDOWN", "RETURN"}));
}

TEST_F(TreeWindow, CollapsingHidesTheCaretAndMovesItUp) {
    HTREEITEM a = Add(TVI_ROOT, "A");
    HTREEITEM a1 = Add(a, "A1");
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a1));  // expands A to show it
    EXPECT_TRUE(SendMessageA(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(a), TVIS_EXPANDED));
    log_.notes.clear();
    SendMessageA(tree_, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(a));
    EXPECT_EQ(Codes(), (std::vector<std::string>{"EXPANDING A", "SELCHANGED A1>A", "EXPANDED A"}));
}

TEST_F(TreeWindow, LabelEditStartsOnASecondClickAndEndsWithTheText) {
    Add(TVI_ROOT, "A");
    Click(25, 5);
    log_.notes.clear();
    log_.answers[TVN_ENDLABELEDITA] = 1;  // keep the edited text
    Click(25, 5);
    HWND editor = reinterpret_cast<HWND>(SendMessageA(tree_, TVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(editor, nullptr);
    SendMessageA(editor, WM_CHAR, 'x', 0);
    SendMessageA(editor, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(TextOf(tree_, Get(TVGN_CARET)), "Ax");
    EXPECT_EQ(Codes({TVN_BEGINLABELEDITA, TVN_ENDLABELEDITA}), (std::vector<std::string>{"BEGINEDIT", "ENDEDIT"}));
    EXPECT_EQ(SendMessageA(tree_, TVM_GETEDITCONTROL, 0, 0), 0);
}

TEST_F(TreeWindow, CallbackTextsAndInfoTips) {
    log_.texts["A"] = "from the parent";
    HTREEITEM a = Add(TVI_ROOT, "A", true);
    EXPECT_EQ(TextOf(tree_, a), "from the parent");
    RECT r{};
    std::memcpy(static_cast<void*>(&r), &a, sizeof a);
    ASSERT_TRUE(SendMessageA(tree_, TVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r)));
    EXPECT_EQ(r.right - r.left, 15 * 7 + 4);  // measured from the callback text
    SendMessageA(tree_, WM_MOUSEMOVE, 0, MAKELPARAM(30, 5));
    EXPECT_EQ(TreeViewLastInfoTip(tree_), "tip:A");
}

TEST_F(TreeWindow, ScrollingMovesTheTopItemWithinItsRange) {
    std::vector<HTREEITEM> items;
    static const char* names[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    for (const char* n : names) items.push_back(Add(TVI_ROOT, n));
    SCROLLINFO si;
    ASSERT_TRUE(GetTreeScrollInfo(tree_, SB_VERT, &si));
    EXPECT_EQ(si.nMax, 9);
    EXPECT_EQ(si.nPage, 6u);  // 100 / 16
    SendMessageA(tree_, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(Get(TVGN_FIRSTVISIBLE), items[1]);
    SendMessageA(tree_, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(Get(TVGN_FIRSTVISIBLE), items[4]);  // the last page stays full
    SendMessageA(tree_, WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(Get(TVGN_FIRSTVISIBLE), items[0]);
    SendMessageA(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(items[9]));
    EXPECT_EQ(Get(TVGN_FIRSTVISIBLE), items[4]);
}

TEST_F(TreeWindow, SortWithACallbackAndWithTexts) {
    Add(TVI_ROOT, "b");
    Add(TVI_ROOT, "c");
    Add(TVI_ROOT, "a");
    TVSORTCB cb;
    cb.hParent = TVI_ROOT;
    cb.lpfnCompare = [](LPARAM a, LPARAM b, LPARAM) -> int {
        return -std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
    };
    ASSERT_TRUE(SendMessageA(tree_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&cb)));
    EXPECT_EQ(TextOf(tree_, Get(TVGN_ROOT)), "c");
    ASSERT_TRUE(SendMessageA(tree_, TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(TVI_ROOT)));
    EXPECT_EQ(TextOf(tree_, Get(TVGN_ROOT)), "a");
    EXPECT_EQ(TextOf(tree_, Get(TVGN_NEXT, Get(TVGN_ROOT))), "b");
}
