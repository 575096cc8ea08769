// Removing a branch whose selected node goes with it: the selection change that follows each
// removal may fail (the dataset cannot be moved to the newly selected node's record), and the
// branch still goes whole, with the failure reported afterwards.
#include "tests/treeview/TreeTestSupport.h"

#include <stdexcept>

namespace orvel::test {
namespace {

class TreeBranchRemovalTest : public TreeTest {};

TEST_F(TreeBranchRemovalTest, AFailingSelectionChangeLeavesNoNodeOfTheRemovedBranch) {
    OpenOrganization();
    Bind();
    tree->FullExpand();
    click(*tree, LabelOf(NodeNamed(*tree, "North")));
    ASSERT_EQ(SelectedText(*tree), "North");
    bool armed = true;
    tree->OnChange = [&](TObject*, TTreeNode*) {
        if (!armed) return;
        armed = false;
        throw std::runtime_error("database is locked");
    };

    // North goes first; the selection moving to South fails; South and Sales must go as well.
    EXPECT_THROW(tree->DeleteBranch(NodeNamed(*tree, "Sales"), true), std::runtime_error);
    EXPECT_EQ(Picture(*tree), "Head office+ (Engineering+ (Research)), Branch office+ (Depot)");
    EXPECT_EQ(tree->FindNode(Key(4)), nullptr);
    EXPECT_EQ(SelectedText(*tree), "Engineering");
    EXPECT_FALSE(tree->IsStopped());
    tree->OnChange = nullptr;
}

} // namespace
} // namespace orvel::test
