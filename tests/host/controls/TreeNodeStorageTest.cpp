// How tree nodes are kept: sibling chains that name the last sibling through the first one, the
// node pool that makes and takes back the nodes (and, under AddressSanitizer, reports a node used
// after its deletion), and a clear of an empty tree that leaves the screen alone.
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/NodePool.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVEL_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORVEL_TEST_ASAN 1
#endif

namespace orvel {
namespace {

// The children of parent (the top level for none), walked forward.
std::vector<TTreeNode*> Forward(TTreeNodes& items, TTreeNode* parent) {
    std::vector<TTreeNode*> list;
    for (TTreeNode* n = parent ? parent->GetFirstChild() : items.GetFirstNode(); n;
         n = n->GetNextSibling())
        list.push_back(n);
    return list;
}

// The same children walked backward from the last one.
std::vector<TTreeNode*> Backward(TTreeNodes& items, TTreeNode* parent) {
    std::vector<TTreeNode*> list;
    for (TTreeNode* n = parent ? parent->GetLastChild() : items.GetLastNode(); n;
         n = n->GetPrevSibling())
        list.insert(list.begin(), n);
    return list;
}

// Every level reads the same both ways, with its count and places; GetPrev undoes GetNext over
// the whole tree.
void ExpectConsistent(TTreeNodes& items) {
    std::vector<TTreeNode*> parents{nullptr};
    for (TTreeNode* n = items.GetFirstNode(); n; n = n->GetNext())
        parents.push_back(n);
    ASSERT_EQ(static_cast<int>(parents.size()) - 1, items.Count());
    for (TTreeNode* p : parents) {
        std::vector<TTreeNode*> forward = Forward(items, p);
        ASSERT_EQ(forward, Backward(items, p)) << "children of " << (p ? p->Text() : "the top");
        if (p) {
            EXPECT_EQ(p->Count(), static_cast<int>(forward.size()));
            EXPECT_EQ(p->GetFirstChild() == nullptr, forward.empty());
        }
        for (std::size_t i = 0; i < forward.size(); ++i) {
            EXPECT_EQ(forward[i]->Index(), static_cast<int>(i));
            EXPECT_EQ(forward[i]->Parent(), p);
        }
    }
    for (std::size_t i = 2; i < parents.size(); ++i)
        EXPECT_EQ(parents[i]->GetPrev(), parents[i - 1]);
    if (parents.size() > 1) {
        EXPECT_EQ(parents[1]->GetPrev(), nullptr);
    }
}

// A tree of parents children each, every caption naming its place ("p.c", "p" for a parent).
std::vector<TTreeNode*> FillLevels(TTreeNodes& items, int parents, int children) {
    std::vector<TTreeNode*> made;
    for (int p = 0; p < parents; ++p) {
        TTreeNode* parent = items.Add(nullptr, std::to_string(p));
        made.push_back(parent);
        for (int c = 0; c < children; ++c)
            made.push_back(items.AddChild(parent, std::to_string(p) + "." + std::to_string(c)));
    }
    return made;
}

// Every parent of FillLevels holds its children in order, under their captions.
void ExpectLevels(TTreeNodes& items, int parents, int children) {
    int p = 0;
    for (TTreeNode* parent = items.GetFirstNode(); parent; parent = parent->GetNextSibling(), ++p) {
        ASSERT_EQ(parent->Text(), std::to_string(p));
        ASSERT_EQ(parent->Count(), children);
        int c = 0;
        for (TTreeNode* n = parent->GetFirstChild(); n; n = n->GetNextSibling(), ++c) {
            ASSERT_EQ(n->Text(), std::to_string(p) + "." + std::to_string(c));
            ASSERT_EQ(n->Parent(), parent);
        }
        ASSERT_EQ(c, children);
    }
    ASSERT_EQ(p, parents);
    EXPECT_EQ(items.Count(), parents * (children + 1));
}

class TreeNodeStorage : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        form = std::make_unique<TTestForm>();
        tree = &form->Place<TTreeView>(10, 10, 200, 160);
    }
    void TearDown() override {
        form.reset();
        TUiTest::TearDown();
    }
    TTreeNodes& Items() { return *tree->Items(); }

    std::unique_ptr<TTestForm> form;
    TTreeView* tree = nullptr;
};

TEST_F(TreeNodeStorage, SiblingChainsReadTheSameBothWaysAfterEveryKindOfChange) {
    TTreeNodes& items = Items();
    ExpectConsistent(items);
    // A fixed sequence of pseudo-random additions, moves and deletions at every place a chain
    // can change: first, last, middle and only sibling, at the top and below.
    uint64_t seed = 7;
    auto next = [&](int bound) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((seed >> 33) % static_cast<uint64_t>(bound));
    };
    std::vector<TTreeNode*> nodes;
    auto pick = [&]() -> TTreeNode* {
        nodes.clear();
        for (TTreeNode* n = items.GetFirstNode(); n; n = n->GetNext())
            nodes.push_back(n);
        return nodes.empty() || next(5) == 0 ? nullptr
                                             : nodes[next(static_cast<int>(nodes.size()))];
    };
    for (int step = 0; step < 600; ++step) {
        std::string name = "n" + std::to_string(step);
        TTreeNode* at = pick();
        switch (next(9)) {
        case 0:
            items.Add(at, name);
            break;
        case 1:
            items.AddFirst(at, name);
            break;
        case 2:
            items.AddChild(at, name);
            break;
        case 3:
            items.AddChildFirst(at, name);
            break;
        case 4:
            items.Insert(at, name);
            break;
        case 5:
            if (at) items.Delete(at);
            break;
        case 6:
            if (at) at->MoveTo(pick(), static_cast<TNodeAttachMode>(next(5)));
            break;
        case 7:
            if (at) at->AlphaSort(next(2) == 0);
            break;
        default:
            if (at) at->DeleteChildren();
            break;
        }
        ASSERT_NO_FATAL_FAILURE(ExpectConsistent(items)) << "after step " << step;
    }
    items.Clear();
    ExpectConsistent(items);
    EXPECT_EQ(items.GetLastNode(), nullptr);
}

TEST_F(TreeNodeStorage, ARebuiltTreeMakesItsNodesInTheBlocksTheLastTreeLeft) {
    const std::size_t size = sizeof(TTreeNode);
    ASSERT_EQ(NodeSlotsInUse(size), 0u);
    ReleaseNodeReserve();
    std::vector<TTreeNode*> first = FillLevels(Items(), 30, 30);
    EXPECT_EQ(NodeReserveBytes(), 0u);

    // The last node gone, the blocks wait in the reserve instead of going back to the heap.
    Items().Clear();
    const std::size_t kept = NodeReserveBytes();
    EXPECT_GE(kept, first.size() * size);
    EXPECT_LE(kept, NodeReserveLimit);

    std::vector<TTreeNode*> second = FillLevels(Items(), 30, 30);
    std::sort(first.begin(), first.end());
    std::sort(second.begin(), second.end());
    EXPECT_EQ(second, first);
    EXPECT_EQ(NodeReserveBytes(), 0u);
    ASSERT_NO_FATAL_FAILURE(ExpectLevels(Items(), 30, 30));
    for (TTreeNode* n = Items().GetFirstNode(); n; n = n->GetNext()) {
        EXPECT_EQ(n->ImageIndex(), 0);
        EXPECT_EQ(n->Data(), nullptr);
        EXPECT_FALSE(n->Expanded());
    }

    // Given back on request.
    Items().Clear();
    EXPECT_EQ(NodeReserveBytes(), kept);
    ReleaseNodeReserve();
    EXPECT_EQ(NodeReserveBytes(), 0u);
}

TEST_F(TreeNodeStorage, WhatThePoolKeepsOfALargeTreeIsBounded) {
    ReleaseNodeReserve();
    FillLevels(Items(), 200, 100); // some 2.4 MB of heap and mapped blocks
    Items().Clear();
    // Mapped blocks went back to the system; of the heap blocks, no more than the limit is kept.
    EXPECT_EQ(NodeMappedBytes(), 0u);
    EXPECT_GT(NodeReserveBytes(), 0u);
    EXPECT_LE(NodeReserveBytes(), NodeReserveLimit);
    ReleaseNodeReserve();
}

TEST_F(TreeNodeStorage, NodesComeFromThePoolAndItsBlocksGoWithTheLastNode) {
    const std::size_t size = sizeof(TTreeNode);
    const std::size_t before = NodeSlotsInUse(size);
    std::vector<TTreeNode*> made;
    for (int i = 0; i < 1000; ++i)
        made.push_back(Items().AddChild(i % 2 ? made.back() : nullptr, std::to_string(i)));
    EXPECT_EQ(NodeSlotsInUse(size), before + 1000);

    // A deleted node's slot serves the next node of its size.
    TTreeNode* gone = made[10];
    Items().Delete(gone);
    EXPECT_EQ(NodeSlotsInUse(size), before + 998); // with its child
    TTreeNode* again = Items().Add(nullptr, "again");
    EXPECT_TRUE(again == gone || again == made[11]);
    EXPECT_EQ(again->Text(), "again");
    EXPECT_EQ(again->GetFirstChild(), nullptr);

    Items().Clear();
    EXPECT_EQ(NodeSlotsInUse(size), before);
}

// A node class of another size, aligned more strictly than a pointer.
class TWideNode : public TTreeNode {
public:
    using TTreeNode::TTreeNode;
    alignas(16) unsigned char Payload[48] = {};
};

class TWideTree : public TTreeView {
public:
    using TTreeView::TTreeView;

protected:
    TTreeNode* CreateNode() override { return new TWideNode(Items()); }
};

TEST_F(TreeNodeStorage, ANodeClassOfItsOwnSizeAndAlignmentGetsSlotsOfItsOwn) {
    auto& wide = form->Place<TWideTree>(220, 10, 200, 160);
    const std::size_t plain = NodeSlotsInUse(sizeof(TTreeNode));
    for (int i = 0; i < 100; ++i) {
        auto* n = static_cast<TWideNode*>(wide.Items()->Add(nullptr, "w"));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(n->Payload) % 16, 0u);
        n->Payload[47] = static_cast<unsigned char>(i);
    }
    EXPECT_EQ(NodeSlotsInUse(sizeof(TWideNode)), 100u);
    EXPECT_EQ(NodeSlotsInUse(sizeof(TTreeNode)), plain);
    wide.Items()->Clear();
    EXPECT_EQ(NodeSlotsInUse(sizeof(TWideNode)), 0u);
}

TEST_F(TreeNodeStorage, LargeTreesOfTwoNodeSizesGrowBlocksOfTheirOwn) {
    auto& wide = form->Place<TWideTree>(220, 10, 200, 160);
    std::vector<TWideNode*> wides;
    for (int i = 0; i < 30000; ++i) {
        // Interleaved, so that both sizes take new blocks in turn.
        auto* n = static_cast<TWideNode*>(wide.Items()->Add(nullptr, ""));
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(n->Payload) % 16, 0u);
        n->Payload[0] = static_cast<unsigned char>(i);
        n->Payload[47] = static_cast<unsigned char>(i >> 8);
        wides.push_back(n);
        Items().Add(nullptr, "");
    }
    EXPECT_EQ(NodeSlotsInUse(sizeof(TWideNode)), 30000u);
    EXPECT_EQ(NodeSlotsInUse(sizeof(TTreeNode)), 30000u);
    // Writing one size's nodes never reached into the other's.
    for (TTreeNode* n = Items().GetFirstNode(); n; n = n->GetNextSibling())
        n->SetText("plain");
    for (std::size_t i = 0; i < wides.size(); ++i) {
        ASSERT_EQ(wides[i]->Payload[0], static_cast<unsigned char>(i));
        ASSERT_EQ(wides[i]->Payload[47], static_cast<unsigned char>(i >> 8));
        ASSERT_EQ(wides[i]->Text(), "");
    }
    // Each size gives its blocks back with its own last node.
    Items().Clear();
    EXPECT_EQ(NodeSlotsInUse(sizeof(TTreeNode)), 0u);
    EXPECT_EQ(NodeSlotsInUse(sizeof(TWideNode)), 30000u);
    EXPECT_EQ(wides.back()->Payload[0], static_cast<unsigned char>(29999));
    wide.Items()->Clear();
    EXPECT_EQ(NodeSlotsInUse(sizeof(TWideNode)), 0u);
    EXPECT_EQ(NodeMappedBytes(), 0u);
}

TEST_F(TreeNodeStorage, ClearingATreeWithoutNodesAsksForNoRepaint) {
    tree->Update();
    int invalidated = tree->InvalidateCount();
    Items().Clear();
    EXPECT_EQ(tree->InvalidateCount(), invalidated);
    Items().Add(nullptr, "A");
    tree->Update();
    invalidated = tree->InvalidateCount();
    Items().Clear();
    EXPECT_EQ(tree->InvalidateCount(), invalidated + 1);
}

TEST_F(TreeNodeStorage, ALargeTreesBlocksAreHugePagesOfTheirOwnAndGoWithTheLastNode) {
    const std::size_t size = sizeof(TTreeNode);
    ASSERT_EQ(NodeSlotsInUse(size), 0u);
    ASSERT_EQ(NodeMappedBytes(), 0u);
    // Past a mebibyte of nodes of one size, further blocks are mapped on their own.
    const int parents = 200, children = 100;
    std::vector<TTreeNode*> made = FillLevels(Items(), parents, children);
    ASSERT_GT(made.size() * size, std::size_t{2} << 20);
#if defined(__linux__) && !defined(ORVEL_TEST_ASAN)
    EXPECT_GT(NodeMappedBytes(), 0u);
#else
    EXPECT_EQ(NodeMappedBytes(), 0u);
#endif
    EXPECT_EQ(NodeSlotsInUse(size), made.size());
    ASSERT_NO_FATAL_FAILURE(ExpectLevels(Items(), parents, children));

    // The last node gone, every block goes: nothing stays mapped for a tree no longer shown.
    Items().Clear();
    EXPECT_EQ(NodeSlotsInUse(size), 0u);
    EXPECT_EQ(NodeMappedBytes(), 0u);
}

TEST_F(TreeNodeStorage, ATreeOfManyNodesFreedInPartAndRebuiltKeepsEveryNode) {
    const int parents = 150, children = 120;
    for (int round = 0; round < 2; ++round) {
        FillLevels(Items(), parents, children);
        const std::size_t mapped = NodeMappedBytes();
        // Deleting every other parent frees slots in the heap blocks and in the mapped ones
        // alike; the parents made again take those slots back (no new block is needed).
        std::vector<TTreeNode*> odd;
        for (TTreeNode* n = Items().GetFirstNode(); n; n = n->GetNextSibling())
            if (std::stoi(n->Text()) % 2) odd.push_back(n);
        for (TTreeNode* n : odd)
            Items().Delete(n);
        EXPECT_EQ(NodeSlotsInUse(sizeof(TTreeNode)),
                  static_cast<std::size_t>((parents - parents / 2) * (children + 1)));
        std::vector<TTreeNode*> evens;
        for (TTreeNode* n = Items().GetFirstNode(); n; n = n->GetNextSibling())
            evens.push_back(n);
        for (int p = 1; p < parents; p += 2) {
            // Before the parent that follows it, or last.
            std::size_t follower = static_cast<std::size_t>(p + 1) / 2;
            TTreeNode* parent = follower < evens.size()
                                    ? Items().Insert(evens[follower], std::to_string(p))
                                    : Items().Add(nullptr, std::to_string(p));
            for (int c = 0; c < children; ++c)
                Items().AddChild(parent, std::to_string(p) + "." + std::to_string(c));
        }
        EXPECT_EQ(NodeMappedBytes(), mapped);
        ASSERT_NO_FATAL_FAILURE(ExpectLevels(Items(), parents, children)) << "round " << round;
        Items().Clear();
        EXPECT_EQ(NodeSlotsInUse(sizeof(TTreeNode)), 0u);
        EXPECT_EQ(NodeMappedBytes(), 0u);
    }
}

using TreeNodeStorageDeathTest = TreeNodeStorage;

TEST_F(TreeNodeStorageDeathTest, ANodeReadAfterItsDeletionIsReportedBySanitizer) {
#ifndef ORVEL_TEST_ASAN
    GTEST_SKIP() << "needs the AddressSanitizer build";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Items().Add(nullptr, "kept"); // the pool keeps its block: the slot is poisoned
            TTreeNode* gone = Items().Add(nullptr, "gone");
            Items().Delete(gone);
            volatile int index = gone->ImageIndex();
            (void)index;
        },
        "use-after-poison");
    EXPECT_DEATH(
        {
            // In a large tree too, whose later blocks are the largest the pool makes.
            std::vector<TTreeNode*> made = FillLevels(Items(), 100, 200);
            TTreeNode* gone = made.back();
            Items().Delete(gone);
            volatile int index = gone->ImageIndex();
            (void)index;
        },
        "use-after-poison");
    EXPECT_DEATH(
        {
            TTreeNode* last = Items().Add(nullptr, "last");
            Items().Clear(); // the last node: its block went to the reserve, poisoned whole
            volatile int index = last->ImageIndex();
            (void)index;
        },
        "use-after-poison");
    EXPECT_DEATH(
        {
            TTreeNode* last = Items().Add(nullptr, "last");
            Items().Clear();
            ReleaseNodeReserve(); // the block went back to the heap
            volatile int index = last->ImageIndex();
            (void)index;
        },
        "heap-use-after-free");
#endif
}

} // namespace
} // namespace orvel
