// The tree every tree scenario times, over the ORGANIZATION table, and what its nodes show, for
// the checksums that compare them with the raw work's answers.
#pragma once

#include "bench/BenchSupport.h"

#include "orvel/treeview/DBCustomTreeView.h"

#include <cstdint>
#include <string>

namespace orvel::bench {

// A tree (made afresh for every iteration) over the ORGANIZATION table of one database, opened
// on its parent index.
class TTreeWorld : public TBenchWorld {
public:
    explicit TTreeWorld(const std::string& database)
        : TBenchWorld(database, "ORGANIZATION", "PARENT_ID") {}
    ~TTreeWorld() { DropTree(); }

    // A tree configured for ORGANIZATION, not yet bound.
    TDBTreeView& NewTree(TLoadStyle style) {
        DropTree();
        Tree = &Form().Place<TDBTreeView>(0, 0, 300, 460);
        Tree->SetLoadStyle(style);
        Tree->SetNameField("NAME");
        Tree->SetStatusIDField("STATUS_ID");
        Tree->SetImageIDField("IMAGE_ID");
        Tree->SetRelations("PARENT_ID->ID");
        Tree->SetTopParentKey("Null");
        return *Tree;
    }
    // Binding the data source: the tree posts its reload, the message loop fills it.
    void Bind(benchmark::State& state) {
        Tree->SetDataSource(Source);
        RunMessages(state);
    }
    void DropTree() {
        if (Tree) Tree->Free();
        Tree = nullptr;
    }

    TDBTreeView* Tree = nullptr;
};

inline int64_t IdOf(const TTreeNode* node) {
    const Variant& id = static_cast<const TDBTreeNode*>(node)->GetID();
    return id[VarArrayLowBound(id, 1)].AsInt64();
}

inline TDBTreeNode* NodeOf(const TDBTreeView& tree, int64_t id) {
    return tree.FindNode(VarArrayOf({Variant(static_cast<int32_t>(id))}));
}

// What a node shows: its key, caption, images and whether it offers an expand button.
inline int64_t Shown(const TTreeNode* node) {
    return IdOf(node) + static_cast<int64_t>(node->Text().size()) + node->StateIndex() +
           node->ImageIndex() + (node->HasChildren() ? 1 : 0);
}

// The next of a seeded series of records at level six of the organisation tree (a fan-out of
// ten: records 111,111 up to the table's end), the records the reveal scenarios move to.
inline int32_t NextLevelSixRecord(uint64_t& seed) {
    constexpr int32_t first = 111111;
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return first +
           static_cast<int32_t>((seed >> 33) % static_cast<uint64_t>(kOrgRecords - first + 1));
}

} // namespace orvel::bench
