// The catalogue's nodes as the main window holds them until it sits on the tree control: a
// plain ordered tree with the catalogue fields of a tree node, and the adapter that lets the
// catalogue loader place nodes in it.
#pragma once

#include <memory>
#include <vector>

#include "manager/Catalogue.h"
#include "platform/Modules.h"

namespace manager {

struct TCatalogueNode {
    String Text;
    Int64 NodeKind = 0;
    String SystemName;
    String BackupID;
    String Description;
    TDateTime Created = 0;
    Integer ImageIndex = 0;
    Integer SelectedIndex = 0;
    bool Expanded = false;
    bool SavedExpanded = false;
    HMODULE PluginHandle = nullptr;
    String PluginChildID;

    TCatalogueNode* Parent = nullptr;
    std::vector<std::unique_ptr<TCatalogueNode>> Children;

    // Ancestors below the hidden root: 0 for a top-level node.
    Integer Level() const {
        Integer level = 0;
        for (const TCatalogueNode* p = Parent; p; p = p->Parent) ++level;
        return level;
    }
    bool HasAsParent(const TCatalogueNode* ancestor) const {
        for (const TCatalogueNode* p = Parent; p; p = p->Parent)
            if (p == ancestor) return true;
        return false;
    }
    const TCatalogueNode* TopLevel() const {
        const TCatalogueNode* n = this;
        while (n->Parent) n = n->Parent;
        return n;
    }
};

class TCatalogueTree {
public:
    TCatalogueNode* AddChild(TCatalogueNode* parent, const String& text) {
        auto node = std::make_unique<TCatalogueNode>();
        node->Text = text;
        node->Parent = parent;
        auto& list = parent ? parent->Children : roots_;
        list.push_back(std::move(node));
        return list.back().get();
    }
    void Clear() {
        roots_.clear();
        Selected = nullptr;
    }
    // The selected node; loading the catalogue never changes it.
    TCatalogueNode* Selected = nullptr;
    // Every node in pre-order (the tree's node index).
    std::vector<TCatalogueNode*> PreOrder() const {
        std::vector<TCatalogueNode*> out;
        std::vector<TCatalogueNode*> stack;
        for (auto it = roots_.rbegin(); it != roots_.rend(); ++it) stack.push_back(it->get());
        while (!stack.empty()) {
            TCatalogueNode* n = stack.back();
            stack.pop_back();
            out.push_back(n);
            for (auto it = n->Children.rbegin(); it != n->Children.rend(); ++it) stack.push_back(it->get());
        }
        return out;
    }

private:
    std::vector<std::unique_ptr<TCatalogueNode>> roots_;
};

}  // namespace manager
