// Shared helpers of the tree tests: a control on the manual clock, an event recorder, and a
// check that the window's items mirror the node objects.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "controls/TreeEx.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Forms.h"
#include "platform/MessageLoop.h"
#include "platform/Profile.h"
#include "platform/system/detail/TreeViewWindow.h"

class TreeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/tarvik-tree-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        dir = templ;
        ::setenv("TARVIK_PROFILE", (dir / "profile").c_str(), 1);
        ::unsetenv("XDG_RUNTIME_DIR");
        platform::ResetProfileForTests();
        platform::SetClock(&clock);
        platform::SetPopupHook({});
        platform::ClearShownPopups();
        form = NewForm();
        tree = NewTree(form);
    }
    void TearDown() override {
        Application->DestroyComponents();
        tree = nullptr;
        form = nullptr;
        Application->ProcessMessages();
        platform::ResetQuitRequest();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        platform::SetPopupHook({});
        platform::SetClock(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    TTreeExNodes& Items() { return *tree->Items(); }

    // A form of the application with a window, and a tree control placed on one.
    static TForm* NewForm() {
        auto* f = new TForm(Application);
        f->SetBounds(0, 0, 400, 300);
        f->Show();
        return f;
    }
    static TTreeEx* NewTree(TForm* on) {
        auto* t = new TTreeEx(on);
        t->SetParent(on);
        t->SetBounds(0, 0, 121, 97);
        t->HandleNeeded();
        return t;
    }

    // Records the control's events as "Event:NodeText" lines.
    void Record() {
        auto name = [](TTreeExNode* n) { return n ? n->Text() : std::string("nil"); };
        tree->OnChange = [this, name](TObject*, TTreeExNode* n) { log.push_back("Change:" + name(n)); };
        tree->OnChanging = [this, name](TObject*, TTreeExNode* n, bool&) { log.push_back("Changing:" + name(n)); };
        tree->OnExpanding = [this, name](TObject*, TTreeExNode* n, bool&) { log.push_back("Expanding:" + name(n)); };
        tree->OnExpanded = [this, name](TObject*, TTreeExNode* n) { log.push_back("Expanded:" + name(n)); };
        tree->OnCollapsing = [this, name](TObject*, TTreeExNode* n, bool&) { log.push_back("Collapsing:" + name(n)); };
        tree->OnCollapsed = [this, name](TObject*, TTreeExNode* n) { log.push_back("Collapsed:" + name(n)); };
        tree->OnDeletion = [this, name](TObject*, TTreeExNode* n) { log.push_back("Deletion:" + name(n)); };
    }

    // The window's items under parent, recursively, must be the node's children in order.
    void ExpectWindowMatches(TTreeExNode* parent, HTREEITEM parentItem) {
        HTREEITEM item = reinterpret_cast<HTREEITEM>(
            tree->Perform(TVM_GETNEXTITEM, parentItem ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parentItem)));
        for (Integer i = 0; i < parent->Count(); ++i) {
            TTreeExNode* child = parent->Item(i);
            ASSERT_NE(item, nullptr) << "window lacks an item for " << child->Text();
            EXPECT_EQ(item, child->ItemId());
            TVITEMA rec;
            rec.mask = TVIF_PARAM | TVIF_TEXT;
            rec.hItem = item;
            char buf[300];
            rec.pszText = buf;
            rec.cchTextMax = sizeof buf;
            ASSERT_TRUE(tree->Perform(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&rec)));
            EXPECT_EQ(reinterpret_cast<TTreeExNode*>(rec.lParam), child);
            EXPECT_EQ(std::string(buf), child->Text());
            ExpectWindowMatches(child, item);
            item = reinterpret_cast<HTREEITEM>(tree->Perform(TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
        }
        EXPECT_EQ(item, nullptr) << "window has more items than the nodes";
    }
    void ExpectWindowMatches() {
        ExpectWindowMatches(Items().Root(), nullptr);
        Integer nodes = 0;
        for (TTreeExNode* n = Items().GetFirstNode(); n; n = n->GetNext()) ++nodes;
        EXPECT_EQ(Items().Count(), nodes);
    }

    // Builds a tree from lines of "depth:text" (depth 0 = top level); returns the nodes in order.
    std::vector<TTreeExNode*> Build(const std::vector<std::string>& lines) {
        std::vector<TTreeExNode*> made, path;
        for (const auto& line : lines) {
            size_t colon = line.find(':');
            size_t depth = std::stoul(line.substr(0, colon));
            path.resize(depth);
            TTreeExNode* parent = depth ? path[depth - 1] : nullptr;
            TTreeExNode* n = Items().AddChild(parent, line.substr(colon + 1));
            path.push_back(n);
            made.push_back(n);
        }
        return made;
    }

    std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (TTreeExNode* n = Items().GetFirstNode(); n; n = n->GetNext())
            out.push_back(std::string(static_cast<size_t>(n->Level()), ' ') + n->Text());
        return out;
    }

    std::filesystem::path dir;
    platform::ManualClock clock;
    TForm* form = nullptr;
    TTreeEx* tree = nullptr;
    std::vector<std::string> log;
};
